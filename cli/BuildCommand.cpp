#include "cli/Commands.h"
#include "cli/Console.h"
#include "jobs/Charset.h"
#include "jobs/Export.h"
#include "jobs/Extract.h"
#include "jobs/Intake.h"
#include "jobs/Platform.h"

#include <cstdlib>
#include <iostream>

std::optional<std::string> MakeDatabaseNameArgument(std::string_view argument, std::string& error)
{
    std::string name = IsValidUtf8(argument) ? Utf8ToCp1252(argument) : std::string(argument);
    if (name.empty()) {
        error = "--name: the database name is empty";
        return std::nullopt;
    }
    if (name.size() > PDB_MAX_NAME_LENGTH) {
        error = "--name: the database name has " + std::to_string(name.size()) + " bytes, at most " +
                std::to_string(PDB_MAX_NAME_LENGTH) + " fit";
        return std::nullopt;
    }
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            error = "--name: the database name must not hold control characters";
            return std::nullopt;
        }
    }
    return name;
}

std::optional<std::uint32_t> SourceDateEpoch(bool& malformed)
{
    malformed = false;
    const char* value = std::getenv("SOURCE_DATE_EPOCH");
    if (value == nullptr)
        return std::nullopt;
    const std::string_view text(value);
    std::uint64_t seconds = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || seconds > 0xFFFFFFFFu) {
            malformed = true;
            return std::nullopt;
        }
        seconds = seconds * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (text.empty() || seconds > 0xFFFFFFFFu) {
        malformed = true;
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(seconds);
}

int RunBuild(const BuildOptions& options)
{
    bool malformedEpoch = false;
    SourceDateEpoch(malformedEpoch);
    if (malformedEpoch) {
        PrintError("SOURCE_DATE_EPOCH must be a whole number of seconds since 1970 below 2^32");
        return EXIT_STATUS_FAILED;
    }

    // Every input is read before anything is written, so a bad input leaves no file behind. Each song goes
    // into its record as soon as it is read and its text is dropped, so that the songs are held once, not twice.
    CSystemPlatform platform;
    const ExportOptions exportOptions{options.name};
    CPalmDatabase database;
    std::string firstText;
    bool chordMode = false;
    for (std::size_t i = 0; i < options.files.size(); ++i) {
        const std::string& file = options.files[i];
        const bool songs = IsSongDatabaseFile(file);
        if (songs || IsChordDatabaseFile(file)) {
            PrintError(file + " is a " + (songs ? "song" : "chord") +
                       " database, not a text; use 'tunelore-cli extract' to get its " + (songs ? "songs" : "chords"));
            return EXIT_STATUS_FAILED;
        }
        std::optional<std::string> text = LoadTextFile(file);
        if (!text) {
            PrintError("Can't read file " + file);
            return EXIT_STATUS_FAILED;
        }
        if (i == 0) {
            // The first text decides, as in the window: a chord list makes a chord database of it alone.
            chordMode = IsChordModeText(*text);
            if (chordMode) {
                firstText = std::move(*text);
            } else {
                database = NewSongDatabase(platform, exportOptions);
            }
        }
        if (!chordMode) {
            AddSongRecord(database, *text);
        }
    }
    if (chordMode) {
        database = BuildChordDatabase(firstText, platform, exportOptions);
    }
    const ExportResult result =
        SaveOrInstallDatabase(database, options.install ? std::string() : options.output, platform);

    if (!result.written) {
        PrintError(result.error.empty() ? "Can't write file " + result.path : result.error);
        return EXIT_STATUS_FAILED;
    }
    const std::size_t records = database.Records().size();
    const std::string what = std::string(chordMode ? "chord" : "song") + " import database " +
                             PrintableText(database.GetName()) + " (" +
                             CountOf(records, chordMode ? "chord" : "song", chordMode ? "chords" : "songs") + ")";
    if (options.install && !result.openRequested) {
        // The job's message says where the database was written, so that it can be installed by hand.
        PrintError(result.error.empty() ? "Wrote " + what + " to " + result.path + " but could not open it"
                                        : result.error);
        return EXIT_STATUS_FAILED;
    }
    if (chordMode && options.files.size() > 1)
        PrintError("note: " + options.files.front() + " holds chord definitions, so only it went into the database");
    std::cout << (options.install ? "Installed " : "Wrote ") << what << (options.install ? " from " : " to ")
              << result.path << '\n';
    return EXIT_STATUS_OK;
}
