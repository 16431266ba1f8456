#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::size_t SONG_TITLE_CAPACITY = 40;    // 39 characters and the terminator
inline constexpr std::size_t SONG_SUBTITLE_CAPACITY = 30; // 29 characters and the terminator
inline constexpr std::string_view NO_TITLE = "(no title)";

// The song's title: the value of the first "{t:" in the whole text, else of the first "{title:", else the
// start of the text; leading spaces skipped, ended by NUL, CR, LF or "}", at most capacity - 1 characters;
// "(no title)" when empty. The text counts only up to its first NUL byte. capacity must be at least 11.
std::string GetSongTitle(std::string_view text, std::size_t capacity = SONG_TITLE_CAPACITY);
// The subtitle from "{st:" or "{subtitle:"; empty when there is none.
std::string GetSongSubtitle(std::string_view text, std::size_t capacity = SONG_SUBTITLE_CAPACITY);
// Title, then " - " and the subtitle when there is one.
std::string GetSongDisplayName(std::string_view text);
// The display name of UTF-8 text by the same rules, the 39 and 29 counted in characters rather than bytes: no
// character is cut in two, and the name has as many characters as the one the handheld shows for the same text
// in its 8-bit form, where each character it has no form for is one "?".
std::string GetSongDisplayNameUtf8(std::string_view text);
