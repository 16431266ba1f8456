#pragma once

// The texts of the messages the use cases compose, each worded here once; the front ends show them as they
// are (the window's own texts refer to these where they say the same).

#include <string_view>

namespace messages {
// A file that could not be read or written; the path follows, then ": " and the system's cause.
inline constexpr std::string_view CANT_WRITE_FILE = "Can't write file ";
inline constexpr std::string_view CANT_READ_FILE = "Can't read file ";
// A file handed in that is a database of another kind or a binary file follows its name.
inline constexpr std::string_view NOT_A_SONG_FILE = " is not a song or text file";
} // namespace messages
