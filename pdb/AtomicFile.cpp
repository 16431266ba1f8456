#include "pdb/AtomicFile.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <system_error>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// A name for the temporary file beside `target` that no other writer is likely to pick.
fs::path TemporaryPathFor(const fs::path& target, unsigned attempt)
{
    static std::atomic<unsigned> counter{0};
    static const std::uint64_t salt = [] {
        std::random_device device;
        return (static_cast<std::uint64_t>(device()) << 32) ^
               static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }();
    const std::uint64_t tag = salt + 0x9E3779B97F4A7C15ull * (counter.fetch_add(1) + attempt);
    fs::path temp = target;
    temp += ".tmp-" + std::to_string(tag % 1000000000ull);
    return temp;
}

// Creates a new file that did not exist before ("x": never reuses or truncates somebody else's file).
FilePtr CreateTemporaryFile(const fs::path& target, fs::path& tempPath)
{
    constexpr unsigned ATTEMPTS = 16;
    for (unsigned attempt = 0; attempt < ATTEMPTS; ++attempt) {
        tempPath = TemporaryPathFor(target, attempt);
#if defined(_WIN32)
        FilePtr file(_wfopen(tempPath.c_str(), L"wbx"));
#else
        FilePtr file(std::fopen(tempPath.c_str(), "wbx"));
#endif
        if (file) {
            return file;
        }
        std::error_code ec;
        if (!fs::exists(tempPath, ec)) {
            return nullptr; // the folder is missing or not writable; another name will not help
        }
    }
    return nullptr;
}

// Writes, flushes and closes; false when any step reports an error.
bool WriteAndClose(FilePtr file, const std::uint8_t* data, std::size_t size, FileDurability durability)
{
    bool ok = size == 0 || std::fwrite(data, 1, size, file.get()) == size;
    ok = ok && std::fflush(file.get()) == 0 && std::ferror(file.get()) == 0;
#if defined(__unix__) || defined(__APPLE__)
    // The bytes must be on the disk before the rename makes them the file at the target path.
    ok = ok && (durability == FileDurability::Unsynced || ::fsync(::fileno(file.get())) == 0);
#else
    (void)durability;
#endif
    return std::fclose(file.release()) == 0 && ok;
}

bool WriteBytesAtomically(const std::string& path,
                          const std::uint8_t* data,
                          std::size_t size,
                          FileDurability durability)
{
    const fs::path target(path);
    if (target.filename().empty()) {
        return false; // a path ending in a separator names a folder
    }
    // A target that is a folder fails at the rename, after the temporary file was written, and is cleaned up
    // like any other failure.
    std::error_code ec;
    fs::path tempPath;
    FilePtr file = CreateTemporaryFile(target, tempPath);
    if (!file) {
        return false;
    }
    if (!WriteAndClose(std::move(file), data, size, durability)) {
        fs::remove(tempPath, ec);
        return false;
    }
    fs::rename(tempPath, target, ec);
    if (ec) {
        fs::remove(tempPath, ec);
        return false;
    }
    return true;
}

} // namespace

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, FileDurability durability)
{
    return WriteBytesAtomically(path, bytes.data(), bytes.size(), durability);
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, FileDurability durability)
{
    // Reading chars as unsigned bytes is the one aliasing the language allows in both directions.
    return WriteBytesAtomically(path, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), durability);
}
