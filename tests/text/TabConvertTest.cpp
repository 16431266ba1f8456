#include "text/TabConvert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <string>

namespace {

// Names the cases of a table after their `name` field.
template <class Case> std::string CaseName(const testing::TestParamInfo<Case>& param)
{
    return param.param.name;
}

std::string Quoted(std::string_view s)
{
    return "\"" + std::string(s) + "\"";
}

TEST(IsChordToken, AcceptsChords)
{
    for (const char* word :
         {"A", "H", "Am7", "F#m", "Bb", "H7", "D/F#", "Gsus4", "C(add9)", "Eb+", "Bridge", "Coda", "Day", "He", "G7"}) {
        SCOPED_TRACE(word);
        EXPECT_TRUE(IsChordToken(word));
    }
}

TEST(IsChordToken, RejectsOtherWords)
{
    for (const char* word : {"",   "am", "(C)",   "N.C.",  "C-G",  "Chorus:", "I",  "@",  "X",   "C*",
                             "C|", "C.", "C\xE9", "C\xA0", "\xC1", "C\t",     "C ", "C[", "[C]", "C}"}) {
        SCOPED_TRACE(Quoted(word));
        EXPECT_FALSE(IsChordToken(word));
    }
}

struct ChordLineCase
{
    const char* chordLine;
    const char* lyricLine;
    bool expected;
};

TEST(IsChordLine, DecidesOnChordWordsAndLyricWhiteSpace)
{
    const ChordLineCase cases[] = {
        {"G       C", "Amazing grace", true},
        {"", "Amazing grace", false},
        {"G", "", false},
        {"   ", "lyric", true}, // blanks only: no words, passes
        {"\t", "lyric", true},
        {"Am  ", "la", true},
        {"C\tG", "lyric", true},
        {"{title: x}", "lyric", false},
        {"C x", "lyric", false},
        {"C G am", "lyric", false},
        {"C  G", "a    b    c", false}, // 8 white-space characters against 3 others
        {"C", "ab  ", true},            // equal counts
        {"C", "a  ", false},
        {"C", "ab\v\f", true}, // vertical tab and form feed are white space
        {"C", "a\v\f", false},
        {"C", "a\r\r", false},
        {"C", "\xA0\xA0 ", true}, // bytes from 0x80 are not white space
    };
    for (const ChordLineCase& c : cases) {
        SCOPED_TRACE(Quoted(c.chordLine) + " over " + Quoted(c.lyricLine));
        EXPECT_EQ(IsChordLine(c.chordLine, c.lyricLine), c.expected);
    }
}

struct MergeCase
{
    const char* name;
    std::string chordLine;
    std::string lyricLine;
    std::string merged;
};

// Test names and failure messages show the case name, not a byte dump.
void PrintTo(const MergeCase& c, std::ostream* os)
{
    *os << c.name;
}

class MergeChordLineTest : public testing::TestWithParam<MergeCase>
{
};

TEST_P(MergeChordLineTest, InsertsMarksAtTheirColumns)
{
    const MergeCase& c = GetParam();
    std::string line = c.lyricLine;
    MergeChordLine(c.chordLine, line);
    EXPECT_EQ(line, c.merged);
}

const MergeCase mergeCases[] = {
    {"WorkedExample", "G       C", "Amazing grace", "[G]Amazing [C]grace"},
    {"PastTheEndAppendedInOrder", "C       G       D", "Oh", "[C]Oh[G][D]"},
    {"TabAfterChordCountsOne", "Am\tC", "Dreaming", "[Am]Dre[C]aming"},
    {"SecondTabCountsEight", "Am\t\tC", "Dreaming of a place", "[Am]Dreaming of[C] a place"},
    {"LeadingTabCountsEight", "\tG", "0123456789", "01234567[G]89"},
    {"SectionLabel", "Bridge", "Hold on to me", "[Bridge]Hold on to me"},
    {"ChordLineOverChordLine", "C G", "Am F", "[C]Am[G] F"},
    {"OnlyBlanks", "   \t", "lyric", "lyric"},
    {"ColumnJustBeforeTheEnd", "   G", "abcd", "abc[G]d"},
    {"ColumnAtTheEnd", "    G", "abcd", "abcd[G]"},
    {"EmptyLyric", "G C", "", "[G][C]"},
    {"AnyWordIsInserted", "N.C. G", "abcdefgh", "[N.C.]abcde[G]fgh"},
    {"LongChordNames", "Cmaj7 G/B Am", "one two three four", "[Cmaj7]one tw[G/B]o th[Am]ree four"},
};

INSTANTIATE_TEST_SUITE_P(Lines, MergeChordLineTest, testing::ValuesIn(mergeCases), CaseName<MergeCase>);

// The merge rule as it reads: insert each mark into the growing line at the column, or append it when the
// column is at or past the end. MergeChordLine builds the same line in one pass.
std::string MergeByInsertion(std::string_view chordLine, std::string lyric)
{
    std::size_t column = 0;
    for (std::size_t i = 0; i < chordLine.size(); ++i) {
        if (chordLine[i] == ' ') {
            column += 1;
            continue;
        }
        if (chordLine[i] == '\t') {
            column += 8;
            continue;
        }
        const std::size_t start = i;
        while (i < chordLine.size() && chordLine[i] != ' ' && chordLine[i] != '\t')
            ++i;
        const std::string mark = "[" + std::string(chordLine.substr(start, i - start)) + "]";
        if (column >= lyric.size())
            lyric += mark;
        else
            lyric.insert(column, mark);
        column += 2 * mark.size() - 1;
    }
    return lyric;
}

TEST(MergeChordLine, AgreesWithInsertingMarkByMarkOnRandomLines)
{
    std::mt19937 random(20240601);
    const std::string chordAlphabet = "  \t\tAGm7#/";
    const std::string lyricAlphabet = "ab c";
    auto randomText = [&](const std::string& alphabet, std::size_t maxLength) {
        std::string text(std::uniform_int_distribution<std::size_t>(0, maxLength)(random), ' ');
        for (char& c : text)
            c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
        return text;
    };
    for (int n = 0; n < 3000; ++n) {
        const std::string chordLine = randomText(chordAlphabet, 30);
        const std::string lyricLine = randomText(lyricAlphabet, 40);
        SCOPED_TRACE(Quoted(chordLine) + " over " + Quoted(lyricLine));
        std::string merged = lyricLine;
        MergeChordLine(chordLine, merged);
        ASSERT_EQ(merged, MergeByInsertion(chordLine, lyricLine));
    }
}

struct ConvertCase
{
    const char* name;
    std::string text;
    std::string converted;
};

// Test names and failure messages show the case name, not a byte dump.
void PrintTo(const ConvertCase& c, std::ostream* os)
{
    *os << c.name;
}

class ConvertTabTest : public testing::TestWithParam<ConvertCase>
{
};

TEST_P(ConvertTabTest, ConvertsTheText)
{
    const ConvertCase& c = GetParam();
    EXPECT_EQ(ConvertTabToChordPro(c.text), c.converted);
}

const ConvertCase convertCases[] = {
    {"WorkedExample",
     "{title: Amazing Grace}\r\nG       C\r\nAmazing grace\r\n\r\nD         G\r\nHow sweet the sound\r\n",
     "{title: Amazing Grace}\r\n[G]Amazing [C]grace\r\n[D]How sweet [G]the sound"},
    {"AllFourBracketsPassThrough", "{t:x}\r\nG\r\n[C]la\r\n", "{t:x}\r\nG\r\n[C]la\r\n"},
    {"BracketsInAnyOrderPassThrough", "}G\r\nla{ ][\r\n", "}G\r\nla{ ][\r\n"},
    {"NoOpeningBracketConverts", "{t:x}\r\nG\r\nC]la\r\n", "{t:x}\r\n[G]C]la"},
    {"NoClosingBracketConverts", "{t:x}\r\nG\r\n[Cla\r\n", "{t:x}\r\n[G][Cla"},
    {"NoOpeningBraceConverts", "t:x}\r\nG\r\n[C]la\r\n", "t:x}\r\n[G][C]la"},
    {"NoClosingBraceConverts", "{t:x\r\nG\r\n[C]la\r\n", "{t:x\r\n[G][C]la"},
    {"TooMuchWhiteSpaceStaysTwoLines", "C  G\r\na    b    c\r\n", "C  G\r\na    b    c"},
    {"EqualWhiteSpaceMerges", "C  G\r\nab  \r\n", "[C]ab [G] "},
    {"BlankChordLineDisappears", "   \r\nlyric\r\n\r\nnext\r\n", "lyric\r\nnext"},
    {"MergedLineIsNotTestedAgain", "   \r\nC\r\nla\r\n", "C\r\nla"},
    {"TwoChordLinesInARow", "C G\r\nAm F\r\nla la la\r\n", "[C]Am[G] F\r\nla la la"},
    {"LyricBelowPairsWithNextLine", "C G\r\nAm F\r\nEm\r\nla\r\n", "[C]Am[G] F\r\n[Em]la"},
    {"ChordLineOverEmptyLine", "G C\r\n\r\nla\r\n", "G C\r\n\r\nla"},
    {"ChordLineLast", "la la\r\nG C\r\n", "la la\r\nG C"},
    {"OneEmptyLineRemovedAfterMerge", "G\r\nla\r\n\r\n\r\nnext\r\n", "[G]la\r\n\r\nnext"},
    {"EmptyLineKeptWithoutMerge", "la\r\n\r\nnext\r\n", "la\r\n\r\nnext"},
    {"TrailingEmptyLineAfterMergeRemoved", "G\r\nla\r\n\r\n", "[G]la"},
    {"TrailingEmptyLineKept", "la\r\n\r\n", "la\r\n"},
    {"MergesInSuccession", "G\r\nla\r\nG\r\nla\r\n", "[G]la\r\n[G]la"},
    {"AnyLineEndsBecomeCrLf", "G\nla\rx\r\ny", "[G]la\r\nx\r\ny"},
    {"EmptyText", "", ""},
    {"OneLine", "abc\r\n", "abc"},
    {"OneLineWithoutLineEnd", "abc", "abc"},
    {"OnlyALineEnd", "\r\n", ""},
};

INSTANTIATE_TEST_SUITE_P(Texts, ConvertTabTest, testing::ValuesIn(convertCases), CaseName<ConvertCase>);

TEST(ConvertTabToChordPro, LongTextConvertsEveryPair)
{
    // Many pairs in one text, so that work per line stays independent of the lines before it.
    std::string text;
    std::string expected;
    constexpr int pairs = 5000;
    for (int n = 0; n < pairs; ++n) {
        text += "G       C\r\nAmazing grace\r\n\r\n";
        expected += n == 0 ? "" : "\r\n";
        expected += "[G]Amazing [C]grace";
    }
    const std::string converted = ConvertTabToChordPro(text);
    // Compared without gtest's string diff, which is slow on texts this long.
    const auto mismatch = std::mismatch(converted.begin(), converted.end(), expected.begin(), expected.end());
    EXPECT_TRUE(mismatch.first == converted.end() && mismatch.second == expected.end())
        << "first difference at byte " << (mismatch.first - converted.begin());
}

} // namespace
