#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Exit statuses of every command.
inline constexpr int EXIT_STATUS_OK = 0;
inline constexpr int EXIT_STATUS_FAILED = 1;
inline constexpr int EXIT_STATUS_USAGE = 2;

// One line on standard error: "tunelore-cli: " and the message, its control characters escaped.
void PrintError(std::string_view message);

// One line on standard error: "warning: ", the file (or option) concerned, ": " and the message (UTF-8);
// control characters as \xNN.
void PrintWarning(std::string_view subject, std::string_view message);

// "1 song", "3 songs".
std::string CountOf(std::size_t count, std::string_view singular, std::string_view plural);

// A four-character code for a message: printable ASCII as it is, any other byte (and the backslash) as \xNN.
std::string PrintableCode(std::uint32_t code);

// Windows-1252 text for the terminal: UTF-8, with control characters (and the five undefined bytes) as \xNN,
// so that a name from a database cannot break a line or move the cursor.
std::string PrintableText(std::string_view text);

// UTF-8 text for the terminal: control characters as \xNN, the C1 controls (U+0080..U+009F) too, so that
// neither can break a line or steer the terminal.
std::string EscapeControls(std::string_view utf8);

// A time stamp as the file holds it (seconds since 1904-01-01 UTC) in ISO-8601: "2006-01-01T00:00:00Z".
std::string FormatPalmTime(std::uint32_t palmSeconds);
