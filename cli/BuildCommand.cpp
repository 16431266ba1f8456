#include "cli/Commands.h"
#include "cli/Console.h"
#include "jobs/Charset.h"
#include "jobs/Export.h"
#include "jobs/FileChecks.h"
#include "jobs/Intake.h"
#include "jobs/LossReport.h"
#include "platform/Platform.h"
#include "jobs/TuneloreDatabase.h"
#include "pdb/FileIo.h"

#include <filesystem>
#include <iostream>

std::optional<std::string> MakeDatabaseNameArgument(std::string_view argument, std::string& error)
{
    const bool utf8 = IsValidUtf8(argument);
    // U+0080..U+009F are the C1 control characters; the handheld's character set has no form for them.
    for (std::size_t i = 0; utf8 && i + 1 < argument.size(); ++i) {
        if (argument[i] == '\xC2' && static_cast<unsigned char>(argument[i + 1]) <= 0x9F) {
            error = "--name: the database name must not hold control characters";
            return std::nullopt;
        }
    }
    std::string name = utf8 ? Utf8ToCp1252(argument) : std::string(argument);
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

int RunBuild(const BuildOptions& options)
{
    if (const SourceDateEpoch epoch = SourceDateEpochFromEnvironment(); !epoch.error.empty()) {
        PrintError(epoch.error);
        return EXIT_STATUS_FAILED;
    }

    // Every input is read before anything is written, so a bad input leaves no file behind. Each song goes
    // into its record as soon as it is read and its text is dropped, so that the songs are held once, not twice.
    // An input named as the output would be lost.
    for (const std::string& file : options.files) {
        if (!options.install && IsSameFile(PathFromUtf8(options.output), PathFromUtf8(file))) {
            PrintError(SameFileMessage(PathFromUtf8(options.output), PathFromUtf8(file)));
            return EXIT_STATUS_FAILED;
        }
    }
    CSystemPlatform platform;
    CImportDatabaseBuilder builder(platform, ExportOptions{options.name});
    std::size_t warnings = 0;
    if (const std::optional<Loss> loss = DatabaseNameLoss(options.nameArgument)) {
        PrintWarning("--name", DescribeLoss(*loss));
        ++warnings;
    }
    for (const std::string& file : options.files) {
        const std::filesystem::path path = PathFromUtf8(file);
        if (HasPdbSuffix(file)) {
            const DatabaseFile database = ReadDatabaseFile(path);
            if (HoldsSongs(database.kind) || HoldsChords(database.kind)) {
                const bool songs = HoldsSongs(database.kind);
                PrintError(file + " is a " + (songs ? "song" : "chord") +
                           " database, not a text; use 'tunelore-cli extract' to get its " +
                           (songs ? "songs" : "chords"));
                return EXIT_STATUS_FAILED;
            }
        }
        TextLoadResult text =
            LoadTextFile(path, options.chordSheets ? TextConversion::ChordSheets : TextConversion::Strict);
        if (!text.text) {
            PrintError(text.error);
            return EXIT_STATUS_FAILED;
        }
        const std::size_t ignored = builder.IgnoredTexts();
        builder.Add(*text.text);
        if (builder.IgnoredTexts() == ignored) { // a text the database takes
            for (const Loss& loss : TextLosses(*text.text, builder.ChordMode(), text.replaced)) {
                PrintWarning(file, DescribeLoss(loss));
                ++warnings;
            }
        }
    }
    if (options.strict && warnings > 0) {
        PrintError(CountOf(warnings, "warning", "warnings") + " with --strict: nothing written");
        return EXIT_STATUS_FAILED;
    }
    CPalmDatabase& database = builder.Database();
    const bool chordMode = builder.ChordMode();
    const std::size_t records = database.Records().size();
    const auto what = [&] {
        return std::string(chordMode ? "chord" : "song") + " import database " + PrintableText(database.GetName()) +
               " (" + CountOf(records, chordMode ? "chord" : "song", chordMode ? "chords" : "songs") + ")";
    };
    std::string done;
    if (options.Installing()) {
        const std::optional<std::string> installed = InstallBuiltDatabase(database, what, options, platform);
        if (!installed)
            return EXIT_STATUS_FAILED;
        done = *installed;
    } else {
        const ExportResult result = SaveDatabase(database, PathFromUtf8(options.output));
        if (!result.written) {
            PrintError(result.error);
            return EXIT_STATUS_FAILED;
        }
        done = "Wrote " + what() + " to " + EscapeControls(result.path);
    }
    if (builder.IgnoredTexts() > 0)
        PrintError("note: " + options.files.front() + " holds chord definitions, so only it went into the database");
    std::cout << done << '\n';
    return EXIT_STATUS_OK;
}
