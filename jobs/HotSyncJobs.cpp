#include "jobs/HotSyncJobs.h"

#include "jobs/Messages.h"
#include "jobs/TuneloreDatabase.h"

#include <chrono>

#include "hotsync/Connection.h"
#include "hotsync/Tcp.h"

namespace {

// Opens the connection and runs the work in a session.
Status RunHotSync(const HotSyncSessionSetup& setup, const hotsync::SessionWork& work)
{
    const Result<hotsync::HandheldRoute> route = hotsync::ParseConnection(setup.connection);
    if (!route) {
        return route.error();
    }
    Result<std::unique_ptr<hotsync::IPacketLink>> link =
        hotsync::OpenHandheldLink(*route, setup.deadline, *setup.cancel);
    if (!link) {
        if (link.error().kind == ErrorKind::Timeout) {
            return MakeError(ErrorKind::Timeout, messages::NoHandheldConnected(hotsync::DescribeConnection(*route)));
        }
        return link.error();
    }
    if (setup.connected) {
        setup.connected();
    }
    return hotsync::RunSession(**link, *setup.cancel, hotsync::SessionOptions{}, work);
}

} // namespace

std::string WhereHotSyncWaits(std::string_view connection)
{
    const Result<hotsync::HandheldRoute> route = hotsync::ParseConnection(connection);
    if (!route) {
        return {};
    }
    switch (route->kind) {
    case hotsync::HandheldRoute::Kind::Usb:
        return messages::WaitingOnUsb();
    case hotsync::HandheldRoute::Kind::Net:
        return messages::WaitingOnNetwork(route->address,
                                          route->port,
                                          route->address.empty() ? hotsync::LocalAddresses()
                                                                 : std::vector<std::string>{});
    case hotsync::HandheldRoute::Kind::Serial:
        return messages::WaitingOnSerial(route->device, route->baud);
    case hotsync::HandheldRoute::Kind::SerialNet:
        return messages::WaitingOnEmulator(route->address, route->port);
    }
    return {};
}

Status InstallDatabasesByHotSync(const HotSyncSessionSetup& setup,
                                 const std::vector<const CPalmDatabase*>& databases,
                                 bool replace)
{
    return RunHotSync(setup, [&](hotsync::DlpClient& dlp, const hotsync::Handheld& handheld) -> Result<std::string> {
        for (const CPalmDatabase* db : databases) {
            if (Status fits = hotsync::CheckFitsHandheld(*db, handheld.system); !fits) {
                return fits.error();
            }
        }
        std::string names;
        for (const CPalmDatabase* db : databases) {
            if (Status installed =
                    hotsync::InstallOnHandheld(dlp, handheld, *db, hotsync::InstallOptions{replace}, setup.progress);
                !installed) {
                return installed.error();
            }
            names += (names.empty() ? "" : ", ") + db->m_name;
        }
        return messages::InstalledOnHandheld(names);
    });
}

Result<std::vector<CPalmDatabase>> ReadSongbookByHotSync(const HotSyncSessionSetup& setup)
{
    std::vector<CPalmDatabase> read;
    const Status done =
        RunHotSync(setup, [&](hotsync::DlpClient& dlp, const hotsync::Handheld& handheld) -> Result<std::string> {
            Result<std::vector<hotsync::DbInfo>> list = hotsync::ListDatabases(dlp);
            if (!list) {
                return list.error();
            }
            for (const hotsync::DbInfo& info : *list) {
                if (info.creator != TUNELORE_CREATOR || (info.type != SONG_DB_TYPE && info.type != CHORD_DB_TYPE)) {
                    continue;
                }
                Result<CPalmDatabase> db = hotsync::ReadFromHandheld(dlp, handheld, info.name, setup.progress, &info);
                if (!db) {
                    return db.error();
                }
                read.push_back(std::move(*db));
            }
            return std::string(); // nothing was installed, so nothing for the handheld's log
        });
    if (!done) {
        return done.error();
    }
    return read;
}
