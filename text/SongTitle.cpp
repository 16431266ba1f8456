#include "text/SongTitle.h"

namespace {

// The text as a C string would see it: up to its first NUL byte.
std::string_view UpToNul(std::string_view text)
{
    const std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

// Where the value of the first directive found starts (right after its colon), trying the short form over the
// whole text before the long form; npos when neither is there.
std::size_t FindDirectiveValue(std::string_view text, std::string_view shortForm, std::string_view longForm)
{
    std::size_t at = text.find(shortForm);
    if (at != std::string_view::npos)
        return at + shortForm.size();
    at = text.find(longForm);
    if (at != std::string_view::npos)
        return at + longForm.size();
    return std::string_view::npos;
}

// Leading spaces (not tabs) skipped, then up to capacity - 1 characters, ended by CR, LF or a closing brace.
// The text no longer holds a NUL, so its end stands for the NUL.
std::string ReadDirectiveValue(std::string_view text, std::size_t start, std::size_t capacity)
{
    const std::size_t limit = capacity > 0 ? capacity - 1 : 0;
    while (start < text.size() && text[start] == ' ')
        ++start;
    std::size_t end = start;
    while (end < text.size() && end - start < limit && text[end] != '\r' && text[end] != '\n' && text[end] != '}')
        ++end;
    return std::string(text.substr(start, end - start));
}

} // namespace

std::string GetSongTitle(std::string_view text, std::size_t capacity)
{
    text = UpToNul(text);
    std::size_t start = FindDirectiveValue(text, "{t:", "{title:");
    if (start == std::string_view::npos)
        start = 0; // no directive: the song is titled by the start of its first line
    std::string title = ReadDirectiveValue(text, start, capacity);
    if (title.empty()) {
        // A capacity below the documented minimum still never yields more than capacity - 1 characters.
        const std::size_t limit = capacity > 0 ? capacity - 1 : 0;
        title = NO_TITLE.substr(0, limit);
    }
    return title;
}

std::string GetSongSubtitle(std::string_view text, std::size_t capacity)
{
    text = UpToNul(text);
    const std::size_t start = FindDirectiveValue(text, "{st:", "{subtitle:");
    if (start == std::string_view::npos)
        return {};
    return ReadDirectiveValue(text, start, capacity);
}

std::string GetSongDisplayName(std::string_view text)
{
    std::string name = GetSongTitle(text, SONG_TITLE_CAPACITY);
    const std::string subtitle = GetSongSubtitle(text, SONG_SUBTITLE_CAPACITY);
    if (!subtitle.empty()) {
        name += " - ";
        name += subtitle;
    }
    return name;
}
