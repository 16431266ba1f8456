#pragma once

#include "jobs/Platform.h"
#include "pdb/PalmDatabase.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::uint32_t TUNELORE_CREATOR = MakeFourCC("TuNe");
inline constexpr std::uint32_t SONG_IMPORT_TYPE = MakeFourCC("SONM");
inline constexpr std::uint32_t CHORD_IMPORT_TYPE = MakeFourCC("CHRM");
inline constexpr std::uint32_t SONG_DB_TYPE = MakeFourCC("SONG");
inline constexpr std::uint32_t CHORD_DB_TYPE = MakeFourCC("CHRD");
inline constexpr std::size_t SONG_MAX_TEXT = 7999; // characters of a song record before its NUL

// Choices the caller may make for an export.
struct ExportOptions
{
    std::optional<std::string> name; // replaces the random database name
};

// What an export or install did.
struct ExportResult
{
    bool written = false;       // the database file was written completely
    bool openRequested = false; // install only: the desktop accepted the open request
    std::string path;           // where the database was (or was to be) written
    std::string error;          // for a failure: what went wrong
    bool ok(bool install) const { return written && (!install || openRequested); }
};

// The record bytes of one song: lines re-joined with LF, cut to 7999 characters, then a NUL.
std::vector<std::uint8_t> MakeSongRecord(std::string_view loadedText);

// An empty song import database, to which AddSongRecord appends one song at a time.
CPalmDatabase NewSongDatabase(IPlatform& platform, const ExportOptions& = {});
// Appends the record of one loaded text (MakeSongRecord) to a song import database.
void AddSongRecord(CPalmDatabase& database, std::string_view loadedText);

// The song import database for the loaded texts (one record each, in order).
CPalmDatabase BuildSongDatabase(const std::vector<std::string>& songs, IPlatform& platform, const ExportOptions& = {});
// The chord import database for one chord-definition text (one record per accepted line).
CPalmDatabase BuildChordDatabase(std::string_view chordText, IPlatform& platform, const ExportOptions& = {});

// Writes the database to `path`, or, for an empty path, to "<name>.pdb" in the temporary folder and asks the
// desktop to open it.
ExportResult SaveOrInstallDatabase(CPalmDatabase& database, const std::string& path, IPlatform& platform);

ExportResult ExportSongDatabase(const std::vector<std::string>& songs,
                                const std::string& path,
                                IPlatform& platform,
                                const ExportOptions& = {});
ExportResult ExportChordDatabase(std::string_view chordText,
                                 const std::string& path,
                                 IPlatform& platform,
                                 const ExportOptions& = {});
