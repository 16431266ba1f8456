#include "text/ChordDefinition.h"
#include "text/Scan.h"
#include "text/SongTitle.h"
#include "text/TabConvert.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using namespace std::string_literals;

TEST(Scan, PopLineSplitsAtAnyLineEndAndNextTokenRestsOnTheBlankAfterTheWord)
{
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"A\n\nB\r\r\nC\n\r\nD\n\rE", {"A", "", "B", "", "C", "", "D", "", "E"}}, // LF CR is two line ends
        {"a\r\r", {"a", ""}},
        {"\r\n \t\r\n", {"", " \t"}},
    };
    for (const auto& [buffer, expected] : cases) {
        std::string_view text = buffer;
        std::vector<std::string> lines;
        while (!text.empty())
            lines.emplace_back(PopLine(text));
        EXPECT_EQ(lines, expected) << testing::PrintToString(buffer);
        EXPECT_TRUE(PopLine(text).empty() && text.empty()); // an empty text stays empty
    }
    // At any offset, bytes next to CR and LF in value, and the same with the high bit set, do not end a line.
    const std::string filler = "\x8D\x8A\x0C\x0E\x0B\x09 \x8E\x8D\x8A\x0C\x0E\x0B\x09 \x8E\x8D\x8A\x0C\x0E\x0B";
    for (const std::string lineEnd : {"\r", "\n", "\r\n"})
        for (std::size_t length = 0; length < 40; ++length) {
            const std::string line = (filler + filler).substr(0, length);
            const std::string buffer = line + lineEnd + filler; // long enough to scan by words after any line
            std::string_view text = buffer;
            EXPECT_EQ(PopLine(text), line) << "length " << length << ", line end " << lineEnd.size();
            EXPECT_EQ(text, filler);
        }
    // NextToken: line, start, word, position after.
    const std::tuple<std::string, std::size_t, std::string, std::size_t> tokens[] = {
        {"  Am7  G", 0, "Am7", 5},
        {"  Am7  G", 5, "G", 8},
        {"  \t ", 0, "", 4},
        {"C\v\f\xA0\r\nG x", 0, "C\v\f\xA0\r\nG", 7}, // only space and tab separate words
        {"abc", 7, "", 7},                            // past the end: left where it was
    };
    for (const auto& [line, start, word, end] : tokens) {
        std::size_t pos = start;
        EXPECT_EQ(NextToken(line, pos), word) << testing::PrintToString(line) << " from " << start;
        EXPECT_EQ(pos, end) << testing::PrintToString(line) << " from " << start;
    }
}

TEST(SongTitle, ReadsTitleSubtitleAndDisplayName)
{
    // Text, title, subtitle; the display name is "title - subtitle", or the title alone.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"{t:Amazing Grace}\r\n{st:Traditional}\r\n", "Amazing Grace", "Traditional"},
        {"{title:   \tSong  }\r\n", "\tSong  ", ""}, // only leading spaces are skipped
        {"{t: Song\nx}{st: Sub\rx}", "Song", "Sub"},
        {"{title:}{st:   }\r\nLyrics\r\n", "(no title)", ""},
        {"\r\nAmazing Grace\r\n", "(no title)", ""},
        {"{ title: x}{Title: y}{Subtitle: z}\r\n", "{ title: x", ""},
        {"{title: One}\r\n{t: Two}\r\n", "Two", ""}, // "{t:" is searched over the whole text first
        {"Song\r\n{subtitle: Live}\r\n", "Song", "Live"},
        {"{title:Ab\0cd}{t:Z}{st:Y}"s, "Ab", ""}, // the text ends at its first NUL
    };
    for (const auto& [text, title, subtitle] : cases) {
        EXPECT_EQ(std::tuple(GetSongTitle(text), GetSongSubtitle(text), GetSongDisplayName(text)),
                  std::tuple(title, subtitle, subtitle.empty() ? title : title + " - " + subtitle))
            << testing::PrintToString(text);
    }
    // Title and subtitle are cut to 39 and 29 characters, or to the capacity less one.
    const std::string text = "{t:" + std::string(50, 'T') + "}\r\n{st:" + std::string(40, 'S') + "}\r\n";
    EXPECT_EQ(GetSongDisplayName(text), std::string(39, 'T') + " - " + std::string(29, 'S'));
    EXPECT_EQ(GetSongTitle("{t:   abcdefghijklmnop}", 11), "abcdefghij");
    EXPECT_EQ(GetSongSubtitle("{st:abcdef}", 4), "abc");
}

TEST(TabConvert, MergesChordLinesOverLyricLinesAtTheirColumns)
{
    for (const char* word : {"A", "H", "Am7", "F#m", "Bb", "D/F#", "Gsus4", "C(add9)", "Eb+", "Bridge", "Day", "G7"})
        EXPECT_TRUE(IsChordToken(word)) << word;
    for (const char* word : {"",   "am", "(C)",   "N.C.",  "C-G",  "Chorus:", "I",  "@",  "X",   "C*",
                             "C|", "C.", "C\xE9", "C\xA0", "\xC1", "C\t",     "C ", "C[", "[C]", "C}"})
        EXPECT_FALSE(IsChordToken(word)) << testing::PrintToString(word);
    // A chord line holds only chords, over a line where white space does not outnumber the rest.
    const std::tuple<const char*, const char*, bool> chordLines[] = {
        {"", "Amazing grace", false},
        {"G", "", false},
        {" \t ", "lyric", true}, // no words at all
        {"Am  ", "la", true},
        {"C G am", "lyric", false},
        {"C", "ab  ", true},
        {"C", "a  ", false},
        {"C", "a\v\f", false},
        {"C", "\xA0\xA0 ", true}, // bytes from 0x80 are not white space
    };
    for (const auto& [chords, lyric, expected] : chordLines)
        EXPECT_EQ(IsChordLine(chords, lyric), expected) << testing::PrintToString(chords) << " over " << lyric;
    const std::pair<std::string, std::string> cases[] = {
        // Marks at their columns, counted in the line as it grows; past the end of the lyric, one after the other.
        {"G       C\r\nAmazing grace\r\n", "[G]Amazing [C]grace"},
        {"C       G       D\r\nOh\r\n", "[C]Oh[G][D]"},
        {"Am\tC\r\nDreaming\r\n", "[Am]Dre[C]aming"}, // a tab right after a chord counts one column
        {"\tG\r\n0123456789\r\n", "01234567[G]89"},   // any other tab eight
        {"   G\r\nabcd\r\n", "abc[G]d"},
        {"    G\r\nabcd\r\n", "abcd[G]"},
        {"{title: Amazing Grace}\r\nG       C\r\nAmazing grace\r\n\r\nD         G\r\nHow sweet the sound\r\n",
         "{title: Amazing Grace}\r\n[G]Amazing [C]grace\r\n[D]How sweet [G]the sound"},
        {"}G\r\n[C]la{\r\n]\r\n", "}G\r\n[C]la{\r\n]\r\n"}, // all four brackets: left alone
        {"{t:x}\r\nG\r\nC]la\r\n", "{t:x}\r\n[G]C]la"},
        {"{t:x}\r\nG\r\n[Cla\r\n", "{t:x}\r\n[G][Cla"},
        {"t:x}\r\nG\r\n[C]la\r\n", "t:x}\r\n[G][C]la"},
        {"{t:x\r\nG\r\n[C]la\r\n", "{t:x\r\n[G][C]la"},
        {"C G\r\nAm F\r\nEm\r\nla\r\n", "[C]Am[G] F\r\n[Em]la"}, // a merged line is not tested again
        {"G C\r\n\r\nla\r\n", "G C\r\n\r\nla"},
        {"G\r\nla\r\n\r\n\r\nnext\r\n", "[G]la\r\n\r\nnext"}, // one empty line dropped after a merge
        {"G\nla\rx\r\ny", "[G]la\r\nx\r\ny"},
    };
    for (const auto& [text, converted] : cases)
        EXPECT_EQ(ConvertTabToChordPro(text), converted) << testing::PrintToString(text);
}

TEST(ChordDefinition, ReadsNameAndFretsIntoTheStoredRecordAndWritesThemBack)
{
    // Line, and the line the stored record gives back; empty: not a definition.
    const std::pair<std::string, std::string> cases[] = {
        {"Am\tx\t0\t2\t2\t1\t0", "Am x 0 2 2 1 0"},
        {"Dsus4 x x 0 2", "Dsus4 x x 0 2 x x"}, // four values are enough
        {"Dsus4 x x 0", ""},
        {"C 0 1 2 3 4 5 6 7", "C 0 1 2 3 4 5"},
        {"C  0 1 2 3 4 5", ""}, // exactly one blank after the name and after each value
        {"C 0 1 2 3  4 5", "C 0 1 2 3 x x"},
        {" G 3 2 0 0 0 3", ""},
        {"G", ""},
        {"C 1 2 3 4 \xE9 5", "C 1 2 3 4 x x"},
        {"C 300 15 2 0 1 0", "C 44 x 2 0 1 0"},
        {"C 256 257 511 007 0 99999999999999999999", "C 0 1 255 7 0 255"},
        {"C xo 5x 5/7 X", "C x 5 5 x x x"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXY 1 2 3 4 5 6", "ABCDEFGHIJKLMNOPQRS 1 2 3 4 5 6"},
        {"C\xE9\xA0 7 8 9 10 11 12", "C\xE9\xA0 7 8 9 10 11 12"},
    };
    for (const auto& [line, expected] : cases) {
        ChordRecord record{{7, 7, 7, 7, 7, 7}, {7, 7}, "QQQQQQQQQQQQQQQQQQQ"}; // nothing of it may be kept
        ASSERT_EQ(ParseChordDefinition(line, record), !expected.empty()) << testing::PrintToString(line);
        EXPECT_EQ(IsChordDefinitionLine(line), !expected.empty()) << testing::PrintToString(line);
        EXPECT_EQ(expected.empty() ? "" : FormatChordDefinition(record.StoredBytes()).value_or("?"), expected);
    }
    // Stored: the frets, the reserved bytes as zero, a name without terminator with its first 19 characters.
    ChordRecord record{{1, 2, 3, 4, 5, 6}, {7, 7}, "ABCDEFGHIJKLMNOPQRS"};
    record.chordName[CHORD_MAX_NAME_LENGTH] = 'T';
    const std::string stored = "\1\2\3\4\5\6\0\0ABCDEFGHIJKLMNOPQRS\0"s;
    EXPECT_EQ(record.StoredBytes(), std::vector<std::uint8_t>(stored.begin(), stored.end()));
    // Written from stored bytes: the name up to a NUL or the record's end, a muted string as x.
    const std::pair<std::vector<std::uint8_t>, std::string> records[] = {
        {{3, 2, 0, 0, 0, 3, 0, 0, 'G', 0}, "G 3 2 0 0 0 3"},
        {{15, 15, 0, 2, 3, 2, 0, 0, 'D', 0}, "D x x 0 2 3 2"},
        {{255, 16, 14, 100, 0, 15, 0, 0, 'C', 0xFF, 0}, "C\xFF 255 16 14 100 0 x"},
        {{0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 'A', 0}, "A 0 0 0 0 0 0"},
        {{1, 2, 3, 4, 5, 6, 0, 0, 'E', 0, 'Z', 'Z'}, "E 1 2 3 4 5 6"},
        {{1, 2, 3, 4, 5, 6, 0, 0, 0}, " 1 2 3 4 5 6"},
        {{1, 2, 3, 4, 5, 6, 0, 0, 'F'}, "F 1 2 3 4 5 6"},
    };
    for (const auto& [bytes, line] : records)
        EXPECT_EQ(FormatChordDefinition(bytes), line); // exactly sized: the sanitizer build sees reads past it
    for (std::size_t size = 0; size <= CHORD_NAME_OFFSET; ++size)
        EXPECT_EQ(FormatChordDefinition(std::vector<std::uint8_t>(size)), std::nullopt);
}
