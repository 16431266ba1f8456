#include "jobs/InputFile.h"

#include "jobs/Charset.h"
#include "jobs/Extract.h"
#include "jobs/Intake.h"
#include "jobs/TuneloreDatabase.h"
#include "pdb/FileIo.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "res/Resource.h"

namespace {

InputFile FromDatabase(CPalmDatabase&& database, const std::string& name, bool namedPdb)
{
    InputFile input;
    const DatabaseKind kind = KindOf(database);
    if (kind == DatabaseKind::SongImportDatabase || kind == DatabaseKind::ChordImportDatabase) {
        input.kind = InputKind::Texts;
        input.texts = LoadedTextsOfDatabase(database);
    } else if (namedPdb && (kind == DatabaseKind::SongDatabase || kind == DatabaseKind::ChordDatabase)) {
        input.kind = kind == DatabaseKind::SongDatabase ? InputKind::SongDatabase : InputKind::ChordDatabase;
        input.database = std::move(database);
    } else {
        input.kind = InputKind::NotText;
        input.error = NotASongMessage(name);
    }
    return input;
}

} // namespace

bool IsNotTextContent(std::string_view bytes)
{
    // A UTF-16 text holds NULs, so only a database tells it apart. Anything else that is a Palm database has a
    // NUL in its first 4 KiB: its record count (bytes 76-77) is zero, or the first record's offset (from byte
    // 78) has a zero high byte in any file below 16 MiB.
    if (StartsWithUtf16Bom(bytes)) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
        return CPalmDatabase::Parse(std::span<const std::uint8_t>(data, bytes.size())).has_value();
    }
    constexpr std::size_t LOOKED_AT = 4096;
    return bytes.substr(0, LOOKED_AT).find('\0') != std::string_view::npos;
}

std::string NotASongMessage(std::string_view name)
{
    return std::string(name) + std::string(res::NOT_A_SONG_FILE);
}

std::string LoadedTextOfSongRecord(const CPdbRecord& record)
{
    const std::string_view text = SongRecordText(record);
    std::string loaded;
    loaded.reserve(text.size() + text.size() / 16 + 2);
    for (const char c : text) {
        if (c == '\n') {
            loaded.push_back('\r');
        }
        loaded.push_back(c);
    }
    return loaded;
}

std::vector<std::string> LoadedTextsOfDatabase(const CPalmDatabase& database)
{
    std::vector<std::string> texts;
    if (HoldsChords(KindOf(database))) {
        std::string list;
        for (const CPdbRecord& record : database.Records()) {
            if (const std::optional<std::string> line = ChordLineOfRecord(record)) {
                list += *line + "\r\n";
            }
        }
        texts.push_back(std::move(list));
        return texts;
    }
    for (const CPdbRecord& record : database.Records()) {
        if (!IsMarkerRecord(record)) {
            texts.push_back(LoadedTextOfSongRecord(record));
        }
    }
    return texts;
}

InputFile ReadInputFile(const std::filesystem::path& path, TextConversion conversion)
{
    const std::string name = Utf8FromPath(path);
    if (HasPdbSuffix(name)) {
        DatabaseFile file = ReadDatabaseFile(path);
        if (file.database) {
            return FromDatabase(std::move(*file.database), name, true);
        }
        // A file named .pdb that is no Palm database may still be a text.
    }
    InputFile input;
    const FileReadResult read = ReadWholeFile(path, MAX_TEXT_FILE_SIZE);
    if (!read.bytes) {
        input.error = std::string(res::CANT_READ_FILE) + name + ": " + read.error;
        return input;
    }
    const std::string& bytes = *read.bytes;
    if (IsNotTextContent(bytes)) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
        std::optional<CPalmDatabase> database = CPalmDatabase::Parse(std::span<const std::uint8_t>(data, bytes.size()));
        if (database) {
            return FromDatabase(std::move(*database), name, false);
        }
        input.kind = InputKind::NotText;
        input.error = NotASongMessage(name);
        return input;
    }
    input.kind = InputKind::Texts;
    input.emptyFile = bytes.empty();
    input.texts.push_back(MakeLoadedText(name, bytes, input.replaced, conversion));
    return input;
}
