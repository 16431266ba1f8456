#include "jobs/Export.h"

#include "jobs/FileChecks.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace std::string_literals;
using Texts = std::vector<LoadedText>;

Texts Loaded(std::initializer_list<std::string> texts)
{
    Texts loaded;
    for (const std::string& text : texts)
        loaded.push_back(LoadedText{text, {}, 0});
    return loaded;
}

TEST(Export, SaveToPathMakesNoOpenRequestAndAFailedWriteKeepsTheEarlierFile)
{
    TempDir dir;
    FakePlatform platform;
    const std::string target = dir.File("out.pdb");
    EXPECT_EQ(ExportLoadedTexts({}, target, platform, ExportOptions{"Mine"}).value_or(""), target);
    const std::string earlier = ReadFileBytes(target).value();
    EXPECT_EQ(earlier.substr(0, 5), "Mine\0"s);
    // More records than the format can count: nothing can be written.
    EXPECT_EQ(ExportLoadedTexts(Texts(PDB_MAX_RECORDS + 1), target, platform).error().text,
              "Can't write file " + target + ": a database holds at most 65,535 songs; 65,536 were given");
    EXPECT_EQ(ReadFileBytes(target), earlier);
    EXPECT_TRUE(platform.openRequests.empty());
    EXPECT_EQ(RecordCountCause(65535, true) + RecordCountCause(1234567, true),
              "a database holds at most 65,535 chords; 1,234,567 were given");

    // Why a write failed, in the system's words.
    const std::string unwritable = dir.File("no/x.pdb");
    EXPECT_EQ(ExportLoadedTexts(Loaded({"A"}), unwritable, platform).error().text,
              "Can't write file " + unwritable + ": No such file or directory");
}

TEST(SystemPlatform, SourceDateEpochUpToTheLastSecondTheHandheldHolds)
{
    EXPECT_EQ(ParseSourceDateEpoch("2212122495").value_or(std::nullopt), 2212122495u);
    EXPECT_FALSE(ParseSourceDateEpoch("2212122496") || ParseSourceDateEpoch("4294967296"));
    EXPECT_EQ(ParseSourceDateEpoch(nullptr).value_or(1u), std::nullopt);
}

#if defined(__linux__)
TEST(SystemPlatform, Opener)
{
    TempDir dir, bin;
    // Without xdg-open on PATH the request fails and says why; a stand-in for it records its argument, where a
    // path that starts like an option is made relative.
    ScopedEnv path("PATH", bin.Str());
    EXPECT_NE(CSystemPlatform().OpenWithDefaultApplication("x.pdb").error().text.find("xdg-open"), std::string::npos);
    WriteFileBytes(bin.File("xdg-open"), "#!/bin/sh\nprintf '%s' \"$1\" > '" + dir.File("argument") + "'\n");
    std::filesystem::permissions(bin.File("xdg-open"), std::filesystem::perms::owner_all);
    EXPECT_TRUE(CSystemPlatform().OpenWithDefaultApplication("-x y.pdb"));
    EXPECT_EQ(ReadFileBytes(dir.File("argument")), "./-x y.pdb");
}
#elif defined(_WIN32)
TEST(SystemPlatform, ShellOpen)
{
    TempDir dir;
    // The shell's open verb reports a file that is not there.
    const Status result = CSystemPlatform().OpenWithDefaultApplication(dir.File("missing.pdb"));
    ASSERT_FALSE(result);
    EXPECT_NE(result.error().text.find("error 2)"), std::string::npos) << result.error().text;
}
#endif

} // namespace
