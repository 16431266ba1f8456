#include "platform/NewFile.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

Error SystemError(int error)
{
    return MakeError(error == EEXIST ? ErrorKind::Exists : ErrorKind::System, std::generic_category().message(error));
}

// Creates a new file for writing, never opening one that exists; -1 and errno when it cannot.
int CreateExclusively(const std::filesystem::path& path)
{
#if defined(_WIN32)
    int fd = -1;
    errno = _wsopen_s(&fd, path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
    return fd;
#else
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
#endif
}

// Writes all of `bytes` to `fd`, flushes it to the disk and closes it; 0 or the errno of the first failure.
int WriteAndClose(int fd, std::string_view bytes)
{
    int failure = 0;
    while (!bytes.empty() && failure == 0) {
#if defined(_WIN32)
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1u << 30));
        const int written = _write(fd, bytes.data(), static_cast<unsigned>(chunk));
#else
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
#endif
        if (written < 0 && errno != EINTR) {
            failure = errno;
        } else if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
    }
#if defined(_WIN32)
    if (failure == 0 && _commit(fd) != 0) {
        failure = errno;
    }
    if (_close(fd) != 0 && failure == 0) {
        failure = errno;
    }
#else
    if (failure == 0 && ::fsync(fd) != 0) {
        failure = errno;
    }
    if (::close(fd) != 0 && failure == 0) {
        failure = errno;
    }
#endif
    return failure;
}

} // namespace

Status WriteNewFile(const std::filesystem::path& path, std::string_view bytes)
{
    const int fd = CreateExclusively(path);
    if (fd < 0) {
        return SystemError(errno);
    }
    if (const int failure = WriteAndClose(fd, bytes); failure != 0) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return SystemError(failure);
    }
    return {};
}

Status MakePrivateFolder(const std::filesystem::path& path)
{
#if defined(_WIN32)
    std::error_code error;
    if (!std::filesystem::create_directory(path, error) && error) {
        return MakeError(ErrorKind::System, error.message());
    }
#else
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return SystemError(errno);
    }
#endif
    return {};
}
