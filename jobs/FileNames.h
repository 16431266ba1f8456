#pragma once

#include <string>
#include <string_view>

// A file name (without ".pro") for a display name that every system takes the same way: \ / : * ? " < > |,
// bytes below 0x20 and 0x7F become "_"; names made only of dots or spaces, and an empty name, become "_" too,
// so the file stays in its folder; a last dot or space becomes "_"; a device name reserved on Windows (CON,
// PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, any case, alone or before a dot) gets "_" after it: "CON_", "nul_.x".
std::string SafeSongFileName(std::string_view displayName);

// The file name (UTF-8) that the chord list of a chord database named `databaseName` (Windows-1252) gets in a
// folder: the database's name made safe as a song's is, and ".txt".
std::string ChordListFileName(std::string_view databaseName);

// Windows-1252 text with its letters folded to lower case (A-Z, and the accented capitals: C0-DE but D7,
// 8A, 8C, 8E, 9F), for comparing file names as a case-insensitive file system does.
std::string FoldCp1252Case(std::string_view text);
