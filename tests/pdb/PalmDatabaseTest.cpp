#include "pdb/PalmDatabase.h"

#include "pdb/AtomicFile.h"
#include "pdb/FileIo.h"

#if defined(__unix__)
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <tuple>

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t SONM = MakeFourCC("SONM");
constexpr std::uint32_t TUNE = MakeFourCC("TuNe");
constexpr std::size_t SCRATCH = READ_SCRATCH_SIZE;

// Appends big-endian fields, so that a test spells out a file the way its layout is drawn.
struct CImageBuilder
{
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
CImageBuilder
Header(std::string_view name, std::size_t count, unsigned attributes = 8, unsigned appInfo = 0, unsigned sortInfo = 0)
{
    CImageBuilder b;
    b.Text(name, 32).U16(attributes).U16(1).U32(0xBFDCCC00).U32(0xBFDCCC01).U32(0xBFDCCC02).U32(7).U32(appInfo);
    b.U32(sortInfo).Text("SONG").Text("TuNe").U32(0x00ABCDEF).U32(0).U16(static_cast<std::uint32_t>(count));
    return b;
}

// One list entry per offset (records, or "tSTR" resources), padding, then `data`; `count` records, or one each.
Bytes Db(const std::vector<unsigned>& offsets, std::string_view data, std::size_t count = 0, unsigned attributes = 8)
{
    CImageBuilder b = Header("db", count != 0 ? count : offsets.size(), attributes);
    for (const unsigned offset : offsets)
        (attributes & PDB_ATTR_RESOURCE) != 0 ? b.Text("tSTR").U16(1).U32(offset) : b.U32(offset).U32(0);
    return b.U16(0).Text(data).m_bytes;
}

// Bytes that do not repeat with a power-of-two period, so that a misplaced chunk shows.
std::string Pattern(std::size_t length)
{
    std::string text(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>(i * 7 + i / 251);
    return text;
}

std::vector<std::string> RecordData(const CPalmDatabase& db)
{
    std::vector<std::string> data;
    for (const CPdbRecord& record : db.Records())
        data.emplace_back(record.Data().begin(), record.Data().end());
    return data;
}

// The header fields, the app info and sort info bytes, then each record's list-entry fields in hex, on one line.
std::string Fields(const CPalmDatabase& db)
{
    std::ostringstream out;
    out << db.GetName() << ' ' << db.m_attributes << ' ' << db.m_isResourceDb << ' ' << db.m_version << ' '
        << db.m_creationDate << ' ' << db.m_modificationDate << ' ' << db.m_backupDate << ' ' << db.m_modificationNumber
        << ' ' << FourCCToString(db.m_type) << ' ' << FourCCToString(db.m_creator) << ' ' << std::hex
        << db.m_uniqueIdSeed << " app";
    for (const std::uint8_t byte : db.m_appInfo)
        out << ' ' << int{byte};
    out << " sort";
    for (const std::uint8_t byte : db.m_sortInfo)
        out << ' ' << int{byte};
    for (const CPdbRecord& r : db.Records())
        out << " | " << int{r.m_attributes} << ' ' << r.m_uniqueId << ' ' << r.m_resourceType << ' ' << r.m_resourceId;
    return out.str();
}

// Every header field and list entry of a record and a resource database, read and written back byte for byte.
TEST(PdbWriter, WritesBackWhatWasRead)
{
    CImageBuilder records = Header("Records", 3);
    records.U32(104).U8(0x40).U24(0xCDEF12).U32(106).U32(0).U32(106).U8(0x10).U24(1).U16(0).Text("12345");
    CImageBuilder resources = Header("Resources", 2, 9);
    resources.Text("tSTR").U16(0x03E8).U32(100).Text("MBAR").U16(2).U32(102).U16(0).Text("abxyz");
    // The app info and sort info blocks between the list and the first record, each running to the next.
    const auto blocks = [](unsigned app, unsigned sort) {
        return Header("Blocks", 1, 8, app, sort).U32(93).U32(0).U16(0).Text("\1\2\3\4\5\x09\x09").m_bytes;
    };
    const std::string header = " 1 1136073600 1136073601 1136073602 7 SONG TuNe abcdef app"; // version to seed
    const std::pair<Bytes, std::string> cases[] = {
        {records.m_bytes, "Records 8 0" + header + " sort | 40 cdef12 0 0 | 0 0 0 0 | 10 1 0 0"},
        {resources.m_bytes, "Resources 9 1" + header + " sort | 0 0 74535452 3e8 | 0 0 4d424152 2"},
        {blocks(88, 91), "Blocks 8 0" + header + " 1 2 3 sort 4 5 | 0 0 0 0"},
    };
    for (const auto& [image, fields] : cases) {
        CPalmDatabase db = CPalmDatabase::Parse(image).value_or(CPalmDatabase{});
        EXPECT_EQ(Fields(db), fields);
        EXPECT_EQ(db.Serialize(), image);
    }
    // Sort info before app info, and both at one offset (one block).
    for (const auto& [app, sort, fields] :
         {std::tuple(90u, 88u, "app 3 4 5 sort 1 2 |"), {88u, 88u, "app 1 2 3 4 5 sort |"}})
        EXPECT_NE(Fields(CPalmDatabase::Parse(blocks(app, sort)).value_or(CPalmDatabase{})).find(fields),
                  std::string::npos);
    const Bytes named = CPalmDatabase(std::string(32, 'N'), TUNE, SONM, false, 0).Serialize().value_or(Bytes(33));
    EXPECT_EQ(std::string(named.begin(), named.begin() + 33), std::string(31, 'N') + "\0\0"s); // a zero ends the name

    CPalmDatabase full("Full", TUNE, SONM, false, 0);
    while (full.Records().size() < PDB_MAX_RECORDS)
        full.AddRecord(CPdbRecord{});
    EXPECT_TRUE(full.Serialize().has_value()) << "65,535 records fit";
    full.AddRecord(CPdbRecord{});
    EXPECT_FALSE(full.Serialize().has_value());
    EXPECT_NE(full.Write("no-folder/db.pdb").error().text.find(" 65,535 records; 65,536 were given"),
              std::string::npos);
}

// Tests that use files, each in a fresh folder removed afterwards.
class PdbFile : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(fs::create_directory(m_folder)) << m_folder; }
    void TearDown() override { fs::remove_all(m_folder); }
    std::string PathOf(const std::string& name) const { return (m_folder / name).string(); }
    static void Put(const fs::path& path, std::string_view text) { std::ofstream(path, std::ios::binary) << text; }
    static std::string Get(const fs::path& path) { return ReadWholeFile(path).value_or("(unread)"); }
    static std::string SystemText(int error) { return std::generic_category().message(error); }
    // Every entry under the folder (links not followed): no temporary file may be left behind.
    std::set<std::string> Listing() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(m_folder))
            names.insert(entry.path().lexically_relative(m_folder).string());
        return names;
    }

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

TEST_F(PdbFile, ReadWholeFileReadsRegularFilesUpToTheLimit)
{
    const std::string path = PathOf("big.txt");
    EXPECT_EQ(ReadWholeFile(path).error().text, "No such file or directory");
    EXPECT_EQ(ReadWholeFile(m_folder).error().text, "it is a folder");
    EXPECT_EQ(ReadWholeFile("/dev/zero").error().text, "not a regular file");
    Put(path, Pattern(200000));
    EXPECT_EQ(ReadWholeFile(path, 200000).value_or(""), Pattern(200000));
    EXPECT_FALSE(ReadWholeFile(path, 199999)) << "one byte more than the limit is refused";
}

#if defined(__unix__)
// The process's open file descriptors, as /proc lists them; a write that succeeds or fails leaves as many.
std::size_t OpenDescriptors()
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// Makes each word of `setup`: "f=MODE" a file holding "old" (octal mode), "l>to" a link, "p|" a FIFO, "d/" a folder.
void Make(const fs::path& folder, const std::string& setup)
{
    std::istringstream words(setup);
    for (std::string word; words >> word;) {
        const std::size_t at = std::min(word.find_first_of("=>|"), word.size() - 1);
        const fs::path path = folder / word.substr(0, at);
        if (word[at] == '=') {
            std::ofstream(path) << "old";
            fs::permissions(path, static_cast<fs::perms>(std::stoul(word.substr(at + 1), nullptr, 8)));
        } else if (word[at] == '>')
            fs::create_symlink(word.substr(at + 1), path);
        else if (word[at] == '|')
            ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
        else
            fs::create_directory(path);
    }
}

// What each kind of existing target becomes: "new" is written over "old", or refused with the cause named.
TEST_F(PdbFile, WriteFileAtomicallyKeepsModesRefusesOddTargetsAndFollowsLinksOnRequest)
{
    const mode_t umaskBits = umask(0);
    umask(umaskBits);
    const std::string longName = std::string(251, 'n') + ".pdb"; // its temporary name must still fit
    const struct
    {
        const char* what;
        std::string setup;
        std::string target;
        std::string cause = {};   // empty when the write succeeds, else a part of the cause
        std::string newFile = {}; // holds "new" afterwards, a regular file
        unsigned mode = 0;        // newFile's permission bits, when not 0
        std::string oldFile = {}; // still holds "old"
        LinkPolicy links = LinkPolicy::Follow;
    } cases[] = {
        {"new file", "", "db.pdb", "", "db.pdb", 0666u & ~umaskBits},
        {"0640 file keeps its mode", "db.pdb=640", "db.pdb", "", "db.pdb", 0640},
        {"folder", "dir.pdb/", "dir.pdb", SystemText(EISDIR)},
        {"path ending in a separator", "", "db.pdb/", SystemText(EISDIR)},
        {"missing folder", "", "none/db.pdb", SystemText(ENOENT)},
        {"255-byte name", "", longName, "", longName},
        {"relative link in a subfolder", "real=640 sub/ sub/link>../real", "sub/link", "", "real", 0640},
        {"chain of links followed to a FIFO", "fifo| a>fifo b>a", "b", "FIFO"},
        {"dangling link followed", "link.pdb>made.pdb", "link.pdb", "", "made.pdb"},
        {"link to a read-only file", "real=444 link>real", "link", "read-only", "", 0, "real"},
        {"link to a read-only file replaced", "real=444 link>real", "link", "", "link", 0, "real", LinkPolicy::Replace},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m_folder);
        fs::create_directory(m_folder);
        Make(m_folder, c.setup);
        std::set<std::string> expected = Listing();
        const std::size_t descriptors = OpenDescriptors();
        const Status result =
            WriteFileAtomically(m_folder / c.target, std::string_view("new"), FileDurability::Synced, c.links);
        EXPECT_EQ(OpenDescriptors(), descriptors) << "every descriptor the write opened is closed";
        EXPECT_EQ(static_cast<bool>(result), c.cause.empty());
        const std::string said = result ? "" : result.error().text;
        EXPECT_NE(said.find(c.cause), std::string::npos) << said;
        if (!c.newFile.empty()) {
            const fs::path written = m_folder / c.newFile; // never read through a link: it may lead to a FIFO
            EXPECT_EQ(fs::is_regular_file(fs::symlink_status(written)) ? Get(written) : "not a regular file", "new");
            expected.insert(c.newFile);
        }
        EXPECT_EQ(c.mode != 0 ? fs::status(m_folder / c.newFile).permissions() : fs::perms{}, fs::perms(c.mode));
        EXPECT_EQ(c.oldFile.empty() ? "old" : Get(m_folder / c.oldFile), "old");
        EXPECT_EQ(Listing(), expected) << "no temporary file is left, nothing else appears";
    }
}

// Stops the process halfway through writing `target` (its file size limit passes 4096 bytes, SIGXFSZ stops it); let go
// on, its write fails as on a full disk, and it exits 0 when that was reported and every descriptor closed again.
[[noreturn]] void WriteAndStopHalfway(const fs::path& target)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, SIG_DFL); // whatever the test runner ignores
    InstallTemporaryFileCleanup();
    std::signal(SIGXFSZ, [](int) { ::raise(SIGSTOP); });
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const std::size_t descriptors = OpenDescriptors();
    const bool reported =
        WriteFileAtomically(target, Pattern(100000)).error().text == std::generic_category().message(EFBIG);
    ::_exit(reported && OpenDescriptors() == descriptors ? 0 : 1);
}

// A writer failed or ended halfway leaves the target; its temporary file goes with it, at the next write or at a sweep.
TEST_F(PdbFile, TemporaryFilesEndWithTheirWriterOrAtTheNextWrite)
{
    const fs::path target = m_folder / "db.pdb";
    // 0: no signal, the write fails; true: a sweep of the folder instead of the next write.
    const std::pair<int, bool> runs[] = {
        {0, false}, {SIGTERM, false}, {SIGINT, false}, {SIGHUP, false}, {SIGKILL, false}, {SIGKILL, true}};
    for (const auto& [signal, sweep] : runs) {
        SCOPED_TRACE(signal);
        Put(m_folder / ".tunelore-0123456789abcdef-6.tmp", "not one of ours: slot 6 does not exist");
        Put(target, "old");
        const pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0)
            WriteAndStopHalfway(target);
        int status = 0; // no ASSERT from here to the kill, so that the writer never outlives the test
        EXPECT_TRUE(::waitpid(writer, &status, WUNTRACED) == writer && WIFSTOPPED(status)) << "not stopped halfway";
        const std::set<std::string> halfway = Listing();
        EXPECT_EQ(halfway.size(), 3u) << "the target, the writer's temporary file and the look-alike";
        EXPECT_TRUE(sweep ? (RemoveAbandonedTemporaryFiles(m_folder), Status{})
                          : WriteFileAtomically(target, std::string_view("beside")));
        EXPECT_EQ(Listing(), halfway) << "a live writer's temporary file stays";

        ::kill(writer, signal); // delivered when the writer goes on
        ::kill(writer, SIGCONT);
        ::waitpid(writer, &status, 0);
        EXPECT_TRUE(signal != 0 ? WIFSIGNALED(status) && WTERMSIG(status) == signal : status == 0) << status;
        EXPECT_EQ(Get(target), sweep ? "old" : "beside");
        const std::set<std::string> onlyTarget = {"db.pdb", ".tunelore-0123456789abcdef-6.tmp"};
        EXPECT_EQ(Listing(), signal == SIGKILL ? halfway : onlyTarget) << "nothing can clean up after SIGKILL";
        if (sweep)
            RemoveAbandonedTemporaryFiles(m_folder);
        else
            ASSERT_TRUE(WriteFileAtomically(target, std::string_view("next")));
        EXPECT_EQ(Listing(), onlyTarget) << "the next write of the target or a sweep removes what a dead writer left";
    }
}

// A writer of many small files (as an extraction is) ended at any moment leaves no temporary file: the signal may fall
// between a temporary file's creation and the moment the cleanup knows it, or between the write and the rename.
TEST_F(PdbFile, NoTemporaryFileSurvivesASignalAtAnyMoment)
{
    std::mt19937 moments(4711);
    for (int round = 0; round < 60; ++round) {
        const int signal = round % 2 == 0 ? SIGTERM : SIGINT;
        const pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            for (const int each : {SIGINT, SIGTERM, SIGHUP})
                std::signal(each, SIG_DFL);
            InstallTemporaryFileCleanup();
            for (unsigned n = 0;; ++n)
                (void)WriteFileAtomically(m_folder / ("song " + std::to_string(n % 50) + ".pro"),
                                          std::string_view("text"),
                                          FileDurability::Unsynced,
                                          LinkPolicy::Replace);
        }
        ::usleep(static_cast<useconds_t>(1000 + moments() % 4000));
        ::kill(writer, signal);
        int status = 0;
        ::waitpid(writer, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        for (const std::string& name : Listing())
            ASSERT_FALSE(name.starts_with(".tunelore-")) << "left after round " << round << ": " << name;
    }
}
#endif

// Each record runs to the next offset, the last to the end of the file, cut at 100000 bytes; a bad list is refused.
TEST_F(PdbFile, ReadsRecordsBetweenOffsetsAndRefusesMalformedFiles)
{
    CImageBuilder appInfo = Header("WithAppInfo", 3, 8, 104); // three records behind a six-byte app info block
    appInfo.U32(110).U8(0x40).U24(1).U32(114).U32(2).U32(114).U8(0x10).U24(0xFFFFFF).U16(0).Text("APPINFabcdxyz");
    using Records = std::vector<std::string>;
    const std::optional<Records> refused;
    const std::string gap(SCRATCH - 2, '\0'); // with the two padding bytes, 100000 bytes between list and data
    const std::tuple<const char*, Bytes, std::optional<Records>> cases[] = {
        {"app info block", appInfo.m_bytes, Records{"abcd", "", "xyz"}},
        {"first record right after the list", Db({86}, "xy"), Records{"\0\0xy"s}},
        {"first record 100000 bytes after the list", Db({86 + SCRATCH}, gap + "r"), Records{"r"}},
        {"last record of 100000 bytes", Db({96, 98}, "ok" + Pattern(SCRATCH)), Records{"ok", Pattern(SCRATCH)}},
        {"last record cut by one byte", Db({96, 98}, "ok" + Pattern(SCRATCH + 1)), Records{"ok", Pattern(SCRATCH)}},
        {"no records, no padding", Header("none", 0).m_bytes, Records{}},
        {"header one byte short", Bytes(77, 0), refused},
        {"record list cut", Db({96}, "", 2), refused},
        {"resource list cut", Db({96}, "ab", 2, 0x0009), refused},
        {"first offset inside the record list", Db({93, 96}, "abc"), refused},
        {"gap of 100001 bytes before the first record", Db({87 + SCRATCH}, gap + "\0r"s), refused},
        {"offsets descend", Db({104, 106, 105}, "abcdef"), refused},
        {"last offset past the end", Db({96, 105}, "abcdefgh"), refused},
        {"resource offset past the end", Db({200}, "ab", 1, 0x0009), refused},
    };
    for (const auto& [what, image, records] : cases) {
        SCOPED_TRACE(what);
        const std::optional<CPalmDatabase> db = Read(image);
        ASSERT_EQ(db.has_value(), records.has_value());
        EXPECT_TRUE(!db || RecordData(*db) == *records) << "records differ"; // no dump of 100000-byte strings
    }
    EXPECT_EQ(Read(Header(std::string(32, 'N'), 0).m_bytes).value_or(CPalmDatabase{}).GetName(), std::string(32, 'N'));
    EXPECT_EQ(CPalmDatabase().ReadFromFile(PathOf("missing.pdb")), -1);
    EXPECT_EQ(CPalmDatabase().ReadFromFile(m_folder.string()), -1);
}

TEST_F(PdbFile, ReadsBackWhatWriteToFileWrote)
{
    for (const bool resource : {false, true}) {
        SCOPED_TRACE(resource ? "resource" : "record");
        CPalmDatabase written("RoundTrip", TUNE, SONM, resource, 1136073600);
        // A record longer than the reader's scratch size before the last: the reader must seek by the list's offset.
        const std::vector<std::string> texts = {"first song\n", "", Pattern(SCRATCH + 300), "a\0b"s};
        for (unsigned i = 0; i < texts.size(); ++i) { // only the fields a record of this kind keeps in the file
            CPdbRecord record;
            record.SetData(Bytes(texts[i].begin(), texts[i].end()));
            (resource ? record.m_resourceType : record.m_uniqueId) = 0xFFFFF0 + i;
            record.m_attributes = static_cast<std::uint8_t>(resource ? 0 : 0x10 * i);
            written.AddRecord(record);
        }
        ASSERT_EQ(written.WriteToFile(PathOf("RoundTrip.pdb")), 0);
        EXPECT_EQ(fs::file_size(PathOf("RoundTrip.pdb")), written.m_dataOffset);
        CPalmDatabase read;
        ASSERT_EQ(read.ReadFromFile(PathOf("RoundTrip.pdb")), 0);
        EXPECT_EQ(Fields(read), Fields(written));
        EXPECT_TRUE(RecordData(read) == texts) << "records differ";
    }
}

} // namespace
