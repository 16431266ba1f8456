#include "pdb/PalmDatabase.h"

#include "pdb/AtomicFile.h"
#include "pdb/ByteLayout.h"
#include "pdb/FileIo.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

using namespace pdb_layout;

namespace {

// Where the record list ends and the first record begins.
std::size_t FirstDataOffset(std::size_t count, bool isResourceDb)
{
    return PDB_HEADER_SIZE + EntrySize(isResourceDb) * count + LIST_PADDING_SIZE;
}

// The length of the whole image, which may exceed what the 32-bit offsets can describe.
std::uint64_t ImageLength(std::span<const CPdbRecord> records, bool isResourceDb)
{
    std::uint64_t total = FirstDataOffset(records.size(), isResourceDb);
    for (const CPdbRecord& record : records) {
        total += record.Data().size();
    }
    return total;
}

} // namespace

// A number with its digits in groups of three: 65,535.
std::string GroupDigits(std::uint64_t number)
{
    std::string digits = std::to_string(number);
    for (std::size_t end = digits.size(); end > 3; end -= 3) {
        digits.insert(end - 3, 1, ',');
    }
    return digits;
}

std::string FourCCToString(std::uint32_t code)
{
    std::string text(4, '\0');
    for (std::size_t i = 0; i < 4; ++i) {
        text[i] = static_cast<char>(static_cast<std::uint8_t>(code >> (24 - 8 * i)));
    }
    return text;
}

CPalmDatabase::CPalmDatabase(
    std::string name, std::uint32_t creator, std::uint32_t type, bool isResourceDb, std::optional<std::uint32_t> now)
    : m_creator(creator)
    , m_type(type)
    , m_name(std::move(name))
    , m_attributes(isResourceDb ? static_cast<std::uint16_t>(PDB_ATTR_BACKUP | PDB_ATTR_RESOURCE) : PDB_ATTR_BACKUP)
    , m_dataOffset(static_cast<std::uint32_t>(PDB_HEADER_SIZE + LIST_PADDING_SIZE))
    , m_isResourceDb(isResourceDb)
{
    // The file keeps 32-bit seconds; the clock is read once so that the three dates agree.
    const std::uint32_t stamp =
        now ? *now
            : static_cast<std::uint32_t>(
                  std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
                      .count());
    m_creationDate = stamp;
    m_modificationDate = stamp;
    m_backupDate = stamp;
}

void CPalmDatabase::AddRecord(const CPdbRecord& record)
{
    m_records.push_back(record);
}

void CPalmDatabase::AddRecord(CPdbRecord&& record)
{
    m_records.push_back(std::move(record));
}

CPdbRecord CPalmDatabase::GetRecord(int index) const
{
    return m_records.at(static_cast<std::size_t>(index));
}

std::optional<std::vector<std::uint8_t>> CPalmDatabase::Serialize()
{
    const std::size_t count = m_records.size();
    if (count > PDB_MAX_RECORDS) {
        return std::nullopt; // the record count field has 16 bits
    }
    const std::size_t firstDataOffset = FirstDataOffset(count, m_isResourceDb);

    // Data offsets are 32-bit; a database whose data would reach past 4 GiB cannot be described.
    const std::uint64_t total = ImageLength(m_records, m_isResourceDb) + m_appInfo.size() + m_sortInfo.size();
    if (total > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    // The app info and sort info blocks sit between the record list and the first record.
    const std::uint32_t appInfoOffset = m_appInfo.empty() ? 0 : static_cast<std::uint32_t>(firstDataOffset);
    const std::uint32_t sortInfoOffset =
        m_sortInfo.empty() ? 0 : static_cast<std::uint32_t>(firstDataOffset + m_appInfo.size());

    std::vector<std::uint8_t> image;
    image.reserve(static_cast<std::size_t>(total));
    CBigEndianWriter out(image);

    // The name field always keeps a terminating zero, so at most 31 bytes of the name are written.
    const std::size_t nameLength = std::min(m_name.size(), PDB_MAX_NAME_LENGTH);
    for (std::size_t i = 0; i < NAME_FIELD_SIZE; ++i) {
        out.U8(i < nameLength ? static_cast<std::uint8_t>(m_name[i]) : 0);
    }
    out.U16(m_attributes);
    out.U16(m_version);
    out.U32(ToPalmTime(m_creationDate));
    out.U32(ToPalmTime(m_modificationDate));
    out.U32(ToPalmTime(m_backupDate));
    out.U32(m_modificationNumber);
    out.U32(appInfoOffset);
    out.U32(sortInfoOffset);
    out.U32(m_type);
    out.U32(m_creator);
    out.U32(m_uniqueIdSeed);
    out.U32(0); // next record list: none
    out.U16(static_cast<std::uint16_t>(count));

    m_dataOffset = static_cast<std::uint32_t>(firstDataOffset + m_appInfo.size() + m_sortInfo.size());
    for (const CPdbRecord& record : m_records) {
        if (m_isResourceDb) {
            out.U32(record.m_resourceType);
            out.U16(record.m_resourceId);
            out.U32(m_dataOffset);
        } else {
            out.U32(m_dataOffset);
            out.U8(record.m_attributes);
            out.U24(record.m_uniqueId & 0x00FFFFFFu);
        }
        m_dataOffset += record.Length();
    }
    out.U16(0);
    out.Bytes(m_appInfo);
    out.Bytes(m_sortInfo);
    for (const CPdbRecord& record : m_records) {
        out.Bytes(record.Data());
    }
    return image;
}

Result<std::vector<std::uint8_t>> CPalmDatabase::Image()
{
    if (m_records.size() > PDB_MAX_RECORDS) {
        return MakeError(ErrorKind::TooLarge,
                         "a database holds at most " + GroupDigits(PDB_MAX_RECORDS) + " records; " +
                             GroupDigits(m_records.size()) + " were given");
    }
    const std::uint64_t length = ImageLength(m_records, m_isResourceDb) + m_appInfo.size() + m_sortInfo.size();
    if (length > std::numeric_limits<std::uint32_t>::max()) {
        return MakeError(ErrorKind::TooLarge,
                         "a database holds at most " + GroupDigits(std::numeric_limits<std::uint32_t>::max()) +
                             " bytes; " + GroupDigits(length) + " were given");
    }
    std::optional<std::vector<std::uint8_t>> image = Serialize();
    if (!image) {
        return MakeError(ErrorKind::TooLarge,
                         "the database cannot be serialized"); // not reached: both limits were checked above
    }
    return std::move(*image);
}

Status CPalmDatabase::Write(const std::filesystem::path& path)
{
    const Result<std::vector<std::uint8_t>> image = Image();
    if (!image) {
        return image.error();
    }
    return WriteFileAtomically(path, *image);
}

int CPalmDatabase::WriteToFile(const std::string& path)
{
    return Write(PathFromUtf8(path)) ? 0 : -1;
}

std::string MakeDatabaseName(const std::string& baseName, std::uint32_t random)
{
    return baseName + std::to_string(random % 100000);
}
