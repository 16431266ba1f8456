#pragma once

// Recorded HotSync sessions played back as the handheld's side of a byte stream, and the messages each side
// sent in them.

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "hotsync/Padp.h"

namespace recording {

struct Entry
{
    bool read = false; // what the desktop received; otherwise what it sent
    std::vector<std::uint8_t> data;
};

inline std::vector<Entry> Load(const std::string& name)
{
    std::ifstream in(std::string(TEST_DATA_DIR) + "/hotsync/" + name);
    std::vector<Entry> entries;
    for (const auto& item : nlohmann::json::parse(in)) {
        Entry entry{item.at("type") == "read", {}};
        const std::string hex = item.at("data");
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            entry.data.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

// Feeds the desktop every recorded read up to the next recorded write, and requires the desktop's writes to
// follow the recorded stream of writes byte for byte.
class ReplayStream final : public hotsync::IByteStream
{
public:
    explicit ReplayStream(const std::vector<Entry>& entries)
    {
        for (const Entry& entry : entries) {
            for (std::uint8_t byte : entry.data) {
                if (entry.read) {
                    m_reads.push_back({m_expected.size(), byte});
                } else {
                    m_expected.push_back(byte);
                }
            }
        }
    }

    Result<std::size_t> Read(std::span<std::uint8_t> into, hotsync::Deadline) override
    {
        std::size_t given = 0;
        for (; given < into.size() && m_read < m_reads.size() && m_reads[m_read].first <= m_written; ++given) {
            into[given] = m_reads[m_read++].second;
        }
        if (given > 0) {
            return given;
        }
        return MakeError(ErrorKind::Protocol, "the desktop waits for bytes the recording does not give yet");
    }

    Status Write(std::span<const std::uint8_t> bytes, hotsync::Deadline) override
    {
        for (std::uint8_t byte : bytes) {
            if (m_written >= m_expected.size() || m_expected[m_written] != byte) {
                m_failure = "the desktop's byte " + std::to_string(m_written) + " differs from the recording";
                return MakeError(ErrorKind::Protocol, m_failure);
            }
            ++m_written;
        }
        return {};
    }

    std::size_t Written() const { return m_written; }
    std::vector<std::uint8_t> Unwritten() const
    {
        return {m_expected.begin() + static_cast<std::ptrdiff_t>(m_written), m_expected.end()};
    }
    const std::string& Failure() const { return m_failure; }

private:
    std::vector<std::pair<std::size_t, std::uint8_t>> m_reads; // each byte, after how many written ones
    std::vector<std::uint8_t> m_expected;
    std::size_t m_read = 0;
    std::size_t m_written = 0;
    std::string m_failure;
};

struct Packet
{
    std::uint8_t xid = 0;
    hotsync::padp::Header header;
    std::vector<std::uint8_t> data;
    std::size_t end = 0; // where it ends in its side's stream
};

inline std::vector<Packet> Packets(const std::vector<std::uint8_t>& stream)
{
    std::vector<Packet> out;
    hotsync::slp::Receiver receiver;
    for (std::size_t pos = 0; pos < stream.size(); ++pos) {
        receiver.Feed(std::span(stream).subspan(pos, 1));
        if (auto packet = receiver.Next()) {
            if (auto header = hotsync::padp::ParseHeader(packet->body)) {
                out.push_back({packet->xid,
                               *header,
                               {packet->body.begin() + static_cast<std::ptrdiff_t>(header->size), packet->body.end()},
                               pos + 1});
            }
        }
    }
    return out;
}

struct Message
{
    std::uint8_t xid = 0;
    std::vector<std::uint8_t> bytes;
    std::size_t end = 0;
};

// The whole data messages of one side, each once (repeated packets skipped), in order.
inline std::vector<Message> Messages(const std::vector<Entry>& entries, bool reads)
{
    std::vector<std::uint8_t> stream;
    for (const Entry& entry : entries) {
        if (entry.read == reads) {
            stream.insert(stream.end(), entry.data.begin(), entry.data.end());
        }
    }
    std::vector<Message> out;
    Message current;
    for (const Packet& packet : Packets(stream)) {
        const bool first = packet.header.flags & hotsync::padp::kFirst;
        const bool repeatOfLast = first && !out.empty() && out.back().xid == packet.xid;
        const bool outOfPlace = !first && packet.header.sizeOrOffset != current.bytes.size();
        if (packet.header.type != 1 || repeatOfLast || outOfPlace) {
            continue;
        }
        if (first) {
            current = {packet.xid, {}, 0};
        }
        current.bytes.insert(current.bytes.end(), packet.data.begin(), packet.data.end());
        if (packet.header.flags & hotsync::padp::kLast) {
            current.end = packet.end;
            out.push_back(current);
        }
    }
    return out;
}

} // namespace recording
