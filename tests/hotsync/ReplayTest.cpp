// Replays of sessions recorded with real handhelds: the desktop side must write exactly the recorded bytes.

#include <gtest/gtest.h>

#include "Recording.h"
#include "hotsync/NetSync.h"
#include "hotsync/Operations.h"
#include "hotsync/Serial.h"

using namespace hotsync;

namespace {

constexpr std::uint8_t kCloseDB = 0x19;

// Runs a whole session (connection handshake, ReadSysInfo, ReadUserInfo, the work, EndOfSync) over the
// recording, as NetSync (network and USB recordings) or as the serial link (the serial-net ones).
Status Replay(ReplayStream& stream, const SessionWork& work, bool serial = false)
{
    CancelFlag cancel{false};
    std::unique_ptr<IPacketLink> link;
    if (serial) {
        Result<std::unique_ptr<IPacketLink>> started =
            StartSerialSession(stream, 115200, {}, Deadline::In(std::chrono::seconds(5)), cancel);
        if (!started) {
            return started.error();
        }
        link = std::move(*started);
    } else {
        auto netSync = std::make_unique<NetSyncLink>(stream);
        if (Status shook = RunNetSyncHandshake(*netSync, Deadline::In(std::chrono::seconds(5))); !shook) {
            return shook;
        }
        link = std::move(netSync);
    }
    return RunSession(*link, cancel, SessionOptions{std::chrono::milliseconds(2000)}, work);
}

// The first `count` bytes of both streams agree (and the desktop wrote that many).
void ExpectSamePrefix(const ReplayStream& stream, std::size_t count)
{
    ASSERT_FALSE(stream.Mismatch()) << "first difference at byte " << *stream.Mismatch();
    ASSERT_GE(stream.Written().size(), count);
    ASSERT_GE(stream.Expected().size(), count);
    EXPECT_TRUE(std::equal(stream.Written().begin(),
                           stream.Written().begin() + static_cast<std::ptrdiff_t>(count),
                           stream.Expected().begin()));
}

CPalmDatabase LoadPdb(const std::string& name)
{
    PdbReadResult read = CPalmDatabase::Read(std::string(TEST_DATA_DIR) + "/hotsync/" + name);
    if (!read.database) {
        throw std::runtime_error("cannot read " + name + ": " + read.error);
    }
    return std::move(*read.database);
}

// The handheld's replies in a recording whose first byte is `function | 0x80`, with their data argument
// (the first one) taken out independently of the code under test.
std::vector<std::vector<std::uint8_t>> ReplyArguments(const std::vector<RecordedChunk>& chunks, std::uint8_t function)
{
    std::vector<std::vector<std::uint8_t>> found;
    for (const FramedMessage& message : SplitNetSync(Concatenated(chunks, true))) {
        const auto& p = message.payload;
        if (p.size() < 6 || p[0] != (function | 0x80) || p[1] == 0) {
            continue;
        }
        const bool wide = (p[4] & 0x80) != 0;
        const std::size_t start = wide ? 8 : 6;
        const std::size_t length = wide ? (std::size_t{p[6]} << 8 | p[7]) : p[5];
        found.emplace_back(p.begin() + static_cast<std::ptrdiff_t>(start),
                           p.begin() + static_cast<std::ptrdiff_t>(start + length));
    }
    return found;
}

} // namespace

TEST(HotSyncReplay, InstallMatchesTheRecordedSessionsUpToTheDatabaseClose)
{
    const CPalmDatabase database = LoadPdb("OnBoardHeaderV40.pdb");
    ASSERT_EQ(database.GetRecordCount(), 13);
    for (const bool serial : {false, true}) {
        const std::string name = serial ? "write-db-test.serial-net.json" : "write-db-test.usb.json";
        SCOPED_TRACE(name);
        std::vector<RecordedChunk> chunks = LoadRecording(name);
        // Up to the end of the first CloseDB the desktop sent: the install of the .pdb.
        std::size_t closeEnd = 0;
        const std::vector<std::uint8_t> written = Concatenated(chunks, false);
        if (serial) {
            for (const SerialPacket& packet : SerialPackets(written)) {
                if (packet.header.type == 1 && !packet.data.empty() && packet.data[0] == kCloseDB) {
                    closeEnd = packet.end;
                    break;
                }
            }
        } else {
            for (const FramedMessage& message : SplitNetSync(written)) {
                if (!message.payload.empty() && message.payload[0] == kCloseDB) {
                    closeEnd = message.end;
                    break;
                }
            }
        }
        ASSERT_EQ(closeEnd, serial ? 20299u : 18367u);
        ReplayStream stream(std::move(chunks), closeEnd);

        Status installed = MakeError(ErrorKind::System, "not run");
        std::vector<int> progress;
        (void)Replay(
            stream,
            [&](DlpClient& dlp, const Handheld& handheld) -> Result<std::string> {
                installed = InstallOnHandheld(dlp, handheld, database, InstallOptions{true}, [&](const Progress& step) {
                    progress.push_back(step.record);
                });
                return std::string();
            },
            serial);
        ASSERT_TRUE(installed) << installed.error().text;
        ExpectSamePrefix(stream, closeEnd);
        EXPECT_EQ(progress.size(), 14u);
        EXPECT_EQ(progress.back(), 13);
    }
}

TEST(HotSyncReplay, ReadSessionMatchesTheRecordingAndReadsItsDatabases)
{
    const std::vector<RecordedChunk> chunks = LoadRecording("read-db-test.usb.json");
    ReplayStream stream(chunks);
    std::vector<DbListPage> pages;
    std::optional<CPalmDatabase> memos;
    std::optional<CPalmDatabase> memoPad;
    const SessionWork work = [&](DlpClient& dlp, const Handheld& handheld) -> Result<std::string> {
        pages.clear();
        for (const std::uint8_t where : {db_list::Rom, db_list::Ram}) {
            Result<DbListPage> page = dlp.ReadDBList(where | db_list::Multiple, 0);
            if (!page) {
                return page.error();
            }
            pages.push_back(std::move(*page));
        }
        Result<CPalmDatabase> first = ReadFromHandheld(dlp, handheld, "MemoDB");
        if (!first) {
            return first.error();
        }
        memos = std::move(*first);
        Result<CPalmDatabase> second = ReadFromHandheld(dlp, handheld, "Memo Pad");
        if (!second) {
            return second.error();
        }
        memoPad = std::move(*second);
        return std::string();
    };
    // The same reads over the serial link, with the handheld the serial recording was made with.
    ReplayStream serialStream(LoadRecording("read-db-test.serial-net.json"));
    const Status serialSession = Replay(serialStream, work, true);
    ASSERT_TRUE(serialSession) << serialSession.error().text;
    ASSERT_FALSE(serialStream.Mismatch()) << "first difference at byte " << *serialStream.Mismatch();
    // All the recording has beyond are acknowledgements of repeats the handheld sent after its last reply.
    const std::vector<std::uint8_t> rest(serialStream.Expected().begin() +
                                             static_cast<std::ptrdiff_t>(serialStream.Written().size()),
                                         serialStream.Expected().end());
    for (const SerialPacket& packet : SerialPackets(rest)) {
        EXPECT_EQ(packet.header.type, 2);
    }
    EXPECT_EQ(SerialPackets(rest).size() * 16, rest.size());

    const Status session = Replay(stream, work);
    ASSERT_TRUE(session) << session.error().text;
    ASSERT_FALSE(stream.Mismatch()) << "first difference at byte " << *stream.Mismatch();
    EXPECT_EQ(stream.Written(), stream.Expected());
    ASSERT_EQ(stream.Written().size(), 898u);

    ASSERT_EQ(pages.size(), 2u);
    EXPECT_TRUE(pages[0].more);
    EXPECT_EQ(pages[0].databases.size(), 20u);
    EXPECT_EQ(pages[0].lastIndex, 0x21);
    EXPECT_EQ(pages[1].databases.size(), 20u);
    EXPECT_EQ(pages[1].lastIndex, 0x74);

    // What the handheld sent, taken from the recording without the code under test.
    const auto records = ReplyArguments(chunks, 0x20);
    const auto resources = ReplyArguments(chunks, 0x23);
    const auto appBlocks = ReplyArguments(chunks, 0x1b);
    ASSERT_EQ(records.size(), 2u);
    ASSERT_EQ(resources.size(), 31u);
    ASSERT_EQ(appBlocks.size(), 1u);

    ASSERT_TRUE(memos);
    EXPECT_EQ(memos->m_type, MakeFourCC("DATA"));
    EXPECT_EQ(memos->m_creator, MakeFourCC("memo"));
    EXPECT_FALSE(memos->m_isResourceDb);
    EXPECT_EQ(memos->m_appInfo, std::vector<std::uint8_t>(appBlocks[0].begin() + 2, appBlocks[0].end()));
    EXPECT_TRUE(memos->m_sortInfo.empty());
    ASSERT_EQ(memos->GetRecordCount(), 2);
    for (std::size_t i = 0; i < 2; ++i) {
        const CPdbRecord& record = memos->Records()[i];
        const auto& sent = records[i];
        EXPECT_EQ(record.m_uniqueId, (std::uint32_t{sent[1]} << 16) | (std::uint32_t{sent[2]} << 8) | sent[3]);
        EXPECT_EQ(record.m_attributes, sent[8] | sent[9]);
        EXPECT_EQ(std::vector<std::uint8_t>(record.Data().begin(), record.Data().end()),
                  std::vector<std::uint8_t>(sent.begin() + 10, sent.end()));
    }

    ASSERT_TRUE(memoPad);
    EXPECT_TRUE(memoPad->m_isResourceDb);
    EXPECT_EQ(memoPad->m_type, MakeFourCC("appl"));
    ASSERT_EQ(memoPad->GetRecordCount(), 31);
    for (std::size_t i = 0; i < 31; ++i) {
        const CPdbRecord& resource = memoPad->Records()[i];
        const auto& sent = resources[i];
        EXPECT_EQ(resource.m_resourceType,
                  (std::uint32_t{sent[0]} << 24) | (std::uint32_t{sent[1]} << 16) | (std::uint32_t{sent[2]} << 8) |
                      sent[3]);
        EXPECT_EQ(resource.m_resourceId, (sent[4] << 8) | sent[5]);
        EXPECT_EQ(std::vector<std::uint8_t>(resource.Data().begin(), resource.Data().end()),
                  std::vector<std::uint8_t>(sent.begin() + 10, sent.end()))
            << "resource " << i;
    }
}

TEST(HotSyncReplay, NetworkAndSerialSessionsMatchTheirRecordings)
{
    struct Case
    {
        const char* recording;
        SessionWork work;
    };
    std::size_t listed = 0;
    std::string firstName;
    const Case cases[] = {
        {"no-op-test", [](DlpClient&, const Handheld&) -> Result<std::string> { return std::string(); }},
        {"list-db-test",
         [&](DlpClient& dlp, const Handheld&) -> Result<std::string> {
             Result<DbListPage> page = dlp.ReadDBList(db_list::Ram | db_list::Multiple, 0);
             if (!page) {
                 return page.error();
             }
             listed = page->databases.size();
             firstName = page->databases.front().name;
             return std::string();
         }},
        {"create-delete-db-test",
         [](DlpClient& dlp, const Handheld&) -> Result<std::string> {
             Status absent = dlp.DeleteDB("foobar");
             if (absent || absent.error().kind != ErrorKind::NotFound) {
                 return MakeError(ErrorKind::Protocol, "DeleteDB of a missing database did not say not found");
             }
             Result<std::uint8_t> handle = dlp.CreateDB("foobar", MakeFourCC("AAAA"), MakeFourCC("DATA"), 0x0008, 0);
             if (!handle) {
                 return handle.error();
             }
             Result<OpenDbInfo> found = dlp.FindDBByHandle(*handle, 0xe0);
             if (!found) {
                 return found.error();
             }
             if (!found->info || found->info->name != "foobar" || found->recordCount != 0) {
                 return MakeError(ErrorKind::Protocol, "FindDB described another database");
             }
             if (Status closed = dlp.CloseDB(*handle); !closed) {
                 return closed.error();
             }
             if (Status deleted = dlp.DeleteDB("foobar"); !deleted) {
                 return deleted.error();
             }
             return std::string();
         }},
    };
    for (const bool serial : {false, true}) {
        for (const Case& c : cases) {
            const std::string name = std::string(c.recording) + (serial ? ".serial-net.json" : ".net.json");
            SCOPED_TRACE(name);
            ReplayStream stream(LoadRecording(name));
            const Status session = Replay(stream, c.work, serial);
            ASSERT_TRUE(session) << session.error().text;
            ASSERT_FALSE(stream.Mismatch()) << "first difference at byte " << *stream.Mismatch();
            EXPECT_EQ(stream.Written(), stream.Expected());
        }
        EXPECT_EQ(listed, serial ? 13u : 20u);
        EXPECT_EQ(firstName, "AddressDB");
    }
}
