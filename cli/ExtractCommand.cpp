#include "cli/Commands.h"
#include "cli/Console.h"
#include "jobs/Charset.h"
#include "jobs/Extract.h"
#include "jobs/FileChecks.h"
#include "jobs/FileNames.h"
#include "jobs/InputFile.h"
#include "jobs/Messages.h"
#include "jobs/TuneloreDatabase.h"
#include "pdb/FileIo.h"
#include "text/ChordDefinition.h"
#include "text/RecordFormat.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

namespace {
// Why a readable database is neither a song nor a chord database, in one line.
std::string DescribeOtherDatabase(const std::string& path, const CPalmDatabase& database)
{
    return path + " is a database of type " + PrintableCode(database.m_type) + " and creator " +
           PrintableCode(database.m_creator) + ", not a song (SONG, SONM) or chord (CHRD, CHRM) database of TuNe";
}

// The command line's answer for a file that holds another text: replace it, or with --keep-existing keep it.
ExistingFilePolicy ExistingFiles(bool keepExisting)
{
    return [keepExisting](const std::filesystem::path&) {
        return keepExisting ? ExistingFileChoice::KeepBoth : ExistingFileChoice::Replace;
    };
}

int ExtractSongDatabase(const CPalmDatabase& database, const std::string& folder, bool keepExisting)
{
    // Made here, also for a database without songs, and reported once rather than as every song failing.
    const std::filesystem::path folderPath = PathFromUtf8(folder);
    std::error_code error;
    // A file named where the folder should be: say what the songs need rather than the system's "Not a directory".
    if (std::filesystem::exists(folderPath, error) && !std::filesystem::is_directory(folderPath, error)) {
        PrintError(folder + " is a file: the songs of a song database go into a folder, one .pro file each");
        return EXIT_STATUS_FAILED;
    }
    std::filesystem::create_directories(folderPath, error);
    if (error || !std::filesystem::is_directory(folderPath, error)) {
        PrintError("Can't create folder " + folder + (error ? ": " + error.message() : std::string()));
        return EXIT_STATUS_FAILED;
    }
    const ExtractResult result = ExtractSongs(database, folderPath, ExistingFiles(keepExisting));
    for (const std::string& replaced : result.replaced) {
        const bool link = std::find(result.links.begin(), result.links.end(), replaced) != result.links.end();
        PrintError("note: replaced " + replaced +
                   (link ? ", which was a link (what it led to is untouched)" : ", which held a different text"));
    }
    for (const std::string& failure : result.errors)
        PrintError(failure);
    // Files that already held their song were not written: counted apart, so that a second extraction into
    // the same folder does not claim to have written them again.
    const auto unchanged = static_cast<std::size_t>(result.unchanged);
    std::cout << "Wrote " << CountOf(static_cast<std::size_t>(result.written) - unchanged, "song", "songs") << " to "
              << EscapeControls(folder);
    if (unchanged > 0)
        std::cout << "; " << CountOf(unchanged, "song was", "songs were") << " already there, left as "
                  << (unchanged == 1 ? "it was" : "they were");
    std::cout << '\n';
    if (result.failed.empty())
        return EXIT_STATUS_OK;
    std::string names;
    for (const std::string& name : result.failed)
        names += (names.empty() ? "\"" : ", \"") + EscapeControls(name) + "\"";
    PrintError("Can't write " + CountOf(result.failed.size(), "song", "songs") + ": " + names);
    return EXIT_STATUS_FAILED;
}

// True when a chord list may take the place of the file at `path`: it holds a chord list (its first line a chord
// definition, so that a list of one chord counts), nothing but blanks, or could not be read (the write then
// says why). A song, a songbook and anything that is no text would be lost under the chords.
bool MayTakeChordList(const std::filesystem::path& path)
{
    const InputFile input = ReadInputFile(path);
    if (input.kind == InputKind::Unreadable) {
        return true;
    }
    if (input.kind != InputKind::Texts || input.texts.size() != 1) {
        return false;
    }
    const std::string& text = input.texts.front().text;
    return input.emptyFile || input.blankFile ||
           IsChordDefinitionLine(std::string_view(text).substr(0, text.find('\r')));
}

int ExtractChordDatabase(const CPalmDatabase& database,
                         const std::string& databasePath,
                         const std::string& target,
                         bool keepExisting)
{
    // Into a folder, as the songs go: a list named after the database, as extract --hotsync writes it. A name
    // ending in a separator is a folder too, made when missing, as a song database's folder is.
    std::error_code error;
    const bool namesFolder =
        !target.empty() &&
        (target.back() == '/' || target.back() == static_cast<char>(std::filesystem::path::preferred_separator));
    if (namesFolder) {
        std::filesystem::create_directories(PathFromUtf8(target), error);
    }
    const bool intoFolder = std::filesystem::is_directory(PathFromUtf8(target), error);
    if (namesFolder && !intoFolder) {
        PrintError("Can't create folder " + target + (error ? ": " + error.message() : std::string()));
        return EXIT_STATUS_FAILED;
    }
    const std::string textPath =
        intoFolder ? Utf8FromPath(PathFromUtf8(target) / PathFromUtf8(ChordListFileName(database.m_name))) : target;
    // The database's own file as the text target would be lost.
    if (IsSameFile(PathFromUtf8(textPath), PathFromUtf8(databasePath))) {
        PrintError(messages::SameFileAsInput(PathFromUtf8(textPath), PathFromUtf8(databasePath)));
        return EXIT_STATUS_FAILED;
    }
    bool refused = false;
    const ChordTextResult result =
        ExportChordsToText(database, PathFromUtf8(textPath), ChordListPolicy(keepExisting, intoFolder, &refused));
    if (refused) {
        PrintError(textPath +
                   " is not a chord list, and writing the chords there would replace what it holds; nothing was "
                   "written (name a new file, or a folder for a list named after the database)");
        return EXIT_STATUS_FAILED;
    }
    if (!result.written) {
        PrintError(result.error);
        return EXIT_STATUS_FAILED;
    }
    if (result.replaced)
        PrintError("note: replaced " + result.path + ", which held a different text");
    // A chord name the handheld kept with a blank in it makes a line that no longer reads as a chord
    // definition, so the written list would not come back as a chord list: say so, naming the first.
    std::size_t unreadable = 0;
    std::string first;
    for (const CPdbRecord& record : database.Records()) {
        const std::optional<std::string> line = ChordLineOfRecord(record.Data());
        if (line && !IsChordDefinitionLine(*line) && unreadable++ == 0)
            first = *line;
    }
    if (unreadable > 0)
        PrintWarning(result.path,
                     CountOf(unreadable, "chord line does", "chord lines do") +
                         " not read back as a chord definition (a name with a blank); the first is \"" +
                         EscapeControls(Cp1252ToUtf8(first)) + "\"");
    // A list that already held these chords was left alone, and is not said to have been written.
    if (result.unchanged)
        std::cout << EscapeControls(result.path) << " already held the "
                  << CountOf(static_cast<std::size_t>(result.chords), "chord", "chords") << ", left as it was";
    else
        std::cout << "Wrote " << CountOf(static_cast<std::size_t>(result.chords), "chord", "chords") << " to "
                  << EscapeControls(result.path);
    if (result.skipped > 0)
        std::cout << "; skipped " << CountOf(static_cast<std::size_t>(result.skipped), "record", "records")
                  << " too short to hold a chord";
    std::cout << '\n';
    return EXIT_STATUS_OK;
}
} // namespace

ExistingFilePolicy ChordListPolicy(bool keepExisting, bool intoFolder, bool* refused)
{
    return [=](const std::filesystem::path& file) {
        if (!MayTakeChordList(file)) {
            // A song in the way is never replaced: the file named is refused, the one a folder holds keeps its
            // name and the chords go under the next numbered one.
            if (refused != nullptr) {
                *refused = !intoFolder;
            }
            return intoFolder ? ExistingFileChoice::KeepBoth : ExistingFileChoice::Cancel;
        }
        return keepExisting ? ExistingFileChoice::KeepBoth : ExistingFileChoice::Replace;
    };
}

int RunExtract(const std::string& databasePath, const std::string& destination, bool keepExisting)
{
    const DatabaseFile file = ReadDatabaseFile(PathFromUtf8(databasePath));
    if (!file.database) {
        PrintError(file.refusal);
        return EXIT_STATUS_FAILED;
    }
    const bool songs = HoldsSongs(file.kind);
    if (!songs && !HoldsChords(file.kind)) {
        PrintError(DescribeOtherDatabase(databasePath, *file.database));
        return EXIT_STATUS_FAILED;
    }
    if (!HasPdbSuffix(databasePath)) {
        PrintError(databasePath + " is a " + (songs ? "song" : "chord") +
                   " database, but only a file whose name ends in .pdb is extracted");
        return EXIT_STATUS_FAILED;
    }
    return songs ? ExtractSongDatabase(*file.database, destination, keepExisting)
                 : ExtractChordDatabase(*file.database, databasePath, destination, keepExisting);
}
