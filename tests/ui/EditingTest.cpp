// Editing in the window: the label follows the edited title, edits are stored back before another selection
// and before an export, unedited texts come back byte for byte, and the keys Ctrl+A and Enter.

#include "tests/ui/DialogFixture.h"
#include "ui/QtText.h"

#include <QTest>
#include <QTextCursor>

namespace {
TEST_F(DialogTest, LabelFollowsTheEditedTitleAtItsPosition)
{
    LoadThreeSongs();
    TitleList()->setCurrentIndex(0); // Amazing Grace
    ReplaceFirstLine(QStringLiteral("{title: Zebra Song}"));

    // Renamed in place: not sorted again until the next refresh.
    EXPECT_EQ(Labels(),
              QStringList({QStringLiteral("Zebra Song"),
                           QStringLiteral("down in the valley"),
                           QStringLiteral("Scarborough Fair - Traditional")}));
    EXPECT_EQ(TitleList()->currentIndex(), 0);
    EXPECT_EQ(TitleList()->itemData(0).toInt(), 0);
    // The loaded text itself changes only when the edit is stored back.
    EXPECT_EQ(m_dialog->LoadedTexts()[0].substr(0, 22), "{title: Amazing Grace}");

    Drop({}); // a refresh sorts again
    EXPECT_EQ(Labels().back(), QStringLiteral("Zebra Song"));
}

TEST_F(DialogTest, EditIsStoredBackBeforeAnotherSelection)
{
    LoadThreeSongs();
    TitleList()->setCurrentIndex(0);
    TypeAtEnd(QStringLiteral("caf\u00e9"));
    TitleList()->setCurrentIndex(2);

    // Stored as Windows-1252 with CR LF line ends.
    EXPECT_EQ(m_dialog->LoadedTexts()[0],
              "{title: Amazing Grace}\r\n[G]Amazing grace, how [C]sweet the sound\r\ncaf\xe9");
    EXPECT_EQ(Editor()->toPlainText(), LoadedTextToEditor(m_dialog->LoadedTexts()[1]));
}

TEST_F(DialogTest, UneditedTextsRoundTripByteForByte)
{
    // Windows-1252 letters, a lone CR inside a line and a last line without a line end.
    const std::string odd = "{t:Caf\xe9 \x93quoted\x94}\r\nline\rwith CR\r\nno end";
    Drop({WriteFile("a.pro", "{t:A}\nplain\n")});
    Drop({WriteFile("odd.pro", odd)});
    const std::vector<std::string> before = m_dialog->LoadedTexts();
    for (int position : {0, 1, 0, 1}) {
        TitleList()->setCurrentIndex(position);
    }
    m_dialog->CommitEditedSong();
    EXPECT_EQ(m_dialog->LoadedTexts(), before);
    EXPECT_EQ(Labels(), QStringList({QStringLiteral("A"), QStringLiteral("Caf\u00e9 \u201cquoted\u201d")}));
}

TEST_F(DialogTest, EditIsStoredBackBeforeExport)
{
    LoadThreeSongs(); // Valley is shown
    TypeAtEnd(QStringLiteral("low"));
    m_dialog->OnInstall();

    const std::vector<std::string> files = TempFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::vector<std::string> songs = SongsIn(QString::fromStdString(m_temp.File(files[0])));
    ASSERT_EQ(songs.size(), 3u);
    EXPECT_EQ(songs[2], "down in the valley\n[G]valley so low\nlow\n");
}

TEST_F(DialogTest, SettingTheTextIsNoEdit)
{
    // In chord mode the first edit would rename "Chords"; showing the text must not.
    Drop({WriteFile("chords.txt", CHORDS_FILE)});
    Drop({WriteFile("grace.pro", GRACE_FILE)});
    EXPECT_EQ(Labels(), QStringList({QStringLiteral("Chords")}));
    TypeAtEnd(QStringLiteral("E 0 2 2 1 0 0"));
    EXPECT_EQ(Labels(), QStringList({QStringLiteral("C x 3 2 0 1 0")}));
}

TEST_F(DialogTest, CtrlASelectsTheEditorTextFromTheList)
{
    LoadThreeSongs();
    m_dialog->show();
    m_dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
    TitleList()->setFocus();
    QTest::keyClick(TitleList(), Qt::Key_A, Qt::ControlModifier);

    EXPECT_TRUE(TitleList()->hasFocus());
    EXPECT_EQ(Editor()->textCursor().selectedText(), Editor()->document()->toRawText());
    EXPECT_FALSE(Editor()->textCursor().selectedText().isEmpty());
}

TEST_F(DialogTest, EnterInstallsOutsideTheEditorAndBreaksLinesInIt)
{
    LoadThreeSongs();
    m_dialog->show();
    m_dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));

    Editor()->setFocus();
    Editor()->moveCursor(QTextCursor::End);
    QTest::keyClick(Editor(), Qt::Key_Return);
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_TRUE(Editor()->toPlainText().endsWith(QStringLiteral("low\n\n")));

    TitleList()->setFocus();
    QTest::keyClick(TitleList(), Qt::Key_Return);
    EXPECT_EQ(TempFiles().size(), 1u);
    EXPECT_TRUE(m_dialog->LoadedTexts().empty());
}
} // namespace
