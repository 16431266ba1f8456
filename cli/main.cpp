// tunelore-cli: the importer's jobs from a terminal. Exit status 0 on success, 1 on failure (one line on
// standard error), 2 on a usage error.

#include "cli/Commands.h"
#include "cli/Console.h"
#include "pdb/AtomicFile.h"
#include "text/Ascii.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstddef>
#include <exception>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CommandLine.h"

namespace {
// The number of single-character edits (insert, delete, replace, swap of neighbours) that turn `a` into `b`.
std::size_t EditDistance(std::string_view a, std::string_view b)
{
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

// The suggestion for a mistyped name among `candidates`: those that start with it ("--keep" for
// "--keep-pdb" and "--keep-existing"), else the closest one a few edits away, letter case aside (at most one
// edit for every three letters, and two at most, so that "-j" suggests no "-h"); empty when none fits.
std::string Suggestion(std::string_view word, const std::vector<std::string>& candidates)
{
    const std::string_view letters = word.substr(std::min(word.find_first_not_of('-'), word.size()));
    std::string starting;
    for (const std::string& candidate : candidates)
        if (letters.size() >= 3 && candidate.size() > word.size() && candidate.starts_with(word))
            starting += (starting.empty() ? "" : " or ") + candidate;
    if (!starting.empty())
        return starting;
    std::string closest;
    std::size_t closestDistance = std::min<std::size_t>(2, letters.size() / 3) + 1;
    for (const std::string& candidate : candidates) {
        const std::size_t distance = EditDistance(AsciiLowerCopy(word), AsciiLowerCopy(candidate));
        if (distance < closestDistance) {
            closestDistance = distance;
            closest = candidate;
        }
    }
    return closest;
}

// The usage error for a first word that names no command, "biuld" say; empty when the command line starts
// with an option or a command. Left to the parser, such a word only gives "A subcommand is required", which
// does not say which word was wrong.
std::string UnknownCommandError(const CLI::App& app, int argc, char** argv)
{
    if (argc < 2 || argv[1][0] == '-')
        return {};
    const std::string_view word = argv[1];
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands({})) {
        if (command->get_name() == word)
            return {};
        names.push_back(command->get_name());
    }
    std::string error = "unknown command \"" + std::string(word) + "\"";
    if (const std::string closest = Suggestion(word, names); !closest.empty()) {
        error += "; did you mean " + closest + "?";
    } else {
        std::string list;
        for (const std::string& name : names)
            list += (list.empty() ? "" : ", ") + name;
        error += " (commands: " + list + ")";
    }
    return error + " (see tunelore-cli --help)";
}

// The option names of a command, its option groups' too: "--output", "-o".
void AddOptionNames(const CLI::App& command, std::vector<std::string>& names)
{
    for (const CLI::Option* option : command.get_options()) {
        for (const std::string& name : option->get_lnames())
            names.push_back("--" + name);
        for (const std::string& name : option->get_snames())
            names.push_back("-" + name);
    }
    for (const CLI::App* group : command.get_subcommands({}))
        if (group->get_name().empty())
            AddOptionNames(*group, names);
}

// The usage error for an option the command does not know; empty when there is none. The parser checks what
// is required first, so "build --outptu x.pdb" would only say that a destination is missing.
std::string UnknownOptionError(const CLI::App& app, int argc, char** argv)
{
    // Words after "--" are arguments, whatever they look like.
    const std::vector<std::string_view> beforeDashes(argv + 1,
                                                     std::find(argv + 1, argv + argc, std::string_view("--")));
    const std::vector<CLI::App*> commands = app.get_subcommands();
    const CLI::App& command = commands.empty() ? app : *commands.front();
    std::vector<std::string> words = app.remaining();
    for (const std::string& word : command.remaining())
        words.push_back(word);
    for (const std::string& word : words) {
        if (word.size() < 2 || word[0] != '-' ||
            std::find(beforeDashes.begin(), beforeDashes.end(), word) == beforeDashes.end())
            continue;
        std::vector<std::string> names;
        AddOptionNames(command, names);
        const std::string option = word.substr(0, word.find('=')); // "--name=x" is the option --name
        const std::string closest = Suggestion(option, names);
        const std::string where = commands.empty() ? std::string() : command.get_name() + ": ";
        const std::string help =
            commands.empty() ? "tunelore-cli --help" : "tunelore-cli " + command.get_name() + " --help";
        return where + "unknown option " + option + (closest.empty() ? "" : "; did you mean " + closest + "?") +
               " (see " + help + ")";
    }
    return {};
}

int Run(int argc, char** argv)
{
    CLI::App app{"Turns song files and chord lists into databases for the Tunelore songbook on a Palm handheld, "
                 "and the handheld's song and chord databases back into files.",
                 "tunelore-cli"};
    // Options are spelled the same everywhere; on Windows CLI11 would otherwise take a path such as /songs for
    // an option. Set before the commands are added, which inherit it.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", "tunelore-cli " TUNELORE_VERSION);
    app.require_subcommand(1);

    BuildOptions build;
    std::string nameArgument;
    CLI::App* buildCommand = app.add_subcommand("build", "Build a song or chord import database from text files");
    CLI::Option* nameOption =
        buildCommand->add_option("--name", nameArgument, "Database name (at most 31 bytes) instead of a random one");
    CLI::Option_group* destination = buildCommand->add_option_group("destination", "Where the database goes");
    destination->add_option(
        "-o,--output", build.output, "Write the database to this .pdb file (- for standard output)");
    CLI::Option* buildInstallOption =
        destination->add_flag("--install",
                              build.install,
                              "Install as last chosen (tunelore-importer's context menu or install.conf), else "
                              "through J-Pilot, or on Linux without J-Pilot by HotSync over USB, or elsewhere "
                              "through the system's install tool");
    CLI::Option* installTo = destination->add_option(
        "--install-to", build.installTo, "Install by copying into this folder (an emulator's, a card's PALM/Launcher)");
    destination->add_option("--install-with", build.installWith, "Install through the system's install tool or J-Pilot")
        ->check(CLI::IsMember({"system", "jpilot"}));
    HotSyncOptions buildHotSync;
    double buildTimeout = 0;
    CLI::Option* buildHotSyncOption =
        destination->add_option("--hotsync",
                                buildHotSync.connection,
                                "Install on the handheld by HotSync over CONN: usb, net[:ADDRESS:PORT], "
                                "serial:DEVICE[:BAUD] or serial-net[:ADDRESS:PORT]");
    buildHotSyncOption->type_name("CONN");
    destination->require_option(1);
    // With --install they apply when the install goes by HotSync.
    CLI::Option* buildReplaceOption = buildCommand->add_flag(
        "--replace", buildHotSync.replace, "HotSync: replace a database of the same name on the handheld");
    CLI::Option* buildTimeoutOption =
        buildCommand->add_option("--timeout", buildTimeout, "HotSync: wait at most this many seconds for the handheld")
            ->type_name("SECONDS");
    const char* sheetHelp =
        "Convert every text file as a chord sheet from a tab site (section labels, chord lines "
        "with bar lines and repeats, tablature); ChordPro files with chord marks and chord lists stay as they "
        "are, ChordPro files without chord marks get their chord lines merged";
    buildCommand->add_flag("--sheet", build.chordSheets, sheetHelp);
    buildCommand->add_flag("--strict", build.strict, "Write nothing and fail when anything would be lost");
    buildCommand
        ->add_option(
            "FILE", build.files, "Song files (.pro, .txt, .tab, .crd, ...), folders of them, or one chord list")
        ->required();

    std::string databasePath;
    std::string destinationPath;
    CLI::App* extractCommand = app.add_subcommand(
        "extract",
        "Extract a song database into a folder or a chord database into a text file, or the handheld's "
        "songs and chords by HotSync into a folder");
    bool keepExisting = false;
    extractCommand->add_option(
        "DB", databasePath, "Song (SONG, SONM) or chord (CHRD, CHRM) database, named *.pdb (not with --hotsync)");
    extractCommand->add_option(
        "DEST", destinationPath, "Folder for the songs, or text file for the chords (with --hotsync: folder for both)");
    HotSyncOptions extractHotSync;
    double extractTimeout = 0;
    bool keepPdb = false;
    CLI::Option* extractHotSyncOption =
        extractCommand->add_option("--hotsync",
                                   extractHotSync.connection,
                                   "Read the songbook's song and chord databases from the handheld "
                                   "by HotSync over CONN (see build --hotsync)");
    extractHotSyncOption->type_name("CONN");
    CLI::Option* extractTimeoutOption =
        extractCommand
            ->add_option("--timeout", extractTimeout, "HotSync: wait at most this many seconds for the handheld")
            ->type_name("SECONDS")
            ->needs(extractHotSyncOption);
    extractCommand->add_flag("--keep-pdb", keepPdb, "HotSync: also save each database read as DEST/<name>.pdb")
        ->needs(extractHotSyncOption);
    extractCommand->add_flag("--keep-existing",
                             keepExisting,
                             "Keep song files that hold another text and write the song under a numbered name");

    InstallCommandOptions install;
    HotSyncOptions installHotSync;
    double installTimeout = 0;
    CLI::App* installCommand =
        app.add_subcommand("install", "Install existing Palm databases (.pdb, .prc) by HotSync or as build installs");
    CLI::Option_group* installDestination = installCommand->add_option_group("destination", "Where the databases go");
    CLI::Option* installHotSyncOption = installDestination->add_option(
        "--hotsync", installHotSync.connection, "Install on the handheld by HotSync over CONN (see build --hotsync)");
    installHotSyncOption->type_name("CONN");
    installDestination->add_option("--install-to", install.installTo, "Install by copying into this folder");
    installDestination
        ->add_option("--install-with", install.installWith, "Install through the system's install tool or J-Pilot")
        ->check(CLI::IsMember({"system", "jpilot"}));
    installDestination->require_option(0, 1);
    // Without --hotsync they apply when install.conf's choice leads to HotSync.
    CLI::Option* installReplaceOption = installCommand->add_flag(
        "--replace", installHotSync.replace, "HotSync: replace databases of the same names on the handheld");
    CLI::Option* installTimeoutOption =
        installCommand
            ->add_option("--timeout", installTimeout, "HotSync: wait at most this many seconds for the handheld")
            ->type_name("SECONDS");
    installCommand->add_option("FILE", install.files, "Palm databases (.pdb, .prc)")->required();

    std::string convertPath;
    bool convertSheet = false;
    CLI::App* convertCommand =
        app.add_subcommand("convert", "Print a file as the importer loads it (tabs converted), in UTF-8");
    convertCommand->add_flag("--sheet", convertSheet, sheetHelp);
    convertCommand->add_option("FILE", convertPath, "Text or tab file")->required();

    bool json = false;
    std::string infoPath;
    CLI::App* infoCommand = app.add_subcommand("info", "Show the header and records of a Palm database");
    infoCommand->add_flag("--json", json, "Print JSON");
    infoCommand->add_option("DB", infoPath, "Palm database (.pdb), or - for standard input")->required();

    if (const std::string error = UnknownCommandError(app, argc, argv); !error.empty()) {
        PrintError(error);
        return EXIT_STATUS_USAGE;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success))
            return app.exit(error); // --help, --version
        const std::string unknownOption = UnknownOptionError(app, argc, argv);
        PrintError(!unknownOption.empty() ? unknownOption : std::string(error.what()) + " (see tunelore-cli --help)");
        return EXIT_STATUS_USAGE;
    }

    // The HotSync options of a command, checked (the connection only when one was given); false after printing
    // the usage error.
    const auto takeHotSync = [](HotSyncOptions& options, CLI::Option* timeoutOption, double timeout) {
        if (timeoutOption->count() > 0)
            options.timeoutSeconds = timeout;
        HotSyncOptions checked = options;
        if (checked.connection.empty())
            checked.connection = DEFAULT_HOTSYNC_CONNECTION;
        const std::string error = CheckHotSyncOptions(checked);
        if (!error.empty())
            PrintError(error + " (see tunelore-cli --help)");
        return error.empty();
    };
    // --replace and --timeout need a HotSync: one asked for, or one that an install may lead to.
    const auto sessionOptionsFit = [](CLI::Option* replace, CLI::Option* timeout, bool hotsyncPossible) {
        if (hotsyncPossible || (replace->count() == 0 && timeout->count() == 0))
            return true;
        PrintError(std::string(replace->count() > 0 ? "--replace" : "--timeout") +
                   ": only with --hotsync or --install (see tunelore-cli --help)");
        return false;
    };
    if (*buildCommand) {
        if (!sessionOptionsFit(buildReplaceOption,
                               buildTimeoutOption,
                               buildHotSyncOption->count() > 0 || buildInstallOption->count() > 0))
            return EXIT_STATUS_USAGE;
        if (!takeHotSync(buildHotSync, buildTimeoutOption, buildTimeout))
            return EXIT_STATUS_USAGE;
        if (buildHotSyncOption->count() > 0)
            build.hotsync = buildHotSync;
        build.session = buildHotSync;
        if (!build.hotsync && !build.Installing() && build.output.empty()) {
            PrintError(std::string(installTo->count() > 0 ? "--install-to: the folder" : "-o: the output path") +
                       " is empty (see tunelore-cli --help)");
            return EXIT_STATUS_USAGE;
        }
        if (nameOption->count() > 0) {
            const Result<std::string> name = MakeDatabaseNameArgument(nameArgument);
            if (!name) {
                PrintError(name.error().text + " (see tunelore-cli --help)");
                return EXIT_STATUS_USAGE;
            }
            build.name = *name;
            build.nameArgument = nameArgument;
        }
        return RunBuild(build);
    }
    if (*extractCommand) {
        if (extractHotSyncOption->count() > 0) {
            if (!takeHotSync(extractHotSync, extractTimeoutOption, extractTimeout))
                return EXIT_STATUS_USAGE;
            // With --hotsync the one positional argument is the folder.
            if (databasePath.empty() || !destinationPath.empty()) {
                PrintError("extract --hotsync takes one folder, DEST (see tunelore-cli --help)");
                return EXIT_STATUS_USAGE;
            }
            return RunHotSyncExtract(extractHotSync, databasePath, keepPdb, keepExisting);
        }
        if (databasePath.empty() || destinationPath.empty()) {
            PrintError("extract needs DB and DEST (see tunelore-cli --help)");
            return EXIT_STATUS_USAGE;
        }
        return RunExtract(databasePath, destinationPath, keepExisting);
    }
    if (*installCommand) {
        if (!sessionOptionsFit(
                installReplaceOption, installTimeoutOption, install.installTo.empty() && install.installWith.empty()))
            return EXIT_STATUS_USAGE;
        if (!takeHotSync(installHotSync, installTimeoutOption, installTimeout))
            return EXIT_STATUS_USAGE;
        if (installHotSyncOption->count() > 0)
            install.hotsync = installHotSync;
        install.session = installHotSync;
        return RunInstall(install);
    }
    if (*convertCommand)
        return RunConvert(convertPath, convertSheet);
    return RunInfo(infoPath, json);
}
} // namespace

int main(int argc, char** argv)
{
    InstallTemporaryFileCleanup();
    // Paths and names are UTF-8 everywhere inside, whatever the system's code page.
    std::vector<std::string> arguments = Utf8Arguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    argc = static_cast<int>(arguments.size());
    argv = pointers.data();

    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        PrintError("out of memory");
    } catch (const std::filesystem::filesystem_error& error) {
        PrintError(error.what());
    } catch (const std::exception& error) {
        PrintError(error.what());
    }
    return EXIT_STATUS_FAILED;
}
