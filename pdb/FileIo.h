#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Result.h"

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

// What tells two names of one file apart from two files: the device and the file number (inode, or the
// file index on Windows).
struct FileIdentity
{
    std::uint64_t device = 0;
    std::uint64_t file = 0;

    bool operator==(const FileIdentity&) const = default;
};
// The identity of the file `path` names (links followed); nullopt when there is none to be had.
std::optional<FileIdentity> IdentityOfFile(const std::filesystem::path& path);

// A file opened for reading. Opening never waits: a FIFO without a writer or a device is refused after one
// look at the open descriptor, before anything reads from it, as are folders; only regular files are read
// (and standard input, which may be a pipe).
class CReadOnlyFile
{
public:
    // Opens a regular file; the error says why not ("it is a folder", "not a regular file", the system's cause).
    static Result<CReadOnlyFile> Open(const std::filesystem::path& path);
    // Standard input, whatever it is (a file, a pipe, a terminal); it stays open when this object goes.
    static CReadOnlyFile StandardInput();

    CReadOnlyFile(CReadOnlyFile&& other) noexcept;
    CReadOnlyFile& operator=(CReadOnlyFile&& other) noexcept;
    CReadOnlyFile(const CReadOnlyFile&) = delete;
    CReadOnlyFile& operator=(const CReadOnlyFile&) = delete;
    ~CReadOnlyFile();

    // The size the open file had (0 for standard input when it is no regular file).
    std::uint64_t Size() const { return m_size; }
    const std::optional<FileIdentity>& Identity() const { return m_identity; }

    // Reads up to `size` bytes; 0 at the end of the file.
    Result<std::size_t> Read(void* buffer, std::size_t size);
    // Appends the rest of the file to `bytes`, refusing to hold more than `limit` bytes in all.
    Status ReadRest(std::string& bytes, std::size_t limit);

private:
    CReadOnlyFile(int descriptor, bool owned)
        : m_descriptor(descriptor)
        , m_owned(owned)
    {}

    int m_descriptor = -1;
    bool m_owned = true;
    std::uint64_t m_size = 0;
    std::optional<FileIdentity> m_identity;
};

// "the file has <size> bytes, more than the <limit> that are read"
std::string TooLargeCause(std::uint64_t size, std::size_t limit);

// Reads a whole regular file: its bytes, or why not in the system's words or ours. A file larger than `limit` bytes, a
// folder, a device or a pipe is refused without reading it, so neither /dev/zero nor a huge file can exhaust memory,
// and a FIFO cannot hang it.
Result<std::string> ReadWholeFile(const std::filesystem::path& path,
                                  std::size_t limit = std::numeric_limits<std::size_t>::max());
