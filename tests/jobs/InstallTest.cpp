// Install with a fake home and data folders, and fake xdg-mime and xdg-open first on PATH that log their calls.

#include "jobs/Install.h"

#include "jobs/TuneloreDatabase.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

// "" for success, else the cause given.
std::string Said(const Status& status)
{
    return status ? std::string() : status.error().text;
}

class InstallTest : public ::testing::Test
{
protected:
    // The Linux destinations and folders, with shell-script stand-ins for the desktop's helpers.
    void SetUp() override
    {
#if defined(_WIN32)
        GTEST_SKIP() << "Linux folders and shell-script helpers";
#endif
    }
    // xdg-mime gives every file `type` and `type` the `application`; xdg-open prints 14 lines and exits with
    // `openStatus`, or kills itself with the signal -openStatus when that is negative.
    void Helpers(const std::string& type, const std::string& application, int openStatus)
    {
        for (const auto& [name, body] :
             {std::pair("xdg-mime", "[ $2 = filetype ] && echo '" + type + "' || echo '" + application + "'"),
              std::pair("xdg-open",
                        "seq 14 >&2; " + (openStatus < 0 ? "kill -" + std::to_string(-openStatus) + " $$"
                                                         : "exit " + std::to_string(openStatus)))}) {
            WriteFileBytes(m_bin.File(name),
                           "#!/bin/sh\necho " + std::string(name) + " \"$@\" >> '" + m_bin.File("calls") + "'\n" +
                               body + "\n");
            fs::permissions(m_bin.File(name), fs::perms::owner_all);
        }
    }
    InstallResult Install(const InstallChoice& choice, const std::string& name = "Songs")
    {
        CPalmDatabase database(name, TUNELORE_CREATOR, SONG_IMPORT_TYPE, false, 0);
        return InstallDatabase(database, choice, m_platform, NameOrigin::Drawn);
    }
    std::string Kept(const std::string& name) const
    {
        return m_home.File(".local/share/tunelore-importer/" + name);
    }
    static unsigned Mode(const std::string& path)
    {
        return static_cast<unsigned>(fs::status(path).permissions());
    }

    TempDir m_home, m_bin, m_out;
    ScopedEnv m_env[5] = {{"HOME", m_home.Str()},
                          {"XDG_DATA_HOME", ""},
                          {"XDG_CONFIG_HOME", ""},
                          {"JPILOT_HOME", ""},
                          {"PATH", m_bin.Str() + ":/usr/bin:/bin"}};
    CSystemPlatform m_platform;
};

TEST_F(InstallTest, KeptPrivatelyUnderFreshUtf8NamesAndWithoutJPilotHotSyncIsTheWay)
{
    for (const std::string& file : {"\u00c9t\u00e9 \u20ac.pdb"s, "\u00c9t\u00e9 \u20ac (2).pdb"s}) {
        CPalmDatabase database("\xC9t\xE9 \x80", TUNELORE_CREATOR, SONG_IMPORT_TYPE, false, 0); // Windows-1252
        const InstallResult result = KeepDatabase(database, m_platform);
        EXPECT_EQ(std::tuple(result.ok(), result.destination, result.path, Mode(result.path)),
                  std::tuple(true, InstallDestination::None, Kept(file), 0600u));
        EXPECT_EQ(ReadFileBytes(result.path).value_or("").substr(0, 9), "\xC9t\xE9 \x80\0\0\0\0"s);
    }
    EXPECT_EQ(Mode(Kept("")), 0700u);
    EXPECT_EQ(Install({}, "../x").path, Kept(".._x.pdb")); // a name never leads out of the folder
    EXPECT_FALSE(fs::exists(m_bin.File("calls")));         // no helper asked

    // With nothing chosen and no J-Pilot, HotSync is the one way to the handheld; the file kept for it is not
    // taken for handed on, since only a front end runs the session.
    EXPECT_EQ(DestinationFor({}, m_platform), InstallDestination::HotSync);
    const InstallResult hotsync = Install({InstallMethod::HotSync, {}, "usb"});
    EXPECT_TRUE(hotsync.written && !hotsync.ok()) << hotsync.error;
    fs::create_directory(m_home.File(".jpilot"));
    EXPECT_EQ(DestinationFor({}, m_platform), InstallDestination::JPilot);
    EXPECT_EQ(DestinationFor({InstallMethod::HotSync, {}, {}}, m_platform), InstallDestination::HotSync);
}

TEST_F(InstallTest, JPilotListGetsEachPathOnceAndKeepsItsLines)
{
    const std::string list = m_home.File(".jpilot/jpilot.install");
    fs::create_directory(m_home.File(".jpilot"));
    WriteFileBytes(list, "/old/Earlier.pdb");
    const InstallResult first = Install({}), second = Install({InstallMethod::JPilot, {}, {}});
    EXPECT_TRUE(first.ok() && second.ok() && first.destination == InstallDestination::JPilot) << first.error;
    EXPECT_EQ(Said(AddToJPilotList(list, first.path)), "");
    EXPECT_EQ(ReadFileBytes(list), "/old/Earlier.pdb\n" + first.path + "\n" + second.path + "\n");

    // JPILOT_HOME takes the place of HOME; without J-Pilot's folder the database stays where it was kept.
    ScopedEnv jpilotHome("JPILOT_HOME", m_out.Str());
    const InstallResult missing = Install({InstallMethod::JPilot, {}, {}});
    EXPECT_EQ(std::tuple(missing.written, missing.ok(), missing.error),
              std::tuple(true, false, "J-Pilot's folder " + m_out.File(".jpilot") + " does not exist"));
}

TEST_F(InstallTest, ConcurrentInstallsAreAllListedOnce)
{
    const std::string list = m_home.File(".jpilot/jpilot.install");
    fs::create_directory(m_home.File(".jpilot"));
    std::vector<std::string> answers(120, "not asked");
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 6; ++writer) {
        writers.emplace_back([&, writer] {
            for (int entry = writer * 20; entry < writer * 20 + 20; ++entry)
                answers[std::size_t(entry)] = Said(AddToJPilotList(list, "/db/" + std::to_string(entry) + ".pdb"));
        });
    }
    std::for_each(writers.begin(), writers.end(), [](std::thread& writer) { writer.join(); });
    // Each line is taken out once it is found: what is left over was written twice.
    std::string written = "\n" + ReadFileBytes(list).value_or("");
    for (int entry = 0; entry < 120; ++entry) {
        const std::string line = "/db/" + std::to_string(entry) + ".pdb\n";
        const std::size_t at = written.find("\n" + line);
        answers.push_back(at == std::string::npos ? "missing " + line : "");
        written.erase(std::min(at + 1, written.size()), at == std::string::npos ? 0 : line.size());
    }
    EXPECT_EQ(std::tuple(answers, written), std::tuple(std::vector<std::string>(240, ""), "\n"));

    fs::permissions(list, fs::perms::owner_read);
    EXPECT_EQ(Said(AddToJPilotList(list, "/db/new.pdb")),
              "can't write J-Pilot's install list " + list + ": the file is read-only");
}

// One database per name on the handheld: a drawn name already kept or in J-Pilot's list is redrawn; a chosen one stays.
TEST_F(InstallTest, DrawnNamesAreNotGivenTwice)
{
    FakePlatform platform;
    platform.environment = {{"HOME", m_home.Str()}};
    fs::create_directory(m_home.File(".jpilot"));
    WriteFileBytes(m_home.File(".jpilot/jpilot.install"), "/card/TuneloreDB9 (2).pdb\n");
    // The first number drawn, the name chosen (none: drawn), the name the database ends with, the file kept.
    const std::tuple<std::uint32_t, std::optional<std::string>, std::string, std::string> cases[] = {
        {7, std::nullopt, "TuneloreDB7", "TuneloreDB7.pdb"},
        {7, std::nullopt, "TuneloreDB8", "TuneloreDB8.pdb"},
        {9, std::nullopt, "TuneloreDB10", "TuneloreDB10.pdb"},
        {7, "Songs", "Songs", "Songs.pdb"},
        {7, "Songs", "Songs", "Songs (2).pdb"},
        {7, "TuneloreDB7", "TuneloreDB7", "TuneloreDB7 (2).pdb"},
    };
    for (const auto& [random, chosen, name, file] : cases) {
        SCOPED_TRACE(name);
        platform.random = random;
        CPalmDatabase database = BuildSongDatabase({"A\n"}, platform, ExportOptions{chosen});
        const InstallResult result =
            InstallDatabase(database, {}, platform, chosen ? NameOrigin::Given : NameOrigin::Drawn);
        EXPECT_EQ(std::tuple(result.ok(), database.GetName(), result.path), std::tuple(true, name, Kept(file)))
            << result.error;
    }
    EXPECT_EQ(FolderEntries(Kept("")).size(), std::size(cases)); // nothing kept but these
}

// install.conf as people write it: spaces and capitals are understood; what is not is said, with its line.
TEST_F(InstallTest, SettingsReadAsWrittenAndWhatIsNotUnderstoodIsSaid)
{
    const std::string file = m_home.File(".config/tunelore-importer/install.conf");
    // The file's text, the choice read from it, the warnings.
    const std::tuple<std::string, InstallChoice, std::vector<std::string>> cases[] = {
        {"destination = folder\r\n  folder = /media/My Card \n", {InstallMethod::Folder, "/media/My Card", ""}, {}},
        {"# remembered\n\n \t\n  # destination = no such\ndestination=Folder\nDESTINATION=JPilot\n",
         {InstallMethod::JPilot, "", ""},
         {}},
        {"destination=HotSync\nConnection = net:10.0.0.2:14238 \n",
         {InstallMethod::HotSync, "", "net:10.0.0.2:14238"},
         {}},
        {"destination=folder\ndestination=elsewhere\n",
         {},
         {"line 2: unknown destination \"elsewhere\" (automatic, jpilot, folder, system, ask or hotsync); installing "
          "automatically"}},
        {"destination=folder\nfolder=card\n",
         {InstallMethod::Folder, "", ""},
         {"line 2: the folder \"card\" is not an absolute path; ignored"}},
        {"jpilot\ncolour=blue\n",
         {},
         {"line 1: not a setting (destination=..., folder=... or connection=...); ignored",
          "line 2: not a setting (destination=..., folder=... or connection=...); ignored"}},
    };
    fs::create_directories(m_home.File(".config/tunelore-importer"));
    for (const auto& [text, choice, warnings] : cases) {
        SCOPED_TRACE(text);
        WriteFileBytes(file, text);
        const InstallSettings settings = ReadInstallSettings(m_platform);
        EXPECT_EQ(std::tuple(settings.choice, settings.warnings, settings.file), std::tuple(choice, warnings, file));
    }
    fs::remove(file);
    fs::create_directory(file);
    const InstallSettings unreadable = ReadInstallSettings(m_platform);
    EXPECT_EQ(std::tuple(unreadable.choice, unreadable.warnings.size()), std::tuple(InstallChoice{}, 1u));
    EXPECT_NE(unreadable.warnings.at(0).find("can't be read"), std::string::npos);
}

#if !defined(_WIN32)
// The program's own folders are private whatever the umask, those made above them too; an existing open one is closed.
TEST_F(InstallTest, OwnFoldersArePrivate)
{
    const mode_t umask = ::umask(0);
    const fs::path made = m_out.Path() / "data" / "tunelore-importer";
    EXPECT_EQ(Said(CreatePrivateFolder(made)), "");
    fs::create_directory(m_out.File("open"));
    fs::permissions(m_out.File("open"), fs::perms::all);
    EXPECT_EQ(Said(CreatePrivateFolder(m_out.File("open"))), "");
    ::umask(umask);
    EXPECT_EQ(std::tuple(Mode(made.string()), Mode(made.parent_path().string()), Mode(m_out.File("open"))),
              std::tuple(0700u, 0700u, 0700u));
    WriteFileBytes(m_out.File("file"), "");
    EXPECT_EQ(Said(CreatePrivateFolder(m_out.File("file"))), "not a folder");
}
#endif

TEST_F(InstallTest, FolderGetsAFreshCopy)
{
    const InstallChoice choice{InstallMethod::Folder, m_out.Str() + "/PALM \u00e9", {}};
    EXPECT_EQ(Install(choice).error, "can't copy it to " + choice.folder + ": no such folder");
    fs::create_directory(choice.folder);
    for (const std::string& name : {"Songs.pdb"s, "Songs (2).pdb"s}) {
        const InstallResult result = Install(choice);
        EXPECT_EQ(std::tuple(result.ok(), result.target), std::tuple(true, choice.folder + "/" + name));
        EXPECT_EQ(ReadFileBytes(result.target), ReadFileBytes(result.path));
    }
}

TEST_F(InstallTest, SystemToolOnlyWhenAnotherApplicationTakesPalmDatabases)
{
    // The file's type, its application, xdg-open's exit status, and the error ("" when it was handed on).
    const std::tuple<std::string, std::string, int, std::string> cases[] = {
        {"application/vnd.palm", "palm-install.desktop", 0, ""},
        {"application/vnd.palm", "tunelore-importer.desktop", 0, "is this program (tunelore-importer.desktop)"},
        {"application/x-palm-database", "", 0, "no application is set"},
        {"chemical/x-pdb", "molecule.desktop", 0, "takes the file for chemical/x-pdb"},
        {"application/vnd.palm", "palm-install.desktop", 3, "xdg-open failed with exit status 3 (14)"},
        {"application/vnd.palm", "palm-install.desktop", -15, "xdg-open ended abnormally (14)"}, // SIGTERM
    };
    for (const auto& [type, application, openStatus, error] : cases) {
        SCOPED_TRACE(application + " " + type);
        fs::remove(m_bin.File("calls"));
        Helpers(type, application, openStatus);
        const InstallResult result = Install({InstallMethod::SystemTool, {}, {}});
        EXPECT_EQ(std::tuple(result.written, result.ok()), std::tuple(true, error.empty()));
        EXPECT_TRUE(error.empty() ? result.error.empty() : result.error.find(error) != std::string::npos)
            << result.error;
        const bool asked = error.empty() || openStatus != 0; // xdg-open runs only for another application
        EXPECT_EQ(ReadFileBytes(m_bin.File("calls")),
                  "xdg-mime query filetype " + result.path + "\nxdg-mime query default " + type + "\n" +
                      (asked ? "xdg-open " + result.path + "\n" : ""));
    }
    // No xdg-mime to ask: no install tool was found, with the system's cause.
    const ScopedEnv noHelpers("PATH", m_out.Str());
    EXPECT_EQ(Install({InstallMethod::SystemTool, {}, {}}).error,
              "no install tool was found for the file: xdg-mime: " +
                  std::make_error_code(std::errc::no_such_file_or_directory).message());
}

} // namespace
