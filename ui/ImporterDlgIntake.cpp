// How files get into the main window: dropped on it, picked in the open dialog, or named on the command
// line. Handheld databases among them are extracted at once; everything else becomes a loaded text.

#include "jobs/Extract.h"
#include "jobs/Intake.h"
#include "ui/ImporterDlg.h"
#include "ui/QtText.h"

#include "res/Resource.h"

void CImporterDlg::OnDropFilesButton()
{
    CommitEditedSong();
    const std::optional<QStringList> paths = m_desktop.AskOpenFileNames(this, FromUtf8(res::OPEN_FILTER));
    if (!paths) {
        return;
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
    return m_desktop.AskFolder(this, FromUtf8(LoadResString(IDS_EXTRACT_FOLDER_TITLE)));
}

void CImporterDlg::LoadInputFiles(const QStringList& paths)
{
    for (const QString& path : paths) {
        const std::string file = ToUtf8Path(path);
        if (IsChordDatabaseFile(file)) {
            const std::optional<QString> target =
                m_desktop.AskSaveFileName(this, FromUtf8(res::TEXT_FILTER), FromUtf8(res::TEXT_EXTENSION));
            if (!target) {
                continue;
            }
            const ChordTextResult result = ExportChordsToText(file, ToUtf8Path(*target));
            if (!result.databaseRead) {
                ShowError(FromUtf8(res::CANT_READ_FILE) + path);
            } else if (!result.written) {
                ShowError(FromUtf8(res::CANT_WRITE_FILE) + *target);
            } else {
                m_desktop.ShowMessage(
                    this, FormatString(LoadResString(IDS_CHORDS_EXTRACTED), *target), IDesktop::MessageIcon::None);
            }
            continue;
        }
        if (IsSongDatabaseFile(file)) {
            const std::optional<QString> folder = BrowseForFolder();
            if (!folder) {
                continue;
            }
            const ExtractResult result = ExtractSongs(file, ToUtf8Path(*folder));
            if (!result.databaseRead) {
                ShowError(FromUtf8(res::CANT_READ_FILE) + path);
                continue;
            }
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
            continue;
        }
        // Any other file is a text; one that cannot be read is skipped without a message.
        if (std::optional<std::string> text = LoadTextFile(file)) {
            m_loadedTexts.push_back(std::move(*text));
        }
    }
    RefreshSongList();
}
