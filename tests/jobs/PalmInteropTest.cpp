// Checks our .pdb files against Palm::PDB (Debian's libpalm-perl), written independently of this code, in
// both directions. Perl and the module are required: without them these tests fail.

#include "jobs/Export.h"
#include "jobs/Extract.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

std::string Hex(std::string_view bytes)
{
    static const char DIGITS[] = "0123456789abcdef";
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(DIGITS[b >> 4]);
        out.push_back(DIGITS[b & 0x0F]);
    }
    return out;
}

std::string Hex(std::span<const std::uint8_t> bytes)
{
    return Hex(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// Runs the helper script with perl; the test fails when perl, the module or the script fails.
std::string RunPerl(const std::string& arguments)
{
    const std::string command = "perl '" PALM_INTEROP_SCRIPT "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run: " << command;
        return {};
    }
    std::string output;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, got);
    }
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "command failed (is libpalm-perl installed?): " << command << "\n"
        << output;
    return output;
}

// What the script prints for a database as we hold it in memory.
std::string ExpectedDump(const CPalmDatabase& database)
{
    std::ostringstream out;
    out << "name " << Hex(database.GetName()) << "\n";
    out << "type " << Hex(FourCCToString(database.m_type)) << "\n";
    out << "creator " << Hex(FourCCToString(database.m_creator)) << "\n";
    out << "resource 0\n";
    out << "appinfo -\n";
    out << "records " << database.GetRecordCount() << "\n";
    int index = 0;
    for (const CPdbRecord& record : database.Records()) {
        out << "record " << index++ << " " << int(record.m_attributes) << " " << record.m_uniqueId << " "
            << Hex(record.Data()) << "\n";
    }
    return out.str();
}

TEST(PalmInterop, PalmPdbReadsWhatWeWrite)
{
    TempDir dir;
    FakePlatform platform;
    std::vector<std::pair<std::string, CPalmDatabase>> databases;
    databases.emplace_back(
        "songs.pdb",
        BuildSongDatabase({"{title: Caf\xE9}\r\nUn [C]caf\xE9\r\n", "", "A\r\n\r\nB", std::string(9000, 'x')},
                          platform));
    databases.emplace_back(
        "chords.pdb",
        BuildChordDatabase("C x 3 2 0 1 0\r\nAbcdefghijklmnopqrs 1 2 3 4 5 6\r\nno\r\nG 3 2 0 0 0 3", platform));
    databases.emplace_back("nosongs.pdb", BuildSongDatabase({}, platform));
    databases.emplace_back("nochords.pdb", BuildChordDatabase("", platform));

    for (auto& [file, database] : databases) {
        SCOPED_TRACE(file);
        const ExportResult result = SaveOrInstallDatabase(database, dir.File(file), platform);
        ASSERT_TRUE(result.ok(false)) << result.error;
        EXPECT_EQ(RunPerl("dump '" + dir.File(file) + "'"), ExpectedDump(database));
    }
}

struct PerlDatabase
{
    const char* name;
    const char* type;
    const char* appInfo; // hex, or "-" for none
    std::vector<std::string> records;
};

TEST(PalmInterop, WeReadWhatPalmPdbWrites)
{
    TempDir dir;
    const PerlDatabase cases[] = {
        {"WithAppInfo", "SONG", "000102030405060708090a0b0c0d0e0f", {"A\nB\n", std::string("x\0y", 3), "Z"}},
        {"NoAppInfo",
         "CHRD",
         "-",
         {std::string("\x0F\x03\x02\x00\x01\x00\x00\x00"
                      "C\0",
                      10),
          "q"}},
        {"AppInfoNoRecords", "SONG", "cafe", {}},
        {"Empty", "CHRD", "-", {}},
    };
    for (const PerlDatabase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(std::string(c.name) + ".pdb");
        std::string arguments = "write '" + path + "' " + c.name + " " + c.type + " TuNe " + c.appInfo;
        for (const std::string& record : c.records) {
            arguments += " " + Hex(record);
        }
        RunPerl(arguments);

        CPalmDatabase database;
        ASSERT_EQ(database.ReadFromFile(path), 0);
        EXPECT_EQ(database.GetName(), c.name);
        EXPECT_EQ(FourCCToString(database.m_type), c.type);
        EXPECT_EQ(database.m_creator, TUNELORE_CREATOR);
        ASSERT_EQ(database.GetRecordCount(), static_cast<int>(c.records.size()));
        for (std::size_t i = 0; i < c.records.size(); ++i) {
            const CPdbRecord& record = database.Records()[i];
            EXPECT_EQ(Hex(record.Data()), Hex(c.records[i])) << "record " << i;
            EXPECT_EQ(record.m_attributes, 0x40) << "record " << i; // the module marks new records dirty
            EXPECT_EQ(record.m_uniqueId, 0x1000u + i) << "record " << i;
        }
        const bool song = std::string(c.type) == "SONG";
        EXPECT_EQ(IsSongDatabaseFile(path), song);
        EXPECT_EQ(IsChordDatabaseFile(path), !song);
    }
}

TEST(PalmInterop, ExtractFromPalmPdbSongDatabase)
{
    TempDir dir;
    const std::string path = dir.File("Songs.PDB");
    RunPerl("write '" + path + "' SongDB SONG TuNe 0a0b0c " + Hex(std::string("{t:One}\nla\n\0", 13)) + " " +
            Hex(std::string("\xFF\xEE\xDD\x00\x01\x02", 6)) + " " + Hex(std::string("{t:Two}\n\0", 9)));
    ASSERT_TRUE(IsSongDatabaseFile(path));
    const ExtractResult result = ExtractSongs(path, dir.File("out"));
    EXPECT_EQ(result.written, 2);
    EXPECT_EQ(ReadFileBytes(dir.File("out/One.pro")), std::optional<std::string>("{t:One}\r\nla\r\n"));
    EXPECT_EQ(ReadFileBytes(dir.File("out/Two.pro")), std::optional<std::string>("{t:Two}\r\n"));
}

} // namespace
