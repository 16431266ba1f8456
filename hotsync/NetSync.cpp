#include "hotsync/NetSync.h"

#include <algorithm>

namespace hotsync {

namespace {

constexpr std::uint8_t kNetSyncData = 0x01;

// The desktop's two handshake messages. Their contents are fixed: every desktop sends these bytes.
constexpr std::array<std::uint8_t, 50> kHandshakeFirst = {
    0x12, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x24, 0xff, 0xff, 0xff,
    0xff, 0x3c, 0x00, 0x3c, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xc0, 0xa8, 0x01, 0x21,
    0x04, 0x27, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
constexpr std::array<std::uint8_t, 46> kHandshakeSecond = {
    0x13, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x20, 0xff, 0xff,
    0xff, 0xff, 0x00, 0x3c, 0x00, 0x3c, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

// The first byte of the handheld's greeting and of its two answers.
constexpr std::uint8_t kGreeting = 0x90;
constexpr std::uint8_t kFirstAnswer = 0x92;
constexpr std::uint8_t kSecondAnswer = 0x93;

constexpr std::size_t kReadChunk = 16384;

Status Expect(IPacketLink& link, std::uint8_t first, const char* what, Deadline deadline)
{
    Result<std::vector<std::uint8_t>> message = link.Receive(deadline);
    if (!message) {
        return message.error();
    }
    if (message->empty() || (*message)[0] != first) {
        return MakeError(ErrorKind::Protocol,
                         std::string("the handheld did not answer the HotSync handshake (") + what + ")");
    }
    return {};
}

} // namespace

Result<std::size_t> ParseNetSyncHeader(std::span<const std::uint8_t, kNetSyncHeaderSize> header)
{
    if (header[0] != kNetSyncData) {
        return MakeError(ErrorKind::Protocol, "the handheld sent something that is not a NetSync packet");
    }
    const std::uint64_t length = (std::uint64_t{header[2]} << 24) | (std::uint64_t{header[3]} << 16) |
                                 (std::uint64_t{header[4]} << 8) | std::uint64_t{header[5]};
    if (length > kMaxMessage) {
        return MakeError(ErrorKind::TooLarge,
                         "the handheld announced a message of " + std::to_string(length) +
                             " bytes, more than any HotSync message holds");
    }
    return static_cast<std::size_t>(length);
}

NetSyncLink::NetSyncLink(std::unique_ptr<IByteStream> stream)
    : m_owned(std::move(stream))
    , m_stream(*m_owned)
{}

NetSyncLink::NetSyncLink(IByteStream& stream)
    : m_stream(stream)
{}

Status NetSyncLink::Send(std::span<const std::uint8_t> message, Deadline deadline)
{
    if (message.size() > kMaxMessage) {
        return MakeError(ErrorKind::TooLarge, "a message of " + std::to_string(message.size()) + " bytes is too long");
    }
    std::vector<std::uint8_t> packet;
    packet.reserve(kNetSyncHeaderSize + message.size());
    const auto length = static_cast<std::uint32_t>(message.size());
    packet.insert(packet.end(),
                  {kNetSyncData,
                   m_nextId,
                   static_cast<std::uint8_t>(length >> 24),
                   static_cast<std::uint8_t>(length >> 16),
                   static_cast<std::uint8_t>(length >> 8),
                   static_cast<std::uint8_t>(length)});
    packet.insert(packet.end(), message.begin(), message.end());
    m_nextId = m_nextId >= 254 ? 1 : static_cast<std::uint8_t>(m_nextId + 1);
    return m_stream.Write(packet, deadline);
}

Status NetSyncLink::Fill(std::uint8_t* into, std::size_t count, Deadline deadline)
{
    while (count > 0) {
        if (m_pendingStart == m_pending.size()) {
            m_pending.resize(kReadChunk);
            m_pendingStart = 0;
            Result<std::size_t> got = m_stream.Read(m_pending, deadline);
            if (!got) {
                m_pending.clear();
                return got.error();
            }
            m_pending.resize(*got);
            continue;
        }
        const std::size_t take = std::min(count, m_pending.size() - m_pendingStart);
        std::copy_n(m_pending.begin() + static_cast<std::ptrdiff_t>(m_pendingStart), take, into);
        m_pendingStart += take;
        into += take;
        count -= take;
    }
    return {};
}

Result<std::vector<std::uint8_t>> NetSyncLink::Receive(Deadline deadline)
{
    std::array<std::uint8_t, kNetSyncHeaderSize> header{};
    if (Status got = Fill(header.data(), header.size(), deadline); !got) {
        return got.error();
    }
    Result<std::size_t> length = ParseNetSyncHeader(header);
    if (!length) {
        return length.error();
    }
    std::vector<std::uint8_t> message(*length);
    if (Status got = Fill(message.data(), message.size(), deadline); !got) {
        return got.error();
    }
    return message;
}

Status RunNetSyncHandshake(IPacketLink& link, Deadline deadline)
{
    if (Status got = Expect(link, kGreeting, "no greeting", deadline); !got) {
        return got;
    }
    if (Status sent = link.Send(kHandshakeFirst, deadline); !sent) {
        return sent;
    }
    if (Status got = Expect(link, kFirstAnswer, "first exchange", deadline); !got) {
        return got;
    }
    if (Status sent = link.Send(kHandshakeSecond, deadline); !sent) {
        return sent;
    }
    return Expect(link, kSecondAnswer, "second exchange", deadline);
}

} // namespace hotsync
