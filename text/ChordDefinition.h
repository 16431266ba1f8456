#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Fret value of a string that is not played; written "x" in text.
inline constexpr std::uint8_t MUTED_STRING = 15;
inline constexpr std::size_t CHORD_MAX_NAME_LENGTH = 19;
// Bytes before the name in a stored chord record: six frets and two reserved bytes.
inline constexpr std::size_t CHORD_NAME_OFFSET = 8;

// The working copy of one chord record: six frets, two reserved zero bytes, a NUL-terminated name.
struct ChordRecord
{
    std::uint8_t frets[6] = {};
    std::uint8_t reserved[2] = {};
    char chordName[CHORD_MAX_NAME_LENGTH + 1] = {};

    // The stored form: the first 9 + name length bytes (frets, reserved, name, NUL).
    std::vector<std::uint8_t> StoredBytes() const;
};
static_assert(sizeof(ChordRecord) == 28);

// Parses "NAME v1 v2 v3 v4 [v5 [v6]]" (single blanks, x/X for a muted string, numbers modulo 256) into
// `record`; true when a name and at least four values were read. On false the record must not be used.
// A name longer than CHORD_MAX_NAME_LENGTH keeps its first characters; values after the sixth are not read.
bool ParseChordDefinition(std::string_view line, ChordRecord& record);
// The same; `unread` is left on the rest of the line that no value was read from (empty when the values
// reached its end).
bool ParseChordDefinition(std::string_view line, ChordRecord& record, std::string_view& unread);
bool IsChordDefinitionLine(std::string_view line);

// The text line for a stored chord record: "NAME f1 f2 f3 f4 f5 f6"; the name runs from byte 8 to the first
// NUL or the record's end. nullopt for a record shorter than 9 bytes (no name position).
std::optional<std::string> FormatChordDefinition(std::span<const std::uint8_t> record);
