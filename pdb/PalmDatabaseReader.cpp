#include "pdb/ByteLayout.h"
#include "pdb/FileIo.h"
#include "pdb/PalmDatabase.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <utility>

namespace {

using namespace pdb_layout;

bool IsResource(std::uint16_t attributes)
{
    return (attributes & PDB_ATTR_RESOURCE) != 0;
}

// Appends bytes from `file` to `image` until it holds `limit` bytes or the file ends. The buffer grows
// only with bytes actually read, so a huge length claimed by the file costs nothing.
Status ReadUpTo(CReadOnlyFile& file, std::string& image, std::uint64_t limit)
{
    constexpr std::size_t CHUNK_SIZE = 64 * 1024;
    while (image.size() < limit) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(CHUNK_SIZE, limit - image.size()));
        const std::size_t oldSize = image.size();
        image.resize(oldSize + wanted);
        const Result<std::size_t> got = file.Read(image.data() + oldSize, wanted);
        image.resize(oldSize + (got ? *got : 0));
        if (!got) {
            return got.error();
        }
        if (*got == 0) {
            break;
        }
    }
    return {};
}

std::span<const std::uint8_t> BytesOf(std::string_view image)
{
    return {reinterpret_cast<const std::uint8_t*>(image.data()), image.size()};
}

std::uint32_t PeekU32(std::span<const std::uint8_t> bytes, std::size_t position)
{
    CBigEndianReader reader(bytes, position);
    return reader.U32();
}

// Reads the part of a .pdb file that the parser can use: the header, the record list, and the data up
// to READ_SCRATCH_SIZE bytes past the highest data offset. The last record is cut at that size, so the
// rest of a larger file is never read. Parsing this prefix gives the same result as parsing the whole file.
} // namespace

Status CPalmDatabase::ReadImage(CReadOnlyFile& file, std::string& image)
{
    if (Status read = ReadUpTo(file, image, PDB_HEADER_SIZE); !read || image.size() < PDB_HEADER_SIZE) {
        return read; // a short file: the parser refuses it
    }
    CBigEndianReader header(BytesOf(image), RECORD_COUNT_OFFSET);
    const std::size_t count = header.U16();
    if (count == 0) {
        return {};
    }
    const bool resource = IsResource(CBigEndianReader(BytesOf(image), ATTRIBUTES_OFFSET).U16());
    const std::size_t entrySize = EntrySize(resource);
    const std::size_t listEnd = PDB_HEADER_SIZE + entrySize * count;
    if (Status read = ReadUpTo(file, image, listEnd); !read || image.size() < listEnd) {
        return read;
    }
    const std::size_t offsetField = OffsetFieldInEntry(resource);
    std::uint32_t highest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        highest = std::max(highest, PeekU32(BytesOf(image), PDB_HEADER_SIZE + entrySize * i + offsetField));
    }
    const std::uint64_t limit = std::max<std::uint64_t>(highest, listEnd) + READ_SCRATCH_SIZE;
    return ReadUpTo(file, image, limit);
}

std::optional<CPalmDatabase> CPalmDatabase::Parse(std::span<const std::uint8_t> bytes, PdbParseError* error)
{
    const auto fail = [error](std::size_t offset, const char* reason) -> std::optional<CPalmDatabase> {
        if (error != nullptr) {
            error->offset = offset;
            error->reason = reason;
        }
        return std::nullopt;
    };

    // Everything up to the record count must be there, creator and type included, before anything is taken.
    if (bytes.size() < PDB_HEADER_SIZE) {
        return fail(bytes.size(), "file shorter than its header");
    }

    CPalmDatabase db;
    const auto nameField = bytes.first(NAME_FIELD_SIZE);
    const auto nameEnd = std::find(nameField.begin(), nameField.end(), std::uint8_t{0});
    db.m_name.assign(nameField.begin(), nameEnd);

    CBigEndianReader in(bytes, NAME_FIELD_SIZE);
    db.m_attributes = in.U16();
    db.m_isResourceDb = (db.m_attributes & PDB_ATTR_RESOURCE) != 0;
    db.m_version = in.U16();
    // The file counts from 1904; memory counts from 1970 (wrapping, the inverse of ToPalmTime).
    db.m_creationDate = in.U32() - PALM_EPOCH_OFFSET;
    db.m_modificationDate = in.U32() - PALM_EPOCH_OFFSET;
    db.m_backupDate = in.U32() - PALM_EPOCH_OFFSET;
    db.m_modificationNumber = in.U32();
    const std::size_t appInfoOffset = in.U32();
    const std::size_t sortInfoOffset = in.U32();
    db.m_type = in.U32();
    db.m_creator = in.U32();
    db.m_uniqueIdSeed = in.U32();
    in.Skip(4); // next record list
    const std::size_t count = in.U16();
    if (in.Failed()) {
        return fail(in.Position(), "file shorter than its header");
    }
    db.m_dataOffset = static_cast<std::uint32_t>(PDB_HEADER_SIZE);
    const std::size_t entrySize = EntrySize(db.m_isResourceDb);
    const std::size_t listEnd = PDB_HEADER_SIZE + entrySize * count;
    // The app info and sort info blocks lie between the record list and `dataStart`; each runs to the next of
    // the two or to `dataStart`. Offsets outside that range name no block and are passed over.
    const auto takeBlocks = [&](std::size_t dataStart) {
        const auto block = [&](std::size_t offset, std::size_t other) {
            if (offset == 0 || offset < listEnd || offset > dataStart) {
                return std::vector<std::uint8_t>();
            }
            const std::size_t end = other > offset && other <= dataStart ? other : dataStart;
            const auto bytesOfBlock = bytes.subspan(offset, end - offset);
            return std::vector<std::uint8_t>(bytesOfBlock.begin(), bytesOfBlock.end());
        };
        db.m_appInfo = block(appInfoOffset, sortInfoOffset);
        // Two offsets naming the same place make one block, not two copies of it.
        db.m_sortInfo =
            sortInfoOffset == appInfoOffset ? std::vector<std::uint8_t>() : block(sortInfoOffset, appInfoOffset);
    };
    if (count == 0) {
        takeBlocks(std::min(bytes.size(), listEnd + READ_SCRATCH_SIZE));
        return db;
    }

    if (bytes.size() < listEnd) {
        return fail(bytes.size(), "file shorter than its record list");
    }

    std::vector<std::size_t> offsets;
    offsets.reserve(count);
    db.m_records.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entryStart = in.Position();
        CPdbRecord& record = db.m_records[i];
        std::size_t offset = 0;
        if (db.m_isResourceDb) {
            record.m_resourceType = in.U32();
            record.m_resourceId = in.U16();
            offset = in.U32();
        } else {
            offset = in.U32();
            record.m_attributes = in.U8();
            record.m_uniqueId = in.U24();
        }
        if (in.Failed()) {
            return fail(entryStart, "file shorter than its record list");
        }
        if (offset > bytes.size()) {
            return fail(entryStart, "data offset past the end of the file");
        }
        if (i == 0) {
            if (offset < listEnd) {
                return fail(entryStart, "first data offset inside the header or record list");
            }
            // The gap holds the list's two padding bytes and any app or sort info block.
            if (offset - listEnd > READ_SCRATCH_SIZE) {
                return fail(entryStart, "gap before the first record longer than 100000 bytes");
            }
        } else if (offset < offsets.back()) {
            return fail(entryStart, "data offsets descend");
        }
        offsets.push_back(offset);
    }

    takeBlocks(offsets.front());

    // Each record runs to the next one's offset; the last one to the end of the file, cut at the scratch size.
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t start = offsets[i];
        const std::size_t end =
            i + 1 < count ? offsets[i + 1] : start + std::min(bytes.size() - start, READ_SCRATCH_SIZE);
        db.m_records[i].SetData(bytes.subspan(start, end - start));
        db.m_records[i].m_fileOffset = static_cast<std::uint32_t>(start);
    }
    db.m_dataOffset = static_cast<std::uint32_t>(offsets.back() + db.m_records.back().Length());
    return db;
}

Result<CPalmDatabase> CPalmDatabase::Read(const std::filesystem::path& path)
{
    // Opened as every input is: a FIFO, a device or a folder is refused before anything reads from it.
    Result<CReadOnlyFile> file = CReadOnlyFile::Open(path);
    if (!file) {
        return file.error();
    }
    return Read(*file);
}

Result<CPalmDatabase> CPalmDatabase::Read(CReadOnlyFile& file)
{
    std::string image;
    if (const Status read = ReadImage(file, image); !read) {
        return read.error();
    }
    PdbParseError error;
    std::optional<CPalmDatabase> database = Parse(BytesOf(image), &error);
    if (!database) {
        return MakeError(ErrorKind::Malformed, error.reason + " at byte " + std::to_string(error.offset));
    }
    return std::move(*database);
}

int CPalmDatabase::ReadFromFile(const std::string& path)
{
    Result<CPalmDatabase> read = Read(PathFromUtf8(path));
    if (!read) {
        return -1;
    }
    *this = std::move(*read);
    return 0;
}
