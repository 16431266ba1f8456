#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A file's bytes as a loaded text: decoded to Windows-1252, split into lines at LF (a CR right before the LF
// is dropped, a lone CR stays in its line), every line followed by CR LF, the last one too; names ending in
// .tab or .crd (any case) are converted to ChordPro.
std::string MakeLoadedText(std::string_view fileName, std::string_view bytes);

// Reads the file at `path` as MakeLoadedText does; nullopt when it cannot be read.
std::optional<std::string> LoadTextFile(const std::string& path);

// True when the last four characters of `path` are ".tab" or ".crd", ignoring case.
bool IsTabFileName(std::string_view path);

// Chord mode: the first two lines of the first loaded text are chord definitions.
bool IsChordModeText(std::string_view firstText);
bool IsChordMode(const std::vector<std::string>& loadedTexts);
