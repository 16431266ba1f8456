// Install: the destination chosen and remembered, the one message saying where the songs went, and the drag out.

#include "tests/ui/DialogFixture.h"

struct InstallCase
{
    const char* name;
    InstallMethod chosen;              // in the context menu before Install; Automatic: nothing chosen
    std::optional<std::string> answer; // to the one question, if asked; "dir" stands for a folder of the test's
    std::string setUp; // "jpilot": J-Pilot's folder exists; "no home": HOME is a file (J-Pilot's is found through
                       // JPILOT_HOME); else the application
    const char* kinds; // of what the desktop was asked, in order
    std::string place; // what the last message names: the "kept" file, the "dir", or "" nothing
    const char* cause; // more that the message says
    const char* hotsync = ""; // the connections HotSync was tried over
};

class InstallTest : public DialogTest, public ::testing::WithParamInterface<InstallCase>
{
};

// clang-format off
const InstallCase INSTALL_CASES[] = {
    {"NoJPilotSoHotSyncOverUsb", InstallMethod::Automatic, {}, "", "modal message", "", "No handheld could be reached", "usb "},
    {"JPilot", InstallMethod::Automatic, {}, "jpilot", "message", "kept", "J-Pilot"},
    {"Folder", InstallMethod::Folder, "dir", "", "folder message", "dir", ""},
    {"SystemTool", InstallMethod::SystemTool, {}, "palm-install.desktop", "request message", "kept", "install tool"},
    {"NotThisProgram", InstallMethod::SystemTool, {}, "tunelore-importer.desktop", "show message", "kept", "this program"},
    {"AskEachTime", InstallMethod::Ask, "0", "jpilot", "choice message", "kept", "J-Pilot"},
    {"AskCancelled", InstallMethod::Ask, std::nullopt, "", "choice", "", ""},
    {"AskHotSync", InstallMethod::Ask, "3", "jpilot", "choice modal message", "", "songs stay loaded", "usb "},
    {"NotWritten", InstallMethod::Automatic, {}, "no home", "message", "", "Can't write file"},
};
// clang-format on

TEST_P(InstallTest, OneMessageSaysWhereTheSongsWentAndTheyStayOnlyWhenNothingWasWritten)
{
    const InstallCase& c = GetParam();
    LoadThreeSongs();
    const std::string before = State();
    m_desktop.answers = {c.answer == "dir" ? std::optional(m_dir.Str()) : c.answer};
    m_desktop.platform.defaultApplication.application = c.setUp;
    if (c.setUp != "jpilot" && c.setUp != "no home")
        std::filesystem::remove(m_home.Path() / ".jpilot");
    if (c.setUp == "no home")
        m_desktop.platform.environment = {{"HOME", m_dir.File("v.txt")}, {"JPILOT_HOME", m_home.Str()}};
    if (c.chosen != InstallMethod::Automatic)
        m_dialog->OnInstallDestination(c.chosen); // the menu's choice, asking for a folder; remembered
    m_dialog->OnInstall();

    EXPECT_EQ(m_desktop.kinds, c.kinds) << m_desktop.prompts;
    const std::string place = c.place == "kept" ? KeptFile() : c.place == "dir" ? m_dir.Str() : "";
    const std::string message = m_desktop.prompts.substr(m_desktop.prompts.rfind("message@0: ") + 1);
    EXPECT_NE(message.find(c.cause), std::string::npos) << message;
    EXPECT_EQ(!place.empty() && message.find(place) != std::string::npos, !c.place.empty()) << message;
    EXPECT_EQ(State(), c.place.empty() ? before : "---- *&Install... |  |");
    // Once the songs are gone, the note says what the message said.
    EXPECT_TRUE(c.place.empty() || m_desktop.prompts.ends_with("message@0: " + Note() + "\n")) << Note();
    EXPECT_EQ(m_noHandheld.connections, c.hotsync);
}

INSTANTIATE_TEST_SUITE_P(Window, InstallTest, ::testing::ValuesIn(INSTALL_CASES), CaseName);

TEST_F(DialogTest, DragOutCarriesADatabaseOfTheLoadedSongsAndKeepsThem)
{
    LoadThreeSongs();
    Type(QStringLiteral("x")); // the edit in progress goes too
    const std::optional<QString> file = m_dialog->BuildDragFile();
    EXPECT_EQ(file.value_or(QString()).toStdString(), KeptFile());
    const std::string songs = GRACE_FILE + "\0"s + FAIR_FILE + '\0' + VALLEY_FILE + "x\n\0"s;
    EXPECT_TRUE(ReadFileBytes(KeptFile()).value_or("").ends_with(songs));
    EXPECT_EQ(m_dialog->LoadedTexts().size(), 3u);
    EXPECT_EQ(m_desktop.prompts, ""); // kept only: not handed on, nothing shown
}

TEST_F(DialogTest, DragOutDoesNotStartWhenTextWouldBeLostAndSaysWhy)
{
    const std::pair<const char*, std::string> cases[] = {
        {"cut at 7999", "{t:Long}\n" + std::string(8100, 'a')},
        {"becomes \"?\"", "{t:\xCE\xA9mega}\n"},
        {"no text", "\n"},
    };
    for (const auto& [loss, song] : cases) {
        m_dialog = NewWindow();
        m_desktop.prompts.clear();
        Drop({WriteFile("grace.pro", GRACE_FILE), WriteFile("song.pro", song)});
        EXPECT_EQ(m_dialog->BuildDragFile(), std::nullopt) << loss;
        EXPECT_EQ(KeptFile(), "");
        EXPECT_TRUE(m_desktop.prompts.starts_with("message@0: The songs were not dragged out") &&
                    m_desktop.prompts.find(loss) != std::string::npos)
            << m_desktop.prompts;
        EXPECT_EQ(m_dialog->LoadedTexts().size(), 2u);
    }
}
