// The .pdb reader over arbitrary bytes. Every image the reader accepts must write back, and the written image
// must read again into the same database: same kind, header fields, record count, list-entry fields and
// record bytes. Writing that second database must give the very same image (reading and writing are
// inverse once a database has been through both).

#include "pdb/PalmDatabase.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/FuzzCheck.h"

namespace {

bool SameBytes(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    PdbParseError error;
    std::optional<CPalmDatabase> first = CPalmDatabase::Parse(bytes, &error);
    if (!first) {
        FUZZ_CHECK(!error.reason.empty());
        return 0;
    }
    // Nothing shorter than the header and the record list can have been accepted.
    FUZZ_CHECK(size >= PDB_HEADER_SIZE);
    const int count = first->GetRecordCount();
    FUZZ_CHECK(count >= 0 && static_cast<std::size_t>(count) <= PDB_MAX_RECORDS);
    FUZZ_CHECK(first->Records().size() == static_cast<std::size_t>(count));
    FUZZ_CHECK(first->GetName().size() <= 32);
    // Every record's bytes come from the image, so together they cannot be longer than it.
    std::size_t total = 0;
    for (const CPdbRecord& record : first->Records()) {
        total += record.Length();
        FUZZ_CHECK(record.Data().size() == record.Length());
    }
    FUZZ_CHECK(total <= size);
    if (count > 0) {
        FUZZ_CHECK(first->Records().back().Length() <= READ_SCRATCH_SIZE);
        // GetRecord hands out a deep copy equal to the stored record.
        const CPdbRecord copy = first->GetRecord(count - 1);
        FUZZ_CHECK(SameBytes(copy.Data(), first->Records().back().Data()));
    }

    const std::optional<std::vector<std::uint8_t>> image = first->Serialize();
    FUZZ_CHECK(image.has_value());
    FUZZ_CHECK(first->m_dataOffset == image->size());
    std::optional<CPalmDatabase> second = CPalmDatabase::Parse(*image);
    FUZZ_CHECK(second.has_value());

    FUZZ_CHECK(second->GetRecordCount() == count);
    FUZZ_CHECK(second->m_isResourceDb == first->m_isResourceDb);
    FUZZ_CHECK(second->m_type == first->m_type);
    FUZZ_CHECK(second->m_creator == first->m_creator);
    FUZZ_CHECK(second->m_attributes == first->m_attributes);
    FUZZ_CHECK(second->m_version == first->m_version);
    FUZZ_CHECK(second->m_modificationNumber == first->m_modificationNumber);
    FUZZ_CHECK(second->m_uniqueIdSeed == first->m_uniqueIdSeed);
    // The writer keeps at most 31 bytes of the name, so that the name field keeps a terminating zero.
    FUZZ_CHECK(second->GetName() == first->GetName().substr(0, PDB_MAX_NAME_LENGTH));
    for (int i = 0; i < count; ++i) {
        const CPdbRecord& a = first->Records()[static_cast<std::size_t>(i)];
        const CPdbRecord& b = second->Records()[static_cast<std::size_t>(i)];
        if (first->m_isResourceDb) {
            FUZZ_CHECK(a.m_resourceType == b.m_resourceType);
            FUZZ_CHECK(a.m_resourceId == b.m_resourceId);
        } else {
            FUZZ_CHECK(a.m_attributes == b.m_attributes);
            FUZZ_CHECK((a.m_uniqueId & 0xFFFFFFu) == b.m_uniqueId);
        }
        FUZZ_CHECK(SameBytes(a.Data(), b.Data()));
    }

    const std::optional<std::vector<std::uint8_t>> again = second->Serialize();
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(*again == *image);
    return 0;
}
