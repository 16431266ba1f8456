#pragma once

#include "pdb/PalmDatabase.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// Writes a record database with the given codes and record bytes, for tests that read databases.
inline void WriteTestDatabase(const std::string& path,
                              std::uint32_t creator,
                              std::uint32_t type,
                              const std::vector<std::string>& records)
{
    CPalmDatabase database("TestDB", creator, type, false, 1136073600u);
    for (const std::string& bytes : records) {
        CPdbRecord record;
        record.SetData(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
        database.AddRecord(record);
    }
    if (database.WriteToFile(path) != 0) {
        throw std::runtime_error("cannot write test database " + path);
    }
}
