#pragma once

// Helpers shared by the pdb tests: a builder for hand-made .pdb byte images and a scratch folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace pdbtest {

using Bytes = std::vector<std::uint8_t>;

// Appends big-endian fields to a byte image, so tests spell out a file the way its layout is drawn.
class CImageBuilder
{
public:
    CImageBuilder& U8(std::uint32_t value)
    {
        m_bytes.push_back(static_cast<std::uint8_t>(value));
        return *this;
    }
    CImageBuilder& U16(std::uint32_t value) { return U8(value >> 8).U8(value); }
    CImageBuilder& U24(std::uint32_t value) { return U8(value >> 16).U16(value); }
    CImageBuilder& U32(std::uint32_t value) { return U16(value >> 16).U16(value); }
    CImageBuilder& Text(std::string_view text)
    {
        for (const char c : text) {
            U8(static_cast<unsigned char>(c));
        }
        return *this;
    }
    CImageBuilder& Fill(std::size_t count, std::uint8_t value = 0)
    {
        m_bytes.insert(m_bytes.end(), count, value);
        return *this;
    }
    // A 32-byte name field: the text, then zero bytes.
    CImageBuilder& Name(std::string_view name) { return Text(name).Fill(32 - name.size()); }
    // A whole 78-byte header with the usual fields and `count` records.
    CImageBuilder&
    Header(std::string_view name, std::uint16_t attributes, std::uint16_t count, std::uint32_t appInfoOffset = 0)
    {
        Name(name).U16(attributes).U16(1);
        U32(0xBFDCCC00).U32(0xBFDCCC01).U32(0xBFDCCC02); // dates
        U32(7);                                          // modification number
        U32(appInfoOffset).U32(0);                       // app info, sort info
        Text("SONG").Text("TuNe").U32(0x00ABCDEF).U32(0);
        return U16(count);
    }
    CImageBuilder& RecordEntry(std::uint32_t offset, std::uint8_t attributes = 0, std::uint32_t uniqueId = 0)
    {
        return U32(offset).U8(attributes).U24(uniqueId);
    }
    CImageBuilder& ResourceEntry(std::string_view type, std::uint16_t id, std::uint32_t offset)
    {
        return Text(type).U16(id).U32(offset);
    }

    std::size_t Size() const { return m_bytes.size(); }
    const Bytes& Get() const { return m_bytes; }

private:
    Bytes m_bytes;
};

inline Bytes ToBytes(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

inline Bytes ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

// A fresh, empty folder under the system's temporary folder, removed with everything in it afterwards.
class ScratchFolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::random_device device;
        m_folder = std::filesystem::temp_directory_path() / ("tunelore-pdb-test-" + std::to_string(device()));
        ASSERT_TRUE(std::filesystem::create_directory(m_folder)) << m_folder;
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
    }

    std::string PathOf(const std::string& name) const { return (m_folder / name).string(); }

    // The names of everything in the folder, sorted, to see that no temporary file was left behind.
    std::vector<std::string> FolderEntries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path m_folder;
};

} // namespace pdbtest
