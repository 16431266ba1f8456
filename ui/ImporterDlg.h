#pragma once

#include "ui/Desktop.h"
#include "ui/DialogUnits.h"
#include "pdb/PalmDatabase.h"

#include <QCollator>
#include <QDialog>
#include <QIcon>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QMimeData;
class QPlainTextEdit;
class QPushButton;

// The importer's main window (IDD_IMPORTER): the loaded texts, the title list, the editor, and the commands
// Drop files, Install, Save PDB and Quit. The operations are public so that the application start and the
// tests can drive the window the way the user's actions do.
class CImporterDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CImporterDlg(IDesktop& desktop, QWidget* parent = nullptr);

    // Input intake.
    void OnDropFilesButton();
    void OnDropFiles(const QStringList& paths);
    void LoadInputFiles(const QStringList& paths);
    std::optional<QString> BrowseForFolder();
    // A dropped chord database: asks for a text file and writes the chords to it, unless that file is the
    // database's own file `source`.
    void ExtractChords(const CPalmDatabase& database, const QString& source = {});
    // A dropped song database: asks for a folder and writes the songs into it.
    void ExtractSongDatabase(const CPalmDatabase& database);

    // Song list, editor and commands.
    void RefreshSongList();
    void CommitEditedSong();
    void OnSelChangeSongTitle();
    void OnChangeSongText();
    void OnInstall();
    void OnSavePdb();
    void OnSelectAllText();
    void ClearLoadedSongs();
    void OnCancel();

    // Window chrome: window-menu commands (any id from 16 to 31 opens the about box), the tooltip text of a
    // control, and the resize layout for a client area of width x height pixels.
    void OnSysCommand(int id);
    static QString ToolTipText(int controlId);
    void LayoutControls(int width, int height);

    const std::vector<std::string>& LoadedTexts() const { return m_loadedTexts; }
    bool ChordMode() const { return m_chordMode; }
    int CurrentIndex() const { return m_currentIndex; }
    const QIcon& AppIcon() const { return m_appIcon; }
    DialogBaseUnits BaseUnits() const { return m_baseUnits; }

    // The minimum size of the window, frame included.
    static constexpr int MIN_WIDTH = 400;
    static constexpr int MIN_HEIGHT = 300;

protected:
    void reject() override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void ConnectControls();
    void InitDialog();

    // Data exchange: true reads the editor into m_editorText; false shows m_editorText and m_statusText.
    void UpdateData(bool saveAndValidate);
    // Adds a title at its sorted position with the text index as item data; returns the position.
    int AddSortedTitle(const QString& title, int textIndex);
    // The text index stored with the list entry at `position`; -1 when there is none.
    int TextIndexAt(int position) const;
    void SetDefaultButton(QPushButton* button);
    // Runs a command; an exception that escapes it is reported and ends only that command.
    template <class Command> void RunCommand(Command&& command);
    // The local files among the drag's URLs.
    static QStringList DroppedFiles(const QMimeData* mimeData);
    void ShowError(const QString& text);

    IDesktop& m_desktop;

    int m_currentIndex = -1;
    std::vector<std::string> m_loadedTexts;
    bool m_chordMode = false;
    QComboBox* m_titleList = nullptr;
    std::string m_editorText; // Windows-1252, CR LF line ends
    QString m_statusText;
    QIcon m_appIcon;

    QLabel* m_titleLabel = nullptr;
    QPlainTextEdit* m_songText = nullptr;
    QPushButton* m_dropFiles = nullptr;
    QPushButton* m_install = nullptr;
    QPushButton* m_quit = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_savePdb = nullptr;

    DialogBaseUnits m_baseUnits;
    QCollator m_collator;
    bool m_showingText = false; // the dialog itself is setting the editor's text
};
