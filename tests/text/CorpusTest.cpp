// Both conversions over real song files: no word or chord lost or made up, staff lines kept as they were.
#include "text/Scan.h"
#include "text/SheetConvert.h"
#include "text/TabConvert.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>

namespace {

const std::filesystem::path corpusDir = CORPUS_DIR;
const std::regex mark(R"(\[([^\]]*)\])");
using Words = std::map<std::string, int>;

// Adds `sign` for each chord mark of `text`; the number of marks.
int CountMarks(const std::string& text, Words& counts, int sign)
{
    int marks = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), mark), end; it != end; ++it, ++marks)
        counts[(*it)[1]] += sign;
    return marks;
}

// The words of `before` that `after` lost (> 0) or made up (< 0). Words are taken without brackets,
// parentheses, colons and bars, and only with a letter or digit; the chord of a mark counts as a word, the
// name of a directive does not, nor the name of a header field that becomes one ("Key:" of "Key: C", "Title :"),
// nor a note that opens or closes a block ("-- Start of chorus"), nor the markup tags of exported text ("[ch]").
Words WordDifference(const std::string& before, const std::string& after)
{
    static const std::regex directive(R"(^\{[a-z_]+(: )?|\}$)"), noise(R"([\[\]():|])"), alnum("[A-Za-z0-9]"),
        field("(key|capo|tempo|bpm|artist):", std::regex::icase), markup(R"(\[/?(ch|tab)\])", std::regex::icase),
        titleField(R"((^\s*(-- +)?|\|\s*)(title|song|subtitle)\s*:)", std::regex::icase),
        blockNote(R"(^\s*-- +(start|end) of (chorus|tab)\s*$)", std::regex::icase);
    Words counts;
    for (const int sign : {1, -1})
        for (std::string_view rest = sign > 0 ? before : after; !rest.empty();) {
            const std::string line = std::regex_replace(
                std::regex_replace(std::regex_replace(std::string(PopLine(rest)), blockNote, ""), directive, " "),
                markup,
                "");
            // A field's name is found with the marks out of the way: a chord can stand inside it ("Ti[G]tle:").
            const std::string words = std::regex_replace(std::regex_replace(line, mark, ""), titleField, "$1 ") + " " +
                                      std::regex_replace(line, mark, "$1 ", std::regex_constants::format_no_copy);
            std::size_t pos = 0;
            for (std::string_view word = NextToken(words, pos); !word.empty(); word = NextToken(words, pos)) {
                const std::string bare = std::regex_replace(std::string(word), noise, "");
                if (std::regex_search(bare, alnum) && !std::regex_match(std::string(word), field))
                    counts[bare] += sign;
            }
        }
    std::erase_if(counts, [](const auto& entry) { return entry.second == 0; });
    return counts;
}

// A text as intake loads it: every line ending in CR LF.
std::string Loaded(const std::string& input)
{
    std::string loaded;
    for (std::string_view rest = input; !rest.empty();)
        loaded.append(PopLine(rest)).append("\r\n");
    return loaded;
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Both conversions over one file: no word lost or made up, ChordPro left alone, and every chord the tab conversion
// merges is a mark of the sheet conversion too, or a word of a staff block of input lines as they were (without
// markup). Adds the marks the tab conversion merged to `tabMarks`; true when the sheet conversion changed the text.
bool CheckConversions(const std::string& input, bool chordPro, int& tabMarks)
{
    static const std::regex staffLike(R"([|:]-{3}|-{3}[|:])"), tuning("[A-G]{4,}"),
        markup(R"(\[/?(ch|tab)\])", std::regex::icase), tabDirective(R"(\{(start_of_tab|end_of_tab|sot|eot)(:.*)?\})");
    const auto has = [&](char c) { return input.find(c) != std::string::npos; };
    // The tab conversion turns chord lines into marks and leaves ChordPro (all four brackets) alone.
    const std::string strict = ConvertTabToChordPro(input);
    EXPECT_EQ(WordDifference(input, strict), Words{});
    Words chords;
    tabMarks += CountMarks(strict, chords, 1);
    tabMarks -= CountMarks(input, chords, -1); // brackets of the input, such as labels, are no merged chords
    EXPECT_EQ(has('[') && has(']') && has('{') && has('}') ? strict : input, input) << "ChordPro is left alone";
    // The sheet conversion over the text as intake loads it.
    const std::string loaded = Loaded(input);
    const std::string output = ConvertSheetToChordPro(loaded);
    if (chordPro || output == loaded) {
        EXPECT_EQ(output, loaded);
        return false;
    }
    EXPECT_EQ(WordDifference(loaded, output), Words{});
    const std::string bare = "\n" + std::regex_replace(loaded, markup, "");
    std::string_view rest = output;
    for (bool inStaff = false; !rest.empty();) {
        const std::string line(PopLine(rest));
        if (std::regex_match(line, tabDirective))
            inStaff = line[1] == 's'; // the text's own blocks ({sot}) too
        else if (inStaff) {
            EXPECT_NE(bare.find("\n" + line + "\r\n"), std::string::npos) << line;
            std::size_t pos = 0;
            for (std::string_view word = NextToken(line, pos); !word.empty(); word = NextToken(line, pos))
                --chords[std::string(word)];
        } else {
            EXPECT_FALSE(std::regex_search(line, staffLike)) << "staff line outside a block: " << line;
            CountMarks(line, chords, -1);
        }
    }
    for (const auto& [chord, missing] : chords) // a row of string names such as EADGBE is no chord
        EXPECT_TRUE(missing <= 0 || std::regex_match(chord, tuning)) << "chord " << chord << " not recognised";
    return true;
}

} // namespace

TEST(Corpus, ConversionsKeepEveryWordChordAndStaffLine)
{
    if (!std::filesystem::is_directory(corpusDir))
        GTEST_SKIP() << "corpus folder " << corpusDir << " not found";
    int tabMarks = 0, sheets = 0; // the conversions do something
    for (const char* folder : {"crd", "derived", "chordpro"})
        for (const auto& entry : std::filesystem::recursive_directory_iterator(corpusDir / folder)) {
            if (!entry.is_regular_file())
                continue;
            SCOPED_TRACE(entry.path().string());
            sheets += CheckConversions(ReadFile(entry.path()), std::string(folder) == "chordpro", tabMarks);
        }
    EXPECT_GE(tabMarks, 500);
    EXPECT_GE(sheets, 30);
}

// The chord sheets kept with the tests (tests/data/sheets, sources in its SOURCES.md) convert with every word and
// chord kept, and exactly to the hand-written ChordPro file beside a sheet (NAME.expected.pro) where there is one.
TEST(Corpus, SheetsConvertAsWrittenByHand)
{
    const std::filesystem::path sheetsDir = std::filesystem::path(TEST_DATA_DIR) / "sheets";
    int tabMarks = 0, sheets = 0, converted = 0, goldens = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(sheetsDir)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || name == "SOURCES.md" || name.ends_with(".expected.pro"))
            continue;
        SCOPED_TRACE(entry.path().string());
        const std::string input = ReadFile(entry.path());
        ++sheets;
        converted += CheckConversions(input, false, tabMarks);
        const auto golden = std::filesystem::path(entry.path()).replace_extension(".expected.pro");
        if (std::filesystem::exists(golden)) {
            ++goldens;
            EXPECT_EQ(ConvertSheetToChordPro(Loaded(input)), Loaded(ReadFile(golden)));
        }
    }
    EXPECT_EQ(converted, sheets);
    EXPECT_GE(sheets, 43);
    EXPECT_GE(goldens, 21);
}
