#include "jobs/Charset.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

struct DecodeCase
{
    const char* name;
    std::string_view fileBytes;
    std::string_view loaded; // Windows-1252
};

class DecodeFileTextTest : public ::testing::TestWithParam<DecodeCase>
{
};

TEST_P(DecodeFileTextTest, GivesWindows1252Text)
{
    EXPECT_EQ(DecodeFileText(GetParam().fileBytes), GetParam().loaded);
}

INSTANTIATE_TEST_SUITE_P(
    Files,
    DecodeFileTextTest,
    ::testing::Values(DecodeCase{"Ascii", "Amazing grace\r\n", "Amazing grace\r\n"},
                      DecodeCase{"Utf8Accent", "Caf\xC3\xA9", "Caf\xE9"},
                      DecodeCase{"Cp1252Accent", "Caf\xE9 au lait", "Caf\xE9 au lait"},
                      DecodeCase{"BomDropped", "\xEF\xBB\xBFHello", "Hello"},
                      DecodeCase{"BomAndUtf8", "\xEF\xBB\xBFNo\xC3\xABl", "No\xEBl"},
                      DecodeCase{"BomOnly", "\xEF\xBB\xBF", ""},
                      DecodeCase{"BomNotAtStart", "A\xEF\xBB\xBF", "A?"},
                      DecodeCase{"EuroAndQuotes", "\xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D", "\x80 \x93x\x94"},
                      DecodeCase{"OutsideWindows1252", "Tokyo \xE6\x9D\xB1\xE4\xBA\xAC.", "Tokyo ??."},
                      DecodeCase{"Emoji", "a\xF0\x9F\x8E\xB8z", "a?z"},
                      // One bad byte makes the whole file Windows-1252, including what looks like UTF-8.
                      DecodeCase{"InvalidUtf8TakenAsCp1252", "Caf\xC3\xA9 \xE9t\xE9", "Caf\xC3\xA9 \xE9t\xE9"},
                      DecodeCase{"OverlongIsNotUtf8", "\xC0\xAF", "\xC0\xAF"},
                      DecodeCase{"SurrogateIsNotUtf8", "\xED\xA0\x80", "\xED\xA0\x80"},
                      DecodeCase{"TruncatedAtEnd", "ok \xC3", "ok \xC3"},
                      DecodeCase{"Empty", "", ""}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Charset, EveryWindows1252ByteSurvivesTheRoundTrip)
{
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const std::string utf8 = Cp1252ToUtf8(all);
    EXPECT_TRUE(IsValidUtf8(utf8));
    EXPECT_EQ(Utf8ToCp1252(utf8), all);
}

TEST(Charset, Cp1252ToUtf8UsesTheWindowsTable)
{
    EXPECT_EQ(Cp1252ToUtf8("Caf\xE9"), "Caf\xC3\xA9");
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC"); // euro sign
    EXPECT_EQ(Cp1252ToUtf8("\x8A"), "\xC5\xA0");     // S with caron
    EXPECT_EQ(Cp1252ToUtf8("\x92"), "\xE2\x80\x99"); // right single quote
    EXPECT_EQ(Cp1252ToUtf8("\x9F"), "\xC5\xB8");     // Y with diaeresis
    EXPECT_EQ(Cp1252ToUtf8("\xA0"), "\xC2\xA0");     // no-break space, not a C1 control
    EXPECT_EQ(Cp1252ToUtf8("\xFF"), "\xC3\xBF");
    // The five undefined bytes map to the C1 controls of the same value.
    EXPECT_EQ(Cp1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    EXPECT_EQ(Cp1252ToUtf8(std::string_view("a\0b", 3)), std::string_view("a\0b", 3));
}

TEST(Charset, Utf8ToCp1252ReplacesWhatHasNoForm)
{
    EXPECT_EQ(Utf8ToCp1252("\xC2\x80"), "?"); // U+0080 has no Windows-1252 byte (0x80 is the euro)
    EXPECT_EQ(Utf8ToCp1252("\xC2\x81"), "\x81");
    EXPECT_EQ(Utf8ToCp1252("\xC4\x80"), "?");         // A with macron
    EXPECT_EQ(Utf8ToCp1252("\xE2\x99\xAF"), "?");     // music sharp sign
    EXPECT_EQ(Utf8ToCp1252("\xF4\x8F\xBF\xBF"), "?"); // U+10FFFF
    // Invalid sequences: one "?" for each broken piece, the following character kept.
    EXPECT_EQ(Utf8ToCp1252("a\xFF"
                           "b"),
              "a?b");
    EXPECT_EQ(Utf8ToCp1252("a\xE2\x82"
                           "b"),
              "a?b");
    EXPECT_EQ(Utf8ToCp1252("\xC3"), "?");
    EXPECT_EQ(Utf8ToCp1252("\x80\x80"), "??");
}

TEST(Charset, IsValidUtf8FollowsTheWellFormedTable)
{
    struct Case
    {
        std::string_view bytes;
        bool valid;
    };
    const Case cases[] = {
        {"", true},
        {"plain", true},
        {"\xC2\x80", true},
        {"\xC1\xBF", false},     // overlong two-byte form
        {"\xE0\x9F\xBF", false}, // overlong three-byte form
        {"\xE0\xA0\x80", true},
        {"\xED\x9F\xBF", true},  // U+D7FF
        {"\xED\xA0\x80", false}, // U+D800, a surrogate
        {"\xEF\xBF\xBF", true},
        {"\xF0\x8F\xBF\xBF", false}, // overlong four-byte form
        {"\xF0\x90\x80\x80", true},
        {"\xF4\x8F\xBF\xBF", true},  // U+10FFFF
        {"\xF4\x90\x80\x80", false}, // above U+10FFFF
        {"\xF5\x80\x80\x80", false},
        {"\x80", false},     // continuation without lead
        {"\xE2\x82", false}, // cut short
        {"\xE2\x82\x41", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::string(c.bytes)));
        EXPECT_EQ(IsValidUtf8(c.bytes), c.valid);
    }
}

} // namespace
