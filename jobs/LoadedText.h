#pragma once

#include "jobs/Charset.h"

#include <cstddef>
#include <string>

// One loaded text: a song or a chord list as it travels from the way in to the song list, the loss report and
// the export, with what became of its characters on the way.
struct LoadedText
{
    std::string text;                // Windows-1252, every line followed by CR LF, the last one too
    ReplacedCharacters replaced;     // characters that became "?" when it was decoded (or typed in the editor)
    std::size_t invalidUtf8Line = 0; // UTF-8 with a broken byte, read as Windows-1252: that byte's line; 0 for none
    // UTF-8, CR LF line ends: the text as the user typed it in the editor, when it holds characters that `text`
    // has only as "?", "#" or "b"; empty otherwise. Song files get it; the handheld gets `text`.
    std::string typed = {};

    bool operator==(const LoadedText&) const = default;
};
