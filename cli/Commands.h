#pragma once

#include "cli/HotSync.h"
#include "jobs/Extract.h"
#include "jobs/Install.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CPalmDatabase;
class IPlatform;

// The warning for an input file of no bytes, which loads as an empty song.
inline constexpr std::string_view EMPTY_FILE_WARNING = "the file is empty";

// The four commands of tunelore-cli; each returns the process exit status and prints its own messages.

struct BuildOptions
{
    std::optional<std::string> name;       // database name, already in the handheld's character set
    std::string nameArgument;              // the --name argument as given, in UTF-8, for the warning when it changes
    bool strict = false;                   // any warning fails the build before anything is written
    std::string output;                    // the .pdb file to write; empty when installing
    bool install = false;                  // install as remembered (install.conf) or in the platform's order
    std::string installTo;                 // install by copying into this folder
    std::string installWith;               // install through "system" (the system's install tool) or "jpilot"
    bool chordSheets = false;              // convert every text file with the chord-sheet rules
    std::optional<HotSyncOptions> hotsync; // install on the handheld by HotSync (--hotsync)
    HotSyncOptions session;                // --replace and --timeout, for a HotSync that --install leads to
    std::vector<std::string> files;
    bool Installing() const { return install || !installTo.empty() || !installWith.empty(); }
};
int RunBuild(const BuildOptions& options);

// Where an install goes: by HotSync with --hotsync; else --install-to or --install-with; else install.conf's
// choice (its warnings printed), "ask" taken as automatic since nobody is there to ask. `hotsync` holds the
// options of the session to run when the install goes by HotSync (for install.conf's choice: the session's
// --replace and --timeout over the remembered connection), else `choice` says where the file goes. nullopt
// after printing why, when the remembered connection is malformed.
struct InstallRoute
{
    InstallChoice choice;
    std::optional<HotSyncOptions> hotsync;
};
std::optional<InstallRoute> ChooseInstallRoute(const BuildOptions& options, IPlatform& platform);

// Installs a built database as the choice says; `describe` says what it is once installed (a name this
// build drew that is already in use is drawn again; one `named` by the user stays). The line for standard
// output, or nullopt after printing why the install failed. `original`: the file an existing database was read
// from, handed on unchanged.
std::optional<std::string> InstallBuiltDatabase(CPalmDatabase& database,
                                                const std::function<std::string()>& describe,
                                                const InstallChoice& choice,
                                                bool named,
                                                IPlatform& platform,
                                                const std::vector<std::uint8_t>* original = nullptr);

// A song file in the folder that holds another text is replaced and named on standard error, or with
// `keepExisting` kept, the song going under a numbered name.
int RunExtract(const std::string& databasePath, const std::string& destination, bool keepExisting = false);
// What a chord list does with a file at its path that holds another text: a chord list, or a file of blanks, is
// replaced, or with `keepExisting` kept, the chords going under a numbered name. Anything else (a song) is never
// replaced: in a folder it stays and the chords go under a numbered name; a file named by the user stops the
// extraction, with `*refused` set.
ExistingFilePolicy ChordListPolicy(bool keepExisting, bool intoFolder, bool* refused = nullptr);
int RunConvert(const std::string& path, bool chordSheets);
int RunInfo(const std::string& databasePath, bool json);

// Turns the --name argument (UTF-8 from the command line) into a database name in the handheld's character
// set; the usage error when it is empty, longer than the 31 bytes of the name field, or holds a control
// character.
Result<std::string> MakeDatabaseNameArgument(std::string_view argument);
