#pragma once

// The serial link's packet layer: every packet starts with the signature BE EF ED, names a destination and a
// source socket, a packet type, a body length and a transaction id, carries a one-byte sum over that header
// and ends with a CRC-16 over header and body. The handheld's serial line can carry noise (a cradle being
// plugged in, a line speed that is not yet switched), so the receiver skips anything that does not parse.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace hotsync::slp {

inline constexpr std::uint8_t kSignature[3] = {0xBE, 0xEF, 0xED};
inline constexpr std::size_t kHeaderSize = 10;
inline constexpr std::size_t kCrcSize = 2;
// The packet-assembly layer puts at most 1,024 bytes of a message in one packet behind a header of at most 6
// bytes; a header claiming more is noise that happened to carry a signature and a right sum.
inline constexpr std::size_t kMaxBody = 1024 + 16;

// The desktop link server's socket, both ends of every HotSync packet.
inline constexpr std::uint8_t kSocketDlp = 3;

enum class PacketType : std::uint8_t
{
    System = 0,
    Padp = 2,
    Loopback = 3,
};

struct Packet
{
    std::uint8_t dest = kSocketDlp;
    std::uint8_t src = kSocketDlp;
    std::uint8_t type = static_cast<std::uint8_t>(PacketType::Padp);
    std::uint8_t xid = 0;
    std::vector<std::uint8_t> body;
};

// CRC-16 with polynomial 0x1021, starting from 0, no reflection, no final xor.
std::uint16_t Crc16(std::span<const std::uint8_t> bytes);

// The packet as it goes on the line. The body must not be longer than kMaxBody.
std::vector<std::uint8_t> Encode(const Packet& packet);

// Cuts a byte stream into packets. Bytes before a signature are skipped; a header whose sum is wrong, whose
// length is past kMaxBody or a packet whose CRC is wrong is dropped and the search goes on one byte after its
// signature, so that a real packet hidden behind a false start is still found. Memory stays bounded: at most
// one packet's worth of unparsed bytes is kept between calls.
class Receiver
{
public:
    void Feed(std::span<const std::uint8_t> bytes);
    // The next whole, valid packet fed so far, if any.
    std::optional<Packet> Next();

    // Packets dropped for a bad header sum, a length past the bound or a bad CRC.
    std::size_t Dropped() const { return m_dropped; }
    // Bytes skipped while looking for a signature (noise, and the rest of dropped packets).
    std::size_t Skipped() const { return m_skipped; }

private:
    void Compact();

    std::vector<std::uint8_t> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_dropped = 0;
    std::size_t m_skipped = 0;
};

} // namespace hotsync::slp
