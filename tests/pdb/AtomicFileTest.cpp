#include "pdb/AtomicFile.h"

#include "pdb/PalmDatabase.h"
#include "tests/pdb/PdbTestSupport.h"

#if defined(__unix__)
#include <csignal>
#include <sys/resource.h>
#endif

#include <gtest/gtest.h>

namespace {

using pdbtest::Bytes;

class AtomicFile : public pdbtest::ScratchFolderTest
{
};

TEST_F(AtomicFile, WritesANewFileAndReplacesAnOldOne)
{
    const std::string path = PathOf("out.pdb");
    const Bytes first = {0x00, 0xFF, 0x0D, 0x0A, 0x1A, 0x00};
    ASSERT_TRUE(WriteFileAtomically(path, first));
    EXPECT_EQ(pdbtest::ReadFileBytes(path), first);

    // A shorter content replaces the longer one completely.
    ASSERT_TRUE(WriteFileAtomically(path, std::string_view("ab")));
    EXPECT_EQ(pdbtest::ReadFileBytes(path), pdbtest::ToBytes("ab"));

    ASSERT_TRUE(WriteFileAtomically(path, std::span<const std::uint8_t>{}));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"out.pdb"}) << "no temporary file is left behind";
}

TEST_F(AtomicFile, TargetThatIsAFolderIsLeftAsItWas)
{
    const auto folder = m_folder / "taken.pdb";
    std::filesystem::create_directory(folder);
    pdbtest::WriteFileBytes(folder / "inside.txt", pdbtest::ToBytes("keep"));

    EXPECT_FALSE(WriteFileAtomically(folder.string(), std::string_view("new content")));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(pdbtest::ReadFileBytes(folder / "inside.txt"), pdbtest::ToBytes("keep"));
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"taken.pdb"});

    // An empty folder too: renaming a file over it must fail rather than replace it.
    std::filesystem::remove(folder / "inside.txt");
    EXPECT_FALSE(WriteFileAtomically(folder.string(), std::string_view("new content")));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"taken.pdb"});
}

TEST_F(AtomicFile, MissingFolderFailsWithoutCreatingAnything)
{
    EXPECT_FALSE(WriteFileAtomically(PathOf("no-such-folder/out.pdb"), std::string_view("x")));
    EXPECT_FALSE(std::filesystem::exists(m_folder / "no-such-folder"));
    EXPECT_TRUE(FolderEntries().empty());
    EXPECT_FALSE(WriteFileAtomically(PathOf("ends-in-separator/"), std::string_view("x")));
    EXPECT_TRUE(FolderEntries().empty());
}

#if defined(__unix__)
// A write that fails halfway (here: the process may not make files larger than 1000 bytes) must leave the
// earlier file whole and remove the partly written temporary file.
TEST_F(AtomicFile, FailedWriteKeepsTheEarlierFile)
{
    const std::string path = PathOf("song.pdb");
    const Bytes earlier = pdbtest::ToBytes("earlier content");
    pdbtest::WriteFileBytes(path, earlier);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN); // report EFBIG instead of ending the process
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WriteFileAtomically(path, Bytes(5000, 0x41));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(pdbtest::ReadFileBytes(path), earlier);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"song.pdb"});
}
#endif

TEST_F(AtomicFile, WriteToFileFailureKeepsTheEarlierFile)
{
    const std::string path = PathOf("TuneloreDB1.pdb");
    const Bytes earlier = pdbtest::ToBytes("an older database");
    pdbtest::WriteFileBytes(path, earlier);

    CPalmDatabase tooMany("TuneloreDB1", MakeFourCC("TuNe"), MakeFourCC("SONM"), false, 0);
    for (std::size_t i = 0; i <= PDB_MAX_RECORDS; ++i) {
        tooMany.AddRecord(CPdbRecord{});
    }
    EXPECT_EQ(tooMany.WriteToFile(path), -1);
    EXPECT_EQ(tooMany.WriteToFile(PathOf("fresh.pdb")), -1);
    EXPECT_EQ(pdbtest::ReadFileBytes(path), earlier);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"TuneloreDB1.pdb"});

    CPalmDatabase fine("TuneloreDB1", MakeFourCC("TuNe"), MakeFourCC("SONM"), false, 0);
    EXPECT_EQ(fine.WriteToFile(PathOf("missing/TuneloreDB1.pdb")), -1);
    std::filesystem::create_directory(m_folder / "folder.pdb");
    EXPECT_EQ(fine.WriteToFile(PathOf("folder.pdb")), -1);
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"TuneloreDB1.pdb", "folder.pdb"}));
    EXPECT_EQ(fine.WriteToFile(path), 0);
    EXPECT_EQ(pdbtest::ReadFileBytes(path), fine.Serialize().value());
}

TEST_F(AtomicFile, ReadWholeFileGivesEveryByte)
{
    Bytes content;
    for (std::size_t i = 0; i < 200000; ++i) {
        content.push_back(static_cast<std::uint8_t>(i * 31 + i / 256));
    }
    const std::string path = PathOf("blob");
    pdbtest::WriteFileBytes(path, content);
    std::string read;
    ASSERT_TRUE(ReadWholeFile(path, read));
    EXPECT_EQ(pdbtest::ToBytes(read), content);

    pdbtest::WriteFileBytes(path, {});
    read = "stale";
    ASSERT_TRUE(ReadWholeFile(path, read));
    EXPECT_EQ(read, "");
}

TEST_F(AtomicFile, ReadWholeFileRefusesMissingFilesAndFolders)
{
    std::string read = "untouched";
    EXPECT_FALSE(ReadWholeFile(PathOf("missing"), read));
    EXPECT_FALSE(ReadWholeFile(m_folder.string(), read));
    EXPECT_EQ(read, "untouched");
}

} // namespace
