#include "jobs/FileChecks.h"

#include "jobs/Messages.h"
#include "pdb/PalmDatabase.h"

#include <cerrno>
#include <system_error>

bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

std::string RecordCountCause(std::size_t records, bool chords)
{
    if (records <= PDB_MAX_RECORDS) {
        return {};
    }
    return messages::TooManyRecords(PDB_MAX_RECORDS, records, chords);
}
