#pragma once

#include <string>
#include <string_view>

// A file name (without ".pro") for a display name: \ / : * ? " < > | and bytes below 0x20 become "_";
// names made only of dots or spaces, and an empty name, become "_" too, so the file stays in its folder.
std::string SafeSongFileName(std::string_view displayName);

// "Can't write file <path>", with ": <cause>" after it when the cause is known.
std::string CantWriteMessage(std::string_view pathUtf8, std::string_view cause = {});
