#include "hotsync/Padp.h"

#include <algorithm>
#include <array>
#include <string>

namespace hotsync::padp {

namespace {

// More whole messages waiting than any exchange of requests and replies can leave: the handheld is sending
// without being asked.
constexpr std::size_t kMaxWaitingMessages = 16;
// How many received messages' ids are remembered to recognise their repeats. Ids count up to 254 between
// messages, so a new message never has one of these.
constexpr std::size_t kRecentMessages = 4;

} // namespace

std::optional<Header> ParseHeader(std::span<const std::uint8_t> body)
{
    if (body.size() < 4) {
        return std::nullopt;
    }
    Header header;
    header.type = body[0];
    header.flags = body[1];
    if (header.flags & kLongForm) {
        if (body.size() < 6) {
            return std::nullopt;
        }
        header.sizeOrOffset = (static_cast<std::uint32_t>(body[2]) << 24) |
                              (static_cast<std::uint32_t>(body[3]) << 16) | (static_cast<std::uint32_t>(body[4]) << 8) |
                              body[5];
        header.size = 6;
    } else {
        header.sizeOrOffset = (static_cast<std::uint32_t>(body[2]) << 8) | body[3];
        header.size = 4;
    }
    return header;
}

std::vector<std::uint8_t> EncodeHeader(Type type, std::uint8_t flags, std::uint32_t sizeOrOffset)
{
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(type), flags};
    if (sizeOrOffset > 0xFFFFu) {
        out[1] = static_cast<std::uint8_t>(flags | kLongForm);
        out.push_back(static_cast<std::uint8_t>(sizeOrOffset >> 24));
        out.push_back(static_cast<std::uint8_t>(sizeOrOffset >> 16));
    }
    out.push_back(static_cast<std::uint8_t>(sizeOrOffset >> 8));
    out.push_back(static_cast<std::uint8_t>(sizeOrOffset));
    return out;
}

Link::Link(IByteStream& stream, CancelFlag& cancel, Timing timing)
    : m_stream(stream)
    , m_cancel(cancel)
    , m_timing(timing)
{
    m_timing.fragment = std::clamp<std::size_t>(m_timing.fragment, 1, kMaxFragment);
    m_timing.tries = std::max(m_timing.tries, 1);
}

std::uint8_t Link::TakeXid()
{
    const std::uint8_t xid = m_nextXid;
    m_nextXid = (xid == 0 || xid >= 254) ? 1 : static_cast<std::uint8_t>(xid + 1);
    return xid;
}

Status Link::Send(std::span<const std::uint8_t> message, Deadline deadline)
{
    if (message.size() > kMaxMessage) {
        return MakeError(ErrorKind::TooLarge,
                         "A message of " + std::to_string(message.size()) +
                             " bytes is too large to send to the handheld");
    }
    const std::uint8_t xid = TakeXid();
    const auto size = static_cast<std::uint32_t>(message.size());
    std::size_t offset = 0;
    do {
        const std::size_t count = std::min(m_timing.fragment, message.size() - offset);
        std::uint8_t flags = 0;
        if (offset == 0) {
            flags |= kFirst;
        }
        if (offset + count == message.size()) {
            flags |= kLast;
        }
        const std::uint32_t sizeOrOffset = offset == 0 ? size : static_cast<std::uint32_t>(offset);
        slp::Packet packet;
        packet.xid = xid;
        packet.body = EncodeHeader(Type::Data, flags, sizeOrOffset);
        packet.body.insert(packet.body.end(),
                           message.begin() + static_cast<std::ptrdiff_t>(offset),
                           message.begin() + static_cast<std::ptrdiff_t>(offset + count));
        if (Status sent = SendFragment(slp::Encode(packet), xid, sizeOrOffset, deadline); !sent) {
            return sent;
        }
        offset += count;
    } while (offset < message.size());
    return {};
}

Status Link::SendFragment(const std::vector<std::uint8_t>& bytes,
                          std::uint8_t xid,
                          std::uint32_t sizeOrOffset,
                          Deadline deadline)
{
    m_awaited = Awaited{xid, sizeOrOffset, false, false};
    for (int attempt = 0; attempt < m_timing.tries; ++attempt) {
        if (m_cancel.load()) {
            m_awaited.reset();
            return MakeError(ErrorKind::Cancelled, "The HotSync session was cancelled");
        }
        if (Status written = m_stream.Write(bytes, deadline); !written) {
            m_awaited.reset();
            return written;
        }
        const Deadline ackBy = Deadline::In(m_timing.ackTimeout).Min(deadline);
        while (!m_awaited->acked) {
            Status pumped = Pump(ackBy);
            if (!pumped) {
                if (pumped.error().kind == ErrorKind::Timeout && !deadline.Passed()) {
                    break; // send it again
                }
                m_awaited.reset();
                return pumped;
            }
        }
        if (m_awaited->acked) {
            const bool memoryError = m_awaited->memoryError;
            m_awaited.reset();
            if (memoryError) {
                return MakeError(ErrorKind::NoSpace, "The handheld has no memory left for the data");
            }
            return {};
        }
    }
    m_awaited.reset();
    return MakeError(ErrorKind::Disconnected,
                     "The handheld stopped answering (no acknowledgement after " + std::to_string(m_timing.tries) +
                         " tries)");
}

Result<std::vector<std::uint8_t>> Link::Receive(Deadline deadline)
{
    while (m_messages.empty()) {
        if (Status pumped = Pump(deadline); !pumped) {
            return pumped.error();
        }
    }
    std::vector<std::uint8_t> message = std::move(m_messages.front());
    m_messages.pop_front();
    return message;
}

Status Link::Pump(Deadline deadline)
{
    if (m_cancel.load()) {
        return MakeError(ErrorKind::Cancelled, "The HotSync session was cancelled");
    }
    std::array<std::uint8_t, 16384> chunk{};
    Result<std::size_t> got = m_stream.Read(chunk, deadline);
    if (!got) {
        return got.error();
    }
    m_receiver.Feed(std::span<const std::uint8_t>(chunk.data(), std::min(*got, chunk.size())));
    while (std::optional<slp::Packet> packet = m_receiver.Next()) {
        if (Status handled = Handle(*packet); !handled) {
            return handled;
        }
    }
    return {};
}

Status Link::Handle(const slp::Packet& packet)
{
    // Loop-back packets test the line before the session; other packet types belong to debuggers.
    if (packet.type != static_cast<std::uint8_t>(slp::PacketType::Padp)) {
        return {};
    }
    const std::optional<Header> header = ParseHeader(packet.body);
    if (!header) {
        return {};
    }
    switch (static_cast<Type>(header->type)) {
    case Type::Data:
        return HandleData(packet, *header);
    case Type::Ack:
        if (m_awaited && !m_awaited->acked && packet.xid == m_awaited->xid &&
            header->sizeOrOffset == m_awaited->sizeOrOffset) {
            m_awaited->acked = true;
            m_awaited->memoryError = (header->flags & kMemoryError) != 0;
        }
        return {};
    case Type::Abort:
        return MakeError(ErrorKind::Cancelled, "The handheld ended the HotSync session");
    case Type::Tickle:
    default:
        return {};
    }
}

Status Link::HandleData(const slp::Packet& packet, const Header& header)
{
    const std::span<const std::uint8_t> data = std::span<const std::uint8_t>(packet.body).subspan(header.size);
    const bool first = (header.flags & kFirst) != 0;

    // A packet already received comes again when its acknowledgement got lost: acknowledge it again, keep
    // nothing.
    const bool repeat = m_assembling
                            ? (packet.xid == m_assemblingXid && (first || header.sizeOrOffset < m_assembly.size()))
                            : std::find(m_recentXids.begin(), m_recentXids.end(), packet.xid) != m_recentXids.end();
    if (repeat) {
        return SendAck(packet, header);
    }
    // The answer under the id of the message still waiting for its acknowledgement: the acknowledgement got
    // lost, the message arrived.
    if (m_awaited && !m_awaited->acked && packet.xid == m_awaited->xid) {
        m_awaited->acked = true;
    }

    if (first) {
        if (header.sizeOrOffset > kMaxMessage) {
            return MakeError(ErrorKind::TooLarge,
                             "The handheld announced a message of " + std::to_string(header.sizeOrOffset) +
                                 " bytes, more than any HotSync message");
        }
        m_assembling = true;
        m_assemblingXid = packet.xid;
        m_expectedSize = header.sizeOrOffset;
        m_assembly.clear();
    } else if (!m_assembling || packet.xid != m_assemblingXid || header.sizeOrOffset != m_assembly.size()) {
        return MakeError(ErrorKind::Protocol, "The handheld sent part of a message out of order");
    }
    if (data.size() > m_expectedSize - m_assembly.size()) {
        return MakeError(ErrorKind::Protocol, "The handheld sent more data than its message announced");
    }
    m_assembly.insert(m_assembly.end(), data.begin(), data.end());
    if (Status acked = SendAck(packet, header); !acked) {
        return acked;
    }
    if (m_assembly.size() == m_expectedSize) {
        m_assembling = false;
        m_recentXids.push_back(packet.xid);
        if (m_recentXids.size() > kRecentMessages) {
            m_recentXids.pop_front();
        }
        if (m_messages.size() >= kMaxWaitingMessages) {
            return MakeError(ErrorKind::Protocol, "The handheld sent messages nobody asked for");
        }
        m_messages.push_back(std::move(m_assembly));
        m_assembly = {};
    }
    return {};
}

Status Link::SendAck(const slp::Packet& packet, const Header& header)
{
    slp::Packet ack;
    ack.dest = packet.src;
    ack.src = packet.dest;
    ack.xid = packet.xid;
    ack.body = EncodeHeader(Type::Ack, kFirst | kLast, header.sizeOrOffset);
    return m_stream.Write(slp::Encode(ack), Deadline::In(m_timing.ackTimeout));
}

} // namespace hotsync::padp
