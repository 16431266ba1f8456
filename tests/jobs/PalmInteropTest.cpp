// Checks our .pdb files against Palm::PDB (Debian's libpalm-perl), written independently of this code, in
// both directions. Perl and the module are required: without them these tests fail.

#include "jobs/Export.h"
#include "jobs/Extract.h"
#include "jobs/TuneloreDatabase.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace {

using namespace std::string_literals;

std::string Hex(std::string_view bytes)
{
    std::string out;
    for (const char c : bytes) {
        out += "0123456789abcdef"[static_cast<unsigned char>(c) >> 4];
        out += "0123456789abcdef"[c & 0x0F];
    }
    return out;
}

// Runs the helper script; the test fails when perl, the module or the script fails.
std::string RunPerl(const TempDir& dir, const std::string& arguments)
{
    const std::string command = "perl '" PALM_INTEROP_SCRIPT "' " + arguments + " >'" + dir.File("out") + "' 2>&1";
    const int status = std::system(command.c_str());
    const std::string output = ReadFileBytes(dir.File("out")).value_or("");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "failed (is libpalm-perl installed?): " << command << "\n"
        << output;
    return output;
}

// A database as the script's "dump" prints it after its first line, the app info block.
std::string Dump(const CPalmDatabase& database)
{
    std::string dump = "name " + Hex(database.GetName()) + "\ntype " + Hex(FourCCToString(database.m_type)) +
                       "\ncreator " + Hex(FourCCToString(database.m_creator)) + "\nresource " +
                       (database.m_isResourceDb ? "1" : "0") + "\nrecords " +
                       std::to_string(database.GetRecordCount()) + "\n";
    for (const CPdbRecord& record : database.Records()) {
        dump += "record " + std::to_string(record.m_attributes) + " " + std::to_string(record.m_uniqueId) + " " +
                Hex(std::string(record.Data().begin(), record.Data().end())) + "\n";
    }
    return dump;
}

TEST(PalmInterop, PalmPdbReadsWhatWeWriteAndWeReadWhatItWrites)
{
    TempDir dir;
    FakePlatform platform;
    CPalmDatabase databases[] = {
        BuildSongDatabase({"{title: Caf\xE9}\r\nUn [C]caf\xE9\r\n", "", "A\r\n\r\nB", std::string(9000, 'x')},
                          platform),
        BuildChordDatabase("C x 3 2 0 1 0\r\nAbcdefghijklmnopqrs 1 2 3 4 5 6\r\nno\r\nG 3 2 0 0 0 3", platform),
        BuildSongDatabase({}, platform),
        BuildChordDatabase("", platform)};
    for (CPalmDatabase& database : databases) {
        const std::string file = dir.File(database.GetName() + ".pdb");
        ASSERT_TRUE(SaveOrInstallDatabase(database, file, platform).ok(false)) << file;
        EXPECT_EQ(RunPerl(dir, "dump '" + file + "'"), "appinfo -\n" + Dump(database));
    }

    // And we read what it writes.
    const std::string path = dir.File("perl.pdb");
    const std::string song = Hex("{t:One}\nla\n\0"s) + " " + Hex("\xFF\xEE\xDD\x00\x01\x02"s);
    const std::string chord = Hex("\x0F\x03\x02\x00\x01\x00\x00\x00"s + "C\0"s) + " 71";
    // Name, type, creator, app info block in hex ("-": none), records in hex.
    for (const std::string& fields : {"Songs SONG TuNe 0001020304050607 " + song,
                                      "Chords CHRD TuNe - " + chord,
                                      "E SONG TuNe cafe"s,
                                      "E CHRD TuNe -"s}) {
        RunPerl(dir, "write '" + path + "' " + fields);
        CPalmDatabase database;
        ASSERT_EQ(database.ReadFromFile(path), 0) << fields;
        const std::string dump = RunPerl(dir, "dump '" + path + "'");
        EXPECT_EQ(Dump(database), dump.substr(dump.find('\n') + 1)) << fields;
        EXPECT_EQ(dump.starts_with("appinfo -"), (fields + " ").find(" - ") != std::string::npos) << dump;
        const DatabaseKind kind = ReadDatabaseFile(path).kind;
        EXPECT_EQ(kind == DatabaseKind::SongDatabase, fields.find(" SONG ") != std::string::npos);
        EXPECT_EQ(kind == DatabaseKind::ChordDatabase, fields.find(" CHRD ") != std::string::npos);
    }
}

} // namespace
