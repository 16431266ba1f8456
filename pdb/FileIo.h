#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Files at the desktop boundary. Paths arrive as UTF-8 (command line, window, configuration) and become
// std::filesystem::path here, so that a Windows build opens them through the wide-character API.

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// fopen for a path, wide on Windows; `mode` as for fopen ("rb", "wbx", ...).
FilePtr OpenFile(const std::filesystem::path& path, const char* mode);

// The system's text for an error number: "No such file or directory".
std::string SystemErrorText(int error);

struct FileReadResult
{
    std::optional<std::string> bytes; // the whole file; nullopt when it was not read
    std::string error;                // why not, in the system's words or ours
};
// Reads a whole regular file. A file larger than `limit` bytes, a folder, a device or a pipe is refused
// without reading it, so neither /dev/zero nor a huge file can exhaust memory.
FileReadResult ReadWholeFile(const std::filesystem::path& path,
                             std::size_t limit = std::numeric_limits<std::size_t>::max());
