#include "text/RecordFormat.h"

#include "text/ChordDefinition.h"
#include "text/Scan.h"

#include <algorithm>
#include <array>

std::vector<std::uint8_t> MakeSongRecord(std::string_view loadedText)
{
    std::vector<std::uint8_t> record;
    record.reserve(std::min(loadedText.size(), SONG_MAX_TEXT) + 2);
    std::string_view rest = loadedText;
    // Lines past the cut are not copied only to be dropped.
    while (!rest.empty() && record.size() <= SONG_MAX_TEXT) {
        const std::string_view line = PopLine(rest);
        record.insert(record.end(), line.begin(), line.end());
        record.push_back('\n');
    }
    // The cut may fall inside a line.
    if (record.size() > SONG_MAX_TEXT) {
        record.resize(SONG_MAX_TEXT);
    }
    record.push_back('\0');
    return record;
}

std::size_t SongTextLength(std::string_view loadedText)
{
    std::size_t length = 0;
    std::string_view rest = loadedText;
    while (!rest.empty()) {
        length += PopLine(rest).size() + 1;
    }
    return length == 0 ? 0 : length - 1;
}

std::string_view SongRecordText(std::span<const std::uint8_t> record)
{
    const auto end = std::find(record.begin(), record.end(), std::uint8_t{0});
    const auto length = static_cast<std::size_t>(end - record.begin());
    if (length == 0) {
        return {};
    }
    return std::string_view(reinterpret_cast<const char*>(record.data()), length);
}

std::string LoadedTextOfSongRecord(std::span<const std::uint8_t> record)
{
    return WithCrLf(SongRecordText(record));
}

bool IsMarkerRecord(std::span<const std::uint8_t> record)
{
    constexpr std::array<std::uint8_t, 4> MARKER = {0xFF, 0xEE, 0xDD, 0x00};
    return record.size() >= 6 && std::equal(MARKER.begin(), MARKER.end(), record.begin());
}

std::optional<std::vector<std::uint8_t>> MakeChordRecord(std::string_view definitionLine)
{
    ChordRecord chord;
    if (!ParseChordDefinition(definitionLine, chord)) {
        return std::nullopt;
    }
    return chord.StoredBytes();
}

std::optional<std::string> ChordLineOfRecord(std::span<const std::uint8_t> record)
{
    std::optional<std::string> line = FormatChordDefinition(record);
    if (line) {
        for (char& c : *line) {
            if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') {
                c = '?';
            }
        }
    }
    return line;
}
