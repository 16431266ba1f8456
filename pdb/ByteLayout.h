#pragma once

// The byte layout of a .pdb file, private to the pdb library: the header's field offsets, the record list's
// entry sizes, and big-endian reads and writes. The writer, the reader and the reader's prefix scan all
// use these, so the layout is written down once.

#include "pdb/PalmDatabase.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pdb_layout {

// Header: name (32 bytes, NUL-terminated), attributes, version, creation, modification and backup dates,
// modification number, app info and sort info offsets, type, creator, unique ID seed, next record list,
// record count. The record list follows at PDB_HEADER_SIZE.
inline constexpr std::size_t NAME_FIELD_SIZE = 32;
inline constexpr std::size_t ATTRIBUTES_OFFSET = 32;
inline constexpr std::size_t RECORD_COUNT_OFFSET = 76;

// A record entry: data offset (4), attributes (1), unique ID (3). A resource entry: type (4), ID (2),
// data offset (4).
inline constexpr std::size_t RECORD_ENTRY_SIZE = 8;
inline constexpr std::size_t RESOURCE_ENTRY_SIZE = 10;
// Two zero bytes between the record list and the first record.
inline constexpr std::size_t LIST_PADDING_SIZE = 2;

inline std::size_t EntrySize(bool isResourceDb)
{
    return isResourceDb ? RESOURCE_ENTRY_SIZE : RECORD_ENTRY_SIZE;
}
// Where the data offset sits inside an entry.
inline std::size_t OffsetFieldInEntry(bool isResourceDb)
{
    return isResourceDb ? 6 : 0;
}

// Appends big-endian numbers to a byte image.
class CBigEndianWriter
{
public:
    explicit CBigEndianWriter(std::vector<std::uint8_t>& out)
        : m_out(out)
    {}

    void U8(std::uint8_t value) { m_out.push_back(value); }
    void U16(std::uint16_t value)
    {
        U8(static_cast<std::uint8_t>(value >> 8));
        U8(static_cast<std::uint8_t>(value));
    }
    void U24(std::uint32_t value)
    {
        U8(static_cast<std::uint8_t>(value >> 16));
        U16(static_cast<std::uint16_t>(value));
    }
    void U32(std::uint32_t value)
    {
        U16(static_cast<std::uint16_t>(value >> 16));
        U16(static_cast<std::uint16_t>(value));
    }
    void Bytes(std::span<const std::uint8_t> bytes) { m_out.insert(m_out.end(), bytes.begin(), bytes.end()); }

private:
    std::vector<std::uint8_t>& m_out;
};

// Reads big-endian numbers from a byte span. A read past the end yields 0 and marks the reader as failed,
// so a run of reads can be checked once at the end.
class CBigEndianReader
{
public:
    explicit CBigEndianReader(std::span<const std::uint8_t> bytes, std::size_t position = 0)
        : m_bytes(bytes)
        , m_position(position)
    {}

    bool Failed() const { return m_failed; }
    std::size_t Position() const { return m_position; }

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
        const auto high = U8();
        const auto low = U8();
        return static_cast<std::uint16_t>((high << 8) | low);
    }
    std::uint32_t U24()
    {
        const std::uint32_t high = U8();
        const std::uint32_t low = U16();
        return (high << 16) | low;
    }
    std::uint32_t U32()
    {
        const std::uint32_t high = U16();
        const std::uint32_t low = U16();
        return (high << 16) | low;
    }
    void Skip(std::size_t count)
    {
        if (m_failed || count > m_bytes.size() - m_position) {
            m_failed = true;
            return;
        }
        m_position += count;
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_position = 0;
    bool m_failed = false;
};

} // namespace pdb_layout
