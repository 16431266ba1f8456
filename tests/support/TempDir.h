#pragma once

#include "pdb/FileIo.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// Paths in these helpers are UTF-8 strings, as the program takes them; they become std::filesystem::path
// through PathFromUtf8, so that accented names reach Windows' wide-character file functions intact.

// A fresh folder under the system's temporary folder, with a name no other run has and open to its owner
// alone, removed with everything in it when the object ends.
class TempDir
{
public:
    TempDir()
    {
        std::random_device random; // create_directory takes a name only when no one else has it
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            const auto candidate =
                std::filesystem::temp_directory_path() / ("tunelore-test-" + std::to_string(random()));
            m_path = std::filesystem::create_directory(candidate) ? candidate : m_path;
        }
        if (m_path.empty()) {
            throw std::runtime_error("cannot create a temporary folder");
        }
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }

    const std::filesystem::path& Path() const { return m_path; }
    // The folder as a string, without a trailing separator.
    std::string Str() const { return Utf8FromPath(m_path); }
    // A path inside the folder.
    std::string File(std::string_view name) const { return Utf8FromPath(m_path / PathFromUtf8(name)); }

private:
    std::filesystem::path m_path;
};

// The bytes of a file, or nullopt when it cannot be read.
inline std::optional<std::string> ReadFileBytes(const std::string& path)
{
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    return in ? std::optional(std::string(std::istreambuf_iterator<char>(in), {})) : std::nullopt;
}

inline void WriteFileBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
        throw std::runtime_error("cannot write " + path);
    }
}

// Names of the entries of a folder, sorted.
inline std::vector<std::string> FolderEntries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        names.push_back(Utf8FromPath(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}
