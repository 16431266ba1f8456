#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A file's bytes as a loaded text: decoded to Windows-1252, split into lines at LF (a CR right before the LF
// is dropped, a lone CR stays in its line), every line followed by CR LF, the last one too; names ending in
// .tab or .crd (any case) are converted to ChordPro.
std::string MakeLoadedText(std::string_view fileName, std::string_view bytes);

// The largest text file that is read: far more than any song, and the handheld keeps 7,999 characters.
inline constexpr std::size_t MAX_TEXT_FILE_SIZE = 16 * 1024 * 1024;

struct TextLoadResult
{
    std::optional<std::string> text; // the loaded text; nullopt when the file was not read
    std::string error;               // why not: "Can't read file <path>: <cause>", or NotASongMessage(path)
    bool notText = false;            // refused because the file is a database or binary (IsNotTextContent)
    bool emptyFile = false;          // the file has no bytes; it loads as an empty text
};
// Reads the file at `path` as MakeLoadedText does. A file that is not a regular file, or is larger than
// MAX_TEXT_FILE_SIZE, is refused without being read; a Palm database or binary file is refused after.
TextLoadResult LoadTextFile(const std::filesystem::path& path);

// True when the last four characters of `path` are ".tab" or ".crd", ignoring case.
bool IsTabFileName(std::string_view path);

// Chord mode: the first two lines of the first loaded text are chord definitions.
bool IsChordModeText(std::string_view firstText);
