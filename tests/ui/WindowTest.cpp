// The window: three states (empty, songs, chords), template controls, resize layout, about box, icons, seeding.

#include "tests/ui/DialogFixture.h"
#include "ui/AboutDlg.h"
#include "ui/QtDesktop.h"

#include <QAccessible>
#include <QDir>

#include <cstdlib>
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
              "IDC_STATIC_SONG_TITLE, Song Title:, \n");
    // Any other id shows the first line of the string with that id, if there is one.
    EXPECT_EQ(CImporterDlg::ToolTipText(IDS_ABOUT_MENU), QStringLiteral("&About TuneloreConverter..."));
    // The first enabled control in tab order has the focus when the window opens.
    ShowActive();
    EXPECT_EQ(QApplication::focusWidget(), Button("IDC_DROP_FILES"));
}

TEST_F(DialogTest, OpensAtTheTemplateSizeAndFollowsEveryResizeDownToTheMinimum)
{
    const DialogBaseUnits units = m_dialog->BaseUnits();
    EXPECT_EQ(m_dialog->size(), QSize(DluToPixelsX(units, 314), DluToPixelsY(units, 222)));
    EXPECT_EQ(Button("IDC_INSTALL")->geometry(), DluToPixels(units, 237, 49, 70, 14));
    EXPECT_EQ(Editor()->geometry(), DluToPixels(units, 7, 29, 216, 186));

    LoadThreeSongs();
    m_dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
    for (const QSize size : {QSize(800, 600), QSize(513, 421), QSize(100, 100)}) {
        SCOPED_TRACE(size.width());
        m_dialog->resize(size);
        const int W = std::max(size.width(), CImporterDlg::MIN_WIDTH);
        const int H = std::max(size.height(), CImporterDlg::MIN_HEIGHT);
        EXPECT_EQ(m_dialog->size(), QSize(W, H));
        const int bw = Button("IDC_INSTALL")->width(), bh = Button("IDC_INSTALL")->height();
        const int dh = Button("IDC_DROP_FILES")->height();
        EXPECT_EQ(TitleList()->width(), W - bw - TitleList()->x() - 20);
        EXPECT_EQ(Editor()->size(), QSize(W - bw - 30, std::min(H - bh - 30, H - Editor()->y() - Editor()->x())));
        // clang-format off
        const std::pair<const char*, int> column[] = {{"IDC_DROP_FILES", 10}, {"IDC_INSTALL", dh + 20},
            {"IDC_SAVE_PDB", dh + bh + 30}, {"IDCANCEL", dh + 2 * bh + 40}, {"IDC_STATUS", dh + 3 * bh + 50}};
        // clang-format on
        for (const auto& [name, y] : column) {
            EXPECT_EQ(m_dialog->findChild<QWidget*>(QLatin1String(name))->pos(), QPoint(W - bw - 10, y)) << name;
        }
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

TEST_F(DialogTest, EachWindowSeedsTheDatabaseNames)
{
    std::srand(12345);
    const int unseeded = std::rand();
    std::srand(12345);
    CImporterDlg dialog(m_desktop);
    EXPECT_NE(std::rand(), unseeded);
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
