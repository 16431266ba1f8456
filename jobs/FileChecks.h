#pragma once

// Checks made before a file is written: that it is not one of the files being read, and why a write failed.

#include <filesystem>
#include <string>

// True when both paths name one existing file, however spelled (links, "..", another case where the file
// system ignores it): the same device and inode.
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// "a database holds at most 65,535 songs; 65,608 were given" ("chords" for a chord database), or empty when
// `records` fit.
std::string RecordCountCause(std::size_t records, bool chords);
