#pragma once

#include "jobs/Export.h"
#include "pdb/PalmDatabase.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"
#include "platform/Result.h"

// Install: the database is written into a lasting folder of the user's (never only the temporary folder),
// under a fresh name and readable by the user alone, and then handed to one destination: J-Pilot's install
// list, a folder the user chose (an emulator's install folder, a memory card's PALM/Launcher), or the
// system's install tool. Where none applies it stays in the lasting folder for the user to install.

// How the user wants databases installed; remembered in install.conf, which the window and the command line
// share.
enum class InstallMethod
{
    Automatic,  // the platform's order: Linux J-Pilot when present, else HotSync over USB; elsewhere the
                // system's tool
    JPilot,     // J-Pilot's install list
    Folder,     // a copy in InstallChoice::folder
    SystemTool, // the default application for the file, unless that is this program
    Ask,        // the window asks at each install; elsewhere Automatic
    HotSync,    // straight onto the handheld by HotSync over InstallChoice::connection
};

// The connection HotSync uses when none was chosen: the USB cradle or cable, the one route that reaches a
// handheld from a desktop with no HotSync program of its own.
inline constexpr std::string_view DEFAULT_HOTSYNC_CONNECTION = "usb";

struct InstallChoice
{
    InstallMethod method = InstallMethod::Automatic;
    std::string folder;     // UTF-8; for InstallMethod::Folder
    std::string connection; // how HotSync reaches the handheld ("usb", "net:ADDRESS:PORT", ...); empty: USB.
                            // Kept whatever the method, so that Get Songs and a later HotSync choice reuse it.
    bool operator==(const InstallChoice&) const = default;
    std::string HotSyncConnection() const
    {
        return connection.empty() ? std::string(DEFAULT_HOTSYNC_CONNECTION) : connection;
    }
};

// The method's word in install.conf: "automatic", "jpilot", "folder", "system", "ask", "hotsync"; and back
// (nullopt for any other word).
std::string_view InstallMethodName(InstallMethod method);
std::optional<InstallMethod> ParseInstallMethod(std::string_view name);

// Where the databases are kept: Linux $XDG_DATA_HOME/tunelore-importer (else ~/.local/share/...), macOS
// ~/Library/Application Support/Tunelore Importer, Windows %APPDATA%\Tunelore Importer. nullopt when the
// environment names no home.
std::optional<std::filesystem::path> LastingFolder(IPlatform& platform);
// Where the settings are kept: Linux $XDG_CONFIG_HOME/tunelore-importer (else ~/.config/...), elsewhere the
// lasting folder. nullopt when the environment names no home.
std::optional<std::filesystem::path> ConfigFolder(IPlatform& platform);
// J-Pilot's folder: $JPILOT_HOME/.jpilot when JPILOT_HOME is set, else ~/.jpilot (whether or not it exists).
std::optional<std::filesystem::path> JPilotFolder(IPlatform& platform);
// Mounted volumes that hold PALM/Launcher (memory cards), as those Launcher folders.
std::vector<std::filesystem::path> LauncherFolders(IPlatform& platform);

struct InstallSettings
{
    InstallChoice choice;
    std::string file;                  // install.conf's path (UTF-8); empty when no home names the folder
    std::vector<std::string> warnings; // what in it was not understood or could not be read, and what is used
};
// The remembered choice: the lines destination=, folder= and connection=. Keys and values are read without
// regard to case and to spaces around them; a line not understood, an unknown destination, a folder that is not
// an absolute path and a file that cannot be read each give a warning ("line 3: ...") and leave the default:
// Automatic, no folder, USB. The connection is checked by the HotSync session that uses it.
InstallSettings ReadInstallSettings(IPlatform& platform);
// The remembered choice alone.
InstallChoice ReadInstallChoice(IPlatform& platform);
// Remembers the choice in install.conf; the error says why it could not be written.
Status SaveInstallChoice(IPlatform& platform, const InstallChoice& choice);

enum class InstallDestination
{
    None,       // kept in the lasting folder only
    JPilot,     // queued in J-Pilot's install list
    Folder,     // copied into a folder
    SystemTool, // handed to the default application
    HotSync,    // installed on the handheld by a HotSync session, which the front end runs
};
// The destination a choice leads to on this system.
InstallDestination DestinationFor(const InstallChoice& choice, IPlatform& platform);

// Creates `folder` and what is missing above it with mode 0700 (whatever the umask), and makes an existing
// `folder` that others may enter 0700; the error says why it cannot be made, is no folder, or cannot be made
// private.
Status CreatePrivateFolder(const std::filesystem::path& folder);

// The file written, or why not (the system's cause; Exists when every numbered name is taken). Writes `bytes` to a file
// that did not exist before, "<stem>.pdb" or else "<stem> (2).pdb", "(3)", ..., created exclusively (never replacing or
// sharing a file someone else made) with mode 0600. `stem` is UTF-8.
Result<std::filesystem::path>
CreateFreshFile(const std::filesystem::path& folder, std::string_view stem, std::string_view bytes);

// Adds `entry` as a line to J-Pilot's install list `list` unless it is there already: the list is read, the
// line appended, and the whole list written atomically; the error says why not.
Status AddToJPilotList(const std::filesystem::path& list, std::string_view entry);

struct InstallResult
{
    bool written = false; // the database is in the lasting folder
    InstallDestination destination = InstallDestination::None;
    bool handedOn = false; // the destination took it
    std::string path;      // the database in the lasting folder (or where it was to be), UTF-8
    std::string target;    // J-Pilot: its list; Folder: the copy; SystemTool: the application
    std::string error;     // not written: the whole message; written but not handed on: the cause
    bool ok() const { return written && (destination == InstallDestination::None || handedOn); }
};

// Who named a database: the export drew the name (and may draw another when the handheld would already have
// one of that name), or the user gave it (or it came with the database's file) and it stays as it is.
enum class NameOrigin
{
    Drawn,
    Given,
};

// Writes the database into the lasting folder and hands it to the destination the choice leads to (for
// HotSync, which only a front end can run, it stays there with `handedOn` false: callers check DestinationFor
// first and run the session instead). The file
// is named after the database (in UTF-8) and never replaces another. With `original` (the file an existing
// database was read from) those bytes are kept and handed on unchanged instead of the database written anew.
InstallResult InstallDatabase(CPalmDatabase& database,
                              const InstallChoice& choice,
                              IPlatform& platform,
                              NameOrigin origin,
                              const std::vector<std::uint8_t>* original = nullptr);
// Only the first step: the database, whose name was drawn, in the lasting folder (for dragging it out of the
// window).
InstallResult KeepDatabase(CPalmDatabase& database, IPlatform& platform);
// Install of the loaded texts: the same database as ExportLoadedTexts builds.
InstallResult InstallLoadedTexts(const std::vector<LoadedText>& loadedTexts,
                                 const InstallChoice& choice,
                                 IPlatform& platform,
                                 const ExportOptions& options = {});
