// Files that are not what they seem: binary and database inputs, import databases, names that other
// systems treat differently, and why a write failed.

#include "jobs/Extract.h"
#include "jobs/FileChecks.h"
#include "jobs/FileNames.h"
#include "jobs/InputFile.h"
#include "jobs/Intake.h"
#include "jobs/Platform.h"
#include "jobs/TuneloreDatabase.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDatabase.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace std::string_literals;
using Files = std::vector<std::string>;

TEST(InputFiles, EachFileIsTakenForWhatItHolds)
{
    TempDir dir;
    WriteTestDatabase(dir.File("memo.pdb"), MakeFourCC("memo"), MakeFourCC("DATA"), {"note\n\0"s});
    std::filesystem::copy_file(dir.File("memo.pdb"), dir.File("memo.dat"));
    WriteTestDatabase(dir.File("hand.pdb"), TUNELORE_CREATOR, SONG_DB_TYPE, {"S\n\0"s});
    std::filesystem::copy_file(dir.File("hand.pdb"), dir.File("hand.bin")); // extracted only when named .pdb
    WriteTestDatabase(dir.File("mine.bin"), TUNELORE_CREATOR, SONG_IMPORT_TYPE, {"A\n\nB\n\0"s, "\0"s});
    WriteFileBytes(dir.File("huge.txt"), "");
    std::filesystem::resize_file(dir.File("huge.txt"), MAX_TEXT_FILE_SIZE + 1);
    const struct
    {
        std::string name, bytes;
        InputKind kind;
        Files texts;
    } cases[] = {
        {"song.pro", "A\nB", InputKind::Texts, {"A\r\nB\r\n"}},
        {"empty.pro", "", InputKind::Texts, {""}},
        {"le.txt",
         "\xFF\xFE"
         "C\0a\0f\0\xE9\0 \0\xA9\x03\x34\xD8\x1E\xDD\n\0\x3D\xD8"s,
         InputKind::Texts,
         {"Caf\xE9 ??\r\n?\r\n"}},
        {"be.txt", "\xFE\xFF\0A\x20\xAC\0\n\0"s, InputKind::Texts, {"A\x80\r\n?\r\n"}},
        {"nul.txt", "la\0la"s, InputKind::NotText, {}},
        {"late.txt", std::string(4096, 'a') + "\0"s, InputKind::Texts, {std::string(4096, 'a') + "\0\r\n"s}},
        {"memo.pdb", "", InputKind::NotText, {}},
        {"memo.dat", "", InputKind::NotText, {}},
        {"hand.pdb", "", InputKind::SongDatabase, {}},
        {"hand.bin", "", InputKind::NotText, {}},
        {"mine.bin", "", InputKind::Texts, {"A\r\n\r\nB\r\n", ""}},
        {"huge.txt", "", InputKind::Unreadable, {}},
        {"missing.pro", "", InputKind::Unreadable, {}},
    };
    for (const auto& c : cases) {
        if (!c.bytes.empty() || c.name == "empty.pro") {
            WriteFileBytes(dir.File(c.name), c.bytes);
        }
        const InputFile input = ReadInputFile(dir.File(c.name));
        EXPECT_EQ(std::tuple(input.kind, input.texts, input.emptyFile),
                  std::tuple(c.kind, c.texts, c.name == "empty.pro"))
            << c.name;
    }
    EXPECT_EQ(LoadTextFile(dir.File("nul.txt")).error, dir.File("nul.txt") + " is not a song or text file");
}

TEST(ExtractionSafety, NamesAndChordLinesEverySystemTakesAlike)
{
    std::string names;
    for (const char* title :
         {"CON", "nul.txt", "Com1", "lpt9 .b", "COM0", "CONSOLE", "Song.", "Song ", "a\x7F", "AUX. "}) {
        names += SafeSongFileName(title) + "|";
    }
    EXPECT_EQ(names, "CON_|nul_.txt|Com1_|lpt9_ .b|COM0|CONSOLE|Song_|Song_|a_|AUX_._|");
    // Accented capitals fold to their small letters (not the multiplication sign, nor sharp s to "ss"), so a
    // second song whose title differs only in case is numbered.
    EXPECT_EQ(FoldCp1252Case("\xC9\xDE\x8A\x8C\x8E\x9F\xD7\xDF Aa"), "\xE9\xFE\x9A\x9C\x9E\xFF\xD7\xDF aa");
    TempDir dir;
    WriteTestDatabase(dir.File("s.pdb"), TUNELORE_CREATOR, SONG_DB_TYPE, {"\xC9t\xE9\n"s, "\xE9t\xE9\n"s});
    const ExtractResult songs = ExtractSongs(ReadDatabaseFile(dir.File("s.pdb")).database.value(), dir.File("out"));
    EXPECT_EQ(songs.files, (Files{dir.File("out/\xC3\x89t\xC3\xA9.pro"), dir.File("out/\xC3\xA9t\xC3\xA9 (2).pro")}));

    // A name holding line ends and other controls stays on its one line.
    WriteTestDatabase(dir.File("c.pdb"), TUNELORE_CREATOR, CHORD_DB_TYPE, {"\3\2\0\0\0\3\0\0C 1 1\r\nEvil\t\x7F\0"s});
    ASSERT_TRUE(ExportChordsToText(ReadDatabaseFile(dir.File("c.pdb")).database.value(), dir.File("c.txt")).written);
    EXPECT_EQ(ReadFileBytes(dir.File("c.txt")), "C 1 1??Evil?? 3 2 0 0 0 3\r\n");
}

TEST(FileChecks, CausesOfFailuresAndDatesTheHandheldCannotHold)
{
    TempDir dir;
    WriteFileBytes(dir.File("a.pro"), "a");
    EXPECT_EQ(WriteFailureCause(dir.File("no/x.pdb")), "No such file or directory");
    EXPECT_EQ(WriteFailureCause(dir.File("a.pro/x.pdb")), "Not a directory");
    EXPECT_EQ(WriteFailureCause(dir.Path()), "Is a directory");
    EXPECT_EQ(RecordCountCause(65535, true) + RecordCountCause(1234567, true),
              "a database holds at most 65,535 chords; 1,234,567 were given");

    // The last second the handheld's dates can hold, and the next.
    EXPECT_EQ(ParseSourceDateEpoch("2212122495").seconds, 2212122495u);
    EXPECT_FALSE(ParseSourceDateEpoch("2212122496").seconds || ParseSourceDateEpoch("4294967296").seconds);
}

} // namespace
