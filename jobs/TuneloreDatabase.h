#pragma once

// What a Tunelore database is: the creator and type codes and which kind of database a file holds (the
// records' own format is text/RecordFormat.h). Reading a database file happens here, once per file; export, extraction,
// the command line and the window all work on the result.

#include "pdb/PalmDatabase.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::uint32_t TUNELORE_CREATOR = MakeFourCC("TuNe");
inline constexpr std::uint32_t SONG_IMPORT_TYPE = MakeFourCC("SONM");
inline constexpr std::uint32_t CHORD_IMPORT_TYPE = MakeFourCC("CHRM");
inline constexpr std::uint32_t SONG_DB_TYPE = MakeFourCC("SONG");
inline constexpr std::uint32_t CHORD_DB_TYPE = MakeFourCC("CHRD");

enum class DatabaseKind
{
    SongDatabase,        // the handheld's songs (SONG)
    ChordDatabase,       // the handheld's chords (CHRD)
    SongImportDatabase,  // songs written by this program for import (SONM)
    ChordImportDatabase, // chords written by this program for import (CHRM)
    OtherPalmDatabase,   // a Palm database of another kind or program
    NotPalmDatabase,     // unreadable, or not a well-formed Palm database
};

// The kind of a parsed database, by its creator and type.
DatabaseKind KindOf(const CPalmDatabase& database);
inline bool HoldsSongs(DatabaseKind kind)
{
    return kind == DatabaseKind::SongDatabase || kind == DatabaseKind::SongImportDatabase;
}
inline bool HoldsChords(DatabaseKind kind)
{
    return kind == DatabaseKind::ChordDatabase || kind == DatabaseKind::ChordImportDatabase;
}

struct DatabaseFile
{
    DatabaseKind kind = DatabaseKind::NotPalmDatabase;
    bool opened = false;                   // false: the file could not be opened or read at all
    std::optional<CPalmDatabase> database; // set unless kind is NotPalmDatabase
    std::string refusal;                   // for NotPalmDatabase: why, in one sentence naming the file
};
// Opens and parses `path` once.
DatabaseFile ReadDatabaseFile(const std::filesystem::path& path);
// Reads and parses standard input as ReadDatabaseFile reads a file (no further than its records reach); the
// refusal names it "-".
DatabaseFile ReadStandardInputDatabase();

// True when `path` ends in ".pdb" in any case: only such files are taken for the handheld's databases
// when files are dropped or extracted.
bool HasPdbSuffix(std::string_view path);
