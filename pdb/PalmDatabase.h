#pragma once

#include "pdb/AtomicFile.h"
#include "pdb/PdbRecord.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/Result.h"

// Seconds from 1904-01-01 00:00 (the handheld's epoch) to 1970-01-01 00:00 UTC.
inline constexpr std::uint32_t PALM_EPOCH_OFFSET = 2082844800u;
// Largest gap between the record list and the first record, and largest last record, that the reader takes.
inline constexpr std::size_t READ_SCRATCH_SIZE = 100000;
inline constexpr std::size_t PDB_HEADER_SIZE = 78;
inline constexpr std::size_t PDB_MAX_NAME_LENGTH = 31;
inline constexpr std::size_t PDB_MAX_RECORDS = 65535;

inline constexpr std::uint16_t PDB_ATTR_RESOURCE = 0x0001;
inline constexpr std::uint16_t PDB_ATTR_BACKUP = 0x0008;

// Four-character code with the first character in the most significant byte: MakeFourCC("TuNe").
constexpr std::uint32_t MakeFourCC(const char (&code)[5])
{
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}
// The four characters of a code, in reading order (bytes as they are, NULs included).
std::string FourCCToString(std::uint32_t code);
// A number with its digits in groups of three, as messages show counts: 65535 as "65,535".
std::string GroupDigits(std::uint64_t number);

// Why a byte image was refused by the reader, and at which offset.
struct PdbParseError
{
    std::size_t offset = 0;
    std::string reason;
};

class CReadOnlyFile;

// An in-memory Palm OS database (.pdb): a 78-byte header and an ordered list of records.
class CPalmDatabase
{
public:
    // For reading: empty name, no records.
    CPalmDatabase() = default;
    // For building: name, creator, type and kind; the three dates take `now` (seconds since 1970), or the
    // system clock when it is not given.
    CPalmDatabase(std::string name,
                  std::uint32_t creator,
                  std::uint32_t type,
                  bool isResourceDb,
                  std::optional<std::uint32_t> now = std::nullopt);
    CPalmDatabase(const CPalmDatabase&) = default;
    CPalmDatabase(CPalmDatabase&&) noexcept = default;
    CPalmDatabase& operator=(const CPalmDatabase&) = default;
    CPalmDatabase& operator=(CPalmDatabase&&) noexcept = default;
    virtual ~CPalmDatabase() = default;

    // Appends a copy of the record.
    void AddRecord(const CPdbRecord& record);
    // Appends the record, taking over its bytes instead of copying them.
    void AddRecord(CPdbRecord&& record);
    int GetRecordCount() const { return static_cast<int>(m_records.size()); }
    // A copy of record `index` (0 <= index < GetRecordCount()).
    CPdbRecord GetRecord(int index) const;
    // The stored records, without copying.
    std::span<const CPdbRecord> Records() const { return m_records; }
    std::string GetName() const { return m_name; }

    // The file image; nullopt when the database has more than 65535 records or its data would reach past
    // 4 GiB. A name longer than 31 bytes is cut to 31. Sets m_dataOffset to the image's length.
    std::optional<std::vector<std::uint8_t>> Serialize();
    // The file image, or why the records make no database (too many, or past 4 GiB).
    Result<std::vector<std::uint8_t>> Image();
    // Writes the file image with WriteFileAtomically (an earlier file at `path` survives any failure). On
    // failure the result gives the cause: the file system's, or why the records make no database.
    Status Write(const std::filesystem::path& path);
    // 0 after the whole file was written; -1 otherwise, leaving any earlier file at `path` untouched.
    int WriteToFile(const std::string& path);

    // Parses a whole file image. Never reads outside `bytes`; a malformed image gives nullopt and,
    // when `error` is given, the reason.
    static std::optional<CPalmDatabase> Parse(std::span<const std::uint8_t> bytes, PdbParseError* error = nullptr);
    // 0 after reading a well-formed file; -1 when it cannot be read or is malformed (the database stays empty).
    int ReadFromFile(const std::string& path);
    // Reads the part of the file that the header, the record list and the records reach (the last record cut
    // at READ_SCRATCH_SIZE bytes), so a huge or hostile file costs no more than a well-formed one. The database,
    // or why there is none: Malformed (the parser's reason with its offset) for a file that was read but is no
    // Palm database, any other kind (the system's reason) for one that could not be opened or read.
    static Result<CPalmDatabase> Read(const std::filesystem::path& path);
    // The same from a file already open, such as standard input.
    static Result<CPalmDatabase> Read(CReadOnlyFile& file);
    // Appends to `image` the part of an open .pdb file that Parse needs: the header, the record list, and the
    // data up to READ_SCRATCH_SIZE bytes past the highest data offset; the rest of a larger file stays unread,
    // and parsing the image gives what parsing the whole file would.
    static Status ReadImage(CReadOnlyFile& file, std::string& image);

    // Seconds since 1970 to seconds since 1904, wrapping in 32 bits.
    static std::uint32_t ToPalmTime(std::uint32_t unixTime) { return unixTime + PALM_EPOCH_OFFSET; }

    std::uint32_t m_creator = 0;
    std::uint32_t m_type = 0;
    std::string m_name;
    std::uint32_t m_creationDate = 0;     // seconds since 1970-01-01 UTC
    std::uint32_t m_modificationDate = 0; // seconds since 1970-01-01 UTC
    std::uint32_t m_backupDate = 0;       // seconds since 1970-01-01 UTC
    std::uint16_t m_attributes = 0;
    std::uint32_t m_modificationNumber = 0;
    std::uint16_t m_version = 0;
    std::uint32_t m_uniqueIdSeed = 0;
    std::uint32_t m_dataOffset = 0;
    bool m_isResourceDb = false;
    // The app info and sort info blocks; empty when the database has none.
    std::vector<std::uint8_t> m_appInfo;
    std::vector<std::uint8_t> m_sortInfo;

private:
    CPdbRecordArray m_records;
};

// The base name followed by a number below 100000 made from `random` (a fresh random number).
std::string MakeDatabaseName(const std::string& baseName, std::uint32_t random);
