#include "text/SongTitle.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

// Names the cases of a table after their `name` field.
template <class Case> std::string CaseName(const testing::TestParamInfo<Case>& param)
{
    return param.param.name;
}

using namespace std::string_literals;

struct DisplayNameCase
{
    const char* name;
    std::string text;
    std::string title;
    std::string subtitle;
    std::string displayName;
};

// Test names and failure messages show the case name, not a byte dump.
void PrintTo(const DisplayNameCase& c, std::ostream* os)
{
    *os << c.name;
}

class DisplayNameTest : public testing::TestWithParam<DisplayNameCase>
{
};

TEST_P(DisplayNameTest, ReadsTitleAndSubtitle)
{
    const DisplayNameCase& c = GetParam();
    EXPECT_EQ(GetSongTitle(c.text), c.title);
    EXPECT_EQ(GetSongSubtitle(c.text), c.subtitle);
    EXPECT_EQ(GetSongDisplayName(c.text), c.displayName);
}

const DisplayNameCase displayNameCases[] = {
    {"LongTitleForm", "{title: Amazing Grace}\r\n[G]Amazing\r\n", "Amazing Grace", "", "Amazing Grace"},
    {"ShortForms",
     "{t:Amazing Grace}\r\n{st:Traditional}\r\n",
     "Amazing Grace",
     "Traditional",
     "Amazing Grace - Traditional"},
    {"LeadingSpacesSkippedTrailingKept", "{title:   Song  }\r\n", "Song  ", "", "Song  "},
    {"OnlySpacesAreSkipped", "{title:\tTab}\r\n", "\tTab", "", "\tTab"},
    {"NoClosingBraceEndsAtCrLf", "{title: Song\r\nnext}\r\n", "Song", "", "Song"},
    {"NoClosingBraceEndsAtLf", "{t: Song\nnext}", "Song", "", "Song"},
    {"NoClosingBraceEndsAtLoneCr", "{t: Song\rnext}", "Song", "", "Song"},
    {"EndsAtFirstBrace", "{t:a}b}\r\n", "a", "", "a"},
    {"EmptyDirective", "{title:}\r\nLyrics\r\n", "(no title)", "", "(no title)"},
    {"EmptyFirstLine", "\r\nAmazing Grace\r\n", "(no title)", "", "(no title)"},
    {"EmptyText", "", "(no title)", "", "(no title)"},
    {"FirstLineWithoutDirective", "Amazing Grace\r\nverse\r\n", "Amazing Grace", "", "Amazing Grace"},
    {"FirstLineLeadingSpacesSkipped", "   Amazing Grace\r\n", "Amazing Grace", "", "Amazing Grace"},
    {"WrongCaseIsNotADirective", "{Title: Amazing Grace}\r\n", "{Title: Amazing Grace", "", "{Title: Amazing Grace"},
    {"SpaceAfterBraceIsNotADirective", "{ title: x}\r\n", "{ title: x", "", "{ title: x"},
    {"ShortFormSearchedFirstOverWholeText", "{title: One}\r\n{t: Two}\r\n", "Two", "", "Two"},
    {"DirectiveInMidLine", "Song: {t:Inner} here\r\n", "Inner", "", "Inner"},
    {"LongSubtitleForm", "Song\r\n{subtitle: Live}\r\n", "Song", "Live", "Song - Live"},
    {"ShortSubtitleSearchedFirst", "{t:S}{subtitle:One}{st:Two}", "S", "Two", "S - Two"},
    {"WrongCaseSubtitleIsNotFound", "Song\r\n{Subtitle: Live}\r\n", "Song", "", "Song"},
    {"SubtitleOfOnlySpaces", "{t:Song}\r\n{st:   }\r\n", "Song", "", "Song"},
    // "{st:" holds no "{t:", and "{subtitle:" neither "{t:" nor "{title:": the title comes from the text start.
    {"SubtitleIsNotATitle", "{st:Sub}\r\n", "{st:Sub", "Sub", "{st:Sub - Sub"},
    {"LongSubtitleIsNotATitle", "{subtitle:X}\r\n", "{subtitle:X", "X", "{subtitle:X - X"},
    // The text ends at its first NUL byte, as a C string does.
    {"NulEndsTheTitle", "{t:Ab\0cd}\r\n"s, "Ab", "", "Ab"},
    {"DirectivesAfterNulAreNotSeen", "{title:A\0{t:Z}{st:Y}"s, "A", "", "A"},
    {"NulFirst", "\0{t:Z}"s, "(no title)", "", "(no title)"},
};

INSTANTIATE_TEST_SUITE_P(Texts, DisplayNameTest, testing::ValuesIn(displayNameCases), CaseName<DisplayNameCase>);

TEST(SongTitle, LongTitleAndSubtitleAreCut)
{
    const std::string title(50, 'T');
    const std::string subtitle(40, 'S');
    const std::string text = "{t:" + title + "}\r\n{st:" + subtitle + "}\r\n";
    EXPECT_EQ(GetSongTitle(text), std::string(39, 'T'));
    EXPECT_EQ(GetSongSubtitle(text), std::string(29, 'S'));
    const std::string displayName = GetSongDisplayName(text);
    EXPECT_EQ(displayName, std::string(39, 'T') + " - " + std::string(29, 'S'));
    EXPECT_EQ(displayName.size(), 71u);
}

TEST(SongTitle, TitleOfExactlyThirtyNineIsKept)
{
    const std::string title(39, 'x');
    EXPECT_EQ(GetSongTitle("{t:" + title + "}"), title);
    EXPECT_EQ(GetSongTitle(title + "y"), title);
}

TEST(SongTitle, CapacityLimitsTheTitleAndTheSpacesDoNotCount)
{
    EXPECT_EQ(GetSongTitle("{t:   abcdefghijklmnop}", 11), "abcdefghij");
    EXPECT_EQ(GetSongTitle("{t:}", 11), "(no title)");
    EXPECT_EQ(GetSongSubtitle("{st:abcdef}", 4), "abc");
}

} // namespace
