// tunelore-cli's HotSync against a scripted handheld connecting over loopback TCP as a network HotSync does: the
// lines it prints, its exit statuses, and that what it installs and extracts is what the file commands write.

#include "jobs/TuneloreDatabase.h"
#include "tests/cli/CliRun.h"
#include "tests/hotsync/FakeHandheld.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string Bytes(const fs::path& path)
{
    return ReadFileBytes(Utf8FromPath(path)).value_or("<missing>");
}

class CliHotSyncTest : public ::testing::Test
{
protected:
    // Runs tunelore-cli with the time fixed; a handheld given plays a new session of NetSync (or with `serial` the
    // serial link's packets) on port m_port, which NET names; HOTSYNC stands for --hotsync NET --timeout 20.
    CliRun Run(std::vector<std::string> args, FakeHandheld* handheld = nullptr, bool serial = false)
    {
        std::string command = "env " + m_environment + "SOURCE_DATE_EPOCH=1136073600 " + Quote(TUNELORE_CLI);
        for (const std::string& arg : args)
            command += " " + (arg == "HOTSYNC" ? "--hotsync " + Quote(Net()) + " --timeout 20"
                                               : Quote(arg == "NET" ? Net() : arg));
        command += " >" + Quote(Work("stdout")) + " 2>" + Quote(Work("stderr"));
        std::thread device;
        if (handheld != nullptr) {
            handheld->ended.reset();
            device = HandheldConnecting(*handheld, m_port, serial);
        }
        const int status = RunCommand(command);
        if (device.joinable())
            device.join();
        m_port = FreePort();
        return {status, Bytes(Work("stdout")), Bytes(Work("stderr"))};
    }
    std::string Work(const std::string& name) const { return (m_root / name).string(); }
    static std::string Data(const std::string& name) { return std::string(TEST_DATA_DIR) + "/cli/" + name; }
    std::string Net() const { return "net:127.0.0.1:" + std::to_string(m_port); }

    static CPalmDatabase Load(const std::string& path)
    {
        Result<CPalmDatabase> read = CPalmDatabase::Read(path);
        EXPECT_TRUE(read) << path << ": " << (read ? "" : read.error().text);
        return read.value_or(CPalmDatabase());
    }

    TempDir m_dir;
    const fs::path m_root = m_dir.Path();
    std::string m_environment; // env's options before the time, each followed by a blank
    std::uint16_t m_port = FreePort();
};

} // namespace

TEST_F(CliHotSyncTest, BuildInstallsExactlyTheRecordsBuildWritesAndKeepsWhatIsThereWithoutReplace)
{
    const std::vector<std::string> songs{
        Data("songs/cafe.pro"), Data("songs/creme-cp1252.txt"), Data("songs/morning.TAB")};
    ASSERT_EQ(Run({"build", "--name", "MySongs", "-o", Work("songs.pdb"), songs[0], songs[1], songs[2]}).status, 0);
    const CPalmDatabase expected = Load(Work("songs.pdb"));

    for (const bool serial : {true, false}) {
        SCOPED_TRACE(serial ? "serial-net" : "net");
        FakeHandheld handheld;
        const std::string connection = serial ? "serial-net:127.0.0.1:" + std::to_string(m_port) : "NET";
        const std::string port = std::to_string(m_port);
        const CliRun installed = Run(
            {"build", "--name", "MySongs", "--hotsync", connection, "--timeout", "20", songs[0], songs[1], songs[2]},
            &handheld,
            serial);
        ASSERT_EQ(installed.status, 0) << installed.err;
        // The prompt names where the program waits, so a handheld on another connection is noticed.
        const std::string where = serial ? "Waiting for an emulator's serial port over TCP on 127.0.0.1 port "
                                         : "Waiting for network HotSync on 127.0.0.1 port ";
        EXPECT_TRUE(installed.err.starts_with("Press the HotSync button on the handheld\n" + where + port + "\n"))
            << installed.err;
        EXPECT_NE(installed.err.find("Installing MySongs (3 records)"), std::string::npos) << installed.err;
        EXPECT_EQ(installed.out, "Installed song import database MySongs (3 songs) on the handheld by HotSync\n");
        const CPalmDatabase& onHandheld = handheld.databases["MySongs"];
        EXPECT_EQ(std::tuple(onHandheld.m_creator, onHandheld.m_type, Records(onHandheld)),
                  std::tuple(expected.m_creator, expected.m_type, Records(expected)));
        EXPECT_EQ(
            std::tuple(handheld.log, handheld.ended),
            std::tuple(std::vector<std::string>{"Tunelore installed MySongs\n"}, std::optional<std::uint16_t>(0)));
    }

    // build --install goes by HotSync over the connection the window remembered in install.conf, with --replace.
    const fs::path settings = m_root / "home/.config/tunelore-importer";
    fs::create_directories(settings);
    m_environment = "-u XDG_CONFIG_HOME -u XDG_DATA_HOME -u JPILOT_HOME HOME=" + Quote(Work("home")) + " ";
    std::ofstream(settings / "install.conf") << "destination=hotsync\nconnection=" << Net() << "\n";
    FakeHandheld handheld;
    handheld.databases["MySongs"] = CPalmDatabase("MySongs", TUNELORE_CREATOR, SONG_IMPORT_TYPE, false, 0);
    const CliRun installed =
        Run({"build", "--name", "MySongs", "--install", "--replace", "--timeout", "20", songs[0]}, &handheld);
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
    ASSERT_EQ(
        Run({"build", "-o", Work("i.pdb"), "--name", "Songs", Data("songs/cafe.pro"), Data("songs/creme-cp1252.txt")})
            .status,
        0);
    ASSERT_EQ(Run({"build", "--name", "Chords", "-o", Work("c.pdb"), Data("chords.txt")}).status, 0);
    FakeHandheld handheld;
    for (const auto& [name, file, type] :
         {std::tuple("Songs", "i.pdb", SONG_DB_TYPE), {"Chords", "c.pdb", CHORD_DB_TYPE}}) {
        handheld.databases[name] = Load(Work(file));
        handheld.databases[name].m_type = type;
        ASSERT_EQ(handheld.databases[name].WriteToFile(Work(std::string(name) + ".pdb")), 0);
    }
    handheld.databases["Other"] = CPalmDatabase("Other", MakeFourCC("memo"), MakeFourCC("DATA"), false, 0);
    ASSERT_EQ(Run({"extract", Work("Songs.pdb"), Work("from-files")}).status, 0);
    ASSERT_EQ(Run({"extract", Work("Chords.pdb"), Work("from-files/Chords.txt")}).status, 0);

    const CliRun run = Run({"extract", "HOTSYNC", "--keep-pdb", Work("from-handheld")}, &handheld);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "Read 2 databases from the handheld: wrote 2 songs to " + Work("from-handheld") + " and 4 chords to " +
                  Work("from-handheld") + "/Chords.txt\n");
    EXPECT_TRUE(handheld.log.empty());
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(m_root / "from-files")) {
        EXPECT_EQ(Bytes(m_root / "from-handheld" / entry.path().filename()), Bytes(entry.path())) << entry.path();
        ++files;
    }
    EXPECT_EQ(files, 3u);
    // The databases read are kept as they came, records and all; only the songbook's.
    EXPECT_EQ(Records(Load(Work("from-handheld/Songs.pdb"))), Records(handheld.databases["Songs"]));
    EXPECT_FALSE(fs::exists(m_root / "from-handheld" / "Other.pdb"));
    // Again into the same folder: the songs already there are counted apart from those written.
    EXPECT_EQ(Run({"extract", "HOTSYNC", Work("from-handheld")}, &handheld).out,
              "Read 2 databases from the handheld: wrote 0 songs to " + Work("from-handheld") +
                  " (2 songs were already there, left as they were) and 4 chords to " + Work("from-handheld") +
                  "/Chords.txt\n");
    // A list there that was edited is kept with --keep-existing: the chords go beside it, and the line names where.
    const std::string list = Bytes(m_root / "from-handheld/Chords.txt");
    WriteFileBytes(Work("from-handheld/Chords.txt"), "D x x 0 2 3 2\n");
    const CliRun kept = Run({"extract", "--keep-existing", "HOTSYNC", Work("from-handheld")}, &handheld);
    EXPECT_EQ(Bytes(m_root / "from-handheld/Chords.txt") + Bytes(m_root / "from-handheld/Chords (2).txt"),
              "D x x 0 2 3 2\n" + list);
    EXPECT_TRUE(kept.out.ends_with(" and 4 chords to " + Work("from-handheld") + "/Chords (2).txt\n")) << kept.out;

    // A second song database with another text under the same title: both songs are kept.
    CPdbRecord first = handheld.databases["Songs"].GetRecord(0);
    std::vector<std::uint8_t> changed(first.Data().begin(), first.Data().end());
    changed.insert(changed.end() - 1, {'\n', 'x'});
    first.SetData(changed);
    handheld.databases["More"] = CPalmDatabase("More", TUNELORE_CREATOR, SONG_DB_TYPE, false, 0);
    handheld.databases["More"].AddRecord(first);
    handheld.databases.erase("Chords");
    ASSERT_EQ(Run({"extract", "HOTSYNC", Work("two")}, &handheld).status, 0);
    const auto two = fs::directory_iterator(m_root / "two");
    EXPECT_EQ(std::distance(fs::begin(two), fs::end(two)), 3) << "one title twice with two texts gives two files";
}

TEST_F(CliHotSyncTest, FailuresEndWithOneLineAndExitStatus1)
{
    FakeHandheld stuck; // its database list never ends
    stuck.databases["a"] = CPalmDatabase("a", 1, 2, false, 0);
    stuck.databases["b"] = CPalmDatabase("b", 1, 2, false, 0);
    stuck.listNeverAdvances = true;
    FakeHandheld cancelling;
    cancelling.cancelOnConduit = true;
    FakeHandheld existing; // holds a song database of the name built, and keeps it without --replace
    existing.databases["MySongs"] = CPalmDatabase("MySongs", TUNELORE_CREATOR, SONG_IMPORT_TYPE, false, 0);
    const std::string pdb = std::string(TEST_DATA_DIR) + "/hotsync/OnBoardHeaderV40.pdb";
    const std::vector<std::tuple<std::vector<std::string>, FakeHandheld*, std::string>> cases = {
        {{"extract", "--hotsync", "NET", "--timeout", "1", Work("out")},
         nullptr,
         "tunelore-cli: HotSync: no handheld connected within the timeout"},
        {{"extract", "HOTSYNC", Work("out")},
         &stuck,
         "tunelore-cli: HotSync: the handheld's database list does not advance\n"},
        {{"install", "HOTSYNC", pdb}, &cancelling, "the sync was cancelled on the handheld"},
        {{"build", "--name", "MySongs", "HOTSYNC", Data("songs/cafe.pro")},
         &existing,
         "tunelore-cli: HotSync: a database named \"MySongs\" is already on the handheld and was kept (--replace "
         "replaces it)\n"},
        // A file that is no database is refused before any HotSync starts.
        {{"install", "--hotsync", "NET", "--timeout", "1", Data("chords.txt")},
         nullptr,
         "chords.txt is not a Palm database"},
    };
    for (const auto& [args, handheld, error] : cases) {
        SCOPED_TRACE(args[0] + " " + error);
        const CliRun run = Run(args, handheld);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(error), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("Press") == std::string::npos, error.find("Palm database") != std::string::npos);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(existing.databases.at("MySongs").GetRecordCount(), 0);
}

TEST_F(CliHotSyncTest, InstallToAFolderCopiesTheFileUnchanged)
{
    // A database written by another program, in a layout this program would not write itself: the copy on the
    // card and the one kept in the user's data folder are the file as it stands.
    const std::string pdb = Data("../hotsync/OnBoardHeaderV40.pdb");
    fs::create_directories(m_root / "card");
    m_environment = "-u XDG_DATA_HOME HOME=" + Quote(Work("home")) + " ";
    ASSERT_EQ(Run({"install", "--install-to", Work("card"), pdb}).status, 0);
    std::size_t copies = 0;
    for (const auto& entry : fs::recursive_directory_iterator(m_root))
        if (entry.path().extension() == ".pdb" && ++copies) {
            EXPECT_TRUE(Bytes(entry.path()) == Bytes(pdb)) << entry.path() << " differs from the file installed";
        }
    EXPECT_EQ(copies, 2u);
}
