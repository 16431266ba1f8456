// HotSync from the window: Install To > HotSync, and Install and Get Songs through the waiting dialog, scripted.

#include "jobs/Messages.h"
#include "tests/ui/DialogFixture.h"

#include "hotsync/SerialPort.h"

namespace {

// A session that plays `steps` for each attempt on the worker thread, then ends with the attempt's result. Steps:
// "connected", "progress" (record 1 of 3 of the first database), "cancel" (clicks the dialog's Cancel). Before
// and after each step it notes what the dialog shows (its status; "closed" once gone), read on the UI thread.
class CScriptedSession : public IHotSyncSession
{
public:
    CScriptedSession(QWidget& window, std::vector<std::string> steps, std::vector<Status> results = {})
        : m_window(window)
        , m_steps(std::move(steps))
        , m_results(std::move(results))
    {}

    Status
    Install(const HotSyncSessionSetup& setup, const std::vector<const CPalmDatabase*>& databases, bool replace) override
    {
        if (!Play(setup, replace, databases.at(0)->m_type == SONG_IMPORT_TYPE ? "Songs" : "?"))
            return MakeError(ErrorKind::Cancelled, "The HotSync session was cancelled");
        return connections.size() <= m_results.size() ? m_results[connections.size() - 1] : Status{};
    }
    Result<std::vector<CPalmDatabase>> ReadSongbook(const HotSyncSessionSetup& setup) override
    {
        if (!Play(setup, false, "?"))
            return MakeError(ErrorKind::Cancelled, "The HotSync session was cancelled");
        return songbook;
    }

    std::vector<CPalmDatabase> songbook;  // what ReadSongbook reads
    std::vector<std::string> connections; // of each attempt, with " replace" when it replaces
    std::string shown;                    // what the dialog showed, one line each
    std::string where;                    // where it said the session waits

private:
    // Notes the attempt and plays the steps, the progress in `database`; false once cancelled.
    bool Play(const HotSyncSessionSetup& setup, bool replace, const char* database)
    {
        connections.push_back(setup.connection + (replace ? " replace" : ""));
        Note();
        for (const std::string& step : m_steps) {
            if (step == "connected")
                setup.connected();
            else if (step == "progress")
                setup.progress(hotsync::Progress{database, 1, 3});
            Note(step == "cancel");
            if (setup.cancel->load())
                return false;
        }
        return true;
    }
    // With `cancel`, clicks Cancel first. (The window waits for the session once the dialog is gone, so nothing
    // may wait for the UI thread after that.)
    void Note(bool cancel = false)
    {
        const auto note = [this, cancel] {
            if (cancel)
                m_window.findChild<QPushButton*>(QStringLiteral("IDC_HOTSYNC_CANCEL"))->click();
            const auto* dialog = m_window.findChild<QDialog*>(QStringLiteral("IDD_HOTSYNC"));
            const auto* status = m_window.findChild<QLabel*>(QStringLiteral("IDC_HOTSYNC_STATUS"));
            shown += (dialog != nullptr && dialog->isVisible() ? status->text().toStdString() : "closed") + "\n";
            if (const auto* label = m_window.findChild<QLabel*>(QStringLiteral("IDC_HOTSYNC_WHERE")))
                where = label->text().toStdString();
        };
        QMetaObject::invokeMethod(&m_window, note, Qt::BlockingQueuedConnection);
    }

    QWidget& m_window;
    std::vector<std::string> m_steps;
    std::vector<Status> m_results;
};

struct HotSyncCase
{
    const char* name;
    std::vector<std::string> steps;
    std::vector<Status> results;                     // of each attempt; past the end: installed
    std::vector<std::optional<std::string>> answers; // after the connection question
    const char* kinds;                               // of what the desktop was asked after the connection question
    std::vector<std::string> attempts;               // the connection of each attempt
    const char* message;                             // in the last message ("" for none)
    bool installed;                                  // the songs were installed, so the window is empty
};

// clang-format off
const HotSyncCase HOTSYNC_CASES[] = {
    {"Installed", {"connected", "progress"}, {}, {}, "modal message", {"net"},
     "HotSync installed TuneloreDB", true},
    {"NoHandheld", {}, {MakeError(ErrorKind::NotFound, "no USB handheld is connected")}, {}, "modal message", {"net"},
     "No handheld could be reached: no USB handheld is connected.", false},
    {"CancelledOnHandheld", {"connected"}, {MakeError(ErrorKind::Cancelled, "the sync was cancelled on the handheld")},
     {}, "modal message", {"net"}, "The HotSync was cancelled on the handheld", false},
    {"NoSpace", {"connected"}, {MakeError(ErrorKind::NoSpace, "memory full")}, {}, "modal message", {"net"},
     "not have enough space for the songs: memory full", false},
    {"ConnectionLost", {"connected"}, {MakeError(ErrorKind::Disconnected, "reset")}, {}, "modal message", {"net"},
     "The connection to the handheld was lost: reset.", false},
    {"ExistsReplaced", {"connected"}, {MakeError(ErrorKind::Exists, "exists")}, {"0"},
     "modal choice modal message", {"net", "net replace"}, " (net)\n", true},
    {"ExistsKept", {"connected"}, {MakeError(ErrorKind::Exists, "exists")}, {std::nullopt}, "modal choice", {"net"}, "",
     false},
    {"CancelWhileWaiting", {"cancel"}, {}, {}, "modal message", {"net"}, "HotSync was cancelled; nothing was installed.",
     false},
};
// clang-format on

class HotSyncTest : public DialogTest, public ::testing::WithParamInterface<HotSyncCase>
{
};

} // namespace

TEST_P(HotSyncTest, TheWaitingDialogReportsAndEndsWithOneMessage)
{
    const HotSyncCase& c = GetParam();
    CScriptedSession session(*m_dialog, c.steps, c.results);
    m_dialog->SetHotSyncSession(session);
    m_desktop.runModal = [](QDialog& dialog) { dialog.exec(); };
    LoadThreeSongs();
    m_desktop.answers = {"1"}; // network HotSync
    ASSERT_EQ(Menu(QStringLiteral("&HotSync...")), "off");
    m_desktop.answers.insert(m_desktop.answers.end(), c.answers.begin(), c.answers.end());
    m_desktop.kinds.clear();
    m_dialog->OnInstall();

    EXPECT_EQ(m_desktop.kinds, c.kinds) << m_desktop.prompts;
    EXPECT_EQ(session.connections, c.attempts);
    const std::string& prompts = m_desktop.prompts; // the last message, or "" (no message at all is in `kinds`)
    const std::string message = prompts.substr(std::min(prompts.size(), prompts.rfind("message@0: ")));
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
    EXPECT_EQ(m_dialog->Songs().Count(), c.installed ? 0u : 3u);
    // What the dialog showed: waiting, then each report as it came; Cancel closes it at once.
    std::string expected = "Press the HotSync button on the handheld\n";
    for (const std::string& step : c.steps)
        expected += step == "connected"  ? "Connected to the handheld\n"
                    : step == "progress" ? "Songs: record 1 of 3\n"
                                         : "closed\n";
    if (c.attempts.size() == 2)
        expected += expected; // the second attempt shows the same again
    EXPECT_EQ(session.shown, expected);
    // Where it waits, this computer's addresses (as the handheld's setting asks for one), and how to change it.
    EXPECT_TRUE(
        session.where.starts_with("Waiting for network HotSync on port 14238") &&
        session.where.ends_with("\nInstall To > HotSync... in the window's context menu changes the connection."))
        << session.where;
    EXPECT_EQ(messages::WaitingOnNetwork("", 14238, {"192.168.1.5", "10.0.0.3"}),
              "Waiting for network HotSync on port 14238 (this computer: 192.168.1.5, 10.0.0.3)");
    EXPECT_EQ(messages::WaitingOnNetwork("::1", 1, {"10.0.0.3"}), "Waiting for network HotSync on ::1 port 1");
}

INSTANTIATE_TEST_SUITE_P(Window, HotSyncTest, ::testing::ValuesIn(HOTSYNC_CASES), CaseName);

TEST_F(DialogTest, InstallToNamesTheChosenFolderOrConnectionAndRemembersItUntilAnotherDestination)
{
    const std::string typed = std::to_string(3 + hotsync::ListSerialPorts().size());
    m_desktop.answers = {m_dir.Str(), typed, "net:127.0.0.1:nope", typed, "net:127.0.0.1:14999"};
    EXPECT_EQ(Menu(QStringLiteral("A&utomatic"), false), "on");
    EXPECT_EQ(Menu(QStringLiteral("A &Folder...")), "off");
    EXPECT_EQ(Menu(QString::fromStdString("A &Folder (" + m_dir.Str() + ")..."), false), "on");
    // The last choice types a connection; a malformed one is refused and changes nothing.
    EXPECT_EQ(Menu(QStringLiteral("&HotSync...")), "off");
    EXPECT_EQ(Menu(QStringLiteral("&HotSync...")), "off");
    EXPECT_EQ(Menu(QStringLiteral("&HotSync (net:127.0.0.1:14999)..."), false), "on");
    EXPECT_EQ(Menu(QStringLiteral("A&utomatic"), false), "off");
    EXPECT_EQ(m_desktop.kinds, "folder choice text message choice text");
    // Remembered where tunelore-cli's build --install reads it too.
    EXPECT_EQ(ReadInstallChoice(m_desktop), (InstallChoice{InstallMethod::HotSync, {}, "net:127.0.0.1:14999"}));

    // A new window reads the same settings; choosing Automatic there leaves HotSync, the connection kept.
    m_dialog = NewWindow();
    EXPECT_EQ(Menu(QStringLiteral("&HotSync (net:127.0.0.1:14999)..."), false), "on");
    EXPECT_EQ(Menu(QStringLiteral("A&utomatic")), "off");
    EXPECT_EQ(Menu(QStringLiteral("&HotSync..."), false), "off");
    EXPECT_EQ(Menu(QStringLiteral("A&utomatic"), false), "on");
    EXPECT_EQ(ReadInstallChoice(m_desktop), (InstallChoice{InstallMethod::Automatic, {}, "net:127.0.0.1:14999"}));
}

TEST_F(DialogTest, GetSongsExtractsOrLoadsTheHandheldsSongsAsTheUserChooses)
{
    // The handheld's song database of two songs; reading it, or cancelling while waiting.
    CPalmDatabase songs =
        BuildImportDatabase({{"{title: One}\r\nla\r\n", {}, 0}, {"{title: Two}\r\nli\r\n", {}, 0}}, m_desktop);
    songs.m_type = SONG_DB_TYPE;
    struct
    {
        std::vector<std::string> steps;
        std::vector<std::optional<std::string>> answers; // after the connection question
        const char* kinds;
        const char* first;     // the file in the window before, being edited
        int listed;            // entries in the list after it
        std::size_t extracted; // files in the folder after it
        const char* note;      // what the note under the count says after it
    } const cases[] = {
        {{}, {"1"}, "choice modal choice", GRACE_FILE, 3, 0, ""},
        {{}, {"0", m_dir.Str()}, "choice modal choice folder message", GRACE_FILE, 1, 2, ""},
        {{"cancel"}, {}, "choice modal message", GRACE_FILE, 1, 0, ""},
        // Songs loaded behind a chord list are held but not exported, which the note says.
        {{}, {"1"}, "choice modal choice", CHORDS_FILE, 1, 0, " is left out of the export"},
    };
    for (const auto& c : cases) {
        TempDir home;
        m_desktop.platform.environment["HOME"] = home.Str();
        m_dialog = NewWindow();
        std::filesystem::remove_all(m_dir.Path());
        std::filesystem::create_directory(m_dir.Path());
        CScriptedSession session(*m_dialog, c.steps);
        session.songbook = {songs};
        m_dialog->SetHotSyncSession(session);
        // A song being edited: its edit stays whatever the handheld's songs do.
        WriteFileBytes(m_temp.File("grace.pro"), c.first);
        Drop({QString::fromStdString(m_temp.File("grace.pro"))});
        Type(QStringLiteral("edited"));
        m_desktop.runModal = [](QDialog& dialog) { dialog.exec(); };
        m_desktop.answers.push_back("0"); // USB, asked the first time only (the desktop's answers run on)
        m_desktop.answers.insert(m_desktop.answers.end(), c.answers.begin(), c.answers.end());
        m_desktop.kinds.clear();
        m_desktop.prompts.clear();
        Menu(QStringLiteral("&Get Songs From The Handheld..."));
        EXPECT_EQ(m_desktop.kinds, c.kinds) << m_desktop.prompts;
        EXPECT_EQ(session.connections, std::vector<std::string>{"usb"});
        EXPECT_EQ(TitleList()->count(), c.listed); // listed, not only held
        const QString note = m_dialog->findChild<QLabel*>(QStringLiteral("IDC_NOTE"))->text();
        EXPECT_EQ(*c.note ? note.contains(QLatin1String(c.note)) : note.isEmpty(), true) << note.toStdString();
        EXPECT_EQ(FolderEntries(m_dir.Path()).size(), c.extracted) << m_desktop.prompts;
        m_dialog->CommitEditedSong();
        EXPECT_TRUE(Text(0).ends_with("edited")) << Text(0);
    }
}
