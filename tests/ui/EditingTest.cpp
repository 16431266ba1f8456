// Editing: the label follows the title, edits are stored back, unedited texts round-trip; Ctrl+A and Enter.

#include "tests/ui/DialogFixture.h"

TEST_F(DialogTest, LabelFollowsTheEditedTitleAtItsPositionUntilFilesArePicked)
{
    LoadThreeSongs();
    TitleList()->setCurrentIndex(0); // Amazing Grace
    Type(QStringLiteral("{t:Zebra}"), QTextCursor::EndOfBlock);
    // Renamed in place, not sorted again until the list is refreshed.
    const std::string renamed =
        "LEIS *&Install Songs... | 3 Songs | [Zebra] down in the valley Scarborough Fair - Traditional";
    EXPECT_EQ(State(), renamed);

    // A cancelled open dialog stores the edit back, loads nothing and leaves the list as it is.
    m_desktop.answers = {std::nullopt, m_dir.File("b.pro") + "\n" + m_dir.File("a.pro")};
    m_dialog->OnDropFilesButton();
    EXPECT_EQ(State(), renamed);
    // Picked files are appended in the dialog's order, and the list is sorted again.
    WriteFile("b.pro", "{t:Bee}\n");
    WriteFile("a.pro", "{t:Ant}\n");
    m_dialog->OnDropFilesButton();
    EXPECT_EQ(Text(3) + Text(4), "{t:Bee}\r\n{t:Ant}\r\n");
    EXPECT_EQ(State(),
              "LEIS *&Install Songs... | 5 Songs | [Ant] Bee down in the valley Scarborough Fair - Traditional Zebra");
    EXPECT_EQ(m_desktop.kinds, "open open");
    // The first filter shows every file the program reads; the others follow.
    EXPECT_TRUE(m_desktop.prompts.starts_with("open@0: All song files (*.pro,*.chordpro,*.cho,*.chopro,*.tab,*.crd,"
                                              "*.txt,*.pdb)|*.pro;*.chordpro;*.cho;*.chopro;*.tab;*.crd;*.txt;*.pdb|"
                                              "Chordpro Files"))
        << m_desktop.prompts;
}

TEST_F(DialogTest, EditsAndTheirUndoAreStoredBackBeforeAnotherSelectionAndBeforeExport)
{
    LoadThreeSongs();
    TitleList()->setCurrentIndex(0);
    Type(QStringLiteral("caf\u00e9"));
    TitleList()->setCurrentIndex(2); // Scarborough Fair, the second text
    EXPECT_EQ(Text(0), "{title: Amazing Grace}\r\n[G]Amazing grace, how [C]sweet the sound\r\ncaf\xe9");
    EXPECT_EQ(Editor()->toPlainText(), LoadedTextToEditor(Text(1)));
    Type(QStringLiteral("low"));
    m_dialog->OnInstall();
    EXPECT_NE(ReadFileBytes(KeptFile()).value_or("").find(FAIR_FILE + "low\n\0"s), std::string::npos);

    // A new title undone leaves the list as loaded; Save PDB stores the edit in progress too.
    LoadThreeSongs();
    TitleList()->setCurrentIndex(0); // Amazing Grace
    const std::string state = State();
    Type(QStringLiteral("{t:Zebra}"), QTextCursor::EndOfBlock);
    EXPECT_NE(State(), state);
    while (Editor()->document()->isUndoAvailable())
        Editor()->undo();
    EXPECT_EQ(State(), state);
    Type(QStringLiteral("high"));
    m_desktop.answers = {m_dir.File("saved.pdb")};
    m_dialog->OnSavePdb();
    EXPECT_NE(ReadFileBytes(m_dir.File("saved.pdb")).value_or("").find(GRACE_FILE + "high\n\0"s), std::string::npos);
}

TEST_F(DialogTest, UneditedTextsRoundTripByteForByte)
{
    // Windows-1252 letters, a lone CR inside a line and a last line without a line end.
    Drop({WriteFile("a.pro", "{t:A}\nplain\n")});
    Drop({WriteFile("odd.pro", "{t:Caf\xe9 \x93quoted\x94}\r\nline\rwith CR\r\nno end")});
    const std::vector<std::string> before = m_dialog->LoadedTexts();
    TitleList()->setCurrentIndex(0);
    TitleList()->setCurrentIndex(1);
    m_dialog->CommitEditedSong();
    EXPECT_EQ(m_dialog->LoadedTexts(), before);
    EXPECT_EQ(State(), "LEIS *&Install Songs... | 2 Songs | A [Caf\u00e9 \u201cquoted\u201d]");
}

TEST_F(DialogTest, FromTheListCtrlASelectsTheTextDeleteRemovesUndoableUntilTheNextExportAndEnterInstalls)
{
    LoadThreeSongs();
    ShowActive();
    TitleList()->setFocus();
    QTest::keyClick(TitleList(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(TitleList()->hasFocus());
    EXPECT_EQ(Editor()->textCursor().selectedText(), Editor()->document()->toRawText());
    TitleList()->setCurrentIndex(0);
    Type(QStringLiteral("edited"));
    QTest::keyClick(TitleList(), Qt::Key_Delete);
    EXPECT_EQ(State(), "LEIS *&Install Songs... | 2 Songs | [down in the valley] Scarborough Fair - Traditional");
    EXPECT_EQ(Menu(QStringLiteral("&Remove Song")), "off");
    EXPECT_EQ(State(), "LEIS *&Install Song... | 1 Song | [Scarborough Fair - Traditional]");
    // Each undo puts the last removed song back in its place, the edit kept.
    QTest::keyClick(TitleList(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(State(), "LEIS *&Install Songs... | 2 Songs | [down in the valley] Scarborough Fair - Traditional");
    EXPECT_EQ(Menu(QStringLiteral("&Undo Remove")), "off");
    EXPECT_EQ(State(),
              "LEIS *&Install Songs... | 3 Songs | [Amazing Grace] down in the valley Scarborough Fair - Traditional");
    EXPECT_TRUE(Text(0).ends_with("sound\r\nedited")) << Text(0);

    // Removed songs are not exported, and after the export there is nothing to undo.
    TitleList()->setCurrentIndex(1);
    Menu(QStringLiteral("&Remove Song"));
    QTest::keyClick(TitleList(), Qt::Key_Return);
    const std::string kept = ReadFileBytes(KeptFile()).value_or("");
    EXPECT_TRUE(kept.find("Amazing") != std::string::npos && kept.find("valley") == std::string::npos) << kept;
    EXPECT_TRUE(m_dialog->LoadedTexts().empty());
    EXPECT_EQ(Menu(QStringLiteral("&Undo Remove")) + Menu(QStringLiteral("&Remove Song")), "disableddisabled");
}

TEST_F(DialogTest, CtrlFFindsInTheSongFromTheCursorThenFromTheTopAndF3Again)
{
    Drop({WriteFile("grace.pro", GRACE_FILE)});
    ShowActive();
    m_desktop.answers = {"GRACE", std::nullopt, "tears"};
    QTest::keyClick(TitleList(), Qt::Key_F, Qt::ControlModifier);
    // Found without regard to case: first in the title, then in the verse, then from the top again.
    std::vector<int> places;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Editor()->textCursor().selectedText(), i == 1 ? QStringLiteral("grace") : QStringLiteral("Grace"));
        places.push_back(Editor()->textCursor().selectionStart());
        QTest::keyClick(TitleList(), Qt::Key_F3);
    }
    EXPECT_EQ(places, (std::vector<int>{16, 34, 16}));
    QTest::keyClick(TitleList(), Qt::Key_F, Qt::ControlModifier); // cancelled: nothing moves
    EXPECT_EQ(Editor()->textCursor().selectionStart(), 34);
    QTest::keyClick(TitleList(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(Note(), "\"tears\" is not in this song.");
    EXPECT_NE(m_desktop.prompts.find("text@0: Find in this song: (GRACE)"), std::string::npos) << m_desktop.prompts;
}
