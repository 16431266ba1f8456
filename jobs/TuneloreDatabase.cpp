#include "jobs/TuneloreDatabase.h"

#include "jobs/FileNames.h"
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
    PdbReadResult read = CPalmDatabase::Read(path);
    file.opened = read.opened;
    if (!read.database) {
        file.refusal = read.opened ? Utf8FromPath(path) + " is not a readable Palm database (" + read.error + ")"
                                   : CantReadMessage(Utf8FromPath(path), read.error);
        return file;
    }
    file.kind = KindOf(*read.database);
    file.database = std::move(read.database);
    return file;
}

bool HasPdbSuffix(std::string_view path)
{
    return EndsWithIgnoringAsciiCase(path, ".pdb");
}
