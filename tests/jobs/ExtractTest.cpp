#include "jobs/Extract.h"

#include "jobs/Export.h"
#include "jobs/FileNames.h"
#include "jobs/Intake.h"
#include "jobs/TuneloreDatabase.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDatabase.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace std::string_literals;
using Files = std::vector<std::string>;

const std::string MARKER = "\xFF\xEE\xDD\x00\x01\x02"s;

class ExtractTest : public ::testing::Test
{
protected:
    CPalmDatabase Database(const Files& records, std::uint32_t type = SONG_DB_TYPE)
    {
        WriteTestDatabase(m_dir.File("s.pdb"), TUNELORE_CREATOR, type, records);
        return ReadDatabaseFile(m_dir.File("s.pdb")).database.value();
    }
    std::string Out(const std::string& name = {}) const { return m_dir.File("out/" + name); }

    TempDir m_dir;
};

TEST_F(ExtractTest, RecognitionMarkersSongTextAndFileNames)
{
    const std::tuple<std::uint32_t, std::uint32_t, DatabaseKind> cases[] = {
        {TUNELORE_CREATOR, CHORD_DB_TYPE, DatabaseKind::ChordDatabase},
        {TUNELORE_CREATOR, SONG_DB_TYPE, DatabaseKind::SongDatabase},
        {TUNELORE_CREATOR, SONG_IMPORT_TYPE, DatabaseKind::SongImportDatabase},
        {TUNELORE_CREATOR, CHORD_IMPORT_TYPE, DatabaseKind::ChordImportDatabase},
        {MakeFourCC("Othr"), CHORD_DB_TYPE, DatabaseKind::OtherPalmDatabase},
    };
    for (const auto& [creator, type, kind] : cases) {
        WriteTestDatabase(m_dir.File("x.pdb"), creator, type, {"A\n"});
        const DatabaseFile file = ReadDatabaseFile(m_dir.File("x.pdb"));
        EXPECT_TRUE(file.kind == kind && file.database && file.refusal.empty()) << FourCCToString(type);
    }
    const DatabaseFile text = ReadDatabaseFile(TEST_DATA_DIR "/jobs/cafe-utf8.pro");
    EXPECT_TRUE(text.opened && text.kind == DatabaseKind::NotPalmDatabase && !text.database) << text.refusal;
    EXPECT_NE(text.refusal.find("not a readable Palm database"), std::string::npos) << text.refusal;
    EXPECT_FALSE(ReadDatabaseFile(m_dir.File("missing.pdb")).opened);
    EXPECT_TRUE(HasPdbSuffix("a.PDB") && HasPdbSuffix(".pdb") && !HasPdbSuffix("a.pdb.txt") && !HasPdbSuffix("pdb"));

    const auto record = [](const std::string& bytes) {
        CPdbRecord r;
        r.SetData(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
        return r;
    };
    EXPECT_TRUE(IsMarkerRecord(record(MARKER + "\0"s)));
    for (const std::string& bytes : {MARKER.substr(0, 5), "\xFF\xEE\xDD\x01\x01\x02"s, "\xEE\xFF\xDD\x00\x01\x02"s}) {
        EXPECT_FALSE(IsMarkerRecord(record(bytes))) << ::testing::PrintToString(bytes);
    }
    EXPECT_EQ(SongRecordText(record("no terminator")), "no terminator");
    EXPECT_EQ(SafeSongFileName("Caf\xE9 ...a\\/:*?\"<>|\t\x1F"), "Caf\xE9 ...a___________");
    EXPECT_EQ(SafeSongFileName("..") + SafeSongFileName(" . ") + SafeSongFileName(""), "___");
}

TEST_F(ExtractTest, ChordsToTextOneCrLfLinePerChordRecord)
{
    const CPalmDatabase chords = Database({"\x0F\x00\x02\x02\x01\x00\x00\x00"s + "Am\0"s,
                                         "\x03\x02\x00\x00\x00\x03\x00\x00"s, // no room for a name: skipped
                                         "\x0F\x0F\x00\x02\x03\x02\x00\x00"s + "D\0"s,
                                         "\x03\x02\x00\x00\x00\x03\x00\x00G7"s, // a name runs to the record's end
                                         "\x00\x00\x00\x00\x00\x00\x00\x00"s + "Caf\xE9\0junk"s,
                                         ""s},
                                        CHORD_DB_TYPE);
    WriteFileBytes(m_dir.File("c.txt"), std::string(200, '.'));
    const ChordTextResult result = ExportChordsToText(chords, m_dir.File("c.txt"));
    EXPECT_EQ(std::tuple(result.written, result.chords, result.skipped), std::tuple(true, 4, 2));
    EXPECT_EQ(ReadFileBytes(m_dir.File("c.txt")),
              "Am x 0 2 2 1 0\r\nD x x 0 2 3 2\r\nG7 3 2 0 0 0 3\r\nCaf\xC3\xA9 0 0 0 0 0 0\r\n");

    const ChordTextResult unwritten = ExportChordsToText(chords, m_dir.File("no/c.txt"));
    EXPECT_EQ(std::tuple(unwritten.written, unwritten.error),
              std::tuple(false, "Can't write file " + m_dir.File("no/c.txt") + ": No such file or directory"));
}

TEST_F(ExtractTest, SongNamesNumberedMarkersSkippedTextAsUtf8)
{
    std::filesystem::create_directory(Out());
    WriteFileBytes(Out("A.pro"), "an older A that is longer than the new one"); // replaced, not numbered
    // A UTF-8 song: its accents reach the record as Windows-1252 and come back as UTF-8.
    const std::vector<std::uint8_t> cafe = MakeSongRecord(LoadTextFile(TEST_DATA_DIR "/jobs/cafe-utf8.pro").text.value());
    const ExtractResult result = ExtractSongs(Database({"A\nfirst\n\0"s,
                                                        "B\n\0"s,
                                                        "A\nthird\n\0"s,
                                                        MARKER,
                                                        "a\n\0"s, // the same file name where case is ignored
                                                        "A (2)\n\0"s,
                                                        MARKER.substr(0, 5), // too short for a marker: a song
                                                        std::string(cafe.begin(), cafe.end())}),
                                              Out());
    EXPECT_EQ(std::tuple(result.written, result.failed), std::tuple(7, Files{}));
    Files expected;
    for (const char* name : {"A", "B", "A (2)", "a (3)", "A (2) (2)", "\xC3\xBF\xC3\xAE\xC3\x9D", "Caf\xC3\xA9"}) {
        expected.push_back(Out(name + ".pro"s));
    }
    EXPECT_EQ(result.files, expected);
    EXPECT_EQ(ReadFileBytes(Out("A.pro")), "A\r\nfirst\r\n");
    EXPECT_EQ(ReadFileBytes(Out("Caf\xC3\xA9.pro")),
              "{title: Caf\xC3\xA9}\r\nUn [C]caf\xC3\xA9, s'il vous pla\xC3\xAEt\r\n");
}

TEST_F(ExtractTest, HostileNamesStayInsideTheFolderAndFailuresAreReported)
{
    Files records;
    for (const char* title : {"..", "a/b", "?", "/etc/x", "C:\\x", "../../escape", ".", "B"}) {
        records.push_back("{title: "s + title + "}\nla\n\0"s);
    }
    std::filesystem::create_directories(Out("B.pro/inside")); // cannot be written
    const ExtractResult result = ExtractSongs(Database(records), Out());
    EXPECT_EQ(std::tuple(result.written, result.failed), std::tuple(7, Files{"B"}));
    EXPECT_EQ(FolderEntries(Out()).size(), 8u);
    EXPECT_EQ(FolderEntries(m_dir.Path()), (Files{"out", "s.pdb"}));

    // The folder is created when missing; the platform's separator joins it to the name unless it ends in one.
    const std::string nested = m_dir.File("a/b/c");
    const std::string separator(1, static_cast<char>(std::filesystem::path::preferred_separator));
    EXPECT_EQ(ExtractSongs(Database({"S\n\0"s}), nested).files, Files{nested + separator + "S.pro"});
    EXPECT_EQ(ExtractSongs(Database({"S\n\0"s}), nested + "/").files, Files{nested + "/S.pro"});
}

// The corpus songs the whole road: file, loaded text, database, extracted file.
TEST_F(ExtractTest, CorpusSongsComeBack)
{
    const std::filesystem::path corpus = CORPUS_DIR;
    if (!std::filesystem::is_directory(corpus)) {
        GTEST_SKIP() << "corpus not found: " << corpus;
    }
    FakePlatform platform;
    // Songs that fit a record and hold no lone CR or NUL come back as loaded, with a final line end.
    Files texts;
    const std::regex songFile("\\.(cho|chordpro|crd|txt)$"), loneCrOrNul("\r(?!\n)|\\x00");
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
        if (entry.is_regular_file() && std::regex_search(entry.path().string(), songFile)) {
            const std::string text = LoadTextFile(entry.path()).text.value();
            if (!text.empty() && text.size() < SONG_MAX_TEXT && !std::regex_search(text, loneCrOrNul)) {
                texts.push_back(text.ends_with("\r\n") ? text : text + "\r\n");
            }
        }
    }
    ASSERT_GT(texts.size(), 10u);
    ASSERT_TRUE(ExportLoadedTexts(texts, m_dir.File("s.pdb"), platform).ok(false));
    const ExtractResult result = ExtractSongs(ReadDatabaseFile(m_dir.File("s.pdb")).database.value(), Out());
    ASSERT_EQ(result.files.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(LoadTextFile(result.files[i]).text, texts[i]) << result.files[i];
    }
}

} // namespace
