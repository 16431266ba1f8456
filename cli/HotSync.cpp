#include "cli/HotSync.h"

#include "cli/Commands.h"
#include "cli/Console.h"
#include "jobs/Charset.h"
#include "jobs/Extract.h"
#include "jobs/FileNames.h"
#include "jobs/HotSyncJobs.h"
#include "jobs/Messages.h"
#include "jobs/TuneloreDatabase.h"
#include "pdb/FileIo.h"

#include <cmath>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <set>

#include "hotsync/Connection.h"
#include "hotsync/Operations.h"
#include "platform/Platform.h"

namespace {

// Set by Ctrl+C; every wait of the session sees it within 100 ms.
hotsync::CancelFlag g_cancel{false};

extern "C" void CancelOnSignal(int)
{
    g_cancel = true;
}

// Ctrl+C cancels the session instead of killing the program, for as long as this object lives.
class CancelOnInterrupt
{
public:
    CancelOnInterrupt() { m_previous = std::signal(SIGINT, CancelOnSignal); }
    CancelOnInterrupt(const CancelOnInterrupt&) = delete;
    CancelOnInterrupt& operator=(const CancelOnInterrupt&) = delete;
    ~CancelOnInterrupt() { std::signal(SIGINT, m_previous == SIG_ERR ? SIG_DFL : m_previous); }

private:
    void (*m_previous)(int) = SIG_DFL;
};

// The one line that says why a session failed.
std::string DescribeFailure(const Error& error)
{
    if (g_cancel.load()) {
        return "HotSync cancelled";
    }
    switch (error.kind) {
    case ErrorKind::Exists:
        return "HotSync: " + error.text + " (--replace replaces it)";
    case ErrorKind::Disconnected:
        return "HotSync: lost the connection to the handheld (" + error.text + ")";
    case ErrorKind::NoSpace:
        return "HotSync: not enough space on the handheld (" + error.text + ")";
    default:
        return "HotSync: " + error.text;
    }
}

// One line on standard error as each database starts.
hotsync::ProgressCallback ProgressLines(const char* verb)
{
    return [verb](const hotsync::Progress& step) {
        if (step.record == 0) {
            std::cerr << verb << ' ' << PrintableText(step.database) << " ("
                      << CountOf(static_cast<std::size_t>(step.records), "record", "records") << ")" << std::endl;
        }
    };
}

// The session's setup: the connection, the timeout, Ctrl+C, and one line on standard error as each database
// starts. Prints the prompt to press HotSync.
HotSyncSessionSetup SessionSetup(const HotSyncOptions& options, const char* verb)
{
    std::cerr << "Press the HotSync button on the handheld" << std::endl;
    if (const std::string where = WhereHotSyncWaits(options.connection); !where.empty()) {
        std::cerr << where << std::endl;
    }
    return HotSyncSessionSetup{options.connection,
                               options.timeoutSeconds ? hotsync::Deadline::In(std::chrono::milliseconds(
                                                            static_cast<long long>(*options.timeoutSeconds * 1000)))
                                                      : hotsync::Deadline::Never(),
                               &g_cancel,
                               {},
                               ProgressLines(verb)};
}

std::string NameList(const std::vector<const CPalmDatabase*>& databases)
{
    std::string names;
    for (const CPalmDatabase* db : databases) {
        names += (names.empty() ? "" : ", ") + db->m_name;
    }
    return names;
}

} // namespace

std::string CheckHotSyncOptions(const HotSyncOptions& options)
{
    const Result<hotsync::HandheldRoute> route = hotsync::ParseConnection(options.connection);
    if (!route) {
        return "--hotsync: " + route.error().text;
    }
    if (options.timeoutSeconds && (!std::isfinite(*options.timeoutSeconds) || *options.timeoutSeconds <= 0 ||
                                   *options.timeoutSeconds > 86400 * 365)) {
        return "--timeout: the number of seconds must be above 0";
    }
    return {};
}

std::optional<std::string> InstallByHotSync(const std::vector<const CPalmDatabase*>& databases,
                                            const std::string& what,
                                            const HotSyncOptions& options)
{
    const Status done = [&] {
        CancelOnInterrupt interrupt;
        return InstallDatabasesByHotSync(SessionSetup(options, "Installing"), databases, options.replace);
    }();
    if (!done) {
        PrintError(DescribeFailure(done.error()));
        return std::nullopt;
    }
    return "Installed " + what + " on the handheld by HotSync";
}

int RunHotSyncExtract(const HotSyncOptions& options, const std::string& destination, bool keepPdb, bool keepExisting)
{
    const std::filesystem::path folder = PathFromUtf8(destination);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder, error)) {
        PrintError("Can't create folder " + destination + (error ? ": " + error.message() : std::string()));
        return EXIT_STATUS_FAILED;
    }
    Result<std::vector<CPalmDatabase>> read = [&] {
        CancelOnInterrupt interrupt;
        return ReadSongbookByHotSync(SessionSetup(options, "Reading"));
    }();
    if (!read) {
        PrintError(DescribeFailure(read.error()));
        return EXIT_STATUS_FAILED;
    }

    std::size_t songs = 0;
    std::size_t unchanged = 0; // songs whose files already held them: not written again, and said apart
    std::size_t chords = 0;
    std::vector<std::string> chordFiles;
    std::vector<std::string> failed;
    // Songs of a later database whose names meet files written by an earlier one go under numbered names.
    std::set<std::filesystem::path> writtenNow;
    for (CPalmDatabase& db : *read) {
        const std::string stem = SafeSongFileName(Cp1252ToUtf8(db.m_name));
        if (keepPdb) {
            const std::filesystem::path pdbPath = folder / PathFromUtf8(stem + ".pdb");
            if (const Status written = db.Write(pdbPath); !written) {
                failed.push_back(messages::CantWriteFile(Utf8FromPath(pdbPath), written.error().text));
            }
        }
        if (db.m_type == SONG_DB_TYPE) {
            const ExtractResult result =
                ExtractSongs(db, folder, [keepExisting, &writtenNow](const std::filesystem::path& existing) {
                    return keepExisting || writtenNow.count(existing) != 0 ? ExistingFileChoice::KeepBoth
                                                                           : ExistingFileChoice::Replace;
                });
            for (const std::string& file : result.files) {
                writtenNow.insert(PathFromUtf8(file));
            }
            for (const std::string& replaced : result.replaced) {
                PrintError("note: replaced " + replaced + ", which held a different text");
            }
            songs += static_cast<std::size_t>(result.written - result.unchanged);
            unchanged += static_cast<std::size_t>(result.unchanged);
            for (const std::string& name : result.failed) {
                failed.push_back("Can't write song \"" + EscapeControls(name) + "\"");
            }
        } else {
            const std::filesystem::path textPath = folder / PathFromUtf8(ChordListFileName(db.m_name));
            // As extract writes a chord database into a folder: an edited list replaced with a note, or kept.
            const ChordTextResult result = ExportChordsToText(db, textPath, ChordListPolicy(keepExisting, true));
            if (!result.written) {
                failed.push_back(result.error);
                continue;
            }
            if (result.replaced) {
                PrintError("note: replaced " + result.path + ", which held a different text");
            }
            chords += static_cast<std::size_t>(result.chords);
            chordFiles.push_back(result.path);
        }
    }
    std::string line = "Read " + CountOf(read->size(), "database", "databases") + " from the handheld: wrote " +
                       CountOf(songs, "song", "songs") + " to " + EscapeControls(destination);
    if (unchanged > 0) {
        line += " (" + CountOf(unchanged, "song was", "songs were") + " already there, left as " +
                (unchanged == 1 ? "it was" : "they were") + ")";
    }
    if (!chordFiles.empty()) {
        std::string files;
        for (const std::string& file : chordFiles) {
            files += (files.empty() ? "" : ", ") + EscapeControls(file);
        }
        line += " and " + CountOf(chords, "chord", "chords") + " to " + files;
    }
    std::cout << line << '\n';
    for (const std::string& failure : failed) {
        PrintError(failure);
    }
    return failed.empty() ? EXIT_STATUS_OK : EXIT_STATUS_FAILED;
}

int RunInstall(const InstallCommandOptions& options)
{
    // Every file is read and checked before any goes anywhere.
    std::vector<CPalmDatabase> databases;
    for (const std::string& file : options.files) {
        Result<CPalmDatabase> read = CPalmDatabase::Read(PathFromUtf8(file));
        if (!read) {
            PrintError(EscapeControls(file) +
                       (read.error().kind == ErrorKind::Malformed ? " is not a Palm database: " : ": ") +
                       read.error().text);
            return EXIT_STATUS_FAILED;
        }
        databases.push_back(std::move(*read));
    }
    for (std::size_t i = 0; i < databases.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (databases[i].m_name == databases[j].m_name) {
                PrintError(EscapeControls(options.files[j]) + " and " + EscapeControls(options.files[i]) +
                           " hold databases of the same name, " + PrintableText(databases[i].m_name));
                return EXIT_STATUS_FAILED;
            }
        }
    }
    const std::string what = CountOf(databases.size(), "database", "databases");
    BuildOptions destination;
    destination.installTo = options.installTo;
    destination.installWith = options.installWith;
    destination.install = options.installTo.empty() && options.installWith.empty();
    destination.session = options.session;
    destination.hotsync = options.hotsync;
    CSystemPlatform platform;
    const std::optional<InstallRoute> route = ChooseInstallRoute(destination, platform);
    if (!route) {
        return EXIT_STATUS_FAILED;
    }
    // All of them in one session, so the HotSync button is pressed once.
    if (route->hotsync) {
        std::vector<const CPalmDatabase*> pointers;
        for (const CPalmDatabase& db : databases) {
            pointers.push_back(&db);
        }
        const std::optional<std::string> done =
            InstallByHotSync(pointers, what + " (" + PrintableText(NameList(pointers)) + ")", *route->hotsync);
        if (!done) {
            return EXIT_STATUS_FAILED;
        }
        std::cout << *done << '\n';
        return EXIT_STATUS_OK;
    }
    for (std::size_t i = 0; i < databases.size(); ++i) {
        // The file was parsed only to check it: what goes on is the file as it stands, not a rewrite of it.
        const Result<std::string> file = ReadWholeFile(PathFromUtf8(options.files[i]));
        if (!file) {
            PrintError(EscapeControls(options.files[i]) + ": " + file.error().text);
            return EXIT_STATUS_FAILED;
        }
        const std::vector<std::uint8_t> original(file->begin(), file->end());
        const std::optional<std::string> done = InstallBuiltDatabase(
            databases[i],
            [&] {
                return "database " + PrintableText(databases[i].m_name) + " from " + EscapeControls(options.files[i]);
            },
            route->choice,
            true,
            platform,
            &original);
        if (!done) {
            return EXIT_STATUS_FAILED;
        }
        std::cout << *done << '\n';
    }
    return EXIT_STATUS_OK;
}
