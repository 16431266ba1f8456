#pragma once

// Big-endian building and bounded reading of the byte layouts HotSync exchanges.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hotsync {

// Appends big-endian numbers and bytes to a message.
class ByteWriter
{
public:
    ByteWriter& U8(std::uint8_t value)
    {
        m_bytes.push_back(value);
        return *this;
    }
    ByteWriter& U16(std::uint16_t value)
    {
        return U8(static_cast<std::uint8_t>(value >> 8)).U8(static_cast<std::uint8_t>(value));
    }
    ByteWriter& U32(std::uint32_t value)
    {
        return U16(static_cast<std::uint16_t>(value >> 16)).U16(static_cast<std::uint16_t>(value));
    }
    ByteWriter& Bytes(std::span<const std::uint8_t> bytes)
    {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    // The text and its terminating zero.
    ByteWriter& CString(std::string_view text)
    {
        m_bytes.insert(m_bytes.end(), text.begin(), text.end());
        return U8(0);
    }
    std::vector<std::uint8_t>& Data() { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

// Reads big-endian numbers from a span. A read past the end yields zeros and marks the reader failed, so a
// run of reads is checked once at the end.
class ByteReader
{
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes)
        : m_bytes(bytes)
    {}

    bool Failed() const { return m_failed; }
    std::size_t Position() const { return m_position; }
    std::size_t Remaining() const { return m_failed ? 0 : m_bytes.size() - m_position; }

    std::uint8_t U8()
    {
        if (m_failed || m_position >= m_bytes.size()) {
            m_failed = true;
            return 0;
        }
        return m_bytes[m_position++];
    }
    std::uint16_t U16()
    {
        const unsigned high = U8();
        return static_cast<std::uint16_t>((high << 8) | U8());
    }
    std::uint32_t U32()
    {
        const std::uint32_t high = U16();
        return (high << 16) | U16();
    }
    // `count` bytes, or an empty span and a failed reader when fewer are left.
    std::span<const std::uint8_t> Take(std::size_t count)
    {
        if (m_failed || count > m_bytes.size() - m_position) {
            m_failed = true;
            return {};
        }
        const auto taken = m_bytes.subspan(m_position, count);
        m_position += count;
        return taken;
    }
    void Skip(std::size_t count) { Take(count); }
    // A zero-terminated text within the next `limit` bytes (the zero is consumed); fails when none is there.
    std::string CString(std::size_t limit)
    {
        const std::size_t available = Remaining() < limit ? Remaining() : limit;
        for (std::size_t i = 0; i < available; ++i) {
            if (m_bytes[m_position + i] == 0) {
                std::string text(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_position),
                                 m_bytes.begin() + static_cast<std::ptrdiff_t>(m_position + i));
                m_position += i + 1;
                return text;
            }
        }
        m_failed = true;
        return {};
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_position = 0;
    bool m_failed = false;
};

} // namespace hotsync
