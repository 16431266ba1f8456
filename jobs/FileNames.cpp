#include "jobs/FileNames.h"

#include "res/Resource.h"

std::string SafeSongFileName(std::string_view displayName)
{
    constexpr std::string_view FORBIDDEN = "\\/:*?\"<>|";
    std::string name(displayName);
    bool onlyDotsAndSpaces = true;
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || FORBIDDEN.find(c) != std::string_view::npos) {
            c = '_';
        }
        if (c != '.' && c != ' ') {
            onlyDotsAndSpaces = false;
        }
    }
    // "", ".", ".." and the like would name the folder itself or its parent.
    if (onlyDotsAndSpaces) {
        return "_";
    }
    return name;
}

std::string CantWriteMessage(std::string_view pathUtf8, std::string_view cause)
{
    std::string message = std::string(res::CANT_WRITE_FILE) + std::string(pathUtf8);
    if (!cause.empty()) {
        message += ": ";
        message += cause;
    }
    return message;
}
