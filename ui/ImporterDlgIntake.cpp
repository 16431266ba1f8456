// How files get into the main window: dropped on it, picked in the open dialog, or named on the command
// line. Handheld databases among them are extracted at once; everything else becomes a loaded text.

#include "jobs/Extract.h"
#include "jobs/Intake.h"
#include "jobs/TuneloreDatabase.h"
#include "ui/ImporterDlg.h"
#include "ui/QtText.h"

#include "res/Resource.h"

void CImporterDlg::OnDropFilesButton()
{
    CommitEditedSong();
    StartDialogIn("folders/open");
    const std::optional<QStringList> paths = m_desktop.AskOpenFileNames(this, FromUtf8(res::OPEN_FILTER));
    if (!paths) {
        return;
    }
    if (!paths->isEmpty()) {
        RememberDialogFolder("folders/open", paths->front(), false);
    }
    CWaitCursor wait(m_desktop);
    LoadInputFiles(*paths);
}

void CImporterDlg::OnDropFiles(const QStringList& paths)
{
    CommitEditedSong();
    CWaitCursor wait(m_desktop);
    LoadInputFiles(paths);
}

std::optional<QString> CImporterDlg::BrowseForFolder()
{
    StartDialogIn("folders/extract");
    std::optional<QString> folder = m_desktop.AskFolder(this, FromUtf8(LoadResString(IDS_EXTRACT_FOLDER_TITLE)));
    if (folder) {
        RememberDialogFolder("folders/extract", *folder, true);
    }
    return folder;
}

void CImporterDlg::LoadInputFiles(const QStringList& paths)
{
    for (const QString& path : paths) {
        const std::filesystem::path file = ToPath(path);
        // A file is opened as a database only when its name says so; it is read once and the kind decides.
        std::optional<DatabaseFile> database;
        if (HasPdbSuffix(path.toStdString())) {
            database = ReadDatabaseFile(file);
        }
        const DatabaseKind kind = database ? database->kind : DatabaseKind::NotPalmDatabase;
        if (kind == DatabaseKind::ChordDatabase) {
            ExtractChords(*database->database);
            continue;
        }
        if (kind == DatabaseKind::SongDatabase) {
            ExtractSongDatabase(*database->database);
            continue;
        }
        // Any other file is a text; one that cannot be read is skipped without a message.
        if (TextLoadResult loaded = LoadTextFile(file); loaded.text) {
            m_replaced.resize(m_loadedTexts.size());
            m_replaced.push_back(std::move(loaded.replaced));
            m_loadedTexts.push_back(std::move(*loaded.text));
        }
    }
    RefreshSongList();
}

void CImporterDlg::ExtractChords(const CPalmDatabase& database)
{
    StartDialogIn("folders/chords");
    const std::optional<QString> target =
        m_desktop.AskSaveFileName(this, FromUtf8(res::TEXT_FILTER), FromUtf8(res::TEXT_EXTENSION));
    if (!target) {
        return;
    }
    RememberDialogFolder("folders/chords", *target, false);
    const ChordTextResult result = ExportChordsToText(database, ToPath(*target));
    if (!result.written) {
        ShowError(FromUtf8(result.error));
        return;
    }
    m_desktop.ShowMessage(
        this, FormatString(LoadResString(IDS_CHORDS_EXTRACTED), *target), IDesktop::MessageIcon::None);
}

void CImporterDlg::ExtractSongDatabase(const CPalmDatabase& database)
{
    const std::optional<QString> folder = BrowseForFolder();
    if (!folder) {
        return;
    }
    const ExtractResult result = ExtractSongs(database, ToPath(*folder));
    QString text = FormatString(LoadResString(IDS_SONGS_EXTRACTED), *folder) + QLatin1Char('\n') +
                   (result.written == 1 ? FromUtf8(res::ONE_SONG_WRITTEN)
                                        : FormatNumber(res::SONGS_WRITTEN, result.written));
    if (!result.failed.empty()) {
        text += QLatin1Char('\n') + FromUtf8(res::SONGS_NOT_WRITTEN);
        for (const std::string& name : result.failed) {
            text += QLatin1Char('\n') + FromUtf8(name);
        }
    }
    m_desktop.ShowMessage(
        this, text, result.failed.empty() ? IDesktop::MessageIcon::None : IDesktop::MessageIcon::Warning);
}
