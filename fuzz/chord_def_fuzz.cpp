// Chord definitions over arbitrary bytes.
// - The whole input, taken as one line, is parsed. An accepted line gives a stored record of 9 + name length
//   bytes (10 to 28) with zero reserved bytes; the line FormatChordDefinition writes for that record parses
//   back into the same six frets and the same name, whenever the stored name is not empty and holds no blank
//   (the name ends at its first NUL byte, which the line may hold). IsChordDefinitionLine agrees with the
//   parse.
// - The input, taken as a stored record, is formatted: nullopt below 9 bytes, otherwise the name (from byte 8
//   to the first NUL or the end) and the six fret values, each "x" for a muted string or its decimal value.

#include "text/ChordDefinition.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzCheck.h"

namespace {

std::string StoredName(const ChordRecord& record)
{
    return std::string(record.chordName, strnlen(record.chordName, sizeof record.chordName));
}

void CheckParse(std::string_view line)
{
    ChordRecord record;
    const bool accepted = ParseChordDefinition(line, record);
    FUZZ_CHECK(IsChordDefinitionLine(line) == accepted);
    if (!accepted) {
        return;
    }
    const std::string name = StoredName(record);
    FUZZ_CHECK(name.size() <= CHORD_MAX_NAME_LENGTH);
    FUZZ_CHECK(record.chordName[CHORD_MAX_NAME_LENGTH] == '\0');
    FUZZ_CHECK(record.reserved[0] == 0 && record.reserved[1] == 0);
    // The name is what stood before the first blank, cut to 19 bytes and at its first NUL.
    const std::size_t blank = line.find_first_of(" \t");
    FUZZ_CHECK(blank != std::string_view::npos && blank > 0);
    FUZZ_CHECK(line.substr(0, blank).substr(0, CHORD_MAX_NAME_LENGTH).starts_with(name));

    const std::vector<std::uint8_t> stored = record.StoredBytes();
    FUZZ_CHECK(stored.size() == CHORD_NAME_OFFSET + name.size() + 1);
    FUZZ_CHECK(stored.back() == 0);
    const std::optional<std::string> text = FormatChordDefinition(stored);
    FUZZ_CHECK(text.has_value());
    if (name.empty() || name.find_first_of(" \t") != std::string::npos) {
        return;
    }
    ChordRecord again;
    FUZZ_CHECK(ParseChordDefinition(*text, again));
    FUZZ_CHECK(StoredName(again) == name);
    for (std::size_t i = 0; i < 6; ++i) {
        FUZZ_CHECK(again.frets[i] == record.frets[i]);
    }
}

void CheckFormat(std::span<const std::uint8_t> bytes)
{
    const std::optional<std::string> text = FormatChordDefinition(bytes);
    if (bytes.size() < CHORD_NAME_OFFSET + 1) {
        FUZZ_CHECK(!text.has_value());
        return;
    }
    FUZZ_CHECK(text.has_value());
    std::string expected;
    for (std::size_t i = CHORD_NAME_OFFSET; i < bytes.size() && bytes[i] != 0; ++i) {
        expected.push_back(static_cast<char>(bytes[i]));
    }
    for (std::size_t i = 0; i < 6; ++i) {
        expected += ' ';
        expected += bytes[i] == MUTED_STRING ? std::string("x") : std::to_string(bytes[i]);
    }
    FUZZ_CHECK(*text == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckParse(std::string_view(reinterpret_cast<const char*>(data), size));
    CheckFormat(std::span<const std::uint8_t>(data, size));
    return 0;
}
