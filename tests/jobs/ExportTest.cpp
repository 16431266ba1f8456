#include "jobs/Export.h"

#include "tests/support/FakePlatform.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

std::string RecordString(const CPdbRecord& record)
{
    const auto data = record.Data();
    return std::string(data.begin(), data.end());
}

std::string AsString(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

bool IsDecimal(std::string_view text)
{
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// ---- the song record ----

struct RecordCase
{
    const char* name;
    std::string_view loaded;
    std::string_view record; // NUL included
};

class SongRecordTest : public ::testing::TestWithParam<RecordCase>
{
};

TEST_P(SongRecordTest, LinesRejoinedWithLf)
{
    EXPECT_EQ(AsString(MakeSongRecord(GetParam().loaded)), GetParam().record);
}

using namespace std::string_view_literals;

INSTANTIATE_TEST_SUITE_P(Export,
                         SongRecordTest,
                         ::testing::Values(RecordCase{"CrLfEnds", "A\r\nB\r\n", "A\nB\n\0"sv},
                                           RecordCase{"LastLineWithoutEnd", "A\r\nB", "A\nB\n\0"sv},
                                           RecordCase{"BlankLineKept", "A\r\n\r\nB\r\n", "A\n\nB\n\0"sv},
                                           RecordCase{"LoneCrEndsALine", "A\rB", "A\nB\n\0"sv},
                                           RecordCase{"LfCrIsTwoEnds", "A\n\rB", "A\n\nB\n\0"sv},
                                           RecordCase{"EmptyText", "", "\0"sv},
                                           RecordCase{"OnlyLineEnd", "\r\n", "\n\0"sv},
                                           RecordCase{"HighBytesKept", "Caf\xE9 \x80\r\n", "Caf\xE9 \x80\n\0"sv}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(SongRecord, TextIsCutAt7999Characters)
{
    // 7998 characters and a line end: 7999 with the LF, stored whole.
    const std::vector<std::uint8_t> whole = MakeSongRecord(std::string(7998, 'a') + "\r\n");
    ASSERT_EQ(whole.size(), 8000u);
    EXPECT_EQ(whole[7998], '\n');
    EXPECT_EQ(whole[7999], 0);

    // 7999 characters and a line end: 8000, cut to 7999, so the final LF is lost.
    const std::vector<std::uint8_t> cut = MakeSongRecord(std::string(7999, 'b') + "\r\n");
    EXPECT_EQ(AsString(cut), std::string(7999, 'b') + std::string(1, '\0'));

    // Far longer: still 8000 bytes, and the cut may fall inside a line.
    std::string many;
    for (int i = 0; i < 2000; ++i) {
        many += "abcdefgh\r\n";
    }
    const std::vector<std::uint8_t> big = MakeSongRecord(many);
    ASSERT_EQ(big.size(), 8000u);
    EXPECT_EQ(big[7998], 'g'); // 888 lines of 9, then "abcdefg"
    EXPECT_EQ(big[7999], 0);
}

// ---- building the databases ----

TEST(BuildSongDatabase, OneRecordPerTextInOrder)
{
    FakePlatform platform;
    CPalmDatabase database = BuildSongDatabase({"A\r\nB\r\n", "", "{title: C}\r\n"}, platform);

    const std::string name = database.GetName();
    ASSERT_TRUE(name.starts_with("TuneloreDB"));
    EXPECT_TRUE(IsDecimal(name.substr(10))) << name;
    EXPECT_LE(name.size(), 15u);
    EXPECT_EQ(database.m_creator, TUNELORE_CREATOR);
    EXPECT_EQ(database.m_type, SONG_IMPORT_TYPE);
    EXPECT_FALSE(database.m_isResourceDb);
    EXPECT_EQ(database.m_creationDate, FakePlatform::DEFAULT_NOW);
    EXPECT_EQ(database.m_modificationDate, FakePlatform::DEFAULT_NOW);
    EXPECT_EQ(database.m_backupDate, FakePlatform::DEFAULT_NOW);

    ASSERT_EQ(database.GetRecordCount(), 3);
    EXPECT_EQ(RecordString(database.GetRecord(0)), "A\nB\n\0"sv);
    EXPECT_EQ(RecordString(database.GetRecord(1)), "\0"sv);
    EXPECT_EQ(RecordString(database.GetRecord(2)), "{title: C}\n\0"sv);
    for (const CPdbRecord& record : database.Records()) {
        EXPECT_EQ(record.m_attributes, 0);
        EXPECT_EQ(record.m_uniqueId, 0u);
    }
}

TEST(BuildSongDatabase, NameFromOptions)
{
    FakePlatform platform;
    EXPECT_EQ(BuildSongDatabase({}, platform, ExportOptions{"MySongs"}).GetName(), "MySongs");
    EXPECT_EQ(BuildChordDatabase("", platform, ExportOptions{"MyChords"}).GetName(), "MyChords");
}

TEST(BuildSongDatabase, FileHeaderAndListEntries)
{
    TempDir dir;
    FakePlatform platform;
    CPalmDatabase database = BuildSongDatabase({"A\r\nB", "xyz"}, platform, ExportOptions{"TuneloreDB123"});
    ASSERT_EQ(database.WriteToFile(dir.File("s.pdb")), 0);
    const std::string file = ReadFileBytes(dir.File("s.pdb")).value();

    ASSERT_EQ(file.size(), 80u + 2 * 8 + 5 + 5);
    EXPECT_EQ(file.substr(0, 32), "TuneloreDB123" + std::string(19, '\0'));
    EXPECT_EQ(file.substr(32, 2), "\x00\x08"sv);         // backup flag, record database
    EXPECT_EQ(file.substr(36, 4), "\xBF\xDC\xCC\x00"sv); // 2006-01-01 from the platform's clock
    EXPECT_EQ(file.substr(60, 8), "SONMTuNe");
    EXPECT_EQ(file.substr(76, 2), "\x00\x02"sv);
    EXPECT_EQ(file.substr(78, 8), "\x00\x00\x00\x60\x00\x00\x00\x00"sv);
    EXPECT_EQ(file.substr(86, 8), "\x00\x00\x00\x65\x00\x00\x00\x00"sv);
    EXPECT_EQ(file.substr(96), "A\nB\n\0xyz\n\0"sv);
}

TEST(BuildChordDatabase, OneRecordPerAcceptedLine)
{
    FakePlatform platform;
    const std::string text = "junk line\r\n"
                             "C x 3 2 0 1 0\r\n"
                             "\r\n"
                             "C  0 1 2 3 4 5\r\n"                        // two blanks after the name: rejected
                             "Abcdefghijklmnopqrstuvwxy 1 2 3 4 5 6\r\n" // 25 characters, cut to 19
                             "{title: not a chord}\r\n"
                             "G 3 2 0 0 0 3"; // no line end
    CPalmDatabase database = BuildChordDatabase(text, platform);

    const std::string name = database.GetName();
    ASSERT_TRUE(name.starts_with("TuneloreChordDB"));
    EXPECT_TRUE(IsDecimal(name.substr(15))) << name;
    EXPECT_EQ(database.m_creator, TUNELORE_CREATOR);
    EXPECT_EQ(database.m_type, CHORD_IMPORT_TYPE);
    EXPECT_FALSE(database.m_isResourceDb);
    EXPECT_EQ(database.m_creationDate, FakePlatform::DEFAULT_NOW);

    ASSERT_EQ(database.GetRecordCount(), 3);
    EXPECT_EQ(RecordString(database.GetRecord(0)),
              "\x0F\x03\x02\x00\x01\x00\x00\x00"
              "C\0"sv);
    EXPECT_EQ(RecordString(database.GetRecord(1)),
              "\x01\x02\x03\x04\x05\x06\x00\x00"
              "Abcdefghijklmnopqrs\0"sv);
    EXPECT_EQ(database.GetRecord(1).Length(), 28u);
    EXPECT_EQ(RecordString(database.GetRecord(2)),
              "\x03\x02\x00\x00\x00\x03\x00\x00"
              "G\0"sv);
    for (const CPdbRecord& record : database.Records()) {
        EXPECT_EQ(record.m_attributes, 0);
        EXPECT_EQ(record.m_uniqueId, 0u);
    }
}

TEST(BuildChordDatabase, NoAcceptableLineGivesNoRecords)
{
    FakePlatform platform;
    EXPECT_EQ(BuildChordDatabase("", platform).GetRecordCount(), 0);
    EXPECT_EQ(BuildChordDatabase("Hello\r\nworld\r\n", platform).GetRecordCount(), 0);
}

// ---- saving and installing ----

TEST(SaveOrInstall, InstallWritesNamedFileInTempFolderAndRequestsOpen)
{
    TempDir dir;
    for (const std::string& folder : {dir.Str() + "/", dir.Str()}) // with and without the trailing separator
    {
        SCOPED_TRACE(folder);
        FakePlatform platform(folder);
        const ExportResult result = ExportSongDatabase({"A\r\n"}, "", platform, ExportOptions{"TuneloreDB42"});

        const std::string expected = dir.Str() + "/TuneloreDB42.pdb";
        EXPECT_TRUE(result.ok(true));
        EXPECT_TRUE(result.written);
        EXPECT_TRUE(result.openRequested);
        EXPECT_EQ(result.path, expected);
        EXPECT_EQ(platform.openRequests, std::vector<std::string>{expected});
        CPalmDatabase back;
        ASSERT_EQ(back.ReadFromFile(expected), 0);
        EXPECT_EQ(back.GetName(), "TuneloreDB42");
        EXPECT_EQ(back.GetRecordCount(), 1);
        EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"TuneloreDB42.pdb"});
    }
}

TEST(SaveOrInstall, InstallWithRandomNameUsesTheDatabaseName)
{
    TempDir dir;
    FakePlatform platform(dir.Str() + "/");
    const ExportResult result = ExportChordDatabase("C x 3 2 0 1 0\r\n", "", platform);
    ASSERT_TRUE(result.ok(true));
    const std::vector<std::string> entries = FolderEntries(dir.Path());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].starts_with("TuneloreChordDB") && entries[0].ends_with(".pdb")) << entries[0];
    EXPECT_EQ(result.path, dir.File(entries[0]));
    CPalmDatabase back;
    ASSERT_EQ(back.ReadFromFile(result.path), 0);
    EXPECT_EQ(back.GetName() + ".pdb", entries[0]);
    EXPECT_EQ(back.m_type, CHORD_IMPORT_TYPE);
}

TEST(SaveOrInstall, GivenPathWritesThereWithoutOpenRequest)
{
    TempDir dir;
    TempDir temp;
    FakePlatform platform(temp.Str() + "/");
    const ExportResult result = ExportSongDatabase({"A\r\n", "B\r\n"}, dir.File("out.pdb"), platform);

    EXPECT_TRUE(result.ok(false));
    EXPECT_FALSE(result.openRequested);
    EXPECT_EQ(result.path, dir.File("out.pdb"));
    EXPECT_TRUE(platform.openRequests.empty());
    EXPECT_EQ(platform.tempFolderCalls, 0);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"out.pdb"});
    EXPECT_TRUE(FolderEntries(temp.Path()).empty());
}

TEST(SaveOrInstall, EmptyExportsAreStillWritten)
{
    TempDir dir;
    FakePlatform platform(dir.Str() + "/");
    const ExportResult songs = ExportSongDatabase({}, "", platform, ExportOptions{"NoSongs"});
    const ExportResult chords = ExportChordDatabase("", dir.File("chords.pdb"), platform);
    ASSERT_TRUE(songs.ok(true));
    ASSERT_TRUE(chords.ok(false));
    EXPECT_EQ(ReadFileBytes(dir.File("NoSongs.pdb")).value().size(), 80u);
    EXPECT_EQ(ReadFileBytes(dir.File("chords.pdb")).value().size(), 80u);
    EXPECT_EQ(platform.openRequests.size(), 1u);
}

TEST(SaveOrInstall, FailedWriteKeepsEarlierFileAndIsReported)
{
    TempDir dir;
    FakePlatform platform(dir.Str() + "/");
    const std::string target = dir.File("songs.pdb");
    WriteFileBytes(target, "earlier contents");

    // More records than the file format can count: nothing can be written.
    const std::vector<std::string> tooMany(PDB_MAX_RECORDS + 1, std::string());
    const ExportResult result = ExportSongDatabase(tooMany, target, platform);

    EXPECT_FALSE(result.written);
    EXPECT_FALSE(result.ok(false));
    EXPECT_EQ(result.path, target);
    EXPECT_NE(result.error.find(target), std::string::npos) << result.error;
    EXPECT_EQ(ReadFileBytes(target), std::optional<std::string>("earlier contents"));
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"songs.pdb"});
}

TEST(SaveOrInstall, UnwritableInstallMakesNoOpenRequest)
{
    TempDir dir;
    FakePlatform platform(dir.File("missing-folder") + "/");
    const ExportResult result = ExportSongDatabase({"A"}, "", platform, ExportOptions{"X"});
    EXPECT_FALSE(result.written);
    EXPECT_FALSE(result.ok(true));
    EXPECT_EQ(result.path, dir.File("missing-folder") + "/X.pdb");
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(platform.openRequests.empty());
}

TEST(SaveOrInstall, MissingTempFolderWritesNothing)
{
    FakePlatform platform(""); // no temporary folder
    const ExportResult result = ExportSongDatabase({"A"}, "", platform);
    EXPECT_FALSE(result.written);
    EXPECT_FALSE(result.ok(true));
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(platform.openRequests.empty());
}

TEST(SaveOrInstall, FailedOpenReportsWhereTheFileWas)
{
    TempDir dir;
    FakePlatform platform(dir.Str() + "/");
    platform.failOpen = true;
    const ExportResult result = ExportSongDatabase({"A"}, "", platform, ExportOptions{"Kept"});

    EXPECT_TRUE(result.written);
    EXPECT_FALSE(result.openRequested);
    EXPECT_FALSE(result.ok(true));
    EXPECT_EQ(result.path, dir.File("Kept.pdb"));
    EXPECT_NE(result.error.find(dir.File("Kept.pdb")), std::string::npos) << result.error;
    EXPECT_NE(result.error.find(platform.openError), std::string::npos) << result.error;
    EXPECT_TRUE(ReadFileBytes(dir.File("Kept.pdb")).has_value());
}

TEST(SaveOrInstall, CallerNameCannotLeaveTheTempFolder)
{
    TempDir dir;
    const std::string temp = dir.File("tmp");
    std::filesystem::create_directory(temp);
    FakePlatform platform(temp + "/");
    const ExportResult result = ExportSongDatabase({"A"}, "", platform, ExportOptions{"../escape"});
    ASSERT_TRUE(result.written);
    EXPECT_EQ(std::filesystem::path(result.path).parent_path(), std::filesystem::path(temp));
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"tmp"});
    EXPECT_EQ(FolderEntries(temp).size(), 1u);
}

} // namespace
