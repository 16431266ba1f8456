#include "jobs/InputFile.h"

#include "jobs/Charset.h"
#include "jobs/Messages.h"
#include "jobs/TuneloreDatabase.h"
#include "text/Ascii.h"
#include "text/RecordFormat.h"

#include <algorithm>
#include <cstddef>
#include <span>
#include <utility>

namespace {

std::optional<CPalmDatabase> ParseDatabase(std::string_view bytes)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    return CPalmDatabase::Parse(std::span<const std::uint8_t>(data, bytes.size()));
}

InputFile FromDatabase(CPalmDatabase&& database, std::string_view name, bool namedPdb)
{
    InputFile input;
    const DatabaseKind kind = KindOf(database);
    if (kind == DatabaseKind::SongImportDatabase || kind == DatabaseKind::ChordImportDatabase) {
        input.kind = InputKind::ImportDatabase;
        input.texts = LoadedTextsOfDatabase(database);
        input.database = std::move(database);
    } else if (namedPdb && (kind == DatabaseKind::SongDatabase || kind == DatabaseKind::ChordDatabase)) {
        input.kind = kind == DatabaseKind::SongDatabase ? InputKind::SongDatabase : InputKind::ChordDatabase;
        input.database = std::move(database);
    } else {
        input.kind = InputKind::NotText;
        input.error = messages::NotASongFile(name);
    }
    return input;
}

InputFile Unreadable(std::string_view name, std::string_view cause)
{
    InputFile input;
    input.error = messages::CantReadFile(name, cause);
    return input;
}

// Why bytes that are no database are no text either, when apart from their NULs they read as text: a song that
// got a bad byte is then told from an image or a program. Text is what the first 4 KiB hold besides the NULs:
// no control bytes but tab, line ends, vertical tab and form feed, and more of these bytes than NULs (a UTF-16
// text that was not recognised as one has as many). Empty for anything else.
std::string NulBytesCause(std::string_view bytes)
{
    constexpr std::size_t LOOKED_AT = 4096;
    const std::string_view start = bytes.substr(0, LOOKED_AT);
    const std::size_t nulsAtStart = static_cast<std::size_t>(std::count(start.begin(), start.end(), '\0'));
    const bool controls = std::any_of(start.begin(), start.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte != 0 && byte < 0x20 && std::string_view("\t\n\v\f\r").find(c) == std::string_view::npos) ||
               byte == 0x7F;
    });
    if (controls || nulsAtStart * 2 >= start.size()) {
        return {};
    }
    const std::size_t first = bytes.find('\0');
    const auto before = bytes.substr(0, first);
    return messages::HoldsNulBytes(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\0')),
                                   first,
                                   static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n')) + 1);
}

// What the whole bytes of a file are: a database when they hold NULs and parse as one, else a text.
InputFile FromBytes(std::string_view name, std::string_view bytes, TextConversion conversion)
{
    if (IsNotTextContent(bytes)) {
        if (std::optional<CPalmDatabase> database = ParseDatabase(bytes)) {
            return FromDatabase(std::move(*database), name, false);
        }
        InputFile input;
        input.kind = InputKind::NotText;
        input.notTextCause = NulBytesCause(bytes);
        input.error = messages::NotASongFile(name, input.notTextCause);
        return input;
    }
    InputFile input;
    input.kind = InputKind::Texts;
    input.emptyFile = bytes.empty();
    input.texts = MakeLoadedTexts(name, bytes, conversion);
    // The handheld would get a song without a line of text, as from an empty file.
    input.blankFile = !bytes.empty() && input.texts.size() == 1 &&
                      input.texts.front().text.find_first_not_of(" \t\r\n") == std::string::npos;
    return input;
}

// Reads the rest of an open file and sorts it out; `bytes` holds what was read of it before.
InputFile ReadOpenFile(CReadOnlyFile& file, std::string_view name, std::string bytes, TextConversion conversion)
{
    if (file.Size() > MAX_TEXT_FILE_SIZE) {
        return Unreadable(name, TooLargeCause(file.Size(), MAX_TEXT_FILE_SIZE));
    }
    if (const Status read = file.ReadRest(bytes, MAX_TEXT_FILE_SIZE); !read) {
        return Unreadable(name, read.error().text);
    }
    InputFile input = FromBytes(name, bytes, conversion);
    input.identity = file.Identity();
    return input;
}

// True for the names of the files a folder gives as songs.
bool IsSongFileName(std::string_view name)
{
    constexpr std::string_view ENDINGS[] = {".pro", ".chordpro", ".cho", ".chopro", ".tab", ".crd", ".txt"};
    return std::any_of(std::begin(ENDINGS), std::end(ENDINGS), [name](std::string_view ending) {
        return name.size() > ending.size() && EndsWithIgnoringAsciiCase(name, ending);
    });
}

} // namespace

Result<std::vector<std::filesystem::path>> SongFilesInFolder(const std::filesystem::path& path)
{
    std::error_code error;
    std::filesystem::directory_iterator entry(path, error);
    std::vector<std::pair<std::string, std::filesystem::path>> found; // by the name in lower case
    for (const std::filesystem::directory_iterator end; !error && entry != end; entry.increment(error)) {
        const std::string name = Utf8FromPath(entry->path().filename());
        std::error_code kind;
        if (!name.starts_with('.') && IsSongFileName(name) && entry->is_regular_file(kind)) {
            found.emplace_back(AsciiLowerCopy(name), entry->path());
        }
    }
    // A folder that could not be listed (to the end) is not said to hold no songs, nor given in part.
    if (error) {
        return MakeError(ErrorKind::System, messages::CantReadFolder(Utf8FromPath(path), error.message()));
    }
    if (found.empty()) {
        return MakeError(ErrorKind::NotFound, messages::NoSongFilesInFolder(Utf8FromPath(path)));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::filesystem::path> files;
    for (auto& [key, file] : found) {
        files.push_back(std::move(file));
    }
    return files;
}

bool IsNotTextContent(std::string_view bytes)
{
    // A UTF-16 or UTF-32 text holds NULs, so only a database tells it apart. Anything else that is a Palm
    // database has a NUL in its first 4 KiB: its record count (bytes 76-77) is zero, or the first record's
    // offset (from byte 78) has a zero high byte in any file below 16 MiB.
    // Such a text is a database only when it parses as one of the songbook's kinds: a UTF-32 big-endian text
    // of 19 characters or more has zeros where a header keeps its name and record count, so it parses as an
    // empty database of no known kind.
    if (WideFormOf(bytes).encoding != WideEncoding::None) {
        const std::optional<CPalmDatabase> database = ParseDatabase(bytes);
        return database && KindOf(*database) != DatabaseKind::OtherPalmDatabase;
    }
    constexpr std::size_t LOOKED_AT = 4096;
    return bytes.substr(0, LOOKED_AT).find('\0') != std::string_view::npos;
}

std::vector<LoadedText> LoadedTextsOfDatabase(const CPalmDatabase& database)
{
    std::vector<LoadedText> texts;
    if (HoldsChords(KindOf(database))) {
        std::string list;
        for (const CPdbRecord& record : database.Records()) {
            if (const std::optional<std::string> line = ChordLineOfRecord(record.Data())) {
                list += *line + "\r\n";
            }
        }
        texts.push_back(LoadedText{std::move(list), {}, 0});
        return texts;
    }
    for (const CPdbRecord& record : database.Records()) {
        if (!IsMarkerRecord(record.Data())) {
            texts.push_back(LoadedText{LoadedTextOfSongRecord(record.Data()), {}, 0});
        }
    }
    return texts;
}

InputFile ReadInputFile(const std::filesystem::path& path, TextConversion conversion)
{
    const std::string name = Utf8FromPath(path);
    Result<CReadOnlyFile> file = CReadOnlyFile::Open(path);
    if (!file) {
        InputFile input = Unreadable(name, file.error().text);
        if (file.error().kind == ErrorKind::Folder) {
            input.kind = InputKind::Folder;
        }
        return input;
    }
    std::string bytes;
    if (HasPdbSuffix(name)) {
        // A database may be larger than any text; only what its records reach is read.
        if (const Status read = CPalmDatabase::ReadImage(*file, bytes); !read) {
            return Unreadable(name, read.error().text);
        }
        if (std::optional<CPalmDatabase> database = ParseDatabase(bytes)) {
            InputFile input = FromDatabase(std::move(*database), name, true);
            input.identity = file->Identity();
            return input;
        }
        // A file named .pdb that is no Palm database may still be a text: the rest of it is read on.
    }
    return ReadOpenFile(*file, name, std::move(bytes), conversion);
}

InputFile ReadStandardInput(TextConversion conversion)
{
    CReadOnlyFile input = CReadOnlyFile::StandardInput();
    return ReadOpenFile(input, STANDARD_INPUT_NAME, {}, conversion);
}
