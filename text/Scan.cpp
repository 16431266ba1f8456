#include "text/Scan.h"

#include <cstdint>
#include <cstring>

namespace {

// Index of the first CR or LF in `text`, or its length. Eight bytes are tested at a time (a byte of a word
// equals c exactly when that byte of word ^ (c * 0x01..01) is zero); the byte loop then finds the exact
// place inside the word that holds a line end, and handles the last few bytes.
std::size_t FindLineEnd(std::string_view text)
{
    constexpr std::uint64_t ones = 0x0101010101010101;
    constexpr std::uint64_t highBits = 0x8080808080808080;
    constexpr std::uint64_t crs = ones * std::uint64_t{'\r'};
    constexpr std::uint64_t lfs = ones * std::uint64_t{'\n'};
    const std::size_t size = text.size();
    std::size_t i = 0;
    for (; i + sizeof(std::uint64_t) <= size; i += sizeof(std::uint64_t)) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, sizeof word);
        const std::uint64_t cr = word ^ crs;
        const std::uint64_t lf = word ^ lfs;
        if ((((cr - ones) & ~cr) | ((lf - ones) & ~lf)) & highBits)
            break;
    }
    while (i < size && !IsLineEnd(text[i]))
        ++i;
    return i;
}

} // namespace

std::string_view PopLine(std::string_view& text, LineEnds ends)
{
    if (ends == LineEnds::TextMode) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        return line;
    }
    const std::size_t end = FindLineEnd(text);
    const std::string_view line = text.substr(0, end);
    if (end == text.size()) {
        text = {};
        return line;
    }
    // CR LF is one line end; any other line-end character ends the line on its own.
    std::size_t lineEndLength = 1;
    if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
        lineEndLength = 2;
    text.remove_prefix(end + lineEndLength);
    return line;
}

std::string WithCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    for (const char c : text) {
        if (c == '\n') {
            out.push_back('\r');
        }
        out.push_back(c);
    }
    return out;
}

std::string_view NextToken(std::string_view line, std::size_t& pos)
{
    const std::size_t size = line.size();
    if (pos >= size)
        return {}; // the position is left where it was, even past the end
    while (pos < size && IsBlank(line[pos]))
        ++pos;
    const std::size_t start = pos;
    // The position stays on the blank that ends the word: callers count that blank as part of the word.
    while (pos < size && !IsBlank(line[pos]))
        ++pos;
    return line.substr(start, pos - start);
}
