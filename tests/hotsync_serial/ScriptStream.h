#pragma once

// A byte stream whose other end is a script: the test queues what the handheld sends and may answer each of
// the desktop's writes. When nothing is queued a read fails at once as if its deadline had passed, so no test
// waits for a real timeout.

#include <algorithm>
#include <deque>
#include <functional>
#include <vector>

#include "hotsync/Link.h"
#include "hotsync/Padp.h"
#include "hotsync/Slp.h"

namespace script {

class ScriptStream final : public hotsync::IByteStream
{
public:
    Result<std::size_t> Read(std::span<std::uint8_t> into, hotsync::Deadline) override
    {
        if (m_pending.empty()) {
            if (m_gone) {
                return MakeError(ErrorKind::Disconnected, "the handheld went away");
            }
            ++timeouts;
            return MakeError(ErrorKind::Timeout, "nothing arrived");
        }
        const std::size_t count = std::min({into.size(), m_pending.size(), chunk});
        std::copy_n(m_pending.begin(), count, into.begin());
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(count));
        return count;
    }

    Status Write(std::span<const std::uint8_t> bytes, hotsync::Deadline) override
    {
        writes.emplace_back(bytes.begin(), bytes.end());
        if (onWrite) {
            onWrite(writes.back());
        }
        return {};
    }

    void Send(const std::vector<std::uint8_t>& bytes) { m_pending.insert(m_pending.end(), bytes.begin(), bytes.end()); }
    void Vanish() { m_gone = true; }

    std::function<void(const std::vector<std::uint8_t>&)> onWrite;
    std::vector<std::vector<std::uint8_t>> writes;
    std::size_t chunk = 1 << 20; // the most one read hands over
    int timeouts = 0;

private:
    std::deque<std::uint8_t> m_pending;
    bool m_gone = false;
};

// One packet as the handheld puts it on the line.
inline std::vector<std::uint8_t> Packet(hotsync::padp::Type type,
                                        std::uint8_t xid,
                                        std::uint8_t flags,
                                        std::uint32_t sizeOrOffset,
                                        const std::vector<std::uint8_t>& data = {})
{
    hotsync::slp::Packet packet;
    packet.xid = xid;
    packet.body = hotsync::padp::EncodeHeader(type, flags, sizeOrOffset);
    packet.body.insert(packet.body.end(), data.begin(), data.end());
    return hotsync::slp::Encode(packet);
}

struct Seen
{
    std::uint8_t xid = 0;
    hotsync::padp::Header header;
    std::vector<std::uint8_t> data;
};

// The packets of one write.
inline std::vector<Seen> Decode(const std::vector<std::uint8_t>& bytes)
{
    hotsync::slp::Receiver receiver;
    receiver.Feed(bytes);
    std::vector<Seen> out;
    while (auto packet = receiver.Next()) {
        const auto header = hotsync::padp::ParseHeader(packet->body);
        if (header) {
            out.push_back({packet->xid,
                           *header,
                           {packet->body.begin() + static_cast<std::ptrdiff_t>(header->size), packet->body.end()}});
        }
    }
    return out;
}

} // namespace script
