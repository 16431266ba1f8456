#include "jobs/Export.h"

#include "jobs/Extract.h"
#include "text/ChordDefinition.h"
#include "text/Scan.h"

#include <utility>

namespace {

std::string CantWrite(const std::string& path)
{
    return "Can't write file " + path;
}

CPalmDatabase
NewImportDatabase(const char* baseName, std::uint32_t type, IPlatform& platform, const ExportOptions& options)
{
    std::string name = options.name ? *options.name : MakeDatabaseName(baseName);
    return CPalmDatabase(std::move(name), TUNELORE_CREATOR, type, false, platform.Now());
}

} // namespace

std::vector<std::uint8_t> MakeSongRecord(std::string_view loadedText)
{
    // Every line end PopLine knows (CR LF, CR, LF) becomes one LF, and the last line gets one too.
    std::vector<std::uint8_t> record;
    record.reserve(loadedText.size() + 2);
    std::string_view rest = loadedText;
    while (!rest.empty()) {
        const std::string_view line = PopLine(rest);
        record.insert(record.end(), line.begin(), line.end());
        record.push_back('\n');
    }
    // The handheld keeps at most 7999 characters; the cut may fall inside a line.
    if (record.size() > SONG_MAX_TEXT) {
        record.resize(SONG_MAX_TEXT);
    }
    record.push_back('\0');
    return record;
}

CPalmDatabase NewSongDatabase(IPlatform& platform, const ExportOptions& options)
{
    return NewImportDatabase("TuneloreDB", SONG_IMPORT_TYPE, platform, options);
}

void AddSongRecord(CPalmDatabase& database, std::string_view loadedText)
{
    CPdbRecord record;
    record.SetData(MakeSongRecord(loadedText));
    database.AddRecord(std::move(record));
}

CPalmDatabase
BuildSongDatabase(const std::vector<std::string>& songs, IPlatform& platform, const ExportOptions& options)
{
    CPalmDatabase database = NewSongDatabase(platform, options);
    for (const std::string& song : songs) {
        AddSongRecord(database, song);
    }
    return database;
}

CPalmDatabase BuildChordDatabase(std::string_view chordText, IPlatform& platform, const ExportOptions& options)
{
    CPalmDatabase database = NewImportDatabase("TuneloreChordDB", CHORD_IMPORT_TYPE, platform, options);
    std::string_view rest = chordText;
    while (!rest.empty()) {
        const std::string_view line = PopLine(rest);
        ChordRecord chord;
        if (!ParseChordDefinition(line, chord)) {
            continue; // not a chord definition: no record, no notice
        }
        CPdbRecord record;
        record.SetData(chord.StoredBytes());
        database.AddRecord(record);
    }
    return database;
}

ExportResult SaveOrInstallDatabase(CPalmDatabase& database, const std::string& path, IPlatform& platform)
{
    ExportResult result;
    if (!path.empty()) {
        result.path = path;
        result.written = database.WriteToFile(path) == 0;
        if (!result.written) {
            result.error = CantWrite(path);
        }
        return result;
    }

    const std::string folder = WithTrailingSeparator(platform.TempFolder());
    if (folder.empty()) {
        result.error = "No temporary folder to install the database from";
        return result;
    }
    // The database name is the file name; a name given by the caller must not lead out of the folder.
    result.path = folder + SafeSongFileName(database.GetName()) + ".pdb";
    result.written = database.WriteToFile(result.path) == 0;
    if (!result.written) {
        result.error = CantWrite(result.path);
        return result; // nothing to open
    }

    const IPlatform::OpenResult opened = platform.OpenWithDefaultApplication(result.path);
    result.openRequested = opened.ok;
    if (!opened.ok) {
        result.error = "The database was written to " + result.path + " but could not be opened" +
                       (opened.error.empty() ? std::string() : ": " + opened.error);
    }
    return result;
}

ExportResult ExportSongDatabase(const std::vector<std::string>& songs,
                                const std::string& path,
                                IPlatform& platform,
                                const ExportOptions& options)
{
    CPalmDatabase database = BuildSongDatabase(songs, platform, options);
    return SaveOrInstallDatabase(database, path, platform);
}

ExportResult ExportChordDatabase(std::string_view chordText,
                                 const std::string& path,
                                 IPlatform& platform,
                                 const ExportOptions& options)
{
    CPalmDatabase database = BuildChordDatabase(chordText, platform, options);
    return SaveOrInstallDatabase(database, path, platform);
}
