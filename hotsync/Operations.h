#pragma once

#include "pdb/PalmDatabase.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "hotsync/DlpCalls.h"
#include "hotsync/Link.h"

namespace hotsync {

// Where a session is: the database it works on and the record it reached (record 0 of n before the first).
struct Progress
{
    std::string database;
    int record = 0;
    int records = 0;
};
using ProgressCallback = std::function<void(const Progress&)>;

// What the session learnt about the handheld before the work began.
struct Handheld
{
    SysInfo system;
    UserInfo user;
};

struct InstallOptions
{
    // Delete a database of the same name first; without it such a database is kept and the install fails.
    bool replace = false;
};

// The most record (or resource) data a handheld older than DLP 1.4 takes in one request.
inline constexpr std::size_t kMaxRecordBeforeDlp14 = 0xffff - 8;
inline constexpr std::size_t kMaxResourceBeforeDlp14 = 0xffff - 10;

// Checks, before anything is sent, that the handheld can take every record of `database`.
Status CheckFitsHandheld(const CPalmDatabase& database, const SysInfo& system);

// Installs `database` on the handheld: OpenConduit, DeleteDB (only when replacing), CreateDB, the app and
// sort info blocks when there are any, every record or resource, CloseDB. When anything fails after CreateDB
// the half-written database is closed and deleted, so none stays on the handheld.
Status InstallOnHandheld(DlpClient& dlp,
                         const Handheld& handheld,
                         const CPalmDatabase& database,
                         const InstallOptions& options,
                         const ProgressCallback& progress = {});

// The whole list of databases in RAM (or where `where` says), page by page. A page that does not move past
// the previous one, or more than 65,535 entries, ends with a Protocol error.
Result<std::vector<DbInfo>> ListDatabases(DlpClient& dlp, std::uint8_t where = db_list::Ram);

// Reads the database named `name` from the handheld into a CPalmDatabase: OpenConduit, OpenDB, FindDB by
// the handle (ReadOpenDBInfo where the handheld has no FindDB), the app and sort info blocks (none is fine),
// each record or resource by index, CloseDB. `listed`, the database's entry in the database list when the
// caller has it, describes the database where the handheld's FindDB does not.
Result<CPalmDatabase> ReadFromHandheld(DlpClient& dlp,
                                       const Handheld& handheld,
                                       const std::string& name,
                                       const ProgressCallback& progress = {},
                                       const DbInfo* listed = nullptr);

struct SessionOptions
{
    // How long one reply may take before the handheld counts as gone.
    std::chrono::milliseconds replyTimeout{30000};
};

// The work of a session; returns the line for the handheld's HotSync log (empty: no line).
using SessionWork = std::function<Result<std::string>(DlpClient& dlp, const Handheld& handheld)>;

// Runs a session over a link whose transport handshake is done: ReadSysInfo and ReadUserInfo, the work, one
// AddSyncLogEntry line when the work gives one, EndOfSync. When the work fails the sync is still ended when
// the link allows it, and the work's error is returned.
Status RunSession(IPacketLink& link, CancelFlag& cancel, const SessionOptions& options, const SessionWork& work);

} // namespace hotsync
