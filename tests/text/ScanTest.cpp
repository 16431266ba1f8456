#include "text/Scan.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

// Names the cases of a table after their `name` field.
template <class Case> std::string CaseName(const testing::TestParamInfo<Case>& param)
{
    return param.param.name;
}

struct PopLineCase
{
    const char* name;
    std::string text;
    // Each call's line and what is left of the text after it, until the text is empty.
    std::vector<std::pair<std::string, std::string>> steps;
};

// Test names and failure messages show the case name, not a byte dump.
void PrintTo(const PopLineCase& c, std::ostream* os)
{
    *os << c.name;
}

class PopLineTest : public testing::TestWithParam<PopLineCase>
{
};

TEST_P(PopLineTest, WalksTheTextLineByLine)
{
    const PopLineCase& c = GetParam();
    std::string_view text = c.text;
    for (const auto& [line, rest] : c.steps) {
        ASSERT_FALSE(text.empty()) << "text ended before the line \"" << line << "\"";
        const std::string_view popped = PopLine(text);
        EXPECT_EQ(popped, line);
        EXPECT_EQ(text, rest);
        // The line and the rest stay views into the caller's buffer: nothing is copied.
        EXPECT_GE(popped.data(), c.text.data());
        EXPECT_LE(text.data() + text.size(), c.text.data() + c.text.size());
    }
    EXPECT_TRUE(text.empty()) << "left over: " << text;
}

const PopLineCase popLineCases[] = {
    {"CrLf", "A\r\nB", {{"A", "B"}, {"B", ""}}},
    {"LfLf", "A\n\nB", {{"A", "\nB"}, {"", "B"}, {"B", ""}}},
    {"CrCrLf", "A\r\r\nB", {{"A", "\r\nB"}, {"", "B"}, {"B", ""}}},
    {"LfCrLf", "A\n\r\nB", {{"A", "\r\nB"}, {"", "B"}, {"B", ""}}},
    {"LfCrIsTwoLineEnds", "A\n\rB", {{"A", "\rB"}, {"", "B"}, {"B", ""}}},
    {"LoneCr", "A\rB", {{"A", "B"}, {"B", ""}}},
    {"LoneLf", "A\nB", {{"A", "B"}, {"B", ""}}},
    {"FinalCrLfGivesNoEmptyLine", "a\r\n", {{"a", ""}}},
    {"FinalLoneCr", "a\r", {{"a", ""}}},
    {"TwoFinalCr", "a\r\r", {{"a", "\r"}, {"", ""}}},
    {"CrLfAlone", "\r\n", {{"", ""}}},
    {"NoLineEnd", "abc", {{"abc", ""}}},
    {"EmptyLinesAndBlanks", "\r\n \t\r\n", {{"", " \t\r\n"}, {" \t", ""}}},
    {"EmptyText", "", {}},
};

INSTANTIATE_TEST_SUITE_P(LineEnds, PopLineTest, testing::ValuesIn(popLineCases), CaseName<PopLineCase>);

TEST(PopLine, OnAnEmptyBufferGivesAnEmptyLineAndLeavesItEmpty)
{
    std::string_view text;
    EXPECT_EQ(PopLine(text), "");
    EXPECT_TRUE(text.empty());
}

TEST(PopLine, FindsTheLineEndAtAnyOffsetAmongLookAlikeBytes)
{
    // Bytes next to CR and LF in value, and the same with the high bit set, must not end a line.
    const std::string filler = "\x8D\x8A\x0C\x0E\x0B\x09 \x8E";
    for (const std::string lineEnd : {"\r", "\n", "\r\n"})
        for (std::size_t length = 0; length < 40; ++length) {
            std::string line;
            for (std::size_t i = 0; i < length; ++i)
                line += filler[i % 8];
            SCOPED_TRACE(testing::Message() << "length " << length << ", line end " << lineEnd.size());
            const std::string text = line + lineEnd + "next";
            std::string_view rest = text;
            EXPECT_EQ(PopLine(rest), line);
            EXPECT_EQ(rest, "next");
        }
}

struct NextTokenCase
{
    const char* name;
    std::string line;
    std::size_t start;
    std::string token;
    std::size_t end;
};

// Test names and failure messages show the case name, not a byte dump.
void PrintTo(const NextTokenCase& c, std::ostream* os)
{
    *os << c.name;
}

class NextTokenTest : public testing::TestWithParam<NextTokenCase>
{
};

TEST_P(NextTokenTest, ReturnsTheWordAndRestsOnTheBlankAfterIt)
{
    const NextTokenCase& c = GetParam();
    std::size_t pos = c.start;
    EXPECT_EQ(NextToken(c.line, pos), c.token);
    EXPECT_EQ(pos, c.end);
}

const NextTokenCase nextTokenCases[] = {
    {"SkipsLeadingBlanks", "  Am7  G", 0, "Am7", 5},
    {"FromAfterTheEndingBlank", "  Am7  G", 6, "G", 8},
    {"FromTheEndingBlank", "  Am7  G", 5, "G", 8},
    {"InsideAToken", "Gsus4", 1, "sus4", 5},
    {"OnlyBlanks", "  \t ", 0, "", 4},
    {"TrailingBlanks", "C  ", 1, "", 3},
    {"TabSeparates", "C\tG", 0, "C", 1},
    {"AfterTab", "C\tG", 2, "G", 3},
    {"VerticalTabIsPartOfTheWord", "C\vG x", 0, "C\vG", 3},
    {"FormFeedIsPartOfTheWord", "C\fG", 0, "C\fG", 3},
    {"NonBreakingSpaceIsPartOfTheWord", "C\xA0G", 0, "C\xA0G", 3},
    {"LineEndsArePartOfTheWord", "C\r\nG", 0, "C\r\nG", 4},
    {"AtTheEnd", "abc", 3, "", 3},
    {"PastTheEndLeavesThePosition", "abc", 7, "", 7},
    {"EmptyLine", "", 0, "", 0},
};

INSTANTIATE_TEST_SUITE_P(Positions, NextTokenTest, testing::ValuesIn(nextTokenCases), CaseName<NextTokenCase>);

TEST(NextToken, WalkingALineAsCallersDoVisitsEveryWord)
{
    const std::string line = "C  G\t\tAm7 D/F#  ";
    std::vector<std::string> words;
    for (std::size_t pos = 0; pos < line.size(); ++pos) {
        const std::string_view word = NextToken(line, pos);
        if (!word.empty())
            words.emplace_back(word);
    }
    EXPECT_EQ(words, (std::vector<std::string>{"C", "G", "Am7", "D/F#"}));
}

} // namespace
