#include "jobs/Install.h"

#include "jobs/Charset.h"
#include "jobs/FileNames.h"
#include "jobs/Messages.h"
#include "pdb/AtomicFile.h"
#include "pdb/FileIo.h"
#include "text/Ascii.h"
#include "text/Scan.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <system_error>
#include <utility>

#include "platform/Folders.h"
#include "platform/NewFile.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view APP_FOLDER_NAME = "tunelore-importer";  // Linux, after the XDG conventions
constexpr std::string_view APP_DISPLAY_NAME = "Tunelore Importer"; // Windows and macOS
constexpr ApplicationFolderNames APP_FOLDERS{APP_FOLDER_NAME, APP_DISPLAY_NAME};
constexpr std::string_view SETTINGS_FILE = "install.conf";
constexpr std::string_view JPILOT_LIST = "jpilot.install";
constexpr std::size_t SMALL_FILE_LIMIT = 1024 * 1024; // settings and J-Pilot's list are a few lines
constexpr int MOST_NUMBERED_NAMES = 9999;

constexpr std::array<std::pair<InstallMethod, std::string_view>, 6> METHOD_NAMES{{
    {InstallMethod::Automatic, "automatic"},
    {InstallMethod::JPilot, "jpilot"},
    {InstallMethod::Folder, "folder"},
    {InstallMethod::SystemTool, "system"},
    {InstallMethod::Ask, "ask"},
    {InstallMethod::HotSync, "hotsync"},
}};

bool IsFolder(const fs::path& path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

// A small text file's bytes; empty when it does not exist.
Result<std::string> ReadSmallFile(const fs::path& path)
{
    std::error_code missing;
    if (!fs::exists(fs::symlink_status(path, missing))) {
        return std::string();
    }
    return ReadWholeFile(path, SMALL_FILE_LIMIT);
}

// `text` without the spaces and tabs around it.
std::string_view TrimAscii(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Calls `line(text)` for every line of `bytes`, without its CR LF or LF.
template <class Visit> void ForEachLine(std::string_view bytes, Visit&& line)
{
    while (!bytes.empty()) {
        line(PopLine(bytes, LineEnds::TextMode));
    }
}

// The file name stem for a database: its name (Windows-1252) made safe for a folder, in UTF-8.
std::string FileStemFor(const CPalmDatabase& database)
{
    return Cp1252ToUtf8(SafeSongFileName(database.GetName()));
}

// True when `application` (a desktop entry, a program's path) is this program.
bool IsThisProgram(std::string_view application)
{
    const std::string name = Utf8FromPath(PathFromUtf8(application).stem());
    return EqualsIgnoringAsciiCase(name, APP_FOLDER_NAME);
}

// MIME types under which the desktop knows Palm databases, and our own databases' types.
bool IsPalmDatabaseType(std::string_view type)
{
    return type == "application/vnd.palm" || type == "application/x-palm-database" ||
           type.starts_with("application/x-tunelore");
}

// Hands the kept database to the destination; sets `handedOn`, `target` and, for a failure, `error`.
// `stem` names the copy in a folder.
void HandOn(InstallResult& result,
            const InstallChoice& choice,
            std::string_view stem,
            std::string_view bytes,
            IPlatform& platform)
{
    switch (result.destination) {
    case InstallDestination::None:
        return;
    case InstallDestination::HotSync:
        result.error = messages::HOTSYNC_RUNS_ELSEWHERE;
        return;
    case InstallDestination::JPilot: {
        const std::optional<fs::path> folder = JPilotFolder(platform);
        if (!folder || !IsFolder(*folder)) {
            result.error = folder ? messages::JPilotFolderMissing(Utf8FromPath(*folder)) : messages::NO_HOME_FOR_JPILOT;
            return;
        }
        const fs::path list = *folder / JPILOT_LIST;
        result.target = Utf8FromPath(list);
        if (const Status added = AddToJPilotList(list, result.path); !added) {
            result.error = added.error().text;
        }
        break;
    }
    case InstallDestination::Folder: {
        const fs::path folder = PathFromUtf8(choice.folder);
        if (choice.folder.empty() || !IsFolder(folder)) {
            result.error = choice.folder.empty() ? messages::NO_FOLDER_CHOSEN
                                                 : messages::CantCopyTo(choice.folder, messages::NO_SUCH_FOLDER);
            return;
        }
        const Result<fs::path> copy = CreateFreshFile(folder, stem, bytes);
        if (copy) {
            result.target = Utf8FromPath(*copy);
        } else {
            result.error = messages::CantCopyTo(choice.folder, copy.error().text);
        }
        break;
    }
    case InstallDestination::SystemTool: {
        const IPlatform::DefaultApplication tool = platform.DefaultApplicationFor(result.path);
        result.target = tool.application;
        if (tool.noTool) {
            result.error = messages::NoInstallTool(tool.error);
        } else if (!tool.error.empty()) {
            result.error = messages::CantTellInstallTool(tool.error);
        } else if (!tool.type.empty() && !IsPalmDatabaseType(tool.type)) {
            result.error = messages::DesktopTakesFileFor(tool.type);
        } else if (tool.known && tool.application.empty()) {
            result.error = messages::NO_APPLICATION_FOR_DATABASES;
        } else if (tool.known && IsThisProgram(tool.application)) {
            result.error = messages::ApplicationIsThisProgram(tool.application);
        } else if (const Status opened = platform.OpenWithDefaultApplication(result.path); !opened) {
            result.error = opened.error().text.empty() ? messages::SYSTEM_TOOL_REFUSED : opened.error().text;
        }
        break;
    }
    }
    result.handedOn = result.error.empty();
}

// The handheld keeps one database per name, so a drawn name that a database in the lasting folder or in
// J-Pilot's install list already has is drawn again. A name the user chose stays, even one that looks drawn.
void DrawUnusedName(CPalmDatabase& database, const fs::path& folder, IPlatform& platform, NameOrigin origin)
{
    const std::optional<std::string> base = origin == NameOrigin::Drawn ? DrawnNameBase(database.m_name) : std::nullopt;
    if (!base) {
        return;
    }
    std::string listed;
    if (const std::optional<fs::path> jpilot = JPilotFolder(platform)) {
        // An unreadable list is reported when the database is added to it.
        if (Result<std::string> list = ReadSmallFile(*jpilot / JPILOT_LIST)) {
            listed = std::move(*list);
        }
    }
    const auto used = [&](const std::string& name) {
        std::error_code error;
        bool found = fs::exists(fs::symlink_status(folder / PathFromUtf8(name + ".pdb"), error));
        ForEachLine(listed, [&](std::string_view line) {
            const std::string file = Utf8FromPath(PathFromUtf8(line).filename());
            found = found || file == name + ".pdb" || file.starts_with(name + " (");
        });
        return found;
    };
    for (int draw = 0; draw < 1000 && used(database.m_name); ++draw) {
        database.m_name = MakeDatabaseName(*base, platform.Random());
    }
}

// Writes the database into the lasting folder under a fresh name; `bytes` gets the file's bytes.
// `original`, when given, is the file the database was read from: it is kept and handed on byte for byte.
InstallResult KeepInLastingFolder(CPalmDatabase& database,
                                  IPlatform& platform,
                                  NameOrigin origin,
                                  std::vector<std::uint8_t>& bytes,
                                  const std::vector<std::uint8_t>* original = nullptr)
{
    InstallResult result;
    const std::optional<fs::path> folder = LastingFolder(platform);
    if (!folder) {
        result.error = messages::NO_HOME_FOR_DATABASES;
        return result;
    }
    DrawUnusedName(database, *folder, platform, origin);
    const std::string stem = FileStemFor(database);
    result.path = Utf8FromPath(*folder / PathFromUtf8(stem + ".pdb"));
    std::optional<std::vector<std::uint8_t>> image = original ? *original : database.Serialize();
    if (!image) {
        result.error = messages::CantWriteFile(result.path, messages::DATABASE_TOO_LARGE);
        return result;
    }
    bytes = std::move(*image);
    if (const Status made = CreatePrivateFolder(*folder); !made) {
        result.error = messages::CantWriteFile(Utf8FromPath(*folder), made.error().text);
        return result;
    }
    const Result<fs::path> file =
        CreateFreshFile(*folder, stem, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!file) {
        result.error = messages::CantWriteFile(result.path, file.error().text);
        return result;
    }
    result.path = Utf8FromPath(*file);
    result.written = true;
    return result;
}

} // namespace

std::string_view InstallMethodName(InstallMethod method)
{
    for (const auto& [value, name] : METHOD_NAMES) {
        if (value == method) {
            return name;
        }
    }
    return {};
}

std::optional<InstallMethod> ParseInstallMethod(std::string_view name)
{
    for (const auto& [value, word] : METHOD_NAMES) {
        if (word == name) {
            return value;
        }
    }
    return std::nullopt;
}

std::optional<fs::path> LastingFolder(IPlatform& platform)
{
    return ApplicationFolder(platform, UserFolderKind::Data, APP_FOLDERS);
}

std::optional<fs::path> ConfigFolder(IPlatform& platform)
{
    return ApplicationFolder(platform, UserFolderKind::Settings, APP_FOLDERS);
}

std::optional<fs::path> JPilotFolder(IPlatform& platform)
{
    // J-Pilot itself takes JPILOT_HOME in place of HOME.
    std::optional<fs::path> home = FolderVariable(platform, "JPILOT_HOME");
    if (!home) {
        home = FolderVariable(platform, "HOME");
    }
    return home ? std::optional(*home / ".jpilot") : std::nullopt;
}

std::vector<fs::path> LauncherFolders(IPlatform& platform)
{
    const std::vector<fs::path> volumes = MountedVolumes(platform);
    std::vector<fs::path> launchers;
    for (const fs::path& volume : volumes) {
        const fs::path launcher = volume / "PALM" / "Launcher";
        if (IsFolder(launcher)) {
            launchers.push_back(launcher);
        }
    }
    return launchers;
}

InstallSettings ReadInstallSettings(IPlatform& platform)
{
    InstallSettings settings;
    const std::optional<fs::path> folder = ConfigFolder(platform);
    if (!folder) {
        return settings;
    }
    const fs::path file = *folder / SETTINGS_FILE;
    settings.file = Utf8FromPath(file);
    const Result<std::string> bytes = ReadSmallFile(file);
    if (!bytes) {
        settings.warnings.push_back(messages::SettingsUnreadable(bytes.error().text));
        return settings;
    }
    std::size_t number = 0;
    ForEachLine(*bytes, [&](std::string_view line) {
        ++number;
        line = TrimAscii(line);
        if (line.empty() || line.starts_with('#')) {
            return;
        }
        const std::size_t equals = line.find('=');
        const std::string key = AsciiLowerCopy(TrimAscii(line.substr(0, std::min(equals, line.size()))));
        const std::string_view value = equals == std::string_view::npos ? "" : TrimAscii(line.substr(equals + 1));
        if (equals == std::string_view::npos || (key != "destination" && key != "folder" && key != "connection")) {
            settings.warnings.push_back(messages::NotASetting(number));
        } else if (key == "connection") {
            settings.choice.connection = value;
        } else if (key == "destination") {
            const std::optional<InstallMethod> method = ParseInstallMethod(AsciiLowerCopy(value));
            settings.choice.method = method.value_or(InstallMethod::Automatic);
            if (!method) {
                settings.warnings.push_back(messages::UnknownDestination(number, value));
            }
        } else if (!value.empty() && !PathFromUtf8(value).is_absolute()) {
            settings.choice.folder.clear();
            settings.warnings.push_back(messages::FolderNotAbsolute(number, value));
        } else {
            settings.choice.folder = value;
        }
    });
    return settings;
}

InstallChoice ReadInstallChoice(IPlatform& platform)
{
    return ReadInstallSettings(platform).choice;
}

Status SaveInstallChoice(IPlatform& platform, const InstallChoice& choice)
{
    const std::optional<fs::path> folder = ConfigFolder(platform);
    if (!folder) {
        return MakeError(ErrorKind::NotFound, messages::NO_HOME_FOR_SETTINGS);
    }
    if ((choice.folder + choice.connection).find_first_of("\r\n") != std::string::npos) {
        return MakeError(ErrorKind::Refused, messages::LINE_BREAK_IN_SETTING);
    }
    if (const Status made = CreatePrivateFolder(*folder); !made) {
        return MakeError(made.error().kind, messages::CantWriteFile(Utf8FromPath(*folder), made.error().text));
    }
    const std::string text = "# Where Install hands the database: " + std::string(messages::DESTINATION_WORDS) +
                             ".\ndestination=" + std::string(InstallMethodName(choice.method)) +
                             "\nfolder=" + choice.folder +
                             "\n# How HotSync reaches the handheld: usb, net[:ADDRESS:PORT], serial:DEVICE[:BAUD], "
                             "serial-net[:ADDRESS:PORT].\n"
                             "connection=" +
                             choice.connection + "\n";
    const fs::path file = *folder / SETTINGS_FILE;
    if (const Status replaced = WriteFileAtomically(file, text); !replaced) {
        return MakeError(replaced.error().kind, messages::CantWriteFile(Utf8FromPath(file), replaced.error().text));
    }
    return {};
}

InstallDestination DestinationFor(const InstallChoice& choice, IPlatform& platform)
{
    switch (choice.method) {
    case InstallMethod::JPilot:
        return InstallDestination::JPilot;
    case InstallMethod::Folder:
        return InstallDestination::Folder;
    case InstallMethod::SystemTool:
        return InstallDestination::SystemTool;
    case InstallMethod::HotSync:
        return InstallDestination::HotSync;
    case InstallMethod::Automatic:
    case InstallMethod::Ask:
        break;
    }
    if (SystemInstallToolIsDefault()) {
        return InstallDestination::SystemTool; // Palm Desktop's install tool opens .pdb files there
    }
    // Without J-Pilot nothing on the desktop takes the database to the handheld, so HotSync does it itself.
    const std::optional<fs::path> jpilot = JPilotFolder(platform);
    return jpilot && IsFolder(*jpilot) ? InstallDestination::JPilot : InstallDestination::HotSync;
}

Status CreatePrivateFolder(const fs::path& folder)
{
    std::error_code error;
    // Each missing folder on the way is made private too, as the XDG conventions ask for the data and
    // settings homes; mkdir's mode, unlike the umask's default, leaves nobody else in.
    fs::path partial;
    for (const fs::path& part : folder) {
        partial /= part;
        if (IsFolder(partial)) {
            continue;
        }
        if (const Status made = MakePrivateFolder(partial); !made) {
            return made;
        }
    }
    if (!IsFolder(folder)) {
        return MakeError(ErrorKind::Refused, messages::NOT_A_FOLDER);
    }
    // A folder of ours that others may enter was made so by someone else, or under an older version.
    const fs::perms others = fs::perms::group_all | fs::perms::others_all;
    if ((fs::status(folder, error).permissions() & others) != fs::perms::none) {
        fs::permissions(folder, others, fs::perm_options::remove, error);
        if (error) {
            return MakeError(ErrorKind::System, messages::CantMakePrivate(error.message()));
        }
    }
    return {};
}

Result<fs::path> CreateFreshFile(const fs::path& folder, std::string_view stem, std::string_view bytes)
{
    for (int number = 1; number <= MOST_NUMBERED_NAMES; ++number) {
        const std::string name =
            std::string(stem) + (number == 1 ? std::string() : " (" + std::to_string(number) + ")") + ".pdb";
        const fs::path path = folder / PathFromUtf8(name);
        if (const Status written = WriteNewFile(path, bytes); !written) {
            if (written.error().kind == ErrorKind::Exists) {
                continue;
            }
            return written.error();
        }
        return path;
    }
    return MakeError(ErrorKind::Exists, messages::EveryNameTaken(stem, MOST_NUMBERED_NAMES));
}

Status AddToJPilotList(const fs::path& list, std::string_view entry)
{
    if (entry.find_first_of("\r\n") != std::string_view::npos) {
        return MakeError(ErrorKind::Refused, messages::LINE_BREAK_IN_JPILOT_ENTRY);
    }
    // Held from the read to the rename, so that a concurrent install's line is never written over.
    fs::path lockPath = list;
    lockPath += ".lock";
    const CFileLock lock(lockPath);
    if (!lock) {
        return MakeError(ErrorKind::System,
                         messages::CantLockJPilotList(Utf8FromPath(list), Utf8FromPath(lockPath), lock.Error()));
    }
    Result<std::string> content = ReadSmallFile(list);
    if (!content) {
        return MakeError(content.error().kind, messages::CantReadJPilotList(Utf8FromPath(list), content.error().text));
    }
    bool listed = false;
    ForEachLine(*content, [&](std::string_view line) { listed = listed || line == entry; });
    if (listed) {
        return {};
    }
    if (!content->empty() && content->back() != '\n') {
        content->push_back('\n');
    }
    content->append(entry).push_back('\n');
    if (const Status replaced = WriteFileAtomically(list, *content); !replaced) {
        return MakeError(replaced.error().kind,
                         messages::CantWriteJPilotList(Utf8FromPath(list), replaced.error().text));
    }
    return {};
}

InstallResult KeepDatabase(CPalmDatabase& database, IPlatform& platform)
{
    std::vector<std::uint8_t> bytes;
    return KeepInLastingFolder(database, platform, NameOrigin::Drawn, bytes);
}

InstallResult InstallDatabase(CPalmDatabase& database,
                              const InstallChoice& choice,
                              IPlatform& platform,
                              NameOrigin origin,
                              const std::vector<std::uint8_t>* original)
{
    std::vector<std::uint8_t> bytes;
    InstallResult result = KeepInLastingFolder(database, platform, origin, bytes, original);
    result.destination = DestinationFor(choice, platform);
    if (result.written) {
        const std::string_view image(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        HandOn(result, choice, FileStemFor(database), image, platform);
    }
    return result;
}

InstallResult InstallLoadedTexts(const std::vector<LoadedText>& loadedTexts,
                                 const InstallChoice& choice,
                                 IPlatform& platform,
                                 const ExportOptions& options)
{
    CPalmDatabase database = BuildImportDatabase(loadedTexts, platform, options);
    return InstallDatabase(database, choice, platform, options.name ? NameOrigin::Given : NameOrigin::Drawn);
}
