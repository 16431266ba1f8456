#pragma once

// The way in: every file handed to the importer (dropped on the window, picked in the open dialog, named on
// the command line, given to `build` or `convert`) is opened once, checked once and read once here, and comes
// back as what it is: texts to load, an import database of this program whose songs or chord list load for
// editing, a handheld database to extract, something that is no song at all, or a file that could not be read.

#include "jobs/Intake.h"
#include "jobs/LoadedText.h"
#include "pdb/FileIo.h"
#include "pdb/PalmDatabase.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.h"

// True for bytes that are no text: a Palm database, or anything holding a NUL byte in its first 4 KiB,
// except UTF-16 or UTF-32 text (with or without a byte-order mark, as WideFormOf tells), which is a database
// only as one of the songbook's kinds.
bool IsNotTextContent(std::string_view bytes);

// The loaded texts of a song or chord import database (or of the handheld's): one per song, markers left out;
// for chords, one chord-list text with a definition line per chord record. Saving these texts again gives
// the same records.
std::vector<LoadedText> LoadedTextsOfDatabase(const CPalmDatabase& database);

enum class InputKind
{
    Texts,          // a text file: `texts` holds its loaded text, or one per song of a songbook file
    ImportDatabase, // a song or chord import database of this program: `texts` holds its songs or chord list
    SongDatabase,   // the handheld's song database (named *.pdb): its songs are extracted
    ChordDatabase,  // the handheld's chord database (named *.pdb): its chords are extracted
    NotText,        // a Palm database of another kind or program, or a binary file
    Folder,         // a folder: `error` says it cannot be read as a file; SongFilesInFolder lists its songs
    Unreadable,     // missing, not a regular file, too large, or failing to read; `error` says why
};

struct InputFile
{
    InputKind kind = InputKind::Unreadable;
    std::vector<LoadedText> texts;
    std::optional<CPalmDatabase> database; // for ImportDatabase, SongDatabase and ChordDatabase
    std::optional<FileIdentity> identity;  // of the file that was opened, to tell it from an output
    bool emptyFile = false;                // a text file of no bytes, loaded as one empty text
    bool blankFile = false; // a text file of some bytes that load as blanks and line ends only (spaces, a mark)
    std::string error; // Unreadable: "Can't read file <name>: <cause>"; NotText: "<name> is not a song or text file"
                       // and, when it can be told, ": <notTextCause>"
    std::string notTextCause; // NotText: why a file that otherwise reads as text is none (its NUL bytes), or empty
};

// Reads and sorts out one dropped or named file. Only a regular file is read: a folder, a FIFO or a device is
// refused without waiting on it. A name ending in .pdb is read as a database first (only as far as its
// records reach); any other file, and a .pdb file that is no database, is read as a text file (at most
// MAX_TEXT_FILE_SIZE bytes) and is a database only when its bytes are one.
InputFile ReadInputFile(const std::filesystem::path& path, TextConversion conversion = TextConversion::Strict);

// The song files of a dropped or named folder, in name order (letter case aside): its regular files, not
// hidden, whose names end as song, tab or text files do (.pro, .chordpro, .cho, .chopro, .tab, .crd, .txt, in
// any case). Its subfolders are not looked into. An Error, its text the whole message for the user, when the
// folder cannot be listed or holds no song file.
Result<std::vector<std::filesystem::path>> SongFilesInFolder(const std::filesystem::path& path);

// The name that stands for standard input on the command line.
inline constexpr std::string_view STANDARD_INPUT_NAME = "-";
// Reads standard input (a file, a pipe or a terminal, up to MAX_TEXT_FILE_SIZE bytes) as ReadInputFile reads a
// file not named .pdb; messages name it "-".
InputFile ReadStandardInput(TextConversion conversion = TextConversion::Strict);
