#include "jobs/Extract.h"

#include "jobs/FileNames.h"
#include "jobs/InputFile.h"
#include "jobs/TuneloreDatabase.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDatabase.h"
#include "text/RecordFormat.h"

#include <gtest/gtest.h>

#include <filesystem>
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
    void FreshOut() const
    {
        std::filesystem::remove_all(Out());
        std::filesystem::create_directory(Out());
    }

    TempDir m_dir;
};

TEST_F(ExtractTest, RecognitionAndFileNames)
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
    EXPECT_TRUE(text.opened && text.kind == DatabaseKind::NotPalmDatabase && !text.database &&
                text.refusal.find("not a readable Palm database") != std::string::npos)
        << text.refusal;
    EXPECT_FALSE(ReadDatabaseFile(m_dir.File("missing.pdb")).opened);
    EXPECT_TRUE(HasPdbSuffix("a.PDB") && HasPdbSuffix(".pdb") && !HasPdbSuffix("a.pdb.txt") && !HasPdbSuffix("pdb"));

    // Names every system takes alike: no separators or controls, no name of dots, no device names of Windows.
    const char* const titles[][7] = {{"Caf\xE9 ...a\\/:*?\"<>|\t\x1F", "..", " . ", "", "CON", "nul.txt", "Com1"},
                                     {"lpt9 .b", "COM0", "CONSOLE", "Song.", "Song ", "a\x7F", "AUX. "}};
    std::string names;
    for (const auto& row : titles)
        for (const char* title : row)
            names += SafeSongFileName(title) + "|";
    EXPECT_EQ(names, "Caf\xE9 ...a___________|_|_|_|CON_|nul_.txt|Com1_|lpt9_ .b|COM0|CONSOLE|Song_|Song_|a_|AUX_._|");
    // Accented capitals fold to their small letters (not the multiplication sign, nor sharp s to "ss").
    EXPECT_EQ(FoldCp1252Case("\xC9\xDE\x8A\x8C\x8E\x9F\xD7\xDF Aa"), "\xE9\xFE\x9A\x9C\x9E\xFF\xD7\xDF aa");
}

TEST_F(ExtractTest, ChordsToTextOneCrLfLinePerChordRecord)
{
    const CPalmDatabase chords = Database({"\x0F\x00\x02\x02\x01\x00\x00\x00"s + "Am\0"s,
                                           "\x03\x02\x00\x00\x00\x03\x00\x00"s,   // no room for a name: skipped
                                           "\x03\x02\x00\x00\x00\x03\x00\x00G7"s, // a name runs to the record's end
                                           "\x00\x00\x00\x00\x00\x00\x00\x00"s + "Caf\xE9\0junk"s,
                                           // A name holding line ends and other controls stays on its one line.
                                           "\3\2\0\0\0\3\0\0C 1 1\r\nEvil\t\x7F\0"s,
                                           ""s},
                                          CHORD_DB_TYPE);
    WriteFileBytes(m_dir.File("c.txt"), std::string(200, '.'));
    const ChordTextResult result = ExportChordsToText(chords, m_dir.File("c.txt"));
    EXPECT_EQ(std::tuple(result.written, result.chords, result.skipped), std::tuple(true, 4, 2));
    EXPECT_EQ(ReadFileBytes(m_dir.File("c.txt")),
              "Am x 0 2 2 1 0\r\nG7 3 2 0 0 0 3\r\nCaf\xC3\xA9 0 0 0 0 0 0\r\nC 1 1??Evil?? 3 2 0 0 0 3\r\n");

    const ChordTextResult unwritten = ExportChordsToText(chords, m_dir.File("no/c.txt"));
    EXPECT_EQ(std::tuple(unwritten.written, unwritten.error),
              std::tuple(false, "Can't write file " + m_dir.File("no/c.txt") + ": No such file or directory"));
}

TEST_F(ExtractTest, ChordListAlreadyThereIsLeftReplacedOrKept)
{
    const CPalmDatabase chords = Database({"\x03\x02\x00\x00\x00\x03\x00\x00G7"s}, CHORD_DB_TYPE);
    const std::string lines = "G7 3 2 0 0 0 3\r\n";
    // The target's bytes (empty: no file), the answer when asked, where the chords end (empty: nowhere), whether
    // the user was asked and the list replaced, unchanged or cancelled, the target's bytes afterwards.
    const std::tuple<std::string, ExistingFileChoice, std::string, bool, bool, bool, bool, std::string> cases[] = {
        {"", ExistingFileChoice::Cancel, "c.txt", false, false, false, false, lines},
        {lines, ExistingFileChoice::Cancel, "c.txt", false, false, true, false, lines},
        {"my own list\n", ExistingFileChoice::Replace, "c.txt", true, true, false, false, lines},
        {"my own list\n", ExistingFileChoice::KeepBoth, "c (2).txt", true, false, false, false, "my own list\n"},
        {"my own list\n", ExistingFileChoice::Cancel, "", true, false, false, true, "my own list\n"},
    };
    for (const auto& [before, choice, path, asked, replaced, unchanged, cancelled, after] : cases) {
        SCOPED_TRACE(before + " " + std::to_string(static_cast<int>(choice)));
        FreshOut();
        if (!before.empty())
            WriteFileBytes(Out("c.txt"), before);
        bool wasAsked = false;
        const ChordTextResult result = ExportChordsToText(chords, Out("c.txt"), [&](const std::filesystem::path& file) {
            wasAsked = file == Out("c.txt");
            return choice;
        });
        EXPECT_EQ(std::tuple(wasAsked, result.replaced, result.unchanged, result.cancelled, result.written),
                  std::tuple(asked, replaced, unchanged, cancelled, !cancelled));
        EXPECT_EQ(PathFromUtf8(result.path), PathFromUtf8(path.empty() ? "" : Out(path)));
        EXPECT_EQ(ReadFileBytes(Out("c.txt")), after);
        if (!path.empty()) {
            EXPECT_EQ(ReadFileBytes(Out(path)), lines);
        }
    }
    // Kept again: the numbered file that already holds the chords does.
    EXPECT_EQ(
        PathFromUtf8(ExportChordsToText(chords, Out("c.txt"), [](auto&) { return ExistingFileChoice::KeepBoth; }).path),
        PathFromUtf8(Out("c (2).txt")));
}

TEST_F(ExtractTest, SongKeptBeforeUnderANumberedNameIsAlreadyThere)
{
    const CPalmDatabase songs = Database({"Song\nA\n\0"s});
    const std::string song = "Song\r\nA\r\n";
    // Bytes of "Song (2).pro", "Song (3).pro"... by an edited "Song.pro"; where the song ends; asked (else unchanged).
    const std::tuple<Files, std::string, bool> cases[] = {
        {{song}, "Song (2).pro", false},
        {{"other", song}, "Song (3).pro", false},
        {{"other"}, "Song (3).pro", true},
    };
    for (const auto& [numbered, file, asked] : cases) {
        SCOPED_TRACE(file + (asked ? " asked" : ""));
        FreshOut();
        WriteFileBytes(Out("Song.pro"), "edited");
        for (std::size_t i = 0; i < numbered.size(); ++i)
            WriteFileBytes(Out("Song (" + std::to_string(i + 2) + ").pro"), numbered[i]);
        bool wasAsked = false;
        const ExtractResult result = ExtractSongs(songs, Out(), [&wasAsked](const std::filesystem::path&) {
            wasAsked = true;
            return ExistingFileChoice::KeepBoth;
        });
        EXPECT_EQ(std::tuple(wasAsked, result.unchanged, result.written, result.files),
                  std::tuple(asked, asked ? 0 : 1, 1, Files{Out(file)}));
        EXPECT_EQ(FolderEntries(Out()).size(), 1 + numbered.size() + (asked ? 1u : 0u));
        EXPECT_EQ(ReadFileBytes(Out("Song.pro")).value_or("") + "|" + ReadFileBytes(Out(file)).value_or(""),
                  "edited|" + song);
    }
}

// Names equal but for case are one; a kept name stays taken for later songs; a link is kept or replaced, not followed.
TEST_F(ExtractTest, EntriesAlreadyInTheFolder)
{
    const CPalmDatabase songs = Database({"Song\nA\n\0"s, "song\nB\n\0"s});
    const auto keep = [](const std::filesystem::path&) { return ExistingFileChoice::KeepBoth; };

    ASSERT_EQ(ExtractSongs(songs, Out()).files, (Files{Out("Song.pro"), Out("song (2).pro")}));
    WriteFileBytes(Out("Song.pro"), "edited");
    WriteFileBytes(Out(".tunelore-0123456789abcdef-0.tmp"), "left by a killed extraction");
    ExtractResult result = ExtractSongs(songs, Out(), keep);
    EXPECT_EQ(result.files, (Files{Out("Song (3).pro"), Out("song (2).pro")}));
    EXPECT_EQ(std::tuple(result.unchanged, FolderEntries(Out()).size()), std::tuple(1, 3u));
    EXPECT_EQ(ReadFileBytes(Out("Song.pro")), "edited");

#if !defined(_WIN32)
    FreshOut();
    WriteFileBytes(m_dir.File("target"), "outside");
    std::filesystem::create_symlink(m_dir.File("target"), Out("Song.pro"));
    result = ExtractSongs(songs, Out(), keep);
    EXPECT_EQ(result.files, (Files{Out("Song (2).pro"), Out("song (3).pro")}));
    EXPECT_TRUE(std::filesystem::is_symlink(Out("Song.pro")));
    std::filesystem::remove(Out("Song (2).pro")); // else the song is there already, and the link stays
    result = ExtractSongs(songs, Out(), [](const std::filesystem::path&) { return ExistingFileChoice::Replace; });
    EXPECT_EQ(std::tuple(result.replaced.at(0), result.links), std::tuple(Out("Song.pro"), Files{Out("Song.pro")}));
    EXPECT_FALSE(std::filesystem::is_symlink(Out("Song.pro")));
    EXPECT_EQ(ReadFileBytes(m_dir.File("target")), "outside");
#endif
}

TEST_F(ExtractTest, SongNamesNumberedMarkersSkippedTextAsUtf8)
{
    std::filesystem::create_directory(Out());
    WriteFileBytes(Out("A.pro"), "an older A that is longer than the new one"); // replaced, not numbered
    // A UTF-8 song: its accents reach the record as Windows-1252 and come back as UTF-8.
    const std::vector<std::uint8_t> cafe =
        MakeSongRecord(ReadInputFile(TEST_DATA_DIR "/jobs/cafe-utf8.pro").texts.at(0).text);
    // Each record and the file it goes to: a name already written, with case folded, is numbered.
    const std::pair<std::string, std::string> songs[] = {
        {"A\nfirst\n\0"s, "A"},
        {"B\n\0"s, "B"},
        {"A\nthird\n\0"s, "A (2)"},
        {MARKER, ""},
        {"a\n\0"s, "a (3)"},
        {"A (2)\n\0"s, "A (2) (2)"},
        {MARKER.substr(0, 5), "\xC3\xBF\xC3\xAE\xC3\x9D"}, // too short for a marker: a song
        {"\xC9t\xE9\n"s, "\xC3\x89t\xC3\xA9"},
        {"\xE9t\xE9\n"s, "\xC3\xA9t\xC3\xA9 (2)"},
        {std::string(cafe.begin(), cafe.end()), "Caf\xC3\xA9"},
    };
    Files records, expected;
    for (const auto& [record, name] : songs) {
        records.push_back(record);
        if (!name.empty())
            expected.push_back(Out(name + ".pro"));
    }
    const ExtractResult result = ExtractSongs(Database(records), Out());
    EXPECT_EQ(std::tuple(result.written, result.failed), std::tuple(9, Files{}));
    EXPECT_EQ(result.files, expected);
    EXPECT_EQ(ReadFileBytes(Out("A.pro")), "A\r\nfirst\r\n");
    EXPECT_EQ(ReadFileBytes(Out("Caf\xC3\xA9.pro")),
              "{title: Caf\xC3\xA9}\r\nUn [C]caf\xC3\xA9, s'il vous pla\xC3\xAEt\r\n");
}

TEST_F(ExtractTest, HostileNamesStayInsideTheFolderAndFailuresAreReported)
{
    Files records;
    for (const char* title : {"..", "a/b", "?", "/etc/x", "C:\\x", "../../escape", ".", "B", "B"})
        records.push_back("{title: "s + title + "}\nla\n\0"s);
    std::filesystem::create_directories(Out("B.pro/inside")); // cannot be written; the next "B" is numbered
    const ExtractResult result = ExtractSongs(Database(records), Out());
    EXPECT_EQ(std::tuple(result.written, result.failed, result.files.back()),
              std::tuple(8, Files{"B"}, Out("B (2).pro")));
    EXPECT_EQ(FolderEntries(Out()).size(), 9u);
    EXPECT_EQ(FolderEntries(m_dir.Path()), (Files{"out", "s.pdb"}));

    // The folder is created when missing; the platform's separator joins it to the name unless it ends in one.
    const std::string nested = m_dir.File("a/b/c");
    const std::string separator(1, static_cast<char>(std::filesystem::path::preferred_separator));
    EXPECT_EQ(ExtractSongs(Database({"S\n\0"s}), nested).files, Files{nested + separator + "S.pro"});
    EXPECT_EQ(ExtractSongs(Database({"S\n\0"s}), nested + "/").files, Files{nested + "/S.pro"});
}

} // namespace
