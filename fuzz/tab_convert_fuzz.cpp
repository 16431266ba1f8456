// The tab conversion over arbitrary text, checked against properties that hold for every input:
//
// 1. A text holding all of [ ] { } comes back unchanged.
// 2. Otherwise, for a text without "[": the output is made of CR LF separated lines (no other CR or LF).
//    Every "[" in it opens a chord mark "[TOKEN]" holding a chord token. Removing the marks from each output
//    line leaves exactly one input line, in order; the input lines that were left out are only empty lines
//    and lines made of chord tokens and blanks (the chord lines that were merged, and at most one empty
//    line after each merge). An output line with marks is the input line right below a left-out chord line
//    whose words are the marks' tokens, in order. So no character of a lyric line is lost, moved between
//    lines or invented, and the growth of the text is the marks plus one byte for each line end that was a
//    lone CR or LF.
// 3. A text with "[" (but not all four) converts like the same text with every "[" read as "<", a byte that
//    plays no part in the conversion either: both outputs agree once their "[" are read as "<" too.
//    Property 2 is then checked on that second text.
// 4. Walking any text with PopLine hands out the text piece by piece: lines without CR or LF, each followed
//    by one of CR LF, CR or LF (or by nothing at the very end).
// 5. MergeChordLine of the first line over the second inserts exactly one "[word]" per word and nothing else.
// 6. IsChordToken agrees with the rule written out below, for every word of the text.

#include "text/Scan.h"
#include "text/TabConvert.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzLines.h"

namespace {

bool IsBlankByte(char c)
{
    return c == ' ' || c == '\t';
}

std::vector<std::string_view> Words(std::string_view line)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlankByte(line[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && !IsBlankByte(line[i])) {
            ++i;
        }
        if (i > start) {
            words.push_back(line.substr(start, i - start));
        }
    }
    return words;
}

// A first byte A-H, then ASCII letters, digits or one of # ( ) + /.
bool IsChordWord(std::string_view word)
{
    if (word.empty() || word[0] < 'A' || word[0] > 'H') {
        return false;
    }
    return std::all_of(word.begin() + 1, word.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '#' || c == '(' ||
               c == ')' || c == '+' || c == '/';
    });
}

// A line the conversion may leave out: an empty line, or a line of chord tokens and blanks only.
bool IsDroppable(std::string_view line)
{
    const std::vector<std::string_view> words = Words(line);
    return std::all_of(words.begin(), words.end(), IsChordWord);
}

struct Stripped
{
    std::string text;
    std::vector<std::string_view> tokens;
};

// Removes the "[TOKEN]" marks from a line of a text that had no "["; nullopt when a "[" opens no such mark.
std::optional<Stripped> StripMarks(std::string_view line)
{
    Stripped result;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] != '[') {
            result.text.push_back(line[i]);
            ++i;
            continue;
        }
        const std::size_t close = line.find(']', i + 1);
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view token = line.substr(i + 1, close - i - 1);
        if (!IsChordWord(token)) {
            return std::nullopt;
        }
        result.tokens.push_back(token);
        i = close + 1;
    }
    return result;
}

bool IsSubsequence(std::string_view part, std::string_view whole)
{
    std::size_t i = 0;
    for (char c : whole) {
        if (i < part.size() && part[i] == c) {
            ++i;
        }
    }
    return i == part.size();
}

// Property 2, for a text without "[" that was converted.
void CheckConversion(std::string_view input, std::string_view output)
{
    const std::vector<std::string_view> in = SplitLines(input);
    if (in.empty()) {
        FUZZ_CHECK(output.empty());
        return;
    }
    // The output joins at least one line with CR LF; no CR or LF stands anywhere else.
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = output.find("\r\n", start);
        const std::string_view line = output.substr(start, end == std::string_view::npos ? end : end - start);
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string_view::npos);
        out.push_back(line);
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 2;
    }
    FUZZ_CHECK(out.size() <= in.size());

    // Matches output lines to input lines, earliest first. Whenever some matching exists that leaves out only
    // droppable lines, this one finds it: every line it skips over beyond the other matching's is droppable
    // or equal to a droppable one.
    std::size_t j = 0;
    std::size_t marked = 0;
    for (const std::string_view line : out) {
        const std::optional<Stripped> stripped = StripMarks(line);
        FUZZ_CHECK(stripped.has_value());
        while (true) {
            FUZZ_CHECK(j < in.size());
            if (stripped->tokens.empty() ? in[j] == stripped->text
                                         : j + 1 < in.size() && in[j + 1] == stripped->text &&
                                               Words(in[j]) == stripped->tokens && IsDroppable(in[j])) {
                j += stripped->tokens.empty() ? 1u : 2u;
                break;
            }
            // A lyric line was lost or changed when a line that is no chord line would have to be left out.
            FUZZ_CHECK(IsDroppable(in[j]));
            ++j;
        }
        marked += stripped->tokens.empty() ? 0u : 1u;
    }
    for (; j < in.size(); ++j) {
        FUZZ_CHECK(IsDroppable(in[j]));
    }
    // Empty lines leave only right after a merge, one per merge. The counts do not depend on the matching:
    // empty output lines always match empty input lines, and marked ones always consume two input lines.
    const auto emptyIn = static_cast<std::size_t>(std::count(in.begin(), in.end(), std::string_view()));
    const auto emptyOut = static_cast<std::size_t>(std::count(out.begin(), out.end(), std::string_view()));
    const std::size_t emptyLeft = emptyIn - emptyOut;
    const std::size_t otherLeft = in.size() - out.size() - marked - emptyLeft;
    FUZZ_CHECK(emptyIn >= emptyOut);
    FUZZ_CHECK(emptyLeft <= marked + otherLeft);
}

std::string ReadBracketAsAngle(std::string text)
{
    std::replace(text.begin(), text.end(), '[', '<');
    return text;
}

// Property 4.
void CheckPopLine(std::string_view text)
{
    std::string_view rest = text;
    std::size_t consumed = 0;
    while (!rest.empty()) {
        const std::string_view before = rest;
        const std::string_view line = PopLine(rest);
        FUZZ_CHECK(line.data() == before.data() || line.empty());
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string_view::npos);
        FUZZ_CHECK(rest.size() < before.size());
        // What is left is the end of the same buffer (an empty rest may point anywhere).
        FUZZ_CHECK(rest.empty() || rest.data() + rest.size() == before.data() + before.size());
        const std::string_view ending = before.substr(line.size(), before.size() - line.size() - rest.size());
        FUZZ_CHECK(ending == "\r\n" || ending == "\r" || ending == "\n" || (ending.empty() && rest.empty()));
        // A CR LF pair is never split between two lines.
        FUZZ_CHECK(!(ending == "\r" && !rest.empty() && rest[0] == '\n'));
        consumed += before.size() - rest.size();
    }
    FUZZ_CHECK(consumed == text.size());
}

// Property 5.
void CheckMerge(std::string_view chordLine, std::string_view lyricLine)
{
    std::string merged(lyricLine);
    MergeChordLine(chordLine, merged);
    const std::vector<std::string_view> words = Words(chordLine);
    std::size_t added = 0;
    for (const std::string_view word : words) {
        added += word.size() + 2;
    }
    FUZZ_CHECK(merged.size() == lyricLine.size() + added);
    FUZZ_CHECK(IsSubsequence(lyricLine, merged));
    if (lyricLine.find('[') == std::string_view::npos && chordLine.find_first_of("[]") == std::string_view::npos &&
        std::all_of(words.begin(), words.end(), IsChordWord)) {
        const std::optional<Stripped> stripped = StripMarks(merged);
        FUZZ_CHECK(stripped.has_value());
        FUZZ_CHECK(stripped->text == lyricLine);
        FUZZ_CHECK(stripped->tokens == words);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckPopLine(input);

    const std::vector<std::string_view> lines = SplitLines(input);
    for (const std::string_view line : lines) {
        for (const std::string_view word : Words(line)) {
            FUZZ_CHECK(IsChordToken(word) == IsChordWord(word));
        }
    }
    if (lines.size() >= 2) {
        CheckMerge(lines[0], lines[1]);
    }

    const std::string output = ConvertTabToChordPro(input);
    const auto has = [&](char c) { return input.find(c) != std::string_view::npos; };
    if (has('[') && has(']') && has('{') && has('}')) {
        FUZZ_CHECK(output == input);
    } else if (!has('[')) {
        CheckConversion(input, output);
    } else {
        const std::string angled = ReadBracketAsAngle(std::string(input));
        const std::string angledOutput = ConvertTabToChordPro(angled);
        FUZZ_CHECK(ReadBracketAsAngle(output) == ReadBracketAsAngle(angledOutput));
        CheckConversion(angled, angledOutput);
    }
    return 0;
}
