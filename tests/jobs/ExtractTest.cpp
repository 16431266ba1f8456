#include "jobs/Extract.h"

#include "jobs/Export.h"
#include "jobs/Intake.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDatabase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

const std::uint32_t OTHER_CREATOR = MakeFourCC("Othr");

CPdbRecord Record(std::string_view bytes)
{
    CPdbRecord record;
    record.SetData(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
    return record;
}

// ---- recognition ----

TEST(Recognition, BySuffixTypeAndCreator)
{
    TempDir dir;
    struct Case
    {
        const char* file;
        std::uint32_t creator;
        std::uint32_t type;
        bool chord;
        bool song;
    };
    const Case cases[] = {
        {"chords.pdb", TUNELORE_CREATOR, CHORD_DB_TYPE, true, false},
        {"chords.PDB", TUNELORE_CREATOR, CHORD_DB_TYPE, true, false},
        {"songs.Pdb", TUNELORE_CREATOR, SONG_DB_TYPE, false, true},
        {"songs.pdb", TUNELORE_CREATOR, SONG_DB_TYPE, false, true},
        {"songs.pdb.txt", TUNELORE_CREATOR, SONG_DB_TYPE, false, false},
        {"chords.pd", TUNELORE_CREATOR, CHORD_DB_TYPE, false, false},
        {"songs", TUNELORE_CREATOR, SONG_DB_TYPE, false, false},
        {"import.pdb", TUNELORE_CREATOR, SONG_IMPORT_TYPE, false, false},
        {"chordimport.pdb", TUNELORE_CREATOR, CHORD_IMPORT_TYPE, false, false},
        {"other.pdb", OTHER_CREATOR, SONG_DB_TYPE, false, false},
        {"otherchords.pdb", OTHER_CREATOR, CHORD_DB_TYPE, false, false},
        // Creator and type swapped: both codes must be in their own fields.
        {"swapped.pdb", SONG_DB_TYPE, TUNELORE_CREATOR, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = dir.File(c.file);
        WriteTestDatabase(path, c.creator, c.type, {"A\n"});
        EXPECT_EQ(IsChordDatabaseFile(path), c.chord);
        EXPECT_EQ(IsSongDatabaseFile(path), c.song);
    }
}

TEST(Recognition, UnreadableFilesAreNeither)
{
    TempDir dir;
    WriteFileBytes(dir.File("text.pdb"), "{title: not a database}\r\n");
    WriteTestDatabase(dir.File("full.pdb"), TUNELORE_CREATOR, SONG_DB_TYPE, {});
    const std::string full = ReadFileBytes(dir.File("full.pdb")).value();
    WriteFileBytes(dir.File("short.pdb"), full.substr(0, 66)); // ends inside the creator field
    std::filesystem::create_directory(dir.File("folder.pdb"));
    for (const char* name : {"text.pdb", "short.pdb", "folder.pdb", "missing.pdb"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(IsSongDatabaseFile(dir.File(name)));
        EXPECT_FALSE(IsChordDatabaseFile(dir.File(name)));
    }
    EXPECT_FALSE(IsSongDatabaseFile(""));
    EXPECT_FALSE(IsSongDatabaseFile(".pd"));
}

TEST(Records, MarkerNeedsSixBytesStartingFfEeDd00)
{
    struct Case
    {
        std::string_view bytes;
        bool marker;
    };
    const Case cases[] = {
        {"\xFF\xEE\xDD\x00\x01\x02"sv, true},
        {"\xFF\xEE\xDD\x00\x00\x00\x00"sv, true},
        {"\xFF\xEE\xDD\x00\x01"sv, false},
        {"\xFF\xEE\xDD\x01\x01\x02"sv, false},
        {"\xEE\xFF\xDD\x00\x01\x02"sv, false},
        {""sv, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.size());
        EXPECT_EQ(IsMarkerRecord(Record(c.bytes)), c.marker);
    }
}

TEST(Records, SongTextEndsAtFirstNul)
{
    EXPECT_EQ(SongRecordText(Record("A\nB\n\0"sv)), "A\nB\n");
    EXPECT_EQ(SongRecordText(Record("A\0B\0"sv)), "A");
    EXPECT_EQ(SongRecordText(Record("no terminator")), "no terminator");
    EXPECT_EQ(SongRecordText(Record("\0rest"sv)), "");
    EXPECT_EQ(SongRecordText(CPdbRecord()), "");
}

TEST(Records, SafeSongFileNames)
{
    struct Case
    {
        std::string_view display;
        std::string_view file;
    };
    const Case cases[] = {
        {"Amazing Grace - Traditional", "Amazing Grace - Traditional"},
        {"..", "_"},
        {".", "_"},
        {"", "_"},
        {" . ", "_"},
        {"...a", "...a"},
        {"a/b", "a_b"},
        {"?", "_"},
        {"/etc/x", "_etc_x"},
        {"C:\\x", "C__x"},
        {"\"*<>|", "_____"},
        {"tab\there\x1F", "tab_here_"},
        {"Caf\xE9 (live)", "Caf\xE9 (live)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::string(c.display)));
        EXPECT_EQ(SafeSongFileName(c.display), c.file);
    }
}

// ---- chords to text ----

TEST(ExportChordsToText, OneCrLfLinePerRecord)
{
    TempDir dir;
    WriteTestDatabase(dir.File("c.pdb"),
                      TUNELORE_CREATOR,
                      CHORD_DB_TYPE,
                      {"\x0F\x00\x02\x02\x01\x00\x00\x00"
                       "Am\0"s,
                       "\x0F\x0F\x00\x02\x03\x02\x00\x00"
                       "D\0"s});
    WriteFileBytes(dir.File("chords.txt"), "old contents that are longer than the new ones........");

    const ChordTextResult result = ExportChordsToText(dir.File("c.pdb"), dir.File("chords.txt"));
    EXPECT_TRUE(result.databaseRead);
    EXPECT_TRUE(result.written);
    EXPECT_EQ(result.chords, 2);
    EXPECT_EQ(result.skipped, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("chords.txt")), std::optional<std::string>("Am x 0 2 2 1 0\r\nD x x 0 2 3 2\r\n"));
}

TEST(ExportChordsToText, EmptyDatabaseGivesEmptyFile)
{
    TempDir dir;
    WriteTestDatabase(dir.File("c.pdb"), TUNELORE_CREATOR, CHORD_DB_TYPE, {});
    const ChordTextResult result = ExportChordsToText(dir.File("c.pdb"), dir.File("chords.txt"));
    EXPECT_TRUE(result.written);
    EXPECT_EQ(result.chords, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("chords.txt")), std::optional<std::string>(""));
}

TEST(ExportChordsToText, ShortRecordsSkippedAndOddNamesBounded)
{
    TempDir dir;
    WriteTestDatabase(dir.File("c.pdb"),
                      TUNELORE_CREATOR,
                      CHORD_DB_TYPE,
                      {
                          "\x03\x02\x00\x00\x00\x03\x00\x00"s,   // 8 bytes: no name position
                          "\x03\x02\x00\x00\x00\x03\x00\x00G7"s, // name without NUL
                          "\x00\x00\x00\x00\x00\x00\x00\x00"
                          "Caf\xE9\0junk"s, // stops at NUL; Windows-1252 name
                          ""s,
                      });
    const ChordTextResult result = ExportChordsToText(dir.File("c.pdb"), dir.File("chords.txt"));
    EXPECT_TRUE(result.written);
    EXPECT_EQ(result.chords, 2);
    EXPECT_EQ(result.skipped, 2);
    EXPECT_EQ(ReadFileBytes(dir.File("chords.txt")),
              std::optional<std::string>("G7 3 2 0 0 0 3\r\nCaf\xC3\xA9 0 0 0 0 0 0\r\n"));
}

TEST(ExportChordsToText, UnreadableDatabaseWritesNothing)
{
    TempDir dir;
    WriteFileBytes(dir.File("bad.pdb"), "not a database");
    const ChordTextResult result = ExportChordsToText(dir.File("bad.pdb"), dir.File("chords.txt"));
    EXPECT_FALSE(result.databaseRead);
    EXPECT_FALSE(result.written);
    EXPECT_FALSE(std::filesystem::exists(dir.File("chords.txt")));
}

TEST(ExportChordsToText, UnwritableTextFileIsReportedByPath)
{
    TempDir dir;
    WriteTestDatabase(dir.File("c.pdb"), TUNELORE_CREATOR, CHORD_DB_TYPE, {"\0\0\0\0\0\0\0\0C\0"s});
    const std::string target = dir.File("no-such-folder/chords.txt");
    const ChordTextResult result = ExportChordsToText(dir.File("c.pdb"), target);
    EXPECT_TRUE(result.databaseRead);
    EXPECT_FALSE(result.written);
    EXPECT_EQ(result.error, target);
    EXPECT_FALSE(std::filesystem::exists(target));
}

// ---- songs to files ----

class ExtractSongsTest : public ::testing::Test
{
protected:
    std::string Database(const std::vector<std::string>& records)
    {
        const std::string path = m_dir.File("songs.pdb");
        WriteTestDatabase(path, TUNELORE_CREATOR, SONG_DB_TYPE, records);
        return path;
    }
    std::string Folder() const { return m_dir.File("out"); }
    std::string Out(std::string_view name) const { return Folder() + "/" + std::string(name); }

    TempDir m_dir;
};

TEST_F(ExtractSongsTest, LfBecomesCrLf)
{
    const ExtractResult result = ExtractSongs(Database({"A\nB\n\0"s}), Folder());
    EXPECT_TRUE(result.databaseRead);
    EXPECT_EQ(result.written, 1);
    EXPECT_TRUE(result.failed.empty());
    EXPECT_EQ(result.files, std::vector<std::string>{Out("A.pro")});
    EXPECT_EQ(ReadFileBytes(Out("A.pro")), std::optional<std::string>("A\r\nB\r\n"));
}

TEST_F(ExtractSongsTest, DuplicateNamesGetNumbers)
{
    const ExtractResult result = ExtractSongs(Database({"A\nfirst\n\0"s, "B\n\0"s, "A\nthird\n\0"s}), Folder());
    EXPECT_EQ(result.written, 3);
    EXPECT_EQ(result.files, (std::vector<std::string>{Out("A.pro"), Out("B.pro"), Out("A (2).pro")}));
    EXPECT_EQ(ReadFileBytes(Out("A.pro")), std::optional<std::string>("A\r\nfirst\r\n"));
    EXPECT_EQ(ReadFileBytes(Out("A (2).pro")), std::optional<std::string>("A\r\nthird\r\n"));
    EXPECT_EQ(FolderEntries(Folder()), (std::vector<std::string>{"A (2).pro", "A.pro", "B.pro"}));
}

TEST_F(ExtractSongsTest, FirstFreeNumberIgnoringCase)
{
    // "a" collides with "A" on file systems that ignore case; a song really titled "A (2)" takes the next free.
    const ExtractResult result =
        ExtractSongs(Database({"A\n\0"s, "A\n\0"s, "a\n\0"s, "A (2)\n\0"s, "{t:}\n\0"s, "\n\0"s}), Folder());
    EXPECT_EQ(result.files,
              (std::vector<std::string>{Out("A.pro"),
                                        Out("A (2).pro"),
                                        Out("a (3).pro"),
                                        Out("A (2) (2).pro"),
                                        Out("(no title).pro"),
                                        Out("(no title) (2).pro")}));
    EXPECT_EQ(FolderEntries(Folder()).size(), 6u);
}

TEST_F(ExtractSongsTest, EarlierFilesAreReplacedNotNumbered)
{
    std::filesystem::create_directory(Folder());
    WriteFileBytes(Out("A.pro"), "an older A that is longer than the new one");
    const ExtractResult result = ExtractSongs(Database({"A\n\0"s}), Folder());
    EXPECT_EQ(result.files, std::vector<std::string>{Out("A.pro")});
    EXPECT_EQ(ReadFileBytes(Out("A.pro")), std::optional<std::string>("A\r\n"));
    EXPECT_EQ(FolderEntries(Folder()), std::vector<std::string>{"A.pro"});
}

TEST_F(ExtractSongsTest, MarkersSkippedShortLookalikeTaken)
{
    const ExtractResult result =
        ExtractSongs(Database({"\xFF\xEE\xDD\x00\x01\x02"s, "Song\n\0"s, "\xFF\xEE\xDD\x00\x01"s}), Folder());
    EXPECT_EQ(result.written, 2);
    // The 5-byte record is a song whose text is the three bytes before its NUL.
    EXPECT_EQ(result.files, (std::vector<std::string>{Out("Song.pro"), Out("\xC3\xBF\xC3\xAE\xC3\x9D.pro")}));
    EXPECT_EQ(ReadFileBytes(Out("\xC3\xBF\xC3\xAE\xC3\x9D.pro")),
              std::optional<std::string>("\xC3\xBF\xC3\xAE\xC3\x9D"));
}

TEST_F(ExtractSongsTest, NothingToWrite)
{
    std::filesystem::create_directory(Folder());
    for (const std::vector<std::string>& records :
         {std::vector<std::string>{}, std::vector<std::string>{"\xFF\xEE\xDD\x00\x01\x02"s}}) {
        const ExtractResult result = ExtractSongs(Database(records), Folder());
        EXPECT_TRUE(result.databaseRead);
        EXPECT_EQ(result.written, 0);
        EXPECT_TRUE(result.files.empty());
        EXPECT_TRUE(FolderEntries(Folder()).empty());
    }
}

TEST_F(ExtractSongsTest, HostileNamesStayInsideTheFolder)
{
    const std::vector<std::string> titles = {"..", "a/b", "?", "/etc/x", "C:\\x", "../../escape", "."};
    std::vector<std::string> records;
    for (const std::string& title : titles) {
        records.push_back("{title: " + title + "}\nla\n" + std::string(1, '\0'));
    }
    const ExtractResult result = ExtractSongs(Database(records), Folder());
    EXPECT_EQ(result.written, static_cast<int>(titles.size()));
    EXPECT_TRUE(result.failed.empty());
    for (const std::string& file : result.files) {
        SCOPED_TRACE(file);
        EXPECT_EQ(std::filesystem::path(file).parent_path(), std::filesystem::path(Folder()));
        EXPECT_TRUE(std::filesystem::is_regular_file(file));
    }
    EXPECT_EQ(FolderEntries(Folder()).size(), titles.size());
    // Nothing beside the folder but the database.
    EXPECT_EQ(FolderEntries(m_dir.Path()), (std::vector<std::string>{"out", "songs.pdb"}));
}

TEST_F(ExtractSongsTest, UnwritableSongIsReportedAndOthersContinue)
{
    std::filesystem::create_directories(Out("B.pro") + "/inside");
    const ExtractResult result = ExtractSongs(Database({"A\n\0"s, "B\n\0"s, "C\n\0"s}), Folder());
    EXPECT_EQ(result.written, 2);
    EXPECT_EQ(result.failed, std::vector<std::string>{"B"});
    EXPECT_EQ(result.files, (std::vector<std::string>{Out("A.pro"), Out("C.pro")}));
    EXPECT_TRUE(std::filesystem::is_directory(Out("B.pro")));
}

TEST_F(ExtractSongsTest, FolderCreatedAndTrailingSeparatorIgnored)
{
    const std::string nested = m_dir.File("a/b/c");
    const ExtractResult plain = ExtractSongs(Database({"S\n\0"s}), nested);
    const ExtractResult slash = ExtractSongs(Database({"S\n\0"s}), nested + "/");
    EXPECT_EQ(plain.files, std::vector<std::string>{nested + "/S.pro"});
    EXPECT_EQ(slash.files, plain.files);
    EXPECT_EQ(ReadFileBytes(nested + "/S.pro"), std::optional<std::string>("S\r\n"));
}

TEST_F(ExtractSongsTest, UnreadableDatabase)
{
    WriteFileBytes(m_dir.File("bad.pdb"), "x");
    const ExtractResult result = ExtractSongs(m_dir.File("bad.pdb"), Folder());
    EXPECT_FALSE(result.databaseRead);
    EXPECT_EQ(result.written, 0);
    EXPECT_FALSE(std::filesystem::exists(Folder()));
}

TEST_F(ExtractSongsTest, Windows1252TextAndNameBecomeUtf8)
{
    const ExtractResult result = ExtractSongs(Database({"{title: Caf\xE9}\n\x93Un caf\xE9\x94\n\0"s}), Folder());
    EXPECT_EQ(result.files, std::vector<std::string>{Out("Caf\xC3\xA9.pro")});
    EXPECT_EQ(ReadFileBytes(Out("Caf\xC3\xA9.pro")),
              std::optional<std::string>("{title: Caf\xC3\xA9}\r\n\xE2\x80\x9CUn caf\xC3\xA9\xE2\x80\x9D\r\n"));
}

// ---- the whole road: file, loaded text, database, extracted file ----

TEST(RoundTrip, Utf8SongKeepsItsAccents)
{
    TempDir dir;
    FakePlatform platform;
    const std::optional<std::string> loaded = LoadTextFile(std::string(TEST_DATA_DIR) + "/jobs/cafe-utf8.pro");
    ASSERT_TRUE(loaded.has_value());
    const ExportResult exported = ExportSongDatabase({*loaded}, dir.File("songs.pdb"), platform);
    ASSERT_TRUE(exported.ok(false));

    CPalmDatabase database;
    ASSERT_EQ(database.ReadFromFile(dir.File("songs.pdb")), 0);
    ASSERT_EQ(database.GetRecordCount(), 1);
    EXPECT_EQ(SongRecordText(database.Records()[0]), "{title: Caf\xE9}\nUn [C]caf\xE9, s'il vous pla\xEEt\n");

    const ExtractResult extracted = ExtractSongs(dir.File("songs.pdb"), dir.File("out"));
    ASSERT_EQ(extracted.written, 1);
    EXPECT_EQ(extracted.files[0], dir.File("out") + "/Caf\xC3\xA9.pro");
    EXPECT_EQ(ReadFileBytes(extracted.files[0]),
              std::optional<std::string>("{title: Caf\xC3\xA9}\r\nUn [C]caf\xC3\xA9, s'il vous pla\xC3\xAEt\r\n"));
}

TEST(RoundTrip, ChordListThroughDatabaseAndBack)
{
    TempDir dir;
    FakePlatform platform;
    const std::string text = "C x 3 2 0 1 0\r\nD x x 0 2 3 2\r\nnot a chord\r\nF#m7 2 4 2 2 2 2\r\n";
    ASSERT_TRUE(ExportChordDatabase(text, dir.File("c.pdb"), platform).ok(false));
    const ChordTextResult result = ExportChordsToText(dir.File("c.pdb"), dir.File("c.txt"));
    ASSERT_TRUE(result.written);
    EXPECT_EQ(ReadFileBytes(dir.File("c.txt")),
              std::optional<std::string>("C x 3 2 0 1 0\r\nD x x 0 2 3 2\r\nF#m7 2 4 2 2 2 2\r\n"));
}

TEST(RoundTrip, CorpusChordList)
{
    const std::string path = std::string(CORPUS_DIR) + "/chords/guitar-chords-db.txt";
    if (!std::filesystem::exists(path)) {
        GTEST_SKIP() << "corpus chord list not found: " << path;
    }
    TempDir dir;
    FakePlatform platform;
    const std::string loaded = LoadTextFile(path).value();
    ASSERT_TRUE(ExportChordDatabase(loaded, dir.File("c.pdb"), platform).ok(false));
    const ChordTextResult result = ExportChordsToText(dir.File("c.pdb"), dir.File("c.txt"));
    ASSERT_TRUE(result.written);
    // Every line of the list is written as the extraction writes it, so it comes back byte for byte, except
    // that a fret of 15 is the muted-string value and comes back as "x".
    std::string expected;
    int lines = 0;
    std::string_view rest = loaded;
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end + 2);
        const std::size_t nameEnd = line.find(' ');
        expected.append(line.substr(0, nameEnd));
        line.remove_prefix(nameEnd);
        for (std::size_t at = 0; at < line.size();) {
            const std::size_t next = std::min(line.find(' ', at + 1), line.size());
            const std::string_view value = line.substr(at, next - at); // with its leading blank
            expected.append(value == " 15" ? " x" : value);
            at = next;
        }
        expected.append("\r\n");
        ++lines;
    }
    EXPECT_GT(lines, 1000);
    EXPECT_EQ(result.chords, lines);
    EXPECT_TRUE(ReadFileBytes(dir.File("c.txt")) == expected) << "extracted chord list differs";
}

TEST(RoundTrip, CorpusSongsComeBackAsLoaded)
{
    const std::filesystem::path corpus = CORPUS_DIR;
    if (!std::filesystem::is_directory(corpus)) {
        GTEST_SKIP() << "corpus folder not found: " << corpus;
    }
    // Songs that fit a record and hold no lone CR come back from the handheld as they were loaded.
    std::vector<std::string> texts;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || !(name.ends_with(".cho") || name.ends_with(".chordpro") ||
                                          name.ends_with(".crd") || name.ends_with(".txt"))) {
            continue;
        }
        const std::string text = LoadTextFile(entry.path().string()).value();
        bool loneCr = false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            loneCr = loneCr || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
        }
        if (!loneCr && text.size() < SONG_MAX_TEXT && !text.empty() && text.find('\0') == std::string::npos) {
            texts.push_back(text);
        }
    }
    ASSERT_GT(texts.size(), 10u);

    TempDir dir;
    FakePlatform platform;
    ASSERT_TRUE(ExportSongDatabase(texts, dir.File("s.pdb"), platform).ok(false));
    const ExtractResult result = ExtractSongs(dir.File("s.pdb"), dir.File("out"));
    ASSERT_EQ(result.files.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE(result.files[i]);
        // A converted tab file has no line end after its last line; the record gives it one.
        const std::string expected = texts[i].ends_with("\r\n") ? texts[i] : texts[i] + "\r\n";
        const std::optional<std::string> again = LoadTextFile(result.files[i]);
        ASSERT_TRUE(again.has_value());
        EXPECT_EQ(*again, expected);
    }
}

} // namespace
