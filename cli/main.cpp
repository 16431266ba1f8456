// tunelore-cli: the importer's jobs from a terminal. Exit status 0 on success, 1 on failure (one line on
// standard error), 2 on a usage error.

#include "cli/Commands.h"
#include "cli/Console.h"
#include "pdb/AtomicFile.h"

#include <CLI/CLI.hpp>
#include <exception>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "platform/CommandLine.h"

namespace {
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
    destination->add_option("-o,--output", build.output, "Write the database to this .pdb file");
    destination->add_flag("--install",
                          build.install,
                          "Install at the next HotSync as last chosen (tunelore-importer's context menu or "
                          "install.conf), else through J-Pilot (Linux) or the system's install tool");
    CLI::Option* installTo = destination->add_option(
        "--install-to", build.installTo, "Install by copying into this folder (an emulator's, a card's PALM/Launcher)");
    destination->add_option("--install-with", build.installWith, "Install through the system's install tool or J-Pilot")
        ->check(CLI::IsMember({"system", "jpilot"}));
    destination->require_option(1);
    const char* sheetHelp = "Convert every text file as a chord sheet from a tab site (section labels, chord lines "
                            "with bar lines and repeats, tablature); ChordPro files and chord lists stay as they are";
    buildCommand->add_flag("--sheet", build.chordSheets, sheetHelp);
    buildCommand->add_flag("--strict", build.strict, "Write nothing and fail when anything would be lost");
    buildCommand->add_option("FILE", build.files, "Song files (.pro, .txt, .tab, .crd, ...) or one chord list")
        ->required();

    std::string databasePath;
    std::string destinationPath;
    CLI::App* extractCommand =
        app.add_subcommand("extract", "Extract a song database into a folder or a chord database into a text file");
    bool keepExisting = false;
    extractCommand->add_option("DB", databasePath, "Song (SONG, SONM) or chord (CHRD, CHRM) database, named *.pdb")
        ->required();
    extractCommand->add_option("DEST", destinationPath, "Folder for the songs, or text file for the chords")
        ->required();
    extractCommand->add_flag("--keep-existing",
                             keepExisting,
                             "Keep song files that hold another text and write the song under a numbered name");

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
    infoCommand->add_option("DB", infoPath, "Palm database (.pdb)")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success))
            return app.exit(error); // --help, --version
        PrintError(std::string(error.what()) + " (see tunelore-cli --help)");
        return EXIT_STATUS_USAGE;
    }

    if (*buildCommand) {
        if (!build.Installing() && build.output.empty()) {
            PrintError(std::string(installTo->count() > 0 ? "--install-to: the folder" : "-o: the output path") +
                       " is empty (see tunelore-cli --help)");
            return EXIT_STATUS_USAGE;
        }
        if (nameOption->count() > 0) {
            std::string error;
            build.name = MakeDatabaseNameArgument(nameArgument, error);
            build.nameArgument = nameArgument;
            if (!build.name) {
                PrintError(error + " (see tunelore-cli --help)");
                return EXIT_STATUS_USAGE;
            }
        }
        return RunBuild(build);
    }
    if (*extractCommand)
        return RunExtract(databasePath, destinationPath, keepExisting);
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
