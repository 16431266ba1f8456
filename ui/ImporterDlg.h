#pragma once

#include "jobs/Charset.h"
#include "jobs/Install.h"
#include "jobs/Intake.h"
#include "jobs/LossReport.h"
#include "jobs/SongList.h"
#include "pdb/PalmDatabase.h"
#include "ui/Desktop.h"
#include "ui/DialogUnits.h"
#include "ui/HotSyncDlg.h"

#include <QCollator>
#include <QDialog>
#include <QIcon>
#include <QPoint>
#include <QStringList>
#include <QVariant>

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
    // A drop target takes the database without a question, so when the export would lose text the drag does
    // not start, and the message says what would be lost.
    void OnInstallDestination(InstallMethod method);
    // Install To > HotSync: asks how the handheld is connected (the last answer first) and makes HotSync the
    // install destination; remembered. Install then runs a session in the waiting dialog.
    void OnHotSyncDestination();
    // "Get Songs From The Handheld": the waiting dialog over the remembered connection (asked for the first
    // time), then the songs extracted into a folder or loaded into the window, as the user chooses; the chords
    // of a chord database into a text file, as for a dropped one.
    void OnGetSongsFromHandheld();
    // The sessions HotSync runs (the real one unless a test puts in its own).
    void SetHotSyncSession(IHotSyncSession& session) { m_hotsync = &session; }
    std::optional<QString> BuildDragFile();

    // The editor's font: the system's fixed-pitch font (the default), so chords stay over their syllables and
    // tab staves line up, or the window's own; remembered.
    void OnFixedPitchFont(bool on);
    bool FixedPitchFont() const { return m_fixedPitch; }

    // Ctrl+F asks for a text and selects its next place in the editor (from the cursor, then from the top);
    // F3 finds the same text again. When the song does not hold it, the note says so.
    void OnFind();
    void OnFindNext();

    // The context menu's "Save Song As...": the shown song as a UTF-8 ChordPro file the user names.
    void OnSaveSongAs();
    // "Save All Songs To...": every loaded text as a UTF-8 ChordPro file in a folder the user picks, none over
    // a file already there.
    void OnSaveAllSongs();

    // Removing the shown song (Delete in the list, or the context menu), and putting the last removed one back
    // (until the next export).
    void OnRemoveSong();
    void OnUndoRemove();

    // Window chrome: the about box (context menu and F1), and the resize layout for a client area of width x
    // height pixels.
    void OnAbout();
    // The window's context menu: the about box, removing songs, the install destination, the conversion.
    void FillContextMenu(QMenu& menu);
    // The editor's context menu: its own entries, then the font switch.
    void ShowEditorMenu(const QPoint& position);
    void AddFontSwitch(QMenu& menu);
    void ApplyEditorFont();
    void LayoutControls(int width, int height);

    std::vector<std::string> LoadedTexts() const { return m_songs.TextStrings(); }
    const CSongList& Songs() const { return m_songs; }
    const QIcon& AppIcon() const { return m_appIcon; }
    DialogBaseUnits BaseUnits() const { return m_baseUnits; }

    // What the window remembers between runs (the keys are in one table, in ImporterDlgInstall.cpp).
    enum class Setting
    {
        Geometry,       // size and place
        ChordSheets,    // the chord-sheet conversion is on
        FixedPitchFont, // the editor uses the fixed-pitch font
        OpenFolder,     // the folders where the file dialogs of each kind last were
        DatabaseFolder,
        ExtractFolder,
        ChordsFolder,
        SongFolder,
        InstallFolder,
    };

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

    // Puts the loaded text into the editor as the text it shows (not an edit), as its song file has it, with the
    // status line; null for none.
    void ShowEditorText(const LoadedText* song);
    // Reads the editor into m_editorText and m_edited. The text the editor was given, reached again (by undo,
    // say), is no edit: the loaded text stays byte for byte as it was, which the editor's line breaks could not
    // always reproduce.
    void ReadEditorText();
    // Shows the list's entries, the buttons and the status as m_songs has them, and the shown text.
    void ShowSongList();
    void SetDefaultButton(QPushButton* button);
    // An export of the loaded texts in the mode the window shows (songs or one chord list), which an edit of
    // the first text does not change: a song that now starts with chord definitions still goes out as a song
    // with the others, and a chord list given a heading still as chords.
    ExportOptions ShownExport() const
    {
        ExportOptions options;
        options.chordList = m_songs.ChordMode();
        return options;
    }
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
    // Each song that loses something, by its title, with what it loses; one paragraph each.
    QString LossList(const std::vector<TextLossReport>& reports) const;
    // Shows how many of the characters a song record keeps the edited song uses (songs only).
    void ShowTextLength();
    // Shows `text` below the character count, in place of the last note; empty hides it.
    void ShowNote(const QString& text);

    // Install (ImporterDlgInstall.cpp): the remembered choice, or the user's answer when it is "ask each
    // time" (nullopt on cancel); a folder to install to, memory cards first; the one message after it.
    std::optional<InstallChoice> ChooseInstall();
    std::optional<std::string> AskInstallFolder();
    void ReportInstall(const InstallResult& result, bool oneSong);
    // Install by HotSync over the remembered connection: the waiting dialog, Replace when the handheld has a
    // database of that name, and the one message at the end. True when the songs were installed.
    bool InstallByHotSync(const std::string& connection);
    // The message for a session that failed.
    QString HotSyncFailure(const Error& error, bool cancelled, bool installing) const;
    // How the handheld is connected, as the user chooses or types it; nullopt on cancel or a malformed one.
    std::optional<std::string> AskHotSyncConnection();
    // Remembers the choice in install.conf, or says why it could not.
    void RememberInstallChoice(const InstallChoice& choice);
    // The destination entries of the context menu, each with its InstallMethod as data.
    void AddInstallDestinations(QMenu& menu);
    void StartDrag();
    // The window's settings file, beside install.conf; null without a home. Reading a setting gives an
    // invalid value without one.
    std::unique_ptr<QSettings> OpenSettings() const;
    QVariant ReadSetting(Setting setting) const;
    void WriteSetting(Setting setting, const QVariant& value) const;
    // The size and place the window had when it was last closed, and the remembered choices.
    void RestoreWindowPlace();
    // The folder a file dialog of the kind `folder` last used (`firstTime` before it was used), set for the next
    // prompt; and remembering it.
    void StartDialogIn(Setting folder, const QString& firstTime = {});
    void RememberDialogFolder(Setting folder, const QString& fileOrFolder, bool isFolder);

    IDesktop& m_desktop;
    CHotSyncSession m_realHotSync;
    IHotSyncSession* m_hotsync = &m_realHotSync;

    QCollator m_collator;
    CSongList m_songs;
    TextConversion m_textConversion = TextConversion::Strict;
    QComboBox* m_titleList = nullptr;
    std::string m_editorText;  // Windows-1252, CR LF line ends
    std::string m_givenText;   // the loaded text the editor was given
    QString m_givenEditorText; // and as the editor shows it
    bool m_edited = false;     // the editor's text as last read is not the one it was given
    QString m_statusText;
    bool m_shownSongs = false;         // the list shown last held songs, not a chord list
    bool m_chordListNoteShown = false; // the note says the first text became a chord list
    QIcon m_appIcon;

    QLabel* m_titleLabel = nullptr;
    QPlainTextEdit* m_songText = nullptr;
    QPushButton* m_dropFiles = nullptr;
    QPushButton* m_install = nullptr;
    QPushButton* m_quit = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_savePdb = nullptr;
    QLabel* m_textLength = nullptr;
    bool m_fixedPitch = true;
    QString m_findText;       // the text Ctrl+F last looked for
    QLabel* m_note = nullptr; // below the character count: what the last load or command should tell

    DialogBaseUnits m_baseUnits;
    bool m_showingText = false; // the dialog itself is setting the editor's text
    QPoint m_dragStart;         // where the left button went down on the window, for a drag out
};
