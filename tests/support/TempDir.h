#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>
#if defined(_WIN32)
#include <random>
#else
#include <unistd.h>
#endif

// A new folder with a name no other run has, under the system's temporary folder.
inline std::filesystem::path MakeTempFolder()
{
#if defined(_WIN32)
    // No mkdtemp: a random name, taken only when create_directory made the folder.
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate =
            std::filesystem::temp_directory_path() / ("tunelore-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            return candidate;
        }
    }
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "tunelore-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
        return pattern;
    }
#endif
    throw std::runtime_error("cannot create a temporary folder");
}

// A fresh folder under the system's temporary folder, removed with everything in it when the object ends.
class TempDir
{
public:
    TempDir()
        : m_path(MakeTempFolder())
    {}
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }

    const std::filesystem::path& Path() const { return m_path; }
    // The folder as a string, without a trailing separator.
    std::string Str() const { return m_path.string(); }
    // A path inside the folder.
    std::string File(std::string_view name) const { return (m_path / std::string(name)).string(); }

private:
    std::filesystem::path m_path;
};

// The bytes of a file, or nullopt when it cannot be read.
inline std::optional<std::string> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

// Names of the entries of a folder, sorted.
inline std::vector<std::string> FolderEntries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}
