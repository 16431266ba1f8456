#include "hotsync/Operations.h"

#include <chrono>

namespace hotsync {

namespace {

// Database attributes CreateDB takes: resource, backup, install-newer, reset-after-install, copy prevention.
constexpr std::uint16_t kCreateAttributes = 0x0001 | 0x0008 | 0x0010 | 0x0020 | 0x0040;
constexpr std::size_t kMaxListEntries = 65535;
// A database description's misc flags: the database is in RAM.
constexpr std::uint8_t kRamBased = 0x40;
// A record's DLP attributes: deleted, archived.
constexpr std::uint8_t kDeletedOrArchived = 0x80 | 0x08;
constexpr std::uint16_t kEndNormal = 0;
constexpr std::uint16_t kEndCancelled = 2;
constexpr std::uint16_t kEndOther = 3;
// How long the cleanup after a failed or cancelled install may take in all.
constexpr std::chrono::milliseconds kCleanupLimit{2000};

void Report(const ProgressCallback& progress, const std::string& name, int record, int records)
{
    if (progress) {
        progress({name, record, records});
    }
}

// Whether the link can still carry a request after a failure: not after the link itself failed, nor once
// the desktop's user cancelled (every wait then ends at once). A failure of the desktop's own, such as a
// database the handheld cannot take, leaves it usable, so the handheld still hears that the sync ended.
bool LinkStillUsable(DlpClient& dlp)
{
    return !dlp.Cancel().load() && dlp.LinkUsable();
}

Error Named(const std::string& name, const Error& error)
{
    return MakeError(error.kind, "\"" + name + "\": " + error.text);
}

} // namespace

Status CheckFitsHandheld(const CPalmDatabase& database, const SysInfo& system)
{
    if (system.DlpAtLeast(1, 4)) {
        return {};
    }
    const std::size_t limit = database.m_isResourceDb ? kMaxResourceBeforeDlp14 : kMaxRecordBeforeDlp14;
    const auto records = database.Records();
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].Length() > limit) {
            return MakeError(ErrorKind::TooLarge,
                             "\"" + database.m_name + "\": record " + std::to_string(i + 1) + " holds " +
                                 GroupDigits(records[i].Length()) + " bytes; this handheld takes at most " +
                                 GroupDigits(limit) + " bytes in a record");
        }
    }
    return {};
}

Status InstallOnHandheld(DlpClient& dlp,
                         const Handheld& handheld,
                         const CPalmDatabase& database,
                         const InstallOptions& options,
                         const ProgressCallback& progress)
{
    const std::string& name = database.m_name;
    if (Status fits = CheckFitsHandheld(database, handheld.system); !fits) {
        return fits;
    }
    const auto records = database.Records();
    const int count = static_cast<int>(records.size());
    Report(progress, name, 0, count);

    if (Status opened = dlp.OpenConduit(); !opened) {
        return opened;
    }
    if (options.replace) {
        Status deleted = dlp.DeleteDB(name);
        if (!deleted && deleted.error().kind != ErrorKind::NotFound) {
            return Named(name, deleted.error());
        }
    }
    std::uint16_t attributes = database.m_attributes & kCreateAttributes;
    if (database.m_isResourceDb) {
        attributes |= 0x0001;
    }
    Result<std::uint8_t> handle =
        dlp.CreateDB(name, database.m_creator, database.m_type, attributes, database.m_version);
    if (!handle) {
        if (handle.error().kind == ErrorKind::Exists) {
            return MakeError(ErrorKind::Exists,
                             "a database named \"" + name + "\" is already on the handheld and was kept");
        }
        return Named(name, handle.error());
    }

    // Everything after CreateDB: a failure removes the half-written database.
    const auto write = [&]() -> Status {
        if (!database.m_appInfo.empty()) {
            if (Status written = dlp.WriteAppBlock(*handle, database.m_appInfo); !written) {
                return written;
            }
        }
        if (!database.m_sortInfo.empty()) {
            if (Status written = dlp.WriteSortBlock(*handle, database.m_sortInfo); !written) {
                return written;
            }
        }
        for (int i = 0; i < count; ++i) {
            const CPdbRecord& record = records[static_cast<std::size_t>(i)];
            if (database.m_isResourceDb) {
                if (Status written =
                        dlp.WriteResource(*handle, record.m_resourceType, record.m_resourceId, record.Data());
                    !written) {
                    return written;
                }
            } else {
                Result<std::uint32_t> written =
                    dlp.WriteRecord(*handle, record.m_uniqueId & 0x00ffffffu, record.m_attributes, record.Data());
                if (!written) {
                    return written.error();
                }
            }
            Report(progress, name, i + 1, count);
        }
        return {};
    };
    Status written = write();
    if (!written) {
        // Even after the user cancelled, the half database is closed and deleted, within a short time of
        // its own.
        if (dlp.Cancel().load() || LinkStillUsable(dlp)) {
            dlp.RunDespiteCancel(kCleanupLimit, [&] {
                (void)dlp.CloseDB(*handle);
                (void)dlp.DeleteDB(name);
            });
        }
        return Named(name, written.error());
    }
    if (Status closed = dlp.CloseDB(*handle); !closed) {
        return Named(name, closed.error());
    }
    return {};
}

Result<std::vector<DbInfo>> ListDatabases(DlpClient& dlp, std::uint8_t where)
{
    std::vector<DbInfo> all;
    std::uint32_t start = 0;
    for (;;) {
        Result<DbListPage> page =
            dlp.ReadDBList(static_cast<std::uint8_t>(where | db_list::Multiple), static_cast<std::uint16_t>(start));
        if (!page) {
            if (page.error().kind == ErrorKind::NotFound) {
                return all; // past the last database
            }
            return page.error();
        }
        if (page->databases.empty()) {
            return all;
        }
        if (page->lastIndex < start) {
            return MakeError(ErrorKind::Protocol, "the handheld's database list does not advance");
        }
        if (all.size() + page->databases.size() > kMaxListEntries) {
            return MakeError(ErrorKind::Protocol, "the handheld lists more than 65,535 databases");
        }
        for (DbInfo& info : page->databases) {
            all.push_back(std::move(info));
        }
        if (!page->more) {
            return all;
        }
        start = std::uint32_t{page->lastIndex} + 1;
        if (start > 0xffff) {
            return MakeError(ErrorKind::Protocol, "the handheld lists more than 65,535 databases");
        }
    }
}

Result<CPalmDatabase> ReadFromHandheld(DlpClient& dlp,
                                       const Handheld& handheld,
                                       const std::string& name,
                                       const ProgressCallback& progress,
                                       const DbInfo* listed)
{
    if (Status opened = dlp.OpenConduit(); !opened) {
        return opened.error();
    }
    Result<std::uint8_t> handle = dlp.OpenDB(name, open_mode::Read | open_mode::Secret);
    if (!handle) {
        return Named(name, handle.error());
    }
    const auto read = [&]() -> Result<CPalmDatabase> {
        CPalmDatabase database;
        database.m_name = name;
        std::uint32_t count = 0;
        Result<OpenDbInfo> found = MakeError(ErrorKind::Refused, "no FindDB");
        if (handheld.system.DlpAtLeast(1, 2)) {
            found = dlp.FindDBByHandle(*handle);
            if (!found && found.error().kind != ErrorKind::Refused) {
                return found.error();
            }
        }
        const DbInfo* described = found && found->info ? &*found->info : listed;
        if (described != nullptr) {
            database.m_attributes = described->attributes;
            database.m_isResourceDb = (described->attributes & PDB_ATTR_RESOURCE) != 0;
            database.m_type = described->type;
            database.m_creator = described->creator;
            database.m_version = described->version;
            database.m_modificationNumber = described->modificationNumber;
            database.m_creationDate = described->created;
            database.m_modificationDate = described->modified;
            database.m_backupDate = described->backedUp;
        }
        if (found) {
            count = found->recordCount;
        } else {
            // Handhelds before DLP 1.2 only tell the count.
            Result<std::uint16_t> opened = dlp.ReadOpenDBInfo(*handle);
            if (!opened) {
                return opened.error();
            }
            count = *opened;
        }
        if (count > PDB_MAX_RECORDS) {
            return MakeError(ErrorKind::Protocol, "the handheld claims " + GroupDigits(count) + " records");
        }
        // A database in ROM is asked for a block only when it says it has one: asking some handhelds for a
        // ROM database's missing block crashes them. Where FindDB said nothing, or the database is in RAM,
        // both blocks are asked for and "not found" means none.
        const bool inRam = !found || !found->info || (found->info->miscFlags & kRamBased) != 0;
        if (inRam || found->appBlockSize > 0) {
            Result<std::optional<std::vector<std::uint8_t>>> app = dlp.ReadAppBlock(*handle);
            if (!app) {
                return app.error();
            }
            if (*app) {
                database.m_appInfo = std::move(**app);
            }
        }
        if (inRam || found->sortBlockSize > 0) {
            Result<std::optional<std::vector<std::uint8_t>>> sort = dlp.ReadSortBlock(*handle);
            if (!sort) {
                return sort.error();
            }
            if (*sort) {
                database.m_sortInfo = std::move(**sort);
            }
        }
        const int records = static_cast<int>(count);
        Report(progress, name, 0, records);
        for (int i = 0; i < records; ++i) {
            CPdbRecord record;
            if (database.m_isResourceDb) {
                Result<ResourceReply> resource = dlp.ReadResourceByIndex(*handle, static_cast<std::uint16_t>(i));
                if (!resource) {
                    return resource.error();
                }
                record.m_resourceType = resource->type;
                record.m_resourceId = resource->id;
                record.SetData(resource->data);
            } else {
                Result<RecordReply> reply = dlp.ReadRecordByIndex(*handle, static_cast<std::uint16_t>(i));
                if (!reply) {
                    return reply.error();
                }
                if ((reply->attributes & kDeletedOrArchived) != 0) {
                    Report(progress, name, i + 1, records);
                    continue; // no longer part of the database's contents
                }
                record.m_attributes = static_cast<std::uint8_t>((reply->attributes & 0xf0) | (reply->category & 0x0f));
                record.m_uniqueId = reply->uniqueId & 0x00ffffffu;
                record.SetData(reply->data);
            }
            database.AddRecord(std::move(record));
            Report(progress, name, i + 1, records);
        }
        return database;
    };
    Result<CPalmDatabase> database = read();
    if (!database) {
        if (LinkStillUsable(dlp)) {
            (void)dlp.CloseDB(*handle);
        }
        return Named(name, database.error());
    }
    if (Status closed = dlp.CloseDB(*handle); !closed) {
        return Named(name, closed.error());
    }
    return database;
}

Status RunSession(IPacketLink& link, CancelFlag& cancel, const SessionOptions& options, const SessionWork& work)
{
    DlpClient dlp(link, cancel, options.replyTimeout);
    Handheld handheld;
    Result<SysInfo> system = dlp.ReadSysInfo();
    if (!system) {
        return system.error();
    }
    handheld.system = *system;
    Result<UserInfo> user = dlp.ReadUserInfo();
    if (!user) {
        return user.error();
    }
    handheld.user = std::move(*user);

    Result<std::string> done = work(dlp, handheld);
    if (!done) {
        if (LinkStillUsable(dlp)) {
            (void)dlp.EndOfSync(done.error().kind == ErrorKind::Cancelled ? kEndCancelled : kEndOther);
        }
        return done.error();
    }
    if (!done->empty()) {
        if (Status logged = dlp.AddSyncLogEntry(*done + "\n"); !logged) {
            return logged;
        }
    }
    Status ended = dlp.EndOfSync(kEndNormal);
    // Some handhelds drop the connection as soon as they have the end of the sync, before answering it.
    if (!ended && ended.error().kind != ErrorKind::Disconnected) {
        return ended;
    }
    return {};
}

} // namespace hotsync
