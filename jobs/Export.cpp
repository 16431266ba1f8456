#include "jobs/Export.h"

#include "jobs/FileChecks.h"
#include "jobs/Intake.h"
#include "jobs/Messages.h"
#include "pdb/AtomicFile.h"
#include "pdb/FileIo.h"
#include "text/Ascii.h"
#include "text/RecordFormat.h"
#include "text/Scan.h"

#include <algorithm>
#include <utility>

namespace {

CPalmDatabase
NewImportDatabase(const char* baseName, std::uint32_t type, IPlatform& platform, const ExportOptions& options)
{
    std::string name = options.name ? *options.name : MakeDatabaseName(baseName, platform.Random());
    return CPalmDatabase(std::move(name), TUNELORE_CREATOR, type, false, platform.Now());
}

constexpr const char* SONG_NAME_BASE = "TuneloreDB";
constexpr const char* CHORD_NAME_BASE = "TuneloreChordDB";

CPalmDatabase NewSongDatabase(IPlatform& platform, const ExportOptions& options)
{
    return NewImportDatabase(SONG_NAME_BASE, SONG_IMPORT_TYPE, platform, options);
}

void AddSongRecord(CPalmDatabase& database, std::string_view loadedText)
{
    CPdbRecord record;
    record.SetData(MakeSongRecord(loadedText));
    database.AddRecord(std::move(record));
}

} // namespace

std::optional<std::string> DrawnNameBase(std::string_view name)
{
    for (const std::string_view base : {SONG_NAME_BASE, CHORD_NAME_BASE}) {
        const std::string_view number = name.substr(std::min(base.size(), name.size()));
        if (name.starts_with(base) && !number.empty() && number.size() <= 5 &&
            std::all_of(number.begin(), number.end(), IsAsciiDigit)) {
            return std::string(base);
        }
    }
    return std::nullopt;
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
    CPalmDatabase database = NewImportDatabase(CHORD_NAME_BASE, CHORD_IMPORT_TYPE, platform, options);
    std::string_view rest = chordText;
    while (!rest.empty()) {
        std::optional<std::vector<std::uint8_t>> chord = MakeChordRecord(PopLine(rest));
        if (!chord) {
            continue; // not a chord definition: no record
        }
        CPdbRecord record;
        record.SetData(std::move(*chord));
        database.AddRecord(std::move(record));
    }
    return database;
}

CImportDatabaseBuilder::CImportDatabaseBuilder(IPlatform& platform, ExportOptions options)
    : m_platform(platform)
    , m_options(std::move(options))
{}

void CImportDatabaseBuilder::Add(std::string_view loadedText)
{
    if (!m_database) {
        m_chordMode = m_options.chordList ? *m_options.chordList : IsChordModeText(loadedText);
        m_database = m_chordMode ? BuildChordDatabase(loadedText, m_platform, m_options)
                                 : NewSongDatabase(m_platform, m_options);
        if (m_chordMode) {
            return;
        }
    }
    if (m_chordMode) {
        ++m_ignored;
        return;
    }
    AddSongRecord(*m_database, loadedText);
}

CPalmDatabase& CImportDatabaseBuilder::Database()
{
    if (!m_database) {
        m_database = NewSongDatabase(m_platform, m_options);
    }
    return *m_database;
}

Result<std::string> SaveDatabase(CPalmDatabase& database, const std::filesystem::path& path)
{
    std::string written = Utf8FromPath(path);
    // Too many records is no fault of the disk: said before anything is written.
    const std::string countCause = RecordCountCause(database.Records().size(), database.m_type == CHORD_IMPORT_TYPE);
    if (!countCause.empty()) {
        return MakeError(ErrorKind::TooLarge, messages::CantWriteFile(written, countCause));
    }
    if (const Status saved = database.Write(path); !saved) {
        return MakeError(ErrorKind::System, messages::CantWriteFile(written, saved.error().text));
    }
    return written;
}

CPalmDatabase
BuildImportDatabase(const std::vector<LoadedText>& loadedTexts, IPlatform& platform, const ExportOptions& options)
{
    CImportDatabaseBuilder builder(platform, options);
    for (const LoadedText& loaded : loadedTexts) {
        builder.Add(loaded.text);
        if (builder.ChordMode()) {
            break;
        }
    }
    return std::move(builder.Database());
}

Result<std::string> ExportLoadedTexts(const std::vector<LoadedText>& loadedTexts,
                                      const std::filesystem::path& path,
                                      IPlatform& platform,
                                      const ExportOptions& options)
{
    CPalmDatabase database = BuildImportDatabase(loadedTexts, platform, options);
    return SaveDatabase(database, path);
}
