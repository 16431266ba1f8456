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
            m_replaced.resize(m_loadedTexts.size());
            for (std::string& text : input.texts) {
                m_loadedTexts.push_back(std::move(text));
                m_replaced.push_back(std::move(input.replaced)); // a text file's one text holds them all
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
    StartDialogIn("folders/chords");
    const std::optional<QString> target =
        m_desktop.AskSaveFileName(this, FromUtf8(res::TEXT_FILTER), FromUtf8(res::TEXT_EXTENSION));
    if (!target) {
        return;
    }
    RememberDialogFolder("folders/chords", *target, false);
    // Writing the chords over the database they come from would lose it.
    if (!source.isEmpty() && IsSameFile(ToPath(*target), ToPath(source))) {
        ShowError(FromUtf8(SameFileMessage(ToPath(*target), ToPath(source))));
        return;
    }
    // A chord list that holds another text, perhaps edited since an earlier extraction, is the user's to decide.
    const ChordTextResult result =
        ExportChordsToText(database, ToPath(*target), [this](const std::filesystem::path& file) {
            return m_desktop.AskReplaceFile(this, FormatString(res::REPLACE_SONG_FILE, FromUtf8(Utf8FromPath(file))));
        });
    if (result.cancelled) {
        return;
    }
    if (!result.written) {
        ShowError(FromUtf8(result.error));
        return;
    }
    m_desktop.ShowMessage(
        this, FormatString(LoadResString(IDS_CHORDS_EXTRACTED), FromUtf8(result.path)), IDesktop::MessageIcon::None);
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
        FormatString(LoadResString(IDS_SONGS_EXTRACTED), *folder) + QLatin1Char('\n') +
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
