#include "text/TabConvert.h"

#include "text/Ascii.h"
#include "text/Scan.h"

#include <algorithm>
#include <optional>

namespace {

// White space for the lyric-line test: the six classic C white-space characters, fixed whatever the locale.
constexpr bool IsLyricWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A text holding all four of [ ] { } is taken for ChordPro already and left alone.
bool LooksLikeChordPro(std::string_view text)
{
    return text.find('[') != std::string_view::npos && text.find(']') != std::string_view::npos &&
           text.find('{') != std::string_view::npos && text.find('}') != std::string_view::npos;
}

} // namespace

bool IsChordToken(std::string_view word)
{
    if (word.empty() || word[0] < 'A' || word[0] > 'H')
        return false;
    return std::all_of(word.begin() + 1, word.end(), [](char c) {
        return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '#' || c == '(' || c == ')' || c == '+' || c == '/';
    });
}

bool IsChordLine(std::string_view chordLine, std::string_view lyricLine)
{
    if (lyricLine.empty() || chordLine.empty())
        return false;

    // Every word of the upper line must be a chord; a line of blanks has no words and passes.
    std::size_t pos = 0;
    do {
        const std::string_view word = NextToken(chordLine, pos);
        if (!word.empty() && !IsChordToken(word))
            return false;
        ++pos; // step over the blank that ended the word
    } while (pos < chordLine.size());

    // The lower line is a lyric line unless white space outnumbers everything else.
    const auto whiteSpace =
        static_cast<std::size_t>(std::count_if(lyricLine.begin(), lyricLine.end(), IsLyricWhiteSpace));
    return whiteSpace <= lyricLine.size() - whiteSpace;
}

namespace {

// The column counts positions in the lyric line as it grows (marks already inserted included). After a mark
// the column moves on by twice the mark's length less one, so it never falls back inside or before a mark:
// every mark goes in at or after the end of the previous one, and the number of lyric characters in front
// of it is the column less the length of the marks placed so far (or the whole lyric line when the column
// is at or past the end). The merged line can therefore be built in one pass, copying lyric characters up
// to each mark's place, instead of inserting into the middle of the string once per chord.
void AppendMergedLine(std::string_view chordLine, std::string_view lyric, std::string& out)
{
    std::size_t column = 0;      // position in the partly merged line
    std::size_t marksLength = 0; // length of the marks placed so far
    std::size_t copied = 0;      // lyric characters already appended to `out`

    for (std::size_t index = 0; index < chordLine.size(); ++index) {
        const char c = chordLine[index];
        if (c == ' ') {
            column += 1;
        } else if (c == '\t') {
            column += 8; // a flat 8, not up to the next tab stop
        } else {
            // NextToken leaves the index on the blank after the word, which the loop then steps over
            // without counting it: the column step below includes it.
            const std::string_view token = NextToken(chordLine, index);
            const std::size_t markLength = token.size() + 2;
            const std::size_t lyricIndex = std::min(column - marksLength, lyric.size());
            out.append(lyric.substr(copied, lyricIndex - copied));
            copied = lyricIndex;
            out += '[';
            out.append(token);
            out += ']';
            marksLength += markLength;
            column += 2 * markLength - 1;
        }
    }
    out.append(lyric.substr(copied));
}

} // namespace

void MergeChordLine(std::string_view chordLine, std::string& lyricLine)
{
    std::string merged;
    // Marks take at most twice the chord line's length plus one (a one-letter chord line).
    merged.reserve(lyricLine.size() + 2 * chordLine.size() + 1);
    AppendMergedLine(chordLine, lyricLine, merged);
    lyricLine = std::move(merged);
}

// Walks the lines once. The line list of the merge rules is never built: the only line that can still
// change is the one above the current line (the candidate chord line), kept as `pending` until the line
// below it shows whether the two merge. Every line is tested at most twice and copied once.
std::string ConvertTabToChordPro(std::string_view text)
{
    if (LooksLikeChordPro(text))
        return std::string(text);

    std::string result;
    result.reserve(text.size() + text.size() / 8);
    bool firstLine = true;
    auto startLine = [&] {
        if (!firstLine)
            result += "\r\n";
        firstLine = false;
    };
    auto emit = [&](std::string_view line) {
        startLine();
        result.append(line);
    };

    std::optional<std::string_view> pending;
    bool afterMerge = false;
    while (!text.empty()) {
        const std::string_view line = PopLine(text);
        if (afterMerge) {
            afterMerge = false;
            // After a merge, one empty line below the lyric line is dropped.
            if (line.empty())
                continue;
        }
        if (!pending) {
            pending = line;
            continue;
        }
        if (IsChordLine(*pending, line)) {
            startLine();
            AppendMergedLine(*pending, line, result);
            pending.reset(); // the merged line is never tested as a chord line again
            afterMerge = true;
        } else {
            emit(*pending);
            pending = line;
        }
    }
    if (pending)
        emit(*pending);
    return result;
}
