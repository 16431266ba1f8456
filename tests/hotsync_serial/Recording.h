#pragma once

// Recorded HotSync sessions played back as the handheld's side of a byte stream, and the messages each side
// sent in them, decoded independently of the code under test.

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "hotsync/Link.h"

namespace recording {

struct Entry
{
    bool read = false; // what the desktop received; otherwise what it sent
    std::vector<std::uint8_t> data;
};

inline std::vector<std::uint8_t> FromHex(const std::string& hex)
{
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

inline std::vector<Entry> Load(const std::string& name)
{
    std::ifstream in(std::string(TEST_DATA_DIR) + "/hotsync/" + name);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<Entry> entries;
    for (const auto& item : nlohmann::json::parse(text.str())) {
        entries.push_back({item.at("type").get<std::string>() == "read", FromHex(item.at("data").get<std::string>())});
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
            if (entry.read) {
                m_reads.push_back({m_expected.size(), entry.data});
            } else {
                m_expected.insert(m_expected.end(), entry.data.begin(), entry.data.end());
            }
        }
    }

    Result<std::size_t> Read(std::span<std::uint8_t> into, hotsync::Deadline) override
    {
        std::size_t given = 0;
        while (given < into.size() && m_read < m_reads.size() && m_reads[m_read].writesBefore <= m_written) {
            const auto& data = m_reads[m_read].data;
            const std::size_t count = std::min(into.size() - given, data.size() - m_offset);
            std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(m_offset),
                        count,
                        into.begin() + static_cast<std::ptrdiff_t>(given));
            given += count;
            m_offset += count;
            if (m_offset == data.size()) {
                ++m_read;
                m_offset = 0;
            }
        }
        if (given > 0) {
            return given;
        }
        if (m_read == m_reads.size()) {
            return MakeError(ErrorKind::Disconnected, "the recording ends");
        }
        return MakeError(ErrorKind::Protocol,
                         "the desktop waits for bytes the handheld sent only after the desktop's write at " +
                             std::to_string(m_written));
    }

    Status Write(std::span<const std::uint8_t> bytes, hotsync::Deadline) override
    {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (m_written >= m_expected.size() || m_expected[m_written] != bytes[i]) {
                std::ostringstream why;
                why << "the desktop's byte " << m_written << " differs from the recording";
                m_failure = why.str();
                return MakeError(ErrorKind::Protocol, m_failure);
            }
            ++m_written;
        }
        return {};
    }

    std::size_t Written() const { return m_written; }
    // The recorded writes the desktop has not made (yet).
    std::vector<std::uint8_t> Unwritten() const
    {
        return {m_expected.begin() + static_cast<std::ptrdiff_t>(m_written), m_expected.end()};
    }
    const std::string& Failure() const { return m_failure; }

private:
    struct Chunk
    {
        std::size_t writesBefore = 0;
        std::vector<std::uint8_t> data;
    };
    std::vector<Chunk> m_reads;
    std::vector<std::uint8_t> m_expected;
    std::size_t m_read = 0;
    std::size_t m_offset = 0;
    std::size_t m_written = 0;
    std::string m_failure;
};

struct Message
{
    std::uint8_t xid = 0;
    std::vector<std::uint8_t> bytes;
    std::size_t end = 0; // where its last packet ends in the side's stream
};

// Whether bytes are nothing but whole acknowledgement packets.
inline bool OnlyAcks(const std::vector<std::uint8_t>& bytes)
{
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (pos + 12 > bytes.size() || bytes[pos] != 0xBE || bytes[pos + 5] != 2 || bytes[pos + 10] != 2) {
            return false;
        }
        pos += 12 + ((std::size_t{bytes[pos + 6]} << 8) | bytes[pos + 7]);
    }
    return pos == bytes.size();
}

// The whole data messages of one side's stream, each once, in order. Walks packet lengths from each
// signature; the recordings hold no noise, so no checksum is needed to find them.
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
    bool assembling = false;
    std::size_t pos = 0;
    while (pos + 12 <= stream.size()) {
        if (!(stream[pos] == 0xBE && stream[pos + 1] == 0xEF && stream[pos + 2] == 0xED)) {
            ++pos;
            continue;
        }
        const std::size_t length = (std::size_t{stream[pos + 6]} << 8) | stream[pos + 7];
        const std::uint8_t xid = stream[pos + 8];
        const std::size_t end = pos + 12 + length;
        if (stream[pos + 5] == 2 && length >= 4 && end <= stream.size() && stream[pos + 10] == 1) {
            const std::uint8_t flags = stream[pos + 11];
            const std::size_t header = (flags & 0x10) ? 6 : 4;
            const bool first = (flags & 0x80) != 0;
            std::size_t offset = 0;
            for (std::size_t i = pos + 12; i < pos + 10 + header; ++i) {
                offset = (offset << 8) | stream[i];
            }
            const bool repeat =
                first ? ((!assembling && !out.empty() && out.back().xid == xid) || (assembling && current.xid == xid))
                      : (!assembling || offset != current.bytes.size());
            if (!repeat) {
                if (first) {
                    current = Message{xid, {}, 0};
                    assembling = true;
                }
                current.bytes.insert(current.bytes.end(),
                                     stream.begin() + static_cast<std::ptrdiff_t>(pos + 10 + header),
                                     stream.begin() + static_cast<std::ptrdiff_t>(end - 2));
                if (flags & 0x40) {
                    current.end = end;
                    out.push_back(current);
                    assembling = false;
                }
            }
        }
        pos = end;
    }
    return out;
}

} // namespace recording
