#pragma once

// The texts of the importer window and its about box. The window code refers to every text by these names
// (its controls are named by the object names "IDC_..." that the tests find them by). Plain C++ (no Qt), so
// the texts are UTF-8 byte strings.

#include <string_view>

// Texts of the dialog templates.
namespace res {
// IDD_IMPORTER: 314 x 222 dialog units.
inline constexpr std::string_view IMPORTER_CAPTION = "Tunelore Importer";
inline constexpr std::string_view SONG_TITLE_LABEL = "Song Title:";
inline constexpr std::string_view DROP_FILES_CAPTION = "Drop &files here";
inline constexpr std::string_view INSTALL_CAPTION = "&Install...";
inline constexpr std::string_view QUIT_CAPTION = "&Quit";
inline constexpr std::string_view SAVE_PDB_CAPTION = "Save &PDB...";

// IDD_ABOUT: 217 x 55 dialog units.
inline constexpr std::string_view ABOUT_CAPTION = "About TuneloreConverter";
inline constexpr std::string_view ABOUT_VERSION = "TuneloreImporter Version 1.0";
inline constexpr std::string_view OK_CAPTION = "OK";

// The Install caption by what is loaded; the window menu's about item; the button tooltips.
inline constexpr std::string_view INSTALL_SONG = "&Install Song...";
inline constexpr std::string_view INSTALL_SONGS = "&Install Songs...";
inline constexpr std::string_view INSTALL_CHORDS = "&Install Chords...";
inline constexpr std::string_view ABOUT_MENU = "&About TuneloreConverter...";
inline constexpr std::string_view TIP_INSTALL =
    "Install songs so that the next HotSync will be add them to your Tunelore songs";
inline constexpr std::string_view TIP_SAVE_PDB = "Save songs as a Palm Database so you can install them manually";
inline constexpr std::string_view TIP_DROP_FILES =
    "Drag and drop chordpro or tab files here to convert them to Tunelore format.";
// Quit while texts are loaded.
inline constexpr std::string_view DISCARD_WARNING =
    "You have not yet installed or saved the currently loaded songs. These songs will be discarded.";
// Extraction: the folder picker's title and the messages (%s is the text file or the folder).
inline constexpr std::string_view EXTRACT_FOLDER_TITLE = "Directory To Extract Songs To";
inline constexpr std::string_view CHORDS_EXTRACTED = "Chords extracted to %s.";
inline constexpr std::string_view SONGS_EXTRACTED = "Songs extracted to %s.";

// Title list and status line.
inline constexpr std::string_view CHORDS_LABEL = "Chords";
inline constexpr std::string_view STATUS_CHORDS = "%d Chords";
inline constexpr std::string_view STATUS_ONE_SONG = "1 Song";
inline constexpr std::string_view STATUS_SONGS = "%d Songs";
// Below the status while a song is edited: "1234 / 7999"; %d is the characters a song record keeps.
inline constexpr std::string_view TEXT_LENGTH_TIP = "Characters of this song, of the %d the handheld keeps";
// Added to the count of a song longer than that: the first line the handheld loses.
// A second line under the count when the song is longer than a record keeps.
inline constexpr std::string_view TEXT_CUT_AT_LINE = "cut at line %d";
// The status line's tooltip: the list is sorted, the database is not.
inline constexpr std::string_view STATUS_TIP =
    "The list sorts the songs by title; the database keeps them in the order they were loaded";

// Asked before Install or Save PDB loses text: the question, then each song's title and losses, then the end.
inline constexpr std::string_view LOSS_QUESTION = "Not all of the text will reach the handheld:";
inline constexpr std::string_view LOSS_MORE_SONGS = "... and %d more songs.";
inline constexpr std::string_view LOSS_GO_ON = "Go on anyway? No keeps every song as it is.";
// A drag out of the window when the export would lose text: the reason, the list as above, and what to do.
inline constexpr std::string_view DRAG_REFUSED =
    "The songs were not dragged out: a drop hands them on without asking, and not all of the text would reach "
    "the handheld:";
inline constexpr std::string_view DRAG_USE_COMMANDS =
    "Change the songs, or use Install or Save PDB, which ask before anything is lost.";

// File dialogs: pairs of description and pattern list, separated by "|" and ended by "||".
inline constexpr std::string_view OPEN_FILTER = "Chordpro Files (*.pro,*.chordpro,*.cho,*.chopro)|"
                                                "*.pro;*.chordpro;*.cho;*.chopro|"
                                                "Tab Files (*.tab,*.crd)|*.tab;*.crd|"
                                                "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
// Put before OPEN_FILTER: every ending the program reads, so that no song file is hidden at first.
inline constexpr std::string_view ALL_SONG_FILES_FILTER =
    "All song files (*.pro,*.chordpro,*.cho,*.chopro,*.tab,*.crd,*.txt,*.pdb)|"
    "*.pro;*.chordpro;*.cho;*.chopro;*.tab;*.crd;*.txt;*.pdb|";
inline constexpr std::string_view PDB_FILTER = "PDB Files (*.pdb)|*.pdb|All Files (*.*)|*.*||";
inline constexpr std::string_view PDB_EXTENSION = "pdb";
inline constexpr std::string_view TEXT_FILTER = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
inline constexpr std::string_view TEXT_EXTENSION = "txt";

// What screen readers say: names for the controls without a caption (the others are named by their
// caption), and a description of every control.
inline constexpr std::string_view SONG_TITLE_NAME = "Song title";
inline constexpr std::string_view SONG_TITLE_DESCRIPTION =
    "The loaded songs by title; the selected one is shown in the song text";
inline constexpr std::string_view SONG_TITLE_LABEL_DESCRIPTION = "Label of the song title list";
inline constexpr std::string_view SONG_TEXT_NAME = "Song text";
inline constexpr std::string_view SONG_TEXT_DESCRIPTION = "The selected song in ChordPro; edits are kept";
inline constexpr std::string_view DROP_FILES_DESCRIPTION =
    "Opens song, tab, chord list or handheld database files; files can also be dropped anywhere on the window";
inline constexpr std::string_view INSTALL_DESCRIPTION =
    "Hands the loaded songs or chords to the install tool for the next HotSync";
inline constexpr std::string_view SAVE_PDB_DESCRIPTION = "Saves the loaded songs or chords as a Palm database file";
inline constexpr std::string_view QUIT_DESCRIPTION = "Closes the importer";
// The status line is named by what it shows, or by this when it shows nothing.
inline constexpr std::string_view STATUS_EMPTY_NAME = "No songs loaded";
inline constexpr std::string_view TEXT_LENGTH_NAME = "Characters of the song";
inline constexpr std::string_view NOTE_NAME = "Notes";
inline constexpr std::string_view NOTE_DESCRIPTION = "What the last files loaded or the last command should tell";
inline constexpr std::string_view STATUS_DESCRIPTION = "How many songs or chords are loaded";
inline constexpr std::string_view ABOUT_ICON_NAME = "Tunelore Importer icon";
inline constexpr std::string_view ABOUT_ICON_DESCRIPTION = "The program's icon";
inline constexpr std::string_view ABOUT_VERSION_DESCRIPTION = "The program's name and version";
inline constexpr std::string_view OK_DESCRIPTION = "Closes the about box";

// Install's one message: where the songs went and what happens next. %s is the database file in the folder
// where Install keeps them, or for INSTALL_COPIED the folder they were copied to.
inline constexpr std::string_view INSTALL_QUEUED = "The songs were saved in %s and queued for J-Pilot's next HotSync.";
inline constexpr std::string_view INSTALL_COPIED =
    "The songs were copied to %s; the handheld or emulator installs them from there.";
inline constexpr std::string_view INSTALL_HANDED =
    "The songs were saved in %s and handed to the install tool for the next HotSync.";
inline constexpr std::string_view INSTALL_SAVED = "The songs were saved in %s: install it with your HotSync tool.";
// The same for one song.
inline constexpr std::string_view INSTALL_QUEUED_ONE =
    "The song was saved in %s and queued for J-Pilot's next HotSync.";
inline constexpr std::string_view INSTALL_COPIED_ONE =
    "The song was copied to %s; the handheld or emulator installs it from there.";
inline constexpr std::string_view INSTALL_HANDED_ONE =
    "The song was saved in %s and handed to the install tool for the next HotSync.";
inline constexpr std::string_view INSTALL_SAVED_ONE = "The song was saved in %s: install it with your HotSync tool.";
// After Save PDB, in a message and in the note; %s is the database file.
inline constexpr std::string_view SONG_SAVED = "The song was saved in %s.";
inline constexpr std::string_view SONGS_SAVED = "The songs were saved in %s.";
// Added below INSTALL_SAVED when the chosen destination did not take the database; the cause follows.
inline constexpr std::string_view INSTALL_NOT_HANDED_ON = "They could not be handed on: ";

// The install destinations in the window's context menu, below the about item, remembered for the next
// install; the question "Ask each time" asks (the first three without "&" as its choices); the folder prompts.
inline constexpr std::string_view INSTALL_TO_MENU = "Install &To";
inline constexpr std::string_view DESTINATION_AUTOMATIC = "A&utomatic";
inline constexpr std::string_view DESTINATION_JPILOT = "&J-Pilot";
inline constexpr std::string_view DESTINATION_FOLDER = "A &Folder...";
// The folder entry once a folder is chosen; %s is the folder.
inline constexpr std::string_view DESTINATION_FOLDER_CHOSEN = "A &Folder (%s)...";
inline constexpr std::string_view DESTINATION_SYSTEM = "The &System's Install Tool";
inline constexpr std::string_view DESTINATION_ASK = "&Ask Each Time";
inline constexpr std::string_view ASK_DESTINATION = "Where should the songs go?";
// HotSync from the window: the Install To entry (its connection asked once, then remembered), the connection
// question's choices, the waiting dialog, and the messages at its end (%s: the database names, the connection,
// or the cause).
inline constexpr std::string_view DESTINATION_HOTSYNC = "&HotSync...";
inline constexpr std::string_view DESTINATION_HOTSYNC_CHOSEN = "&HotSync (%s)...";
inline constexpr std::string_view HOTSYNC_ASK_CONNECTION = "How is the handheld connected?";
inline constexpr std::string_view HOTSYNC_USB = "USB cradle or cable";
inline constexpr std::string_view HOTSYNC_NET = "Network HotSync";
inline constexpr std::string_view HOTSYNC_SERIAL = "Serial port %s";
inline constexpr std::string_view HOTSYNC_EMULATOR = "An emulator's serial port over TCP";
inline constexpr std::string_view HOTSYNC_OTHER = "Another connection...";
inline constexpr std::string_view HOTSYNC_TYPE_CONNECTION =
    "The connection (usb, net:ADDRESS:PORT, serial:DEVICE:BAUD or serial-net:ADDRESS:PORT):";
inline constexpr std::string_view HOTSYNC_TITLE = "HotSync";
inline constexpr std::string_view HOTSYNC_WAIT = "Press the HotSync button on the handheld";
inline constexpr std::string_view HOTSYNC_CHANGE_CONNECTION =
    "Install To > HotSync... in the window's context menu changes the connection.";
inline constexpr std::string_view HOTSYNC_CONNECTED = "Connected to the handheld";
// %1 the database, %2 and %3 the record numbers.
inline constexpr std::string_view HOTSYNC_PROGRESS = "%1: record %2 of %3";
inline constexpr std::string_view HOTSYNC_INSTALLED = "HotSync installed %s on the handheld.";
inline constexpr std::string_view HOTSYNC_EXISTS =
    "The handheld already has a database named %s. Replace it with the loaded songs?";
inline constexpr std::string_view HOTSYNC_REPLACE = "Replace";
inline constexpr std::string_view HOTSYNC_CANCEL = "Cancel";
inline constexpr std::string_view HOTSYNC_CANCELLED = "HotSync was cancelled; nothing was installed.";
inline constexpr std::string_view HOTSYNC_CANCELLED_ON_HANDHELD =
    "The HotSync was cancelled on the handheld; nothing was installed.";
inline constexpr std::string_view HOTSYNC_NO_HANDHELD = "No handheld could be reached: %s.";
inline constexpr std::string_view HOTSYNC_NO_SPACE = "The handheld does not have enough space for the songs: %s.";
inline constexpr std::string_view HOTSYNC_LOST_PLAIN = "The connection to the handheld was lost.";
inline constexpr std::string_view HOTSYNC_LOST = "The connection to the handheld was lost: %s.";
inline constexpr std::string_view HOTSYNC_FAILED = "HotSync failed: %s.";
inline constexpr std::string_view GET_SONGS_MENU = "&Get Songs From The Handheld...";
inline constexpr std::string_view HOTSYNC_READ_CANCELLED = "HotSync was cancelled; no songs were read.";
inline constexpr std::string_view HOTSYNC_NOTHING_READ = "The handheld holds no Tunelore songs or chords.";
inline constexpr std::string_view HOTSYNC_ASK_SONGS = "What should be done with the handheld's songs?";
inline constexpr std::string_view HOTSYNC_EXTRACT = "Extract them into a folder";
inline constexpr std::string_view HOTSYNC_LOAD = "Load them into the window for editing";
inline constexpr std::string_view HOTSYNC_SONGS_STAY = "The songs stay loaded.";
inline constexpr std::string_view CHOOSE_CARD = "Install to this memory card, or choose another folder:";
inline constexpr std::string_view ANOTHER_FOLDER = "Another folder...";
inline constexpr std::string_view INSTALL_FOLDER_TITLE = "Folder To Install Databases To";
// The context menu's removal of the shown song (also the Delete key in the title list), and its undo (also
// Ctrl+Z in the title list) until the next export.
inline constexpr std::string_view REMOVE_SONG_MENU = "&Remove Song";
inline constexpr std::string_view UNDO_REMOVE_MENU = "&Undo Remove";
// The context menu's "Save Song As...": its filter and extension, and the note after it (%s: the file).
inline constexpr std::string_view SAVE_SONG_MENU = "Save Song &As...";
inline constexpr std::string_view SONG_FILTER = "Chordpro Files (*.pro)|*.pro|All Files (*.*)|*.*||";
inline constexpr std::string_view SONG_EXTENSION = "pro";
inline constexpr std::string_view SONG_FILE_SAVED = "The song was saved in %s.";
// The context menu's "Save All Songs To...": the folder picker's title and the message (%d songs, %s folder).
inline constexpr std::string_view SAVE_ALL_MENU = "Save All &Songs To...";
inline constexpr std::string_view SAVE_ALL_FOLDER_TITLE = "Folder To Save The Songs In";
inline constexpr std::string_view ONE_SONG_SAVED_IN = "1 song saved in %s.";
inline constexpr std::string_view SONGS_SAVED_IN = "%d songs saved in %s.";
// Ctrl+F: the question, and the note when the shown song does not hold the text (%s).
inline constexpr std::string_view FIND_PROMPT = "Find in this song:";
inline constexpr std::string_view NOT_FOUND = "\"%s\" is not in this song.";
// The switch between the fixed-pitch font and the window's own in the editor, in both context menus.
inline constexpr std::string_view FIXED_PITCH_MENU = "Fi&xed-Pitch Font";
// The context menu's choice of the chord-sheet conversion for the text files loaded next; remembered.
inline constexpr std::string_view CHORD_SHEETS_MENU = "Convert &Chord Sheets";
// Notes below the character count about the files just loaded, one a line; %s is the file's name.
inline constexpr std::string_view NOTE_REPLACED_ONE = "%s: 1 character the handheld cannot show became \"?\".";
inline constexpr std::string_view NOTE_REPLACED = "%s: %d characters the handheld cannot show became \"?\".";
inline constexpr std::string_view NOTE_CHORDS_AS_SONG =
    "%s is a chord list, loaded as a song: a chord list is exported as chords only when it is loaded first.";
inline constexpr std::string_view NOTE_LEFT_OUT = "%s is left out of the export: only the chord list loaded first is.";
inline constexpr std::string_view NOTE_SONGS_AFTER_CHORDS_LEFT_OUT =
    "%s: the songs after its chord list are left out of the export: only the chord list is.";
inline constexpr std::string_view NOTE_LEFT_OUT_FILES =
    "%d files are left out of the export: only the chord list loaded first is.";
inline constexpr std::string_view NOTE_NOW_CHORDS_ONE =
    "The first text is now a chord list, which is exported alone: the other text is left out.";
inline constexpr std::string_view NOTE_NOW_CHORDS =
    "The first text is now a chord list, which is exported alone: the other %d texts are left out.";
// The note after the chord-sheet conversion is switched on or off.
inline constexpr std::string_view NOTE_CHORD_SHEETS_ON =
    "Chord sheets are converted in files loaded from now on; songs already loaded stay as they are.";
inline constexpr std::string_view NOTE_CHORD_SHEETS_OFF =
    "Chord sheets are no longer converted in files loaded from now on; songs already loaded stay as they are.";
// Extraction found a song file that holds another text; %s is its path. The buttons, and Cancel.
inline constexpr std::string_view REPLACE_SONG_FILE =
    "%s already exists and holds a different text than the song in the database.\n"
    "Replace it, or keep both and write the song under a numbered name?";
inline constexpr std::string_view REPLACE_CAPTION = "&Replace";
inline constexpr std::string_view KEEP_BOTH_CAPTION = "&Keep Both";
inline constexpr std::string_view REPLACE_ALL_CAPTION = "Replace &All";
inline constexpr std::string_view KEEP_ALL_CAPTION = "Keep A&ll";
// Added below "Songs extracted to %s.", one line each that is not about 0 songs (the first always): files
// written, songs whose file already held them, files replaced, songs written under a numbered name beside a
// file holding another text, and where a Cancel stopped (%d of %d songs).
inline constexpr std::string_view ONE_SONG_WRITTEN = "1 song written.";
inline constexpr std::string_view SONGS_WRITTEN = "%d songs written.";
inline constexpr std::string_view ONE_ALREADY_THERE = "1 song already there, left as it was.";
inline constexpr std::string_view ALREADY_THERE = "%d songs already there, left as they were.";
inline constexpr std::string_view ONE_FILE_REPLACED = "1 file replaced.";
inline constexpr std::string_view FILES_REPLACED = "%d files replaced.";
inline constexpr std::string_view ONE_KEPT_BESIDE =
    "1 song kept under a numbered name, beside a file with another text.";
inline constexpr std::string_view KEPT_BESIDE = "%d songs kept under a numbered name, beside files with another text.";
inline constexpr std::string_view STOPPED_AFTER = "Stopped at Cancel after %d of %d songs; the rest were not written.";
inline constexpr std::string_view SONGS_NOT_WRITTEN = "These songs could not be written:";
} // namespace res
