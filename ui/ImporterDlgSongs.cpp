// The main window's song list, editor and commands: the three states (empty, songs, chords), showing and
// storing back the edited text, Save PDB and Quit (Install is in ImporterDlgInstall.cpp).

#include "jobs/Export.h"
#include "jobs/Intake.h"
#include "jobs/LossReport.h"
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
            m_editorReplaced = {};
            m_editorText = EditorToLoadedText(m_songText->document()->toRawText(), m_editorReplaced);
        }
        return;
    }
    m_editorReplaced = {};
    m_showingText = true;
    m_songText->setPlainText(LoadedTextToEditor(m_editorText));
    m_songText->document()->setModified(false);
    m_showingText = false;
    m_status->setText(m_statusText);
    m_status->setAccessibleName(m_statusText.isEmpty() ? FromUtf8(res::STATUS_EMPTY_NAME) : m_statusText);
    ShowTextLength();
}

ReplacedCharacters& CImporterDlg::ReplacedAt(std::size_t index)
{
    if (m_replaced.size() < m_loadedTexts.size()) {
        m_replaced.resize(m_loadedTexts.size());
    }
    return m_replaced.at(index);
}

void CImporterDlg::ShowTextLength()
{
    const bool song = !m_loadedTexts.empty() && !m_chordMode && m_songText->isEnabled();
    m_textLength->setText(song ? QString::number(SongTextLength(m_editorText)) + QStringLiteral(" / ") +
                                     QString::number(SONG_MAX_TEXT)
                               : QString());
}

std::vector<LoadedText> CImporterDlg::LoadedTextValues()
{
    m_replaced.resize(m_loadedTexts.size());
    std::vector<LoadedText> values;
    values.reserve(m_loadedTexts.size());
    for (std::size_t i = 0; i < m_loadedTexts.size(); ++i) {
        values.push_back(LoadedText{m_loadedTexts[i], m_replaced[i], 0});
    }
    return values;
}

bool CImporterDlg::ConfirmLosses()
{
    const std::vector<TextLossReport> reports = ExportLosses(LoadedTextValues());
    if (reports.empty()) {
        return true;
    }
    constexpr std::size_t MAX_LISTED = 10; // songs named in the message; the rest are counted
    const bool chords = IsChordModeText(m_loadedTexts.front());
    QString text = FromUtf8(res::LOSS_QUESTION);
    for (std::size_t i = 0; i < reports.size(); ++i) {
        if (i == MAX_LISTED) {
            const auto more = static_cast<long long>(reports.size() - i);
            text += QStringLiteral("\n\n") + FormatNumber(res::LOSS_MORE_SONGS, more);
            break;
        }
        const std::string& loaded = m_loadedTexts[reports[i].text];
        text += QStringLiteral("\n\n") +
                (chords ? FromUtf8(res::CHORDS_LABEL) : FromCp1252(GetSongDisplayName(loaded))) + QLatin1Char(':');
        for (const Loss& loss : reports[i].losses) {
            text += QStringLiteral("\n- ") + FromUtf8(DescribeLoss(loss));
        }
    }
    text += QStringLiteral("\n\n") + FromUtf8(res::LOSS_GO_ON);
    return m_desktop.AskYesNo(this, text);
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
        m_shownReplaced = {};
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
        m_shownReplaced = ReplacedAt(0);
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
    // The "?" of characters replaced before are in the text like any other; when the user has removed every
    // "?", none of them is left.
    ReplacedCharacters replaced = m_editorText.find('?') == std::string::npos ? ReplacedCharacters() : m_shownReplaced;
    replaced.Merge(m_editorReplaced);
    ReplacedAt(static_cast<std::size_t>(textIndex)) = std::move(replaced);
}

void CImporterDlg::OnSelChangeSongTitle()
{
    CommitEditedSong();
    m_currentIndex = m_titleList->currentIndex();
    const int textIndex = TextIndexAt(m_currentIndex);
    if (textIndex >= 0 && static_cast<std::size_t>(textIndex) < m_loadedTexts.size()) {
        m_editorText = m_loadedTexts[static_cast<std::size_t>(textIndex)];
        m_shownReplaced = ReplacedAt(static_cast<std::size_t>(textIndex));
    }
    UpdateData(false);
}

void CImporterDlg::OnChangeSongText()
{
    UpdateData(true);
    ShowTextLength();
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

void CImporterDlg::OnSavePdb()
{
    if (m_loadedTexts.empty()) {
        return;
    }
    CommitEditedSong();
    if (!ConfirmLosses()) {
        return;
    }
    StartDialogIn("folders/database");
    const std::optional<QString> path =
        m_desktop.AskSaveFileName(this, FromUtf8(res::PDB_FILTER), FromUtf8(res::PDB_EXTENSION));
    if (!path) {
        return;
    }
    RememberDialogFolder("folders/database", *path, false);
    const ExportResult result = ExportLoadedTexts(LoadedTextValues(), ToPath(*path), m_desktop);
    if (!result.written) {
        ShowError(FromUtf8(result.error));
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
    m_replaced.clear();
    m_shownReplaced = {};
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
