// The chord-sheet conversion: each rule over a short sheet, what it must leave alone, and the real sheets of
// the shared corpus checked for properties.
#include "text/SheetConvert.h"

#include "text/Scan.h"
#include "text/TabConvert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>

namespace {

// A text as intake loads it: every line, the last one too, ends in CR LF.
std::string Loaded(std::string_view text)
{
    std::string loaded;
    for (std::string_view rest = text; !rest.empty();) {
        loaded.append(PopLine(rest));
        loaded += "\r\n";
    }
    return loaded;
}

} // namespace

TEST(SheetConvert, FollowsEachRule)
{
    const std::pair<std::string, std::string> cases[] = {
        // Chord line over lyrics: marks at their columns, tab stops every 8 columns, past the end a space apart.
        {"G     C\nHello there\n", "[G]Hello [C]there\n"},
        {"\tAm\nA tab   before\n", "A tab   [Am]before\n"},
        {"  Dm\t Cm\nA tab, then\n", "A [Dm]tab, th[Cm]en\n"},
        {"C    G7       F\nHallelujah\n", "[C]Halle[G7]lujah [F]\n"},
        // Chord lines with extras; a chord line with no lyric under it; two chord lines in a row.
        {"N.C.  G  |  C  x2\nla\n", "[N.C.]la [G] [C] [x2]\n"},
        {"| G % | C7/G |\nIntro: E (repeat)\n", "| [G] % | [C7/G] |\nIntro: [E] (repeat)\n"},
        {"[Intro] Bb / Ebmaj7 2x\n\n", "Intro: [Bb] / [Ebmaj7] 2x\n\n"},
        {"G C\nD Em\nwords here\n", "[G] [C]\n[D]wo[Em]rds here\n"},
        // Section labels; a chorus ends at a label, at two blank lines or at the end, and one blank line stays in.
        {"[Verse 1]\nG\nla la\nBridge\n", "{comment: Verse 1}\n[G]la la\n{comment: Bridge}\n"},
        {"Chorus:\nla\n\nlo\n\n\nVerse 2\n",
         "{comment: Chorus}\n{start_of_chorus}\nla\n\nlo\n{end_of_chorus}\n\n\n{comment: Verse 2}\n"},
        {"[Chorus x2]\nla\n[Outro]\n[Chorus]\n",
         "{comment: Chorus x2}\n{start_of_chorus}\nla\n{end_of_chorus}\n{comment: Outro}\n{comment: Chorus}\n"},
        {"REFRAIN\nla\n", "{comment: REFRAIN}\n{start_of_chorus}\nla\n{end_of_chorus}\n"},
        // Staff blocks: kept as they are, with the chord line above and a text line below before a blank.
        {"Am  G\ne|--3--|-----|\nB|--1--|-----|\n  ta ta\n\nG\nla\n",
         "{start_of_tab}\nAm  G\ne|--3--|-----|\nB|--1--|-----|\n  ta ta\n{end_of_tab}\n\n[G]la\n"},
        {"E ----0---|\nA 0-------|\nla\nlo\n", "{start_of_tab}\nE ----0---|\nA 0-------|\n{end_of_tab}\nla\nlo\n"},
        // Blank and space-only lines stay; the title comes from the first line that is not blank.
        {" \n\t\nG\nla\n", " \n\t\n[G]la\n"},
        {"\nAmazing Grace\nG\nla\n", "\n{title: Amazing Grace}\n[G]la\n"},
        {"Oasis - Wonderwall\n", "{title: Wonderwall}\n{subtitle: Oasis}\n"},
        {"From: jo@mail.com - Tabs\nEm\nbob@example.org\n", "From: jo@mail.com - Tabs\n[Em]\nbob@example.org\n"},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(ConvertSheetToChordPro(Loaded(input)), Loaded(expected)) << input;
}

TEST(SheetConvert, LeavesChordProProseAndMailAlone)
{
    const std::string unchanged[] = {
        "{title: Song}\nG     C\nHello there\n[Chorus]\n",                         // a directive: ChordPro already
        "Chorus\n[G]Amazing [C]grace\n",                                           // a chord mark: ChordPro already
        "Key: G\nA Day In Eden\nAdd Ebb Bad Dad Bee\nAm Cm Em Hmm\nAm7  x02010\n", // prose, a fingering
        "jo@mail.com - Tabs\nEmail bob@example.org\n",                             // an e-mail line is no title
        "C x 3 2 0 1 0\nD x x 0 2 3 2\n",                                          // a chord list keeps its first line
        "",
    };
    for (const std::string& text : unchanged)
        EXPECT_EQ(ConvertSheetToChordPro(Loaded(text)), Loaded(text)) << text;
}

TEST(SheetConvert, CorpusSheetsKeepEveryWordChordAndStaffLine)
{
    const std::filesystem::path corpus = CORPUS_DIR;
    if (!std::filesystem::is_directory(corpus))
        GTEST_SKIP() << "corpus folder " << corpus << " not found";
    const std::regex mark(R"(\[([^\]]*)\])"), directive(R"(^\{[a-z_]+(: )?|\}$)"), noise(R"([\[\]():|])");
    const std::regex staffLike(R"([|:]-{3}|-{3}[|:])"), tuning("[A-G]{4,}");
    // Words without brackets, parentheses, colons and bars, counted; the words of a mark count as words.
    const auto countWords = [&](const std::string& text, std::map<std::string, int>& counts, int sign) {
        const auto count = [&](const std::string& words) {
            std::size_t pos = 0;
            for (std::string_view word = NextToken(words, pos); !word.empty(); word = NextToken(words, pos))
                counts[std::regex_replace(std::string(word), noise, "")] += sign;
        };
        for (std::string_view rest = text; !rest.empty();) {
            const std::string line = std::regex_replace(std::string(PopLine(rest)), directive, " ");
            for (std::sregex_iterator it(line.begin(), line.end(), mark), end; it != end; ++it)
                count((*it)[1]);
            count(std::regex_replace(line, mark, ""));
        }
        std::erase_if(counts, [](const auto& entry) {
            return std::none_of(
                entry.first.begin(), entry.first.end(), [](unsigned char c) { return std::isalnum(c) != 0; });
        });
    };
    int sheets = 0, unchanged = 0, marks = 0, staffBlocks = 0;
    for (const char* folder : {"crd", "chordpro", "derived"})
        for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus / folder)) {
            if (!entry.is_regular_file())
                continue;
            SCOPED_TRACE(entry.path().string());
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string input = Loaded(std::string(std::istreambuf_iterator<char>(in), {}));
            const std::string output = ConvertSheetToChordPro(input);
            if (std::string(folder) == "chordpro" || output == input) {
                EXPECT_EQ(output, input);
                ++unchanged;
                continue;
            }
            ++sheets;
            std::map<std::string, int> counts;
            countWords(input, counts, 1);
            countWords(output, counts, -1);
            for (const auto& [word, difference] : counts)
                EXPECT_EQ(difference, 0) << "\"" << word << "\" lost (> 0) or added (< 0)";

            // Every chord the strict conversion merges is a mark here too, or a word of a staff block.
            std::map<std::string, int> chords;
            const std::string strict = ConvertTabToChordPro(input);
            for (std::sregex_iterator it(strict.begin(), strict.end(), mark), end; it != end; ++it)
                ++chords[(*it)[1]];
            for (std::sregex_iterator it(input.begin(), input.end(), mark), end; it != end; ++it)
                --chords[(*it)[1]]; // brackets of the input, such as labels, are no merged chords
            std::string_view rest = output;
            for (bool inStaff = false; !rest.empty();) {
                const std::string line(PopLine(rest));
                if (line == "{start_of_tab}" || line == "{end_of_tab}") {
                    inStaff = line == "{start_of_tab}";
                    staffBlocks += inStaff;
                    continue;
                }
                if (inStaff) {
                    // A staff-block line is an input line as it was.
                    EXPECT_NE(("\n" + input).find("\n" + line + "\r\n"), std::string::npos) << line;
                    std::size_t pos = 0;
                    for (std::string_view word = NextToken(line, pos); !word.empty(); word = NextToken(line, pos))
                        --chords[std::string(word)];
                    continue;
                }
                EXPECT_FALSE(std::regex_search(line, staffLike)) << "staff line outside a block: " << line;
                for (std::sregex_iterator it(line.begin(), line.end(), mark), end; it != end; ++it, ++marks)
                    --chords[(*it)[1]];
            }
            for (const auto& [chord, missing] : chords) // a row of string names such as EADGBE is no chord
                EXPECT_TRUE(missing <= 0 || std::regex_match(chord, tuning)) << "chord " << chord << " not recognised";
        }
    EXPECT_GE(sheets, 30);
    EXPECT_GE(unchanged, 20);
    EXPECT_GE(marks, 500);
    EXPECT_GE(staffBlocks, 30);
}
