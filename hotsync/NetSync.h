#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "hotsync/Link.h"

namespace hotsync {

// NetSync framing: every message travels as 01, a transaction id, a 32-bit big-endian length and the message.
// The desktop numbers its messages 1..254 and then 1 again; the handheld answers with the same id.
class NetSyncLink final : public IPacketLink
{
public:
    // Over a stream the link owns (a TCP connection, USB endpoints).
    explicit NetSyncLink(std::unique_ptr<IByteStream> stream);
    // Over a stream someone else owns and keeps alive for as long as the link.
    explicit NetSyncLink(IByteStream& stream);

    Status Send(std::span<const std::uint8_t> message, Deadline deadline) override;
    Result<std::vector<std::uint8_t>> Receive(Deadline deadline) override;

private:
    // Moves `count` bytes from what arrived into `into`, reading the stream as needed.
    Status Fill(std::uint8_t* into, std::size_t count, Deadline deadline);

    std::unique_ptr<IByteStream> m_owned;
    IByteStream& m_stream;
    std::uint8_t m_nextId = 1;
    std::vector<std::uint8_t> m_pending; // bytes read past the message last returned
    std::size_t m_pendingStart = 0;
};

inline constexpr std::size_t kNetSyncHeaderSize = 6;

// Checks a NetSync header; the message length it announces, or why it is refused.
Result<std::size_t> ParseNetSyncHeader(std::span<const std::uint8_t, kNetSyncHeaderSize> header);

// The exchange that opens every NetSync session, run before the link is handed to DLP: the handheld's
// 22-byte greeting, then two fixed messages from the desktop, each answered by the handheld.
Status RunNetSyncHandshake(IPacketLink& link, Deadline deadline);

} // namespace hotsync
