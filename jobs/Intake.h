#pragma once

#include "jobs/LoadedText.h"

#include <cstddef>
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

// A file's bytes as a loaded text: decoded to Windows-1252 (DecodeFileText), split into lines at LF (a CR
// right before the LF is dropped, a lone CR stays in its line), every line followed by CR LF, the last one
// too; then converted to ChordPro as `conversion` says.
LoadedText
MakeLoadedText(std::string_view fileName, std::string_view bytes, TextConversion conversion = TextConversion::Strict);

// The songs of a file's bytes: one loaded text, as MakeLoadedText makes it, unless lines reading {new_song} or
// {ns} (any case, blanks around, key=value attributes such as toc=no after them) split the file into several
// songs that hold something, as a ChordPro songbook file does; then one loaded text per song, without those
// lines. Lines end at LF, or at CR in a file of old Mac line ends, which holds no LF. What decoding replaced is
// counted with the song it was in, a broken UTF-8 byte named by its line in the file, whatever the file's
// encoding.
std::vector<LoadedText>
MakeLoadedTexts(std::string_view fileName, std::string_view bytes, TextConversion conversion = TextConversion::Strict);

// The largest text file that is read: far more than any song, and the handheld keeps 7,999 characters.
inline constexpr std::size_t MAX_TEXT_FILE_SIZE = 16 * 1024 * 1024;

// True when the last four characters of `path` are ".tab" or ".crd", ignoring case.
bool IsTabFileName(std::string_view path);

// Chord mode: the first two lines of the first loaded text are chord definitions.
bool IsChordModeText(std::string_view firstText);
