#pragma once

#include "jobs/Charset.h"
#include "jobs/Install.h"
#include "jobs/Intake.h"
#include "pdb/PalmDatabase.h"
#include "ui/Desktop.h"
#include "ui/DialogUnits.h"

#include <QCollator>
#include <QDialog>
#include <QIcon>
#include <QPoint>
#include <QStringList>

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QMenu;
class QSettings;
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
    // The context menu's "Convert Chord Sheets": how text files dropped from now on are converted; remembered.
    void OnChordSheetMode(bool on);
    TextConversion Conversion() const { return m_textConversion; }
    void OnSelectAllText();
    void ClearLoadedSongs();
    void OnCancel();

    // Install destinations (ImporterDlgInstall.cpp): the context menu's choice, remembered in install.conf
    // (a folder is asked for); and the database file a drag out of the window carries, built from the loaded
    // texts into the folder where Install keeps databases (nullopt, after saying why, when it was not written).
    void OnInstallDestination(InstallMethod method);
    std::optional<QString> BuildDragFile();

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
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void done(int result) override;

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
    template <class Command> void RunCommand(Command&& command)
    {
        try {
            command();
        } catch (const std::exception& error) {
            ShowError(QString::fromUtf8(error.what()));
        }
    }
    // The local files among the drag's URLs; none for the window's own drag.
    static QStringList DroppedFiles(const QMimeData* mimeData);
    static constexpr const char* OWN_DRAG_FORMAT = "application/x-tunelore-importer-drag";
    void ShowError(const QString& text);
    // Before Install or Save PDB: when the export would lose text, lists what each song loses and asks
    // whether to go on; true to go on.
    bool ConfirmLosses();
    // The loaded texts with their replaced characters, as the loss report and the export take them.
    std::vector<LoadedText> LoadedTextValues();
    // The characters that became "?" in the loaded text at `index`.
    ReplacedCharacters& ReplacedAt(std::size_t index);
    // Shows how many of the characters a song record keeps the edited song uses (songs only).
    void ShowTextLength();

    // Install (ImporterDlgInstall.cpp): the remembered choice, or the user's answer when it is "ask each
    // time" (nullopt on cancel); a folder to install to, memory cards first; the one message after it.
    std::optional<InstallChoice> ChooseInstall();
    std::optional<std::string> AskInstallFolder();
    void ReportInstall(const InstallResult& result);
    // The destination entries of the context menu, each with its InstallMethod as data.
    void AddInstallDestinations(QMenu& menu);
    void StartDrag();
    // The window's settings (file dialogs' folders, size and place), beside install.conf; null without a home.
    std::unique_ptr<QSettings> OpenSettings() const;
    // The size and place the window had when it was last closed.
    void RestoreWindowPlace();
    // The folder a file dialog of the kind `key` last used, set for the next prompt; and remembering it.
    void StartDialogIn(const char* key);
    void RememberDialogFolder(const char* key, const QString& fileOrFolder, bool isFolder);

    IDesktop& m_desktop;

    int m_currentIndex = -1;
    std::vector<std::string> m_loadedTexts;
    TextConversion m_textConversion = TextConversion::Strict;
    std::vector<ReplacedCharacters> m_replaced; // of each loaded text, as loaded and as committed from the editor
    ReplacedCharacters m_shownReplaced;         // of the text the editor was given
    ReplacedCharacters m_editorReplaced;        // of the editor's text as last read, edited since it was given
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
    QLabel* m_textLength = nullptr;

    DialogBaseUnits m_baseUnits;
    QCollator m_collator;
    bool m_showingText = false; // the dialog itself is setting the editor's text
    QPoint m_dragStart;         // where the left button went down on the window, for a drag out
};
