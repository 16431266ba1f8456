#include "jobs/FileChecks.h"

#include "pdb/FileIo.h"
#include "pdb/PalmDatabase.h"

#include <cerrno>
#include <system_error>

bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

std::string SameFileMessage(const std::filesystem::path& target, const std::filesystem::path& input)
{
    return Utf8FromPath(target) + " is the same file as the input " + Utf8FromPath(input) + "; nothing was written";
}

std::string RecordCountCause(std::size_t records, bool chords)
{
    if (records <= PDB_MAX_RECORDS) {
        return {};
    }
    const char* what = chords ? " chords; " : " songs; ";
    return "a database holds at most " + GroupDigits(PDB_MAX_RECORDS) + what + GroupDigits(records) + " were given";
}
