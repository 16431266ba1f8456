// Runs the built tunelore-cli on the files under tests/data/cli and compares what it writes byte for byte.

#include "jobs/Export.h"
#include "pdb/AtomicFile.h"
#include "pdb/PalmDatabase.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#if defined(_WIN32)
#else
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;

namespace {
const fs::path DATA = fs::path(TEST_DATA_DIR) / "cli";
const std::string FIXED_TIME = "SOURCE_DATE_EPOCH=1136073600"; // 2006-01-01T00:00:00Z

std::string ReadFile(const fs::path& path)
{
    const std::optional<std::string> bytes = ReadFileBytes(path.string());
    EXPECT_TRUE(bytes) << path;
    return bytes.value_or(std::string());
}

#if defined(_WIN32)
// For cmd.exe, which runs the commands on Windows; no argument of these tests holds a double quote.
std::string Quote(const std::string& word)
{
    return '"' + word + '"';
}
// Each NAME=value set for this command only, then the program by its Windows path.
std::string CliCommand(const std::string& environment)
{
    std::string command;
    std::istringstream words(environment);
    for (std::string word; words >> word;)
        command += "set " + Quote(word) + "&& ";
    return command + Quote(fs::path(TUNELORE_CLI).make_preferred().string());
}
int ExitStatus(int raw)
{
    return raw;
}
#else
std::string Quote(const std::string& word)
{
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
std::string CliCommand(const std::string& environment)
{
    return "env " + environment + " " + Quote(TUNELORE_CLI);
}
int ExitStatus(int raw)
{
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}
#endif

struct CliRun
{
    int status = -1;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test
{
protected:
    void SetUp() override { fs::create_directories(m_root / "work"); }

    // Runs tunelore-cli with `args`; `environment` holds NAME=value words set for the run.
    CliRun Run(const std::vector<std::string>& args, const std::string& environment = FIXED_TIME)
    {
        std::string command = CliCommand(environment);
        for (const std::string& arg : args)
            command += " " + Quote(arg);
        command += " >" + Quote((m_root / "stdout").string()) + " 2>" + Quote((m_root / "stderr").string());
        const int raw = std::system(command.c_str());
        CliRun run;
        run.status = ExitStatus(raw);
        run.out = ReadFile(m_root / "stdout");
        run.err = ReadFile(m_root / "stderr");
        return run;
    }

    std::string Work(const std::string& name) const { return (m_root / "work" / name).string(); }
    static std::string Data(const std::string& name) { return (DATA / name).string(); }

    // Builds the three sample songs (or the chord list) and rewrites the result with `type`, as the
    // handheld's own database would be.
    std::string MakeHandheldDatabase(const std::string& path, bool chords)
    {
        const std::vector<std::string> inputs = chords ? std::vector<std::string>{Data("chords.txt")} : SongFiles();
        std::vector<std::string> args{"build", "-o", path};
        args.insert(args.end(), inputs.begin(), inputs.end());
        EXPECT_EQ(Run(args).status, 0);
        CPalmDatabase database;
        EXPECT_EQ(database.ReadFromFile(path), 0);
        database.m_type = chords ? CHORD_DB_TYPE : SONG_DB_TYPE;
        EXPECT_EQ(database.WriteToFile(path), 0);
        return path;
    }

    static std::vector<std::string> SongFiles()
    {
        return {Data("songs/cafe.pro"), Data("songs/creme-cp1252.txt"), Data("songs/morning.TAB")};
    }

    TempDir m_dir;
    const fs::path m_root = m_dir.Path();
};

TEST_F(CliTest, BuildWritesTheExpectedSongDatabase)
{
    std::vector<std::string> args{"build", "--name", "TuneloreDB12345", "-o", Work("songs.pdb")};
    for (const std::string& file : SongFiles())
        args.push_back(file);
    const CliRun run = Run(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("song import database TuneloreDB12345 (3 songs)"), std::string::npos) << run.out;
    EXPECT_EQ(ReadFile(Work("songs.pdb")), ReadFile(DATA / "expected/songs.pdb"));

    // Without --name the random number is the C library's first after seeding with SOURCE_DATE_EPOCH, so the
    // same inputs give the same bytes; only the name field differs from the named build.
    args.erase(args.begin() + 1, args.begin() + 3);
    args[2] = Work("random.pdb");
    ASSERT_EQ(Run(args).status, 0);
    std::srand(1136073600);
    std::string expected = ReadFile(DATA / "expected/songs.pdb");
    expected.replace(0, 32, ("TuneloreDB" + std::to_string(std::rand() % 100000)).append(32, '\0').substr(0, 32));
    EXPECT_EQ(ReadFile(Work("random.pdb")), expected);
}

TEST_F(CliTest, ChordListAsFirstFileBuildsTheChordDatabaseFromItAlone)
{
    const CliRun run = Run(
        {"build", "--name", "TuneloreChordDB7", "-o", Work("chords.pdb"), Data("chords.txt"), Data("songs/cafe.pro")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("chord import database TuneloreChordDB7 (4 chords)"), std::string::npos) << run.out;
    EXPECT_EQ(ReadFile(Work("chords.pdb")), ReadFile(DATA / "expected/chords.pdb"));
}

TEST_F(CliTest, ConvertPrintsTheLoadedTextInUtf8)
{
    const std::pair<const char*, const char*> cases[] = {{"songs/morning.TAB", "expected/morning.pro"},
                                                         {"songs/creme-cp1252.txt", "expected/creme.txt"},
                                                         {"songs/cafe.pro", "songs/cafe.pro"}};
    for (const auto& [input, expected] : cases) {
        SCOPED_TRACE(input);
        const CliRun run = Run({"convert", Data(input)});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, ReadFile(DATA / expected));
    }
    // --sheet converts a plain text file too.
    const CliRun sheet = Run({"convert", "--sheet", Data("songs/creme-cp1252.txt")});
    EXPECT_EQ(sheet.status, 0) << sheet.err;
    EXPECT_NE(sheet.out, ReadFile(DATA / "expected/creme.txt"));
    EXPECT_NE(sheet.out.find("{title: "), std::string::npos) << sheet.out;
}

TEST_F(CliTest, ExtractGivesBackWhatBuildTookIn)
{
    // An import database as build writes it (type SONM) is extracted like the handheld's.
    ASSERT_EQ(Run({"build", "-o", Work("import.pdb"), Data("songs/cafe.pro")}).status, 0);
    CliRun run = Run({"extract", Work("import.pdb"), Work("import")});
    EXPECT_EQ(ReadFile(Work("import/Caf\xC3\xA9 Song - Live.pro")), ReadFile(Data("songs/cafe.pro"))) << run.err;

    const std::string songs = MakeHandheldDatabase(Work("songs.pdb"), false);
    run = Run({"extract", songs, Work("out/songs")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Wrote 3 songs"), std::string::npos) << run.out;
    // Each song comes back as `convert` printed it; the converted tab text had lost its final line end,
    // which the record's LF line ends give back.
    struct Extracted
    {
        const char* file;
        const char* expected;
        const char* appended;
    };
    const Extracted files[] = {{"Caf\xC3\xA9 Song - Live.pro", "songs/cafe.pro", ""},
                               {"Cr\xC3\xA8me Br\xC3\xBBl\xC3\xA9"
                                "e.pro",
                                "expected/creme.txt",
                                ""},
                               {"Morning Tab.pro", "expected/morning.pro", "\r\n"}};
    for (const auto& [name, expected, appended] : files) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadFile(Work("out/songs/") + name), ReadFile(DATA / expected) + appended);
    }

    const std::string chords = MakeHandheldDatabase(Work("chords.pdb"), true);
    run = Run({"extract", chords, Work("chords.txt")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(Work("chords.txt")),
              "C x 3 2 0 1 0\r\nG 3 2 0 0 0 3\r\nDsus4 x x 0 2 x x\r\nAm7/G 3 0 2 0 1 0\r\n");
}

TEST_F(CliTest, InfoJsonDescribesHeaderAndRecords)
{
    CliRun run = Run({"info", "--json", Data("expected/songs.pdb")});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json songs = nlohmann::json::parse(run.out);
    EXPECT_EQ(songs["name"], "TuneloreDB12345");
    EXPECT_EQ(songs["type"], "SONM");
    EXPECT_EQ(songs["creator"], "TuNe");
    EXPECT_EQ(songs["attributes"], 8);
    EXPECT_EQ(songs["creationDate"], "2006-01-01T00:00:00Z");
    EXPECT_EQ(songs["backupDate"], "2006-01-01T00:00:00Z");
    ASSERT_EQ(songs["recordCount"], 3);
    const char* names[] = {"Caf\xC3\xA9 Song - Live",
                           "Cr\xC3\xA8me Br\xC3\xBBl\xC3\xA9"
                           "e",
                           "Morning Tab"};
    std::uint32_t offset = 80 + 8 * 3;
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const nlohmann::json& record = songs["records"][static_cast<std::size_t>(i)];
        EXPECT_EQ(record["offset"], offset);
        EXPECT_EQ(record["displayName"], names[i]);
        offset += record["length"].get<std::uint32_t>();
    }
    EXPECT_EQ(offset, fs::file_size(DATA / "expected/songs.pdb"));

    // The same chords with a 6-byte app info block between the list and the first record: the offsets are the
    // file's, not the writer's layout.
    std::string bytes = ReadFile(DATA / "expected/chords.pdb");
    const std::size_t count = 4;
    const std::size_t listEnd = 78 + 8 * count;
    bytes.insert(listEnd + 2, "APPINF");
    bytes[55] = static_cast<char>(listEnd + 2); // app info offset, low byte
    for (std::size_t i = 0; i < count; ++i)
        bytes[78 + 8 * i + 3] = static_cast<char>(bytes[78 + 8 * i + 3] + 6);
    ASSERT_TRUE(WriteFileAtomically(Work("gap.pdb"), std::string_view(bytes)));
    run = Run({"info", "--json", Work("gap.pdb")});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json chords = nlohmann::json::parse(run.out);
    EXPECT_EQ(chords["records"][0]["offset"], listEnd + 2 + 6);
    EXPECT_EQ(chords["records"][0]["chord"], "C x 3 2 0 1 0");
    EXPECT_EQ(chords["records"][3]["chord"], "Am7/G 3 0 2 0 1 0");

    run = Run({"info", Work("gap.pdb")});
    EXPECT_EQ(run.status, 0);
    std::erase(run.out, '\r'); // on Windows, text output ends its lines with CR LF
    EXPECT_NE(run.out.find("record 2: offset " + std::to_string(listEnd + 28) + ", length 14, attributes 0x00, " +
                           "unique ID 0x000000: Dsus4 x x 0 2 x x\n"),
              std::string::npos)
        << run.out;
}

TEST_F(CliTest, InstallGoesWhereChosenAndSaysWhereInOneLine)
{
#if defined(_WIN32)
    GTEST_SKIP() << "the stand-in desktop helpers are shell scripts";
#endif
    const fs::path home = m_root / "home", bin = m_root / "bin", card = m_root / "card";
    const fs::path kept = home / ".local/share/tunelore-importer", conf = home / ".config/tunelore-importer";
    fs::create_directories(bin);
    fs::create_directories(card);
    // The desktop would hand .pdb files back to this program.
    std::ofstream(bin / "xdg-mime") << "#!/bin/sh\n[ $2 = filetype ] && echo application/vnd.palm"
                                    << " || echo tunelore-importer.desktop\n";
    fs::permissions(bin / "xdg-mime", fs::perms::owner_all);
    const std::string environment = "-u XDG_DATA_HOME -u XDG_CONFIG_HOME -u JPILOT_HOME " + FIXED_TIME +
                                    " HOME=" + Quote(home.string()) + " PATH=" + Quote(bin.string() + ":/usr/bin:/bin");
    struct Case
    {
        std::vector<std::string> options;
        std::string setUp; // "jpilot": J-Pilot's folder appears; "conf": the window's choice of the card
        int status;
        std::string said; // on standard output, or on standard error for a failure
    };
    const Case cases[] = {
        {{"--install", "--name", "A"}, "", 0, (kept / "A.pdb").string() + ": install it with your HotSync tool"},
        {{"--install", "--name", "\u00c9t\u00e9 \u20ac"}, "jpilot", 0, "\u20ac.pdb, queued for J-Pilot's next HotSync"},
        {{"--install-to", card.string(), "--name", "B"}, "", 0, ", copied to " + (card / "B.pdb").string()},
        {{"--install", "--name", "B"}, "conf", 0, ", copied to " + (card / "B (2).pdb").string()},
        {{"--install-with", "system"}, "", 1, "is this program (tunelore-importer.desktop)"},
        {{"--install-with", "fax"}, "", 2, "--install-with"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said);
        if (c.setUp == "jpilot")
            fs::create_directories(home / ".jpilot");
        if (c.setUp == "conf") {
            fs::create_directories(conf);
            std::ofstream(conf / "install.conf") << "destination=folder\nfolder=" << card.string() << "\n";
        }
        std::vector<std::string> args{"build", Data("songs/cafe.pro")};
        args.insert(args.begin() + 1, c.options.begin(), c.options.end());
        const CliRun run = Run(args, environment);
        EXPECT_EQ(run.status, c.status) << run.err;
        const std::string& said = c.status == 0 ? run.out : run.err;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ((c.status == 0 ? run.err : run.out), "");
    }
    // J-Pilot's list holds the one database queued for it, by its UTF-8 name; every install was kept.
    EXPECT_EQ(ReadFile(home / ".jpilot/jpilot.install"), (kept / "\u00c9t\u00e9 \u20ac.pdb").string() + "\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(kept), fs::directory_iterator()), 5);
}

TEST_F(CliTest, ExitStatusesAndNothingWrittenOnFailure)
{
    fs::create_directories(m_root / "in");
    const std::string songDatabase = MakeHandheldDatabase((m_root / "in/songs.pdb").string(), false);
    const std::string truncated = (m_root / "in/truncated.pdb").string();
    ASSERT_TRUE(WriteFileAtomically(truncated, std::string_view(ReadFile(songDatabase)).substr(0, 100)));
    const std::string cafe = Data("songs/cafe.pro");
    const std::string out = Work("out.pdb");
    const std::string unwritable = Work("no/such/folder/out.pdb");
    struct Case
    {
        const char* what;
        std::vector<std::string> args;
        int status;
        std::string message;
        std::string environment = FIXED_TIME;
    };
    const Case cases[] = {
        {"help", {"--help"}, 0, ""},
        {"version", {"--version"}, 0, ""},
        {"no command", {}, 2, "subcommand"},
        {"unknown command", {"frobnicate"}, 2, ""},
        {"build without destination", {"build", cafe}, 2, ""},
        {"build with two destinations", {"build", "-o", out, "--install", cafe}, 2, ""},
        {"name of 32 bytes", {"build", "--name", std::string(32, 'N'), "-o", out, cafe}, 2, "31"},
        {"extract without destination", {"extract", songDatabase}, 2, ""},
        {"missing input", {"build", "-o", out, cafe, Work("missing.pro")}, 1, "Can't read file " + Work("missing.pro")},
        {"song database as input", {"build", "-o", out, songDatabase}, 1, "tunelore-cli extract"},
        {"extract of a text", {"extract", cafe, Work("dest")}, 1, "not a readable Palm database"},
        {"info of a cut database", {"info", truncated}, 1, "not a readable Palm database"},
        {"convert of a missing file", {"convert", Work("missing.pro")}, 1, "Can't read file"},
        {"write into a missing folder", {"build", "-o", unwritable, cafe}, 1, "Can't write file " + unwritable},
        {"malformed SOURCE_DATE_EPOCH", {"build", "-o", out, cafe}, 1, "SOURCE_DATE_EPOCH", "SOURCE_DATE_EPOCH=soon"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CliRun run = Run(c.args, c.environment);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        if (c.status != 0) {
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
            EXPECT_TRUE(fs::is_empty(m_root / "work"));
        }
    }
    EXPECT_NE(Run({"--version"}).out.find(TUNELORE_VERSION), std::string::npos);
}

TEST_F(CliTest, WarningsNameTheFileAndStrictWritesNothing)
{
    const fs::path corpus = CORPUS_DIR;
    if (!fs::exists(corpus / "derived")) {
        GTEST_SKIP() << "corpus not found: " << corpus;
    }
    // A songbook file longer than a record holds, and chords written with the sharp sign, which now fit.
    const std::string sharp = (corpus / "derived/060_crd_1.unicode-sharp.crd").string();
    const std::string songbook = Work("songbook.pro");
    std::ofstream(songbook) << ReadFile(corpus / "chordpro/cantare/lorem-ipsum.cho")
                            << ReadFile(corpus / "crd/ukulele-songbook/shortnin-bread2.txt");
    const auto build = [&](std::vector<std::string> args) {
        args.insert(args.end(), {"--name", "\xCE\xA9mega", sharp, songbook});
        return Run(args);
    };

    CliRun run = build({"build", "-o", Work("songs.pdb")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.err.starts_with("warning: --name: the database name \"\xCE\xA9mega\" becomes \"?mega\"\n"
                                    "warning: " +
                                    songbook + ": cut at 7999 characters: "))
        << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;

    run = build({"build", "--strict", "-o", Work("strict.pdb")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("2 warnings with --strict: nothing written"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(Work("strict.pdb")));
    EXPECT_EQ(Run({"build", "--strict", "-o", Work("strict.pdb"), sharp}).status, 0);
}
} // namespace
