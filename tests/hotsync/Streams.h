#pragma once

// Byte streams that play the handheld's side: a recorded session played back, or a script the test writes.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "hotsync/Padp.h"

using Bytes = std::vector<std::uint8_t>;

// A serial packet (SLP + PADP) of one side's stream.
struct SerialPacket
{
    std::uint8_t xid = 0;
    hotsync::padp::Header header;
    Bytes data;
};

inline std::vector<SerialPacket> SerialPackets(const Bytes& stream)
{
    std::vector<SerialPacket> out;
    hotsync::slp::Receiver receiver;
    receiver.Feed(stream);
    while (auto packet = receiver.Next()) {
        if (auto header = hotsync::padp::ParseHeader(packet->body)) {
            const auto data = packet->body.begin() + static_cast<std::ptrdiff_t>(header->size);
            out.push_back({packet->xid, *header, {data, packet->body.end()}});
        }
    }
    return out;
}

// Plays the handheld's side of a session recorded with a real handheld (tests/data/hotsync). Each recorded read
// is handed out once the desktop has written every byte the recording shows before it; the desktop's writes
// must continue the recorded ones exactly. Past `checked` bytes the writes are taken without comparison and
// reads that follow them end the stream.
class ReplayStream final : public hotsync::IByteStream
{
public:
    explicit ReplayStream(const std::string& name, std::size_t checked = SIZE_MAX)
        : m_checked(checked)
    {
        std::ifstream file(std::string(TEST_DATA_DIR) + "/hotsync/" + name);
        for (const auto& entry : nlohmann::json::parse(file)) { // throws when the recording is missing
            const std::string hex = entry.at("data").get<std::string>();
            Bytes bytes;
            for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
                bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
            }
            const bool read = entry.at("type").get<std::string>() == "read";
            (read ? reads : expected).insert((read ? reads : expected).end(), bytes.begin(), bytes.end());
            if (read) {
                m_chunks.push_back({std::move(bytes), expected.size()});
            }
        }
    }

    Result<std::size_t> Read(std::span<std::uint8_t> into, hotsync::Deadline) override
    {
        while (m_next < m_chunks.size() && m_offset == m_chunks[m_next].bytes.size()) {
            ++m_next;
            m_offset = 0;
        }
        if (m_next == m_chunks.size() || m_chunks[m_next].after > std::min(written.size(), m_checked)) {
            return MakeError(ErrorKind::Disconnected, "the recording has the desktop write here, or ends");
        }
        const Bytes& chunk = m_chunks[m_next].bytes;
        const std::size_t take = std::min(into.size(), chunk.size() - m_offset);
        std::copy_n(chunk.begin() + static_cast<std::ptrdiff_t>(m_offset), take, into.begin());
        m_offset += take;
        return take;
    }

    Status Write(std::span<const std::uint8_t> bytes, hotsync::Deadline) override
    {
        for (const std::uint8_t byte : bytes) {
            const std::size_t at = written.size();
            if (at < m_checked && (at >= expected.size() || expected[at] != byte)) {
                mismatch = mismatch.value_or(at);
                return MakeError(ErrorKind::Protocol, "the desktop wrote other bytes than the recording");
            }
            written.push_back(byte);
        }
        return {};
    }

    Bytes reads;    // all the handheld sent, in one
    Bytes expected; // all the desktop sent, in one
    Bytes written;  // what the desktop under test wrote
    std::optional<std::size_t> mismatch;

private:
    struct Chunk
    {
        Bytes bytes;
        std::size_t after; // recorded write bytes before it
    };
    std::vector<Chunk> m_chunks;
    std::size_t m_checked;
    std::size_t m_next = 0;
    std::size_t m_offset = 0;
};

namespace script {

// A byte stream whose other end is a script: the test queues what the handheld sends and may answer each of
// the desktop's writes. When nothing is queued a read fails at once as if its deadline had passed (or as from
// a handheld that went away), so no test waits for a real timeout.
class ScriptStream final : public hotsync::IByteStream
{
public:
    Result<std::size_t> Read(std::span<std::uint8_t> into, hotsync::Deadline) override
    {
        if (pending.empty()) {
            return MakeError(gone ? ErrorKind::Disconnected : ErrorKind::Timeout, "nothing arrived");
        }
        const std::size_t count = std::min({into.size(), chunk, pending.size()});
        std::copy_n(pending.begin(), count, into.begin());
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(count));
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

    void Send(const Bytes& bytes) { pending.insert(pending.end(), bytes.begin(), bytes.end()); }

    std::function<void(const SerialPacket&)> onPacket; // the handheld's answer to each packet written
    std::vector<Bytes> writes;
    std::vector<SerialPacket> packets; // every packet written
    std::deque<std::uint8_t> pending;
    std::size_t chunk = 1 << 20; // the most one read hands over
    bool gone = false;           // an empty line is a handheld gone, not one that is slow
};

// One packet as the handheld puts it on the line.
inline Bytes Packet(
    hotsync::padp::Type type, std::uint8_t xid, std::uint8_t flags, std::uint32_t sizeOrOffset, const Bytes& data = {})
{
    hotsync::slp::Packet packet{.xid = xid, .body = hotsync::padp::EncodeHeader(type, flags, sizeOrOffset)};
    packet.body.insert(packet.body.end(), data.begin(), data.end());
    return hotsync::slp::Encode(packet);
}

} // namespace script
