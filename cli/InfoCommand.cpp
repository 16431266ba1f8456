#include "cli/Commands.h"
#include "cli/Console.h"
#include "jobs/Charset.h"
#include "jobs/TuneloreDatabase.h"
#include "pdb/FileIo.h"
#include "text/ChordDefinition.h"
#include "text/RecordFormat.h"
#include "text/SongTitle.h"

#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

namespace {
std::string Hex(std::uint32_t value, int digits)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, static_cast<unsigned>(value));
    return buffer;
}

// What a record holds: a song's display name or a chord's definition line (Windows-1252), or a note on a
// record that holds neither; both empty for databases of other kinds.
struct RecordDescription
{
    std::optional<std::string> text;
    std::string_view note;
};

RecordDescription DescribeRecord(DatabaseKind kind, const CPdbRecord& record)
{
    if (HoldsSongs(kind)) {
        if (IsMarkerRecord(record.Data()))
            return {std::nullopt, "marker record"};
        return {GetSongDisplayName(SongRecordText(record.Data())), {}};
    }
    if (HoldsChords(kind)) {
        std::optional<std::string> line = FormatChordDefinition(record.Data());
        return line ? RecordDescription{std::move(line), {}}
                    : RecordDescription{std::nullopt, "too short to hold a chord"};
    }
    return {};
}

nlohmann::ordered_json MakeJson(const CPalmDatabase& db)
{
    const DatabaseKind kind = KindOf(db);
    nlohmann::ordered_json json;
    json["name"] = Cp1252ToUtf8(db.GetName());
    json["type"] = PrintableCode(db.m_type);
    json["creator"] = PrintableCode(db.m_creator);
    json["attributes"] = db.m_attributes;
    json["resourceDatabase"] = db.m_isResourceDb;
    json["version"] = db.m_version;
    json["creationDate"] = FormatPalmTime(CPalmDatabase::ToPalmTime(db.m_creationDate));
    json["modificationDate"] = FormatPalmTime(CPalmDatabase::ToPalmTime(db.m_modificationDate));
    json["backupDate"] = FormatPalmTime(CPalmDatabase::ToPalmTime(db.m_backupDate));
    json["modificationNumber"] = db.m_modificationNumber;
    json["recordCount"] = db.Records().size();
    json["records"] = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < db.Records().size(); ++i) {
        const CPdbRecord& record = db.Records()[i];
        nlohmann::ordered_json entry;
        entry["index"] = i;
        entry["offset"] = record.m_fileOffset;
        entry["length"] = record.Length();
        if (db.m_isResourceDb) {
            entry["resourceType"] = PrintableCode(record.m_resourceType);
            entry["resourceId"] = record.m_resourceId;
        } else {
            entry["attributes"] = record.m_attributes;
            entry["uniqueId"] = record.m_uniqueId;
        }
        const RecordDescription description = DescribeRecord(kind, record);
        if (description.text)
            entry[HoldsSongs(kind) ? "displayName" : "chord"] = Cp1252ToUtf8(*description.text);
        if (!description.note.empty())
            entry["note"] = description.note;
        json["records"].push_back(std::move(entry));
    }
    return json;
}

void PrintText(const CPalmDatabase& db)
{
    const DatabaseKind kind = KindOf(db);
    std::cout << "name:                " << PrintableText(db.GetName()) << '\n'
              << "type:                " << PrintableCode(db.m_type) << '\n'
              << "creator:             " << PrintableCode(db.m_creator) << '\n'
              << "attributes:          " << Hex(db.m_attributes, 4) << (db.m_isResourceDb ? " (resource database)" : "")
              << '\n'
              << "version:             " << db.m_version << '\n'
              << "created:             " << FormatPalmTime(CPalmDatabase::ToPalmTime(db.m_creationDate)) << '\n'
              << "modified:            " << FormatPalmTime(CPalmDatabase::ToPalmTime(db.m_modificationDate)) << '\n'
              << "backed up:           " << FormatPalmTime(CPalmDatabase::ToPalmTime(db.m_backupDate)) << '\n'
              << "modification number: " << db.m_modificationNumber << '\n'
              << "records:             " << db.Records().size() << '\n';
    for (std::size_t i = 0; i < db.Records().size(); ++i) {
        const CPdbRecord& record = db.Records()[i];
        std::cout << "record " << i << ": offset " << record.m_fileOffset << ", length " << record.Length();
        if (db.m_isResourceDb)
            std::cout << ", type " << PrintableCode(record.m_resourceType) << ", id " << record.m_resourceId;
        else
            std::cout << ", attributes " << Hex(record.m_attributes, 2) << ", unique ID " << Hex(record.m_uniqueId, 6);
        const RecordDescription description = DescribeRecord(kind, record);
        if (!description.note.empty())
            std::cout << ", " << description.note;
        if (description.text)
            std::cout << ": " << PrintableText(*description.text);
        std::cout << '\n';
    }
}
} // namespace

int RunInfo(const std::string& databasePath, bool json)
{
    // "-" is standard input, as for build and convert.
    const DatabaseFile file =
        databasePath == "-" ? ReadStandardInputDatabase() : ReadDatabaseFile(PathFromUtf8(databasePath));
    if (!file.database) {
        PrintError(file.refusal);
        return EXIT_STATUS_FAILED;
    }
    if (json)
        std::cout << MakeJson(*file.database).dump(2) << '\n';
    else
        PrintText(*file.database);
    std::cout.flush();
    if (!std::cout) {
        PrintError("Can't write to standard output");
        return EXIT_STATUS_FAILED;
    }
    return EXIT_STATUS_OK;
}
