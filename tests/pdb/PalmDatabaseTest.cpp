#include "pdb/PalmDatabase.h"

#include "pdb/AtomicFile.h"

#if defined(__unix__)
#include <csignal>
#include <sys/resource.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t NEW_YEAR_2006 = 1136073600; // 2006-01-01 00:00 UTC, 0xBFDCCC00 in the file
constexpr std::uint32_t SONM = MakeFourCC("SONM");
constexpr std::uint32_t TUNE = MakeFourCC("TuNe");
constexpr std::size_t SCRATCH = READ_SCRATCH_SIZE;

// Appends big-endian fields, so that a test spells out a file the way its layout is drawn.
class CImageBuilder
{
public:
    CImageBuilder& U8(std::uint32_t value) { return Text(std::string(1, static_cast<char>(value))); }
    CImageBuilder& U16(std::uint32_t value) { return U8(value >> 8).U8(value); }
    CImageBuilder& U24(std::uint32_t value) { return U8(value >> 16).U16(value); }
    CImageBuilder& U32(std::uint32_t value) { return U16(value >> 16).U16(value); }
    // The text, then zero bytes up to `padTo` bytes in all.
    CImageBuilder& Text(std::string_view text, std::size_t padTo = 0)
    {
        m_bytes.insert(m_bytes.end(), text.begin(), text.end());
        m_bytes.resize(m_bytes.size() + padTo - std::min(padTo, text.size()), 0);
        return *this;
    }

    Bytes m_bytes;
};

// A 78-byte header: dates 2006-01-01 00:00:00, :01 and :02, version 1, modification number 7, seed 0xABCDEF.
CImageBuilder Header(std::string_view name, std::size_t count, unsigned attributes = 8, unsigned appInfo = 0)
{
    CImageBuilder b;
    b.Text(name, 32).U16(attributes).U16(1).U32(0xBFDCCC00).U32(0xBFDCCC01).U32(0xBFDCCC02).U32(7).U32(appInfo);
    b.U32(0).Text("SONG").Text("TuNe").U32(0x00ABCDEF).U32(0).U16(static_cast<std::uint32_t>(count));
    return b;
}

// One list entry per offset (record entries, or "tSTR" resource entries), two padding bytes, then `data`.
// The header claims `count` records, or one per offset.
Bytes Db(const std::vector<unsigned>& offsets, std::string_view data, std::size_t count = 0, unsigned attributes = 8)
{
    CImageBuilder b = Header("db", count != 0 ? count : offsets.size(), attributes);
    for (const unsigned offset : offsets) {
        (attributes & PDB_ATTR_RESOURCE) != 0 ? b.Text("tSTR").U16(1).U32(offset) : b.U32(offset).U32(0);
    }
    return b.U16(0).Text(data).m_bytes;
}

// Three records, the middle one empty, behind a six-byte app info block.
Bytes AppInfoImage()
{
    CImageBuilder b = Header("WithAppInfo", 3, 8, 104);
    b.U32(110).U8(0x40).U24(1).U32(114).U32(2).U32(114).U8(0x10).U24(0xFFFFFF);
    return b.U16(0).Text("APPINF").Text("abcd").Text("xyz").m_bytes;
}

// Bytes that do not repeat with a power-of-two period, so that a misplaced chunk shows.
std::string Pattern(std::size_t length)
{
    std::string text(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        text[i] = static_cast<char>(i * 7 + i / 251);
    }
    return text;
}

CPdbRecord MakeRecord(std::string_view data, unsigned attr = 0, unsigned uid = 0, unsigned type = 0, unsigned id = 0)
{
    CPdbRecord record;
    record.SetData(Bytes(data.begin(), data.end()));
    record.m_attributes = static_cast<std::uint8_t>(attr);
    record.m_uniqueId = uid;
    record.m_resourceType = type;
    record.m_resourceId = static_cast<std::uint16_t>(id);
    return record;
}

// The serialized image from `offset` on (empty when there is none).
Bytes ImageFrom(CPalmDatabase& db, std::size_t offset)
{
    const Bytes image = db.Serialize().value_or(Bytes{});
    return Bytes(image.begin() + static_cast<std::ptrdiff_t>(std::min(offset, image.size())), image.end());
}

std::vector<std::string> RecordData(const CPalmDatabase& db)
{
    std::vector<std::string> data;
    for (const CPdbRecord& record : db.Records()) {
        data.emplace_back(record.Data().begin(), record.Data().end());
    }
    return data;
}

// The header fields, then each record's list-entry fields in hex, on one line.
std::string Fields(const CPalmDatabase& db)
{
    std::ostringstream out;
    out << db.GetName() << ' ' << db.m_attributes << ' ' << db.m_isResourceDb << ' ' << db.m_version << ' '
        << db.m_creationDate << ' ' << db.m_modificationDate << ' ' << db.m_backupDate << ' ' << db.m_modificationNumber
        << ' ' << FourCCToString(db.m_type) << ' ' << FourCCToString(db.m_creator) << ' ' << std::hex
        << db.m_uniqueIdSeed;
    for (const CPdbRecord& r : db.Records()) {
        out << " | " << int{r.m_attributes} << ' ' << r.m_uniqueId << ' ' << r.m_resourceType << ' ' << r.m_resourceId;
    }
    return out.str();
}

TEST(PdbWriter, EmptyDatabaseIs80BytesAndTwoRecordsMake104)
{
    CPalmDatabase db("TuneloreDB1", TUNE, SONM, false, NEW_YEAR_2006);
    CImageBuilder expected;
    expected.Text("TuneloreDB1", 32).U16(0x0008).U16(0);             // name, attributes: backup, version
    expected.U32(0xBFDCCC00).U32(0xBFDCCC00).U32(0xBFDCCC00).U32(0); // dates, modification number
    expected.U32(0).U32(0).Text("SONM").Text("TuNe").U32(0).U32(0);  // app/sort info, type, creator, seed, next list
    EXPECT_EQ(ImageFrom(db, 0), expected.U16(0).U16(0).m_bytes);     // no records, padding
    db.AddRecord(MakeRecord("Hello"));
    db.AddRecord(MakeRecord("abc"));
    EXPECT_EQ(ImageFrom(db, 76), CImageBuilder().U16(2).U32(96).U32(0).U32(101).U32(0).U16(0).Text("Helloabc").m_bytes);
}

TEST(PdbWriter, ListEntriesKeep24BitUniqueIdsOrResourceTypes)
{
    CPalmDatabase records("z", TUNE, SONM, false, 0);
    records.AddRecord(MakeRecord("12", 0x40, 0xABCDEF12));
    records.AddRecord(CPdbRecord{}); // an empty record shares the next one's offset
    records.AddRecord(MakeRecord("345"));
    records.AddRecord(CPdbRecord{});
    CImageBuilder expected;
    expected.U16(4).U32(112).U8(0x40).U24(0xCDEF12).U32(114).U32(0).U32(114).U32(0).U32(117).U32(0);
    EXPECT_EQ(ImageFrom(records, 76), expected.U16(0).Text("12345").m_bytes);

    CPalmDatabase resources("res", TUNE, MakeFourCC("rsrc"), true, 0);
    resources.AddRecord(MakeRecord("ab", 0x40, 0x123456, MakeFourCC("tSTR"), 0x03E8)); // attributes, ID not written
    resources.AddRecord(MakeRecord("xyz", 0, 0, MakeFourCC("MBAR"), 2));
    CImageBuilder entries;
    entries.U16(2).Text("tSTR").U16(0x03E8).U32(100).Text("MBAR").U16(2).U32(102).U16(0).Text("abxyz");
    EXPECT_EQ(ImageFrom(resources, 76), entries.m_bytes);
}

TEST(PdbWriter, NameFieldKeepsATerminatingZero)
{
    for (const std::size_t length : {0u, 5u, 31u, 32u, 40u}) {
        SCOPED_TRACE(length);
        const std::string name = "0123456789012345678901234567890123456789"s.substr(0, length);
        CPalmDatabase db(name, TUNE, SONM, false, 0);
        Bytes image = ImageFrom(db, 0);
        image.resize(34); // the name field and the attributes, which the name must not spill into
        EXPECT_EQ(image, CImageBuilder().Text(name.substr(0, 31), 32).U16(0x0008).m_bytes);
    }
}

TEST(PdbDatabase, BuildingConstructorReadsTheClockOnce)
{
    const auto before = static_cast<std::uint32_t>(std::time(nullptr));
    const CPalmDatabase db("c", TUNE, SONM, false);
    EXPECT_TRUE(db.m_creationDate >= before && db.m_creationDate <= std::time(nullptr)) << db.m_creationDate;
    EXPECT_TRUE(db.m_modificationDate == db.m_creationDate && db.m_backupDate == db.m_creationDate);
}

// Tests that use files, each in a fresh folder removed afterwards.
class PdbFile : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(fs::create_directory(m_folder)) << m_folder; }
    void TearDown() override { fs::remove_all(m_folder); }
    std::string PathOf(const std::string& name) const { return (m_folder / name).string(); }
    static void Put(const fs::path& path, std::string_view text) { std::ofstream(path, std::ios::binary) << text; }
    static std::string Get(const fs::path& path) { return {std::istreambuf_iterator<char>(Open(path).rdbuf()), {}}; }
    static std::ifstream Open(const fs::path& path) { return std::ifstream(path, std::ios::binary); }
    // How many files and folders the folder holds, to see that no temporary file was left behind.
    std::ptrdiff_t Entries() const { return std::distance(fs::directory_iterator(m_folder), fs::directory_iterator{}); }

    // Parses the image and reads it from a file: both must agree. nullopt when the image is refused.
    std::optional<CPalmDatabase> Read(const Bytes& image)
    {
        PdbParseError error;
        std::optional<CPalmDatabase> parsed = CPalmDatabase::Parse(image, &error);
        EXPECT_EQ(parsed.has_value(), error.reason.empty()) << "refused at " << error.offset << ": " << error.reason;
        Put(PathOf("image.pdb"), std::string(image.begin(), image.end()));
        CPalmDatabase read;
        EXPECT_EQ(read.ReadFromFile(PathOf("image.pdb")), parsed ? 0 : -1);
        const CPalmDatabase& expected = parsed ? *parsed : CPalmDatabase{}; // a refused file leaves it empty
        EXPECT_EQ(Fields(read), Fields(expected));
        EXPECT_TRUE(RecordData(read) == RecordData(expected)) << "records differ";
        return parsed;
    }

    fs::path m_folder = fs::temp_directory_path() / ("tunelore-pdb-" + std::to_string(std::random_device()()));
};

TEST_F(PdbFile, WriteFileAtomicallyAndReadWholeFile)
{
    const std::string path = PathOf("out.pdb");
    std::string read = "untouched";
    EXPECT_FALSE(ReadWholeFile(path, read));
    EXPECT_FALSE(ReadWholeFile(m_folder.string(), read));
    EXPECT_EQ(read, "untouched");
    ASSERT_TRUE(WriteFileAtomically(path, Pattern(200000)));
    EXPECT_TRUE(Get(path) == Pattern(200000));
    ASSERT_TRUE(ReadWholeFile(path, read));
    EXPECT_TRUE(read == Pattern(200000)) << "read " << read.size() << " bytes";
    ASSERT_TRUE(WriteFileAtomically(path, std::string_view("ab")));
    EXPECT_EQ(Get(path), "ab");
    ASSERT_TRUE(WriteFileAtomically(path, std::span<const std::uint8_t>{}));
    ASSERT_TRUE(ReadWholeFile(path, read));
    EXPECT_EQ(read, "");

    const fs::path folder = m_folder / "taken.pdb";
    fs::create_directory(folder);
    EXPECT_FALSE(WriteFileAtomically(folder.string(), std::string_view("new"))) << "an empty folder is not replaced";
    Put(folder / "inside.txt", "keep");
    EXPECT_FALSE(WriteFileAtomically(folder.string(), std::string_view("new")));
    EXPECT_EQ(Get(folder / "inside.txt"), "keep");
    EXPECT_FALSE(WriteFileAtomically(PathOf("no-such-folder/out.pdb"), std::string_view("x")));
    EXPECT_FALSE(WriteFileAtomically(PathOf("ends-in-separator/"), std::string_view("x")));
    EXPECT_EQ(Entries(), 2);
}

TEST_F(PdbFile, FailedWritesKeepTheEarlierFile)
{
    const std::string path = PathOf("TuneloreDB1.pdb");
    Put(path, "an older database");
#if defined(__unix__)
    // A write that fails halfway: the process may not make files over 1000 bytes.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN); // report EFBIG instead of ending the process
    const rlimit small{1000, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WriteFileAtomically(path, Bytes(5000, 0x41));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
#endif
    CPalmDatabase db("TuneloreDB1", TUNE, SONM, false, 0);
    for (std::size_t i = 0; i < PDB_MAX_RECORDS; ++i) {
        db.AddRecord(CPdbRecord{});
    }
    const Bytes full = ImageFrom(db, 76);
    EXPECT_TRUE(full.size() == 4 + 8 * PDB_MAX_RECORDS && full[0] == 0xFF && full[1] == 0xFF) << full.size();
    db.AddRecord(CPdbRecord{});
    EXPECT_FALSE(db.Serialize().has_value());
    EXPECT_EQ(db.WriteToFile(path), -1);
    EXPECT_EQ(db.WriteToFile(PathOf("fresh.pdb")), -1);
    fs::create_directory(m_folder / "folder.pdb");
    EXPECT_EQ(CPalmDatabase("TuneloreDB1", TUNE, SONM, false, 0).WriteToFile(PathOf("folder.pdb")), -1);
    EXPECT_EQ(Get(path), "an older database");
    EXPECT_EQ(Entries(), 2);
}

TEST_F(PdbFile, ReadsHeaderFieldsAnAppInfoBlockAndA32ByteName)
{
    const CPalmDatabase db = Read(AppInfoImage()).value_or(CPalmDatabase{});
    EXPECT_EQ(
        Fields(db),
        "WithAppInfo 8 0 1 1136073600 1136073601 1136073602 7 SONG TuNe abcdef | 40 1 0 0 | 0 2 0 0 | 10 ffffff 0 0");
    EXPECT_EQ(RecordData(db), (std::vector<std::string>{"abcd", "", "xyz"}));

    Bytes image = Header(std::string(32, 'N'), 0).m_bytes;
    EXPECT_EQ(Read(image).value_or(CPalmDatabase{}).GetName(), std::string(32, 'N'));
    image[5] = 0;
    EXPECT_EQ(Read(image).value_or(CPalmDatabase{}).GetName(), "NNNNN");
}

TEST_F(PdbFile, RecordsRunToTheNextOffsetAndTheLastOneToTheEndCutAt100000Bytes)
{
    const struct
    {
        const char* what;
        Bytes image;
        std::vector<std::string> records;
    } cases[] = {
        {"empty record in the middle", Db({104, 106, 106}, "abcd"), {"ab", "", "cd"}},
        {"empty record at the end", Db({96, 99}, "abc"), {"abc", ""}},
        {"all records empty", Db({96, 96}, ""), {"", ""}},
        {"trailing bytes join the last record", Db({96, 97}, "abTAIL"), {"a", "bTAIL"}},
        {"first record right after the list", Db({86}, "xy"), {"\0\0xy"s}},
        {"first record 100000 bytes after the list", Db({86 + SCRATCH}, std::string(SCRATCH - 2, '\0') + "r"), {"r"}},
        {"last record of 100000 bytes", Db({96, 98}, "ok" + Pattern(SCRATCH)), {"ok", Pattern(SCRATCH)}},
        {"last record cut by one byte", Db({96, 98}, "ok" + Pattern(SCRATCH + 1)), {"ok", Pattern(SCRATCH)}},
        {"last record cut, long tail", Db({96, 98}, "ok" + Pattern(3 * SCRATCH)), {"ok", Pattern(SCRATCH)}},
        {"no records, no padding", Header("none", 0).m_bytes, {}},
        {"no records, long tail", Db({}, Pattern(2 * SCRATCH)), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<CPalmDatabase> db = Read(c.image);
        ASSERT_TRUE(db.has_value());
        EXPECT_TRUE(RecordData(*db) == c.records) << "records differ"; // no dump of 100000-byte strings
    }
}

TEST_F(PdbFile, RefusesMalformedFiles)
{
    const Bytes valid = Db({96, 101}, "Helloabc");
    const std::pair<const char*, Bytes> cases[] = {
        {"empty file", {}},
        {"header without creator", Bytes(valid.begin(), valid.begin() + 66)},
        {"record list cut", Db({96}, "", 2)},
        {"record count beyond the file", Db({96}, "abcdef", 0xFFFF)},
        {"resource list cut", Db({96}, "ab", 2, 0x0009)},
        {"first offset inside the header", Db({10}, "abc")},
        {"first offset inside the record list", Db({93, 96}, "abc")},
        {"gap of 100001 bytes before the first record", Db({87 + SCRATCH}, std::string(SCRATCH - 1, '\0') + "r")},
        {"offsets descend", Db({104, 106, 105}, "abcdef")},
        {"last offset past the end", Db({96, 105}, "abcdefgh")},
        {"middle offset past the end", Db({104, 5000, 105}, "abc")},
        {"offset at the top of 32 bits", Db({96, 0xFFFFFFFF}, "ab")},
        {"resource offset past the end", Db({200}, "ab", 1, 0x0009)},
    };
    for (const auto& [what, image] : cases) {
        SCOPED_TRACE(what);
        EXPECT_FALSE(Read(image).has_value());
    }
    CPalmDatabase db;
    EXPECT_EQ(db.ReadFromFile(PathOf("missing.pdb")), -1);
    EXPECT_EQ(db.ReadFromFile(m_folder.string()), -1);
    EXPECT_EQ(db.GetRecordCount(), 0);
}

// Every prefix of a valid file is refused or read without touching a byte past its end; each prefix lives in
// its own exact-size buffer so that the sanitizer build sees any read beyond it.
TEST(PdbReader, EveryTruncatedPrefixIsRefusedOrReadInBounds)
{
    const Bytes full = AppInfoImage();
    for (std::size_t length = 0; length <= full.size(); ++length) {
        SCOPED_TRACE(length);
        const Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
        const auto db = CPalmDatabase::Parse(prefix);
        ASSERT_EQ(db.has_value(), length >= 114) << "a prefix is usable only when every offset lies in it";
        if (db) {
            EXPECT_EQ(RecordData(*db), (std::vector<std::string>{"abcd", "", "xyz"s.substr(0, length - 114)}));
        }
    }
}

TEST_F(PdbFile, ReadsBackWhatWriteToFileWrote)
{
    for (const bool resource : {false, true}) {
        SCOPED_TRACE(resource ? "resource" : "record");
        CPalmDatabase written("RoundTrip", TUNE, SONM, resource, NEW_YEAR_2006);
        written.m_version = 3;
        written.m_modificationNumber = 99;
        written.m_uniqueIdSeed = 0x123456;
        const std::vector<std::string> texts = {"first song\n", "", std::string(300, 'x'), "a\0b"s};
        for (unsigned i = 0; i < texts.size(); ++i) { // only the fields a record of this kind keeps in the file
            written.AddRecord(resource ? MakeRecord(texts[i], 0, 0, TUNE + i, 1000 + i)
                                       : MakeRecord(texts[i], 0x10 * i, 0xFFFFF0 + i));
        }
        ASSERT_EQ(written.WriteToFile(PathOf("RoundTrip.pdb")), 0);
        EXPECT_EQ(fs::file_size(PathOf("RoundTrip.pdb")), written.m_dataOffset);
        CPalmDatabase read;
        ASSERT_EQ(read.ReadFromFile(PathOf("RoundTrip.pdb")), 0);
        EXPECT_EQ(Fields(read), Fields(written));
        EXPECT_EQ(RecordData(read), texts);
    }
}

} // namespace
