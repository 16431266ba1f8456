#include "pdb/FileIo.h"

#include <cerrno>
#include <system_error>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/stat.h>
#endif

std::filesystem::path PathFromUtf8(std::string_view utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path)
{
    const std::u8string u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

FilePtr OpenFile(const std::filesystem::path& path, const char* mode)
{
#if defined(_WIN32)
    const std::string narrow(mode);
    const std::wstring wideMode(narrow.begin(), narrow.end());
    return FilePtr(_wfopen(path.c_str(), wideMode.c_str()));
#else
    return FilePtr(std::fopen(path.c_str(), mode));
#endif
}

std::string SystemErrorText(int error)
{
    return std::error_code(error, std::generic_category()).message();
}

FileReadResult ReadWholeFile(const std::filesystem::path& path, std::size_t limit)
{
    FileReadResult result;
#if !defined(__unix__) && !defined(__APPLE__)
    // Windows refuses to open a folder with "Permission denied"; the reason the user needs is the folder.
    if (std::error_code ec; std::filesystem::is_directory(path, ec)) {
        result.error = "it is a folder";
        return result;
    }
#endif
    errno = 0;
    const FilePtr file = OpenFile(path, "rb");
    if (!file) {
        result.error = SystemErrorText(errno != 0 ? errno : ENOENT);
        return result;
    }
    // The size is asked of the open file, so that what is checked is what is read.
    std::uint64_t size = 0;
#if defined(__unix__) || defined(__APPLE__)
    struct stat status = {};
    if (::fstat(::fileno(file.get()), &status) != 0) {
        result.error = SystemErrorText(errno);
        return result;
    }
    if (!S_ISREG(status.st_mode)) {
        result.error = S_ISDIR(status.st_mode) ? "it is a folder" : "not a regular file";
        return result;
    }
    size = static_cast<std::uint64_t>(status.st_size);
#else
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        result.error = "not a regular file";
        return result;
    }
    size = std::filesystem::file_size(path, ec);
#endif
    if (size > limit) {
        result.error = "the file has " + std::to_string(size) + " bytes, more than the " + std::to_string(limit) +
                       " that are read";
        return result;
    }
    std::string content;
    constexpr std::size_t CHUNK_SIZE = 64 * 1024;
    // Read in chunks up to one byte past the limit: a file that grew after the size check is still caught.
    for (;;) {
        const std::size_t oldSize = content.size();
        content.resize(oldSize + CHUNK_SIZE);
        const std::size_t got = std::fread(content.data() + oldSize, 1, CHUNK_SIZE, file.get());
        content.resize(oldSize + got);
        if (content.size() > limit) {
            result.error = "the file grew past the " + std::to_string(limit) + " bytes that are read";
            return result;
        }
        if (got < CHUNK_SIZE) {
            break;
        }
    }
    if (std::ferror(file.get()) != 0) {
        result.error = SystemErrorText(errno != 0 ? errno : EIO);
        return result;
    }
    result.bytes = std::move(content);
    return result;
}
