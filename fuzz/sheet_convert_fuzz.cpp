// The chord-sheet conversion over arbitrary text, checked against properties that hold for every input:
//
// 1. The output is the input unchanged (a ChordPro text), or lines that each end in CR LF, with no other CR
//    or LF anywhere.
// 2. Converting the output again changes nothing: what the conversion writes reads as ChordPro, or is the
//    input with its line ends made CR LF.
// 3. No letter or digit is lost, moved out of the text or invented: once the directives the conversion
//    writes ({title: }, {subtitle: }, {comment: }, {start_of_chorus}, {end_of_chorus}, {start_of_tab},
//    {end_of_tab}) are reduced to their values and the header fields ({key: }, {capo: }, {tempo: },
//    {artist: }) to "name: value", output and the input without its markup tags hold every ASCII letter
//    (in either case) and digit the same number of times, but for the words the conversion makes the names of
//    directives: the names of title fields ("Title:", "Song:", "Subtitle:") and the notes that open or close
//    a block ("-- Start of chorus", "-- End of tab"). What the output lacks must be the letters of such words
//    exactly, and no more of each kind than the input holds.
// 4. Every {start_of_tab} ... {end_of_tab} block is a run of consecutive lines of the input without its
//    markup tags, unchanged, in order.
// 5. Choruses and tab blocks open and close in turn, none left open; a chorus neither opens nor closes
//    inside a tab block. A text with directives gets no chorus environment and keeps its directives as they
//    are (not reduced to values); properties 4 and 5 are not checked for a text that holds environment lines
//    of its own.
// 6. The output grows at most eightfold (plus a constant): nothing is written per character or repeated.

#include "text/SheetConvert.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzLines.h"

namespace {

// Property 1: the output's lines, each of which ended in CR LF.
std::vector<std::string_view> CrLfLines(std::string_view output)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < output.size()) {
        const std::size_t end = output.find("\r\n", start);
        FUZZ_CHECK(end != std::string_view::npos);
        const std::string_view line = output.substr(start, end - start);
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string_view::npos);
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

// A written directive reduced to its value ("" for the environment lines); other lines as they are.
std::string_view Value(std::string_view line)
{
    for (const std::string_view bare : {"{start_of_chorus}", "{end_of_chorus}", "{start_of_tab}", "{end_of_tab}"}) {
        if (line == bare) {
            return {};
        }
    }
    for (const std::string_view named : {"{title: ", "{subtitle: ", "{comment: "}) {
        if (line.substr(0, named.size()) == named && line.back() == '}') {
            return line.substr(named.size(), line.size() - named.size() - 1);
        }
    }
    // A header field keeps its name: "Key: C" gives {key: C}.
    for (const std::string_view field : {"{key: ", "{capo: ", "{tempo: ", "{artist: "}) {
        if (line.substr(0, field.size()) == field && line.back() == '}') {
            return line.substr(1, line.size() - 2);
        }
    }
    return line;
}

// The input's lines without the markup tags of exported text ("[ch]", "[/ch]", "[tab]", "[/tab]", any case),
// removed until none is left, as a reader would; a line that held only tags and blanks is left out.
std::vector<std::string> WithoutMarkup(std::string_view input)
{
    const auto endsWithTag = [](const std::string& text, std::string_view tag) {
        if (text.size() < tag.size()) {
            return false;
        }
        for (std::size_t k = 0; k < tag.size(); ++k) {
            char c = text[text.size() - tag.size() + k];
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
            if (c != tag[k]) {
                return false;
            }
        }
        return true;
    };
    const auto blank = [](std::string_view s) { return s.find_first_not_of(" \t\xA0") == std::string_view::npos; };
    std::vector<std::string> lines;
    for (const std::string_view line : SplitLines(input)) {
        std::string kept;
        for (const char c : line) {
            kept += c;
            for (const std::string_view tag : {"[ch]", "[/ch]", "[tab]", "[/tab]"}) {
                if (endsWithTag(kept, tag)) {
                    kept.resize(kept.size() - tag.size());
                    break;
                }
            }
        }
        if (!blank(kept) || blank(line)) {
            lines.push_back(kept);
        }
    }
    return lines;
}

using Counts = std::array<long, 128>;

// Letters are counted without their case, as the name of a header field is written in lower case.
void CountLettersAndDigits(std::string_view text, Counts& counts, long sign)
{
    for (char c : text) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
            counts[static_cast<std::size_t>(c)] += sign;
        }
    }
}

// How often `word` stands in `text`, in either case.
long Occurrences(std::string_view text, std::string_view word)
{
    long found = 0;
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
        bool same = true;
        for (std::size_t k = 0; k < word.size() && same; ++k) {
            const char c = text[i + k];
            same = ((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c) == word[k];
        }
        found += same ? 1 : 0;
    }
    return found;
}

// Property 3: `lost`, the letters and digits the output lacks, are those of some title-field names and block
// notes of `input`. "song" alone holds a g; "title" and "subtitle" the l, "subtitle" a u that no chorus note
// accounts for; the four notes then follow from their c, d and b (two pairs of them hold the same letters).
bool OnlyNamesAndNotesLost(Counts lost, std::string_view input)
{
    const auto take = [](Counts& counts, std::string_view word, long times) {
        for (const char c : word) {
            counts[static_cast<std::size_t>(c)] -= times;
        }
    };
    const long song = lost['g'];
    take(lost, "song", song);
    const long subtitle = lost['u'] - lost['c'];
    const long title = lost['l'] - subtitle;
    take(lost, "subtitle", subtitle);
    take(lost, "title", title);
    if (song < 0 || subtitle < 0 || title < 0 || song > Occurrences(input, "song") ||
        title + subtitle > Occurrences(input, "title")) {
        return false;
    }
    const long notes = Occurrences(input, "-- ");
    for (long endOfChorus = 0; endOfChorus <= std::min(lost['c'], lost['d']); ++endOfChorus) {
        Counts rest = lost;
        const long startOfChorus = lost['c'] - endOfChorus;
        const long endOfTab = lost['d'] - endOfChorus;
        const long startOfTab = lost['b'] - endOfTab;
        if (startOfTab < 0 || startOfChorus + endOfChorus + startOfTab + endOfTab > notes) {
            continue;
        }
        take(rest, "startofchorus", startOfChorus);
        take(rest, "endofchorus", endOfChorus);
        take(rest, "startoftab", startOfTab);
        take(rest, "endoftab", endOfTab);
        if (std::all_of(rest.begin(), rest.end(), [](long difference) { return difference == 0; })) {
            return true;
        }
    }
    return false;
}

// Property 4: `block` occurs in `in` as consecutive lines at or after `from`; the index after it, or nullopt.
std::optional<std::size_t>
FindBlock(const std::vector<std::string>& in, const std::vector<std::string_view>& block, std::size_t from)
{
    for (std::size_t start = from; start + block.size() <= in.size(); ++start) {
        std::size_t k = 0;
        while (k < block.size() && in[start + k] == block[k]) {
            ++k;
        }
        if (k == block.size()) {
            return start + k;
        }
    }
    return std::nullopt;
}

bool IsEnvironmentLine(std::string_view line)
{
    for (const std::string_view environment :
         {"{start_of_chorus}", "{end_of_chorus}", "{start_of_tab}", "{end_of_tab}"}) {
        if (line == environment) {
            return true;
        }
    }
    return false;
}

// A directive line of the input: "{", a letter, and a "}" later on, blanks around.
bool IsDirective(std::string_view line)
{
    const std::size_t first = line.find_first_not_of(" \t\xA0");
    if (first == std::string_view::npos || first + 2 >= line.size() || line[first] != '{') {
        return false;
    }
    const char c = line[first + 1];
    return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && line.find('}', first + 2) != std::string_view::npos;
}

void CheckConversion(std::string_view input, std::string_view output)
{
    const std::vector<std::string_view> out = CrLfLines(output);
    const std::vector<std::string> in = WithoutMarkup(input);
    // A text with directives keeps them: only tab blocks are written into it, and its own directives are not
    // reduced to values. Environment lines of the input itself make the written blocks unreadable here.
    bool directives = false;
    bool environments = false;
    Counts counts{};
    for (const std::string& line : in) {
        directives = directives || IsDirective(line);
        environments = environments || IsEnvironmentLine(line);
        if (!IsEnvironmentLine(line)) {
            CountLettersAndDigits(line, counts, 1);
        }
    }
    bool inChorus = false;
    bool inTab = false;
    std::vector<std::string_view> block;
    std::size_t inputLine = 0;
    for (const std::string_view line : out) {
        if (!IsEnvironmentLine(line)) {
            CountLettersAndDigits(directives ? line : Value(line), counts, -1);
        }
        if (environments) {
            continue;
        }
        if (line == "{start_of_chorus}" || line == "{end_of_chorus}") {
            FUZZ_CHECK(!inTab && !directives);
            FUZZ_CHECK(inChorus == (line == "{end_of_chorus}"));
            inChorus = !inChorus;
        } else if (line == "{start_of_tab}") {
            FUZZ_CHECK(!inTab);
            inTab = true;
            block.clear();
        } else if (line == "{end_of_tab}") {
            FUZZ_CHECK(inTab && !block.empty());
            inTab = false;
            const std::optional<std::size_t> after = FindBlock(in, block, inputLine);
            FUZZ_CHECK(after.has_value());
            inputLine = *after;
        } else if (inTab) {
            block.push_back(line);
        }
    }
    FUZZ_CHECK(!inChorus && !inTab);
    FUZZ_CHECK(OnlyNamesAndNotesLost(counts, input));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string output = ConvertSheetToChordPro(input);
    FUZZ_CHECK(output.size() <= 8 * input.size() + 32);
    if (output != input) {
        CheckConversion(input, output);
    }
    FUZZ_CHECK(ConvertSheetToChordPro(output) == output);
    return 0;
}
