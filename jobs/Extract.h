#pragma once

#include "pdb/PdbRecord.h"

#include <string>
#include <string_view>
#include <vector>

// True when `path` ends in ".pdb" (any case) and the file is a database with creator TuNe and type CHRD.
bool IsChordDatabaseFile(const std::string& path);
// Likewise for type SONG.
bool IsSongDatabaseFile(const std::string& path);

// A record of a song database that is not a song: at least 6 bytes, starting FF EE DD 00.
bool IsMarkerRecord(const CPdbRecord& record);

// A song's text: the record's bytes up to the first NUL (all of them when there is none).
std::string_view SongRecordText(const CPdbRecord& record);

// A file name (without ".pro") for a display name: \ / : * ? " < > | and bytes below 0x20 become "_";
// names made only of dots or spaces, and an empty name, become "_" too, so the file stays in its folder.
std::string SafeSongFileName(std::string_view displayName);

struct ChordTextResult
{
    bool databaseRead = false; // false: the database could not be read, nothing was written
    bool written = false;      // the text file was written
    int chords = 0;            // lines written
    int skipped = 0;           // records too short to hold a chord
    std::string error;
};
// Writes one chord-definition line per chord record (UTF-8, CR LF line ends) to `textPath`.
ChordTextResult ExportChordsToText(const std::string& databasePath, const std::string& textPath);

struct ExtractResult
{
    bool databaseRead = false;
    int written = 0;                 // .pro files written
    std::vector<std::string> failed; // display names (UTF-8) of songs that could not be written
    std::vector<std::string> files;  // full paths written, in record order
};
// Writes one "<display name>.pro" per song (UTF-8, CR LF line ends) into `folder`, creating the folder when
// missing. A name already written by this extraction gets " (2)", " (3)", ... before ".pro"; files that were
// in the folder before are replaced.
ExtractResult ExtractSongs(const std::string& databasePath, const std::string& folder);
