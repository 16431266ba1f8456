#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

// Where the desktop keeps things, after each system's conventions.

// A variable that names a folder: set, not empty, and (as the XDG conventions ask) absolute.
std::optional<std::filesystem::path> FolderVariable(IPlatform& platform, const char* name);

// What an application's own folders are called: `folder` where the names are lower case (Linux, after the
// XDG conventions), `display` where they are shown as they are (Windows, macOS).
struct ApplicationFolderNames
{
    std::string_view folder;
    std::string_view display;
};

enum class UserFolderKind
{
    Data,     // lasting data: XDG_DATA_HOME, %APPDATA%, ~/Library/Application Support
    Settings, // settings: XDG_CONFIG_HOME, %APPDATA%, ~/Library/Application Support
};

// The user's folder of `kind` for the application named `names`; nullopt when the environment names none.
std::optional<std::filesystem::path>
ApplicationFolder(IPlatform& platform, UserFolderKind kind, const ApplicationFolderNames& names);

// The roots of the volumes a memory card may be mounted at: drives D: to Z: on Windows, the folders under
// /Volumes on macOS, the user's folders under /media and /run/media elsewhere (udisks). Only Windows' list
// holds volumes that may not exist.
std::vector<std::filesystem::path> MountedVolumes(IPlatform& platform);

// True where the system's own install tool (Palm Desktop's) takes handheld databases opened with it, so
// that installing through the default application is the natural default.
bool SystemInstallToolIsDefault();
