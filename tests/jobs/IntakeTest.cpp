#include "jobs/Intake.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct LineCase
{
    const char* name;
    std::string_view fileBytes;
    std::string_view loaded;
};

class LoadedTextLines : public ::testing::TestWithParam<LineCase>
{
};

TEST_P(LoadedTextLines, EveryLineEndsWithCrLf)
{
    EXPECT_EQ(MakeLoadedText("song.pro", GetParam().fileBytes), GetParam().loaded);
}

INSTANTIATE_TEST_SUITE_P(Intake,
                         LoadedTextLines,
                         ::testing::Values(LineCase{"LastLineWithoutEnd", "A\nB", "A\r\nB\r\n"},
                                           LineCase{"LfEnds", "A\nB\n", "A\r\nB\r\n"},
                                           LineCase{"CrLfEnds", "A\r\nB\r\n", "A\r\nB\r\n"},
                                           LineCase{"LoneCrStaysInLine", "A\rB\n", "A\rB\r\n"},
                                           LineCase{"TrailingLoneCr", "A\r", "A\r\r\n"},
                                           LineCase{"CrCrLf", "A\r\r\nB", "A\r\r\nB\r\n"},
                                           LineCase{"BlankLinesKept", "A\n\n\nB\n", "A\r\n\r\n\r\nB\r\n"},
                                           LineCase{"OnlyLineEnd", "\n", "\r\n"},
                                           LineCase{"EmptyFile", "", ""},
                                           LineCase{"Utf8Transcoded", "Caf\xC3\xA9\n", "Caf\xE9\r\n"},
                                           LineCase{"BomDropped", "\xEF\xBB\xBF{title: X}\r\n", "{title: X}\r\n"}),
                         [](const auto& p) { return std::string(p.param.name); });

// The worked example of the tab conversion, as a file with LF line ends.
constexpr std::string_view AMAZING_GRACE_TAB = "{title: Amazing Grace}\n"
                                               "G       C\n"
                                               "Amazing grace\n"
                                               "\n"
                                               "D         G\n"
                                               "How sweet the sound\n";
constexpr std::string_view AMAZING_GRACE_PRO = "{title: Amazing Grace}\r\n"
                                               "[G]Amazing [C]grace\r\n"
                                               "[D]How sweet [G]the sound";

TEST(Intake, TabFilesAreConvertedWhateverTheCase)
{
    for (const char* name : {"x.tab", "x.TAB", "x.Crd", "/some/folder/song.crd"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(IsTabFileName(name));
        EXPECT_EQ(MakeLoadedText(name, AMAZING_GRACE_TAB), AMAZING_GRACE_PRO);
    }
}

TEST(Intake, OtherFilesAreLoadedUnchanged)
{
    const std::string lines = "{title: Amazing Grace}\r\nG       C\r\nAmazing grace\r\n\r\nD         G\r\n"
                              "How sweet the sound\r\n";
    for (const char* name : {"x.pro", "x.chordpro", "x.txt", "x.tab.txt", "tab", ".ta", "x.crdx", "x.pdb"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(IsTabFileName(name));
        EXPECT_EQ(MakeLoadedText(name, AMAZING_GRACE_TAB), lines);
    }
}

TEST(Intake, TabFileIsDecodedBeforeConversion)
{
    // The accent is one character in the lyric line, so the chord still lands in front of "grace".
    EXPECT_EQ(MakeLoadedText("x.tab", "G       C\nAm\xC3\xA9zing grace\n"), "[G]Am\xE9zing [C]grace");
}

TEST(Intake, LoadTextFileReadsFromDisk)
{
    TempDir dir;
    WriteFileBytes(dir.File("song.TAB"), AMAZING_GRACE_TAB);
    WriteFileBytes(dir.File("empty.txt"), "");
    WriteFileBytes(dir.File("cafe.pro"), "{t:Caf\xC3\xA9}\nx");

    EXPECT_EQ(LoadTextFile(dir.File("song.TAB")), std::optional<std::string>(AMAZING_GRACE_PRO));
    EXPECT_EQ(LoadTextFile(dir.File("empty.txt")), std::optional<std::string>(""));
    EXPECT_EQ(LoadTextFile(dir.File("cafe.pro")), std::optional<std::string>("{t:Caf\xE9}\r\nx\r\n"));
    EXPECT_EQ(LoadTextFile(dir.File("missing.pro")), std::nullopt);
    EXPECT_EQ(LoadTextFile(dir.Str()), std::nullopt); // a folder
}

TEST(Intake, DataFilesWithCharacterSets)
{
    const std::string data = std::string(TEST_DATA_DIR) + "/jobs/";
    struct Case
    {
        const char* file;
        std::string_view loaded;
    };
    const Case cases[] = {
        {"cafe-utf8.pro", "{title: Caf\xE9}\r\nUn [C]caf\xE9, s'il vous pla\xEEt\r\n"},
        {"cafe-cp1252.pro", "{title: Caf\xE9}\r\nUn [C]caf\xE9, s'il vous pla\xEEt\r\n"},
        {"noel-bom.pro", "{title: No\xEBl}\r\n[G]No\xEBl, \x93joyeux\x94\r\n"},
        {"tokyo-outside-cp1252.pro", "{title: Tokyo ??}\r\n[Am]\x80 5\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(LoadTextFile(data + c.file), std::optional<std::string>(c.loaded));
    }
}

struct ModeCase
{
    const char* name;
    std::string_view text;
    bool chordMode;
};

class ChordModeTest : public ::testing::TestWithParam<ModeCase>
{
};

TEST_P(ChordModeTest, FirstTwoLinesDecide)
{
    EXPECT_EQ(IsChordModeText(GetParam().text), GetParam().chordMode);
}

INSTANTIATE_TEST_SUITE_P(
    Intake,
    ChordModeTest,
    ::testing::Values(ModeCase{"TwoDefinitions", "C x 3 2 0 1 0\r\nG 3 2 0 0 0 3\r\n", true},
                      ModeCase{"RestDoesNotMatter", "C x 3 2 0 1 0\r\nD x x 0 2 3 2\r\n{title: no}\r\n", true},
                      ModeCase{"NoFinalLineEnd", "C x 3 2 0 1 0\nD x x 0 2 3 2", true},
                      ModeCase{"OneDefinitionOnly", "C x 3 2 0 1 0\r\n", false},
                      ModeCase{"OneDefinitionNoEnd", "C x 3 2 0 1 0", false},
                      ModeCase{"SecondIsLyrics", "C x 3 2 0 1 0\r\nHello there\r\n", false},
                      ModeCase{"FirstIsTitle", "{title: C}\r\nC x 3 2 0 1 0\r\nG 3 2 0 0 0 3\r\n", false},
                      ModeCase{"BlankSecondLine", "C x 3 2 0 1 0\r\n\r\nG 3 2 0 0 0 3\r\n", false},
                      ModeCase{"Empty", "", false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Intake, OnlyTheFirstTextDecidesChordMode)
{
    const std::string chords = "C x 3 2 0 1 0\r\nG 3 2 0 0 0 3\r\n";
    const std::string song = "{title: A}\r\nla la\r\n";
    EXPECT_TRUE(IsChordMode({chords, song}));
    EXPECT_FALSE(IsChordMode({song, chords}));
    EXPECT_FALSE(IsChordMode({}));
}

TEST(Intake, CorpusChordListIsChordMode)
{
    const std::string path = std::string(CORPUS_DIR) + "/chords/guitar-chords-db.txt";
    if (!std::filesystem::exists(path)) {
        GTEST_SKIP() << "corpus chord list not found: " << path;
    }
    const std::optional<std::string> text = LoadTextFile(path);
    ASSERT_TRUE(text.has_value());
    EXPECT_TRUE(IsChordModeText(*text));
}

} // namespace
