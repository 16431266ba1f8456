#include "jobs/Export.h"

#include "tests/support/FakePlatform.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace std::string_literals;
using Texts = std::vector<std::string>;

Texts RecordTexts(const CPalmDatabase& database)
{
    Texts texts;
    for (const CPdbRecord& record : database.Records()) {
        texts.emplace_back(record.Data().begin(), record.Data().end());
    }
    return texts;
}

TEST(Export, DatabasesHoldOneRecordPerSongOrChordLineInOrder)
{
    FakePlatform platform;
    const std::string a(7998, 'a'), b(7999, 'b');
    const CPalmDatabase songs =
        BuildSongDatabase({"A\r\n\r\nB", "A\rB\n\rC", "", "Caf\xE9\r\n", a + "\r\n", b + "\r\n"}, platform);
    const CPalmDatabase chords =
        BuildChordDatabase("junk\r\nC x 3 2 0 1 0\r\n\r\nAm\tx 0 2 2 1 0\r\n{title: C}\r\nG 3 2 0 0 0 3", platform);
    EXPECT_TRUE(songs.GetName().starts_with("TuneloreDB") && chords.GetName().starts_with("TuneloreChordDB"));
    for (const auto& [database, type] : {std::pair(&songs, SONG_IMPORT_TYPE), std::pair(&chords, CHORD_IMPORT_TYPE)}) {
        EXPECT_EQ(std::tuple(database->m_creator, database->m_type, database->m_creationDate),
                  std::tuple(TUNELORE_CREATOR, type, FakePlatform::DEFAULT_NOW));
    }
    // Lines re-joined with LF (a lone CR ends a line too, LF CR is two), cut to 7999 characters, and a NUL.
    EXPECT_EQ(RecordTexts(songs),
              (Texts{"A\n\nB\n\0"s, "A\nB\n\nC\n\0"s, "\0"s, "Caf\xE9\n\0"s, a + "\n\0"s, b + "\0"s}));
    // Frets (x is 15), two zero bytes, the name and its NUL; a line that is not a definition gives no record.
    EXPECT_EQ(RecordTexts(chords),
              (Texts{"\x0F\x03\x02\x00\x01\x00\x00\x00"s + "C\0"s,
                     "\x0F\x00\x02\x02\x01\x00\x00\x00"s + "Am\0"s,
                     "\x03\x02\x00\x00\x00\x03\x00\x00"s + "G\0"s}));
}

TEST(Export, SaveToPathMakesNoOpenRequestAndAFailedWriteKeepsTheEarlierFile)
{
    TempDir dir, temp;
    FakePlatform platform(temp.Str() + "/");
    const std::string target = dir.File("out.pdb");
    EXPECT_TRUE(ExportLoadedTexts({}, target, platform, ExportOptions{"Mine"}).ok(false));
    const std::string earlier = ReadFileBytes(target).value();
    EXPECT_EQ(earlier.substr(0, 5), "Mine\0"s);
    // More records than the format can count: nothing can be written.
    const ExportResult failed = ExportLoadedTexts(Texts(PDB_MAX_RECORDS + 1), target, platform);
    EXPECT_EQ(
        std::tuple(failed.written, failed.error),
        std::tuple(false, "Can't write file " + target + ": a database holds at most 65,535 songs; 65,536 were given"));
    EXPECT_EQ(ReadFileBytes(target), earlier);
    EXPECT_TRUE(platform.openRequests.empty() && FolderEntries(temp.Path()).empty());
}

#if defined(__linux__)
TEST(SystemPlatform, TempFolderAndOpener)
{
    TempDir dir;
    for (const std::string& tmpdir : {dir.Str(), dir.Str() + "/"}) {
        ScopedEnv env("TMPDIR", tmpdir);
        EXPECT_EQ(CSystemPlatform().TempFolder(), dir.Str() + "/");
    }
    // A stand-in for xdg-open, alone on PATH, records its argument and exits with the status given (-1: none).
    for (const auto& [exitStatus, errorPart] : {std::pair(0, ""), std::pair(3, "3"), std::pair(-1, "xdg-open")}) {
        TempDir bin, out;
        if (exitStatus >= 0) {
            WriteFileBytes(bin.File("xdg-open"),
                           "#!/bin/sh\nprintf '%s' \"$1\" > '" + out.File("argument") + "'\nexit " +
                               std::to_string(exitStatus) + "\n");
            std::filesystem::permissions(bin.File("xdg-open"), std::filesystem::perms::owner_all);
        }
        ScopedEnv path("PATH", bin.Str());
        const IPlatform::OpenResult result = CSystemPlatform().OpenWithDefaultApplication("-x y.pdb");
        EXPECT_EQ(result.ok, exitStatus == 0) << result.error;
        EXPECT_NE(result.error.find(errorPart), std::string::npos) << result.error;
        // A path that starts like an option is made relative.
        EXPECT_EQ(ReadFileBytes(out.File("argument")), exitStatus < 0 ? std::nullopt : std::optional("./-x y.pdb"s));
    }
}
#elif defined(_WIN32)
TEST(SystemPlatform, TempFolderAndShellOpen)
{
    TempDir dir;
    for (const std::string& tmp : {dir.Str(), dir.Str() + "\\"}) {
        ScopedEnv env("TMP", tmp);
        EXPECT_EQ(CSystemPlatform().TempFolder(), dir.Str() + "\\");
    }
    // The shell's open verb reports a file that is not there.
    const IPlatform::OpenResult result = CSystemPlatform().OpenWithDefaultApplication(dir.File("missing.pdb"));
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("error 2)"), std::string::npos) << result.error;
}
#endif

} // namespace
