// Install from the window: the destination chosen in the context menu and remembered, the one message that
// says where the songs went, when the songs stay, the drag out, and the remembered folders and place.

#include "tests/ui/DialogFixture.h"

#include <sstream>

struct InstallCase
{
    const char* name;
    InstallMethod chosen; // in the context menu before Install; Automatic: nothing chosen
    std::vector<std::optional<std::string>> answers; // "dir" stands for a folder of the test's
    std::string setUp;       // "jpilot": J-Pilot's folder exists; "no home": HOME is a file; else the application
    std::string prompts;     // the kinds of what the desktop was asked, in order
    std::string place;       // what the last message names: the "kept" file, the "dir", or "" nothing
    std::string cause;       // more that the message says
    friend void PrintTo(const InstallCase& c, std::ostream* out) { *out << c.name; }
};

class InstallTest : public DialogTest, public ::testing::WithParamInterface<InstallCase>
{
};

const InstallCase INSTALL_CASES[] = {
    {"NothingFound", InstallMethod::Automatic, {}, "", "show message", "kept", "HotSync"},
    {"JPilot", InstallMethod::Automatic, {}, "jpilot", "message", "kept", "J-Pilot"},
    {"Folder", InstallMethod::Folder, {"dir"}, "", "folder message", "dir", ""},
    {"SystemTool", InstallMethod::SystemTool, {}, "palm-install.desktop", "request message", "kept", "install tool"},
    {"NotThisProgram", InstallMethod::SystemTool, {}, "tunelore-importer.desktop", "show message", "kept", "this program"},
    {"AskEachTime", InstallMethod::Ask, {"0"}, "jpilot", "choice message", "kept", "J-Pilot"},
    {"AskCancelled", InstallMethod::Ask, {std::nullopt}, "", "choice", "", ""},
    {"NotWritten", InstallMethod::Automatic, {}, "no home", "message", "", "Can't write file"},
};

TEST_P(InstallTest, OneMessageSaysWhereTheSongsWentAndTheyStayOnlyWhenNothingWasWritten)
{
    const InstallCase& c = GetParam();
    LoadThreeSongs();
    const std::string before = State();
    for (const std::optional<std::string>& answer : c.answers) {
        m_desktop.answers.push_back(answer == "dir" ? std::optional(m_dir.Str()) : answer);
    }
    m_desktop.platform.defaultApplication.application = c.setUp;
    if (c.setUp == "jpilot") {
        std::filesystem::create_directory(m_home.Path() / ".jpilot");
    }
    if (c.setUp == "no home") {
        m_desktop.platform.environment["HOME"] = m_dir.File("v.txt");
    }
    if (c.chosen != InstallMethod::Automatic) {
        m_dialog->OnInstallDestination(c.chosen); // the menu's choice, asking for a folder
        EXPECT_EQ(ReadInstallChoice(m_desktop).method, c.chosen);
    }
    m_dialog->OnInstall();

    std::string kinds; // the kind of each entry of the log, whose messages may hold more lines
    std::istringstream log(m_desktop.prompts);
    for (std::string line; std::getline(log, line);) {
        const std::size_t at = line.find('@');
        if (at != std::string::npos && line.find_first_not_of("abcdefghijklmnopqrstuvwxyz") == at) {
            kinds += (kinds.empty() ? "" : " ") + line.substr(0, at);
        }
    }
    EXPECT_EQ(kinds, c.prompts) << m_desktop.prompts;
    const std::string place = c.place == "kept" ? KeptFile() : c.place == "dir" ? m_dir.Str() : "";
    const std::string message = m_desktop.prompts.substr(m_desktop.prompts.rfind("message@0: ") + 1);
    EXPECT_NE(message.find(c.cause), std::string::npos) << message;
    EXPECT_EQ(!place.empty() && message.find(place) != std::string::npos, !c.place.empty()) << message;
    EXPECT_EQ(State(), c.place.empty() ? before : "---- *&Install Songs... |  |");
    if (c.setUp == "jpilot") {
        EXPECT_EQ(ReadFileBytes(m_home.File(".jpilot/jpilot.install")), KeptFile() + "\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Window, InstallTest, ::testing::ValuesIn(INSTALL_CASES), [](const auto& param) {
    return std::string(param.param.name);
});

TEST_F(DialogTest, DragOutCarriesADatabaseOfTheLoadedSongsAndKeepsThem)
{
    LoadThreeSongs();
    const std::optional<QString> file = m_dialog->BuildDragFile();
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->toStdString(), KeptFile());
    const std::string songs = GRACE_FILE + "\0"s + FAIR_FILE + '\0' + VALLEY_FILE + '\0';
    EXPECT_TRUE(ReadFileBytes(KeptFile()).value_or("").ends_with(songs));
    EXPECT_EQ(m_dialog->LoadedTexts().size(), 3u);
    EXPECT_EQ(m_desktop.prompts, ""); // kept only: not handed on, nothing shown
}

TEST_F(DialogTest, FileDialogFoldersAndTheWindowPlaceAreRemembered)
{
    for (const char* expected : {"", "dir"}) {
        LoadThreeSongs();
        m_desktop.answers.push_back(m_dir.File("songs.pdb"));
        m_dialog->OnSavePdb();
        EXPECT_EQ(m_desktop.dialogFolder.toStdString(), *expected == '\0' ? "" : m_dir.Str());
    }
    m_dialog->resize(640, 480);
    m_dialog->accept();
    EXPECT_EQ(CImporterDlg(m_desktop).size(), QSize(640, 480));
}
