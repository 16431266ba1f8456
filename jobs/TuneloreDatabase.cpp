#include "jobs/TuneloreDatabase.h"

#include "jobs/Messages.h"
#include "pdb/FileIo.h"
#include "text/Ascii.h"

DatabaseKind KindOf(const CPalmDatabase& database)
{
    if (database.m_creator != TUNELORE_CREATOR) {
        return DatabaseKind::OtherPalmDatabase;
    }
    switch (database.m_type) {
    case SONG_DB_TYPE:
        return DatabaseKind::SongDatabase;
    case CHORD_DB_TYPE:
        return DatabaseKind::ChordDatabase;
    case SONG_IMPORT_TYPE:
        return DatabaseKind::SongImportDatabase;
    case CHORD_IMPORT_TYPE:
        return DatabaseKind::ChordImportDatabase;
    default:
        return DatabaseKind::OtherPalmDatabase;
    }
}

DatabaseFile ReadDatabaseFile(const std::filesystem::path& path)
{
    DatabaseFile file;
    Result<CPalmDatabase> read = CPalmDatabase::Read(path);
    file.opened = read || read.error().kind == ErrorKind::Malformed;
    if (!read) {
        file.refusal = file.opened ? messages::NotAPalmDatabase(Utf8FromPath(path), read.error().text)
                                   : messages::CantReadFile(Utf8FromPath(path), read.error().text);
        return file;
    }
    file.kind = KindOf(*read);
    file.database = std::move(*read);
    return file;
}

bool HasPdbSuffix(std::string_view path)
{
    return EndsWithIgnoringAsciiCase(path, ".pdb");
}
