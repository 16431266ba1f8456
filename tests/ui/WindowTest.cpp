// The window: three states (empty, songs, chords), template controls, resize layout, about box, icons.

#include "tests/ui/DialogFixture.h"
#include "ui/AboutDlg.h"
#include "ui/QtDesktop.h"

#include <QAccessible>
#include <QDir>

#include <set>

#include "res/Resource.h"

struct StateCase
{
    const char* name;
    std::vector<std::pair<std::string, std::string>> files; // loaded in this order
    const char* state;                                      // as State() shows it
    std::size_t shown;                                      // the loaded text the editor shows
    friend void PrintTo(const StateCase& c, std::ostream* out) { *out << c.name; }
};

class StateTest : public DialogTest, public ::testing::WithParamInterface<StateCase>
{
};

// clang-format off
const StateCase STATE_CASES[] = {
    {"Start", {}, "---- &Install... |  |", 0},
    {"OneSong", {{"g.pro", GRACE_FILE}}, "LEIS *&Install Song... | 1 Song | [Amazing Grace]", 0},
    // The last loaded song is shown at the position its name sorted to; sorting ignores case.
    {"ThreeSongs", {{"g.pro", GRACE_FILE}, {"f.pro", FAIR_FILE}, {"v.txt", VALLEY_FILE}},
     "LEIS *&Install Songs... | 3 Songs | Amazing Grace [down in the valley] Scarborough Fair - Traditional", 2},
    // Equal titles keep their loading order.
    {"SameTitles", {{"a.pro", "{t:Same}\nfirst\n"}, {"b.pro", "{t:Same}\nsecond\n"}},
     "LEIS *&Install Songs... | 2 Songs | Same [Same]", 1},
    // Only the first text decides the mode; the status counts texts, not chords.
    {"ChordTextFirst", {{"c.txt", CHORDS_FILE}, {"g.pro", GRACE_FILE}, {"f.pro", FAIR_FILE}},
     "-EIS *&Install Chords... | 3 Chords | [Chords]", 0},
    {"ChordTextAfterSongs", {{"g.pro", GRACE_FILE}, {"c.txt", CHORDS_FILE}},
     "LEIS *&Install Songs... | 2 Songs | Amazing Grace [C x 3 2 0 1 0]", 1},
};
// clang-format on

TEST_P(StateTest, ControlsFollowTheLoadedTexts)
{
    const StateCase& c = GetParam();
    QStringList paths;
    for (const auto& [name, bytes] : c.files) {
        paths.append(WriteFile(name, bytes));
    }
    Drop(paths);
    EXPECT_EQ(State(), c.state);
    EXPECT_EQ(Button("IDC_DROP_FILES")->isDefault(), paths.isEmpty());
    ASSERT_EQ(m_dialog->LoadedTexts().size(), c.files.size());
    EXPECT_EQ(Editor()->toPlainText(), paths.isEmpty() ? QString() : LoadedTextToEditor(Text(c.shown)));
}

INSTANTIATE_TEST_SUITE_P(Loads, StateTest, ::testing::ValuesIn(STATE_CASES), [](const auto& param) {
    return std::string(param.param.name);
});

TEST_F(DialogTest, ControlsInTabOrderWithTheTemplateCaptionsAndTooltips)
{
    EXPECT_EQ(m_dialog->objectName() + m_dialog->windowTitle(), QStringLiteral("IDD_IMPORTERTunelore Importer"));
    EXPECT_TRUE(m_dialog->acceptDrops());
    EXPECT_FALSE(TitleList()->isEditable());
    EXPECT_EQ(Editor()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(Controls(*m_dialog),
              "tab IDC_SONG_TITLE, , \ntab IDC_SONG_TEXT, , \n"
              "tab IDC_DROP_FILES, Drop &files here, Drag and drop chordpro or tab files here to convert them to "
              "Tunelore format.\n"
              "tab IDC_INSTALL, &Install..., Install songs so that the next HotSync will be add them to your Tunelore "
              "songs\n"
              "tab IDCANCEL, &Quit, \nIDC_STATUS, , \n"
              "tab IDC_SAVE_PDB, Save &PDB..., Save songs as a Palm Database so you can install them manually\n"
              "IDC_STATIC_SONG_TITLE, Song Title:, \n"
              "IDC_TEXT_LENGTH, , Characters of this song, of the 7999 the handheld keeps\n");
    // The first enabled control in tab order has the focus when the window opens.
    ShowActive();
    EXPECT_EQ(QApplication::focusWidget(), Button("IDC_DROP_FILES"));
}

TEST_F(DialogTest, OpensAtTheTemplateSizeAndFollowsEveryResizeDownToTheMinimum)
{
    const DialogBaseUnits units = m_dialog->BaseUnits();
    EXPECT_EQ(m_dialog->size(), QSize(DluToPixelsX(units, 314), DluToPixelsY(units, 222)));
    LoadThreeSongs();
    m_dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
    for (const QSize size : {QSize(800, 600), QSize(513, 421), QSize(100, 100)}) {
        SCOPED_TRACE(size.width());
        m_dialog->resize(size);
        const QSize expected = size.expandedTo(QSize(CImporterDlg::MIN_WIDTH, CImporterDlg::MIN_HEIGHT));
        EXPECT_EQ(m_dialog->size(), expected);
        // The buttons and the status stand in one column 10 pixels from the right edge, top to bottom, about 10
        // pixels apart, and the list and the editor fill the rest without reaching it.
        const int column = Button("IDC_INSTALL")->x();
        int y = -1;
        for (const char* name : {"IDC_DROP_FILES", "IDC_INSTALL", "IDC_SAVE_PDB", "IDCANCEL", "IDC_STATUS"}) {
            const QRect box = m_dialog->findChild<QWidget*>(QLatin1String(name))->geometry();
            EXPECT_TRUE(box.x() == column && box.top() > y + 8) << name;
            y = box.bottom();
        }
        EXPECT_EQ(Button("IDC_INSTALL")->geometry().right(), expected.width() - 11);
        for (const QWidget* filled : {static_cast<QWidget*>(TitleList()), static_cast<QWidget*>(Editor())}) {
            const int gap = column - filled->geometry().right();
            EXPECT_TRUE(gap > 1 && gap < 12) << gap;
        }
        EXPECT_LE(Editor()->geometry().bottom(), expected.height() - Editor()->x());
    }
    const QRect before = Editor()->geometry(); // a minimised window (zero width or height) keeps its layout
    m_dialog->LayoutControls(0, 500);
    m_dialog->LayoutControls(500, 0);
    EXPECT_EQ(Editor()->geometry(), before);
}

TEST_F(DialogTest, AboutBoxFromWindowMenuCommandsSixteenToThirtyOneAndF1)
{
    for (const int id : {0, 15, 16, 31, 32, 0xF060}) {
        m_dialog->OnSysCommand(id);
    }
    ShowActive();
    QTest::keyClick(Button("IDC_DROP_FILES"), Qt::Key_F1);
    const std::string modal = "modal@0: IDD_ABOUT (About TuneloreConverter)\n";
    EXPECT_EQ(m_desktop.prompts, modal + modal + modal);

    CAboutDlg about(m_dialog->AppIcon());
    const DialogBaseUnits units = MeasureDialogBaseUnits(about.font());
    EXPECT_EQ(about.size(), QSize(DluToPixelsX(units, 217), DluToPixelsY(units, 55)));
    EXPECT_EQ(Controls(about),
              "IDC_STATIC_ICON, , \nIDC_STATIC_VERSION, TuneloreImporter Version 1.0, \ntab IDOK, OK, \n");
    EXPECT_TRUE(about.findChild<QPushButton*>(QStringLiteral("IDOK"))->isDefault());
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("IDC_STATIC_ICON"))->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(m_dialog->AppIcon().availableSizes(), QList<QSize>({QSize(16, 16), QSize(32, 32), QSize(48, 48)}));
    EXPECT_FALSE(m_dialog->windowIcon().isNull());
}

// What a screen reader gets of each control of `dialog`: a name and a description, no name twice.
static void ExpectAccessible(const QWidget& dialog, const char* what)
{
    SCOPED_TRACE(what);
    std::set<QString> names;
    const QList<QWidget*> controls = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_FALSE(controls.isEmpty());
    for (QWidget* control : controls) {
        SCOPED_TRACE(control->objectName().toStdString());
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(accessible, nullptr);
        const QString name = accessible->text(QAccessible::Name);
        EXPECT_FALSE(name.isEmpty());
        EXPECT_FALSE(accessible->text(QAccessible::Description).isEmpty());
        EXPECT_TRUE(names.insert(name).second) << name.toStdString() << " names two controls";
    }
}

TEST_F(DialogTest, ScreenReadersGetANameAndADescriptionOfEveryControl)
{
    CAboutDlg about(m_dialog->AppIcon());
    ExpectAccessible(about, "about box");
    ExpectAccessible(*m_dialog, "empty window");
    LoadThreeSongs();
    ExpectAccessible(*m_dialog, "window with songs");
    // The status line is named by the count it shows.
    QLabel* status = m_dialog->findChild<QLabel*>(QStringLiteral("IDC_STATUS"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(status)->text(QAccessible::Name), status->text());
}

TEST(HelpersTest, FileFiltersAndDialogUnits)
{
    EXPECT_EQ(ToQtNameFilters(QStringLiteral("Tab Files (*.tab,*.crd)|*.tab;*.crd|All Files (*.*)|*.*||")),
              QStringList({QStringLiteral("Tab Files (*.tab *.crd)"), QStringLiteral("All Files (*)")}));
    // The open dialog keeps its four kinds, and the first takes every ChordPro ending.
    const QStringList open = ToQtNameFilters(FromUtf8(res::OPEN_FILTER));
    ASSERT_EQ(open.size(), 4);
    const QStringList chordPro = open.front().section(u'(', 1).chopped(1).split(u' ');
    for (const char* name : {"a.pro", "a.chordpro", "a.cho", "a.chopro"}) {
        EXPECT_TRUE(QDir::match(chordPro, QLatin1String(name))) << name;
    }
    EXPECT_EQ(MulDivRound(-7, 6, 4), -11); // -10.5 rounds away from zero
    EXPECT_EQ(MulDivRound(5, 13, 0), 0);
    // Edges are mapped, not sizes: right 7 + 35 = 42 -> 63, so the width is 52, not 35 * 6 / 4 rounded (53).
    EXPECT_EQ(DluToPixels(DialogBaseUnits{6, 13}, 7, 9, 35, 8), QRect(11, 15, 52, 13));
}
