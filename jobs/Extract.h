#pragma once

#include "pdb/PalmDatabase.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What to do with a file already in the folder that holds a different text.
enum class ExistingFileChoice
{
    Replace,  // write over it
    KeepBoth, // leave it, and write under the first free numbered name: " (2)", " (3)", ...
    Cancel,   // write nothing more
};
// Asked with the path of such a file; an empty function replaces every one.
using ExistingFilePolicy = std::function<ExistingFileChoice(const std::filesystem::path& existing)>;

struct ChordTextResult
{
    bool written = false;   // the chords are in `path` (written now, or already there)
    bool unchanged = false; // `path` already held exactly these chords and was left alone
    bool replaced = false;  // `path` held a different text, which the chords replaced
    bool cancelled = false; // the choice for the existing file stopped the extraction
    int chords = 0;         // lines written
    int skipped = 0;        // records too short to hold a chord
    std::string path;       // the file that holds the chords (UTF-8): the one asked for, or a numbered one
    std::string error;      // for a failure: "Can't write file ..." and the cause
};
// Writes one chord-definition line per chord record of `database` (UTF-8, CR LF line ends) to `textPath`,
// following a link there. A file that already holds these lines is left alone; one holding anything else is
// handled as `existing` decides, a kept one leaving the chords to "<stem> (2)<extension>", "(3)", ...
ChordTextResult ExportChordsToText(const CPalmDatabase& database,
                                   const std::filesystem::path& textPath,
                                   const ExistingFilePolicy& existing = {});

struct ExtractResult
{
    int written = 0;                   // songs whose .pro file now holds them (files.size())
    int unchanged = 0;                 // of these, files that already held exactly the song and were left alone
    std::vector<std::string> failed;   // display names (UTF-8) of songs that could not be written
    std::vector<std::string> errors;   // for each of these: "Can't write file <path>: <the system's cause>"
    std::vector<std::string> files;    // full paths (UTF-8) of the songs' files, in record order
    std::vector<std::string> replaced; // full paths (UTF-8) of files that held a different text and were replaced
    std::vector<std::string> links;    // of these, the ones that were links: the link went, its target is untouched
    bool cancelled = false;            // the choice for an existing file stopped the extraction
};

// Writes one "<display name>.pro" per song of `database` (UTF-8, CR LF line ends) into `folder`, creating
// the folder when missing; an empty folder means the current one. Names are compared with letters folded to
// one case, also against the files already in the folder: a name already written by this extraction or kept
// gets " (2)", " (3)", ... before ".pro", and a file differing from a song's name only in case is that song's
// file. A file in the folder that already holds the song is left alone; one holding anything else, and a
// symbolic link, is handled as `existing` decides. A link is never followed: replacing it replaces the link
// itself, so nothing outside the folder is written. A folder or other entry in the way makes that song fail.
ExtractResult ExtractSongs(const CPalmDatabase& database,
                           const std::filesystem::path& folder,
                           const ExistingFilePolicy& existing = {});
