#pragma once

// The texts the use cases compose for the user, each worded here once; the front ends show them as they
// are. Paths and names are UTF-8; a cause is the text of an Error, usually the system's own.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

struct Loss;
struct ReplacedCharacters;

namespace messages {

// A file that could not be read or written, or that is no input: "Can't write file <path>", with ": <cause>"
// after it when the cause is known; "Can't read file <path>: <cause>"; "<name> is not a song or text file", with
// ": <cause>" after it when one can be told;
// a folder handed in that holds no song file; "Can't read folder <path>: <cause>".
std::string CantWriteFile(std::string_view path, std::string_view cause = {});
std::string CantReadFile(std::string_view path, std::string_view cause);
std::string NotASongFile(std::string_view name, std::string_view cause = {});
// Why a file that otherwise reads as text is none: "it holds a NUL byte at byte 123 (line 4)", or "it holds 3 NUL
// bytes, the first at byte 123 (line 4)"; the byte is an offset from 0, as a database's are, the line counts from 1.
std::string HoldsNulBytes(std::size_t count, std::size_t firstOffset, std::size_t firstLine);
std::string NoSongFilesInFolder(std::string_view folder);
std::string CantReadFolder(std::string_view folder, std::string_view cause);
std::string NotAPalmDatabase(std::string_view path, std::string_view cause);
std::string SameFileAsInput(const std::filesystem::path& target, const std::filesystem::path& input);

// Causes of a write that failed: more records than a database holds (`most`), a database that cannot be laid
// out, every free name beside a file or in a folder used up.
std::string TooManyRecords(std::size_t most, std::size_t given, bool chords);
inline constexpr const char* DATABASE_TOO_LARGE = "more records than a database can hold";
inline constexpr const char* EVERY_NUMBERED_NAME_TAKEN = "every numbered name beside it is taken";
std::string EveryNameTaken(std::string_view stem, int lastNumber);

// Why there is no folder for the databases or the settings, why the settings cannot be kept, and why a
// folder of ours cannot be made private.
inline constexpr const char* NO_HOME_FOR_DATABASES =
    "No folder to keep the database in: the environment names no home folder";
inline constexpr const char* NO_HOME_FOR_SETTINGS = "no home folder to keep the settings in";
inline constexpr const char* LINE_BREAK_IN_SETTING =
    "a folder or connection that holds a line break cannot be remembered";
inline constexpr const char* NOT_A_FOLDER = "not a folder";
std::string CantMakePrivate(std::string_view cause);

// Why an install did not reach its destination once the database was kept.
inline constexpr const char* HOTSYNC_RUNS_ELSEWHERE = "HotSync runs only from the window or tunelore-cli";
std::string JPilotFolderMissing(std::string_view folder);
inline constexpr const char* NO_HOME_FOR_JPILOT = "no home folder to find J-Pilot's folder in";
inline constexpr const char* NO_FOLDER_CHOSEN = "no folder was chosen to copy it to";
inline constexpr const char* NO_SUCH_FOLDER = "no such folder";
std::string CantCopyTo(std::string_view folder, std::string_view cause);
std::string NoInstallTool(std::string_view cause);
std::string CantTellInstallTool(std::string_view cause);
std::string DesktopTakesFileFor(std::string_view type);
inline constexpr const char* NO_APPLICATION_FOR_DATABASES = "no application is set to install Palm databases";
std::string ApplicationIsThisProgram(std::string_view application);
inline constexpr const char* SYSTEM_TOOL_REFUSED = "the system's install tool refused it";

// Why J-Pilot's install list did not take a database's line.
inline constexpr const char* LINE_BREAK_IN_JPILOT_ENTRY =
    "its path holds a line break, which J-Pilot's install list cannot hold";
std::string CantLockJPilotList(std::string_view list, std::string_view lock, std::string_view cause);
std::string CantReadJPilotList(std::string_view list, std::string_view cause);
std::string CantWriteJPilotList(std::string_view list, std::string_view cause);

// Warnings about install.conf: the file as a whole, or its line `line` (counted from 1). The words a
// destination may be are listed the same way there and in the file's own comment.
inline constexpr const char* DESTINATION_WORDS = "automatic, jpilot, folder, system, ask or hotsync";
std::string SettingsUnreadable(std::string_view cause);
std::string NotASetting(std::size_t line);
std::string UnknownDestination(std::size_t line, std::string_view value);
std::string FolderNotAbsolute(std::size_t line, std::string_view value);

// HotSync: the line the handheld's log keeps after an install (`names` of the databases), and a handheld
// that never answered on the connection described.
std::string InstalledOnHandheld(std::string_view names);
std::string NoHandheldConnected(std::string_view connection);

// Where a HotSync waits for the handheld, said under the prompt to press HotSync, so that a user whose
// handheld or emulator is on another connection sees it at once: "Waiting on USB (cradle or cable)",
// "Waiting for network HotSync on port 14238", "Waiting on serial port /dev/ttyUSB0 at 57600 bit/s",
// "Waiting for an emulator's serial port over TCP on port 6416". An empty address is every address; a `baud` of
// 0 the default speed. Listening on every address, network HotSync names this computer's addresses too
// ("... on port 14238 (this computer: 192.168.1.5)"), since the handheld's setting asks for one.
std::string WaitingOnUsb();
std::string WaitingOnNetwork(std::string_view address, unsigned port, const std::vector<std::string>& computer);
std::string WaitingOnSerial(std::string_view device, unsigned baud);
std::string WaitingOnEmulator(std::string_view address, unsigned port);

// What the handheld will not get of a text. The characters that have no form in its character set, each as
// itself when it is visible, with its code point and how often, the first eight only: "Ω (U+03A9, 2 times),
// Ж (U+0416), and 3 more". One line about a loss, without a file or song name, e.g. "cut at 7999
// characters: 12 characters are lost, from line 210 on (\"[G]And the last verse\")".
std::string CharacterList(const ReplacedCharacters& replaced);
std::string LossDescription(const Loss& loss);
} // namespace messages
