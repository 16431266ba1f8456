#pragma once

#include <cstddef>
#include <string_view>

// Character classes shared by the scanners; plain ASCII whatever the locale.
constexpr bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}
constexpr bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Removes the first line from `text` and returns it without its line end. A line ends at CR LF, at a lone
// CR or at a lone LF; `text` then starts after that line end. An empty text gives an empty line.
// The result points into the same buffer as `text`.
std::string_view PopLine(std::string_view& text);

// The next blank-separated word of `line` from `pos`. Leading blanks are skipped; `pos` is left ON the blank
// that ends the word, or at the line's length. At or past the end: empty word, `pos` unchanged.
std::string_view NextToken(std::string_view line, std::size_t& pos);
