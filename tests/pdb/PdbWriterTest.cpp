#include "pdb/PalmDatabase.h"
#include "tests/pdb/PdbTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

using pdbtest::Bytes;
using pdbtest::CImageBuilder;

constexpr std::uint32_t NEW_YEAR_2006 = 1136073600; // 2006-01-01 00:00 UTC
constexpr std::uint32_t SONM = MakeFourCC("SONM");
constexpr std::uint32_t TUNE = MakeFourCC("TuNe");

CPdbRecord MakeRecord(std::string_view bytes)
{
    CPdbRecord record;
    record.SetData(pdbtest::ToBytes(bytes));
    return record;
}

Bytes SerializeOrFail(CPalmDatabase& db)
{
    const auto image = db.Serialize();
    EXPECT_TRUE(image.has_value());
    return image.value_or(Bytes{});
}

Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t count)
{
    if (offset + count > bytes.size()) {
        ADD_FAILURE() << "slice " << offset << "+" << count << " beyond " << bytes.size();
        return {};
    }
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                 bytes.begin() + static_cast<std::ptrdiff_t>(offset + count));
}

TEST(PdbWriter, EmptyRecordDatabaseIsTheHeaderAndTwoZeroBytes)
{
    CPalmDatabase db("TuneloreDB123", TUNE, SONM, false, NEW_YEAR_2006);
    const Bytes expected = CImageBuilder()
                               .Text("TuneloreDB123")
                               .Fill(19)
                               .U16(0x0008) // attributes: backup
                               .U16(0)      // version
                               .U32(0xBFDCCC00)
                               .U32(0xBFDCCC00)
                               .U32(0xBFDCCC00) // dates
                               .U32(0)          // modification number
                               .U32(0)
                               .U32(0) // app info, sort info
                               .Text("SONM")
                               .Text("TuNe")
                               .U32(0) // unique ID seed
                               .U32(0) // next record list
                               .U16(0) // records
                               .U16(0) // padding
                               .Get();
    ASSERT_EQ(expected.size(), 80u);
    EXPECT_EQ(SerializeOrFail(db), expected);
    EXPECT_EQ(db.m_dataOffset, 80u);
}

TEST(PdbWriter, DatesAreWrittenAsSecondsSince1904)
{
    CPalmDatabase db("d", TUNE, SONM, false, NEW_YEAR_2006);
    db.m_modificationDate = 0;     // 1970-01-01
    db.m_backupDate = 0xFFFFFFFFu; // wraps past 2^32
    const Bytes image = SerializeOrFail(db);
    EXPECT_EQ(Slice(image, 36, 4), (Bytes{0xBF, 0xDC, 0xCC, 0x00}));
    EXPECT_EQ(Slice(image, 40, 4), (Bytes{0x7C, 0x25, 0xB0, 0x80}));
    EXPECT_EQ(Slice(image, 44, 4), (Bytes{0x7C, 0x25, 0xB0, 0x7F}));
}

TEST(PdbWriter, HeaderNumbersAreBigEndian)
{
    CPalmDatabase db("n", 0x01020304, 0x05060708, false, 0);
    db.m_attributes = 0x1234;
    db.m_version = 0x5678;
    db.m_modificationNumber = 0x9ABCDEF0;
    db.m_uniqueIdSeed = 0x0F1E2D3C;
    const Bytes image = SerializeOrFail(db);
    EXPECT_EQ(Slice(image, 32, 4), (Bytes{0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(Slice(image, 48, 4), (Bytes{0x9A, 0xBC, 0xDE, 0xF0}));
    EXPECT_EQ(Slice(image, 60, 8), (Bytes{5, 6, 7, 8, 1, 2, 3, 4}));
    EXPECT_EQ(Slice(image, 68, 4), (Bytes{0x0F, 0x1E, 0x2D, 0x3C}));
}

TEST(PdbWriter, TwoRecordsStandBackToBackAfterTheList)
{
    CPalmDatabase db("TuneloreDB1", TUNE, SONM, false, NEW_YEAR_2006);
    db.AddRecord(MakeRecord("Hello"));
    db.AddRecord(MakeRecord("abc"));
    const Bytes image = SerializeOrFail(db);
    ASSERT_EQ(image.size(), 104u);
    EXPECT_EQ(Slice(image, 76, 2), (Bytes{0x00, 0x02}));
    EXPECT_EQ(Slice(image, 78, 8), (Bytes{0x00, 0x00, 0x00, 0x60, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Slice(image, 86, 8), (Bytes{0x00, 0x00, 0x00, 0x65, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Slice(image, 94, 2), (Bytes{0x00, 0x00}));
    EXPECT_EQ(Slice(image, 96, 8), pdbtest::ToBytes("Helloabc"));
    EXPECT_EQ(db.m_dataOffset, 104u);
}

TEST(PdbWriter, ResourceDatabaseHasTenByteEntries)
{
    CPalmDatabase db("res", TUNE, MakeFourCC("rsrc"), true, NEW_YEAR_2006);
    CPdbRecord first = MakeRecord("ab");
    first.m_resourceType = MakeFourCC("tSTR");
    first.m_resourceId = 0x03E8;
    first.m_uniqueId = 0x123456; // not part of a resource entry
    CPdbRecord second = MakeRecord("xyz");
    second.m_resourceType = MakeFourCC("MBAR");
    second.m_resourceId = 2;
    db.AddRecord(first);
    db.AddRecord(second);

    const Bytes image = SerializeOrFail(db);
    const Bytes expectedTail =
        CImageBuilder().ResourceEntry("tSTR", 0x03E8, 100).ResourceEntry("MBAR", 2, 102).U16(0).Text("abxyz").Get();
    ASSERT_EQ(image.size(), 78 + expectedTail.size());
    EXPECT_EQ(Slice(image, 32, 2), (Bytes{0x00, 0x09}));
    EXPECT_EQ(Slice(image, 78, expectedTail.size()), expectedTail);
    EXPECT_EQ(db.m_dataOffset, image.size());
}

TEST(PdbWriter, RecordEntryKeepsAttributesAndLow24BitsOfTheUniqueId)
{
    CPalmDatabase db("u", TUNE, SONM, false, 0);
    CPdbRecord record = MakeRecord("x");
    record.m_attributes = 0x40;
    record.m_uniqueId = 0xABCDEF12;
    db.AddRecord(record);
    const Bytes image = SerializeOrFail(db);
    EXPECT_EQ(Slice(image, 78, 8), (Bytes{0x00, 0x00, 0x00, 0x58, 0x40, 0xCD, 0xEF, 0x12}));
}

TEST(PdbWriter, ZeroLengthRecordSharesTheNextRecordsOffset)
{
    CPalmDatabase db("z", TUNE, SONM, false, 0);
    db.AddRecord(MakeRecord("12"));
    db.AddRecord(CPdbRecord{});
    db.AddRecord(MakeRecord("345"));
    db.AddRecord(CPdbRecord{});
    const Bytes image = SerializeOrFail(db);
    // The list ends at 78 + 4 * 8 = 110; data starts at 112.
    EXPECT_EQ(Slice(image, 78 + 0 * 8, 4), (Bytes{0, 0, 0, 112}));
    EXPECT_EQ(Slice(image, 78 + 1 * 8, 4), (Bytes{0, 0, 0, 114}));
    EXPECT_EQ(Slice(image, 78 + 2 * 8, 4), (Bytes{0, 0, 0, 114}));
    EXPECT_EQ(Slice(image, 78 + 3 * 8, 4), (Bytes{0, 0, 0, 117}));
    EXPECT_EQ(image.size(), 117u);
}

TEST(PdbWriter, NameFieldKeepsATerminatingZero)
{
    const struct
    {
        std::string name;
        std::string written; // bytes before the zero padding
    } cases[] = {
        {"", ""},
        {"TuneloreChordDB99999", "TuneloreChordDB99999"},
        {std::string(31, 'a'), std::string(31, 'a')},
        {std::string(32, 'b'), std::string(31, 'b')},
        {"0123456789012345678901234567890123456789", "0123456789012345678901234567890"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CPalmDatabase db(c.name, TUNE, SONM, false, 0);
        const Bytes image = SerializeOrFail(db);
        Bytes expected = pdbtest::ToBytes(c.written);
        expected.resize(32, 0);
        EXPECT_EQ(Slice(image, 0, 32), expected);
        EXPECT_EQ(Slice(image, 32, 2), (Bytes{0x00, 0x08})) << "the name must not spill into the attributes";
    }
}

TEST(PdbWriter, MoreThan65535RecordsAreRefused)
{
    CPalmDatabase db("many", TUNE, SONM, false, 0);
    for (std::size_t i = 0; i < PDB_MAX_RECORDS; ++i) {
        db.AddRecord(CPdbRecord{});
    }
    const auto full = db.Serialize();
    ASSERT_TRUE(full.has_value());
    EXPECT_EQ(Slice(*full, 76, 2), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(full->size(), 80u + 8u * PDB_MAX_RECORDS);

    db.AddRecord(CPdbRecord{});
    EXPECT_FALSE(db.Serialize().has_value());
}

TEST(PdbDatabase, BuildingConstructorSetsTheCreationDefaults)
{
    for (const bool resource : {false, true}) {
        SCOPED_TRACE(resource ? "resource" : "record");
        const CPalmDatabase db("TuneloreDB42", TUNE, SONM, resource, NEW_YEAR_2006);
        EXPECT_EQ(db.GetName(), "TuneloreDB42");
        EXPECT_EQ(db.m_creator, TUNE);
        EXPECT_EQ(db.m_type, SONM);
        EXPECT_EQ(db.m_isResourceDb, resource);
        EXPECT_EQ(db.m_attributes, resource ? 0x0009 : 0x0008);
        EXPECT_EQ(db.m_version, 0);
        EXPECT_EQ(db.m_modificationNumber, 0u);
        EXPECT_EQ(db.m_uniqueIdSeed, 0u);
        EXPECT_EQ(db.m_creationDate, NEW_YEAR_2006);
        EXPECT_EQ(db.m_modificationDate, NEW_YEAR_2006);
        EXPECT_EQ(db.m_backupDate, NEW_YEAR_2006);
        EXPECT_EQ(db.m_dataOffset, 80u);
        EXPECT_EQ(db.GetRecordCount(), 0);
    }
}

TEST(PdbDatabase, BuildingConstructorReadsTheClockWhenNoTimeIsGiven)
{
    const auto before = static_cast<std::uint32_t>(std::time(nullptr));
    const CPalmDatabase db("c", TUNE, SONM, false);
    const auto after = static_cast<std::uint32_t>(std::time(nullptr));
    EXPECT_GE(db.m_creationDate, before);
    EXPECT_LE(db.m_creationDate, after);
    EXPECT_GE(db.m_backupDate, before);
    EXPECT_LE(db.m_modificationDate, after);
}

TEST(PdbDatabase, FourCharacterCodesKeepTheirReadingOrder)
{
    EXPECT_EQ(MakeFourCC("TuNe"), 0x54754E65u);
    EXPECT_EQ(FourCCToString(MakeFourCC("TuNe")), "TuNe");
    EXPECT_EQ(FourCCToString(MakeFourCC("CHRM")), "CHRM");
    EXPECT_EQ(FourCCToString(0x41004243u), std::string("A\0BC", 4));
    EXPECT_EQ(FourCCToString(0xFF000000u), std::string("\xFF\0\0\0", 4));
}

TEST(PdbDatabase, MakeDatabaseNameAppendsTheGeneratorsNextNumberBelow100000)
{
    for (const unsigned seed : {1u, 777u, 12345u}) {
        std::srand(seed);
        const int expected = std::rand() % 100000;
        std::srand(seed);
        const std::string name = MakeDatabaseName("TuneloreChordDB");
        EXPECT_EQ(name, "TuneloreChordDB" + std::to_string(expected)) << "plain decimal, no padding";
        EXPECT_LE(name.size(), PDB_MAX_NAME_LENGTH);
    }
}

} // namespace
