#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "hotsync/Padp.h"

// Sessions recorded with real handhelds, played back as the handheld's side of a byte stream, and the
// framing of each side's bytes taken apart independently of the code under test.

// A recorded session: what the desktop read and wrote, chunk by chunk, in order.
struct RecordedChunk
{
    bool read = false;
    std::vector<std::uint8_t> bytes;
};

inline std::vector<std::uint8_t> FromHex(const std::string& hex)
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

inline std::vector<RecordedChunk> LoadRecording(const std::string& name)
{
    std::ifstream file(std::string(TEST_DATA_DIR) + "/hotsync/" + name);
    if (!file) {
        throw std::runtime_error("cannot open recording " + name);
    }
    const nlohmann::json entries = nlohmann::json::parse(file);
    std::vector<RecordedChunk> chunks;
    for (const auto& entry : entries) {
        chunks.push_back({entry.at("type").get<std::string>() == "read", FromHex(entry.at("data").get<std::string>())});
    }
    return chunks;
}

// All the bytes of one direction, concatenated.
inline std::vector<std::uint8_t> Concatenated(const std::vector<RecordedChunk>& chunks, bool reads)
{
    std::vector<std::uint8_t> all;
    for (const RecordedChunk& chunk : chunks) {
        if (chunk.read == reads) {
            all.insert(all.end(), chunk.bytes.begin(), chunk.bytes.end());
        }
    }
    return all;
}

// The NetSync messages of a concatenated stream, each with the offset just past it.
struct FramedMessage
{
    std::vector<std::uint8_t> payload;
    std::size_t end = 0;
};
inline std::vector<FramedMessage> SplitNetSync(const std::vector<std::uint8_t>& stream)
{
    std::vector<FramedMessage> messages;
    std::size_t at = 0;
    while (at + 6 <= stream.size()) {
        const std::size_t length = (std::size_t{stream[at + 2]} << 24) | (std::size_t{stream[at + 3]} << 16) |
                                   (std::size_t{stream[at + 4]} << 8) | std::size_t{stream[at + 5]};
        if (at + 6 + length > stream.size()) {
            break;
        }
        const auto begin = stream.begin() + static_cast<std::ptrdiff_t>(at + 6);
        messages.push_back({{begin, begin + static_cast<std::ptrdiff_t>(length)}, at + 6 + length});
        at += 6 + length;
    }
    return messages;
}

// Plays the handheld's side of a recording. Each Read hands out the recorded reads in their chunks, but only
// once the desktop has written every byte the recording shows before them; each Write must continue the
// recorded writes exactly. With `checkedBytes` set, writes past that many bytes are taken without comparison
// and reads past the last one compared end the stream.
class ReplayStream final : public hotsync::IByteStream
{
public:
    explicit ReplayStream(std::vector<RecordedChunk> chunks, std::size_t checkedBytes = SIZE_MAX)
        : m_chunks(std::move(chunks))
        , m_expected(Concatenated(m_chunks, false))
        , m_checked(checkedBytes)
    {}

    Result<std::size_t> Read(std::span<std::uint8_t> into, hotsync::Deadline) override
    {
        std::size_t writtenBefore = 0; // recorded write bytes before chunk m_next
        for (std::size_t i = 0; i < m_next; ++i) {
            writtenBefore += m_chunks[i].read ? 0 : m_chunks[i].bytes.size();
        }
        while (m_next < m_chunks.size()) {
            RecordedChunk& chunk = m_chunks[m_next];
            if (!chunk.read) {
                if (m_written < writtenBefore + chunk.bytes.size() || writtenBefore + chunk.bytes.size() > m_checked) {
                    return MakeError(ErrorKind::Disconnected, "the recording has the desktop write here");
                }
                writtenBefore += chunk.bytes.size();
                ++m_next;
                continue;
            }
            if (m_offset == chunk.bytes.size()) {
                ++m_next;
                m_offset = 0;
                continue;
            }
            const std::size_t take = std::min(into.size(), chunk.bytes.size() - m_offset);
            std::copy_n(chunk.bytes.begin() + static_cast<std::ptrdiff_t>(m_offset), take, into.begin());
            m_offset += take;
            return take;
        }
        return MakeError(ErrorKind::Disconnected, "the recording ends here");
    }

    Status Write(std::span<const std::uint8_t> bytes, hotsync::Deadline) override
    {
        for (const std::uint8_t byte : bytes) {
            if (m_written < m_checked && (m_written >= m_expected.size() || m_expected[m_written] != byte)) {
                if (!m_mismatch) {
                    m_mismatch = m_written;
                }
                return MakeError(ErrorKind::Protocol, "the desktop wrote other bytes than the recording");
            }
            m_actual.push_back(byte);
            ++m_written;
        }
        return {};
    }

    // What the desktop wrote, and where it first differed from the recording (if it did).
    const std::vector<std::uint8_t>& Written() const { return m_actual; }
    const std::vector<std::uint8_t>& Expected() const { return m_expected; }
    std::optional<std::size_t> Mismatch() const { return m_mismatch; }

private:
    std::vector<RecordedChunk> m_chunks;
    std::vector<std::uint8_t> m_expected;
    std::size_t m_checked;
    std::size_t m_next = 0;
    std::size_t m_offset = 0;
    std::size_t m_written = 0;
    std::vector<std::uint8_t> m_actual;
    std::optional<std::size_t> m_mismatch;
};

// A serial packet (SLP + PADP) of one side's stream, with the offset just past it.
struct SerialPacket
{
    std::uint8_t xid = 0;
    hotsync::padp::Header header;
    std::vector<std::uint8_t> data;
    std::size_t end = 0;
};

inline std::vector<SerialPacket> SerialPackets(const std::vector<std::uint8_t>& stream)
{
    std::vector<SerialPacket> out;
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
