#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/DatabaseFile.h"
#include "jobs/Charset.h"
#include "jobs/Export.h"
#include "jobs/Extract.h"

#include <filesystem>
#include <iostream>

namespace {
// Why `path` is neither a song nor a chord database, in one line.
std::string DescribeOtherFile(const std::string& path)
{
    std::string error;
    const std::optional<CDatabaseFile> file = LoadDatabaseFile(path, error);
    if (!file)
        return error;
    const CPalmDatabase& database = file->database;
    const bool extractable =
        database.m_creator == TUNELORE_CREATOR && (database.m_type == SONG_DB_TYPE || database.m_type == CHORD_DB_TYPE);
    if (extractable && !HasPdbExtension(path))
        return path + " is a " + (database.m_type == SONG_DB_TYPE ? "song" : "chord") +
               " database, but only a file whose name ends in .pdb is extracted";
    return path + " is a database of type " + PrintableCode(database.m_type) + " and creator " +
           PrintableCode(database.m_creator) + ", not a song (SONG) or chord (CHRD) database of TuNe";
}

int ExtractSongDatabase(const std::string& databasePath, const std::string& folder)
{
    // Made here, also for a database without songs, and reported once rather than as every song failing.
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder, error)) {
        PrintError("Can't create folder " + folder + (error ? ": " + error.message() : std::string()));
        return EXIT_STATUS_FAILED;
    }
    const ExtractResult result = ExtractSongs(databasePath, folder);
    if (!result.databaseRead) {
        PrintError("Can't read file " + databasePath);
        return EXIT_STATUS_FAILED;
    }
    std::cout << "Wrote " << CountOf(static_cast<std::size_t>(result.written), "song", "songs") << " to " << folder
              << '\n';
    if (result.failed.empty())
        return EXIT_STATUS_OK;
    std::string names;
    for (const std::string& name : result.failed)
        names += (names.empty() ? "\"" : ", \"") + EscapeControls(name) + "\"";
    PrintError("Can't write " + CountOf(result.failed.size(), "song", "songs") + ": " + names);
    return EXIT_STATUS_FAILED;
}

int ExtractChordDatabase(const std::string& databasePath, const std::string& textPath)
{
    const ChordTextResult result = ExportChordsToText(databasePath, textPath);
    if (!result.databaseRead) {
        PrintError("Can't read file " + databasePath);
        return EXIT_STATUS_FAILED;
    }
    if (!result.written) {
        PrintError("Can't write file " + textPath);
        return EXIT_STATUS_FAILED;
    }
    std::cout << "Wrote " << CountOf(static_cast<std::size_t>(result.chords), "chord", "chords") << " to " << textPath;
    if (result.skipped > 0)
        std::cout << "; skipped " << CountOf(static_cast<std::size_t>(result.skipped), "record", "records")
                  << " too short to hold a chord";
    std::cout << '\n';
    return EXIT_STATUS_OK;
}
} // namespace

int RunExtract(const std::string& databasePath, const std::string& destination)
{
    if (IsSongDatabaseFile(databasePath))
        return ExtractSongDatabase(databasePath, destination);
    if (IsChordDatabaseFile(databasePath))
        return ExtractChordDatabase(databasePath, destination);
    PrintError(DescribeOtherFile(databasePath));
    return EXIT_STATUS_FAILED;
}
