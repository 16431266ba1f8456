// Replays of sessions recorded with real handhelds: the desktop side must write exactly the recorded bytes.

#include <gtest/gtest.h>

#include <algorithm>

#include "FakeHandheld.h"
#include "Streams.h"
#include "hotsync/Bytes.h"
#include "hotsync/NetSync.h"
#include "hotsync/Operations.h"
#include "hotsync/Serial.h"

using namespace hotsync;

TEST(HotSyncReplay, SessionsWriteTheRecordedBytes)
{
    Result<CPalmDatabase> pdb = CPalmDatabase::Read(std::string(TEST_DATA_DIR) + "/hotsync/OnBoardHeaderV40.pdb");
    ASSERT_TRUE(pdb) << pdb.error().text;
    std::vector<Progress> progress;
    std::vector<DbListPage> pages;
    std::vector<CPalmDatabase> read;
    Status installed;
    const SessionWork nothing = [](DlpClient&, const Handheld&) { return Done(Status{}); };
    // The first page of the lists at `where`, then the databases `names`.
    const auto lists = [&](std::vector<std::uint8_t> where, std::vector<const char*> names) -> SessionWork {
        return [&, where, names](DlpClient& dlp, const Handheld& handheld) -> Result<std::string> {
            for (const std::uint8_t list : where) {
                Result<DbListPage> page = dlp.ReadDBList(list | db_list::Multiple, 0);
                if (!page) {
                    return page.error();
                }
                pages.push_back(std::move(*page));
            }
            for (const char* name : names) {
                Result<CPalmDatabase> db = ReadFromHandheld(dlp, handheld, name);
                if (!db) {
                    return db.error();
                }
                read.push_back(std::move(*db));
            }
            return std::string();
        };
    };
    const SessionWork list = lists({db_list::Ram}, {});
    const SessionWork readBoth = lists({db_list::Rom, db_list::Ram}, {"MemoDB", "Memo Pad"});
    const SessionWork createDelete = [](DlpClient& dlp, const Handheld&) -> Result<std::string> {
        Status absent = dlp.DeleteDB("foobar");
        if (absent || absent.error().kind != ErrorKind::NotFound) {
            return MakeError(ErrorKind::Protocol, "DeleteDB of a missing database did not say not found");
        }
        Result<std::uint8_t> handle = dlp.CreateDB("foobar", MakeFourCC("AAAA"), MakeFourCC("DATA"), 0x0008, 0);
        if (!handle) {
            return handle.error();
        }
        Result<OpenDbInfo> found = dlp.FindDBByHandle(*handle, 0xe0);
        if (!found || !found->info || found->info->name != "foobar" || found->recordCount != 0) {
            return MakeError(ErrorKind::Protocol, "FindDB did not describe the new database");
        }
        Status closed = dlp.CloseDB(*handle);
        return Done(closed ? dlp.DeleteDB("foobar") : closed);
    };
    const SessionWork install = [&](DlpClient& dlp, const Handheld& handheld) -> Result<std::string> {
        installed = InstallOnHandheld(
            dlp, handheld, *pdb, InstallOptions{true}, [&](const Progress& step) { progress.push_back(step); });
        return Done(installed);
    };
    struct Case
    {
        const char* recording;
        const SessionWork& work;
        std::size_t checked = SIZE_MAX; // the install of the .pdb ends with its CloseDB at this byte
    };
    const Case cases[] = {
        {"no-op-test.net.json", nothing},
        {"no-op-test.serial-net.json", nothing},
        {"list-db-test.net.json", list},
        {"list-db-test.serial-net.json", list},
        {"create-delete-db-test.net.json", createDelete},
        {"create-delete-db-test.serial-net.json", createDelete},
        {"read-db-test.usb.json", readBoth},
        {"read-db-test.serial-net.json", readBoth},
        {"write-db-test.usb.json", install, 18367},
        {"write-db-test.serial-net.json", install, 20299},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.recording);
        const std::string name = c.recording;
        const bool serial = name.find("serial") != std::string::npos;
        ReplayStream stream(c.recording, c.checked);
        CancelFlag cancel{false};
        const Deadline deadline = Deadline::In(std::chrono::seconds(5));
        Result<std::unique_ptr<IPacketLink>> link = MakeError(ErrorKind::System, "no link");
        if (serial) {
            link = StartSerialSession(stream, 115200, {}, deadline, cancel);
        } else if (auto netSync = std::make_unique<NetSyncLink>(stream); RunNetSyncHandshake(*netSync, deadline)) {
            link = std::unique_ptr<IPacketLink>(std::move(netSync));
        }
        ASSERT_TRUE(link) << link.error().text;
        pages.clear();
        read.clear();
        progress.clear();
        const Status session = RunSession(**link, cancel, SessionOptions{std::chrono::milliseconds(2000)}, c.work);
        ASSERT_FALSE(stream.mismatch) << "first difference at byte " << *stream.mismatch;
        if (c.checked != SIZE_MAX) {
            // The recording goes on to install a database not kept here.
            ASSERT_TRUE(installed) << installed.error().text;
            ASSERT_EQ(progress.size(), 14u);
            EXPECT_EQ(progress.back().record, 13);
            EXPECT_GE(stream.written.size(), c.checked);
            continue;
        }
        ASSERT_TRUE(session) << session.error().text;
        // Past what the desktop wrote, the recording may only acknowledge repeats sent after the handheld's last reply.
        const Bytes rest(stream.expected.begin() + static_cast<std::ptrdiff_t>(stream.written.size()),
                         stream.expected.end());
        for (const SerialPacket& packet : SerialPackets(rest)) {
            EXPECT_EQ(packet.header.type, 2);
        }
        EXPECT_EQ(SerialPackets(rest).size() * 16, rest.size());
        if (name.starts_with("list-db")) {
            ASSERT_EQ(pages.size(), 1u);
            EXPECT_EQ(pages[0].databases.size(), serial ? 13u : 20u);
            EXPECT_EQ(pages[0].databases.front().name, "AddressDB");
        }
        if (!name.starts_with("read-db")) {
            continue;
        }
        ASSERT_EQ(std::tuple(pages.size(), read.size()), std::tuple(2u, 2u));
        EXPECT_EQ(std::tuple(pages[0].more, read[0].m_type, read[0].m_isResourceDb, read[0].m_sortInfo.empty()),
                  std::tuple(true, MakeFourCC("DATA"), false, true));
        EXPECT_EQ(std::tuple(read[1].m_type, read[1].m_isResourceDb), std::tuple(MakeFourCC("appl"), true));
        if (serial) {
            continue; // another handheld, and the serial stream cuts its replies into packets
        }
        EXPECT_EQ(std::tuple(pages[0].databases.size(),
                             pages[1].databases.size(),
                             pages[0].lastIndex,
                             pages[1].lastIndex,
                             read[0].GetRecordCount(),
                             read[1].GetRecordCount()),
                  std::tuple(20u, 20u, 0x21, 0x74, 2, 31));
        // The blocks, records and resources read are what the handheld sent: each reply's argument laid out here.
        const auto sent = [&](const Bytes& bytes) {
            return std::search(stream.reads.begin(), stream.reads.end(), bytes.begin(), bytes.end()) !=
                   stream.reads.end();
        };
        EXPECT_FALSE(read[0].m_appInfo.empty());
        EXPECT_TRUE(sent(
            ByteWriter().U16(static_cast<std::uint16_t>(read[0].m_appInfo.size())).Bytes(read[0].m_appInfo).Data()));
        for (const CPalmDatabase& db : read) {
            for (std::size_t i = 0; i < db.Records().size(); ++i) {
                const CPdbRecord& record = db.Records()[i];
                const auto index = static_cast<std::uint16_t>(i);
                ByteWriter reply;
                db.m_isResourceDb ? reply.U32(record.m_resourceType).U16(record.m_resourceId).U16(index)
                                  : reply.U32(record.m_uniqueId).U16(index);
                reply.U16(static_cast<std::uint16_t>(record.Length()));
                if (!db.m_isResourceDb) {
                    reply.U8(record.m_attributes & 0xf0).U8(record.m_attributes & 0x0f);
                }
                EXPECT_TRUE(sent(reply.Bytes(record.Data()).Data())) << db.m_name << " record " << i;
            }
        }
    }
}
