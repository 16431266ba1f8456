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
// The text no longer holds a NUL, so its end stands for the NUL. In UTF-8 text a character is a lead byte with
// the continuation bytes it announces, so the value ends between characters, never inside one; a continuation
// byte that no lead byte announced counts as a character of its own, so a broken text is cut all the same.
std::string ReadDirectiveValue(std::string_view text, std::size_t start, std::size_t capacity, bool utf8)
{
    const std::size_t limit = capacity > 0 ? capacity - 1 : 0;
    while (start < text.size() && text[start] == ' ')
        ++start;
    std::size_t end = start;
    std::size_t characters = 0;
    int announced = 0; // continuation bytes still belonging to the last character
    while (end < text.size() && text[end] != '\r' && text[end] != '\n' && text[end] != '}') {
        const auto byte = static_cast<unsigned char>(text[end]);
        if (utf8 && announced > 0 && (byte & 0xC0) == 0x80) {
            --announced;
            ++end;
            continue;
        }
        if (characters == limit)
            break;
        announced = !utf8 ? 0 : byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
        ++characters;
        ++end;
    }
    return std::string(text.substr(start, end - start));
}

std::string Title(std::string_view text, std::size_t capacity, bool utf8)
{
    text = UpToNul(text);
    std::size_t start = FindDirectiveValue(text, "{t:", "{title:");
    if (start == std::string_view::npos)
        start = 0; // no directive: the song is titled by the start of its first line
    std::string title = ReadDirectiveValue(text, start, capacity, utf8);
    if (title.empty()) {
        // A capacity below the documented minimum still never yields more than capacity - 1 characters.
        const std::size_t limit = capacity > 0 ? capacity - 1 : 0;
        title = NO_TITLE.substr(0, limit);
    }
    return title;
}

std::string Subtitle(std::string_view text, std::size_t capacity, bool utf8)
{
    text = UpToNul(text);
    const std::size_t start = FindDirectiveValue(text, "{st:", "{subtitle:");
    if (start == std::string_view::npos)
        return {};
    return ReadDirectiveValue(text, start, capacity, utf8);
}

std::string DisplayName(std::string_view text, bool utf8)
{
    std::string name = Title(text, SONG_TITLE_CAPACITY, utf8);
    const std::string subtitle = Subtitle(text, SONG_SUBTITLE_CAPACITY, utf8);
    if (!subtitle.empty()) {
        name += " - ";
        name += subtitle;
    }
    return name;
}

} // namespace

std::string GetSongTitle(std::string_view text, std::size_t capacity)
{
    return Title(text, capacity, false);
}

std::string GetSongSubtitle(std::string_view text, std::size_t capacity)
{
    return Subtitle(text, capacity, false);
}

std::string GetSongDisplayName(std::string_view text)
{
    return DisplayName(text, false);
}

std::string GetSongDisplayNameUtf8(std::string_view text)
{
    return DisplayName(text, true);
}
