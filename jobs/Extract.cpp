#include "jobs/Extract.h"

#include "jobs/Charset.h"
#include "jobs/FileNames.h"
#include "pdb/AtomicFile.h"
#include "pdb/FileIo.h"
#include "text/Ascii.h"
#include "text/ChordDefinition.h"
#include "text/SongTitle.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <set>
#include <system_error>

namespace {

// What a text-mode file writes for `text`: every LF reaches the disk as CR LF.
std::string WithCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    for (char c : text) {
        if (c == '\n') {
            out.push_back('\r');
        }
        out.push_back(c);
    }
    return out;
}

// The first of "name", "name (2)", "name (3)", ... that this extraction has not written yet. Names are
// compared without regard to ASCII case, so that two songs differing only in case do not overwrite each other
// on file systems that ignore case.
std::string FirstFreeName(const std::string& name, const std::set<std::string>& taken)
{
    if (taken.count(AsciiLowerCopy(name)) == 0) {
        return name;
    }
    for (std::size_t number = 2;; ++number) {
        std::string candidate = name + " (" + std::to_string(number) + ")";
        if (taken.count(AsciiLowerCopy(candidate)) == 0) {
            return candidate;
        }
    }
}

} // namespace

bool IsMarkerRecord(const CPdbRecord& record)
{
    constexpr std::array<std::uint8_t, 4> MARKER = {0xFF, 0xEE, 0xDD, 0x00};
    const std::span<const std::uint8_t> data = record.Data();
    return data.size() >= 6 && std::equal(MARKER.begin(), MARKER.end(), data.begin());
}

std::string_view SongRecordText(const CPdbRecord& record)
{
    const std::span<const std::uint8_t> data = record.Data();
    const auto end = std::find(data.begin(), data.end(), std::uint8_t{0});
    const auto length = static_cast<std::size_t>(end - data.begin());
    if (length == 0) {
        return {};
    }
    return std::string_view(reinterpret_cast<const char*>(data.data()), length);
}

ChordTextResult ExportChordsToText(const CPalmDatabase& database, const std::filesystem::path& textPath)
{
    ChordTextResult result;

    std::string text;
    int chords = 0;
    for (const CPdbRecord& record : database.Records()) {
        // A record too short for the frets and the name's first byte is not a chord.
        const std::optional<std::string> line = FormatChordDefinition(record.Data());
        if (!line) {
            ++result.skipped;
            continue;
        }
        text += Cp1252ToUtf8(WithCrLf(*line + "\n"));
        ++chords;
    }

    if (!WriteFileAtomically(textPath, std::string_view(text))) {
        result.error = CantWriteMessage(Utf8FromPath(textPath));
        return result;
    }
    result.written = true;
    result.chords = chords;
    return result;
}

ExtractResult ExtractSongs(const CPalmDatabase& database, const std::filesystem::path& folder)
{
    ExtractResult result;
    const std::filesystem::path folderPath = folder.empty() ? std::filesystem::path(".") : folder;
    bool folderChecked = false;
    std::set<std::string> written; // file names without ".pro", ASCII lower case

    for (const CPdbRecord& record : database.Records()) {
        if (IsMarkerRecord(record)) {
            continue;
        }
        const std::string_view text = SongRecordText(record);
        const std::string displayName = GetSongDisplayName(text);

        if (!folderChecked) {
            // Made only when there is a song to put in it; a failure shows up as songs that cannot be written.
            std::error_code ignored;
            std::filesystem::create_directories(folderPath, ignored);
            folderChecked = true;
        }

        const std::string fileName = FirstFreeName(SafeSongFileName(displayName), written);
        const std::filesystem::path filePath = folderPath / PathFromUtf8(Cp1252ToUtf8(fileName + ".pro"));
        // Songs can be extracted again from the database, so they are not synced one by one. A link already in
        // the folder under the song's name is replaced, never followed, so nothing outside the folder is written.
        if (!WriteFileAtomically(filePath,
                                 std::string_view(Cp1252ToUtf8(WithCrLf(text))),
                                 FileDurability::Unsynced,
                                 LinkPolicy::Replace)) {
            result.failed.push_back(Cp1252ToUtf8(displayName));
            continue;
        }
        written.insert(AsciiLowerCopy(fileName));
        result.files.push_back(Utf8FromPath(filePath));
        ++result.written;
    }
    return result;
}
