// Recognition and extraction over arbitrary .pdb bytes. The bytes are written to a file in a scratch folder
// of this process and read back with ReadDatabaseFile, which must agree with parsing the bytes; then ExtractSongs
// writes into a fresh folder and ExportChordsToText into a file beside it (both work on any database, recognised
// or not, and an unreadable file stands for an empty one). Whatever the record texts say,
// every file that appears must lie directly in the extraction folder and be one the job reports, or be the
// chord text file itself: the folder is nested a few levels deep and the whole scratch tree is listed before
// and after, so that a name climbing out by "..", a separator or an absolute path is caught. The jobs must
// give every song (each record but the markers)
// a file of its own holding its text in UTF-8 with CR LF line ends, and account for every chord record.

#include "jobs/Charset.h"
#include "jobs/Extract.h"
#include "jobs/TuneloreDatabase.h"
#include "pdb/FileIo.h"
#include "pdb/PalmDatabase.h"
#include "text/RecordFormat.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "fuzz/FuzzCheck.h"

namespace fs = std::filesystem;

namespace {

// Every path under `root`, relative to it (folders included).
std::set<std::string> ListTree(const fs::path& root)
{
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        entries.insert(entry.path().lexically_relative(root).generic_string());
    }
    return entries;
}

const fs::path& ScratchRoot()
{
    static const fs::path root = [] {
        fs::path path = fs::temp_directory_path() / ("tunelore-extract-fuzz-" + std::to_string(getpid()));
        fs::remove_all(path);
        fs::create_directories(path / "a" / "b" / "c");
        // Removes the scratch tree when the process ends normally (a crash leaves it for inspection).
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(fs::temp_directory_path() / ("tunelore-extract-fuzz-" + std::to_string(getpid())), ignored);
        });
        return path;
    }();
    return root;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fs::path& root = ScratchRoot();
    const fs::path work = root / "a" / "b" / "c" / "work";
    fs::remove_all(work);
    fs::create_directories(work);
    const fs::path database = work / "input.pdb";
    {
        std::ofstream out(database, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        FUZZ_CHECK(out.good());
    }
    const std::set<std::string> before = ListTree(root);

    // Reading the file gives what parsing its bytes gives.
    const DatabaseFile file = ReadDatabaseFile(database);
    std::optional<CPalmDatabase> parsed = CPalmDatabase::Parse(std::span<const std::uint8_t>(data, size));
    FUZZ_CHECK(file.database.has_value() == parsed.has_value());
    FUZZ_CHECK(parsed || !file.refusal.empty());
    const CPalmDatabase empty;
    const CPalmDatabase& input = parsed ? *parsed : empty;
    std::size_t songRecords = 0;
    if (parsed) {
        for (const CPdbRecord& record : parsed->Records()) {
            songRecords += IsMarkerRecord(record.Data()) ? 0u : 1u;
        }
    }

    const fs::path songs = work / "songs";
    const ExtractResult extracted = ExtractSongs(input, songs);
    FUZZ_CHECK(extracted.written == static_cast<int>(extracted.files.size()));
    // In a fresh folder every song gets a file: names are made safe and repeated names numbered.
    FUZZ_CHECK(extracted.failed.empty());
    FUZZ_CHECK(extracted.files.size() == songRecords);
    // The folder itself may be created even when the database cannot be read.
    std::set<std::string> allowed = {"a/b/c/work/chords.txt", "a/b/c/work/songs"};
    std::vector<std::string_view> songTexts;
    if (parsed) {
        for (const CPdbRecord& record : parsed->Records()) {
            if (!IsMarkerRecord(record.Data())) {
                songTexts.push_back(SongRecordText(record.Data()));
            }
        }
    }
    for (std::size_t i = 0; i < extracted.files.size(); ++i) {
        const fs::path path = PathFromUtf8(extracted.files[i]); // the names are UTF-8 on every system
        FUZZ_CHECK(path.parent_path().lexically_normal() == songs.lexically_normal());
        FUZZ_CHECK(path.extension() == ".pro");
        FUZZ_CHECK(fs::is_regular_file(path));
        // Each song has a file of its own.
        FUZZ_CHECK(allowed.insert(path.lexically_relative(root).generic_string()).second);
        // The file holds the song's text up to its first NUL, in UTF-8, every LF written as CR LF.
        const Result<std::string> read = ReadWholeFile(path);
        FUZZ_CHECK(static_cast<bool>(read));
        const std::string& content = *read;
        FUZZ_CHECK(IsValidUtf8(content));
        const std::string text = Utf8ToCp1252(content);
        std::string withoutCr;
        for (std::size_t k = 0; k < text.size(); ++k) {
            if (!(text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n')) {
                withoutCr.push_back(text[k]);
            }
        }
        FUZZ_CHECK(withoutCr == songTexts[i]);
        for (std::size_t k = 0; k < text.size(); ++k) {
            FUZZ_CHECK(text[k] != '\n' || (k > 0 && text[k - 1] == '\r'));
        }
    }

    const fs::path chords = work / "chords.txt";
    const ChordTextResult exported = ExportChordsToText(input, chords);
    FUZZ_CHECK(exported.written);
    FUZZ_CHECK(exported.chords >= 0 && exported.skipped >= 0);
    FUZZ_CHECK(static_cast<std::size_t>(exported.chords + exported.skipped) == input.Records().size());
    FUZZ_CHECK(fs::is_regular_file(chords));

    // Nothing disappeared, and everything new is one of the files the jobs reported.
    const std::set<std::string> after = ListTree(root);
    for (const std::string& entry : before) {
        FUZZ_CHECK(after.count(entry) == 1);
    }
    for (const std::string& entry : after) {
        if (before.count(entry) == 0 && allowed.count(entry) == 0) {
            std::fprintf(stderr, "written outside the extraction folder: %s\n", entry.c_str());
            FUZZ_CHECK(false);
        }
    }
    fs::remove_all(work);
    return 0;
}
