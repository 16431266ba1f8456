// The main window's song list, editor and commands: the three states (empty, songs, chords), showing and
// storing back the edited text, Install, Save PDB and Quit.

#include "jobs/Export.h"
#include "jobs/Intake.h"
#include "text/SongTitle.h"
#include "ui/ImporterDlg.h"
#include "ui/QtText.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "res/Resource.h"

void CImporterDlg::UpdateData(bool saveAndValidate)
{
    if (saveAndValidate) {
        // Only text the user changed is read back: a text the dialog put there unedited is already in
        // m_editorText byte for byte, which the editor's line breaks could not always reproduce.
        if (m_songText->document()->isModified()) {
            m_editorText = EditorToLoadedText(m_songText->document()->toRawText());
        }
        return;
    }
    m_showingText = true;
    m_songText->setPlainText(LoadedTextToEditor(m_editorText));
    m_songText->document()->setModified(false);
    m_showingText = false;
    m_status->setText(m_statusText);
    m_status->setAccessibleName(m_statusText.isEmpty() ? FromUtf8(res::STATUS_EMPTY_NAME) : m_statusText);
}

int CImporterDlg::AddSortedTitle(const QString& title, int textIndex)
{
    // After every entry that sorts before or with the new one, so equal titles keep their loading order.
    // The list is sorted while it is being filled, so a binary search finds the place.
    int low = 0;
    int high = m_titleList->count();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (m_collator.compare(m_titleList->itemText(middle), title) <= 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    const int position = low;
    m_titleList->insertItem(position, title, textIndex);
    return position;
}

int CImporterDlg::TextIndexAt(int position) const
{
    if (position < 0 || position >= m_titleList->count()) {
        return -1;
    }
    bool ok = false;
    const int index = m_titleList->itemData(position).toInt(&ok);
    return ok ? index : -1;
}

void CImporterDlg::SetDefaultButton(QPushButton* button)
{
    for (QPushButton* candidate : {m_dropFiles, m_install, m_quit, m_savePdb}) {
        candidate->setDefault(candidate == button);
    }
}

void CImporterDlg::RefreshSongList()
{
    {
        const QSignalBlocker blocker(m_titleList);
        m_titleList->clear();
    }
    if (m_loadedTexts.empty()) {
        m_titleList->setEnabled(false);
        m_editorText.clear();
        m_songText->setEnabled(false);
        m_savePdb->setEnabled(false);
        m_install->setEnabled(false);
        m_statusText.clear();
        return;
    }

    const int count = static_cast<int>(m_loadedTexts.size());
    if (IsChordModeText(m_loadedTexts.front())) {
        m_chordMode = true;
        m_install->setText(FromUtf8(LoadResString(IDS_INSTALL_CHORDS)));
        m_songText->setEnabled(true);
        {
            const QSignalBlocker blocker(m_titleList);
            m_titleList->addItem(FromUtf8(res::CHORDS_LABEL), 0);
            m_titleList->setCurrentIndex(0);
        }
        m_titleList->setEnabled(false);
        m_editorText = m_loadedTexts.front();
        m_currentIndex = 0;
        m_statusText = FormatNumber(res::STATUS_CHORDS, count);
    } else {
        m_chordMode = false;
        m_install->setText(FromUtf8(LoadResString(count == 1 ? IDS_INSTALL_SONG : IDS_INSTALL_SONGS)));
        m_songText->setEnabled(true);
        m_titleList->setEnabled(true);
        {
            const QSignalBlocker blocker(m_titleList);
            for (int i = 0; i < count; ++i) {
                const std::string name = GetSongDisplayName(m_loadedTexts[static_cast<std::size_t>(i)]);
                m_titleList->setCurrentIndex(AddSortedTitle(FromCp1252(name), i));
            }
        }
        m_currentIndex = -1;
        OnSelChangeSongTitle();
        m_statusText = count == 1 ? FromUtf8(res::STATUS_ONE_SONG) : FormatNumber(res::STATUS_SONGS, count);
    }

    m_savePdb->setEnabled(true);
    m_install->setEnabled(true);
    SetDefaultButton(m_install);
    UpdateData(false);
}

void CImporterDlg::CommitEditedSong()
{
    UpdateData(true);
    if (m_titleList->count() == 0 || m_currentIndex < 0) {
        return;
    }
    const int textIndex = TextIndexAt(m_currentIndex);
    if (textIndex < 0 || static_cast<std::size_t>(textIndex) >= m_loadedTexts.size()) {
        return;
    }
    m_loadedTexts[static_cast<std::size_t>(textIndex)] = m_editorText;
}

void CImporterDlg::OnSelChangeSongTitle()
{
    CommitEditedSong();
    m_currentIndex = m_titleList->currentIndex();
    const int textIndex = TextIndexAt(m_currentIndex);
    if (textIndex >= 0 && static_cast<std::size_t>(textIndex) < m_loadedTexts.size()) {
        m_editorText = m_loadedTexts[static_cast<std::size_t>(textIndex)];
    }
    UpdateData(false);
}

void CImporterDlg::OnChangeSongText()
{
    UpdateData(true);
    if (m_currentIndex < 0 || m_currentIndex >= m_titleList->count()) {
        return;
    }
    const QString name = FromCp1252(GetSongDisplayName(m_editorText));
    if (m_titleList->itemText(m_currentIndex) == name) {
        return;
    }
    // The entry keeps its position and its text index; the list is sorted again by the next refresh.
    const QSignalBlocker blocker(m_titleList);
    m_titleList->setItemText(m_currentIndex, name);
    m_titleList->setCurrentIndex(m_currentIndex);
}

void CImporterDlg::OnInstall()
{
    if (m_loadedTexts.empty()) {
        return;
    }
    ExportResult result;
    {
        CWaitCursor wait(m_desktop);
        CommitEditedSong();
        if (m_chordMode) {
            result = ExportChordDatabase(m_loadedTexts.front(), std::string(), m_desktop);
        } else {
            result = ExportSongDatabase(m_loadedTexts, std::string(), m_desktop);
        }
    }
    if (!result.written) {
        // Nothing was written, so the texts stay loaded for another try.
        ShowError(FromUtf8(res::CANT_WRITE_FILE) + FromUtf8(result.path));
        return;
    }
    ClearLoadedSongs();
    if (!result.openRequested) {
        QString text = FormatString(res::INSTALL_NOT_OPENED, FromUtf8(result.path));
        if (!result.error.empty()) {
            text += QStringLiteral("\n\n") + FromUtf8(result.error);
        }
        m_desktop.ShowMessage(this, text, IDesktop::MessageIcon::Warning);
    }
}

void CImporterDlg::OnSavePdb()
{
    if (m_loadedTexts.empty()) {
        return;
    }
    CommitEditedSong();
    const std::optional<QString> path =
        m_desktop.AskSaveFileName(this, FromUtf8(res::PDB_FILTER), FromUtf8(res::PDB_EXTENSION));
    if (!path) {
        return;
    }
    const std::string target = ToUtf8Path(*path);
    const ExportResult result = m_chordMode ? ExportChordDatabase(m_loadedTexts.front(), target, m_desktop)
                                            : ExportSongDatabase(m_loadedTexts, target, m_desktop);
    if (!result.written) {
        ShowError(FromUtf8(res::CANT_WRITE_FILE) + *path);
        return;
    }
    ClearLoadedSongs();
}

void CImporterDlg::OnSelectAllText()
{
    m_songText->selectAll();
}

void CImporterDlg::ClearLoadedSongs()
{
    m_loadedTexts.clear();
    {
        const QSignalBlocker blocker(m_titleList);
        m_titleList->clear();
    }
    m_titleList->setEnabled(false);
    m_songText->setEnabled(false);
    m_install->setEnabled(false);
    m_savePdb->setEnabled(false);
    m_editorText.clear();
    m_statusText.clear();
    UpdateData(false);
}

void CImporterDlg::OnCancel()
{
    if (m_titleList->count() == 0 || m_desktop.AskOkCancel(this, FromUtf8(LoadResString(IDS_DISCARD_WARNING)))) {
        QDialog::reject();
    }
}
