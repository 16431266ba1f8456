// The serial link against a scripted handheld: noise and damaged packets, repeats, lost acknowledgements,
// tickles, hostile lengths, a handheld that vanishes, and the connection handshake.

#include "tests/hotsync_serial/ScriptStream.h"

#include <gtest/gtest.h>

#include <chrono>

#include "hotsync/Serial.h"

namespace {

using namespace std::chrono_literals;
using hotsync::Deadline;
using hotsync::padp::kFirst;
using hotsync::padp::kLast;
using hotsync::padp::Type;
using script::Packet;

std::vector<std::uint8_t> Bytes(std::size_t count, std::uint8_t seed)
{
    std::vector<std::uint8_t> out(count);
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    return out;
}

hotsync::padp::Timing Quick()
{
    hotsync::padp::Timing timing;
    timing.ackTimeout = 1ms;
    timing.tries = 3;
    return timing;
}

// ---- packets on the line ----

struct NoiseCase
{
    const char* name;
    std::vector<std::uint8_t> before; // what precedes a good packet
    bool damaged;
};

TEST(SlpReceiver, FindsTheGoodPacketBehindNoiseAndDamage)
{
    hotsync::slp::Packet good;
    good.xid = 7;
    good.body = {1, 2, 3, 0xBE, 0xEF, 0xED};
    const std::vector<std::uint8_t> goodBytes = hotsync::slp::Encode(good);

    std::vector<std::uint8_t> badSum = goodBytes;
    badSum[9] ^= 0x01;
    std::vector<std::uint8_t> badCrc = goodBytes;
    badCrc.back() ^= 0x80;
    std::vector<std::uint8_t> badBody = goodBytes;
    badBody[11] ^= 0x04;
    // A header that sums right but claims 4,000 bytes.
    std::vector<std::uint8_t> tooLong = {0xBE, 0xEF, 0xED, 3, 3, 2, 0x0F, 0xA0, 1, 0};
    tooLong[9] = static_cast<std::uint8_t>(0xBE + 0xEF + 0xED + 3 + 3 + 2 + 0x0F + 0xA0 + 1);

    // A header that sums right and claims 10 bytes, so that its would-be packet covers the start of the good
    // one: the search must go on inside it.
    std::vector<std::uint8_t> falseStart = {0xBE, 0xEF, 0xED, 3, 3, 2, 0, 10, 1, 0};
    falseStart[9] = static_cast<std::uint8_t>(0xBE + 0xEF + 0xED + 3 + 3 + 2 + 10 + 1);

    // A header with a wrong sum claiming more than follows: it must be dropped at once, not waited for.
    const std::vector<std::uint8_t> badSumLong = {0xBE, 0xEF, 0xED, 3, 3, 2, 0, 200, 1, 0x55};

    const std::vector<NoiseCase> cases = {
        {"nothing", {}, false},
        {"noise", {0x00, 0xBE, 0xEF, 0x12, 0xBE, 0xBE}, false},
        {"bad header sum", badSum, true},
        {"bad CRC", badCrc, true},
        {"damaged body", badBody, true},
        {"length past the bound", tooLong, true},
        {"false start", falseStart, true},
        {"bad header sum and a long length", badSumLong, true},
    };
    for (const NoiseCase& c : cases) {
        for (std::size_t feed : {std::size_t{1}, std::size_t{5}, std::size_t{1000}}) {
            SCOPED_TRACE(std::string(c.name) + ", fed " + std::to_string(feed) + " at a time");
            std::vector<std::uint8_t> line = c.before;
            line.insert(line.end(), goodBytes.begin(), goodBytes.end());
            hotsync::slp::Receiver receiver;
            std::vector<hotsync::slp::Packet> got;
            for (std::size_t pos = 0; pos < line.size(); pos += feed) {
                receiver.Feed(std::span<const std::uint8_t>(line).subspan(pos, std::min(feed, line.size() - pos)));
                while (auto packet = receiver.Next()) {
                    got.push_back(*packet);
                }
            }
            ASSERT_EQ(got.size(), 1u);
            EXPECT_EQ(got[0].xid, 7);
            EXPECT_EQ(got[0].body, good.body);
            EXPECT_EQ(receiver.Dropped() > 0, c.damaged);
        }
    }
}

TEST(SlpReceiver, CrcMatchesTheKnownCheckValue)
{
    // The standard check value of this CRC over "123456789".
    const std::string text = "123456789";
    EXPECT_EQ(hotsync::slp::Crc16(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())), 0x31C3);
}

// ---- receiving messages ----

TEST(PadpReceive, ReassemblesFragmentsAndAcknowledgesEachWithItsOffset)
{
    const std::vector<std::uint8_t> message = Bytes(2500, 3);
    script::ScriptStream stream;
    stream.chunk = 100; // the packets arrive in small pieces
    stream.Send(Packet(Type::Data, 9, kFirst, 2500, {message.begin(), message.begin() + 1024}));
    stream.Send(Packet(Type::Tickle, 0, 0, 0));
    stream.Send(Packet(Type::Data, 9, 0, 1024, {message.begin() + 1024, message.begin() + 2048}));
    stream.Send(Packet(Type::Data, 9, 0, 1024, {message.begin() + 1024, message.begin() + 2048})); // a repeat
    stream.Send(Packet(Type::Data, 9, kLast, 2048, {message.begin() + 2048, message.end()}));
    hotsync::CancelFlag cancel{false};
    hotsync::padp::Link link(stream, cancel, Quick());

    Result<std::vector<std::uint8_t>> got = link.Receive(Deadline::In(5s));
    ASSERT_TRUE(got) << got.error().text;
    EXPECT_EQ(*got, message);
    std::vector<std::uint32_t> acked;
    for (const auto& write : stream.writes) {
        for (const script::Seen& seen : script::Decode(write)) {
            EXPECT_EQ(seen.xid, 9);
            EXPECT_EQ(seen.header.type, static_cast<std::uint8_t>(Type::Ack));
            acked.push_back(seen.header.sizeOrOffset);
        }
    }
    EXPECT_EQ(acked, (std::vector<std::uint32_t>{2500, 1024, 1024, 2048}));
}

TEST(PadpReceive, RepeatedMessageIsAcknowledgedAgainButDeliveredOnce)
{
    script::ScriptStream stream;
    const std::vector<std::uint8_t> reply = {0x92, 0, 0, 0};
    stream.Send(Packet(Type::Data, 4, kFirst | kLast, 4, reply));
    stream.Send(Packet(Type::Data, 4, kFirst | kLast, 4, reply));
    stream.Send(Packet(Type::Data, 5, kFirst | kLast, 1, {0x55}));
    hotsync::CancelFlag cancel{false};
    hotsync::padp::Link link(stream, cancel, Quick());

    auto first = link.Receive(Deadline::In(5s));
    auto second = link.Receive(Deadline::In(5s));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(*first, reply);
    EXPECT_EQ(*second, std::vector<std::uint8_t>{0x55});
    EXPECT_EQ(stream.writes.size(), 3u);          // every data packet acknowledged, the repeat too
    EXPECT_FALSE(link.Receive(Deadline::In(5s))); // nothing more: the repeat was not a message
}

struct HostileCase
{
    const char* name;
    std::vector<std::vector<std::uint8_t>> packets;
    ErrorKind kind;
};

TEST(PadpReceive, HostileMessagesEndTheSession)
{
    const std::vector<HostileCase> cases = {
        {"a 4 GB length", {Packet(Type::Data, 1, kFirst, 0xFFFFFFFFu, {1, 2, 3})}, ErrorKind::TooLarge},
        {"one byte past the largest message",
         {Packet(Type::Data, 1, kFirst, static_cast<std::uint32_t>(hotsync::kMaxMessage + 1), {1})},
         ErrorKind::TooLarge},
        {"more data than announced", {Packet(Type::Data, 1, kFirst | kLast, 2, {1, 2, 3})}, ErrorKind::Protocol},
        {"a later part first", {Packet(Type::Data, 1, kLast, 10, {1, 2})}, ErrorKind::Protocol},
        {"a gap in the offsets",
         {Packet(Type::Data, 1, kFirst, 6, {1, 2}), Packet(Type::Data, 1, kLast, 4, {5, 6})},
         ErrorKind::Protocol},
        {"an abort", {Packet(Type::Abort, 1, kFirst | kLast, 0)}, ErrorKind::Cancelled},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.name);
        script::ScriptStream stream;
        for (const auto& packet : c.packets) {
            stream.Send(packet);
        }
        hotsync::CancelFlag cancel{false};
        hotsync::padp::Link link(stream, cancel, Quick());
        auto got = link.Receive(Deadline::In(5s));
        ASSERT_FALSE(got);
        EXPECT_EQ(got.error().kind, c.kind) << got.error().text;
    }
}

TEST(PadpReceive, VanishedHandheldAndCancelEndTheWait)
{
    script::ScriptStream stream;
    stream.Vanish();
    hotsync::CancelFlag cancel{false};
    hotsync::padp::Link link(stream, cancel, Quick());
    auto got = link.Receive(Deadline::Never());
    ASSERT_FALSE(got);
    EXPECT_EQ(got.error().kind, ErrorKind::Disconnected);

    script::ScriptStream quiet;
    hotsync::padp::Link other(quiet, cancel, Quick());
    cancel = true;
    auto cancelled = other.Receive(Deadline::Never());
    ASSERT_FALSE(cancelled);
    EXPECT_EQ(cancelled.error().kind, ErrorKind::Cancelled);
}

// ---- sending messages ----

// Acknowledges each data packet the desktop writes, unless told to lose some.
struct AckingHandheld
{
    explicit AckingHandheld(script::ScriptStream& stream)
    {
        stream.onWrite = [this, &stream](const std::vector<std::uint8_t>& bytes) {
            for (const script::Seen& seen : script::Decode(bytes)) {
                if (seen.header.type != static_cast<std::uint8_t>(Type::Data)) {
                    continue;
                }
                sent.push_back(seen);
                if (lose > 0) {
                    --lose;
                    continue;
                }
                stream.Send(Packet(Type::Ack, seen.xid, ackFlags, seen.header.sizeOrOffset + ackOffsetShift));
            }
        };
    }
    std::vector<script::Seen> sent;
    int lose = 0;
    std::uint8_t ackFlags = kFirst | kLast;
    std::uint32_t ackOffsetShift = 0;
};

TEST(PadpSend, SplitsIntoAcknowledgedPacketsUnderOneId)
{
    script::ScriptStream stream;
    AckingHandheld handheld(stream);
    hotsync::CancelFlag cancel{false};
    hotsync::padp::Link link(stream, cancel, Quick());
    link.SetNextXid(254);
    const std::vector<std::uint8_t> message = Bytes(1100, 1);

    ASSERT_TRUE(link.Send(message, Deadline::In(5s)));
    ASSERT_EQ(handheld.sent.size(), 3u);
    std::vector<std::uint8_t> joined;
    const std::vector<std::uint8_t> flags = {kFirst, 0, kLast};
    const std::vector<std::uint32_t> fields = {1100, 512, 1024};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(handheld.sent[i].xid, 254);
        EXPECT_EQ(handheld.sent[i].header.flags, flags[i]);
        EXPECT_EQ(handheld.sent[i].header.sizeOrOffset, fields[i]);
        joined.insert(joined.end(), handheld.sent[i].data.begin(), handheld.sent[i].data.end());
    }
    EXPECT_EQ(joined, message);
    // The next message counts on, past 254 to 1.
    ASSERT_TRUE(link.Send(std::vector<std::uint8_t>{}, Deadline::In(5s)));
    EXPECT_EQ(handheld.sent.back().xid, 1);
    EXPECT_EQ(handheld.sent.back().header.flags, kFirst | kLast);
}

TEST(PadpSend, LostAcknowledgementIsRetriedWithTheSameBytes)
{
    script::ScriptStream stream;
    AckingHandheld handheld(stream);
    handheld.lose = 2;
    hotsync::CancelFlag cancel{false};
    hotsync::padp::Link link(stream, cancel, Quick());
    ASSERT_TRUE(link.Send(std::vector<std::uint8_t>{1, 2, 3}, Deadline::In(5s)));
    ASSERT_EQ(stream.writes.size(), 3u);
    EXPECT_EQ(stream.writes[0], stream.writes[1]);
    EXPECT_EQ(stream.writes[1], stream.writes[2]);
}

TEST(PadpSend, NoAcknowledgementAtAllFailsAfterTheTries)
{
    script::ScriptStream stream;
    AckingHandheld handheld(stream);
    handheld.lose = 100;
    hotsync::CancelFlag cancel{false};
    hotsync::padp::Link link(stream, cancel, Quick());
    Status sent = link.Send(std::vector<std::uint8_t>{1, 2, 3}, Deadline::In(5s));
    ASSERT_FALSE(sent);
    EXPECT_EQ(sent.error().kind, ErrorKind::Disconnected);
    EXPECT_EQ(stream.writes.size(), 3u);
}

TEST(PadpSend, AcknowledgementOfAnotherPacketDoesNotCount)
{
    script::ScriptStream stream;
    AckingHandheld handheld(stream);
    handheld.ackOffsetShift = 512; // acknowledges an offset that was not sent
    hotsync::CancelFlag cancel{false};
    hotsync::padp::Link link(stream, cancel, Quick());
    EXPECT_FALSE(link.Send(std::vector<std::uint8_t>{1, 2, 3}, Deadline::In(5s)));
}

TEST(PadpSend, MemoryErrorInTheAcknowledgementMeansNoSpace)
{
    script::ScriptStream stream;
    AckingHandheld handheld(stream);
    handheld.ackFlags = kFirst | kLast | hotsync::padp::kMemoryError;
    hotsync::CancelFlag cancel{false};
    hotsync::padp::Link link(stream, cancel, Quick());
    Status sent = link.Send(std::vector<std::uint8_t>{1, 2, 3}, Deadline::In(5s));
    ASSERT_FALSE(sent);
    EXPECT_EQ(sent.error().kind, ErrorKind::NoSpace);
}

TEST(PadpSend, ReplyUnderTheRequestsIdStandsForTheLostAcknowledgement)
{
    script::ScriptStream stream;
    stream.onWrite = [&stream](const std::vector<std::uint8_t>& bytes) {
        for (const script::Seen& seen : script::Decode(bytes)) {
            if (seen.header.type == static_cast<std::uint8_t>(Type::Data)) {
                stream.Send(Packet(Type::Data, seen.xid, kFirst | kLast, 2, {0x90, 0}));
            }
        }
    };
    hotsync::CancelFlag cancel{false};
    hotsync::padp::Link link(stream, cancel, Quick());
    ASSERT_TRUE(link.Send(std::vector<std::uint8_t>{0x10, 0}, Deadline::In(5s)));
    EXPECT_EQ(stream.writes.size(), 2u); // the request, then the reply's acknowledgement; no retry
    auto reply = link.Receive(Deadline::In(5s));
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, (std::vector<std::uint8_t>{0x90, 0}));
}

// ---- the connection handshake ----

std::vector<std::uint8_t> Wakeup(std::uint32_t speed)
{
    hotsync::cmp::Message wakeup;
    wakeup.type = static_cast<std::uint8_t>(hotsync::cmp::Type::Wakeup);
    wakeup.major = 1;
    wakeup.minor = 3;
    wakeup.speed = speed;
    return Packet(Type::Data, 0xFF, kFirst | kLast, 10, hotsync::cmp::Encode(wakeup));
}

struct SpeedCase
{
    std::uint32_t offered;
    std::uint32_t max;
    std::uint32_t chosen;   // what setSpeed is called with; 0: not called
    std::uint8_t initFlags; // of the desktop's INIT
};

TEST(CmpHandshake, ChoosesTheSpeedAndSwitchesAfterTheAcknowledgement)
{
    const std::vector<SpeedCase> cases = {
        {115200, 115200, 115200, 0x90},
        {115200, 57600, 57600, 0x90},
        {57600, 115200, 57600, 0x90},
        {9600, 115200, 0, 0x10},
        {0, 115200, 0, 0x10},
    };
    for (const SpeedCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.offered) + " offered, " + std::to_string(c.max) + " at most");
        script::ScriptStream stream;
        AckingHandheld handheld(stream);
        stream.Send(Wakeup(c.offered));
        stream.Send(Wakeup(c.offered)); // sent again before the answer came
        hotsync::CancelFlag cancel{false};
        std::vector<std::uint32_t> speeds;
        std::size_t ackedWhenSwitched = 0;
        auto link = hotsync::StartSerialSession(
            stream,
            c.max,
            [&](std::uint32_t speed) {
                speeds.push_back(speed);
                ackedWhenSwitched = handheld.sent.size();
                return Status{};
            },
            Deadline::In(5s),
            cancel,
            Quick());
        ASSERT_TRUE(link) << link.error().text;
        EXPECT_EQ(speeds, c.chosen ? std::vector<std::uint32_t>{c.chosen} : std::vector<std::uint32_t>{});
        ASSERT_EQ(handheld.sent.size(), 1u);
        const auto init = hotsync::cmp::Parse(handheld.sent[0].data);
        ASSERT_TRUE(init);
        EXPECT_EQ(handheld.sent[0].xid, 0xFF);
        EXPECT_EQ(init->type, static_cast<std::uint8_t>(hotsync::cmp::Type::Init));
        EXPECT_EQ(init->flags, c.initFlags);
        EXPECT_EQ(init->speed, c.chosen);
        if (c.chosen) {
            EXPECT_EQ(ackedWhenSwitched, 1u);
        }
        // DLP starts at transaction 1.
        ASSERT_TRUE((*link)->Send(std::vector<std::uint8_t>{0x12, 0}, Deadline::In(5s)));
        EXPECT_EQ(handheld.sent.back().xid, 1);
    }
}

TEST(CmpHandshake, RefusesWhatIsNotAWakeupAndPassesOnSpeedFailures)
{
    script::ScriptStream stream;
    stream.Send(Packet(Type::Data, 0xFF, kFirst | kLast, 10, {3, 0, 1, 1, 0, 0, 0, 0, 0, 0}));
    hotsync::CancelFlag cancel{false};
    auto refused = hotsync::StartSerialSession(stream, 115200, {}, Deadline::In(5s), cancel, Quick());
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, ErrorKind::Protocol);

    script::ScriptStream other;
    AckingHandheld handheld(other);
    other.Send(Wakeup(115200));
    auto failed = hotsync::StartSerialSession(
        other,
        115200,
        [](std::uint32_t) { return Status(MakeError(ErrorKind::System, "speed not supported")); },
        Deadline::In(5s),
        cancel,
        Quick());
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().text, "speed not supported");
}

} // namespace
