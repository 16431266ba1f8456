#include "jobs/FileNames.h"

#include "jobs/Charset.h"
#include "text/Ascii.h"

#include <algorithm>
#include <array>

namespace {

// True for the device names Windows reserves in every folder, compared without regard to case.
bool IsReservedDeviceName(std::string_view base)
{
    constexpr std::array<std::string_view, 4> DEVICES = {"con", "prn", "aux", "nul"};
    const std::string lower = AsciiLowerCopy(base);
    if (std::find(DEVICES.begin(), DEVICES.end(), lower) != DEVICES.end()) {
        return true;
    }
    return lower.size() == 4 && (lower.starts_with("com") || lower.starts_with("lpt")) && lower[3] >= '1' &&
           lower[3] <= '9';
}

} // namespace

std::string SafeSongFileName(std::string_view displayName)
{
    constexpr std::string_view FORBIDDEN = "\\/:*?\"<>|";
    std::string name(displayName);
    bool onlyDotsAndSpaces = true;
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F' || FORBIDDEN.find(c) != std::string_view::npos) {
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
    // Windows drops a last dot or space, which would make two names one.
    if (name.back() == '.' || name.back() == ' ') {
        name.back() = '_';
    }
    // The device name counts up to the first dot, without the spaces before it.
    std::size_t baseEnd = std::min(name.find('.'), name.size());
    while (baseEnd > 0 && name[baseEnd - 1] == ' ') {
        --baseEnd;
    }
    if (IsReservedDeviceName(std::string_view(name).substr(0, baseEnd))) {
        name.insert(baseEnd, 1, '_');
    }
    return name;
}

std::string ChordListFileName(std::string_view databaseName)
{
    return Cp1252ToUtf8(SafeSongFileName(databaseName)) + ".txt";
}

std::string FoldCp1252Case(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7)) {
            c = static_cast<char>(byte + 0x20);
        } else if (byte == 0x8A || byte == 0x8C || byte == 0x8E) {
            c = static_cast<char>(byte + 0x10); // Š Œ Ž to š œ ž
        } else if (byte == 0x9F) {
            c = '\xFF'; // Ÿ to ÿ
        }
    }
    return folded;
}
