// The serial session replayed against sessions recorded with a real handheld operating system: the desktop's
// side must write the very bytes the recording holds, acknowledgements and their order included, and must
// hand every reply over whole.

#include "tests/hotsync_serial/Recording.h"

#include <gtest/gtest.h>

#include <chrono>

#include "hotsync/Serial.h"

namespace {

using namespace std::chrono_literals;

struct ReplayCase
{
    const char* file;
    // The session is driven up to and including the first request with this DLP function (0: all of it).
    std::uint8_t lastFunction;
};

class SerialReplay : public testing::TestWithParam<ReplayCase>
{
};

TEST_P(SerialReplay, DesktopWritesTheRecordedBytes)
{
    const std::vector<recording::Entry> entries = recording::Load(GetParam().file);
    const std::vector<recording::Message> sent = recording::Messages(entries, false);
    const std::vector<recording::Message> received = recording::Messages(entries, true);
    ASSERT_GT(sent.size(), 2u);

    recording::ReplayStream replay(entries);
    hotsync::CancelFlag cancel{false};
    std::vector<std::uint32_t> speeds;
    auto link = hotsync::StartSerialSession(
        replay,
        115200,
        [&](std::uint32_t speed) {
            speeds.push_back(speed);
            return Status{};
        },
        hotsync::Deadline::In(10s),
        cancel);
    ASSERT_TRUE(link) << link.error().text << " / " << replay.Failure();
    EXPECT_EQ(speeds, std::vector<std::uint32_t>{115200});

    std::size_t mustReach = 0;
    for (const recording::Message& request : sent) {
        if (request.xid == 0xFF) {
            continue; // the connection handshake, done above
        }
        Status put = (*link)->Send(request.bytes, hotsync::Deadline::In(10s));
        ASSERT_TRUE(put) << put.error().text << " / " << replay.Failure();
        Result<std::vector<std::uint8_t>> reply = (*link)->Receive(hotsync::Deadline::In(10s));
        ASSERT_TRUE(reply) << reply.error().text << " / " << replay.Failure();
        const auto recorded = std::find_if(
            received.begin(), received.end(), [&](const recording::Message& m) { return m.xid == request.xid; });
        ASSERT_NE(recorded, received.end());
        EXPECT_EQ(*reply, recorded->bytes) << "reply to transaction " << int{request.xid};
        mustReach = request.end;
        if (request.bytes.at(0) == GetParam().lastFunction) {
            break;
        }
    }
    EXPECT_TRUE(replay.Failure().empty()) << replay.Failure();
    EXPECT_GE(replay.Written(), mustReach);
    if (GetParam().lastFunction == 0) {
        // All that is left are acknowledgements of repeats the handheld sent after its last reply.
        for (const recording::Packet& ack : recording::Packets(replay.Unwritten())) {
            EXPECT_EQ(ack.header.type, 2);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Recordings,
                         SerialReplay,
                         testing::Values(ReplayCase{"no-op-test.serial-net.json", 0},
                                         ReplayCase{"list-db-test.serial-net.json", 0},
                                         ReplayCase{"create-delete-db-test.serial-net.json", 0},
                                         ReplayCase{"read-db-test.serial-net.json", 0},
                                         // The first database's install ends with CloseDB.
                                         ReplayCase{"write-db-test.serial-net.json", 0x19}),
                         [](const testing::TestParamInfo<ReplayCase>& param) {
                             std::string name = param.param.file;
                             name = name.substr(0, name.find('.'));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace
