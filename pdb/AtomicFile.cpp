#include "pdb/AtomicFile.h"

#include "pdb/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <system_error>
#include <type_traits>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/locking.h>
#include <sys/stat.h>
#else
#include <atomic>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// Temporary names per target: concurrent writers of one target take different slots.
constexpr unsigned TEMPORARY_SLOTS = 6;
// Links followed before giving up, as the kernel does.
constexpr int MAX_LINK_HOPS = 40;

Status Success()
{
    return {};
}

Status Failure(std::string cause)
{
    return MakeError(ErrorKind::System, std::move(cause));
}

std::string SystemText(std::errc error)
{
    return std::make_error_code(error).message();
}

// ".tunelore-" + 16 hex digits of a hash of the target's name + "-" + slot + ".tmp". Hidden, 32 bytes however
// long the target's name is, and the same for every writer of that target, so that what a dead writer left
// is found by trying the few names instead of listing a folder that may hold thousands of files.
std::string TemporaryName(const fs::path& targetName, unsigned slot)
{
    std::uint64_t hash = 0xCBF29CE484222325ull; // FNV-1a over the name's code units
    for (const fs::path::value_type unit : targetName.native()) {
        hash ^= static_cast<std::make_unsigned_t<fs::path::value_type>>(unit);
        hash *= 0x100000001B3ull;
    }
    std::string name = ".tunelore-0123456789abcdef-" + std::to_string(slot) + ".tmp";
    for (std::size_t i = 0; i < 16; ++i) {
        name[10 + i] = "0123456789abcdef"[(hash >> (60 - 4 * i)) & 0xF];
    }
    return name;
}

// Whether `name` is one that TemporaryName gives: ".tunelore-", 16 hex digits, "-", a slot, ".tmp".
bool IsTemporaryName(const fs::path& name)
{
    static_assert(TEMPORARY_SLOTS <= 10, "one digit a slot");
    constexpr std::string_view SHAPE = ".tunelore-################-*.tmp"; // # a hex digit, * the slot
    const fs::path::string_type& units = name.native();
    if (units.size() != SHAPE.size()) {
        return false;
    }
    for (std::size_t i = 0; i < SHAPE.size(); ++i) {
        const auto unit = units[i];
        const bool fits = SHAPE[i] == '#'   ? (unit >= '0' && unit <= '9') || (unit >= 'a' && unit <= 'f')
                          : SHAPE[i] == '*' ? unit >= '0' && unit < static_cast<int>('0' + TEMPORARY_SLOTS)
                                            : unit == static_cast<unsigned char>(SHAPE[i]);
        if (!fits) {
            return false;
        }
    }
    return true;
}

// Replaces `path` by the path that the chain of symbolic links at `path` leads to (which need not exist);
// a relative link is read from the folder holding the link.
Status FollowLinks(fs::path& path)
{
    for (int hop = 0; hop <= MAX_LINK_HOPS; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec))) {
            return Success();
        }
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) {
            return Failure(ec.message());
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return Failure(SystemText(std::errc::too_many_symbolic_link_levels));
}

const char* const READ_ONLY = "the file is read-only";

#if !defined(_WIN32)

// An open file descriptor, closed when the object ends.
class CDescriptor
{
public:
    explicit CDescriptor(int fd = -1)
        : m_fd(fd)
    {}
    CDescriptor(const CDescriptor&) = delete;
    CDescriptor& operator=(const CDescriptor&) = delete;
    CDescriptor(CDescriptor&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {}
    CDescriptor& operator=(CDescriptor&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~CDescriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    int Get() const { return m_fd; }

private:
    int m_fd;
};

// The temporary files being written, for the signal handler. Each entry holds a folder descriptor and a
// temporary name (always short), so the handler needs no memory of its own and can call unlinkat.
struct InFlightFile
{
    static constexpr int FREE = 0, FILLING = 1, ARMED = 2, TAKEN = 3;
    std::atomic<int> state{FREE};
    int folder = -1;
    char name[48] = {};
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler may only use lock-free atomics");
InFlightFile g_inFlight[8];

// Registers a temporary file with the signal handler for as long as the object lives or until Disarm.
// When every entry is taken (many threads writing at once) the file is simply not registered: a later write
// of the same target removes it.
class CInFlightRegistration
{
public:
    CInFlightRegistration(int folder, const std::string& name)
    {
        for (InFlightFile& entry : g_inFlight) {
            int expected = InFlightFile::FREE;
            if (name.size() < sizeof entry.name &&
                entry.state.compare_exchange_strong(expected, InFlightFile::FILLING)) {
                entry.folder = folder;
                std::memcpy(entry.name, name.c_str(), name.size() + 1);
                entry.state.store(InFlightFile::ARMED);
                m_entry = &entry;
                return;
            }
        }
    }
    CInFlightRegistration(const CInFlightRegistration&) = delete;
    CInFlightRegistration& operator=(const CInFlightRegistration&) = delete;
    ~CInFlightRegistration() { Disarm(); }

    // From here on a signal leaves the file behind: the rename may already have given its name away.
    void Disarm()
    {
        if (m_entry != nullptr) {
            int armed = InFlightFile::ARMED;
            m_entry->state.compare_exchange_strong(armed, InFlightFile::FREE);
            m_entry = nullptr;
        }
    }

private:
    InFlightFile* m_entry = nullptr;
};

// Holds back SIGINT, SIGTERM and SIGHUP while it lives, so that the handler never runs between a temporary
// file's creation and its registration, or between its disarming and the rename or removal that ends it.
// A signal that arrives meanwhile is delivered when the object ends, when the registration says what to remove.
class CSignalsHeld
{
public:
    CSignalsHeld()
    {
        sigset_t held;
        sigemptyset(&held);
        sigaddset(&held, SIGINT);
        sigaddset(&held, SIGTERM);
        sigaddset(&held, SIGHUP);
        m_restore = ::pthread_sigmask(SIG_BLOCK, &held, &m_previous) == 0;
    }
    CSignalsHeld(const CSignalsHeld&) = delete;
    CSignalsHeld& operator=(const CSignalsHeld&) = delete;
    ~CSignalsHeld()
    {
        if (m_restore) {
            ::pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
        }
    }

private:
    sigset_t m_previous = {};
    bool m_restore = false;
};

void RemoveInFlightFilesAndEnd(int signal)
{
    for (InFlightFile& entry : g_inFlight) {
        int armed = InFlightFile::ARMED;
        if (entry.state.compare_exchange_strong(armed, InFlightFile::TAKEN)) {
            ::unlinkat(entry.folder, entry.name, 0);
        }
    }
    // The default action (ending the process) happens once the handler returns and unblocks the signal.
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    ::raise(signal);
}

std::string ErrnoText()
{
    return std::generic_category().message(errno);
}

// Whether the mode bits deny the user writing. Root may write anyway, but a file marked read-only is the
// user's way of keeping it, so the bits decide, not access().
bool IsReadOnly(const struct stat& info)
{
    const uid_t user = ::geteuid();
    if (info.st_uid == user) {
        return (info.st_mode & S_IWUSR) == 0;
    }
    if (user == 0) {
        return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    }
    bool inGroup = info.st_gid == ::getegid();
    const int count = ::getgroups(0, nullptr);
    if (!inGroup && count > 0) {
        std::vector<gid_t> groups(static_cast<std::size_t>(count));
        const int got = ::getgroups(count, groups.data());
        inGroup = std::find(groups.begin(), groups.begin() + std::max(got, 0), info.st_gid) != groups.end();
    }
    return (info.st_mode & (inGroup ? S_IWGRP : S_IWOTH)) == 0;
}

// Why an existing target of this kind is not replaced; empty for a regular file.
std::string KindRefusal(mode_t mode)
{
    if (S_ISREG(mode)) {
        return {};
    }
    if (S_ISDIR(mode)) {
        return SystemText(std::errc::is_a_directory);
    }
    return S_ISCHR(mode) || S_ISBLK(mode) ? "not a regular file but a device"
           : S_ISFIFO(mode)               ? "not a regular file but a FIFO"
           : S_ISSOCK(mode)               ? "not a regular file but a socket"
                                          : "not a regular file";
}

// Whether `name` in `folder` is still the file open as `fd` (and was not removed or replaced meanwhile).
bool StillNamed(int folder, const char* name, int fd)
{
    struct stat named = {};
    struct stat opened = {};
    return ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &opened) == 0 &&
           named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

// Removes the temporary files of `targetName` that no live writer holds. A writer keeps an exclusive lock
// on its temporary file until the rename; the system drops the lock when the process ends however it ends,
// so a file that can be locked belongs to a writer that is gone.
void RemoveIfAbandoned(int folder, const char* name)
{
    const CDescriptor file(::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info = {};
    if (file.Get() < 0 || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return;
    }
    if (::flock(file.Get(), LOCK_EX | LOCK_NB) == 0 && StillNamed(folder, name, file.Get())) {
        ::unlinkat(folder, name, 0);
    }
}

void RemoveAbandonedTemporaryFiles(int folder, const fs::path& targetName)
{
    for (unsigned slot = 0; slot < TEMPORARY_SLOTS; ++slot) {
        RemoveIfAbandoned(folder, TemporaryName(targetName, slot).c_str());
    }
}

// Creates a new temporary file for `targetName` in `folder` under the first free slot, locked (see above).
// `fd` is -1 and the result holds the cause when no file could be made.
Status CreateTemporaryFile(int folder, const fs::path& targetName, mode_t mode, CDescriptor& fd, std::string& tempName)
{
    for (unsigned slot = 0; slot < TEMPORARY_SLOTS; ++slot) {
        tempName = TemporaryName(targetName, slot);
        // O_EXCL never reuses somebody else's file, and never follows a link under the name.
        constexpr int CREATE_NEW = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
        CDescriptor file(::openat(folder, tempName.c_str(), CREATE_NEW, mode));
        if (file.Get() < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return Failure(ErrnoText());
        }
        // A writer cleaning up took the new file for abandoned before it was locked, and removes it. A file
        // system without locks leaves the file unlocked; nobody can then lock it either, so nobody removes it.
        const bool lostToCleanup = ::flock(file.Get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        if (lostToCleanup || !StillNamed(folder, tempName.c_str(), file.Get())) {
            continue;
        }
        fd = std::move(file);
        return Success();
    }
    return Failure("every temporary name beside it is in use by another writer");
}

Status WriteAll(int fd, const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t MAX_CHUNK = std::size_t{1} << 30;
    while (size > 0) {
        const ssize_t written = ::write(fd, data, std::min(size, MAX_CHUNK));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return Failure(written < 0 ? ErrnoText() : SystemText(std::errc::io_error));
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return Success();
}

// Opens the folder that will hold the target, for the *at calls and for syncing it. A folder the user may
// write into but not list opens without the right to sync it; `canSync` then says false.
CDescriptor OpenFolder(const fs::path& folder, bool& canSync)
{
    canSync = true;
    CDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
#if defined(O_PATH)
    if (fd.Get() < 0 && errno == EACCES) {
        canSync = false;
        fd = CDescriptor(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
#endif
    return fd;
}

Status WriteBytesAtomically(const fs::path& path,
                            const std::uint8_t* data,
                            std::size_t size,
                            FileDurability durability,
                            LinkPolicy links,
                            LeftoverCheck leftovers)
{
    if (path.filename().empty()) {
        return Failure(SystemText(std::errc::is_a_directory)); // a path ending in a separator names a folder
    }
    fs::path target = path;
    if (links == LinkPolicy::Follow) {
        if (Status followed = FollowLinks(target); !followed) {
            return followed;
        }
    }

    // A new file gets the usual mode (0666 less the umask); a replaced one keeps its bits, and is written
    // privately until then.
    mode_t createMode = 0666;
    bool keepMode = false;
    struct stat existing = {};
    if (::lstat(target.c_str(), &existing) == 0) {
        const bool linkToReplace = S_ISLNK(existing.st_mode) && links == LinkPolicy::Replace;
        if (!linkToReplace) {
            if (std::string refusal = KindRefusal(existing.st_mode); !refusal.empty()) {
                return Failure(std::move(refusal));
            }
            if (IsReadOnly(existing)) {
                return Failure(READ_ONLY);
            }
            createMode = 0600;
            keepMode = true;
        }
    } else if (errno != ENOENT) {
        return Failure(ErrnoText());
    }

    const fs::path parent = target.parent_path();
    bool canSyncFolder = true;
    const CDescriptor folder = OpenFolder(parent.empty() ? fs::path(".") : parent, canSyncFolder);
    if (folder.Get() < 0) {
        return Failure(ErrnoText());
    }
    const fs::path name = target.filename();
    if (leftovers == LeftoverCheck::EachWrite) {
        RemoveAbandonedTemporaryFiles(folder.Get(), name);
    }

    CDescriptor file;
    std::string tempName;
    std::optional<CSignalsHeld> held(std::in_place);
    if (Status created = CreateTemporaryFile(folder.Get(), name, createMode, file, tempName); !created) {
        return created;
    }
    CInFlightRegistration inFlight(folder.Get(), tempName);
    held.reset();
    Status result = WriteAll(file.Get(), data, size);
    if (result && keepMode && ::fchmod(file.Get(), existing.st_mode & 07777) != 0) {
        result = Failure(ErrnoText());
    }
    // The bytes must be on the disk before the rename makes them the file at the target path.
    if (result && durability == FileDurability::Synced && ::fsync(file.Get()) != 0) {
        result = Failure(ErrnoText());
    }
    // close() is where some file systems (NFS) report a failed write. Closing a duplicate asks the same
    // question while the lock, which belongs to the open file, stays until after the rename.
    if (result) {
        const int duplicate = ::dup(file.Get());
        if (duplicate < 0 || ::close(duplicate) != 0) {
            result = Failure(ErrnoText());
        }
    }
    held.emplace();
    inFlight.Disarm();
    if (result && ::renameat(folder.Get(), tempName.c_str(), folder.Get(), name.c_str()) != 0) {
        result = Failure(ErrnoText());
    }
    if (!result) {
        ::unlinkat(folder.Get(), tempName.c_str(), 0);
        return result;
    }
    held.reset();
    file = CDescriptor();
    // The new entry must be on the disk too, or a power cut can bring back the old file or none.
    if (durability == FileDurability::Synced && canSyncFolder && ::fsync(folder.Get()) != 0 && errno != EINVAL) {
        return Failure(ErrnoText());
    }
    return Success();
}

#else // _WIN32

// Writes, flushes and closes; the cause when any step reports an error.
Status WriteAndClose(FilePtr file, const std::uint8_t* data, std::size_t size, FileDurability durability)
{
    Status result = Success();
    if ((size != 0 && std::fwrite(data, 1, size, file.get()) != size) || std::fflush(file.get()) != 0 ||
        (durability == FileDurability::Synced && _commit(_fileno(file.get())) != 0)) {
        result = Failure(std::generic_category().message(errno));
    }
    if (std::fclose(file.release()) != 0 && result) {
        result = Failure(std::generic_category().message(errno));
    }
    return result;
}

Status WriteBytesAtomically(const fs::path& path,
                            const std::uint8_t* data,
                            std::size_t size,
                            FileDurability durability,
                            LinkPolicy links,
                            LeftoverCheck leftovers)
{
    if (path.filename().empty()) {
        return Failure(SystemText(std::errc::is_a_directory));
    }
    fs::path target = path;
    if (links == LinkPolicy::Follow) {
        if (Status followed = FollowLinks(target); !followed) {
            return followed;
        }
    }
    std::error_code ec;
    const fs::file_status existing = fs::symlink_status(target, ec);
    const bool keepMode = fs::exists(existing) && !(fs::is_symlink(existing) && links == LinkPolicy::Replace);
    if (keepMode) {
        if (fs::is_directory(existing)) {
            return Failure(SystemText(std::errc::is_a_directory));
        }
        if (!fs::is_regular_file(existing)) {
            return Failure("not a regular file");
        }
        if ((existing.permissions() & fs::perms::owner_write) == fs::perms::none) {
            return Failure(READ_ONLY);
        }
    }
    const fs::path folder = target.parent_path();
    // An open file cannot be removed here, so what goes is what no live writer holds open.
    for (unsigned slot = 0; slot < TEMPORARY_SLOTS && leftovers == LeftoverCheck::EachWrite; ++slot) {
        fs::remove(folder / TemporaryName(target.filename(), slot), ec);
    }
    fs::path tempPath;
    FilePtr file;
    for (unsigned slot = 0; slot < TEMPORARY_SLOTS && !file; ++slot) {
        tempPath = folder / TemporaryName(target.filename(), slot);
        file.reset(_wfopen(tempPath.c_str(), L"wbx"));
        if (!file && !fs::exists(tempPath, ec)) {
            return Failure(std::generic_category().message(errno));
        }
    }
    if (!file) {
        return Failure("every temporary name beside it is in use by another writer");
    }
    Status result = WriteAndClose(std::move(file), data, size, durability);
    if (result && keepMode) {
        fs::permissions(tempPath, existing.permissions(), ec);
    }
    if (result) {
        fs::rename(tempPath, target, ec);
        if (ec) {
            result = Failure(ec.message());
        }
    }
    if (!result) {
        fs::remove(tempPath, ec);
    }
    return result;
}

#endif

} // namespace

Status WriteFileAtomically(const fs::path& path,
                           std::span<const std::uint8_t> bytes,
                           FileDurability durability,
                           LinkPolicy links,
                           LeftoverCheck leftovers)
{
    return WriteBytesAtomically(path, bytes.data(), bytes.size(), durability, links, leftovers);
}

Status WriteFileAtomically(
    const fs::path& path, std::string_view bytes, FileDurability durability, LinkPolicy links, LeftoverCheck leftovers)
{
    // Reading chars as unsigned bytes is the one aliasing the language allows in both directions.
    return WriteBytesAtomically(
        path, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), durability, links, leftovers);
}

void RemoveAbandonedTemporaryFiles(const fs::path& folder)
{
    std::vector<fs::path> leftovers;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        if (IsTemporaryName(entry->path().filename())) {
            leftovers.push_back(entry->path().filename());
        }
    }
#if defined(_WIN32)
    for (const fs::path& name : leftovers) {
        fs::remove(folder / name, error); // fails for a file a live writer holds open
    }
#else
    bool canSync = true;
    const CDescriptor opened = OpenFolder(folder, canSync);
    for (const fs::path& name : leftovers) {
        if (opened.Get() >= 0) {
            RemoveIfAbandoned(opened.Get(), name.c_str());
        }
    }
#endif
}

CFileLock::CFileLock(const fs::path& lockPath)
{
#if defined(_WIN32)
    if (const errno_t failure = _wsopen_s(
            &m_fd, lockPath.c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT, _SH_DENYNO, _S_IREAD | _S_IWRITE);
        failure != 0) {
        m_fd = -1;
        m_error = std::generic_category().message(failure);
        return;
    }
    // _LK_LOCK tries once a second for ten seconds; a writer holds the lock for a few milliseconds.
    for (int round = 0; _locking(m_fd, _LK_LOCK, 1) != 0; ++round) {
        if (errno != EDEADLOCK || round == 2) {
            m_error = std::generic_category().message(errno);
            _close(m_fd);
            m_fd = -1;
            return;
        }
    }
#else
    m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        m_error = ErrnoText();
        return;
    }
    // flock, not fcntl: its lock belongs to this open file, so threads of one process wait for each other too.
    while (::flock(m_fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            m_error = ErrnoText();
            ::close(m_fd);
            m_fd = -1;
            return;
        }
    }
#endif
}

CFileLock::~CFileLock()
{
    if (m_fd >= 0) {
#if defined(_WIN32)
        _lseek(m_fd, 0, SEEK_SET);
        _locking(m_fd, _LK_UNLCK, 1);
        _close(m_fd);
#else
        ::close(m_fd); // drops the lock
#endif
    }
}

void InstallTemporaryFileCleanup()
{
#if !defined(_WIN32)
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current = {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) {
            continue; // ignored (nohup) or somebody else's
        }
        struct sigaction action = {};
        action.sa_handler = RemoveInFlightFilesAndEnd;
        sigemptyset(&action.sa_mask);
        sigaddset(&action.sa_mask, SIGINT);
        sigaddset(&action.sa_mask, SIGTERM);
        sigaddset(&action.sa_mask, SIGHUP);
        ::sigaction(signal, &action, nullptr);
    }
#endif
}
