#pragma once

#include <cstdint>
#include <span>
#include <string>

// Writes `bytes` to `path` through a temporary file beside it, renamed over the target only after
// everything was written and flushed. On any failure the temporary file is removed, an existing file at
// `path` is left as it was, and the result is false.
bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// Reads a whole file; false when it cannot be opened or read (a folder, a missing file).
bool ReadWholeFile(const std::string& path, std::string& out);
