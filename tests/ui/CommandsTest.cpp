// Save PDB and Quit: what is written, when the loaded texts go or stay, and what the user is told.

#include "tests/ui/DialogFixture.h"

struct ExportCase
{
    const char* name;
    std::string fault;   // "missing" target folder, "cancel" of the save dialog
    const char* message; // the start of the one message, followed by the target's folder; "": none
    friend void PrintTo(const ExportCase& c, std::ostream* out) { *out << c.name; }
};

class ExportTest : public DialogTest, public ::testing::WithParamInterface<ExportCase>
{
};

const ExportCase EXPORT_CASES[] = {
    {"SaveWritten", "", ""},
    {"SaveCancelled", "cancel", ""},
    {"SaveNotWritten", "missing", "Can't write file "},
};

TEST_P(ExportTest, TextsAreDiscardedOnlyOnceWritten)
{
    const ExportCase& c = GetParam();
    LoadThreeSongs();
    const std::vector<std::string> loaded = m_dialog->LoadedTexts();
    const std::string before = State();
    const std::string folder = c.fault == "missing" ? m_dir.File("missing/") : m_temp.Str() + "/";
    m_desktop.answers = {c.fault == "cancel" ? std::nullopt : std::optional(folder + "songs.pdb")};
    m_dialog->OnSavePdb();

    const bool written = c.fault.empty();
    const std::string file = TempFile();
    EXPECT_EQ(file.rfind(folder + "songs.pdb", 0), written ? 0u : std::string::npos) << file;
    const std::string songs = GRACE_FILE + "\0"s + FAIR_FILE + '\0' + VALLEY_FILE + '\0'; // the records, in order
    EXPECT_EQ(ReadFileBytes(file).value_or("").ends_with(songs), written);
    EXPECT_EQ(m_dialog->LoadedTexts(), written ? std::vector<std::string>() : loaded);
    EXPECT_EQ(State(), written ? "---- *&Install Songs... |  |" : before);
    EXPECT_EQ(m_desktop.waitDepth, 0);
    // The save dialog, then at most one message, naming the file concerned.
    const std::string prompts = "save@0: PDB Files (*.pdb)|*.pdb|All Files (*.*)|*.*|| (pdb)\n"s +
                                (*c.message == '\0' ? "" : "message@0: " + (c.message + folder));
    EXPECT_EQ(m_desktop.prompts.substr(0, prompts.size()), prompts);
    EXPECT_EQ(m_desktop.prompts.find('@', prompts.size()), std::string::npos) << m_desktop.prompts; // nothing more
}

INSTANTIATE_TEST_SUITE_P(Commands, ExportTest, ::testing::ValuesIn(EXPORT_CASES), [](const auto& param) {
    return std::string(param.param.name);
});

TEST_F(DialogTest, ChordModeExportsOnlyTheFirstTextAndKeepsItsCaptionWhenEmpty)
{
    // Install and Save PDB alike write a chord import database of the first text alone.
    for (const bool save : {false, true}) {
        Drop({WriteFile("chords.txt", CHORDS_FILE), WriteFile("grace.pro", GRACE_FILE)});
        m_desktop.answers = {m_dir.File("chords.pdb")};
        save ? m_dialog->OnSavePdb() : m_dialog->OnInstall();
        CPalmDatabase database;
        ASSERT_EQ(database.ReadFromFile(save ? m_dir.File("chords.pdb") : KeptFile()), 0);
        EXPECT_EQ(std::pair(database.m_type, database.GetRecordCount()), std::pair(CHORD_IMPORT_TYPE, 3)) << save;
    }

    // Empty again, with the caption and default button of the last state; the next load decides afresh.
    EXPECT_EQ(State(), "---- *&Install Chords... |  |");
    Drop({WriteFile("grace.pro", GRACE_FILE)});
    EXPECT_EQ(State(), "LEIS *&Install Song... | 1 Song | [Amazing Grace]");
}

TEST_F(DialogTest, QuitAsksOnlyWhileTextsAreLoaded)
{
    m_dialog->show();
    LoadThreeSongs();
    m_desktop.answers = {std::nullopt, ""}; // Cancel, then OK
    QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    EXPECT_TRUE(m_dialog->isVisible());
    const std::string question =
        "okcancel@0: You have not yet installed or saved the currently loaded songs. These songs will be discarded.\n";
    EXPECT_EQ(m_desktop.prompts, question);
    Button("IDCANCEL")->click();
    EXPECT_FALSE(m_dialog->isVisible());

    CImporterDlg empty(m_desktop);
    empty.show();
    empty.close();
    EXPECT_FALSE(empty.isVisible());
    EXPECT_EQ(m_desktop.prompts, question + question); // not asked again
}
