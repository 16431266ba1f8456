// The command line refuses what would lose a file, and says what it replaced.

#include "jobs/TuneloreDatabase.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDatabase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <utility>
#include <vector>

namespace {

using namespace std::string_literals;

class CliSafetyTest : public ::testing::Test
{
protected:
    // Runs tunelore-cli in the temporary folder; the status, and standard error in `err`.
    int Run(const std::vector<std::string>& args)
    {
        std::string command = "cd '" + m_dir.Str() + "' && SOURCE_DATE_EPOCH=1136073600 '" TUNELORE_CLI "'";
        for (const std::string& arg : args) {
            command += " '" + arg + "'";
        }
        const int raw = std::system((command + " >/dev/null 2>stderr.txt").c_str());
        err = ReadFileBytes(m_dir.File("stderr.txt")).value_or("");
        std::filesystem::remove(m_dir.File("stderr.txt"));
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::string File(const std::string& name) const { return ReadFileBytes(m_dir.File(name)).value_or("(none)"); }

    TempDir m_dir;
    std::string err;
};

TEST_F(CliSafetyTest, OutputsThatAreInputsAndFilesThatAreNoSongsAreRefused)
{
    WriteFileBytes(m_dir.File("song.pro"), "{t:Song}\n");
    WriteFileBytes(m_dir.File("bin.pro"), "EL\0F"s);
    std::filesystem::create_symlink("song.pro", m_dir.File("link.pro"));
    WriteTestDatabase(m_dir.File("hand.pdb"), TUNELORE_CREATOR, CHORD_DB_TYPE, {"\3\2\0\0\0\3\0\0G\0"s});
    const std::string handheld = File("hand.pdb");
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"build", "-o", "song.pro", "song.pro"}, "song.pro is the same file as the input song.pro"},
        {{"build", "-o", "./link.pro", "bin.pro", "song.pro"}, "./link.pro is the same file as the input song.pro"},
        {{"build", "-o", "new.pdb", "song.pro", "bin.pro"}, "bin.pro is not a song or text file"},
        {{"extract", "hand.pdb", "../" + m_dir.Path().filename().string() + "/hand.pdb"}, "same file as the input"},
        {{"build", "-o", "no\x1B[2J/x.pdb", "song.pro"}, "Can't write file no\\x1B[2J/x.pdb: No such file"},
    };
    for (const auto& [args, message] : refused) {
        EXPECT_EQ(Run(args), 1) << args[2];
        EXPECT_NE(err.find(message), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
    EXPECT_EQ(File("song.pro") + File("hand.pdb"), "{t:Song}\n" + handheld);
    EXPECT_EQ(FolderEntries(m_dir.Path()), (std::vector<std::string>{"bin.pro", "hand.pdb", "link.pro", "song.pro"}));
}

TEST_F(CliSafetyTest, ExtractNamesReplacedFilesOrKeepsThem)
{
    WriteFileBytes(m_dir.File("song.pro"), "{t:Song}\n");
    ASSERT_EQ(Run({"build", "-o", "import.pdb", "song.pro"}), 0) << err;
    ASSERT_EQ(Run({"extract", "import.pdb", "out"}), 0) << err;
    EXPECT_EQ(std::pair(Run({"extract", "import.pdb", "out"}), err), std::pair(0, ""s)); // the same file: no word
    WriteFileBytes(m_dir.File("out/Song.pro"), "edited");
    EXPECT_EQ(Run({"extract", "--keep-existing", "import.pdb", "out"}), 0);
    EXPECT_EQ(File("out/Song.pro") + "|" + File("out/Song (2).pro") + "|" + err, "edited|{t:Song}\r\n|");
    EXPECT_EQ(Run({"extract", "import.pdb", "out"}), 0);
    EXPECT_EQ(File("out/Song.pro") + "|" + err,
              "{t:Song}\r\n|tunelore-cli: note: replaced out/Song.pro, which held a different text\n");
}

} // namespace
