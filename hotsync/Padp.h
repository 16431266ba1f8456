#pragma once

// The serial link's message layer. A message travels in data packets of at most 1,024 bytes (this side sends
// 512, as desktops always did), the first one saying the message's size, each later one its offset; every
// data packet is acknowledged with a packet of the same transaction id before the next one is sent. Every
// packet of one message carries the same transaction id; the handheld answers a request under the request's
// id. Tickles only say the other side is alive.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "hotsync/Link.h"
#include "hotsync/Slp.h"

namespace hotsync::padp {

enum class Type : std::uint8_t
{
    Data = 0x01,
    Ack = 0x02,
    Tickle = 0x04,
    Abort = 0x08,
};

inline constexpr std::uint8_t kFirst = 0x80;
inline constexpr std::uint8_t kLast = 0x40;
inline constexpr std::uint8_t kMemoryError = 0x20;
// The size-or-offset field is 32 bits instead of 16.
inline constexpr std::uint8_t kLongForm = 0x10;

inline constexpr std::size_t kMaxFragment = 1024;

struct Header
{
    std::uint8_t type = 0;
    std::uint8_t flags = 0;
    // The whole message's size in a first packet, the data's offset in the message in a later one.
    std::uint32_t sizeOrOffset = 0;
    // 4, or 6 in the long form.
    std::size_t size = 0;
};

// The header at the start of a packet's body, or nothing when the body is too short for it.
std::optional<Header> ParseHeader(std::span<const std::uint8_t> body);
// A header with the long form used only when the value needs it.
std::vector<std::uint8_t> EncodeHeader(Type type, std::uint8_t flags, std::uint32_t sizeOrOffset);

struct Timing
{
    // How long a sent packet waits for its acknowledgement before it is sent again, and how often: a handheld
    // that went away is noticed within about six seconds. (A handheld acknowledges at once; the reply to a slow
    // request is waited for with the caller's deadline, not this one.)
    std::chrono::milliseconds ackTimeout{1000};
    int tries = 6;
    // The data bytes in each packet this side sends (at most kMaxFragment).
    std::size_t fragment = 512;
};

// Messages over a serial byte stream. Every packet that arrives is handled as soon as its bytes are read:
// data packets are acknowledged at once (repeats too, which are otherwise ignored), so that everything the
// handheld sent is acknowledged before this side sends its next message. Keeps a reference to the stream and
// the cancel flag: both must outlive the link.
class Link final : public IPacketLink
{
public:
    Link(IByteStream& stream, CancelFlag& cancel, Timing timing = {});

    Status Send(std::span<const std::uint8_t> message, Deadline deadline) override;
    Result<std::vector<std::uint8_t>> Receive(Deadline deadline) override;

    // The transaction id of the next message sent; later ones count on from it (1 to 254, then 1 again).
    void SetNextXid(std::uint8_t xid) { m_nextXid = xid; }

private:
    struct Awaited
    {
        std::uint8_t xid = 0;
        std::uint32_t sizeOrOffset = 0;
        bool acked = false;
        bool memoryError = false;
    };

    // Reads what has arrived (waiting until the deadline) and handles every whole packet in it.
    Status Pump(Deadline deadline);
    Status Handle(const slp::Packet& packet);
    Status HandleData(const slp::Packet& packet, const Header& header);
    Status SendAck(const slp::Packet& packet, const Header& header);
    Status SendFragment(const std::vector<std::uint8_t>& bytes,
                        std::uint8_t xid,
                        std::uint32_t sizeOrOffset,
                        Deadline deadline);
    std::uint8_t TakeXid();

    IByteStream& m_stream;
    CancelFlag& m_cancel;
    Timing m_timing;
    slp::Receiver m_receiver;
    std::uint8_t m_nextXid = 1;

    std::optional<Awaited> m_awaited;
    // The message being put together from its packets.
    bool m_assembling = false;
    std::uint8_t m_assemblingXid = 0;
    std::uint32_t m_expectedSize = 0;
    std::vector<std::uint8_t> m_assembly;
    // The ids of the last few whole messages received: their packets arriving again are repeats (the
    // handheld sends a packet again until its acknowledgement arrives, and may do so after its next message).
    std::deque<std::uint8_t> m_recentXids;
    std::deque<std::vector<std::uint8_t>> m_messages;
};

} // namespace hotsync::padp
