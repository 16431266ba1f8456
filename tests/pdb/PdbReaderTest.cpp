#include "pdb/PalmDatabase.h"
#include "tests/pdb/PdbTestSupport.h"

#include <gtest/gtest.h>

namespace {

using pdbtest::Bytes;
using pdbtest::CImageBuilder;

constexpr std::uint16_t RECORD_DB = 0x0008;
constexpr std::uint16_t RESOURCE_DB = 0x0009;

Bytes DataOf(const CPdbRecord& record)
{
    return Bytes(record.Data().begin(), record.Data().end());
}

std::vector<Bytes> RecordData(const CPalmDatabase& db)
{
    std::vector<Bytes> data;
    for (const CPdbRecord& record : db.Records()) {
        data.push_back(DataOf(record));
    }
    return data;
}

CPalmDatabase ParseOrFail(const Bytes& image)
{
    PdbParseError error;
    auto db = CPalmDatabase::Parse(image, &error);
    EXPECT_TRUE(db.has_value()) << "refused at " << error.offset << ": " << error.reason;
    return db ? std::move(*db) : CPalmDatabase{};
}

// The two-record file the writer makes for records "Hello" and "abc".
Bytes TwoRecordImage()
{
    return CImageBuilder()
        .Header("TuneloreDB1", RECORD_DB, 2)
        .RecordEntry(96)
        .RecordEntry(101)
        .U16(0)
        .Text("Helloabc")
        .Get();
}

// Three records, the middle one empty, behind a six-byte app info block.
Bytes AppInfoImage()
{
    return CImageBuilder()
        .Header("WithAppInfo", RECORD_DB, 3, 104)
        .RecordEntry(110, 0x40, 0x000001)
        .RecordEntry(114, 0x00, 0x000002)
        .RecordEntry(114, 0x10, 0xFFFFFF)
        .U16(0)
        .Text("APPINF")
        .Text("abcd")
        .Text("xyz")
        .Get();
}

TEST(PdbReader, ReadsTheHeaderFields)
{
    const CPalmDatabase db = ParseOrFail(TwoRecordImage());
    EXPECT_EQ(db.GetName(), "TuneloreDB1");
    EXPECT_EQ(db.m_attributes, RECORD_DB);
    EXPECT_FALSE(db.m_isResourceDb);
    EXPECT_EQ(db.m_version, 1);
    EXPECT_EQ(db.m_creationDate, 1136073600u);
    EXPECT_EQ(db.m_modificationDate, 1136073601u);
    EXPECT_EQ(db.m_backupDate, 1136073602u);
    EXPECT_EQ(db.m_modificationNumber, 7u);
    EXPECT_EQ(db.m_type, MakeFourCC("SONG"));
    EXPECT_EQ(db.m_creator, MakeFourCC("TuNe"));
    EXPECT_EQ(db.m_uniqueIdSeed, 0x00ABCDEFu);
    EXPECT_EQ(RecordData(db), (std::vector<Bytes>{pdbtest::ToBytes("Hello"), pdbtest::ToBytes("abc")}));
}

TEST(PdbReader, SkipsAnAppInfoBlockAndKeepsListEntryFields)
{
    const CPalmDatabase db = ParseOrFail(AppInfoImage());
    EXPECT_EQ(RecordData(db), (std::vector<Bytes>{pdbtest::ToBytes("abcd"), Bytes{}, pdbtest::ToBytes("xyz")}));
    ASSERT_EQ(db.GetRecordCount(), 3);
    EXPECT_EQ(db.GetRecord(0).m_attributes, 0x40);
    EXPECT_EQ(db.GetRecord(0).m_uniqueId, 1u);
    EXPECT_EQ(db.GetRecord(2).m_attributes, 0x10);
    EXPECT_EQ(db.GetRecord(2).m_uniqueId, 0xFFFFFFu);
    EXPECT_EQ(db.GetRecord(1).m_resourceType, 0u);
}

TEST(PdbReader, ReadsAResourceDatabase)
{
    const Bytes image = CImageBuilder()
                            .Header("res", RESOURCE_DB, 2)
                            .ResourceEntry("tSTR", 1000, 100)
                            .ResourceEntry("MBAR", 2, 102)
                            .U16(0)
                            .Text("abxyz")
                            .Get();
    const CPalmDatabase db = ParseOrFail(image);
    EXPECT_TRUE(db.m_isResourceDb);
    ASSERT_EQ(db.GetRecordCount(), 2);
    EXPECT_EQ(db.GetRecord(0).m_resourceType, MakeFourCC("tSTR"));
    EXPECT_EQ(db.GetRecord(0).m_resourceId, 1000);
    EXPECT_EQ(db.GetRecord(1).m_resourceType, MakeFourCC("MBAR"));
    EXPECT_EQ(db.GetRecord(1).m_uniqueId, 0u);
    EXPECT_EQ(RecordData(db), (std::vector<Bytes>{pdbtest::ToBytes("ab"), pdbtest::ToBytes("xyz")}));
}

TEST(PdbReader, RecordSizesComeFromConsecutiveOffsets)
{
    const struct
    {
        const char* what;
        Bytes image;
        std::vector<Bytes> records;
    } cases[] = {
        {"empty record in the middle",
         CImageBuilder()
             .Header("m", RECORD_DB, 3)
             .RecordEntry(104)
             .RecordEntry(106)
             .RecordEntry(106)
             .U16(0)
             .Text("abcd")
             .Get(),
         {pdbtest::ToBytes("ab"), {}, pdbtest::ToBytes("cd")}},
        {"empty record at the end",
         CImageBuilder().Header("e", RECORD_DB, 2).RecordEntry(96).RecordEntry(99).U16(0).Text("abc").Get(),
         {pdbtest::ToBytes("abc"), {}}},
        {"trailing bytes join the last record",
         CImageBuilder().Header("t", RECORD_DB, 2).RecordEntry(96).RecordEntry(97).U16(0).Text("ab").Text("TAIL").Get(),
         {pdbtest::ToBytes("a"), pdbtest::ToBytes("bTAIL")}},
        {"no padding between list and data",
         CImageBuilder().Header("p", RECORD_DB, 1).RecordEntry(86).Text("xy").Get(),
         {pdbtest::ToBytes("xy")}},
        {"all records empty",
         CImageBuilder().Header("a", RECORD_DB, 2).RecordEntry(96).RecordEntry(96).U16(0).Get(),
         {{}, {}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RecordData(ParseOrFail(c.image)), c.records);
    }
}

TEST(PdbReader, NameFieldWithoutZeroGivesAll32Bytes)
{
    const std::string name(32, 'N');
    Bytes image = CImageBuilder().Header(name, RECORD_DB, 0).U16(0).Get();
    EXPECT_EQ(ParseOrFail(image).GetName(), name);

    // Bytes after the first zero are not part of the name.
    image[5] = 0;
    EXPECT_EQ(ParseOrFail(image).GetName(), "NNNNN");
}

TEST(PdbReader, EmptyDatabaseIgnoresWhatFollowsTheHeader)
{
    Bytes image = CImageBuilder().Header("none", RECORD_DB, 0).Get();
    EXPECT_EQ(ParseOrFail(image).GetRecordCount(), 0) << "a 78-byte file without the padding is complete";
    image.insert(image.end(), 5000, 0xEE);
    EXPECT_EQ(ParseOrFail(image).GetRecordCount(), 0);
}

TEST(PdbReader, LastRecordIsCutAt100000Bytes)
{
    for (const std::size_t length : {READ_SCRATCH_SIZE - 1, READ_SCRATCH_SIZE, READ_SCRATCH_SIZE + 1, 250000ul}) {
        SCOPED_TRACE(length);
        CImageBuilder builder;
        builder.Header("big", RECORD_DB, 2).RecordEntry(96).RecordEntry(98).U16(0).Text("ok");
        for (std::size_t i = 0; i < length; ++i) {
            builder.U8(static_cast<std::uint32_t>(i * 7));
        }
        const CPalmDatabase db = ParseOrFail(builder.Get());
        ASSERT_EQ(db.GetRecordCount(), 2);
        const std::size_t kept = std::min(length, READ_SCRATCH_SIZE);
        const Bytes last = DataOf(db.GetRecord(1));
        ASSERT_EQ(last.size(), kept);
        EXPECT_TRUE(std::equal(last.begin(), last.end(), builder.Get().begin() + 98));
    }
}

TEST(PdbReader, GapBeforeTheFirstRecordMayBe100000Bytes)
{
    // The list ends at 86; the first record may stand anywhere up to 86 + 100000.
    CImageBuilder builder;
    builder.Header("gap", RECORD_DB, 1).RecordEntry(86 + READ_SCRATCH_SIZE).Fill(READ_SCRATCH_SIZE).Text("r");
    EXPECT_EQ(RecordData(ParseOrFail(builder.Get())), std::vector<Bytes>{pdbtest::ToBytes("r")});
}

// What the writer writes, the reader reads back field for field.
TEST(PdbReader, ReadsBackWhatTheWriterWrote)
{
    for (const bool resource : {false, true}) {
        SCOPED_TRACE(resource ? "resource" : "record");
        CPalmDatabase written("RoundTrip", MakeFourCC("TuNe"), MakeFourCC("SONM"), resource, 1136073600);
        written.m_version = 3;
        written.m_modificationNumber = 99;
        written.m_uniqueIdSeed = 0x123456;
        const std::vector<std::string> texts = {"first song\n", "", std::string(300, 'x'), std::string("a\0b", 3)};
        for (std::size_t i = 0; i < texts.size(); ++i) {
            CPdbRecord record;
            record.SetData(pdbtest::ToBytes(texts[i]));
            record.m_attributes = static_cast<std::uint8_t>(0x10 * i);
            record.m_uniqueId = 0x7F000000u + static_cast<std::uint32_t>(i);
            record.m_resourceType = MakeFourCC("tSTR");
            record.m_resourceId = static_cast<std::uint16_t>(i + 1);
            written.AddRecord(record);
        }
        const auto image = written.Serialize();
        ASSERT_TRUE(image.has_value());
        const CPalmDatabase read = ParseOrFail(*image);

        EXPECT_EQ(read.GetName(), written.GetName());
        EXPECT_EQ(read.m_attributes, written.m_attributes);
        EXPECT_EQ(read.m_isResourceDb, resource);
        EXPECT_EQ(read.m_version, 3);
        EXPECT_EQ(read.m_creationDate, 1136073600u);
        EXPECT_EQ(read.m_modificationNumber, 99u);
        EXPECT_EQ(read.m_type, written.m_type);
        EXPECT_EQ(read.m_creator, written.m_creator);
        EXPECT_EQ(read.m_uniqueIdSeed, 0x123456u);
        ASSERT_EQ(read.GetRecordCount(), static_cast<int>(texts.size()));
        for (std::size_t i = 0; i < texts.size(); ++i) {
            SCOPED_TRACE(i);
            const CPdbRecord record = read.GetRecord(static_cast<int>(i));
            EXPECT_EQ(DataOf(record), pdbtest::ToBytes(texts[i]));
            if (resource) {
                EXPECT_EQ(record.m_resourceType, MakeFourCC("tSTR"));
                EXPECT_EQ(record.m_resourceId, i + 1);
                EXPECT_EQ(record.m_uniqueId, 0u);
            } else {
                EXPECT_EQ(record.m_attributes, 0x10 * i);
                EXPECT_EQ(record.m_uniqueId, i) << "only the low 24 bits are stored";
                EXPECT_EQ(record.m_resourceId, 0);
            }
        }
    }
}

// Files the reader must refuse, each named for its flaw.
struct MalformedImage
{
    std::string name;
    Bytes image;
};

// ctest lists each case by its name, not as a byte dump.
[[maybe_unused]] void PrintTo(const MalformedImage& image, std::ostream* out)
{
    *out << image.name;
}

std::vector<MalformedImage> MalformedImages()
{
    const Bytes valid = TwoRecordImage();
    Bytes headerWithoutCreator(valid.begin(), valid.begin() + 66);
    Bytes headerCut(valid.begin(), valid.begin() + 77);

    CImageBuilder gapTooLong;
    gapTooLong.Header("g", RECORD_DB, 1).RecordEntry(86 + READ_SCRATCH_SIZE + 1).Fill(READ_SCRATCH_SIZE + 1).Text("r");

    return {
        {"Empty", {}},
        {"HeaderWithoutCreator", headerWithoutCreator},
        {"HeaderOneByteShort", headerCut},
        {"RecordListCut", CImageBuilder().Header("l", RECORD_DB, 2).RecordEntry(96).U16(0).Get()},
        {"RecordCountBeyondFile", CImageBuilder().Header("c", RECORD_DB, 0xFFFF).RecordEntry(96).Text("abcdef").Get()},
        {"ResourceListCut", CImageBuilder().Header("r", RESOURCE_DB, 2).RecordEntry(96).RecordEntry(96).U16(0).Get()},
        {"FirstOffsetInsideHeader", CImageBuilder().Header("h", RECORD_DB, 1).RecordEntry(10).U16(0).Text("abc").Get()},
        {"FirstOffsetInsideRecordList",
         CImageBuilder().Header("i", RECORD_DB, 2).RecordEntry(93).RecordEntry(96).U16(0).Text("abc").Get()},
        {"GapLongerThan100000", gapTooLong.Get()},
        {"OffsetsDescend",
         CImageBuilder()
             .Header("d", RECORD_DB, 3)
             .RecordEntry(104)
             .RecordEntry(106)
             .RecordEntry(105)
             .U16(0)
             .Text("abcdef")
             .Get()},
        {"LastOffsetPastEnd",
         CImageBuilder().Header("p", RECORD_DB, 2).RecordEntry(96).RecordEntry(105).U16(0).Text("abcdefgh").Get()},
        {"MiddleOffsetPastEnd",
         CImageBuilder()
             .Header("m", RECORD_DB, 3)
             .RecordEntry(104)
             .RecordEntry(5000)
             .RecordEntry(105)
             .U16(0)
             .Text("abc")
             .Get()},
        {"OffsetAtTopOf32Bits",
         CImageBuilder().Header("t", RECORD_DB, 2).RecordEntry(96).RecordEntry(0xFFFFFFFF).U16(0).Text("ab").Get()},
        {"ResourceOffsetPastEnd",
         CImageBuilder().Header("o", RESOURCE_DB, 1).ResourceEntry("tSTR", 1, 200).U16(0).Text("ab").Get()},
    };
}

class PdbReaderRefuses : public pdbtest::ScratchFolderTest, public ::testing::WithParamInterface<MalformedImage>
{
};

TEST_P(PdbReaderRefuses, ParseAndReadFromFile)
{
    const Bytes& image = GetParam().image;
    PdbParseError error;
    EXPECT_FALSE(CPalmDatabase::Parse(image, &error).has_value());
    EXPECT_FALSE(error.reason.empty());
    EXPECT_LE(error.offset, image.size());

    const std::string path = PathOf("bad.pdb");
    pdbtest::WriteFileBytes(path, image);
    CPalmDatabase db;
    EXPECT_EQ(db.ReadFromFile(path), -1);
    EXPECT_EQ(db.GetRecordCount(), 0);
    EXPECT_EQ(db.GetName(), "");
    EXPECT_EQ(db.m_creator, 0u);
    EXPECT_EQ(db.m_type, 0u);
}

INSTANTIATE_TEST_SUITE_P(Malformed,
                         PdbReaderRefuses,
                         ::testing::ValuesIn(MalformedImages()),
                         [](const ::testing::TestParamInfo<MalformedImage>& param) { return param.param.name; });

// Like a parser of untrusted files should: every prefix of a valid file is either refused or read without
// touching a byte past its end. Each prefix lives in its own exact-size buffer so that the sanitizer build
// sees any read beyond it.
TEST(PdbReader, EveryTruncatedPrefixIsRefusedOrReadInBounds)
{
    const Bytes full = AppInfoImage();
    constexpr std::size_t LAST_OFFSET = 114;
    for (std::size_t length = 0; length <= full.size(); ++length) {
        SCOPED_TRACE(length);
        const Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
        const auto db = CPalmDatabase::Parse(prefix);
        ASSERT_EQ(db.has_value(), length >= LAST_OFFSET) << "a prefix is usable only when every offset lies in it";
        if (db) {
            const Bytes expectedLast(prefix.begin() + LAST_OFFSET, prefix.end());
            EXPECT_EQ(RecordData(*db), (std::vector<Bytes>{pdbtest::ToBytes("abcd"), Bytes{}, expectedLast}));
        }
    }
}

std::uint32_t FirstDataOffset(const Bytes& image, bool resource)
{
    const std::size_t at = 78 + (resource ? 6 : 0);
    return (std::uint32_t{image[at]} << 24) | (std::uint32_t{image[at + 1]} << 16) |
           (std::uint32_t{image[at + 2]} << 8) | std::uint32_t{image[at + 3]};
}

// Any single damaged byte: the reader refuses the file or gives records that are exactly the bytes lying back
// to back from the first data offset.
TEST(PdbReader, DamagedBytesNeverLeadOutsideTheFile)
{
    for (const Bytes& original : {TwoRecordImage(), AppInfoImage()}) {
        for (std::size_t position = 0; position < original.size(); ++position) {
            for (const std::uint8_t value : std::initializer_list<std::uint8_t>{0x00, 0x01, 0x7F, 0x80, 0xFF}) {
                Bytes damaged = original;
                damaged[position] = value;
                const auto db = CPalmDatabase::Parse(damaged);
                if (!db || db->GetRecordCount() == 0) {
                    continue;
                }
                SCOPED_TRACE(testing::Message() << "byte " << position << " = " << int{value});
                Bytes joined;
                for (const CPdbRecord& record : db->Records()) {
                    joined.insert(joined.end(), record.Data().begin(), record.Data().end());
                }
                const std::size_t first = FirstDataOffset(damaged, db->m_isResourceDb);
                ASSERT_LE(first + joined.size(), damaged.size());
                EXPECT_TRUE(
                    std::equal(joined.begin(), joined.end(), damaged.begin() + static_cast<std::ptrdiff_t>(first)));
            }
        }
    }
}

class PdbReadFromFile : public pdbtest::ScratchFolderTest
{
};

TEST_F(PdbReadFromFile, GivesTheSameResultAsParsingTheWholeFile)
{
    std::vector<Bytes> images = {TwoRecordImage(), AppInfoImage()};
    for (const MalformedImage& bad : MalformedImages()) {
        images.push_back(bad.image);
    }
    CImageBuilder longTail;
    longTail.Header("tail", RECORD_DB, 1).RecordEntry(88).U16(0);
    for (std::size_t i = 0; i < 3 * READ_SCRATCH_SIZE; ++i) {
        longTail.U8(static_cast<std::uint32_t>(i % 251));
    }
    images.push_back(longTail.Get());
    CImageBuilder emptyWithTail;
    emptyWithTail.Header("none", RECORD_DB, 0).Fill(2 * READ_SCRATCH_SIZE, 0x55);
    images.push_back(emptyWithTail.Get());

    const std::string path = PathOf("image.pdb");
    for (std::size_t i = 0; i < images.size(); ++i) {
        SCOPED_TRACE(i);
        pdbtest::WriteFileBytes(path, images[i]);
        const auto parsed = CPalmDatabase::Parse(images[i]);
        CPalmDatabase read;
        ASSERT_EQ(read.ReadFromFile(path), parsed ? 0 : -1);
        if (parsed) {
            EXPECT_EQ(read.GetName(), parsed->GetName());
            EXPECT_EQ(read.m_creator, parsed->m_creator);
            EXPECT_EQ(RecordData(read), RecordData(*parsed));
        }
    }
}

TEST_F(PdbReadFromFile, RefusesWhatIsNotAReadableFile)
{
    CPalmDatabase missing;
    EXPECT_EQ(missing.ReadFromFile(PathOf("missing.pdb")), -1);
    EXPECT_EQ(missing.GetRecordCount(), 0);

    CPalmDatabase folder;
    EXPECT_EQ(folder.ReadFromFile(m_folder.string()), -1);
    EXPECT_EQ(folder.GetName(), "");
}

TEST_F(PdbReadFromFile, ReadsWhatWriteToFileWrote)
{
    CPalmDatabase written("TuneloreDB5", MakeFourCC("TuNe"), MakeFourCC("SONM"), false, 0);
    CPdbRecord record;
    record.SetData(pdbtest::ToBytes(std::string_view("song\n\0", 6)));
    written.AddRecord(record);
    const std::string path = PathOf("TuneloreDB5.pdb");
    ASSERT_EQ(written.WriteToFile(path), 0);
    EXPECT_EQ(std::filesystem::file_size(path), written.m_dataOffset);

    CPalmDatabase read;
    ASSERT_EQ(read.ReadFromFile(path), 0);
    EXPECT_EQ(read.GetName(), "TuneloreDB5");
    EXPECT_EQ(read.m_type, MakeFourCC("SONM"));
    EXPECT_EQ(RecordData(read), RecordData(written));
}

} // namespace
