#include "platform/Folders.h"

#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

fs::path PathOfUtf8(std::string_view utf8)
{
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

} // namespace

std::optional<fs::path> FolderVariable(IPlatform& platform, const char* name)
{
    const std::optional<std::string> value = platform.Variable(name);
    if (!value || value->empty()) {
        return std::nullopt;
    }
    fs::path folder = PathOfUtf8(*value);
    if (!folder.is_absolute()) {
        return std::nullopt;
    }
    return folder;
}

std::optional<fs::path> ApplicationFolder(IPlatform& platform, UserFolderKind kind, const ApplicationFolderNames& names)
{
#if defined(_WIN32)
    (void)kind;
    std::optional<fs::path> appData = FolderVariable(platform, "APPDATA");
    return appData ? std::optional(*appData / PathOfUtf8(names.display)) : std::nullopt;
#elif defined(__APPLE__)
    (void)kind;
    std::optional<fs::path> home = FolderVariable(platform, "HOME");
    return home ? std::optional(*home / "Library" / "Application Support" / PathOfUtf8(names.display)) : std::nullopt;
#else
    const bool data = kind == UserFolderKind::Data;
    if (std::optional<fs::path> xdg = FolderVariable(platform, data ? "XDG_DATA_HOME" : "XDG_CONFIG_HOME")) {
        return *xdg / PathOfUtf8(names.folder);
    }
    std::optional<fs::path> home = FolderVariable(platform, "HOME");
    return home ? std::optional(*home / (data ? ".local/share" : ".config") / PathOfUtf8(names.folder)) : std::nullopt;
#endif
}

std::vector<fs::path> MountedVolumes(IPlatform& platform)
{
    std::vector<fs::path> volumes;
#if defined(_WIN32)
    (void)platform;
    for (char drive = 'D'; drive <= 'Z'; ++drive) {
        volumes.push_back(fs::path(std::string(1, drive) + ":\\"));
    }
#else
    std::vector<fs::path> mountRoots;
#if defined(__APPLE__)
    (void)platform;
    mountRoots.push_back("/Volumes");
#else
    // Where the desktop mounts a user's removable volumes (udisks: Debian and Ubuntu, Fedora and Arch).
    if (const std::optional<std::string> user = platform.Variable("USER"); user && !user->empty()) {
        mountRoots.push_back(fs::path("/media") / *user);
        mountRoots.push_back(fs::path("/run/media") / *user);
    }
#endif
    std::error_code error;
    for (const fs::path& root : mountRoots) {
        for (fs::directory_iterator entry(root, error), end; !error && entry != end; entry.increment(error)) {
            volumes.push_back(entry->path());
        }
        error.clear();
    }
#endif
    return volumes;
}

bool SystemInstallToolIsDefault()
{
#if defined(_WIN32) || defined(__APPLE__)
    return true;
#else
    return false;
#endif
}
