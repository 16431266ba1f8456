#include "jobs/LossReport.h"

#include "jobs/Export.h"
#include "jobs/Intake.h"
#include "jobs/Messages.h"

#include <gtest/gtest.h>

void PrintTo(const Loss& loss, std::ostream* out)
{
    *out << messages::LossDescription(loss) << " [" << static_cast<int>(loss.kind) << " " << loss.count << "]";
}

namespace {

using namespace std::string_literals;

// 79 lines of 99 characters: 7900 characters of a song record with their line ends.
const std::string BLOCK = [] {
    std::string block;
    for (int i = 0; i < 79; ++i)
        block += std::string(99, 'a') + '\n';
    return block;
}();

// The case's name, the bytes of a file loaded as "x.pro", whether it is read as a chord list, the losses.
using LossCase = std::tuple<const char*, std::string, bool, std::vector<Loss>>;

const std::string SEVEN_VALUES = "D 0 0 0 0 2 3 2";
const std::string LONG_NAME = "Cmaj7sus4add9/G#bass x 3 2 0 1 0";

// clang-format off
const LossCase LOSS_CASES[] = {
    {"NothingLost", "{title: Caf\xC3\xA9}\n[F\xE2\x99\xAF]x [B\xE2\x99\xAD]y\n", false, {}},
    {"OmegaTwiceAndCjk", "\xCE\xA9 \xCE\xA9 \xE6\x9D\xB1\n", false,
     {{LossKind::CharactersReplaced, 3, 0, "\xCE\xA9 (U+03A9, 2 times), \xE6\x9D\xB1 (U+6771)", ""}}},
    {"ControlsNamedOnly", "a\xC2\x85" "b\xE2\x80\xA8\n", false,
     {{LossKind::CharactersReplaced, 2, 0, "(U+0085), (U+2028)", ""}}},
    // 7999 characters fit (the last line end is not needed); a cut on a line end names the next line.
    {"FullRecord", BLOCK + std::string(99, 'a'), false, {}},
    {"OneOver", BLOCK + std::string(100, 'a'), false, {{LossKind::TextCut, 1, 80, std::string(60, 'a') + "...", ""}}},
    {"CutOnLineEnd", BLOCK + std::string(99, 'a') + "\nb", false, {{LossKind::TextCut, 2, 81, "b", ""}}},
    {"CutAtLineStart", BLOCK + std::string(98, 'a') + "\ncc\n", false, {{LossKind::TextCut, 2, 81, "cc", ""}}},
    // A name of 19 characters fits; one of 20 is cut. Blank and "#" comment lines are no lost chords.
    {"ValuesNameAndOtherLines", "Abcdefghijklmnopqrs x 3 2 0 1 0\n" + SEVEN_VALUES + "\n\n  \n#barre-chords-of-the-book 15 1\n" + LONG_NAME +
     "\nG 320033\n" + SEVEN_VALUES + " 9\nG  3 2 0 0 0 3\n", true,
     {{LossKind::ChordValuesDropped, 2, 2, SEVEN_VALUES, "2"},
      {LossKind::ChordNameCut, 1, 6, "Cmaj7sus4add9/G#bass", "s"},
      {LossKind::NotChordDefinitions, 2, 7, "G 320033", ""}}},
    {"DoubleBlankMidLine", "C x 3 2 0  1 0\nG 3 2 0 0 0 3\n", true,
     {{LossKind::ChordValuesDropped, 1, 1, "C x 3 2 0  1 0", " 1 0"}}},
    {"ChordListAfterSongs", "C x 3 2 0 1 0\n" + LONG_NAME + "\n", false,
     {{LossKind::ChordListAfterSongs, 1, 1, "C x 3 2 0 1 0", ""}}},
    // 15 is a string not played and values wrap at 256, whatever zeros lead; 14, x and 015 are fine.
    {"FretValues", "C x 3 2 0 1 0\nHigh 15 14 x 0 1 2\nA 14 0 0 0 0 0\nB 0 0 0 0 0 300\nD 014 0 0 0 0 0\nE 0 0 0 0 0 0 99\n", true,
     {{LossKind::ChordValuesDropped, 1, 6, "E 0 0 0 0 0 0 99", "99"},
      {LossKind::FretValueTooHigh, 2, 2, "High 15 14 x 0 1 2", "15"}}},
    {"NulInChordName", "C x 3 2 0 1 0\nG\0m 3 2 0 0 0 3\n"s, true, {{LossKind::NulInChordList, 1, 2, "G\0m 3 2 0 0 0 3"s, ""}}},
    // A NUL past the first 4 KiB ends the song there; one after the cut is the cut's loss alone.
    {"NulEndsSong", std::string(4100, 'a') + "\nb\0cd\nef\n"s, false, {{LossKind::NulEndsSong, 6, 2, "b\0cd"s, ""}}},
    {"NulAfterTheCut", BLOCK + std::string(150, 'a') + "\0\n"s, false,
     {{LossKind::TextCut, 52, 80, std::string(60, 'a') + "...", ""}}},
    {"BrokenUtf8", "Cr\xC3\xA8me\n\nBr\xFBl\xE9\x65\n", false, {{LossKind::ReadAsWindows1252, 1, 3, "", ""}}},
    {"CompactChordList", "G 320033\nC x32010\n", false, {{LossKind::ChordListAsSong, 1, 1, "G 320033", ""}}},
    {"AlignedChordList", "C x 3 2 0 1 0\nG   3 2 0 0 0 3\n", false,
     {{LossKind::ChordListAsSong, 1, 2, "G   3 2 0 0 0 3", ""}}},
    // A comment line above the list, or values joined by dashes, keep the list a song: said, naming line 1.
    {"CommentAboveChordList", "# my chords\n\nC x 3 2 0 1 0\nG 3 2 0 0 0 3\n", false,
     {{LossKind::ChordListAsSong, 1, 1, "# my chords", ""}}},
    {"DashedChordList", "C: x-3-2-0-1-0\nG: 3-2-0-0-0-3\n", false, {{LossKind::ChordListAsSong, 1, 1, "C: x-3-2-0-1-0", ""}}},
    {"DefineList", "{define: C base-fret 1 frets x 3 2 0 1 0}\n# barre\n{chord: F frets 1 3 3 2 1 1}\n", false,
     {{LossKind::ChordListAsSong, 1, 1, "{define: C base-fret 1 frets x 3 2 0 1 0}", ""}}},
    {"SongWithDefines", "{define: C base-fret 1 frets x 3 2 0 1 0}\n{define: G frets 3 2 0 0 0 3}\n[C]la\n", false, {}},
    {"SongWithNumbers", "Verse 1\nIn 1969 2 3 4\n", false, {}},
    {"SongUnderAComment", "# from the 1969 book\nIn 1969 2 3 4\nCall 555-1234\n", false, {}},
    // A chord name with a blank, as the handheld allows and extraction writes it, makes no chord list.
    {"BlankInChordName", "A m x 0 2 2 1 0\nG 3 2 0 0 0 3\n", false,
     {{LossKind::ChordListAsSong, 1, 1, "A m x 0 2 2 1 0", ""}}},
    {"LyricsEndingInAYear", "In the year 2024\nWe sang 1969\n", false, {}},
    {"SongAfterTwoBlankLines", "\n\nVerse 1\nla la\n", false, {}},
};
// clang-format on

TEST(LossReport, ReportsWhatTheExportLoses)
{
    for (const auto& [name, fileBytes, chordList, losses] : LOSS_CASES)
        EXPECT_EQ(TextLosses(MakeLoadedText("x.pro", fileBytes), chordList), losses) << name;
}

TEST(LossReport, SignsBecomeLettersAndOtherCharactersAreCounted)
{
    // U+266F and U+266D as "#" and "b" in text and names alike; U+266E (natural) has no letter.
    ReplacedCharacters replaced;
    EXPECT_EQ(Utf8ToCp1252("[F\xE2\x99\xAF] [B\xE2\x99\xAD] \xE2\x99\xAE \xCE\xA9\xFF", replaced), "[F#] [Bb] ? ??");
    EXPECT_EQ(replaced.counts, (std::map<char32_t, std::size_t>{{0x03A9, 1}, {0x266E, 1}, {0xFFFD, 1}}));
    EXPECT_EQ(DatabaseNameLoss("F\xE2\x99\xAF Songs"), std::nullopt);
    EXPECT_EQ(DatabaseNameLoss("Caf\xE9"), std::nullopt); // not UTF-8: taken byte for byte
    EXPECT_EQ(DatabaseNameLoss("\xCE\xA9mega"), (Loss{LossKind::DatabaseNameChanged, 1, 0, "\xCE\xA9mega", "?mega"}));
}

} // namespace
