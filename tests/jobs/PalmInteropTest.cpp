// Checks that Palm::PDB (Debian's libpalm-perl), written independently of this code, reads our .pdb files as
// we meant them. Perl and the module are required: without them this test fails.

#include "jobs/Export.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace {

std::string Hex(std::string_view bytes)
{
    std::string out;
    for (const char c : bytes) {
        out += "0123456789abcdef"[static_cast<unsigned char>(c) >> 4];
        out += "0123456789abcdef"[c & 0x0F];
    }
    return out;
}

// The database as the helper script prints it.
std::string Dump(const CPalmDatabase& database)
{
    std::string dump = "appinfo -\nname " + Hex(database.GetName()) + "\ntype " + Hex(FourCCToString(database.m_type)) +
                       "\ncreator " + Hex(FourCCToString(database.m_creator)) + "\nresource 0\nrecords " +
                       std::to_string(database.GetRecordCount()) + "\n";
    for (const CPdbRecord& record : database.Records()) {
        dump += "record " + std::to_string(record.m_attributes) + " " + std::to_string(record.m_uniqueId) + " " +
                Hex(std::string(record.Data().begin(), record.Data().end())) + "\n";
    }
    return dump;
}

TEST(PalmInterop, PalmPdbReadsWhatWeWrite)
{
    TempDir dir;
    FakePlatform platform;
    CPalmDatabase databases[] = {
        BuildSongDatabase({"{title: Caf\xE9}\r\nUn [C]caf\xE9\r\n", "", "A\r\n\r\nB", std::string(9000, 'x')},
                          platform),
        BuildChordDatabase("C x 3 2 0 1 0\r\nAbcdefghijklmnopqrs 1 2 3 4 5 6\r\nno\r\nG 3 2 0 0 0 3", platform),
        BuildSongDatabase({}, platform)};
    for (CPalmDatabase& database : databases) {
        const std::string file = dir.File("db.pdb"), out = dir.File("out");
        ASSERT_TRUE(SaveDatabase(database, file)) << file;
        const int status = std::system(("perl '" PALM_INTEROP_SCRIPT "' '" + file + "' >'" + out + "' 2>&1").c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "is libpalm-perl installed?";
        EXPECT_EQ(ReadFileBytes(out), Dump(database));
    }
}

} // namespace
