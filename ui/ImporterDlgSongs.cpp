// The main window's song list, editor and commands: the three states (empty, songs, chords) as the song list
// has them, showing and storing back the edited text, removing songs, Save PDB and Quit (Install is in
// ImporterDlgInstall.cpp).

#include "jobs/Export.h"
#include "jobs/LossReport.h"
#include "jobs/Messages.h"
#include "pdb/AtomicFile.h"
#include "pdb/FileIo.h"
#include "text/Ascii.h"
#include "text/RecordFormat.h"
#include "ui/ImporterDlg.h"
#include "ui/QtText.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardPaths>

#include <filesystem>
#include <set>

#include "res/Resource.h"

void CImporterDlg::ShowEditorText(const LoadedText* song)
{
    m_givenText = song != nullptr ? song->text : std::string();
    m_editorText = m_givenText;
    m_edited = false;
    m_showingText = true;
    m_songText->setPlainText(song != nullptr ? SongFileToEditor(SongFileText(*song)) : QString());
    m_songText->document()->setModified(false);
    m_showingText = false;
    // As the editor holds it, so that the same document reached again by editing compares equal.
    m_givenEditorText = m_songText->document()->toRawText();
    m_status->setText(m_statusText);
    m_status->setAccessibleName(m_statusText.isEmpty() ? FromUtf8(res::STATUS_EMPTY_NAME) : m_statusText);
    ShowTextLength();
}

void CImporterDlg::ReadEditorText()
{
    const QString raw = m_songText->document()->toRawText();
    m_edited = raw != m_givenEditorText;
    m_editorText = m_edited ? EditorToLoadedText(raw) : m_givenText;
}

void CImporterDlg::ShowTextLength()
{
    const bool song = !m_songs.Empty() && !m_songs.ChordMode() && m_songText->isEnabled();
    if (!song) {
        m_textLength->clear();
        return;
    }
    const std::size_t length = SongTextLength(m_editorText);
    QString text = QString::number(length) + QStringLiteral(" / ") + QString::number(SONG_MAX_TEXT);
    if (length > SONG_MAX_TEXT) {
        // Where the handheld's cut falls, so the user knows which lines to shorten.
        for (const Loss& loss : TextLosses(LoadedText{m_editorText, {}}, false)) {
            if (loss.kind == LossKind::TextCut) {
                text += QLatin1Char('\n') + FormatNumber(res::TEXT_CUT_AT_LINE, static_cast<long long>(loss.line));
            }
        }
    }
    m_textLength->setText(text);
    // The column is narrow: where the cut falls goes on a line of its own, and the note below moves down.
    const int height = m_status->height() * static_cast<int>(text.count(QLatin1Char('\n')) + 1);
    if (m_textLength->height() != height) {
        m_textLength->resize(m_textLength->width(), height);
        LayoutControls(width(), this->height());
    }
}

QString CImporterDlg::LossList(const std::vector<TextLossReport>& reports) const
{
    constexpr std::size_t MAX_LISTED = 10; // songs named in the message; the rest are counted
    QString text;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        if (i == MAX_LISTED) {
            const auto more = static_cast<long long>(reports.size() - i);
            text += QStringLiteral("\n\n") + FormatNumber(res::LOSS_MORE_SONGS, more);
            break;
        }
        // Each song under its name in the list, as typed; its losses say what the handheld gets instead.
        const LoadedText& loaded = m_songs.Texts()[reports[i].text];
        text += QStringLiteral("\n\n") +
                FromUtf8(m_songs.ChordMode() ? std::string(res::CHORDS_LABEL) : SongDisplayName(loaded)) +
                QLatin1Char(':');
        for (const Loss& loss : reports[i].losses) {
            text += QStringLiteral("\n- ") + FromUtf8(messages::LossDescription(loss));
        }
    }
    return text;
}

bool CImporterDlg::ConfirmLosses()
{
    const std::vector<TextLossReport> reports = m_songs.Losses();
    if (reports.empty()) {
        return true;
    }
    return m_desktop.AskYesNo(
        this, FromUtf8(res::LOSS_QUESTION) + LossList(reports) + QStringLiteral("\n\n") + FromUtf8(res::LOSS_GO_ON));
}

void CImporterDlg::SetDefaultButton(QPushButton* button)
{
    for (QPushButton* candidate : {m_dropFiles, m_install, m_quit, m_savePdb}) {
        candidate->setDefault(candidate == button);
    }
}

void CImporterDlg::RefreshSongList()
{
    m_songs.Refresh();
    ShowSongList();
}

void CImporterDlg::ShowSongList()
{
    {
        const QSignalBlocker blocker(m_titleList);
        m_titleList->clear();
        for (const CSongList::Entry& entry : m_songs.Entries()) {
            m_titleList->addItem(FromUtf8(entry.label));
        }
        m_titleList->setCurrentIndex(m_songs.Current());
    }
    if (m_songs.Empty()) {
        // The default button stays as the last texts left it; the caption is the one of a fresh window.
        m_install->setText(FromUtf8(res::INSTALL_CAPTION));
        m_titleList->setEnabled(false);
        m_songText->setEnabled(false);
        m_savePdb->setEnabled(false);
        m_install->setEnabled(false);
        m_statusText.clear();
        m_shownSongs = false;
        ShowEditorText(nullptr);
        return;
    }
    const auto count = static_cast<long long>(m_songs.Count());
    // A list of songs whose first text is now a chord list (the song before it removed, or edited into chord
    // definitions) exports that list alone: the other texts are said to be left out.
    if (m_songs.ChordMode() && m_shownSongs && count > 1) {
        ShowNote(count == 2 ? FromUtf8(res::NOTE_NOW_CHORDS_ONE) : FormatNumber(res::NOTE_NOW_CHORDS, count - 1));
        m_chordListNoteShown = true;
    } else if (!m_songs.ChordMode() && m_chordListNoteShown) {
        ShowNote({}); // songs again (the removal undone): the note no longer holds
    }
    m_shownSongs = !m_songs.ChordMode();
    if (m_songs.ChordMode()) {
        m_install->setText(FromUtf8(res::INSTALL_CHORDS));
        m_statusText = FormatNumber(res::STATUS_CHORDS, count);
    } else {
        m_install->setText(FromUtf8(count == 1 ? res::INSTALL_SONG : res::INSTALL_SONGS));
        m_statusText = count == 1 ? FromUtf8(res::STATUS_ONE_SONG) : FormatNumber(res::STATUS_SONGS, count);
    }
    m_titleList->setEnabled(!m_songs.ChordMode());
    m_songText->setEnabled(true);
    m_savePdb->setEnabled(true);
    m_install->setEnabled(true);
    SetDefaultButton(m_install);
    ShowEditorText(m_songs.Shown());
}

void CImporterDlg::CommitEditedSong()
{
    ReadEditorText();
    if (m_edited) {
        m_songs.Commit(EditorToSongFile(m_songText->document()->toRawText()));
    }
}

void CImporterDlg::OnSelChangeSongTitle()
{
    CommitEditedSong();
    m_songs.Select(m_titleList->currentIndex());
    ShowEditorText(m_songs.Shown());
}

void CImporterDlg::OnChangeSongText()
{
    ReadEditorText();
    ShowTextLength();
    if (m_songs.Rename(EditorToSongFile(m_songText->document()->toRawText()))) {
        // The entry keeps its position; the list is sorted again by the next refresh.
        const QSignalBlocker blocker(m_titleList);
        m_titleList->setItemText(m_songs.Current(), FromUtf8(m_songs.Entries()[std::size_t(m_songs.Current())].label));
        m_titleList->setCurrentIndex(m_songs.Current());
    }
}

void CImporterDlg::OnRemoveSong()
{
    CommitEditedSong();
    if (m_songs.RemoveShown()) {
        ShowSongList();
    }
}

void CImporterDlg::OnUndoRemove()
{
    CommitEditedSong();
    if (m_songs.UndoRemove()) {
        ShowSongList();
    }
}

void CImporterDlg::OnSavePdb()
{
    if (m_songs.Empty()) {
        return;
    }
    CommitEditedSong();
    if (!ConfirmLosses()) {
        return;
    }
    // Built first, so that the save dialog can suggest the database's own name for its file.
    CPalmDatabase database = BuildImportDatabase(m_songs.Texts(), m_desktop, ShownExport());
    StartDialogIn(Setting::DatabaseFolder, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    const std::optional<QString> path =
        m_desktop.AskSaveFileName(this,
                                  FromUtf8(res::PDB_FILTER),
                                  FromUtf8(res::PDB_EXTENSION),
                                  FromCp1252(database.GetName()) + QStringLiteral(".pdb"));
    if (!path) {
        return;
    }
    RememberDialogFolder(Setting::DatabaseFolder, *path, false);
    const Result<std::string> written = SaveDatabase(database, ToPath(*path));
    if (!written) {
        ShowError(FromUtf8(written.error().text));
        return;
    }
    const bool one = m_songs.Count() == 1 && !m_songs.ChordMode();
    ClearLoadedSongs();
    const QString saved = FormatString(one ? res::SONG_SAVED : res::SONGS_SAVED, FromUtf8(*written));
    ShowNote(saved);
    m_desktop.ShowMessage(this, saved, IDesktop::MessageIcon::None);
}

void CImporterDlg::OnSaveSongAs()
{
    if (m_songs.Shown() == nullptr) {
        return;
    }
    CommitEditedSong();
    StartDialogIn(Setting::SongFolder, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    const QString name = FromUtf8(SongFileName(*m_songs.Shown())) + QStringLiteral(".pro");
    const std::optional<QString> path =
        m_desktop.AskSaveFileName(this, FromUtf8(res::SONG_FILTER), FromUtf8(res::SONG_EXTENSION), name);
    if (!path) {
        return;
    }
    RememberDialogFolder(Setting::SongFolder, *path, false);
    // The whole text as edited, in UTF-8 with CR LF line ends: nothing is cut, as a song file has no limit.
    const Status written = WriteFileAtomically(ToPath(*path), SongFileText(*m_songs.Shown()));
    if (!written) {
        ShowError(FromUtf8(messages::CantWriteFile(path->toStdString(), written.error().text)));
        return;
    }
    ShowNote(FormatString(res::SONG_FILE_SAVED, *path));
}

void CImporterDlg::OnSaveAllSongs()
{
    if (m_songs.Empty()) {
        return;
    }
    CommitEditedSong();
    StartDialogIn(Setting::SongFolder, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    const std::optional<QString> folder = m_desktop.AskFolder(this, FromUtf8(res::SAVE_ALL_FOLDER_TITLE));
    if (!folder) {
        return;
    }
    RememberDialogFolder(Setting::SongFolder, *folder, true);
    // One file per text, named after its title as the list shows it; a name already taken, in the folder or by this
    // save (letters compared in one case), gets " (2)", " (3)", ..., so no file is written over.
    const std::filesystem::path target = ToPath(*folder);
    std::set<std::string> taken;
    std::error_code listError;
    for (const auto& entry : std::filesystem::directory_iterator(target, listError)) {
        taken.insert(AsciiLowerCopy(Utf8FromPath(entry.path().filename())));
    }
    long long saved = 0;
    QStringList failed;
    for (const LoadedText& song : m_songs.Texts()) {
        const std::string base = SongFileName(song);
        std::filesystem::path file;
        for (int number = 1;; ++number) {
            const std::string name = base + (number == 1 ? "" : " (" + std::to_string(number) + ")") + ".pro";
            file = target / PathFromUtf8(name);
            std::error_code error;
            if (taken.insert(AsciiLowerCopy(name)).second &&
                !std::filesystem::exists(std::filesystem::symlink_status(file, error))) {
                break;
            }
        }
        if (WriteFileAtomically(file, SongFileText(song))) {
            ++saved;
        } else {
            failed.append(FromUtf8(Utf8FromPath(file)));
        }
    }
    QString text = FormatNumber(saved == 1 ? res::ONE_SONG_SAVED_IN : res::SONGS_SAVED_IN, saved);
    text = FormatString(text.toStdString(), *folder);
    if (!failed.isEmpty()) {
        text +=
            QLatin1Char('\n') + FromUtf8(res::SONGS_NOT_WRITTEN) + QLatin1Char('\n') + failed.join(QLatin1Char('\n'));
    }
    ShowNote(text);
    m_desktop.ShowMessage(this, text, failed.isEmpty() ? IDesktop::MessageIcon::None : IDesktop::MessageIcon::Warning);
}

void CImporterDlg::OnSelectAllText()
{
    m_songText->selectAll();
}

void CImporterDlg::ClearLoadedSongs()
{
    m_songs.Clear();
    ShowSongList();
}

void CImporterDlg::OnCancel()
{
    if (m_titleList->count() == 0 || m_desktop.AskOkCancel(this, FromUtf8(res::DISCARD_WARNING))) {
        QDialog::reject();
    }
}
