// The window's three states (empty, songs, chords): which controls are enabled, the captions, the status
// line, the title list and what the editor shows.

#include "tests/ui/DialogFixture.h"
#include "ui/QtText.h"

#include <QApplication>
#include <QTest>

#include <string>
#include <utility>
#include <vector>

namespace {
struct StateCase
{
    const char* name;
    std::vector<std::pair<std::string, std::string>> files; // loaded in this order
    bool chordMode;
    const char* installCaption;
    const char* status;
    QStringList labels;
    int currentPosition;   // the selected list entry
    std::size_t shownText; // the loaded text the editor shows
};

// Test names and failure messages show the case's name, not its bytes.
void PrintTo(const StateCase& c, std::ostream* out)
{
    *out << c.name;
}

class StateTest : public DialogTest, public ::testing::WithParamInterface<StateCase>
{
};

const StateCase STATE_CASES[] = {
    {"OneSong",
     {{"grace.pro", GRACE_FILE}},
     false,
     "&Install Song...",
     "1 Song",
     {QStringLiteral("Amazing Grace")},
     0,
     0},
    // The last loaded song is shown, at the position its name sorted to; sorting ignores case.
    {"ThreeSongs",
     {{"grace.pro", GRACE_FILE}, {"fair.pro", FAIR_FILE}, {"valley.txt", VALLEY_FILE}},
     false,
     "&Install Songs...",
     "3 Songs",
     {QStringLiteral("Amazing Grace"),
      QStringLiteral("down in the valley"),
      QStringLiteral("Scarborough Fair - Traditional")},
     1,
     2},
    // Only the first text decides the mode; the status counts texts, not chords.
    {"ChordTextFirst",
     {{"chords.txt", CHORDS_FILE}, {"grace.pro", GRACE_FILE}, {"fair.pro", FAIR_FILE}},
     true,
     "&Install Chords...",
     "3 Chords",
     {QStringLiteral("Chords")},
     0,
     0},
    {"ChordTextAfterSongs",
     {{"grace.pro", GRACE_FILE}, {"chords.txt", CHORDS_FILE}},
     false,
     "&Install Songs...",
     "2 Songs",
     {QStringLiteral("Amazing Grace"), QStringLiteral("C x 3 2 0 1 0")},
     1,
     1},
    {"OneChordLine",
     {{"one.txt", "C x 3 2 0 1 0\n"}},
     false,
     "&Install Song...",
     "1 Song",
     {QStringLiteral("C x 3 2 0 1 0")},
     0,
     0},
    {"SecondLineNoChord",
     {{"two.txt", "C x 3 2 0 1 0\nhello\n"}},
     false,
     "&Install Song...",
     "1 Song",
     {QStringLiteral("C x 3 2 0 1 0")},
     0,
     0},
};

TEST_P(StateTest, ControlsFollowTheLoadedTexts)
{
    const StateCase& c = GetParam();
    QStringList paths;
    for (const auto& [name, bytes] : c.files) {
        paths.append(WriteFile(name, bytes));
    }
    Drop(paths);

    EXPECT_EQ(m_dialog->ChordMode(), c.chordMode);
    EXPECT_EQ(TitleList()->isEnabled(), !c.chordMode);
    EXPECT_TRUE(Editor()->isEnabled());
    EXPECT_TRUE(Button("IDC_INSTALL")->isEnabled());
    EXPECT_TRUE(Button("IDC_SAVE_PDB")->isEnabled());
    EXPECT_TRUE(Button("IDC_INSTALL")->isDefault());
    EXPECT_FALSE(Button("IDC_DROP_FILES")->isDefault());
    EXPECT_EQ(Button("IDC_INSTALL")->text(), QString::fromLatin1(c.installCaption));
    EXPECT_EQ(Status()->text(), QString::fromLatin1(c.status));
    EXPECT_EQ(Labels(), c.labels);
    EXPECT_EQ(TitleList()->currentIndex(), c.currentPosition);
    EXPECT_EQ(m_dialog->CurrentIndex(), c.currentPosition);
    ASSERT_EQ(m_dialog->LoadedTexts().size(), c.files.size());
    EXPECT_EQ(Editor()->toPlainText(), LoadedTextToEditor(m_dialog->LoadedTexts()[c.shownText]));
}

INSTANTIATE_TEST_SUITE_P(Loads,
                         StateTest,
                         ::testing::ValuesIn(STATE_CASES),
                         [](const ::testing::TestParamInfo<StateCase>& param) {
                             return std::string(param.param.name);
                         });

TEST_F(DialogTest, StartsEmptyWithTheTemplateCaptions)
{
    EXPECT_EQ(m_dialog->objectName(), QStringLiteral("IDD_IMPORTER"));
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("Tunelore Importer"));
    EXPECT_TRUE(m_dialog->acceptDrops());
    EXPECT_EQ(TitleList()->count(), 0);
    EXPECT_FALSE(TitleList()->isEnabled());
    EXPECT_FALSE(TitleList()->isEditable());
    EXPECT_FALSE(Editor()->isEnabled());
    EXPECT_EQ(Editor()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_FALSE(Button("IDC_INSTALL")->isEnabled());
    EXPECT_FALSE(Button("IDC_SAVE_PDB")->isEnabled());
    EXPECT_TRUE(Button("IDC_DROP_FILES")->isEnabled());
    EXPECT_TRUE(Button("IDCANCEL")->isEnabled());
    EXPECT_TRUE(Button("IDC_DROP_FILES")->isDefault());
    EXPECT_EQ(Button("IDC_DROP_FILES")->text(), QStringLiteral("Drop &files here"));
    EXPECT_EQ(Button("IDC_INSTALL")->text(), QStringLiteral("&Install..."));
    EXPECT_EQ(Button("IDC_SAVE_PDB")->text(), QStringLiteral("Save &PDB..."));
    EXPECT_EQ(Button("IDCANCEL")->text(), QStringLiteral("&Quit"));
    EXPECT_EQ(Status()->text(), QString());
    const auto* label = m_dialog->findChild<QLabel*>(QStringLiteral("IDC_STATIC_SONG_TITLE"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Song Title:"));
}

TEST_F(DialogTest, TabOrderIsTheTemplateOrder)
{
    QStringList order;
    QWidget* widget = TitleList();
    do {
        if (widget->parentWidget() == m_dialog.get() && (widget->focusPolicy() & Qt::TabFocus) != 0) {
            order.append(widget->objectName());
        }
        widget = widget->nextInFocusChain();
    } while (widget != TitleList());
    EXPECT_EQ(order,
              QStringList({QStringLiteral("IDC_SONG_TITLE"),
                           QStringLiteral("IDC_SONG_TEXT"),
                           QStringLiteral("IDC_DROP_FILES"),
                           QStringLiteral("IDC_INSTALL"),
                           QStringLiteral("IDCANCEL"),
                           QStringLiteral("IDC_SAVE_PDB")}));

    // The first enabled control in that order gets the focus when the window opens.
    m_dialog->show();
    m_dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
    EXPECT_EQ(QApplication::focusWidget(), Button("IDC_DROP_FILES"));
}

TEST_F(DialogTest, SameTitlesLeadToTheirOwnTexts)
{
    Drop({WriteFile("a.pro", "{t:Same}\nfirst\n"), WriteFile("b.pro", "{t:Same}\nsecond\n")});
    ASSERT_EQ(Labels(), QStringList({QStringLiteral("Same"), QStringLiteral("Same")}));
    for (int position = 0; position < 2; ++position) {
        TitleList()->setCurrentIndex(position);
        const int textIndex = TitleList()->itemData(position).toInt();
        EXPECT_EQ(Editor()->toPlainText(),
                  LoadedTextToEditor(m_dialog->LoadedTexts()[static_cast<std::size_t>(textIndex)]));
    }
    EXPECT_NE(TitleList()->itemData(0).toInt(), TitleList()->itemData(1).toInt());
}

TEST_F(DialogTest, EmptyAgainAfterSaveKeepsInstallCaptionAndDefault)
{
    Drop({WriteFile("chords.txt", CHORDS_FILE)});
    m_desktop.saveAnswers.push_back(QString::fromStdString(m_dir.File("out.pdb")));
    m_dialog->OnSavePdb();

    EXPECT_TRUE(m_dialog->LoadedTexts().empty());
    EXPECT_EQ(TitleList()->count(), 0);
    EXPECT_FALSE(TitleList()->isEnabled());
    EXPECT_FALSE(Editor()->isEnabled());
    EXPECT_EQ(Editor()->toPlainText(), QString());
    EXPECT_FALSE(Button("IDC_INSTALL")->isEnabled());
    EXPECT_FALSE(Button("IDC_SAVE_PDB")->isEnabled());
    EXPECT_EQ(Status()->text(), QString());
    EXPECT_EQ(Button("IDC_INSTALL")->text(), QStringLiteral("&Install Chords..."));
    EXPECT_TRUE(Button("IDC_INSTALL")->isDefault());

    // Loading again decides the mode afresh.
    Drop({WriteFile("grace.pro", GRACE_FILE)});
    EXPECT_FALSE(m_dialog->ChordMode());
    EXPECT_EQ(Button("IDC_INSTALL")->text(), QStringLiteral("&Install Song..."));
}
} // namespace
