// build --install, --install-to and --install-with: the database goes into the lasting folder and on to the
// destination; one line says where.

#include "cli/Commands.h"
#include "cli/Console.h"
#include "jobs/Install.h"

std::optional<std::string> InstallBuiltDatabase(CPalmDatabase& database,
                                                const std::function<std::string()>& describe,
                                                const BuildOptions& options,
                                                IPlatform& platform,
                                                const std::vector<std::uint8_t>* original)
{
    InstallChoice choice;
    if (!options.installTo.empty()) {
        choice = {InstallMethod::Folder, options.installTo};
    } else if (!options.installWith.empty()) {
        choice.method = options.installWith == "jpilot" ? InstallMethod::JPilot : InstallMethod::SystemTool;
    } else {
        const InstallSettings settings = ReadInstallSettings(platform);
        for (const std::string& warning : settings.warnings)
            PrintWarning(settings.file, warning);
        choice = settings.choice;
        if (choice.method == InstallMethod::Ask) {
            choice.method = InstallMethod::Automatic; // nobody to ask
        }
    }

    // Only a name this build drew may be drawn again: one given with --name, or the name inside a database
    // file, is kept.
    const NameOrigin origin = original || options.name ? NameOrigin::Given : NameOrigin::Drawn;
    const InstallResult result = InstallDatabase(database, choice, platform, origin, original);
    if (!result.written) {
        PrintError(EscapeControls(result.error));
        return std::nullopt;
    }
    const std::string saved = "Saved " + describe() + " in " + EscapeControls(result.path);
    if (!result.ok()) {
        PrintError(saved + ", but " + EscapeControls(result.error));
        return std::nullopt;
    }
    switch (result.destination) {
    case InstallDestination::JPilot:
        return saved + ", queued for J-Pilot's next HotSync";
    case InstallDestination::Folder:
        return saved + ", copied to " + EscapeControls(result.target);
    case InstallDestination::SystemTool:
        return saved + ", handed to the install tool" +
               (result.target.empty() ? std::string() : " (" + EscapeControls(result.target) + ")");
    case InstallDestination::None:
        break;
    }
    return saved + ": install it with your HotSync tool";
}
