#pragma once

#include "jobs/Charset.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How text files become ChordPro: Strict converts only .tab and .crd files, with the strict chords-over-lyrics
// rules; ChordSheets examines every text file with the rules for chord sheets as tab sites write them
// (section labels, chord-line extras, tablature), leaving ChordPro files and chord lists as they are.
enum class TextConversion
{
    Strict,
    ChordSheets,
};

// A file's bytes as a loaded text: decoded to Windows-1252, split into lines at LF (a CR right before the LF
// is dropped, a lone CR stays in its line), every line followed by CR LF, the last one too; then converted to
// ChordPro as `conversion` says. The second form also adds each character that became "?" in decoding to
// `replaced`.
std::string
MakeLoadedText(std::string_view fileName, std::string_view bytes, TextConversion conversion = TextConversion::Strict);
std::string MakeLoadedText(std::string_view fileName,
                           std::string_view bytes,
                           ReplacedCharacters& replaced,
                           TextConversion conversion = TextConversion::Strict);

// The largest text file that is read: far more than any song, and the handheld keeps 7,999 characters.
inline constexpr std::size_t MAX_TEXT_FILE_SIZE = 16 * 1024 * 1024;

struct TextLoadResult
{
    std::optional<std::string> text; // the loaded text; nullopt when the file was not read
    std::string error;               // why not: "Can't read file <path>: <cause>", or NotASongMessage(path)
    ReplacedCharacters replaced;     // the characters that became "?" in decoding
    bool notText = false;            // refused because the file is a database or binary (IsNotTextContent)
    bool emptyFile = false;          // the file has no bytes; it loads as an empty text
};
// Reads the file at `path` as MakeLoadedText does. A file that is not a regular file, or is larger than
// MAX_TEXT_FILE_SIZE, is refused without being read; a Palm database or binary file is refused after.
TextLoadResult LoadTextFile(const std::filesystem::path& path, TextConversion conversion = TextConversion::Strict);

// True when the last four characters of `path` are ".tab" or ".crd", ignoring case.
bool IsTabFileName(std::string_view path);

// Chord mode: the first two lines of the first loaded text are chord definitions.
bool IsChordModeText(std::string_view firstText);
