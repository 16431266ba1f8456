#include "text/ChordDefinition.h"

#include "text/Ascii.h"
#include "text/Scan.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace {

constexpr std::size_t FRET_COUNT = 6;
constexpr std::size_t MIN_VALUES = 4;

std::size_t FindBlank(std::string_view text)
{
    const auto it = std::find_if(text.begin(), text.end(), IsBlank);
    return static_cast<std::size_t>(it - text.begin());
}

} // namespace

std::vector<std::uint8_t> ChordRecord::StoredBytes() const
{
    // A working copy without a NUL in its first 19 characters is stored with its first 19.
    const char* nameEnd = std::find(chordName, chordName + CHORD_MAX_NAME_LENGTH, '\0');
    const auto nameLength = static_cast<std::size_t>(nameEnd - chordName);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(CHORD_NAME_OFFSET + nameLength + 1);
    bytes.insert(bytes.end(), std::begin(frets), std::end(frets));
    // The reserved bytes are always written as zero, whatever the working copy holds.
    bytes.insert(bytes.end(), std::size(reserved), 0);
    for (std::size_t i = 0; i < nameLength; ++i)
        bytes.push_back(static_cast<std::uint8_t>(chordName[i]));
    bytes.push_back(0);
    return bytes;
}

bool ParseChordDefinition(std::string_view line, ChordRecord& record)
{
    std::string_view unread;
    return ParseChordDefinition(line, record, unread);
}

bool ParseChordDefinition(std::string_view line, ChordRecord& record, std::string_view& unread)
{
    unread = line;
    const std::size_t nameEnd = FindBlank(line);
    if (nameEnd == 0 || nameEnd == line.size())
        return false; // no name, or no blank after it

    const std::string_view name = line.substr(0, std::min(nameEnd, CHORD_MAX_NAME_LENGTH));
    std::fill(std::begin(record.chordName), std::end(record.chordName), '\0');
    std::copy(name.begin(), name.end(), record.chordName);
    std::fill(std::begin(record.reserved), std::end(record.reserved), std::uint8_t{0});

    // Exactly one blank follows the name; a second one leaves no value to read.
    std::string_view rest = line.substr(nameEnd + 1);
    std::size_t count = 0;
    while (!rest.empty() && count < FRET_COUNT) {
        std::uint8_t value = 0;
        if (rest[0] == 'x' || rest[0] == 'X') {
            value = MUTED_STRING;
        } else if (IsAsciiDigit(rest[0])) {
            // Only the low 8 bits are kept, so the number can be reduced as it is read.
            for (std::size_t i = 0; i < rest.size() && IsAsciiDigit(rest[i]); ++i)
                value = static_cast<std::uint8_t>(value * 10 + (rest[i] - '0'));
        } else {
            break;
        }
        record.frets[count++] = value;
        // The rest of the word is skipped up to and including the one blank after it.
        const std::size_t blank = FindBlank(rest);
        rest = blank < rest.size() ? rest.substr(blank + 1) : std::string_view{};
    }
    for (std::size_t i = count; i < FRET_COUNT; ++i)
        record.frets[i] = MUTED_STRING;
    unread = rest;
    return count >= MIN_VALUES;
}

bool IsChordDefinitionLine(std::string_view line)
{
    ChordRecord scratch;
    return ParseChordDefinition(line, scratch);
}

std::optional<std::string> FormatChordDefinition(std::span<const std::uint8_t> record)
{
    if (record.size() < CHORD_NAME_OFFSET + 1)
        return std::nullopt;

    const auto nameBegin = record.begin() + static_cast<std::ptrdiff_t>(CHORD_NAME_OFFSET);
    const auto nameEnd = std::find(nameBegin, record.end(), std::uint8_t{0});
    std::string line(nameBegin, nameEnd);
    for (std::size_t i = 0; i < FRET_COUNT; ++i) {
        line += ' ';
        if (record[i] == MUTED_STRING)
            line += 'x';
        else
            line += std::to_string(record[i]);
    }
    return line;
}
