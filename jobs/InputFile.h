#pragma once

// What a file handed to the importer is: a text to load, an import database of this program whose songs or
// chord list load for editing, a handheld database to extract, or something that is no song at all.

#include "jobs/Charset.h"
#include "jobs/Intake.h"
#include "pdb/PalmDatabase.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// True for bytes that are no text: a Palm database, or anything holding a NUL byte in its first 4 KiB,
// except UTF-16 text after its byte-order mark.
bool IsNotTextContent(std::string_view bytes);

// "<name> is not a song or text file".
std::string NotASongMessage(std::string_view name);

// The loaded text of a song record as Export writes it: the text up to its NUL, every LF as CR LF.
std::string LoadedTextOfSongRecord(const CPdbRecord& record);
// The loaded texts of a song or chord import database (or of the handheld's): one per song, markers left out;
// for chords, one chord-list text with a definition line per chord record. Saving these texts again gives
// the same records.
std::vector<std::string> LoadedTextsOfDatabase(const CPalmDatabase& database);

enum class InputKind
{
    Texts,         // `texts` to load: the file's text, or the songs or chord list of an import database
    SongDatabase,  // the handheld's song database (named *.pdb): its songs are extracted
    ChordDatabase, // the handheld's chord database (named *.pdb): its chords are extracted
    NotText,       // a Palm database of another kind or program, or a binary file
    Unreadable,    // missing, not a regular file, too large, or failing to read; `error` says why
};

struct InputFile
{
    InputKind kind = InputKind::Unreadable;
    std::vector<std::string> texts;
    std::optional<CPalmDatabase> database; // for SongDatabase and ChordDatabase
    bool emptyFile = false;                // a text file of no bytes, loaded as one empty text
    ReplacedCharacters replaced;           // for a text file: the characters that became "?" in decoding
    std::string error; // for Unreadable: "Can't read file <path>: <cause>"; for NotText: NotASongMessage(path)
};
// Reads and sorts out one dropped or named file. A name ending in .pdb is read as a database first (only as
// far as its records reach); any other file is read as a text file (at most MAX_TEXT_FILE_SIZE bytes), and
// is a database only when its bytes are one.
InputFile ReadInputFile(const std::filesystem::path& path, TextConversion conversion = TextConversion::Strict);
