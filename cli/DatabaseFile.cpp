#include "cli/DatabaseFile.h"

#include "jobs/Export.h"
#include "pdb/AtomicFile.h"

#include <span>

namespace {
std::uint32_t ReadBigEndian32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    if (offset > bytes.size() || bytes.size() - offset < 4)
        return 0;
    return (static_cast<std::uint32_t>(bytes[offset]) << 24) | (static_cast<std::uint32_t>(bytes[offset + 1]) << 16) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 8) | static_cast<std::uint32_t>(bytes[offset + 3]);
}
} // namespace

std::vector<std::uint32_t> CDatabaseFile::RecordOffsets() const
{
    // A list entry is 8 bytes (offset, attributes, unique ID) in a record database and 10 bytes (type, ID,
    // offset) in a resource database; the list starts right after the 78-byte header.
    const std::size_t entrySize = database.m_isResourceDb ? 10 : 8;
    const std::size_t offsetInEntry = database.m_isResourceDb ? 6 : 0;
    std::vector<std::uint32_t> offsets;
    offsets.reserve(database.Records().size());
    for (std::size_t i = 0; i < database.Records().size(); ++i)
        offsets.push_back(ReadBigEndian32(bytes, PDB_HEADER_SIZE + entrySize * i + offsetInEntry));
    return offsets;
}

std::optional<CDatabaseFile> LoadDatabaseFile(const std::string& path, std::string& error)
{
    std::string content;
    if (!ReadWholeFile(path, content)) {
        error = "Can't read file " + path;
        return std::nullopt;
    }
    CDatabaseFile file;
    file.bytes.assign(content.begin(), content.end());
    PdbParseError parseError;
    std::optional<CPalmDatabase> database = CPalmDatabase::Parse(file.bytes, &parseError);
    if (!database) {
        error = path + " is not a readable Palm database (" + parseError.reason + " at byte " +
                std::to_string(parseError.offset) + ")";
        return std::nullopt;
    }
    file.database = std::move(*database);
    return file;
}

bool HoldsSongs(const CPalmDatabase& database)
{
    return database.m_creator == TUNELORE_CREATOR &&
           (database.m_type == SONG_DB_TYPE || database.m_type == SONG_IMPORT_TYPE);
}

bool HoldsChords(const CPalmDatabase& database)
{
    return database.m_creator == TUNELORE_CREATOR &&
           (database.m_type == CHORD_DB_TYPE || database.m_type == CHORD_IMPORT_TYPE);
}
