#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

// Lines as a line-end scanner must see them, written apart from the scanner under test: CR LF, a lone CR or a
// lone LF ends a line; a line end at the very end of the text starts no further line.
inline std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') {
            ++end;
        }
        lines.push_back(text.substr(start, end - start));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
            ++end;
        }
        start = end + 1;
    }
    return lines;
}
