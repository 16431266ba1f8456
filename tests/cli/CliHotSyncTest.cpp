// tunelore-cli's HotSync against a scripted handheld that connects over loopback TCP, as a handheld's network
// HotSync does: what it installs and extracts must be what the file commands write.

#include "jobs/TuneloreDatabase.h"
#include "tests/hotsync/FakeHandheld.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>

#include "hotsync/Tcp.h"

namespace fs = std::filesystem;
using namespace hotsync;

namespace {

const fs::path DATA = fs::path(TEST_DATA_DIR) / "cli";

struct CliRun
{
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& word)
{
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Bytes(const fs::path& path)
{
    return ReadFileBytes(Utf8FromPath(path)).value_or("<missing>");
}

class CliHotSyncTest : public ::testing::Test
{
protected:
    // Runs tunelore-cli with the time fixed; with a handheld, it connects to `port` once the program listens and
    // speaks NetSync, or with `serial` the serial link's packets as an emulator's serial port carried over TCP.
    CliRun Run(const std::vector<std::string>& args,
               FakeHandheld* handheld = nullptr,
               std::uint16_t port = 0,
               bool serial = false)
    {
        std::string command = "env " + m_environment + "SOURCE_DATE_EPOCH=1136073600 " + Quote(TUNELORE_CLI);
        for (const std::string& arg : args)
            command += " " + Quote(arg);
        command += " >" + Quote((m_root / "stdout").string()) + " 2>" + Quote((m_root / "stderr").string());
        std::thread device;
        if (handheld != nullptr) {
            device = HandheldConnecting(*handheld, port, serial);
        }
        const int status = std::system(command.c_str());
        if (device.joinable())
            device.join();
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Bytes(m_root / "stdout"), Bytes(m_root / "stderr")};
    }
    std::string Work(const std::string& name) const { return (m_root / name).string(); }
    static std::string Data(const std::string& name) { return (DATA / name).string(); }
    static std::string Net(std::uint16_t port) { return "net:127.0.0.1:" + std::to_string(port); }

    static CPalmDatabase Load(const std::string& path)
    {
        PdbReadResult read = CPalmDatabase::Read(path);
        EXPECT_TRUE(read.database) << path << ": " << read.error;
        return read.database.value_or(CPalmDatabase());
    }

    TempDir m_dir;
    const fs::path m_root = m_dir.Path();
    std::string m_environment; // env's options before the time, each followed by a blank
};

} // namespace

TEST_F(CliHotSyncTest, BuildInstallsExactlyTheRecordsBuildWrites)
{
    const std::vector<std::string> songs{
        Data("songs/cafe.pro"), Data("songs/creme-cp1252.txt"), Data("songs/morning.TAB")};
    std::vector<std::string> toFile{"build", "--name", "MySongs", "-o", Work("songs.pdb")};
    toFile.insert(toFile.end(), songs.begin(), songs.end());
    const CliRun written = Run(toFile);
    ASSERT_EQ(written.status, 0) << written.err;
    const CPalmDatabase expected = Load(Work("songs.pdb"));

    for (const bool serial : {true, false}) {
        SCOPED_TRACE(serial ? "serial-net" : "net");
        const std::uint16_t port = FreePort();
        FakeHandheld handheld;
        const std::string connection = (serial ? "serial-net:127.0.0.1:" : "net:127.0.0.1:") + std::to_string(port);
        std::vector<std::string> toHandheld{"build", "--name", "MySongs", "--hotsync", connection, "--timeout", "20"};
        toHandheld.insert(toHandheld.end(), songs.begin(), songs.end());
        const CliRun installed = Run(toHandheld, &handheld, port, serial);
        ASSERT_EQ(installed.status, 0) << installed.err;
        EXPECT_NE(installed.err.find("Press the HotSync button on the handheld\n"), std::string::npos) << installed.err;
        EXPECT_NE(installed.err.find("Installing MySongs (3 records)"), std::string::npos) << installed.err;
        EXPECT_EQ(installed.out, "Installed song import database MySongs (3 songs) on the handheld by HotSync\n");

        ASSERT_EQ(handheld.databases.count("MySongs"), 1u);
        const CPalmDatabase& onHandheld = handheld.databases.at("MySongs");
        EXPECT_EQ(onHandheld.m_creator, expected.m_creator);
        EXPECT_EQ(onHandheld.m_type, expected.m_type);
        ASSERT_EQ(onHandheld.GetRecordCount(), expected.GetRecordCount());
        for (int i = 0; i < expected.GetRecordCount(); ++i) {
            const CPdbRecord& a = onHandheld.Records()[static_cast<std::size_t>(i)];
            const CPdbRecord& e = expected.Records()[static_cast<std::size_t>(i)];
            EXPECT_TRUE(std::ranges::equal(a.Data(), e.Data())) << "record " << i;
            EXPECT_EQ(a.m_attributes, e.m_attributes) << "record " << i;
        }
        EXPECT_EQ(handheld.log, std::vector<std::string>{"Tunelore installed MySongs\n"});
        EXPECT_TRUE(handheld.ended);
        if (serial) {
            continue;
        }

        // The same again: the database is there, so nothing changes and the run says why.
        handheld.ended = false; // a new session
        const std::uint16_t again = FreePort();
        std::vector<std::string> repeat{
            "build", "--name", "MySongs", "--hotsync", Net(again), "--timeout", "20", songs[0]};
        const CliRun refused = Run(repeat, &handheld, again);
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(
            refused.err.find("tunelore-cli: HotSync: a database named \"MySongs\" is already on the handheld and was "
                             "kept (--replace replaces it)\n"),
            std::string::npos)
            << refused.err;
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(handheld.databases.at("MySongs").GetRecordCount(), 3);
    }

    // build --install goes by HotSync over the connection the window remembered in install.conf; --replace
    // goes with it.
    const fs::path settings = m_root / "home/.config/tunelore-importer";
    fs::create_directories(settings);
    m_environment =
        "-u XDG_CONFIG_HOME -u XDG_DATA_HOME -u JPILOT_HOME HOME=" + Quote((m_root / "home").string()) + " ";
    const std::uint16_t port = FreePort();
    std::ofstream(settings / "install.conf") << "destination=hotsync\nconnection=" << Net(port) << "\n";
    FakeHandheld handheld;
    handheld.databases["MySongs"] = CPalmDatabase("MySongs", TUNELORE_CREATOR, SONG_IMPORT_TYPE, false, 0);
    const CliRun installed =
        Run({"build", "--name", "MySongs", "--install", "--replace", "--timeout", "20", songs[0]}, &handheld, port);
    ASSERT_EQ(installed.status, 0) << installed.err;
    EXPECT_EQ(installed.out, "Installed song import database MySongs (1 song) on the handheld by HotSync\n");
    EXPECT_EQ(handheld.databases.at("MySongs").GetRecordCount(), 1);
    // A connection that is no connection is named with the file, and nothing waits.
    std::ofstream(settings / "install.conf") << "destination=hotsync\nconnection=fax\n";
    const CliRun refused = Run({"build", "--install", songs[0]});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find((settings / "install.conf").string() + ": connection: "), std::string::npos)
        << refused.err;
}

TEST_F(CliHotSyncTest, ExtractWritesWhatExtractWritesFromTheFiles)
{
    // The handheld's own databases (SONG, CHRD), made from what build writes, and one of another program.
    ASSERT_EQ(Run({"build",
                   "--name",
                   "Songs",
                   "-o",
                   Work("import.pdb"),
                   Data("songs/cafe.pro"),
                   Data("songs/creme-cp1252.txt")})
                  .status,
              0);
    ASSERT_EQ(Run({"build", "--name", "Chords", "-o", Work("chords-import.pdb"), Data("chords.txt")}).status, 0);
    CPalmDatabase songs = Load(Work("import.pdb"));
    songs.m_type = SONG_DB_TYPE;
    ASSERT_EQ(songs.WriteToFile(Work("Songs.pdb")), 0);
    CPalmDatabase chords = Load(Work("chords-import.pdb"));
    chords.m_type = CHORD_DB_TYPE;
    ASSERT_EQ(chords.WriteToFile(Work("Chords.pdb")), 0);

    ASSERT_EQ(Run({"extract", Work("Songs.pdb"), Work("from-files")}).status, 0);
    ASSERT_EQ(Run({"extract", Work("Chords.pdb"), Work("from-files/Chords.txt")}).status, 0);

    FakeHandheld handheld;
    handheld.listPageSize = 1; // the list comes in pages
    handheld.databases["Songs"] = songs;
    handheld.databases["Chords"] = chords;
    handheld.databases["Other"] = CPalmDatabase("Other", MakeFourCC("memo"), MakeFourCC("DATA"), false, 0);
    const std::uint16_t port = FreePort();
    const CliRun run = Run(
        {"extract", "--hotsync", Net(port), "--timeout", "20", "--keep-pdb", Work("from-handheld")}, &handheld, port);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "Read 2 databases from the handheld: wrote 2 songs to " + Work("from-handheld") + " and 4 chords to " +
                  Work("from-handheld") + "/Chords.txt\n");
    EXPECT_TRUE(handheld.log.empty());

    std::vector<std::string> expectedFiles;
    for (const auto& entry : fs::directory_iterator(m_root / "from-files"))
        expectedFiles.push_back(entry.path().filename().string());
    ASSERT_EQ(expectedFiles.size(), 3u);
    for (const std::string& name : expectedFiles) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Bytes(m_root / "from-handheld" / name), Bytes(m_root / "from-files" / name));
    }
    // The databases read are kept as they came, records and all.
    const CPalmDatabase kept = Load(Work("from-handheld/Songs.pdb"));
    ASSERT_EQ(kept.GetRecordCount(), songs.GetRecordCount());
    for (int i = 0; i < songs.GetRecordCount(); ++i)
        EXPECT_TRUE(std::ranges::equal(kept.Records()[static_cast<std::size_t>(i)].Data(),
                                       songs.Records()[static_cast<std::size_t>(i)].Data()));
    EXPECT_FALSE(fs::exists(m_root / "from-handheld" / "Other.pdb"));

    // A second song database with another text under the same title: both songs are kept.
    CPalmDatabase more = songs;
    more.m_name = "More";
    std::vector<std::uint8_t> changed(more.Records()[0].Data().begin(), more.Records()[0].Data().end());
    changed.insert(changed.end() - 1, {'\n', 'x'});
    CPalmDatabase edited("More", TUNELORE_CREATOR, SONG_DB_TYPE, false, 0);
    for (int i = 0; i < more.GetRecordCount(); ++i) {
        CPdbRecord record = more.GetRecord(i);
        if (i == 0)
            record.SetData(changed);
        edited.AddRecord(record);
    }
    handheld.databases.erase("Chords");
    handheld.databases["More"] = edited;
    handheld.ended = false;
    const std::uint16_t again = FreePort();
    ASSERT_EQ(Run({"extract", "--hotsync", Net(again), "--timeout", "20", Work("two")}, &handheld, again).status, 0);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(m_root / "two"))
        ++files;
    EXPECT_EQ(files, 3u) << "one title twice with two texts gives two files";
}

TEST_F(CliHotSyncTest, FailuresEndWithOneLineAndExitStatus1)
{
    // No handheld at all.
    const CliRun alone = Run({"extract", "--hotsync", Net(FreePort()), "--timeout", "1", Work("out")});
    EXPECT_EQ(alone.status, 1);
    EXPECT_NE(alone.err.find("tunelore-cli: HotSync: no handheld connected within the timeout"), std::string::npos)
        << alone.err;

    // A handheld whose database list never ends.
    FakeHandheld stuck;
    stuck.databases["a"] = CPalmDatabase("a", 1, 2, false, 0);
    stuck.databases["b"] = CPalmDatabase("b", 1, 2, false, 0);
    stuck.listPageSize = 1;
    stuck.listNeverAdvances = true;
    const std::uint16_t port = FreePort();
    const CliRun hostile = Run({"extract", "--hotsync", Net(port), "--timeout", "20", Work("out")}, &stuck, port);
    EXPECT_EQ(hostile.status, 1);
    EXPECT_NE(hostile.err.find("tunelore-cli: HotSync: the handheld's database list does not advance\n"),
              std::string::npos)
        << hostile.err;
    EXPECT_EQ(hostile.out, "");

    // A cancel on the handheld.
    FakeHandheld cancelling;
    cancelling.cancelOnConduit = true;
    const std::uint16_t port2 = FreePort();
    const CliRun cancelled =
        Run({"install", "--hotsync", Net(port2), "--timeout", "20", Data("../hotsync/OnBoardHeaderV40.pdb")},
            &cancelling,
            port2);
    EXPECT_EQ(cancelled.status, 1);
    EXPECT_NE(cancelled.err.find("the sync was cancelled on the handheld"), std::string::npos) << cancelled.err;

    // A file that is no database is refused before any HotSync starts.
    const CliRun malformed = Run({"install", "--hotsync", Net(FreePort()), "--timeout", "1", Data("chords.txt")});
    EXPECT_EQ(malformed.status, 1);
    EXPECT_NE(malformed.err.find("chords.txt is not a Palm database"), std::string::npos) << malformed.err;
    EXPECT_EQ(malformed.err.find("Press the HotSync button"), std::string::npos) << malformed.err;
}

TEST_F(CliHotSyncTest, InstallToAFolderCopiesTheFileUnchanged)
{
    // A database written by another program, in a layout this program would not write itself.
    const std::string pdb = std::string(TEST_DATA_DIR) + "/hotsync/OnBoardHeaderV40.pdb";
    fs::create_directories(m_root / "card");
    const std::string command = "env -u XDG_DATA_HOME HOME=" + Quote(Work("home")) + " " + Quote(TUNELORE_CLI) +
                                " install --install-to " + Quote(Work("card")) + " " + Quote(pdb) + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    // The copy on the card and the one kept in the user's data folder.
    std::size_t copies = 0;
    for (const auto& entry : fs::recursive_directory_iterator(m_root)) {
        if (entry.path().extension() == ".pdb") {
            EXPECT_TRUE(Bytes(entry.path()) == Bytes(pdb)) << entry.path() << " differs from the file installed";
            ++copies;
        }
    }
    EXPECT_EQ(copies, 2u);
}
