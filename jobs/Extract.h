#pragma once

#include "pdb/PalmDatabase.h"

#include <filesystem>
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
// Writes one chord-definition line per chord record of `database` (UTF-8, CR LF line ends) to `textPath`.
ChordTextResult ExportChordsToText(const CPalmDatabase& database, const std::filesystem::path& textPath);

struct ExtractResult
{
    int written = 0;                 // .pro files written
    std::vector<std::string> failed; // display names (UTF-8) of songs that could not be written
    std::vector<std::string> files;  // full paths (UTF-8) written, in record order
};
// Writes one "<display name>.pro" per song of `database` (UTF-8, CR LF line ends) into `folder`, creating
// the folder when missing; an empty folder means the current one. A name already written by this
// extraction gets " (2)", " (3)", ... before ".pro"; files that were in the folder before are replaced.
ExtractResult ExtractSongs(const CPalmDatabase& database, const std::filesystem::path& folder);
