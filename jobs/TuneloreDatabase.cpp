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

namespace {
DatabaseFile FromRead(Result<CPalmDatabase> read, std::string_view name)
{
    DatabaseFile file;
    file.opened = read || read.error().kind == ErrorKind::Malformed;
    if (!read) {
        file.refusal = file.opened ? messages::NotAPalmDatabase(name, read.error().text)
                                   : messages::CantReadFile(name, read.error().text);
        return file;
    }
    file.kind = KindOf(*read);
    file.database = std::move(*read);
    return file;
}
} // namespace

DatabaseFile ReadDatabaseFile(const std::filesystem::path& path)
{
    return FromRead(CPalmDatabase::Read(path), Utf8FromPath(path));
}

DatabaseFile ReadStandardInputDatabase()
{
    CReadOnlyFile input = CReadOnlyFile::StandardInput();
    return FromRead(CPalmDatabase::Read(input), "-");
}

bool HasPdbSuffix(std::string_view path)
{
    return EndsWithIgnoringAsciiCase(path, ".pdb");
}
