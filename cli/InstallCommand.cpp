// build --install, --install-to and --install-with: the database goes into the lasting folder and on to the
// destination; one line says where.

#include "cli/Commands.h"
#include "cli/Console.h"
#include "jobs/Install.h"

#include "hotsync/Connection.h"

std::optional<InstallRoute> ChooseInstallRoute(const BuildOptions& options, IPlatform& platform)
{
    InstallRoute route;
    if (options.hotsync) {
        route.hotsync = options.hotsync;
        return route;
    }
    if (!options.installTo.empty()) {
        route.choice = {InstallMethod::Folder, options.installTo, {}};
        return route;
    }
    if (!options.installWith.empty()) {
        route.choice.method = options.installWith == "jpilot" ? InstallMethod::JPilot : InstallMethod::SystemTool;
        return route;
    }
    const InstallSettings settings = ReadInstallSettings(platform);
    for (const std::string& warning : settings.warnings)
        PrintWarning(settings.file, warning);
    route.choice = settings.choice;
    if (route.choice.method == InstallMethod::Ask) {
        route.choice.method = InstallMethod::Automatic; // nobody to ask
    }
    if (DestinationFor(route.choice, platform) == InstallDestination::HotSync) {
        HotSyncOptions hotsync = options.session;
        hotsync.connection = route.choice.HotSyncConnection();
        if (const Result<hotsync::HandheldRoute> parsed = hotsync::ParseConnection(hotsync.connection); !parsed) {
            PrintError(EscapeControls(settings.file) + ": connection: " + parsed.error().text);
            return std::nullopt;
        }
        route.hotsync = std::move(hotsync);
    }
    return route;
}

std::optional<std::string> InstallBuiltDatabase(CPalmDatabase& database,
                                                const std::function<std::string()>& describe,
                                                const InstallChoice& choice,
                                                bool named,
                                                IPlatform& platform,
                                                const std::vector<std::uint8_t>* original)
{
    // Only a name this build drew may be drawn again: one given with --name, or the name inside a database
    // file, is kept.
    const NameOrigin origin = original || named ? NameOrigin::Given : NameOrigin::Drawn;
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
    case InstallDestination::HotSync: // run by the caller instead
        break;
    }
    return saved + ": install it with your HotSync tool";
}
