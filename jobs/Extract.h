#pragma once

#include "pdb/PalmDatabase.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A record of a song database that is not a song: at least 6 bytes, starting FF EE DD 00.
bool IsMarkerRecord(const CPdbRecord& record);

// A song's text: the record's bytes up to the first NUL (all of them when there is none).
std::string_view SongRecordText(const CPdbRecord& record);

struct ChordTextResult
{
    bool written = false; // the text file was written
    int chords = 0;       // lines written
    int skipped = 0;      // records too short to hold a chord
    std::string error;    // for a failure: "Can't write file ..." and the cause
};
// The chord-definition line of a chord record (as FormatChordDefinition), with every control character of the
// name (below 0x20, and 0x7F) as "?", so that a name cannot add lines; nullopt for a record too short.
std::optional<std::string> ChordLineOfRecord(const CPdbRecord& record);

// Writes one chord-definition line per chord record of `database` (UTF-8, CR LF line ends) to `textPath`.
ChordTextResult ExportChordsToText(const CPalmDatabase& database, const std::filesystem::path& textPath);

struct ExtractResult
{
    int written = 0;                   // songs whose .pro file now holds them (files.size())
    int unchanged = 0;                 // of these, files that already held exactly the song and were left alone
    std::vector<std::string> failed;   // display names (UTF-8) of songs that could not be written
    std::vector<std::string> files;    // full paths (UTF-8) of the songs' files, in record order
    std::vector<std::string> replaced; // full paths (UTF-8) of files that held a different text and were replaced
    bool cancelled = false;            // the choice for an existing file stopped the extraction
};

// What to do with a song file already in the folder that holds a different text.
enum class ExistingFileChoice
{
    Replace,  // write the song over it
    KeepBoth, // leave it, and write the song under the first free numbered name: " (2)", " (3)", ...
    Cancel,   // write nothing more
};
// Asked with the path of such a file; an empty function replaces every one.
using ExistingFilePolicy = std::function<ExistingFileChoice(const std::filesystem::path& existing)>;

// Writes one "<display name>.pro" per song of `database` (UTF-8, CR LF line ends) into `folder`, creating
// the folder when missing; an empty folder means the current one. A name already written by this
// extraction gets " (2)", " (3)", ... before ".pro" (names compared with letters folded to one case). A file
// in the folder that already holds the song is left alone; one holding anything else is handled as
// `existing` decides. An entry that is not a regular file (a link, a folder) is replaced when it can be.
ExtractResult ExtractSongs(const CPalmDatabase& database,
                           const std::filesystem::path& folder,
                           const ExistingFilePolicy& existing = {});
