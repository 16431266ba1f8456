#include "pdb/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#if defined(_WIN32)
// clang-format off
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
// clang-format on
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
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

namespace {

#if defined(_WIN32)
std::optional<FileIdentity> IdentityOfHandle(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION information = {};
    if (handle == INVALID_HANDLE_VALUE || GetFileInformationByHandle(handle, &information) == 0) {
        return std::nullopt;
    }
    return FileIdentity{information.dwVolumeSerialNumber,
                        (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
}
#else
FileIdentity IdentityOfStatus(const struct stat& status)
{
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}
#endif

void CloseDescriptor(int descriptor)
{
#if defined(_WIN32)
    _close(descriptor);
#else
    ::close(descriptor);
#endif
}

} // namespace

std::optional<FileIdentity> IdentityOfFile(const std::filesystem::path& path)
{
#if defined(_WIN32)
    // Backup semantics let a folder be opened too; no access is asked for, only the file's information.
    const HANDLE handle = CreateFileW(path.c_str(),
                                      0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr,
                                      OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS,
                                      nullptr);
    const std::optional<FileIdentity> identity = IdentityOfHandle(handle);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
    return identity;
#else
    struct stat status = {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return IdentityOfStatus(status);
#endif
}

Result<CReadOnlyFile> CReadOnlyFile::Open(const std::filesystem::path& path)
{
#if defined(_WIN32)
    // Windows refuses to open a folder with "Permission denied"; the reason the user needs is the folder.
    if (std::error_code ec; std::filesystem::is_directory(path, ec)) {
        return MakeError(ErrorKind::Folder, "it is a folder");
    }
    const int descriptor = _wopen(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
#else
    // Non-blocking, so that a FIFO without a writer opens at once and is refused below instead of waiting.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
#endif
    if (descriptor < 0) {
        const int error = errno;
        return MakeError(error == ENOENT ? ErrorKind::NotFound : ErrorKind::System, SystemErrorText(error));
    }
    CReadOnlyFile file(descriptor, true);
    // What is checked is the open file, so that what is checked is what is read.
#if defined(_WIN32)
    struct _stat64 status = {};
    if (_fstat64(descriptor, &status) != 0) {
        return MakeError(ErrorKind::System, SystemErrorText(errno));
    }
    if ((status.st_mode & _S_IFMT) != _S_IFREG) {
        return MakeError(ErrorKind::Refused, "not a regular file");
    }
    file.m_identity = IdentityOfHandle(reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)));
#else
    struct stat status = {};
    if (::fstat(descriptor, &status) != 0) {
        return MakeError(ErrorKind::System, SystemErrorText(errno));
    }
    if (!S_ISREG(status.st_mode)) {
        return S_ISDIR(status.st_mode) ? MakeError(ErrorKind::Folder, "it is a folder")
                                       : MakeError(ErrorKind::Refused, "not a regular file");
    }
    file.m_identity = IdentityOfStatus(status);
#endif
    file.m_size = static_cast<std::uint64_t>(status.st_size);
    return file;
}

CReadOnlyFile CReadOnlyFile::StandardInput()
{
#if defined(_WIN32)
    _setmode(0, _O_BINARY); // the bytes as they come, CR LF included
#endif
    return CReadOnlyFile(0, false);
}

CReadOnlyFile::CReadOnlyFile(CReadOnlyFile&& other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1))
    , m_owned(other.m_owned)
    , m_size(other.m_size)
    , m_identity(other.m_identity)
{}

CReadOnlyFile& CReadOnlyFile::operator=(CReadOnlyFile&& other) noexcept
{
    if (this != &other) {
        if (m_owned && m_descriptor >= 0) {
            CloseDescriptor(m_descriptor);
        }
        m_descriptor = std::exchange(other.m_descriptor, -1);
        m_owned = other.m_owned;
        m_size = other.m_size;
        m_identity = other.m_identity;
    }
    return *this;
}

CReadOnlyFile::~CReadOnlyFile()
{
    if (m_owned && m_descriptor >= 0) {
        CloseDescriptor(m_descriptor);
    }
}

Result<std::size_t> CReadOnlyFile::Read(void* buffer, std::size_t size)
{
    for (;;) {
#if defined(_WIN32)
        const int got = _read(m_descriptor, buffer, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
#else
        const ssize_t got = ::read(m_descriptor, buffer, size);
#endif
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            return MakeError(ErrorKind::System, SystemErrorText(errno));
        }
    }
}

Status CReadOnlyFile::ReadRest(std::string& bytes, std::size_t limit)
{
    constexpr std::size_t CHUNK_SIZE = 64 * 1024;
    for (;;) {
        // A regular file is asked for all that is left and one byte more, so that its end comes with the next
        // read; at most one byte past the limit is read, so a file that grew after the size check is caught.
        std::size_t wanted = m_size > bytes.size() ? static_cast<std::size_t>(m_size - bytes.size()) + 1 : CHUNK_SIZE;
        const std::size_t room = limit - bytes.size(); // never more is held than the limit
        wanted = room < wanted ? room + 1 : wanted;
        const std::size_t oldSize = bytes.size();
        bytes.resize(oldSize + wanted);
        const Result<std::size_t> got = Read(bytes.data() + oldSize, wanted);
        bytes.resize(oldSize + (got ? *got : 0));
        if (!got) {
            return got.error();
        }
        if (bytes.size() > limit) {
            return MakeError(ErrorKind::TooLarge,
                             (m_owned ? "the file grew past the " : "the input holds more than the ") +
                                 std::to_string(limit) + " bytes that are read");
        }
        if (*got == 0) {
            return {};
        }
    }
}

std::string TooLargeCause(std::uint64_t size, std::size_t limit)
{
    return "the file has " + std::to_string(size) + " bytes, more than the " + std::to_string(limit) + " that are read";
}

Result<std::string> ReadWholeFile(const std::filesystem::path& path, std::size_t limit)
{
    Result<CReadOnlyFile> file = CReadOnlyFile::Open(path);
    if (!file) {
        return file.error();
    }
    if (file->Size() > limit) {
        return MakeError(ErrorKind::TooLarge, TooLargeCause(file->Size(), limit));
    }
    std::string content;
    if (const Status read = file->ReadRest(content, limit); !read) {
        return read.error();
    }
    return content;
}
