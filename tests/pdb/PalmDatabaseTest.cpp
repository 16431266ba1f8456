#include "pdb/PalmDatabase.h"

#include "pdb/AtomicFile.h"
#include "pdb/FileIo.h"

#if defined(__unix__)
#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
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

// The system's words for an error number.
std::string SystemText(int error)
{
    return std::generic_category().message(error);
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
    long Entries() const { return std::distance(fs::directory_iterator(m_folder), fs::directory_iterator{}); }
    // Every entry under the folder (links not followed), sorted.
    std::vector<std::string> Listing() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(m_folder)) {
            names.push_back(entry.path().lexically_relative(m_folder).string());
        }
        std::sort(names.begin(), names.end());
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

TEST_F(PdbFile, WriteFileAtomicallyAndReadWholeFile)
{
    const std::string path = PathOf("out.pdb");
    EXPECT_EQ(ReadWholeFile(path).error, "No such file or directory");
    EXPECT_EQ(ReadWholeFile(m_folder).error, "it is a folder");
    EXPECT_EQ(ReadWholeFile("/dev/zero").error, "not a regular file");
    ASSERT_TRUE(WriteFileAtomically(path, Pattern(200000)));
    EXPECT_TRUE(ReadWholeFile(path).bytes == Pattern(200000));
    EXPECT_FALSE(ReadWholeFile(path, 199999).bytes) << "one byte more than the limit is refused";
    EXPECT_TRUE(ReadWholeFile(path, 200000).bytes);
    ASSERT_TRUE(WriteFileAtomically(path, std::string_view("ab")));
    EXPECT_EQ(Get(path), "ab");
    ASSERT_TRUE(WriteFileAtomically(path, std::span<const std::uint8_t>{}));
    EXPECT_EQ(ReadWholeFile(path).bytes, "");
    EXPECT_EQ(Entries(), 1);
}

#if defined(__unix__)
// What each kind of existing target becomes: "new" is written over "old", or refused with the cause named.
TEST_F(PdbFile, WriteFileAtomicallyKeepsModesRefusesOddTargetsAndFollowsLinksOnRequest)
{
    const auto file = [](const char* name, unsigned mode) {
        return [=](const fs::path& folder) {
            Put(folder / name, "old");
            fs::permissions(folder / name, static_cast<fs::perms>(mode));
        };
    };
    const auto link = [](const char* name, const char* to) {
        return [=](const fs::path& folder) { fs::create_symlink(to, folder / name); };
    };
    const auto both = [](auto first, auto second) {
        return [=](const fs::path& folder) { first(folder), second(folder); };
    };
    const auto fifo = [](const fs::path& folder) { ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0644), 0); };
    const mode_t umaskBits = umask(0);
    umask(umaskBits);
    const std::string longName = std::string(251, 'n') + ".pdb";
    const struct
    {
        const char* what;
        std::function<void(const fs::path&)> setup;
        std::string target;
        std::string cause;                      // empty when the write succeeds, else a part of the cause
        std::string newFile = {};               // holds "new" afterwards
        unsigned mode = 0;                      // newFile's permission bits, when not 0
        std::string oldFile = {};               // still holds "old"
        fs::file_type kind = fs::file_type::regular; // of the target afterwards
        LinkPolicy links = LinkPolicy::Follow;
    } cases[] = {
        {"new file", [](const fs::path&) {}, "db.pdb", "", "db.pdb", 0666u & ~umaskBits},
        {"0600 file keeps its mode", file("db.pdb", 0600), "db.pdb", "", "db.pdb", 0600},
        {"0640 file keeps its mode", file("db.pdb", 0640), "db.pdb", "", "db.pdb", 0640},
        {"0444 file", file("db.pdb", 0444), "db.pdb", "read-only", "", 0, "db.pdb"},
        {"FIFO", fifo, "fifo", "FIFO", "", 0, "", fs::file_type::fifo},
        {"device", [](const fs::path&) {}, "/dev/full", "device", "", 0, "", fs::file_type::character},
        {"folder", [](const fs::path& f) { fs::create_directory(f / "dir.pdb"); }, "dir.pdb",
         SystemText(EISDIR), "", 0, "", fs::file_type::directory},
        {"path ending in a separator", [](const fs::path&) {}, "db.pdb/", SystemText(EISDIR), "", 0, "",
         fs::file_type::not_found},
        {"missing folder", [](const fs::path&) {}, "none/db.pdb", SystemText(ENOENT), "", 0, "",
         fs::file_type::not_found},
        {"255-byte name", [](const fs::path&) {}, longName, "", longName},
        {"link in a subfolder, followed to a 0640 file", both(file("real.pdb", 0640), [](const fs::path& f) {
             fs::create_directory(f / "sub");
             fs::create_symlink("../real.pdb", f / "sub/link.pdb");
         }),
         "sub/link.pdb", "", "real.pdb", 0640, "", fs::file_type::symlink},
        {"chain of links followed to a FIFO", both(fifo, both(link("a", "fifo"), link("b", "a"))), "b", "FIFO", "",
         0, "", fs::file_type::symlink},
        {"dangling link followed", link("link.pdb", "made.pdb"), "link.pdb", "", "made.pdb", 0, "",
         fs::file_type::symlink},
        {"link to a read-only file", both(file("real.pdb", 0444), link("link.pdb", "real.pdb")), "link.pdb",
         "read-only", "", 0, "real.pdb", fs::file_type::symlink},
        {"link replaced", both(file("outside.txt", 0644), link("song.pro", "outside.txt")), "song.pro", "",
         "song.pro", 0, "outside.txt", fs::file_type::regular, LinkPolicy::Replace},
        {"link to a FIFO replaced", both(fifo, link("song.pro", "fifo")), "song.pro", "", "song.pro", 0, "",
         fs::file_type::regular, LinkPolicy::Replace},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m_folder);
        fs::create_directory(m_folder);
        c.setup(m_folder);
        std::vector<std::string> expected = Listing();
        const fs::path target = m_folder / c.target;
        const AtomicWriteResult result = WriteFileAtomically(target, std::string_view("new"), FileDurability::Synced,
                                                             c.links);
        EXPECT_EQ(result.ok, c.cause.empty());
        EXPECT_NE(result.error.find(c.cause), std::string::npos) << result.error;
        EXPECT_EQ(result.error.empty(), c.cause.empty()) << result.error;
        if (!c.newFile.empty()) {
            const fs::path written = m_folder / c.newFile; // never read through a link: it may lead to a FIFO
            EXPECT_EQ(fs::is_regular_file(fs::symlink_status(written)) ? Get(written) : "not a regular file", "new");
            expected.push_back(c.newFile);
        }
        if (c.mode != 0) {
            EXPECT_EQ(fs::status(m_folder / c.newFile).permissions(), static_cast<fs::perms>(c.mode));
        }
        if (!c.oldFile.empty()) {
            EXPECT_EQ(Get(m_folder / c.oldFile), "old");
        }
        std::error_code ec;
        EXPECT_EQ(fs::symlink_status(target, ec).type(), c.kind);
        std::sort(expected.begin(), expected.end());
        expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
        EXPECT_EQ(Listing(), expected) << "no temporary file is left, nothing else appears";
    }
}

// A copy of the test process that runs `body`, which may send a few bytes back through the pipe it is given.
class CChild
{
public:
    explicit CChild(const std::function<int(int)>& body)
    {
        if (::pipe(m_pipe) != 0 || (m_pid = ::fork()) < 0) {
            throw std::runtime_error("cannot start a child process");
        }
        if (m_pid == 0) {
            ::close(m_pipe[0]);
            ::_exit(body(m_pipe[1]));
        }
        ::close(m_pipe[1]);
    }
    CChild(const CChild&) = delete;
    CChild& operator=(const CChild&) = delete;
    ~CChild()
    {
        ::close(m_pipe[0]);
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            Wait();
        }
    }
    // What the child sent in one write; empty when it ended without sending.
    std::string Receive()
    {
        char buffer[256];
        const ssize_t got = ::read(m_pipe[0], buffer, sizeof buffer);
        return std::string(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    void Signal(int signal) { ::kill(m_pid, signal); }
    // The wait status of the ended child.
    int Wait()
    {
        int status = 0;
        ::waitpid(std::exchange(m_pid, 0), &status, 0);
        return status;
    }

private:
    int m_pipe[2] = {-1, -1};
    pid_t m_pid = 0;
};

int g_reportPipe = -1;

// A writer that stops for good in the middle of writing "db.pdb": its file size limit lets the first 4096
// bytes through, and the signal for the write past it tells the test and waits.
int WriteAndStopHalfway(const fs::path& target)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(signal, SIG_DFL); // whatever the test runner ignores
    }
    InstallTemporaryFileCleanup();
    std::signal(SIGXFSZ, [](int) {
        (void)!::write(g_reportPipe, "w", 1);
        for (;;) {
            ::pause();
        }
    });
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    return WriteFileAtomically(target, Pattern(100000)) ? 0 : 1;
}

TEST_F(PdbFile, TemporaryFilesEndWithTheirWriterOrAtTheNextWrite)
{
    const fs::path target = m_folder / "db.pdb";
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGKILL}) {
        SCOPED_TRACE(signal);
        Put(target, "old");
        CChild writer([&](int pipe) {
            g_reportPipe = pipe;
            return WriteAndStopHalfway(target);
        });
        ASSERT_EQ(writer.Receive(), "w") << "the writer did not stop halfway";
        const std::vector<std::string> halfway = Listing();
        ASSERT_EQ(halfway.size(), 2u) << "the target and the writer's temporary file";
        ASSERT_TRUE(WriteFileAtomically(target, std::string_view("beside")));
        EXPECT_EQ(Listing(), halfway) << "a live writer's temporary file stays";

        writer.Signal(signal);
        const int status = writer.Wait();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(Get(target), "beside");
        const std::vector<std::string> onlyTarget = {"db.pdb"};
        EXPECT_EQ(Listing(), signal == SIGKILL ? halfway : onlyTarget) << "nothing can clean up after SIGKILL";
        ASSERT_TRUE(WriteFileAtomically(target, std::string_view("next")));
        EXPECT_EQ(Listing(), onlyTarget) << "the next write of the target removes what a dead writer left";
    }
}
#endif

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
    const AtomicWriteResult written = WriteFileAtomically(path, Bytes(5000, 0x41));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(written.error, SystemText(EFBIG));
#endif
    CPalmDatabase db("TuneloreDB1", TUNE, SONM, false, 0);
    for (std::size_t i = 0; i < PDB_MAX_RECORDS; ++i) {
        db.AddRecord(CPdbRecord{});
    }
    const Bytes full = ImageFrom(db, 76);
    EXPECT_TRUE(full.size() == 4 + 8 * PDB_MAX_RECORDS && full[0] == 0xFF && full[1] == 0xFF) << full.size();
    db.AddRecord(CPdbRecord{});
    EXPECT_FALSE(db.Serialize().has_value());
    EXPECT_NE(db.Write(path).error.find(" 65,535 records; 65,536 were given"), std::string::npos);
    EXPECT_EQ(db.WriteToFile(path), -1);
    EXPECT_EQ(db.WriteToFile(PathOf("fresh.pdb")), -1);
    fs::create_directory(m_folder / "folder.pdb");
    EXPECT_EQ(CPalmDatabase("TuneloreDB1", TUNE, SONM, false, 0).WriteToFile(PathOf("folder.pdb")), -1);
    EXPECT_EQ(Get(path), "an older database");
    EXPECT_EQ(Entries(), 2);

#if defined(__unix__)
    // A full disk: a 64 KiB file system of the child's own, where it may mount one.
    CChild child([&](int pipe) {
        const fs::path tiny = m_folder / "tiny";
        fs::create_directory(tiny);
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", tiny.c_str(), "tmpfs", 0, "size=64k") != 0) {
            return 2;
        }
        Put(tiny / "db.pdb", "an older database");
        const std::string cause = WriteFileAtomically(tiny / "db.pdb", Bytes(200000, 0x41)).error;
        (void)!::write(pipe, cause.data(), cause.size());
        const long entries = std::distance(fs::directory_iterator(tiny), fs::directory_iterator{});
        return Get(tiny / "db.pdb") == "an older database" && entries == 1 ? 0 : 1;
    });
    const std::string cause = child.Receive();
    const int status = child.Wait();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 2) {
        GTEST_SKIP() << "no file system to fill: mounting needs privileges";
    }
    EXPECT_EQ(cause, SystemText(ENOSPC));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the older file stays, no temporary file is left";
#endif
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

TEST_F(PdbFile, ReadsBackWhatWriteToFileWrote)
{
    for (const bool resource : {false, true}) {
        SCOPED_TRACE(resource ? "resource" : "record");
        CPalmDatabase written("RoundTrip", TUNE, SONM, resource, NEW_YEAR_2006);
        written.m_modificationDate = NEW_YEAR_2006 + 1;
        written.m_backupDate = NEW_YEAR_2006 + 2;
        written.m_version = 3;
        written.m_modificationNumber = 99;
        written.m_uniqueIdSeed = 0x123456;
        // A record longer than the reader's scratch size before the last one: the reader must find the last
        // record's offset in the list to read that far.
        const std::vector<std::string> texts = {"first song\n", "", Pattern(SCRATCH + 300), "a\0b"s};
        for (unsigned i = 0; i < texts.size(); ++i) { // only the fields a record of this kind keeps in the file
            written.AddRecord(resource ? MakeRecord(texts[i], 0, 0, i, 0)
                                       : MakeRecord(texts[i], 0x10 * i, 0xFFFFF0 + i));
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
