// The serial link against a scripted handheld: noise and damaged packets, repeats, lost acknowledgements,
// tickles, hostile lengths, a handheld that vanishes, and the connection handshake.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "FakeHandheld.h"
#include "Streams.h"
#include "hotsync/Serial.h"

namespace {

using namespace std::chrono_literals;
using hotsync::Deadline;
using hotsync::padp::kFirst;
using hotsync::padp::kLast;
using hotsync::padp::Type;
using script::Packet;
constexpr std::uint8_t kWhole = kFirst | kLast;

const hotsync::padp::Timing kQuick{1ms, 3, 512};

// A header with a right sum that claims `length` bytes of body.
Bytes FalseHeader(std::uint8_t length)
{
    Bytes header = {0xBE, 0xEF, 0xED, 3, 3, 2, 0, length, 1, 0};
    header[9] = static_cast<std::uint8_t>(0xBE + 0xEF + 0xED + 3 + 3 + 2 + length + 1);
    return header;
}

TEST(SlpReceiver, FindsTheGoodPacketBehindNoiseAndDamage)
{
    const hotsync::slp::Packet good{.xid = 7, .body = {1, 2, 3, 0xBE, 0xEF, 0xED}};
    const Bytes goodBytes = hotsync::slp::Encode(good);
    // The bytes with byte `at` changed by `by`; the header's sum fixed too with `sum`.
    const auto changed = [](Bytes bytes, std::size_t at, int by, bool sum = false) {
        bytes[at] = static_cast<std::uint8_t>(bytes[at] + by);
        bytes[9] = static_cast<std::uint8_t>(bytes[9] + (sum ? by : 0));
        return bytes;
    };

    const std::vector<std::pair<Bytes, bool>> cases = {
        {{}, false},
        {{0x00, 0xBE, 0xEF, 0x12, 0xBE, 0xBE}, false},
        {changed(goodBytes, 9, 0x21), true},                    // header sum
        {changed(goodBytes, goodBytes.size() - 1, 0x21), true}, // CRC
        {changed(goodBytes, 11, 0x21), true},                   // body
        {changed(FalseHeader(200), 9, 1), true},                // must be dropped at once, not waited for
        {changed(FalseHeader(0xA0), 6, 0x0F, true), true},      // 4,000 bytes
        {FalseHeader(10), true},                                // its would-be packet covers the start of the good one
    };
    for (const auto& [before, dropsSome] : cases) {
        for (std::size_t feed : {std::size_t{1}, std::size_t{5}, std::size_t{1000}}) {
            SCOPED_TRACE(testing::PrintToString(before) + " fed " + std::to_string(feed) + " at a time");
            Bytes line = before;
            line.insert(line.end(), goodBytes.begin(), goodBytes.end());
            hotsync::slp::Receiver receiver;
            std::vector<hotsync::slp::Packet> got;
            for (std::size_t pos = 0; pos < line.size(); pos += feed) {
                receiver.Feed(std::span(line).subspan(pos, std::min(feed, line.size() - pos)));
                while (auto packet = receiver.Next()) {
                    got.push_back(*packet);
                }
            }
            ASSERT_EQ(got.size(), 1u);
            EXPECT_EQ(std::tuple(int{got[0].xid}, got[0].body, receiver.Dropped() > 0),
                      std::tuple(7, good.body, dropsSome));
        }
    }
}

TEST(PadpReceive, ReassemblesAndAcknowledgesEveryPacketRepeatsIncluded)
{
    Bytes message(2500);
    std::ranges::generate(message, [i = 0]() mutable { return static_cast<std::uint8_t>(7 * i++); });
    const auto part = [&](int from, int to) { return Bytes(message.begin() + from, message.begin() + to); };
    script::ScriptStream stream;
    stream.chunk = 100; // the packets arrive in small pieces
    stream.Send(Packet(Type::Data, 9, kFirst, 2500, part(0, 1024)));
    stream.Send(Packet(Type::Tickle, 0, 0, 0));
    stream.Send(Packet(Type::Data, 9, 0, 1024, part(1024, 2048)));
    stream.Send(Packet(Type::Data, 9, 0, 1024, part(1024, 2048))); // a repeat
    stream.Send(Packet(Type::Data, 9, kLast, 2048, part(2048, 2500)));
    stream.Send(Packet(Type::Data, 10, kWhole, 1, {0x55}));
    stream.Send(Packet(Type::Data, 9, kLast, 2048, part(2048, 2500))); // a repeat after the next message
    hotsync::CancelFlag cancel{false};
    hotsync::padp::Link link(stream, cancel, kQuick);

    EXPECT_EQ(link.Receive(Deadline::In(5s)).value_or(Bytes()), message);
    EXPECT_EQ(link.Receive(Deadline::In(5s)).value_or(Bytes()), Bytes{0x55});
    EXPECT_FALSE(link.Receive(Deadline::In(5s))); // the repeats were no messages
    std::vector<std::tuple<int, int, std::uint32_t>> acks;
    for (const auto& packet : stream.packets) {
        acks.emplace_back(packet.header.type, packet.xid, packet.header.sizeOrOffset);
    }
    const std::vector<std::tuple<int, int, std::uint32_t>> expected = {
        {2, 9, 2500}, {2, 9, 1024}, {2, 9, 1024}, {2, 9, 2048}, {2, 10, 1}, {2, 9, 2048}};
    EXPECT_EQ(acks, expected);
}

TEST(PadpReceive, HostileHandheldsEndTheSession)
{
    const std::vector<std::tuple<const char*, std::vector<Bytes>, ErrorKind>> cases = {
        {"a 4 GB length", {Packet(Type::Data, 1, kFirst, 0xFFFFFFFFu, {1, 2, 3})}, ErrorKind::TooLarge},
        {"a byte past the limit", {Packet(Type::Data, 1, kFirst, hotsync::kMaxMessage + 1, {1})}, ErrorKind::TooLarge},
        {"more data than announced", {Packet(Type::Data, 1, kWhole, 2, {1, 2, 3})}, ErrorKind::Protocol},
        {"a later part first", {Packet(Type::Data, 1, kLast, 10, {1, 2})}, ErrorKind::Protocol},
        {"a gap",
         {Packet(Type::Data, 1, kFirst, 6, {1, 2}), Packet(Type::Data, 1, kLast, 4, {5, 6})},
         ErrorKind::Protocol},
        {"an abort", {Packet(Type::Abort, 1, kWhole, 0)}, ErrorKind::Cancelled},
        {"vanished", {}, ErrorKind::Disconnected},
        {"cancelled", {}, ErrorKind::Cancelled},
    };
    for (const auto& [name, packets, kind] : cases) {
        SCOPED_TRACE(name);
        script::ScriptStream stream;
        stream.gone = true;
        for (const Bytes& packet : packets) {
            stream.Send(packet);
        }
        hotsync::CancelFlag cancel{kind == ErrorKind::Cancelled && packets.empty()};
        hotsync::padp::Link link(stream, cancel, kQuick);
        EXPECT_EQ(Failure(link.Receive(Deadline::Never())), kind);
    }
}

TEST(PadpSend, SplitsIntoAcknowledgedPacketsUnderOneIdThatCountsOn)
{
    script::ScriptStream stream;
    stream.onPacket = [&](const SerialPacket& p) {
        stream.Send(Packet(Type::Ack, p.xid, kWhole, p.header.sizeOrOffset));
    };
    hotsync::CancelFlag cancel{false};
    hotsync::padp::Link link(stream, cancel, kQuick);
    link.SetNextXid(254);
    Bytes message(1100, 0x42);
    message[600] = 1;
    ASSERT_TRUE(link.Send(message, Deadline::In(5s)));
    ASSERT_TRUE(link.Send(Bytes{}, Deadline::In(5s)));

    std::vector<std::tuple<int, int, std::uint32_t>> headers;
    Bytes joined;
    for (const SerialPacket& p : stream.packets) {
        headers.emplace_back(p.xid, p.header.flags, p.header.sizeOrOffset);
        joined.insert(joined.end(), p.data.begin(), p.data.end());
    }
    const std::vector<std::tuple<int, int, std::uint32_t>> expected = {
        {254, kFirst, 1100}, {254, 0, 512}, {254, kLast, 1024}, {1, kWhole, 0}};
    EXPECT_EQ(headers, expected);
    EXPECT_EQ(joined, message);
}

TEST(PadpSend, RetriesLostAcknowledgementsAndFailsWithTheRightReason)
{
    struct SendCase
    {
        const char* name;
        int lost;                // acknowledgements the handheld leaves out
        std::uint8_t ackFlags;   // of the acknowledgements it sends
        std::uint32_t ackOffset; // added to the acknowledged field
        bool replyInstead;       // answers with the reply (same id) and no acknowledgement
        std::optional<ErrorKind> failure;
        std::size_t writes;
    };
    const SendCase cases[] = {
        {"two lost", 2, kWhole, 0, false, std::nullopt, 3},
        {"all lost", 100, kWhole, 0, false, ErrorKind::Disconnected, 3},
        {"another packet's acknowledgement", 0, kWhole, 512, false, ErrorKind::Disconnected, 3},
        {"no memory on the handheld", 0, kWhole | hotsync::padp::kMemoryError, 0, false, ErrorKind::NoSpace, 1},
        {"the reply stands for the lost acknowledgement", 0, kWhole, 0, true, std::nullopt, 2},
    };
    for (const SendCase& c : cases) {
        SCOPED_TRACE(c.name);
        script::ScriptStream stream;
        int lost = c.lost;
        stream.onPacket = [&](const SerialPacket& p) {
            if (p.header.type == 1 && c.replyInstead) {
                stream.Send(Packet(Type::Data, p.xid, kWhole, 2, {0x90, 0}));
            } else if (p.header.type == 1 && lost-- <= 0) {
                stream.Send(Packet(Type::Ack, p.xid, c.ackFlags, p.header.sizeOrOffset + c.ackOffset));
            }
        };
        hotsync::CancelFlag cancel{false};
        hotsync::padp::Link link(stream, cancel, kQuick);
        EXPECT_EQ(Failure(link.Send(Bytes{1, 2, 3}, Deadline::In(5s))), c.failure);
        EXPECT_EQ(stream.writes.size(), c.writes);
        for (const Bytes& write : stream.writes) {
            if (SerialPackets(write).at(0).header.type == 1) {
                EXPECT_EQ(write, stream.writes[0]); // a retry sends the very same bytes
            }
        }
        if (c.replyInstead) {
            EXPECT_EQ(link.Receive(Deadline::In(5s)).value_or(Bytes()), (Bytes{0x90, 0}));
        }
    }
}

TEST(CmpHandshake, ChoosesTheSpeedAndSwitchesAfterTheAcknowledgement)
{
    struct Case
    {
        std::uint32_t offered, most, chosen;             // chosen 0: no switch
        int flags;                                       // of the desktop's answer
        std::uint8_t type = 1;                           // of the handheld's first message: 1 is a wakeup
        std::optional<ErrorKind> failure = std::nullopt; // a refused type, or the port's speed failing
    };
    const std::vector<Case> cases = {{115200, 57600, 57600, 0x90},
                                     {57600, 115200, 57600, 0x90},
                                     {9600, 115200, 0, 0x10},
                                     {0, 115200, 0, 0x10},
                                     {4800, 115200, 0, 0x10},
                                     {115200, 115200, 0, 0, 3, ErrorKind::Protocol},
                                     {115200, 115200, 115200, 0x90, 1, ErrorKind::System}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.offered) + " offered, " + std::to_string(c.most) + " at most, type " +
                     std::to_string(c.type));
        script::ScriptStream stream;
        std::size_t acked = 0;
        stream.onPacket = [&](const SerialPacket& p) {
            if (p.header.type == 1) {
                stream.Send(Packet(Type::Ack, p.xid, kWhole, p.header.sizeOrOffset));
                ++acked;
            }
        };
        const Bytes wakeup = Packet(Type::Data, 0xFF, kWhole, 10, hotsync::cmp::Encode({c.type, 0, 1, 3, c.offered}));
        stream.Send(wakeup);
        stream.Send(wakeup); // sent again before the answer came
        hotsync::CancelFlag cancel{false};
        std::vector<std::uint32_t> speeds;
        std::size_t ackedWhenSwitched = 0;
        auto setSpeed = [&](std::uint32_t speed) {
            speeds.push_back(speed);
            ackedWhenSwitched = acked;
            return c.failure == ErrorKind::System ? Status(MakeError(ErrorKind::System, "speed not supported"))
                                                  : Status{};
        };
        auto link = hotsync::StartSerialSession(stream, c.most, setSpeed, Deadline::In(5s), cancel, kQuick);
        ASSERT_EQ(Failure(link), c.failure) << (link ? "" : link.error().text);
        if (c.failure) {
            continue;
        }
        EXPECT_EQ(speeds, c.chosen ? std::vector<std::uint32_t>{c.chosen} : std::vector<std::uint32_t>{});
        EXPECT_EQ(ackedWhenSwitched, c.chosen ? 1u : 0u);
        ASSERT_TRUE((*link)->Send(Bytes{0x12, 0}, Deadline::In(5s)));
        std::erase_if(stream.packets, [](auto& p) { return p.header.type != 1; });
        ASSERT_EQ(stream.packets.size(), 2u);
        const auto init = hotsync::cmp::Parse(stream.packets[0].data).value_or(hotsync::cmp::Message{});
        EXPECT_EQ(std::make_tuple(int{stream.packets[0].xid}, int{init.type}, int{init.flags}, init.speed),
                  std::make_tuple(0xFF, 2, c.flags, c.chosen));
        EXPECT_EQ(stream.packets[1].xid, 1); // the session's messages count from 1
    }
}

} // namespace
