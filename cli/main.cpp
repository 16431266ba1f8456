// tunelore-cli: the importer's jobs from a terminal. Exit status 0 on success, 1 on failure (one line on
// standard error), 2 on a usage error.

#include "cli/Commands.h"
#include "cli/Console.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <filesystem>
#include <iostream>
#include <new>

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
    destination->add_flag(
        "--install", build.install, "Hand the database to the desktop to install at the next HotSync");
    destination->require_option(1);
    buildCommand->add_option("FILE", build.files, "Song files (.pro, .txt, .tab, .crd, ...) or one chord list")
        ->required();

    std::string databasePath;
    std::string destinationPath;
    CLI::App* extractCommand =
        app.add_subcommand("extract", "Extract a song database into a folder or a chord database into a text file");
    extractCommand->add_option("DB", databasePath, "Song (SONG) or chord (CHRD) database, named *.pdb")->required();
    extractCommand->add_option("DEST", destinationPath, "Folder for the songs, or text file for the chords")
        ->required();

    std::string convertPath;
    CLI::App* convertCommand =
        app.add_subcommand("convert", "Print a file as the importer loads it (tabs converted), in UTF-8");
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
        if (!build.install && build.output.empty()) {
            PrintError("-o: the output path is empty (see tunelore-cli --help)");
            return EXIT_STATUS_USAGE;
        }
        if (nameOption->count() > 0) {
            std::string error;
            build.name = MakeDatabaseNameArgument(nameArgument, error);
            if (!build.name) {
                PrintError(error + " (see tunelore-cli --help)");
                return EXIT_STATUS_USAGE;
            }
        }
        return RunBuild(build);
    }
    if (*extractCommand)
        return RunExtract(databasePath, destinationPath);
    if (*convertCommand)
        return RunConvert(convertPath);
    return RunInfo(infoPath, json);
}
} // namespace

int main(int argc, char** argv)
{
    // Database names draw on std::rand. With SOURCE_DATE_EPOCH set, the same inputs give the same bytes.
    bool malformedEpoch = false;
    const std::optional<std::uint32_t> epoch = SourceDateEpoch(malformedEpoch);
    std::srand(epoch ? *epoch : static_cast<unsigned>(std::time(nullptr)));

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
