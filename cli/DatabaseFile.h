#pragma once

#include "pdb/PalmDatabase.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A database file as the commands look at it: the parsed database and the file's bytes.
struct CDatabaseFile
{
    CPalmDatabase database;
    std::vector<std::uint8_t> bytes;

    // Each record's data offset as its list entry gives it. A file may hold an app info block or any other
    // gap between the list and the first record, so the offsets cannot be recomputed from the lengths.
    std::vector<std::uint32_t> RecordOffsets() const;
};

// Reads and parses `path`; on failure nullopt and a one-line `error` ("Can't read file ...", or why the file
// is not a Palm database).
std::optional<CDatabaseFile> LoadDatabaseFile(const std::string& path, std::string& error);

// True for a database whose records hold songs (creator TuNe, type SONG or SONM).
bool HoldsSongs(const CPalmDatabase& database);
// True for a database whose records hold chords (creator TuNe, type CHRD or CHRM).
bool HoldsChords(const CPalmDatabase& database);
