#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "platform/Result.h"

// Whether the new file's bytes reach the disk before the rename, and the folder's new entry after it. Synced
// survives a power cut; Unsynced still never leaves a half-written file under the target name, and is many
// times faster for thousands of small files that can be written again from their source.
enum class FileDurability
{
    Synced,
    Unsynced,
};

// What a target that is a symbolic link means.
enum class LinkPolicy
{
    // The file the link leads to (through a chain of links) is written, atomically beside that file; the link
    // stays as it is.
    Follow,
    // The link itself is replaced by the new file; nothing it points to is touched. For files written into a
    // folder under names of the program's choosing, so that nothing outside the folder is written.
    Replace,
};

// Whether a write first removes the temporary files that dead writers of the same target left. A caller that
// writes many files into one folder removes them all at once with RemoveAbandonedTemporaryFiles(folder) and
// skips the look before each write, which would otherwise cost a few system calls a file.
enum class LeftoverCheck
{
    EachWrite,
    DoneForFolder,
};

// Writes `bytes` to `path` through a temporary file beside it, renamed over the target only after everything
// was written and flushed. An existing target keeps its permission bits; one that is not a regular file
// (a folder, a device, a FIFO, a socket) or has no write permission for the user in its mode bits is refused
// without writing anything. On any failure the temporary file is removed and an existing file at `path` is
// left as it was; the one exception is a Synced write whose folder cannot be synced after the rename, which
// reports the cause although the new file is in place.
//
// The temporary file has a short hidden name made from a hash of the target's name, so it fits wherever the
// target's name fits. Temporary files that a writer of the same target left behind (killed, or crashed) are
// removed before writing; one a live writer still holds is left alone. A failure's text is the cause in the
// system's words ("No space left on device", "Permission denied", "the file is read-only", ...).
Status WriteFileAtomically(const std::filesystem::path& path,
                           std::span<const std::uint8_t> bytes,
                           FileDurability durability = FileDurability::Synced,
                           LinkPolicy links = LinkPolicy::Follow,
                           LeftoverCheck leftovers = LeftoverCheck::EachWrite);
Status WriteFileAtomically(const std::filesystem::path& path,
                           std::string_view bytes,
                           FileDurability durability = FileDurability::Synced,
                           LinkPolicy links = LinkPolicy::Follow,
                           LeftoverCheck leftovers = LeftoverCheck::EachWrite);

// Removes the temporary files in `folder` that writers of any target there left behind and no live writer
// holds. Nothing else in the folder is touched.
void RemoveAbandonedTemporaryFiles(const std::filesystem::path& folder);

// An exclusive advisory lock on a lock file, held until the object ends. Writers that read a file, change it
// and write it back take the lock on a lock file beside it across all three steps, so that no writer's change
// is lost to another's. Only writers that take the same lock wait for each other.
class CFileLock
{
public:
    // Creates `lockPath` when missing (mode 0600, never through a link) and waits until the lock is granted.
    // `error` says why not, in the system's words; the object then holds nothing.
    explicit CFileLock(const std::filesystem::path& lockPath);
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;
    ~CFileLock();

    explicit operator bool() const { return m_fd >= 0; }
    const std::string& Error() const { return m_error; }

private:
    int m_fd = -1;
    std::string m_error;
};

// Makes SIGINT, SIGTERM and SIGHUP remove the temporary file of a write in progress before the process ends
// as the signal demands. Signals that are ignored or already handled when it is called are left as they are.
// Call once, early in main. Does nothing on Windows.
void InstallTemporaryFileCleanup();
