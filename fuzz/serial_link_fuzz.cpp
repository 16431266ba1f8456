// The serial HotSync link over the bytes a hostile handheld might send: the connection handshake, then
// messages received and answered until the bytes run out. Every packet the desktop writes must be a whole,
// valid packet; no message handed over is larger than the limit; the speed asked for stays between the start
// speed and the most the desktop offered. The packet receiver must find the same packets however the bytes
// are cut into reads.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/FuzzCheck.h"
#include "hotsync/Serial.h"
#include "hotsync/Slp.h"

namespace {

constexpr std::uint32_t kMaxSpeed = 115200;

// Hands the fuzzer's bytes over in reads of varying size (taken from the bytes themselves); the desktop's
// writes are checked and dropped.
class FuzzStream final : public hotsync::IByteStream
{
public:
    explicit FuzzStream(std::span<const std::uint8_t> bytes)
        : m_bytes(bytes)
    {}

    Result<std::size_t> Read(std::span<std::uint8_t> into, hotsync::Deadline) override
    {
        if (m_pos >= m_bytes.size()) {
            return MakeError(ErrorKind::Disconnected, "no more input");
        }
        const std::size_t want = 1 + (m_bytes[m_pos] * 7u) % 600u;
        const std::size_t count = std::min({into.size(), want, m_bytes.size() - m_pos});
        std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_pos), count, into.begin());
        m_pos += count;
        return count;
    }

    Status Write(std::span<const std::uint8_t> bytes, hotsync::Deadline) override
    {
        hotsync::slp::Receiver receiver;
        receiver.Feed(bytes);
        const std::optional<hotsync::slp::Packet> packet = receiver.Next();
        FUZZ_CHECK(packet.has_value());
        FUZZ_CHECK(hotsync::slp::Encode(*packet).size() == bytes.size());
        FUZZ_CHECK(receiver.Dropped() == 0);
        return {};
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
};

void CheckChunkingIndependence(std::span<const std::uint8_t> bytes)
{
    hotsync::slp::Receiver whole;
    whole.Feed(bytes);
    std::vector<std::vector<std::uint8_t>> first;
    while (auto packet = whole.Next()) {
        FUZZ_CHECK(packet->body.size() <= hotsync::slp::kMaxBody);
        first.push_back(hotsync::slp::Encode(*packet));
    }
    hotsync::slp::Receiver pieces;
    std::vector<std::vector<std::uint8_t>> second;
    for (std::size_t pos = 0; pos < bytes.size(); pos += 3) {
        pieces.Feed(bytes.subspan(pos, std::min<std::size_t>(3, bytes.size() - pos)));
        while (auto packet = pieces.Next()) {
            second.push_back(hotsync::slp::Encode(*packet));
        }
    }
    FUZZ_CHECK(first == second);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    CheckChunkingIndependence(bytes);

    FuzzStream stream(bytes);
    hotsync::CancelFlag cancel{false};
    hotsync::padp::Timing timing;
    timing.ackTimeout = std::chrono::milliseconds(0);
    timing.tries = 2;
    auto link = hotsync::StartSerialSession(
        stream,
        kMaxSpeed,
        [](std::uint32_t speed) {
            FUZZ_CHECK(speed > hotsync::kSerialStartSpeed && speed <= kMaxSpeed);
            return Status{};
        },
        hotsync::Deadline::In(std::chrono::seconds(5)),
        cancel,
        timing);
    if (!link) {
        return 0;
    }
    for (int exchange = 0; exchange < 64; ++exchange) {
        Result<std::vector<std::uint8_t>> message = (*link)->Receive(hotsync::Deadline::In(std::chrono::seconds(5)));
        if (!message) {
            break;
        }
        FUZZ_CHECK(message->size() <= hotsync::kMaxMessage);
        // Answer with something the size of the message, so that sends of several packets happen too.
        const std::vector<std::uint8_t> reply(std::min<std::size_t>(message->size(), 1500), 0x5A);
        if (!(*link)->Send(reply, hotsync::Deadline::In(std::chrono::seconds(5)))) {
            break;
        }
    }
    return 0;
}
