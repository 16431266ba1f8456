#pragma once

// The HotSync use cases both front ends share: installing databases on the handheld, and reading the
// songbook's song and chord databases back. Each opens the connection (the user presses HotSync meanwhile),
// runs one session, and reports as it goes; any thread may run them.

#include "pdb/PalmDatabase.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "hotsync/Link.h"
#include "hotsync/Operations.h"
#include "platform/Result.h"

struct HotSyncSessionSetup
{
    std::string connection;                                  // as ParseConnection reads it
    hotsync::Deadline deadline = hotsync::Deadline::Never(); // for the handheld to answer
    hotsync::CancelFlag* cancel = nullptr;                   // must be set; every wait sees it within 100 ms
    std::function<void()> connected;                         // the handheld answered (may be empty)
    hotsync::ProgressCallback progress;                      // each record of each database (may be empty)
};

// Where the session for `connection` waits for the handheld, in words for the user (see messages::WaitingOnUsb);
// empty for a connection that does not parse, whose session fails with the reason at once.
std::string WhereHotSyncWaits(std::string_view connection);

// Installs `databases` in one session. Every database is checked against the handheld before the first is
// written; with `replace` a database of the same name is deleted first, else the install fails with Exists.
Status InstallDatabasesByHotSync(const HotSyncSessionSetup& setup,
                                 const std::vector<const CPalmDatabase*>& databases,
                                 bool replace);

// Every song and chord database of the songbook (creator TuNe, types SONG and CHRD) read from the handheld, in
// the order the handheld lists them.
Result<std::vector<CPalmDatabase>> ReadSongbookByHotSync(const HotSyncSessionSetup& setup);
