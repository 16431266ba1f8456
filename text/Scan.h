#pragma once

#include <cstddef>
#include <string>
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

// Which characters end a line.
enum class LineEnds
{
    Any,      // CR LF, a lone CR or a lone LF: how songs, chord lists and the editor's text are taken apart
    TextMode, // LF, a CR right before it belonging to the line end; a lone CR is an ordinary character, as a
              // text-mode file reader delivers the lines of a file or of a program's output
};

// Removes the first line from `text` and returns it without its line end (by default CR LF, a lone CR or a
// lone LF); `text` then starts after that line end. An empty text gives an empty line.
// The result points into the same buffer as `text`.
std::string_view PopLine(std::string_view& text, LineEnds ends = LineEnds::Any);

// What a text-mode file writes for `text`: every LF becomes CR LF.
std::string WithCrLf(std::string_view text);

// The next blank-separated word of `line` from `pos`. Leading blanks are skipped; `pos` is left ON the blank
// that ends the word, or at the line's length. At or past the end: empty word, `pos` unchanged.
std::string_view NextToken(std::string_view line, std::size_t& pos);
