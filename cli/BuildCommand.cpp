#include "cli/Commands.h"
#include "cli/Console.h"
#include "jobs/Charset.h"
#include "jobs/Export.h"
#include "jobs/FileChecks.h"
#include "jobs/InputFile.h"
#include "jobs/LossReport.h"
#include "jobs/Messages.h"
#include "jobs/TuneloreDatabase.h"
#include "pdb/FileIo.h"

#include <filesystem>
#include <iostream>

#include "platform/CommandLine.h"
#include "platform/Platform.h"

Result<std::string> MakeDatabaseNameArgument(std::string_view argument)
{
    const bool utf8 = IsValidUtf8(argument);
    // U+0080..U+009F are the C1 control characters; the handheld's character set has no form for them.
    for (std::size_t i = 0; utf8 && i + 1 < argument.size(); ++i) {
        if (argument[i] == '\xC2' && static_cast<unsigned char>(argument[i + 1]) <= 0x9F) {
            return MakeError(ErrorKind::Refused, "--name: the database name must not hold control characters");
        }
    }
    std::string name = utf8 ? Utf8ToCp1252(argument) : std::string(argument);
    if (name.empty()) {
        return MakeError(ErrorKind::Refused, "--name: the database name is empty");
    }
    if (name.size() > PDB_MAX_NAME_LENGTH) {
        return MakeError(ErrorKind::Refused,
                         "--name: the database name has " + std::to_string(name.size()) + " bytes, at most " +
                             std::to_string(PDB_MAX_NAME_LENGTH) + " fit");
    }
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return MakeError(ErrorKind::Refused, "--name: the database name must not hold control characters");
        }
    }
    return name;
}

namespace {
// The output named "-" is standard output, as the input named "-" is standard input.
constexpr std::string_view STANDARD_OUTPUT_NAME = "-";

// Why the database must not go to `output`, or "" when it may. A file that already holds something other than
// a Palm database is most likely a song: `build -o songs/*.pro` makes the first song the output, and writing
// the database there would lose it. An empty file, a file named .pdb and anything that is no regular file
// (a device, say) are written as asked.
std::string OutputRefusal(const std::string& output)
{
    const std::filesystem::path path = PathFromUtf8(output);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) || std::filesystem::file_size(path, error) == 0 || error ||
        HasPdbSuffix(output)) {
        return {};
    }
    if (ReadDatabaseFile(path).kind != DatabaseKind::NotPalmDatabase) {
        return {};
    }
    return EscapeControls(output) +
           " is not a Palm database, and writing the database there would replace what it holds; nothing was "
           "written (the database's own file name comes right after -o)";
}
} // namespace

int RunBuild(const BuildOptions& options)
{
    if (const Result<std::optional<std::uint32_t>> epoch = SourceDateEpochFromEnvironment(); !epoch) {
        PrintError(epoch.error().text);
        return EXIT_STATUS_FAILED;
    }

    const bool toStandardOutput = options.output == STANDARD_OUTPUT_NAME;
    if (toStandardOutput && StandardOutputIsTerminal()) {
        PrintError("-o -: standard output is a terminal, where a database can't be shown; redirect it to a file "
                   "or a pipe, or name a .pdb file after -o");
        return EXIT_STATUS_USAGE;
    }
    // Every input is read before anything is written, so a bad input leaves no file behind. Each song goes
    // into its record as soon as it is read and its text is dropped, so that the songs are held once, not twice.
    // An input that is the output file would be lost: the output is looked at once, and each input as it is read.
    const std::optional<FileIdentity> outputIdentity =
        options.output.empty() || toStandardOutput ? std::nullopt : IdentityOfFile(PathFromUtf8(options.output));
    CSystemPlatform platform;
    CImportDatabaseBuilder builder(platform, ExportOptions{options.name});
    std::size_t warnings = 0;
    const auto warn = [&warnings](std::string_view subject, std::string_view message) {
        PrintWarning(subject, message);
        ++warnings;
    };
    if (const std::optional<Loss> loss = DatabaseNameLoss(options.nameArgument)) {
        warn("--name", messages::LossDescription(*loss));
    }
    const TextConversion conversion = options.chordSheets ? TextConversion::ChordSheets : TextConversion::Strict;
    // A folder stands for the song files in it, in its place among the files named.
    std::vector<std::string> files = options.files;
    std::string firstText; // the first file whose text is taken
    for (std::size_t next = 0; next < files.size(); ++next) {
        const std::string file = files[next];
        InputFile input =
            file == STANDARD_INPUT_NAME ? ReadStandardInput(conversion) : ReadInputFile(PathFromUtf8(file), conversion);
        if (input.kind == InputKind::Folder) {
            const Result<std::vector<std::filesystem::path>> inFolder = SongFilesInFolder(PathFromUtf8(file));
            if (!inFolder) {
                PrintError(inFolder.error().text);
                return EXIT_STATUS_FAILED;
            }
            std::vector<std::string> names;
            for (const std::filesystem::path& found : *inFolder) {
                names.push_back(Utf8FromPath(found));
            }
            files.insert(files.begin() + static_cast<std::ptrdiff_t>(next + 1), names.begin(), names.end());
            continue;
        }
        if (outputIdentity && input.identity == outputIdentity) {
            PrintError(messages::SameFileAsInput(PathFromUtf8(options.output), PathFromUtf8(file)));
            return EXIT_STATUS_FAILED;
        }
        if (input.kind != InputKind::Texts) {
            const bool database = input.database && HasPdbSuffix(file);
            const bool songs = database && HoldsSongs(KindOf(*input.database));
            PrintError(database ? file + " is a " + (songs ? "song" : "chord") +
                                      " database, not a text; use 'tunelore-cli extract' to get its " +
                                      (songs ? "songs" : "chords")
                       : input.error.empty() ? messages::NotASongFile(file)
                                             : input.error);
            return EXIT_STATUS_FAILED;
        }
        if (firstText.empty()) {
            firstText = file;
        }
        if (input.emptyFile) {
            warn(file, EMPTY_FILE_WARNING);
        } else if (input.blankFile) {
            warn(file, messages::LossDescription(Loss{LossKind::EmptySong, 0, 0, {}, {}}));
        }
        const std::size_t ignored = builder.IgnoredTexts();
        for (std::size_t song = 0; song < input.texts.size(); ++song) {
            const LoadedText& loaded = input.texts[song];
            builder.Add(loaded.text);
            // The songs of a songbook file are told apart by their place in it.
            const std::string subject = input.texts.size() == 1 ? file : file + ", song " + std::to_string(song + 1);
            for (const Loss& loss :
                 builder.IgnoredTexts() != ignored ? std::vector<Loss>{} : TextLosses(loaded, builder.ChordMode())) {
                warn(subject, messages::LossDescription(loss));
            }
        }
        if (builder.IgnoredTexts() != ignored) {
            warn(file,
                 "left out: the first file, " + firstText +
                     ", is a chord list, so only its chords go into the database");
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
    if (options.hotsync || options.Installing()) {
        const std::optional<InstallRoute> route = ChooseInstallRoute(options, platform);
        if (!route)
            return EXIT_STATUS_FAILED;
        const std::optional<std::string> installed =
            route->hotsync ? InstallByHotSync({&database}, what(), *route->hotsync)
                           : InstallBuiltDatabase(database, what, route->choice, options.name.has_value(), platform);
        if (!installed)
            return EXIT_STATUS_FAILED;
        done = *installed;
    } else if (toStandardOutput) {
        // Too many records is said as for a file, in the handheld's terms.
        const std::string countCause = RecordCountCause(records, chordMode);
        const Result<std::vector<std::uint8_t>> image = database.Image();
        if (!countCause.empty() || !image) {
            PrintError("Can't write to standard output: " + (!countCause.empty() ? countCause : image.error().text));
            return EXIT_STATUS_FAILED;
        }
        MakeStandardOutputBinary();
        std::cout.write(reinterpret_cast<const char*>(image->data()), static_cast<std::streamsize>(image->size()));
        std::cout.flush();
        if (!std::cout) {
            PrintError("Can't write to standard output");
            return EXIT_STATUS_FAILED;
        }
        // Standard output holds the database, so what was done goes to standard error.
        std::cerr << "Wrote " << what() << " to standard output\n";
        return EXIT_STATUS_OK;
    } else {
        if (const std::string refusal = OutputRefusal(options.output); !refusal.empty()) {
            PrintError(refusal);
            return EXIT_STATUS_FAILED;
        }
        const Result<std::string> written = SaveDatabase(database, PathFromUtf8(options.output));
        if (!written) {
            PrintError(written.error().text);
            return EXIT_STATUS_FAILED;
        }
        done = "Wrote " + what() + " to " + EscapeControls(*written);
    }
    std::cout << done << '\n';
    return EXIT_STATUS_OK;
}
