#pragma once

// The command line's HotSync: installing databases on the handheld and reading its songs and chords back,
// over a connection given as CONN (usb, net[:ADDRESS:PORT], serial:DEVICE[:BAUD], serial-net[:ADDRESS:PORT]).

#include <optional>
#include <string>
#include <vector>

class CPalmDatabase;

struct HotSyncOptions
{
    std::string connection;
    bool replace = false;                 // replace a database of the same name on the handheld
    std::optional<double> timeoutSeconds; // how long to wait for the handheld; unset: until interrupted
};

// Checks the connection string and the timeout; empty, or the usage error to print.
std::string CheckHotSyncOptions(const HotSyncOptions& options);

// Installs the databases on the handheld in one session; `what` describes them. The line for standard
// output, or nullopt after printing why the install failed.
std::optional<std::string> InstallByHotSync(const std::vector<const CPalmDatabase*>& databases,
                                            const std::string& what,
                                            const HotSyncOptions& options);

// extract --hotsync: every song and chord database of the songbook read from the handheld, the songs into
// `destination` as extract writes them, the chords of each chord database into
// <destination>/<database name>.txt; with `keepPdb` each database also as <destination>/<database name>.pdb.
// A song file that holds another text is replaced and named on standard error, or with `keepExisting` kept.
int RunHotSyncExtract(const HotSyncOptions& options, const std::string& destination, bool keepPdb, bool keepExisting);

struct InstallCommandOptions
{
    std::vector<std::string> files;
    std::optional<HotSyncOptions> hotsync; // --hotsync
    HotSyncOptions session;                // --replace and --timeout, for a HotSync that install.conf leads to
    std::string installTo;
    std::string installWith;
};
// install: existing .pdb and .prc files, each checked before any of them goes anywhere.
int RunInstall(const InstallCommandOptions& options);
