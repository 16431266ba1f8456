// Install, Save PDB and Quit: what they write, when the loaded texts are discarded and when they stay, and
// what the user is told.

#include "jobs/Export.h"
#include "tests/ui/DialogFixture.h"

#include <QTest>

namespace {
enum class Command
{
    Install,
    Save,
};
enum class Outcome
{
    Written,
    NoTempFolder, // install: the temporary folder does not exist
    NotOpened,    // install: the desktop refuses the open request
    Cancelled,    // save: the user cancels the save dialog
    BadPath,      // save: the chosen folder does not exist
};
struct ExportCase
{
    const char* name;
    Command command;
    Outcome outcome;
    bool cleared;             // the loaded texts are discarded
    const char* messageStart; // the start of the one message shown; nullptr: no message
};

// Test names and failure messages show the case's name, not its bytes.
void PrintTo(const ExportCase& c, std::ostream* out)
{
    *out << c.name;
}

class ExportTest : public DialogTest, public ::testing::WithParamInterface<ExportCase>
{
};

const ExportCase EXPORT_CASES[] = {
    {"InstallWritten", Command::Install, Outcome::Written, true, nullptr},
    {"InstallNotWritten", Command::Install, Outcome::NoTempFolder, false, "Can't write file "},
    {"InstallNotOpened", Command::Install, Outcome::NotOpened, true, "The database was written to "},
    {"SaveWritten", Command::Save, Outcome::Written, true, nullptr},
    {"SaveCancelled", Command::Save, Outcome::Cancelled, false, nullptr},
    {"SaveNotWritten", Command::Save, Outcome::BadPath, false, "Can't write file "},
};

TEST_P(ExportTest, TextsAreDiscardedOnlyOnceWritten)
{
    const ExportCase& c = GetParam();
    LoadThreeSongs();
    const std::vector<std::string> loaded = m_dialog->LoadedTexts();
    const QString target = QString::fromStdString(m_dir.File("songs.pdb"));
    const QString missing = QString::fromStdString(m_dir.File("missing/"));
    if (c.outcome == Outcome::NoTempFolder) {
        m_desktop.platform.tempFolder = missing.toStdString();
    }
    m_desktop.platform.failOpen = c.outcome == Outcome::NotOpened;
    if (c.command == Command::Save) {
        m_desktop.saveAnswers.push_back(c.outcome == Outcome::Cancelled ? std::nullopt
                                        : c.outcome == Outcome::BadPath
                                            ? std::optional(missing + QStringLiteral("x.pdb"))
                                            : std::optional(target));
        m_dialog->OnSavePdb();
    } else {
        m_dialog->OnInstall();
    }

    EXPECT_EQ(m_dialog->LoadedTexts().empty(), c.cleared);
    if (!c.cleared) {
        EXPECT_EQ(m_dialog->LoadedTexts(), loaded);
        EXPECT_TRUE(Button("IDC_INSTALL")->isEnabled());
        EXPECT_TRUE(Button("IDC_SAVE_PDB")->isEnabled());
        EXPECT_EQ(TitleList()->count(), 3);
    }
    const QStringList messages = m_desktop.Texts(QStringLiteral("message"));
    if (c.messageStart == nullptr) {
        EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
    } else {
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].startsWith(QString::fromLatin1(c.messageStart))) << messages[0].toStdString();
        // Every message names the file concerned.
        const QString folder = c.outcome == Outcome::NotOpened ? QString::fromStdString(m_temp.Str()) : missing;
        EXPECT_TRUE(messages[0].contains(folder)) << messages[0].toStdString();
    }
    EXPECT_EQ(m_desktop.waitDepth, 0);
}

INSTANTIATE_TEST_SUITE_P(Commands,
                         ExportTest,
                         ::testing::ValuesIn(EXPORT_CASES),
                         [](const ::testing::TestParamInfo<ExportCase>& param) {
                             return std::string(param.param.name);
                         });

TEST_F(DialogTest, InstallHandsTheTempFileToTheDesktopUnderTheWaitCursor)
{
    LoadThreeSongs();
    m_dialog->OnInstall();

    const std::vector<std::string> files = TempFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].rfind("TuneloreDB", 0), 0u) << files[0];
    ASSERT_EQ(m_desktop.platform.openRequests.size(), 1u);
    EXPECT_EQ(m_desktop.platform.openRequests[0], m_temp.File(files[0]));
    EXPECT_EQ(m_desktop.waitDepthAtOpen, 1);
    EXPECT_EQ(SongsIn(QString::fromStdString(m_temp.File(files[0]))).size(), 3u);
}

TEST_F(DialogTest, SaveAsksForAPdbFileAndWritesEverySong)
{
    LoadThreeSongs();
    const QString target = QString::fromStdString(m_dir.File("songs.pdb"));
    m_desktop.saveAnswers.push_back(target);
    m_dialog->OnSavePdb();

    ASSERT_EQ(m_desktop.prompts.size(), 1u);
    EXPECT_EQ(m_desktop.prompts[0].text, QStringLiteral("PDB Files (*.pdb)|*.pdb|All Files (*.*)|*.*||"));
    EXPECT_EQ(m_desktop.prompts[0].extra, QStringLiteral("pdb"));
    EXPECT_EQ(m_desktop.prompts[0].waitDepth, 0);
    const std::vector<std::string> songs = SongsIn(target);
    ASSERT_EQ(songs.size(), 3u);
    EXPECT_EQ(songs[1], "{t:Scarborough Fair}\n{st:Traditional}\n[Am]Are you going\n");
    EXPECT_TRUE(m_desktop.platform.openRequests.empty());
}

TEST_F(DialogTest, ChordModeExportsOnlyTheFirstText)
{
    Drop({WriteFile("chords.txt", CHORDS_FILE), WriteFile("grace.pro", GRACE_FILE)});
    const QString target = QString::fromStdString(m_dir.File("chords.pdb"));
    m_desktop.saveAnswers.push_back(target);
    m_dialog->OnSavePdb();

    CPalmDatabase database;
    ASSERT_EQ(database.ReadFromFile(target.toStdString()), 0);
    EXPECT_EQ(database.m_type, CHORD_IMPORT_TYPE);
    EXPECT_EQ(database.GetRecordCount(), 3);
    EXPECT_TRUE(m_dialog->LoadedTexts().empty());
}

TEST_F(DialogTest, QuitAsksOnlyWhileTextsAreLoaded)
{
    m_dialog->show();
    LoadThreeSongs();
    m_desktop.okCancelAnswers.push_back(false);
    QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    EXPECT_TRUE(m_dialog->isVisible());
    EXPECT_EQ(m_dialog->LoadedTexts().size(), 3u);
    ASSERT_EQ(m_desktop.Texts(QStringLiteral("okcancel")).size(), 1);
    EXPECT_EQ(m_desktop.Texts(QStringLiteral("okcancel"))[0],
              QStringLiteral("You have not yet installed or saved the currently loaded songs. These songs will be "
                             "discarded."));

    m_desktop.okCancelAnswers.push_back(true);
    Button("IDCANCEL")->click();
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(m_dialog->result(), QDialog::Rejected);

    // Empty: closes at once.
    CImporterDlg empty(m_desktop);
    empty.show();
    const std::size_t promptsBefore = m_desktop.prompts.size();
    empty.close();
    EXPECT_FALSE(empty.isVisible());
    EXPECT_EQ(m_desktop.prompts.size(), promptsBefore);
}
} // namespace
