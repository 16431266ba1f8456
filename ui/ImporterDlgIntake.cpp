// How files get into the main window: dropped on it, picked in the open dialog, or named on the command
// line. Handheld databases among them are extracted at once; import databases of this program load their
// songs or chord list; text files become loaded texts; anything else is named in one message.

#include "jobs/Extract.h"
#include "jobs/FileChecks.h"
#include "jobs/InputFile.h"
#include "pdb/FileIo.h"
#include "ui/ImporterDlg.h"
#include "ui/QtText.h"

#include "res/Resource.h"

void CImporterDlg::OnDropFilesButton()
{
    CommitEditedSong();
    StartDialogIn(Setting::OpenFolder);
    const std::optional<QStringList> paths = m_desktop.AskOpenFileNames(this, FromUtf8(res::OPEN_FILTER));
    if (!paths) {
        return;
    }
    if (!paths->isEmpty()) {
        RememberDialogFolder(Setting::OpenFolder, paths->front(), false);
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
    StartDialogIn(Setting::ExtractFolder);
    std::optional<QString> folder = m_desktop.AskFolder(this, FromUtf8(res::EXTRACT_FOLDER_TITLE));
    if (folder) {
        RememberDialogFolder(Setting::ExtractFolder, *folder, true);
    }
    return folder;
}

void CImporterDlg::LoadInputFiles(const QStringList& paths)
{
    QStringList notSongs;
    for (const QString& path : paths) {
        InputFile input = ReadInputFile(ToPath(path), m_textConversion);
        switch (input.kind) {
        case InputKind::ChordDatabase:
            ExtractChords(*input.database, path);
            break;
        case InputKind::SongDatabase:
            ExtractSongDatabase(*input.database);
            break;
        case InputKind::Texts:
            for (std::string& text : input.texts) {
                m_songs.Append({std::move(text), std::move(input.replaced)}); // a text file's one text holds them all
                input.replaced = {};
            }
            break;
        case InputKind::NotText:
            notSongs.append(FromUtf8(Utf8FromPath(ToPath(path).filename())) + FromUtf8(res::NOT_A_SONG_FILE));
            break;
        case InputKind::Unreadable:
            break; // skipped without a message
        }
    }
    RefreshSongList();
    // Every file that is no song in one message, after the files that were taken.
    if (!notSongs.isEmpty()) {
        m_desktop.ShowMessage(this, notSongs.join(QLatin1Char('\n')), IDesktop::MessageIcon::Warning);
    }
}

void CImporterDlg::ExtractChords(const CPalmDatabase& database, const QString& source)
{
    StartDialogIn(Setting::ChordsFolder);
    const std::optional<QString> target =
        m_desktop.AskSaveFileName(this, FromUtf8(res::TEXT_FILTER), FromUtf8(res::TEXT_EXTENSION));
    if (!target) {
        return;
    }
    RememberDialogFolder(Setting::ChordsFolder, *target, false);
    // Writing the chords over the database they come from would lose it.
    if (!source.isEmpty() && IsSameFile(ToPath(*target), ToPath(source))) {
        ShowError(FromUtf8(SameFileMessage(ToPath(*target), ToPath(source))));
        return;
    }
    const ChordTextResult result = ExportChordsToText(database, ToPath(*target));
    if (!result.written) {
        ShowError(FromUtf8(result.error));
        return;
    }
    m_desktop.ShowMessage(this, FormatString(res::CHORDS_EXTRACTED, *target), IDesktop::MessageIcon::None);
}

void CImporterDlg::ExtractSongDatabase(const CPalmDatabase& database)
{
    const std::optional<QString> folder = BrowseForFolder();
    if (!folder) {
        return;
    }
    // A song file that holds another text, perhaps edited since an earlier extraction, is the user's to decide.
    const ExtractResult result = ExtractSongs(database, ToPath(*folder), [this](const std::filesystem::path& file) {
        return m_desktop.AskReplaceFile(this, FormatString(res::REPLACE_SONG_FILE, FromUtf8(Utf8FromPath(file))));
    });
    QString text =
        FormatString(res::SONGS_EXTRACTED, *folder) + QLatin1Char('\n') +
        (result.written == 1 ? FromUtf8(res::ONE_SONG_WRITTEN) : FormatNumber(res::SONGS_WRITTEN, result.written));
    if (!result.failed.empty()) {
        text += QLatin1Char('\n') + FromUtf8(res::SONGS_NOT_WRITTEN);
        for (const std::string& name : result.failed) {
            text += QLatin1Char('\n') + FromUtf8(name);
        }
    }
    m_desktop.ShowMessage(
        this, text, result.failed.empty() ? IDesktop::MessageIcon::None : IDesktop::MessageIcon::Warning);
}
