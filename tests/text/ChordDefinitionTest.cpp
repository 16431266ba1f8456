#include "text/ChordDefinition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

// Names the cases of a table after their `name` field.
template <class Case> std::string CaseName(const testing::TestParamInfo<Case>& param)
{
    return param.param.name;
}

using Frets = std::array<std::uint8_t, 6>;
constexpr std::uint8_t x = MUTED_STRING;

Frets FretsOf(const ChordRecord& record)
{
    Frets frets{};
    std::copy(std::begin(record.frets), std::end(record.frets), frets.begin());
    return frets;
}

struct ParseCase
{
    const char* name;
    std::string line;
    bool isDefinition;
    std::string chordName; // checked only for definitions
    Frets frets;
};

// Test names and failure messages show the case name, not a byte dump.
void PrintTo(const ParseCase& c, std::ostream* os)
{
    *os << c.name;
}

class ParseChordDefinitionTest : public testing::TestWithParam<ParseCase>
{
};

TEST_P(ParseChordDefinitionTest, ReadsNameAndFrets)
{
    const ParseCase& c = GetParam();
    ChordRecord record;
    // A used working record: the parse must not keep anything of it.
    std::fill(std::begin(record.frets), std::end(record.frets), std::uint8_t{0xAA});
    std::fill(std::begin(record.reserved), std::end(record.reserved), std::uint8_t{0xAA});
    std::fill(std::begin(record.chordName), std::end(record.chordName), 'Q');
    ASSERT_EQ(ParseChordDefinition(c.line, record), c.isDefinition);
    EXPECT_EQ(IsChordDefinitionLine(c.line), c.isDefinition);
    if (!c.isDefinition)
        return;
    EXPECT_EQ(std::string(record.chordName), c.chordName);
    EXPECT_EQ(FretsOf(record), c.frets);
    EXPECT_EQ(record.reserved[0], 0);
    EXPECT_EQ(record.reserved[1], 0);

    std::vector<std::uint8_t> expected(c.frets.begin(), c.frets.end());
    expected.insert(expected.end(), {0, 0});
    expected.insert(expected.end(), c.chordName.begin(), c.chordName.end());
    expected.push_back(0);
    EXPECT_EQ(record.StoredBytes(), expected);
}

const ParseCase parseCases[] = {
    {"Spaces", "C x 3 2 0 1 0", true, "C", {x, 3, 2, 0, 1, 0}},
    {"Tabs", "Am\tx\t0\t2\t2\t1\t0", true, "Am", {x, 0, 2, 2, 1, 0}},
    {"TabAfterName", "Am\tx 0 2 2 1 0", true, "Am", {x, 0, 2, 2, 1, 0}},
    {"FourValuesAreEnough", "Dsus4 x x 0 2", true, "Dsus4", {x, x, 0, 2, x, x}},
    {"FiveValues", "Dsus4 x x 0 2 3", true, "Dsus4", {x, x, 0, 2, 3, x}},
    {"ThreeValuesAreNot", "Dsus4 x x 0", false, "", {}},
    {"ValuesAfterTheSixthIgnored", "C 0 1 2 3 4 5 6 7", true, "C", {0, 1, 2, 3, 4, 5}},
    {"TrailingBlankAfterSixth", "C 0 1 2 3 4 5 ", true, "C", {0, 1, 2, 3, 4, 5}},
    {"TwoBlanksAfterName", "C  0 1 2 3 4 5", false, "", {}},
    {"TwoBlanksAfterFirstValue", "C 0  1 2 3 4 5", false, "", {}},
    {"TwoBlanksAfterFourthValue", "C 0 1 2 3  4 5", true, "C", {0, 1, 2, 3, x, x}},
    {"LeadingBlank", " G 3 2 0 0 0 3", false, "", {}},
    {"NameOnly", "G", false, "", {}},
    {"NameAndBlankOnly", "G ", false, "", {}},
    {"EmptyLine", "", false, "", {}},
    {"MinusSign", "C -1 0 0 0 0 0", false, "", {}},
    {"LetterStopsValues", "C 1 2 3 a 4 5", false, "", {}},
    {"HighByteStopsValues", "C 1 2 3 4 \xE9 5", true, "C", {1, 2, 3, 4, x, x}},
    {"FifteenIsMuted", "C 15 3 2 0 1 0", true, "C", {x, 3, 2, 0, 1, 0}},
    {"Modulo256", "C 300 3 2 0 1 0", true, "C", {44, 3, 2, 0, 1, 0}},
    {"LargeNumbers", "C 256 257 511 255 0 99999999999999999999", true, "C", {0, 1, 255, 255, 0, 255}},
    {"LeadingZeros", "C 007 0 0 00", true, "C", {7, 0, 0, 0, x, x}},
    {"OnlyTheStartOfAValueCounts", "C xo 5x 5/7 X 0 0", true, "C", {x, 5, 5, x, 0, 0}},
    {"UppercaseX", "E7 X X X X", true, "E7", {x, x, x, x, x, x}},
    {"NameOf19Kept", "ABCDEFGHIJKLMNOPQRS 1 2 3 4 5 6", true, "ABCDEFGHIJKLMNOPQRS", {1, 2, 3, 4, 5, 6}},
    {"NameOf25Cut", "ABCDEFGHIJKLMNOPQRSTUVWXY 1 2 3 4 5 6", true, "ABCDEFGHIJKLMNOPQRS", {1, 2, 3, 4, 5, 6}},
};

INSTANTIATE_TEST_SUITE_P(Lines, ParseChordDefinitionTest, testing::ValuesIn(parseCases), CaseName<ParseCase>);

TEST(ChordRecord, StoredLengthFollowsTheName)
{
    ChordRecord record;
    ASSERT_TRUE(ParseChordDefinition("C x 3 2 0 1 0", record));
    EXPECT_EQ(record.StoredBytes().size(), 10u);
    ASSERT_TRUE(ParseChordDefinition(std::string(25, 'G') + " 1 2 3 4 5 6", record));
    EXPECT_EQ(record.StoredBytes().size(), 28u);
}

TEST(ChordRecord, ReservedBytesAreStoredAsZero)
{
    ChordRecord record;
    ASSERT_TRUE(ParseChordDefinition("G 3 2 0 0 0 3", record));
    record.reserved[0] = 0x12;
    record.reserved[1] = 0x34;
    const std::vector<std::uint8_t> bytes = record.StoredBytes();
    ASSERT_EQ(bytes.size(), 10u);
    EXPECT_EQ(bytes[6], 0);
    EXPECT_EQ(bytes[7], 0);
}

TEST(ChordRecord, NameWithoutTerminatorIsStoredWith19Characters)
{
    ChordRecord record;
    std::fill(std::begin(record.chordName), std::end(record.chordName), 'N');
    const std::vector<std::uint8_t> bytes = record.StoredBytes();
    ASSERT_EQ(bytes.size(), 28u);
    EXPECT_EQ(bytes[26], 'N');
    EXPECT_EQ(bytes[27], 0);
}

struct FormatCase
{
    const char* name;
    std::vector<std::uint8_t> record;
    std::string line;
};

// Test names and failure messages show the case name, not a byte dump.
void PrintTo(const FormatCase& c, std::ostream* os)
{
    *os << c.name;
}

class FormatChordDefinitionTest : public testing::TestWithParam<FormatCase>
{
};

TEST_P(FormatChordDefinitionTest, WritesTheLine)
{
    const FormatCase& c = GetParam();
    // An exactly sized copy, so that the sanitizer build catches any read past the record.
    const auto record = std::make_unique<std::uint8_t[]>(c.record.size());
    std::copy(c.record.begin(), c.record.end(), record.get());
    EXPECT_EQ(FormatChordDefinition({record.get(), c.record.size()}), c.line);
}

const FormatCase formatCases[] = {
    {"G", {3, 2, 0, 0, 0, 3, 0, 0, 'G', 0}, "G 3 2 0 0 0 3"},
    {"MutedStrings", {15, 15, 0, 2, 3, 2, 0, 0, 'D', 0}, "D x x 0 2 3 2"},
    {"LargeValues", {255, 16, 14, 100, 0, 15, 0, 0, 'C', '#', 0}, "C# 255 16 14 100 0 x"},
    {"ReservedIgnored", {0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 'A', 0}, "A 0 0 0 0 0 0"},
    {"NoTerminator", {1, 1, 1, 1, 1, 1, 0, 0, 'A', 'm'}, "Am 1 1 1 1 1 1"},
    {"BytesAfterTerminatorIgnored", {1, 2, 3, 4, 5, 6, 0, 0, 'E', 0, 'Z', 'Z'}, "E 1 2 3 4 5 6"},
    {"NineBytesWithTerminator", {1, 2, 3, 4, 5, 6, 0, 0, 0}, " 1 2 3 4 5 6"},
    {"NineBytesWithoutTerminator", {1, 2, 3, 4, 5, 6, 0, 0, 'F'}, "F 1 2 3 4 5 6"},
};

INSTANTIATE_TEST_SUITE_P(Records, FormatChordDefinitionTest, testing::ValuesIn(formatCases), CaseName<FormatCase>);

TEST(FormatChordDefinition, RecordsWithoutNamePositionAreRefused)
{
    for (std::size_t size = 0; size < 9; ++size) {
        SCOPED_TRACE(size);
        const auto record = std::make_unique<std::uint8_t[]>(size + 1);
        EXPECT_EQ(FormatChordDefinition({record.get(), size}), std::nullopt);
    }
}

TEST(ChordDefinition, FormattedLineParsesBackIntoTheSameRecord)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> nameByte(0x21, 0xFF); // no NUL, no blank
    std::uniform_int_distribution<std::size_t> nameLength(1, CHORD_MAX_NAME_LENGTH);
    for (int n = 0; n < 1000; ++n) {
        std::vector<std::uint8_t> stored;
        for (int i = 0; i < 6; ++i)
            stored.push_back(static_cast<std::uint8_t>(byte(random)));
        stored.push_back(static_cast<std::uint8_t>(byte(random))); // reserved bytes, whatever they hold
        stored.push_back(static_cast<std::uint8_t>(byte(random)));
        const std::size_t length = nameLength(random);
        for (std::size_t i = 0; i < length; ++i)
            stored.push_back(static_cast<std::uint8_t>(nameByte(random)));
        stored.push_back(0);

        const std::optional<std::string> line = FormatChordDefinition(stored);
        ASSERT_TRUE(line.has_value());
        SCOPED_TRACE(*line);
        ChordRecord record;
        ASSERT_TRUE(ParseChordDefinition(*line, record));
        std::vector<std::uint8_t> expected = stored;
        expected[6] = 0;
        expected[7] = 0;
        EXPECT_EQ(record.StoredBytes(), expected);
    }
}

} // namespace
