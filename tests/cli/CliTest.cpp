// Runs the built tunelore-cli on the files under tests/data/cli and compares what it writes byte for byte.

#include "jobs/TuneloreDatabase.h"
#include "tests/cli/CliRun.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDatabase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {
const fs::path DATA = fs::path(TEST_DATA_DIR) / "cli";
const std::string FIXED_TIME = "SOURCE_DATE_EPOCH=1136073600"; // 2006-01-01T00:00:00Z
const std::string CREME = "Cr\u00e8me Br\u00fbl\u00e9e";

#if defined(_WIN32)
// Each NAME=value set for this command only, then the program by its Windows path.
std::string CliCommand(const std::string& environment)
{
    std::string command;
    std::istringstream words(environment);
    for (std::string word; words >> word;)
        command += "set " + Quote(word) + "&& ";
    return command + Quote(Utf8FromPath(fs::path(TUNELORE_CLI).make_preferred()));
}
// The program's standard error is a text stream on Windows, whose lines end with CR LF.
std::string WithLfLineEnds(const std::string& text)
{
    std::string lf;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text.compare(i, 2, "\r\n") != 0)
            lf += text[i];
    return lf;
}
#else
std::string CliCommand(const std::string& environment)
{
    return "env " + environment + " " + Quote(TUNELORE_CLI);
}
std::string WithLfLineEnds(std::string text)
{
    return text;
}
#endif

class CliTest : public ::testing::Test
{
protected:
    void SetUp() override { fs::create_directories(m_root / "work"); }

    // Runs tunelore-cli with `args` and the NAME=value words of `environment`, reading the file `input` if named.
    CliRun Run(const std::vector<std::string>& args,
               const std::string& environment = FIXED_TIME,
               const std::string& input = {})
    {
        std::string command = CliCommand(environment);
        for (const std::string& arg : args)
            command += " " + Quote(arg);
        if (!input.empty())
            command += " <" + Quote(input);
        command += " >" + Quote(Utf8FromPath(m_root / "stdout")) + " 2>" + Quote(Utf8FromPath(m_root / "stderr"));
        const int status = RunCommand(command);
        return {status, ReadFile(m_root / "stdout"), WithLfLineEnds(ReadFile(m_root / "stderr"))};
    }

    // With the system's separators, as the program joins a folder and a file name.
    std::string Work(const std::string& name) const
    {
        return Utf8FromPath((m_root / "work" / PathFromUtf8(name)).make_preferred());
    }
    static std::string Data(const std::string& name) { return Utf8FromPath(DATA / PathFromUtf8(name)); }
    // The bytes of a file named by a UTF-8 string (as the program's arguments are) or by a path.
    static std::string ReadFile(const std::string& path)
    {
        const std::optional<std::string> bytes = ReadFileBytes(path);
        EXPECT_TRUE(bytes) << path;
        return bytes.value_or(std::string());
    }
    static std::string ReadFile(const fs::path& path) { return ReadFile(Utf8FromPath(path)); }
    // Whether `text` holds `part`; a failure shows the whole text.
    static ::testing::AssertionResult Holds(const std::string& text, const std::string& part)
    {
        if (text.find(part) != std::string::npos)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
    }

    TempDir m_dir;
    const fs::path m_root = m_dir.Path();
};

TEST_F(CliTest, BuildWritesTheExpectedDatabases)
{
    // The first file decides: a chord list makes a chord database of itself alone.
    const std::tuple<std::string, std::string, std::vector<std::string>> cases[] = {
        {"songs.pdb", "TuneloreDB12345 (3 songs)", {"songs/cafe.pro", "songs/creme-cp1252.txt", "songs/morning.TAB"}},
        {"songs.pdb", "TuneloreDB12345 (3 songs)", {"songs"}}, // a folder: its song files in name order
        {"chords.pdb", "TuneloreChordDB7 (4 chords)", {"chords.txt", "songs/cafe.pro"}}};
    for (const auto& [expected, said, files] : cases) {
        std::vector<std::string> args{"build", "--name", said.substr(0, said.find(' ')), "-o", Work(expected)};
        for (const std::string& file : files)
            args.push_back(Data(file));
        const CliRun run = Run(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(Holds(run.out, " import database " + said));
        EXPECT_EQ(ReadFile(Work(expected)), ReadFile(DATA / "expected" / expected));
    }
}

// Without SOURCE_DATE_EPOCH a drawn name's number comes from the system's random source: builds in one second differ.
TEST_F(CliTest, DrawnNamesDifferFromBuildToBuild)
{
#if defined(_WIN32)
    const std::string unset = "SOURCE_DATE_EPOCH="; // cmd.exe's set with nothing after "=" removes it
#else
    const std::string unset = "-u SOURCE_DATE_EPOCH";
#endif
    std::set<std::string> names;
    for (int build = 0; build < 6; ++build) {
        const CliRun run = Run({"build", "-o", Work("x.pdb"), Data("songs/cafe.pro")}, unset);
        ASSERT_EQ(run.status, 0) << run.err;
        names.insert(run.out.substr(0, run.out.find(" (")));
    }
    EXPECT_GE(names.size(), 5u);
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
    // --sheet converts a plain text file too: its first line becomes the title.
    const std::string creme = ReadFile(DATA / "expected/creme.txt");
    EXPECT_EQ(Run({"convert", "--sheet", Data("songs/creme-cp1252.txt")}).out,
              "{title: " + CREME + "}" + creme.substr(creme.find('\r')));
    // A songbook file's songs, each after its {new_song} line; a build names a song's loss by its place.
    const std::string b(8100, 'b');
    WriteFileBytes(Work("book.pro"), "{t:A}\n{ns}\n{t:B}\n" + b);
    EXPECT_EQ(Run({"convert", Work("book.pro")}).out, "{t:A}\r\n{new_song}\r\n{t:B}\r\n" + b + "\r\n");
    WriteFileBytes(Work("book.tab"), "G\nla\n{ns}\nAm\nlo\n"); // a converted song ends without a line end
    EXPECT_EQ(Run({"convert", Work("book.tab")}).out, "[G]la\r\n{new_song}\r\n[Am]lo");
    const CliRun book = Run({"build", "-o", Work("book.pdb"), Work("book.pro")});
    EXPECT_TRUE(Holds(book.out, " (2 songs) "));
    EXPECT_TRUE(book.err.starts_with("warning: " + Work("book.pro") + ", song 2: cut at 7999")) << book.err;
}

TEST_F(CliTest, ExtractGivesBackWhatBuildTookIn)
{
    const std::string songs = Data("expected/songs.pdb");
    CliRun run = Run({"extract", songs, Work("songs")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Holds(run.out, "Wrote 3 songs"));
    // Songs come back as `convert` printed them; the tab song's lost final line end is given back by its LF line ends.
    const std::string morning = Work("songs/Morning Tab.pro"), morningText = ReadFile(DATA / "expected/morning.pro");
    EXPECT_EQ(ReadFile(Work("songs/Caf\xC3\xA9 Song - Live.pro")), ReadFile(DATA / "songs/cafe.pro"));
    EXPECT_EQ(ReadFile(Work("songs/" + CREME + ".pro")), ReadFile(DATA / "expected/creme.txt"));
    EXPECT_EQ(ReadFile(morning), morningText + "\r\n");

    // A chord list written over another (of one chord); the C1 control character of its path is shown escaped.
    const std::string chords = Work("chords \xC2\x85.txt"),
                      list = "C x 3 2 0 1 0\r\nG 3 2 0 0 0 3\r\nDsus4 x x 0 2 x x\r\nAm7/G 3 0 2 0 1 0\r\n";
    WriteFileBytes(chords, "D x x 0 2 3 2\n");
    run = Run({"extract", Data("expected/chords.pdb"), chords});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(chords) + run.err,
              list + "tunelore-cli: note: replaced " + Work("chords \\x85.txt") + ", which held a different text\n");
    EXPECT_TRUE(Holds(run.out, "to " + Work("chords \\x85.txt")));
    run = Run({"extract", Data("expected/chords.pdb"), chords}); // again: the list already holds them
    EXPECT_TRUE(Holds(run.out, Work("chords \\x85.txt") + " already held the 4 chords, left as it was"));

    // An empty file takes the list; a folder gets one named after the database, never in a song's place.
    WriteFileBytes(Work("empty.txt"), "");
    WriteFileBytes(Work("songs/TuneloreChordDB7.txt"), "{t:Mine}\n");
    run = Run({"extract", Data("expected/chords.pdb"), Work("empty.txt")});
    EXPECT_EQ(std::pair(run.status, ReadFile(Work("empty.txt"))), std::pair(0, list));
    run = Run({"extract", Data("expected/chords.pdb"), Work("songs")});
    EXPECT_EQ(ReadFile(Work("songs/TuneloreChordDB7.txt")) + ReadFile(Work("songs/TuneloreChordDB7 (2).txt")),
              "{t:Mine}\n" + list);
    // (Standard output is a text stream on Windows: its line ends in CR LF there.)
    EXPECT_EQ(run.out.substr(0, run.out.find_first_of("\r\n")) + "\n",
              "Wrote 4 chords to " + Work("songs/TuneloreChordDB7 (2).txt") + "\n");
    // A name ending in a separator is a folder, made when missing (a slash: cmd.exe reads \" as a quote).
    EXPECT_EQ(Run({"extract", Data("expected/chords.pdb"), Work("new") + "/"}).status, 0);
    EXPECT_EQ(ReadFile(Work("new/TuneloreChordDB7.txt")), list);

    // Again: files holding their song are counted apart, without a word; an edited one is kept or replaced with a note.
    run = Run({"extract", songs, Work("songs")});
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(
        Holds(run.out, "Wrote 0 songs to " + Work("songs") + "; 3 songs were already there, left as they were"));
    WriteFileBytes(morning, "edited");
    run = Run({"extract", "--keep-existing", songs, Work("songs")});
    EXPECT_EQ(ReadFile(morning) + ReadFile(Work("songs/Morning Tab (2).pro")) + run.err,
              "edited" + morningText + "\r\n");
    fs::remove(Work("songs/Morning Tab (2).pro"));
    run = Run({"extract", songs, Work("songs")});
    EXPECT_EQ(ReadFile(morning) + run.err,
              morningText + "\r\ntunelore-cli: note: replaced " + morning + ", which held a different text\n");

    // What is in the way of a song's file is named with the system's cause.
    fs::remove(PathFromUtf8(morning));
    fs::create_directories(PathFromUtf8(morning + "/inside"));
    run = Run({"extract", songs, Work("songs")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Holds(
        run.err, "Can't write file " + morning + ": " + std::make_error_code(std::errc::is_a_directory).message()));
}

TEST_F(CliTest, InfoDescribesHeaderAndRecords)
{
    CliRun run = Run({"info", "--json", Data("expected/songs.pdb")});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json songs = nlohmann::json::parse(run.out), record = songs["records"][1];
    EXPECT_EQ(std::tuple(songs["name"], songs["type"], songs["creator"], songs["creationDate"], songs["recordCount"]),
              std::tuple("TuneloreDB12345", "SONM", "TuNe", "2006-01-01T00:00:00Z", 3));
    EXPECT_EQ(std::tuple(record["offset"], record["length"], record["displayName"]), std::tuple(178, 63, CREME));

    // A chord name with a blank extracts into a line that no longer reads as a chord definition: a warning.
    WriteTestDatabase(
        Work("blank.pdb"), TUNELORE_CREATOR, CHORD_DB_TYPE, {"\0\3\2\0\1\0\0\0C\0"s, "\0\0\2\2\1\0\0\0A m\0"s});
    run = Run({"extract", Work("blank.pdb"), Work("blank.txt")});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(
        Holds(run.err, "warning: " + Work("blank.txt") + ": 1 chord line does not read back as a chord definition"));

    run = Run({"info", Data("expected/chords.pdb")});
    EXPECT_EQ(run.status, 0);
    std::erase(run.out, '\r'); // on Windows, text output ends its lines with CR LF
    EXPECT_TRUE(
        Holds(run.out, "\nrecord 2: offset 132, length 14, attributes 0x00, unique ID 0x000000: Dsus4 x x 0 2 x x\n"));

    // A record of a song database that holds no song is named for what it is.
    WriteTestDatabase(Work("marker.pdb"), TUNELORE_CREATOR, SONG_DB_TYPE, {std::string("\xFF\xEE\xDD\0\1\2", 6)});
    run = Run({"info", Work("marker.pdb")});
    EXPECT_TRUE(Holds(run.out, ", marker record"));
    run = Run({"info", "--json", Work("marker.pdb")});
    EXPECT_EQ(nlohmann::json::parse(run.out)["records"][0]["note"], "marker record") << run.out;

    // Control characters are shown escaped wherever they stand in a name, the last byte included.
    CPalmDatabase named("\x1BSo\tngs\x7F", TUNELORE_CREATOR, SONG_IMPORT_TYPE, false, 1136073600u);
    ASSERT_EQ(named.WriteToFile(Work("named.pdb")), 0);
    run = Run({"info", Work("named.pdb")});
    std::erase(run.out, '\r');
    EXPECT_TRUE(Holds(run.out, "name:                \\x1BSo\\x09ngs\\x7F\n"));
#if !defined(_WIN32) // no Windows file name holds a control character
    run = Run({"build", "-o", Work("songs\x1B\x7F"), Data("songs/cafe.pro")});
    EXPECT_TRUE(Holds(run.out, " to " + Work("songs\\x1B\\x7F") + "\n"));
#endif
}

TEST_F(CliTest, InstallGoesWhereChosenAndSaysWhereInOneLine)
{
#if defined(_WIN32)
    GTEST_SKIP() << "the stand-in desktop helpers are shell scripts";
#endif
    const fs::path home = m_root / "home", bin = m_root / "bin", card = m_root / "card";
    const fs::path kept = home / ".local/share/tunelore-importer", conf = home / ".config/tunelore-importer";
    for (const fs::path& folder : {bin, card})
        fs::create_directories(folder);
    // The desktop would hand .pdb files back to this program.
    std::ofstream(bin / "xdg-mime") << "#!/bin/sh\n[ $2 = filetype ] && echo application/vnd.palm"
                                    << " || echo tunelore-importer.desktop\n";
    fs::permissions(bin / "xdg-mime", fs::perms::owner_all);
    const std::string environment = "-u XDG_DATA_HOME -u XDG_CONFIG_HOME -u JPILOT_HOME " + FIXED_TIME +
                                    " HOME=" + Quote(home.string()) + " PATH=" + Quote(bin.string() + ":/usr/bin:/bin");
    // Options, set-up ("jpilot": J-Pilot's folder made; "conf": the window chose the card), status, the one line said.
    const std::tuple<std::vector<std::string>, std::string, int, std::string> cases[] = {
        {{"--install", "--name", "\u00c9t\u00e9 \u20ac"}, "jpilot", 0, "\u20ac.pdb, queued for J-Pilot's next HotSync"},
        // A name given that looks drawn stays, even when the folder has it already.
        {{"--install", "--name", "TuneloreDB7"}, "", 0, (kept / "TuneloreDB7.pdb").string() + ", queued"},
        {{"--install", "--name", "TuneloreDB7"}, "", 0, (kept / "TuneloreDB7 (2).pdb").string() + ", queued"},
        {{"--install-to", card.string(), "--name", "B"}, "", 0, ", copied to " + (card / "B.pdb").string()},
        {{"--install", "--name", "B"}, "conf", 0, ", copied to " + (card / "B (2).pdb").string()},
        {{"--install-with", "system"}, "", 1, "is this program (tunelore-importer.desktop)"},
        {{"--install-with", "fax"}, "", 2, "--install-with"},
        {{"--install-to", card.string(), "--timeout", "1"}, "", 2, "--timeout: only with --hotsync or --install"},
        {{"--install", "--timeout", "0"}, "", 2, "--timeout: the number of seconds must be above 0"},
    };
    // With nothing chosen and no J-Pilot, the install goes by HotSync over USB, and waits for the handheld.
    const CliRun usb = Run({"build", "--install", "--timeout", "0.2", Data("songs/cafe.pro")}, environment);
    const std::string press = "Press the HotSync button on the handheld\n";
    EXPECT_EQ(std::tuple(usb.status, usb.out), std::tuple(1, ""));
    EXPECT_TRUE(usb.err.starts_with(press + "Waiting on USB (cradle or cable)\ntunelore-cli: HotSync")) << usb.err;
    const CliRun serial = Run({"build", "--hotsync", "serial:/no/tty:57600", Data("songs/cafe.pro")}, environment);
    EXPECT_EQ(serial.status, 1);
    EXPECT_EQ(serial.err,
              press + "Waiting on serial port /no/tty at 57600 bit/s\n"
                      "tunelore-cli: HotSync: There is no serial port /no/tty\n");
    for (const auto& [options, setUp, status, expected] : cases) {
        SCOPED_TRACE(expected);
        if (setUp == "jpilot")
            fs::create_directories(home / ".jpilot");
        if (setUp == "conf") {
            fs::create_directories(conf);
            std::ofstream(conf / "install.conf") << "destination=folder\nfolder=" << card.string() << "\n";
        }
        std::vector<std::string> args{"build", Data("songs/cafe.pro")};
        args.insert(args.begin() + 1, options.begin(), options.end());
        const CliRun run = Run(args, environment);
        EXPECT_EQ(run.status, status) << run.err;
        const std::string& said = status == 0 ? run.out : run.err;
        EXPECT_TRUE(Holds(said, expected));
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ((status == 0 ? run.err : run.out), "");
    }
}

TEST_F(CliTest, ExitStatusesAndNothingWrittenOnFailure)
{
    // Inputs in a folder of their own, which no command may change; a failure writes nothing into "work".
    const std::string in = Utf8FromPath(m_root / "in") + "/", again = Work("../in/");
    fs::create_directories(in + "none");
    WriteFileBytes(in + "song.pro", "{t:Song}\n");
    WriteFileBytes(in + "cut.pdb", ReadFile(DATA / "expected/songs.pdb").substr(0, 100));
    fs::copy_file(DATA / "expected/chords.pdb", in + "chords.pdb");
    fs::copy_file(DATA / "expected/chords.pdb", in + "mine.pdb");
    const std::string song = in + "song.pro", out = Work("out.pdb"), unwritable = Work("no\x1B[2J/out.pdb");
    const std::tuple<const char*, std::vector<std::string>, int, std::string> cases[] = {
        {"no command", {}, 2, "subcommand"},
        {"mistyped command", {"biuld", "-o", out, song}, 2, "unknown command \"biuld\"; did you mean build?"},
        {"unknown command", {"make", song}, 2, "unknown command \"make\" (commands: build, extract, install"},
        // A mistyped option is named first, not the destination it leaves missing.
        {"mistyped option",
         {"build", "--outptu", out, song},
         2,
         "build: unknown option --outptu; did you mean --output?"},
        {"unknown option",
         {"convert", "--fast", song},
         2,
         "convert: unknown option --fast (see tunelore-cli convert --help)"},
        {"build with two destinations", {"build", "-o", out, "--install", song}, 2, ""},
        {"name of 32 bytes", {"build", "--name", std::string(32, 'N'), "-o", out, song}, 2, "31"},
        {"name with a C1 control", {"build", "--name", "\xC2\x81x", "-o", out, song}, 2, "control characters"},
        {"extract without destination", {"extract", in + "chords.pdb"}, 2, ""},
        {"missing input", {"build", "-o", out, song, Work("missing.pro")}, 1, "Can't read file " + Work("missing.pro")},
        {"song database as input", {"build", "-o", out, Data("expected/songs.pdb")}, 1, "tunelore-cli extract"},
        {"cut database as input", {"build", "-o", out, in + "cut.pdb"}, 1, "cut.pdb is not a song or text file"},
        {"extract of a text", {"extract", song, Work("dest")}, 1, "not a readable Palm database"},
        {"info of a cut database", {"info", in + "cut.pdb"}, 1, "not a readable Palm database"},
        {"convert of a missing file", {"convert", Work("missing.pro")}, 1, "Can't read file"},
        // A control character of a path is shown, not sent to the terminal.
        {"missing folder", {"build", "-o", unwritable, song}, 1, "Can't write file " + Work("no\\x1B[2J/out.pdb")},
        {"output is an input", {"build", "-o", again + "song.pro", song}, 1, "is the same file as the input"},
        // As `build -o songs/*.pro` gives it: the first song would be lost under the database.
        {"output over a song", {"build", "-o", song, Data("songs/cafe.pro")}, 1, song + " is not a Palm database"},
        {"chord text over its database", {"extract", in + "chords.pdb", again + "chords.pdb"}, 1, "is the same file"},
        {"chord list over a song", {"extract", in + "chords.pdb", song}, 1, song + " is not a chord list, and"},
        {"chord list beside a song", {"extract", "--keep-existing", in + "chords.pdb", song}, 1, "nothing was written"},
        {"chord list over a database", {"extract", in + "chords.pdb", in + "mine.pdb"}, 1, "nothing was written"},
        {"songs into a file", {"extract", Data("expected/songs.pdb"), song}, 1, song + " is a file: the songs of a"},
        {"folder without songs", {"build", "-o", out, in + "none"}, 1, "none is a folder without song files"},
    };
    for (const auto& [what, args, status, message] : cases) {
        SCOPED_TRACE(what);
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, status) << run.err;
        EXPECT_TRUE(Holds(run.err, message));
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_TRUE(fs::is_empty(m_root / "work"));
    }
    const CliRun epoch = Run({"build", "-o", out, song}, "SOURCE_DATE_EPOCH=soon");
    EXPECT_EQ(std::tuple(epoch.status, epoch.err, fs::is_empty(m_root / "work")),
              std::tuple(1, "tunelore-cli: SOURCE_DATE_EPOCH must be a whole number of seconds since 1970\n"s, true));
    EXPECT_TRUE(Holds(Run({"--version"}).out, TUNELORE_VERSION));
    EXPECT_EQ(ReadFile(song) + ReadFile(in + "chords.pdb"), "{t:Song}\n" + ReadFile(DATA / "expected/chords.pdb"));
    EXPECT_EQ(FolderEntries(in), (std::vector<std::string>{"chords.pdb", "cut.pdb", "mine.pdb", "none", "song.pro"}));
}

TEST_F(CliTest, OnlyRegularFilesAreReadAndOpeningNeverWaits)
{
#if defined(_WIN32)
    GTEST_SKIP() << "no FIFOs or /dev";
#else
    // A FIFO without a writer would block an open that waits; `timeout` only keeps a broken build from hanging.
    const std::string fifo = Work("fifo.pdb"), pipe = Work("fifo.pro");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::vector<std::string> cases[] = {
        {"build", "-o", Work("out.pdb"), pipe},
        {"convert", pipe},
        {"info", fifo},
        {"extract", fifo, Work("songs")},
        {"info", "/dev/urandom"}, // would be read until memory runs out
    };
    for (const std::vector<std::string>& args : cases) {
        const std::string file = args.at(args[0] == "build" ? 3 : 1);
        SCOPED_TRACE(args[0] + " " + file);
        const CliRun run = Run(args, "timeout 10 env " + FIXED_TIME);
        EXPECT_EQ(std::pair(run.status, run.err),
                  std::pair(1, "tunelore-cli: Can't read file " + file + ": not a regular file\n"));
    }
    EXPECT_EQ(FolderEntries(m_root / "work"), (std::vector<std::string>{"fifo.pdb", "fifo.pro"}));
#endif
}

TEST_F(CliTest, DashReadsStandardInputForBuildConvertAndInfo)
{
    WriteFileBytes(Work("in.txt"), "{t:Piped}\nla [G]la\n");
    CliRun run = Run({"convert", "-"}, FIXED_TIME, Work("in.txt"));
    EXPECT_EQ(std::tuple(run.status, run.out, run.err), std::tuple(0, "{t:Piped}\r\nla [G]la\r\n", ""));
    run = Run(
        {"build", "--name", "Piped", "-o", Work("piped.pdb"), "-", Data("songs/cafe.pro")}, FIXED_TIME, Work("in.txt"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Holds(ReadFile(Work("piped.pdb")), "{t:Piped}\nla [G]la\n\0"s));
    // "-o -" is standard output: the database's bytes there, what was written on standard error, no file "-".
    run = Run({"build", "--name", "TuneloreDB12345", "-o", "-", Data("songs")});
    EXPECT_EQ(std::tuple(run.status, run.out == ReadFile(DATA / "expected/songs.pdb"), run.err),
              std::tuple(0, true, "Wrote song import database TuneloreDB12345 (3 songs) to standard output\n"s));
    EXPECT_FALSE(fs::remove("-")); // where the program runs
    // info reads a database there, and names "-" when it is none.
    run = Run({"info", "-"}, FIXED_TIME, Data("expected/chords.pdb"));
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(Holds(run.out, ": Dsus4 x x 0 2 x x"));
    run = Run({"info", "-"}, FIXED_TIME, Work("in.txt"));
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with("tunelore-cli: - is not a readable Palm database (fi")) << run.err;
    // More than a text file may hold is refused, pipe or not.
    WriteFileBytes(Work("big.txt"), std::string(16 * 1024 * 1024 + 1, 'a'));
    run = Run({"convert", "-"}, FIXED_TIME, Work("big.txt"));
    EXPECT_EQ(std::tuple(run.status, run.out), std::tuple(1, ""s));
    EXPECT_TRUE(Holds(run.err, "Can't read file -: the input holds more than the 16777216 bytes"));
}

TEST_F(CliTest, EveryChangeToAnInputIsAWarningThatStrictRefuses)
{
    // Files, what the warning says after "warning: <file>: ", and the file it names.
    const std::string chords = Work("chords.txt"), song = Work("song.pro");
    WriteFileBytes(chords, "C x 3 2 0 1 0\nG 3 2 0 0 0 3\n");
    WriteFileBytes(song, "{t:Song}\nla\n");
    const std::tuple<std::string, std::string, std::vector<std::string>, std::string> cases[] = {
        {"empty.pro", "", {}, "the file is empty"},
        {"blank.pro", " \n\t\r\n", {}, "the song has no text: the handheld gets an empty song"},
        {"late-nul.pro", std::string(5000, 'a') + "\nb\0c\n"s, {}, "a NUL character ends the song on the handheld"},
        {"utf16-nul.txt", "\xFF\xFE"s + "a\0\0\0b\0"s, {}, "a NUL character ends the song on the handheld"},
        {"frets.txt", "C x 3 2 0 1 0\nHigh 15 17 17 16 15 15\n", {}, "a fret value of 15 or more"},
        {"broken.pro", "Cr\xC3\xA8me\nBr\xFBl\xE9\x65\n", {}, "line 2 holds the first byte that is not UTF-8"},
        // An accented file name reaches the program as an argument, which Windows hands over in UTF-16.
        {"long \xC3\xA9t\xC3\xA9.pro", "{t:Long}\n" + std::string(8100, 'a'), {}, "cut at 7999 characters: "},
        {"left-out.pro", "{t:Left}\n", {chords}, "left out: the first file, " + chords + ", is a chord list"},
        {"late-chords.txt", "C x 3 2 0 1 0\nG 3 2 0 0 0 3\n", {song}, "taken as a song, not a chord list"},
        // As extraction writes a chord whose name holds a blank.
        {"blank-name.txt", "A m x 0 2 2 1 0\nG 3 2 0 0 0 3\n", {}, "taken as a song, not a chord list: line 1"},
    };
    for (const auto& [name, bytes, before, said] : cases) {
        SCOPED_TRACE(name);
        WriteFileBytes(Work(name), bytes);
        std::vector<std::string> args{"build", "--strict", "-o", Work("out.pdb")};
        args.insert(args.end(), before.begin(), before.end());
        args.push_back(Work(name));
        CliRun run = Run(args);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.err.starts_with("warning: " + Work(name) + ": ")) << run.err;
        EXPECT_TRUE(Holds(run.err, said));
        EXPECT_TRUE(Holds(run.err, "1 warning with --strict: nothing written"));
        EXPECT_FALSE(fs::exists(PathFromUtf8(Work("out.pdb"))));
    }
    // A database name the handheld cannot show is a warning too; without --strict the database is written.
    CliRun run = Run({"build", "--name", "\xCE\xA9mega", "-o", Work("out.pdb"), song});
    EXPECT_EQ(std::pair(run.status, run.err),
              std::pair(0, "warning: --name: the database name \"\xCE\xA9mega\" becomes \"?mega\"\n"s));
    EXPECT_TRUE(fs::exists(PathFromUtf8(Work("out.pdb"))));
    // Decoded, not a change: UTF-32 after its mark goes in without a word.
    WriteFileBytes(Work("utf32.txt"), "\xFF\xFE\0\0\xE9\0\0\0\n\0\0\0"s);
    EXPECT_EQ(Run({"convert", Work("utf32.txt")}).out, "\xC3\xA9\r\n");
    WriteFileBytes(Work("utf16.txt"), "\xE9\0\n\0"s); // UTF-16 without a mark
    EXPECT_EQ(Run({"convert", Work("utf16.txt")}).out, "\xC3\xA9\r\n");
    run = Run({"build", "--strict", "-o", Work("out.pdb"), Work("utf32.txt")});
    EXPECT_EQ(std::pair(run.status, run.err), std::pair(0, ""s));
}
} // namespace
