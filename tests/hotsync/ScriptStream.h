#pragma once

// A byte stream whose other end is a script: the test queues what the handheld sends and may answer each of
// the desktop's writes. When nothing is queued a read fails at once as if its deadline had passed, so no test
// waits for a real timeout.

#include "tests/hotsync/Recording.h"

#include <deque>
#include <functional>

#include "hotsync/Padp.h"

namespace script {

class ScriptStream final : public hotsync::IByteStream
{
public:
    Result<std::size_t> Read(std::span<std::uint8_t> into, hotsync::Deadline) override
    {
        if (pending.empty()) {
            return MakeError(gone ? ErrorKind::Disconnected : ErrorKind::Timeout, "nothing arrived");
        }
        std::size_t count = 0;
        for (; count < std::min(into.size(), chunk) && !pending.empty(); ++count) {
            into[count] = pending.front();
            pending.pop_front();
        }
        return count;
    }

    Status Write(std::span<const std::uint8_t> bytes, hotsync::Deadline) override
    {
        writes.emplace_back(bytes.begin(), bytes.end());
        for (const SerialPacket& packet : SerialPackets(writes.back())) {
            packets.push_back(packet);
            if (onPacket) {
                onPacket(packet);
            }
        }
        return {};
    }

    void Send(const std::vector<std::uint8_t>& bytes) { pending.insert(pending.end(), bytes.begin(), bytes.end()); }

    std::function<void(const SerialPacket&)> onPacket; // the handheld's answer to each packet written
    std::vector<std::vector<std::uint8_t>> writes;
    std::vector<SerialPacket> packets; // every packet written
    std::deque<std::uint8_t> pending;
    std::size_t chunk = 1 << 20; // the most one read hands over
    bool gone = false;           // reads fail as from a handheld that went away, not as timeouts
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

} // namespace script
