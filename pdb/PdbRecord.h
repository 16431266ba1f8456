#pragma once

#include <cstdint>
#include <span>
#include <vector>

// One record of a Palm database: its list-entry fields and its own copy of the data bytes.
// Records are values: copying a record copies its bytes.
class CPdbRecord
{
public:
    CPdbRecord() = default;
    CPdbRecord(const CPdbRecord&) = default;
    CPdbRecord(CPdbRecord&&) noexcept = default;
    CPdbRecord& operator=(const CPdbRecord&) = default;
    CPdbRecord& operator=(CPdbRecord&&) noexcept = default;
    virtual ~CPdbRecord() = default;

    // Replaces the data with a copy of `length` bytes at `data`; a length of 0 leaves no data.
    void SetData(const std::uint8_t* data, std::uint32_t length);
    void SetData(std::span<const std::uint8_t> data);

    std::span<const std::uint8_t> Data() const { return m_data; }
    // Number of data bytes (the record's length in the file).
    std::uint32_t Length() const { return static_cast<std::uint32_t>(m_data.size()); }

    std::uint32_t m_resourceType = 0; // resource databases only
    std::uint16_t m_resourceId = 0;   // resource databases only
    std::uint8_t m_attributes = 0;    // record databases only
    std::uint32_t m_uniqueId = 0;     // record databases only; the file keeps the low 24 bits
    std::uint32_t m_fileOffset = 0;   // where the data started in the file it was read from; 0 otherwise

private:
    std::vector<std::uint8_t> m_data;
};

using CPdbRecordArray = std::vector<CPdbRecord>;
