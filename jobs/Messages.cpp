#include "jobs/Messages.h"

#include "jobs/Charset.h"
#include "jobs/LossReport.h"
#include "pdb/FileIo.h"
#include "pdb/PalmDatabase.h"
#include "text/ChordDefinition.h"
#include "text/RecordFormat.h"

#include <cstdio>

namespace {

constexpr std::size_t SHOWN_CHARACTERS = 8; // replaced characters listed by name

std::string CodePointName(char32_t cp)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(cp));
    return buffer;
}

std::string LineNumber(std::size_t line)
{
    return "line " + std::to_string(line);
}

// " on port 14238", or " on ADDRESS port 14238" when one address is listened on.
std::string OnPort(std::string_view address, unsigned port)
{
    return (address.empty() ? " on port " : " on " + std::string(address) + " port ") + std::to_string(port);
}

} // namespace

namespace messages {

std::string CantWriteFile(std::string_view path, std::string_view cause)
{
    std::string message = "Can't write file " + std::string(path);
    if (!cause.empty()) {
        message += ": ";
        message += cause;
    }
    return message;
}

std::string CantReadFile(std::string_view path, std::string_view cause)
{
    return "Can't read file " + std::string(path) + ": " + std::string(cause);
}

std::string NotASongFile(std::string_view name, std::string_view cause)
{
    return std::string(name) + " is not a song or text file" + (cause.empty() ? "" : ": " + std::string(cause));
}

std::string HoldsNulBytes(std::size_t count, std::size_t firstOffset, std::size_t firstLine)
{
    const std::string where = "at byte " + std::to_string(firstOffset) + " (line " + std::to_string(firstLine) + ")";
    return count == 1 ? "it holds a NUL byte " + where
                      : "it holds " + std::to_string(count) + " NUL bytes, the first " + where;
}

std::string NoSongFilesInFolder(std::string_view folder)
{
    return std::string(folder) +
           " is a folder without song files (names ending in .pro, .chordpro, .cho, .chopro, .tab, .crd or .txt)";
}

std::string CantReadFolder(std::string_view folder, std::string_view cause)
{
    return "Can't read folder " + std::string(folder) + ": " + std::string(cause);
}

std::string NotAPalmDatabase(std::string_view path, std::string_view cause)
{
    return std::string(path) + " is not a readable Palm database (" + std::string(cause) + ")";
}

std::string SameFileAsInput(const std::filesystem::path& target, const std::filesystem::path& input)
{
    return Utf8FromPath(target) + " is the same file as the input " + Utf8FromPath(input) + "; nothing was written";
}

std::string TooManyRecords(std::size_t most, std::size_t given, bool chords)
{
    return "a database holds at most " + GroupDigits(most) + (chords ? " chords; " : " songs; ") + GroupDigits(given) +
           " were given";
}

std::string EveryNameTaken(std::string_view stem, int lastNumber)
{
    return "every name from " + std::string(stem) + ".pdb to (" + std::to_string(lastNumber) + ") is taken";
}

std::string CantMakePrivate(std::string_view cause)
{
    return "others may open it, and it can't be made private (mode 0700): " + std::string(cause);
}

std::string JPilotFolderMissing(std::string_view folder)
{
    return "J-Pilot's folder " + std::string(folder) + " does not exist";
}

std::string CantCopyTo(std::string_view folder, std::string_view cause)
{
    return "can't copy it to " + std::string(folder) + ": " + std::string(cause);
}

std::string NoInstallTool(std::string_view cause)
{
    return "no install tool was found for the file: " + std::string(cause);
}

std::string CantTellInstallTool(std::string_view cause)
{
    return "can't tell which application installs it: " + std::string(cause);
}

std::string DesktopTakesFileFor(std::string_view type)
{
    return "the desktop takes the file for " + std::string(type) + ", not for a Palm database";
}

std::string ApplicationIsThisProgram(std::string_view application)
{
    return "the application set to install Palm databases is this program (" + std::string(application) + ")";
}

std::string CantLockJPilotList(std::string_view list, std::string_view lock, std::string_view cause)
{
    return "can't lock J-Pilot's install list " + std::string(list) + " (" + std::string(lock) +
           "): " + std::string(cause);
}

std::string CantReadJPilotList(std::string_view list, std::string_view cause)
{
    return "can't read J-Pilot's install list " + std::string(list) + ": " + std::string(cause);
}

std::string CantWriteJPilotList(std::string_view list, std::string_view cause)
{
    return "can't write J-Pilot's install list " + std::string(list) + ": " + std::string(cause);
}

std::string SettingsUnreadable(std::string_view cause)
{
    return "can't be read (" + std::string(cause) + "); installing automatically";
}

std::string NotASetting(std::size_t line)
{
    return LineNumber(line) + ": not a setting (destination=..., folder=... or connection=...); ignored";
}

std::string UnknownDestination(std::size_t line, std::string_view value)
{
    return LineNumber(line) + ": unknown destination \"" + std::string(value) + "\" (" + DESTINATION_WORDS +
           "); installing automatically";
}

std::string FolderNotAbsolute(std::size_t line, std::string_view value)
{
    return LineNumber(line) + ": the folder \"" + std::string(value) + "\" is not an absolute path; ignored";
}

std::string InstalledOnHandheld(std::string_view names)
{
    return "Tunelore installed " + std::string(names);
}

std::string NoHandheldConnected(std::string_view connection)
{
    return "no handheld connected within the timeout (" + std::string(connection) + ")";
}

std::string WaitingOnUsb()
{
    return "Waiting on USB (cradle or cable)";
}

std::string WaitingOnNetwork(std::string_view address, unsigned port, const std::vector<std::string>& computer)
{
    std::string line = "Waiting for network HotSync" + OnPort(address, port);
    if (address.empty() && !computer.empty()) {
        std::string list;
        for (const std::string& one : computer) {
            list += (list.empty() ? "" : ", ") + one;
        }
        line += " (this computer: " + list + ")";
    }
    return line;
}

std::string WaitingOnSerial(std::string_view device, unsigned baud)
{
    return "Waiting on serial port " + std::string(device) +
           (baud != 0 ? " at " + std::to_string(baud) + " bit/s" : std::string());
}

std::string WaitingOnEmulator(std::string_view address, unsigned port)
{
    return "Waiting for an emulator's serial port over TCP" + OnPort(address, port);
}

std::string CharacterList(const ReplacedCharacters& replaced)
{
    std::string list;
    std::size_t shown = 0;
    for (const auto& [cp, count] : replaced.counts) {
        if (shown == SHOWN_CHARACTERS) {
            list += ", and " + std::to_string(replaced.counts.size() - shown) + " more";
            break;
        }
        if (!list.empty()) {
            list += ", ";
        }
        // Controls and line or paragraph separators would break the message; they are named only.
        const bool visible = cp >= 0xA0 && cp != 0x2028 && cp != 0x2029 && cp != 0xFFFD;
        std::string itself;
        if (visible) {
            itself = CodePointToUtf8(cp) + " ";
        }
        list += itself + "(" + CodePointName(cp) + (count > 1 ? ", " + std::to_string(count) + " times" : "") + ")";
        ++shown;
    }
    return list;
}

std::string LossDescription(const Loss& loss)
{
    const bool one = loss.count == 1;
    const std::string count = std::to_string(loss.count);
    const std::string line = LineNumber(loss.line);
    const std::string quoted = "\"" + loss.text + "\"";
    const std::string lineQuoted = line + " (" + quoted + ")";
    const std::string lostFrom =
        (one ? "1 character is" : count + " characters are") + " lost, from " + line + " on (" + quoted + ")";
    const std::string definitionsHold = one ? "a chord definition holds" : count + " chord definitions hold";
    const std::string asSong = "taken as a song, not a chord list: ";
    // One line is named after a colon; of several, the first after "; the first, ".
    const auto which = [one](const std::string& what, const std::string& loses) {
        return one ? ": " + what + loses : "; the first, " + what + "," + loses;
    };
    const std::string loses = " loses \"" + loss.lost + "\"";
    switch (loss.kind) {
    case LossKind::TextCut:
        return "cut at " + std::to_string(SONG_MAX_TEXT) + " characters: " + lostFrom;
    case LossKind::CharactersReplaced:
        return (one ? "1 character the handheld cannot show becomes"
                    : count + " characters the handheld cannot show become") +
               " \"?\": " + loss.text;
    case LossKind::ChordValuesDropped:
        return definitionsHold + " more than a name and six values" + which(lineQuoted, loses);
    case LossKind::ChordNameCut:
        return (one ? "a chord name is" : count + " chord names are") + " longer than " +
               std::to_string(CHORD_MAX_NAME_LENGTH) + " characters" + which(quoted + " on " + line, loses);
    case LossKind::NotChordDefinitions:
        return (one ? "a line is not a chord definition and is left out: "
                    : count + " lines are not chord definitions and are left out; the first is ") +
               lineQuoted;
    case LossKind::ChordListAsSong:
        return asSong + lineQuoted +
               " is not a chord definition \"NAME v1 v2 v3 v4 [v5 [v6]]\" with one blank between words";
    case LossKind::ChordListAfterSongs:
        return asSong + "a chord list goes into a chord database only as the first file, alone";
    case LossKind::FretValueTooHigh:
        return (one ? "a chord definition has" : count + " chord definitions have") +
               " a fret value of 15 or more (15 is a string not played, values past 255 wrap)" +
               which(lineQuoted, " holds \"" + loss.lost + "\"");
    case LossKind::NulEndsSong:
        return "a NUL character ends the song on the handheld: " + lostFrom;
    case LossKind::NulInChordList:
        return definitionsHold + " a NUL character, which cuts it on the handheld" + which(lineQuoted, "");
    case LossKind::ReadAsWindows1252:
        return "not valid UTF-8, so the whole file is read as Windows-1252: " + line +
               " holds the first byte that is not UTF-8";
    case LossKind::DatabaseNameChanged:
        return "the database name " + quoted + " becomes \"" + loss.lost + "\"";
    case LossKind::EmptySong:
        return "the song has no text: the handheld gets an empty song";
    }
    return {};
}

} // namespace messages
