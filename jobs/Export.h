#pragma once

#include "jobs/LoadedText.h"
#include "jobs/TuneloreDatabase.h"
#include "pdb/PalmDatabase.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"
#include "platform/Result.h"

// Choices the caller may make for an export.
struct ExportOptions
{
    std::optional<std::string> name; // replaces the random database name
    // The kind of database when the caller has decided it (the window, from the mode it shows): true for a
    // chord import database of the first text alone, false for a song import database of every text. Without
    // it the first text decides.
    std::optional<bool> chordList = std::nullopt;
};

// The base of a name the export drew ("TuneloreDB" or "TuneloreChordDB" and one to five digits), so that a
// name already in use can be drawn again; nullopt for any other name, which the user chose.
std::optional<std::string> DrawnNameBase(std::string_view name);

// The song import database for the loaded texts (one record each, in order).
CPalmDatabase BuildSongDatabase(const std::vector<std::string>& songs, IPlatform& platform, const ExportOptions& = {});
// The chord import database for one chord-definition text (one record per accepted line).
CPalmDatabase BuildChordDatabase(std::string_view chordText, IPlatform& platform, const ExportOptions& = {});

// Builds the import database for loaded texts as they arrive, one at a time, so a caller reading many files
// holds each text only until it is in its record. The first text decides: when it is a chord list, the
// database is a chord import database made of it alone; otherwise every text becomes a song record. The
// options' chordList, when set, decides instead of the first text.
class CImportDatabaseBuilder
{
public:
    CImportDatabaseBuilder(IPlatform& platform, ExportOptions options = {});

    void Add(std::string_view loadedText);
    bool ChordMode() const { return m_chordMode; }
    // Texts given after a chord list, which the chord database leaves out.
    std::size_t IgnoredTexts() const { return m_ignored; }
    // The database built so far; an empty song import database before the first text.
    CPalmDatabase& Database();

private:
    IPlatform& m_platform;
    ExportOptions m_options;
    std::optional<CPalmDatabase> m_database;
    bool m_chordMode = false;
    std::size_t m_ignored = 0;
};

// Writes the database to `path` (Install is InstallDatabase in jobs/Install.h): the path written (UTF-8), or
// "Can't write file ..." with the cause.
Result<std::string> SaveDatabase(CPalmDatabase& database, const std::filesystem::path& path);

// The import database for loaded texts: a chord import database from the first text when it is a chord list
// (or the options' chordList says so), else a song import database of all texts.
CPalmDatabase
BuildImportDatabase(const std::vector<LoadedText>& loadedTexts, IPlatform& platform, const ExportOptions& options = {});

// The export of the loaded texts (BuildImportDatabase) to `path`, for Save PDB.
Result<std::string> ExportLoadedTexts(const std::vector<LoadedText>& loadedTexts,
                                      const std::filesystem::path& path,
                                      IPlatform& platform,
                                      const ExportOptions& = {});
