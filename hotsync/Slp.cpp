#include "hotsync/Slp.h"

#include <algorithm>

namespace hotsync::slp {

namespace {

std::uint8_t HeaderSum(const std::uint8_t* header)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < kHeaderSize; ++i) {
        sum += header[i];
    }
    return static_cast<std::uint8_t>(sum & 0xFFu);
}

} // namespace

std::uint16_t Crc16(std::span<const std::uint8_t> bytes)
{
    unsigned crc = 0;
    for (std::uint8_t byte : bytes) {
        crc ^= static_cast<unsigned>(byte) << 8;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000u) ? ((crc << 1) ^ 0x1021u) : (crc << 1);
        }
    }
    return static_cast<std::uint16_t>(crc & 0xFFFFu);
}

std::vector<std::uint8_t> Encode(const Packet& packet)
{
    const std::size_t length = std::min(packet.body.size(), kMaxBody);
    std::vector<std::uint8_t> out;
    out.reserve(kHeaderSize + length + kCrcSize);
    out.insert(out.end(), std::begin(kSignature), std::end(kSignature));
    out.push_back(packet.dest);
    out.push_back(packet.src);
    out.push_back(packet.type);
    out.push_back(static_cast<std::uint8_t>(length >> 8));
    out.push_back(static_cast<std::uint8_t>(length & 0xFFu));
    out.push_back(packet.xid);
    out.push_back(HeaderSum(out.data()));
    out.insert(out.end(), packet.body.begin(), packet.body.begin() + static_cast<std::ptrdiff_t>(length));
    const std::uint16_t crc = Crc16(out);
    out.push_back(static_cast<std::uint8_t>(crc >> 8));
    out.push_back(static_cast<std::uint8_t>(crc & 0xFFu));
    return out;
}

void Receiver::Feed(std::span<const std::uint8_t> bytes)
{
    Compact();
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
}

void Receiver::Compact()
{
    if (m_pos > 0) {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_pos));
        m_pos = 0;
    }
}

std::optional<Packet> Receiver::Next()
{
    for (;;) {
        const auto begin = m_buffer.begin() + static_cast<std::ptrdiff_t>(m_pos);
        const auto found = std::search(begin, m_buffer.end(), std::begin(kSignature), std::end(kSignature));
        if (found == m_buffer.end()) {
            // Keep a tail that may be the start of a signature still arriving.
            const std::size_t available = m_buffer.size() - m_pos;
            const std::size_t keep = std::min<std::size_t>(available, sizeof kSignature - 1);
            m_skipped += available - keep;
            m_pos = m_buffer.size() - keep;
            Compact();
            return std::nullopt;
        }
        const auto start = static_cast<std::size_t>(found - m_buffer.begin());
        m_skipped += start - m_pos;
        m_pos = start;
        const std::size_t available = m_buffer.size() - m_pos;
        if (available < kHeaderSize) {
            return std::nullopt;
        }
        const std::uint8_t* header = m_buffer.data() + m_pos;
        const std::size_t length = (static_cast<std::size_t>(header[6]) << 8) | header[7];
        if (HeaderSum(header) != header[9] || length > kMaxBody) {
            ++m_dropped;
            ++m_skipped;
            ++m_pos;
            continue;
        }
        const std::size_t total = kHeaderSize + length + kCrcSize;
        if (available < total) {
            return std::nullopt;
        }
        const std::uint16_t crc = Crc16(std::span<const std::uint8_t>(header, kHeaderSize + length));
        const std::uint16_t sent =
            static_cast<std::uint16_t>((header[kHeaderSize + length] << 8) | header[kHeaderSize + length + 1]);
        if (crc != sent) {
            ++m_dropped;
            ++m_skipped;
            ++m_pos;
            continue;
        }
        Packet packet;
        packet.dest = header[3];
        packet.src = header[4];
        packet.type = header[5];
        packet.xid = header[8];
        packet.body.assign(header + kHeaderSize, header + kHeaderSize + length);
        m_pos += total;
        return packet;
    }
}

} // namespace hotsync::slp
