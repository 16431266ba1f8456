// The window's chrome: size in dialog units, the resize layout and minimum size, tooltips, the about box,
// icons, the seeding of database names, and the file-dialog filters.

#include "tests/ui/DialogFixture.h"
#include "ui/AboutDlg.h"
#include "ui/QtDesktop.h"

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <cstdlib>

#include "res/Resource.h"

namespace {
// Checks every control against the layout rules for a client area of W x H pixels.
void ExpectLayout(CImporterDlg& dialog, int W, int H)
{
    auto* list = dialog.findChild<QComboBox*>(QStringLiteral("IDC_SONG_TITLE"));
    auto* editor = dialog.findChild<QPlainTextEdit*>(QStringLiteral("IDC_SONG_TEXT"));
    auto button = [&dialog](const char* name) { return dialog.findChild<QWidget*>(QString::fromLatin1(name)); };
    const int bw = button("IDC_INSTALL")->width();
    const int bh = button("IDC_INSTALL")->height();
    const int dh = button("IDC_DROP_FILES")->height();
    const int L = list->x();
    EXPECT_EQ(list->width(), W - bw - L - 20);
    EXPECT_EQ(editor->size(), QSize(W - bw - 30, std::min(H - bh - 30, H - editor->y() - editor->x())));
    EXPECT_LT(editor->geometry().bottom(), H);
    EXPECT_EQ(button("IDC_DROP_FILES")->pos(), QPoint(W - bw - 10, 10));
    EXPECT_EQ(button("IDC_INSTALL")->pos(), QPoint(W - bw - 10, dh + 20));
    EXPECT_EQ(button("IDC_SAVE_PDB")->pos(), QPoint(W - bw - 10, dh + bh + 30));
    EXPECT_EQ(button("IDCANCEL")->pos(), QPoint(W - bw - 10, dh + 2 * bh + 40));
    EXPECT_EQ(button("IDC_STATUS")->pos(), QPoint(W - bw - 10, dh + 3 * bh + 50));
}

TEST_F(DialogTest, OpensAtTheTemplateSizeInDialogUnits)
{
    const DialogBaseUnits units = m_dialog->BaseUnits();
    ASSERT_GT(units.charWidth, 0);
    EXPECT_EQ(m_dialog->size(), QSize(DluToPixelsX(units, 314), DluToPixelsY(units, 222)));
    EXPECT_EQ(Button("IDC_INSTALL")->geometry(), DluToPixels(units, 237, 49, 70, 14));
    EXPECT_EQ(Editor()->geometry(), DluToPixels(units, 7, 29, 216, 186));
}

TEST_F(DialogTest, ControlsFollowEveryResizeDownToTheMinimum)
{
    LoadThreeSongs();
    m_dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
    for (const QSize size : {QSize(800, 600), QSize(513, 421), QSize(100, 100)}) {
        SCOPED_TRACE(size.width());
        m_dialog->resize(size);
        const QSize expected = size.expandedTo(QSize(CImporterDlg::MIN_WIDTH, CImporterDlg::MIN_HEIGHT));
        EXPECT_EQ(m_dialog->size(), expected);
        ExpectLayout(*m_dialog, expected.width(), expected.height());
    }

    // A zero width or height (a minimised window) leaves the controls where they are.
    const QRect before = Editor()->geometry();
    m_dialog->LayoutControls(0, 500);
    m_dialog->LayoutControls(500, 0);
    EXPECT_EQ(Editor()->geometry(), before);
}

TEST_F(DialogTest, OnlyTheThreeButtonsHaveTooltips)
{
    const std::pair<const char*, const char*> expected[] = {
        {"IDC_INSTALL", "Install songs so that the next HotSync will be add them to your Tunelore songs"},
        {"IDC_SAVE_PDB", "Save songs as a Palm Database so you can install them manually"},
        {"IDC_DROP_FILES", "Drag and drop chordpro or tab files here to convert them to Tunelore format."},
        {"IDCANCEL", ""},
        {"IDC_SONG_TITLE", ""},
        {"IDC_SONG_TEXT", ""},
        {"IDC_STATUS", ""},
    };
    for (const auto& [name, tip] : expected) {
        SCOPED_TRACE(name);
        auto* control = m_dialog->findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->toolTip(), QString::fromLatin1(tip));
    }
    // Any other id shows the first line of the string with that id, if there is one.
    EXPECT_EQ(CImporterDlg::ToolTipText(IDS_ABOUT_MENU), QStringLiteral("&About TuneloreConverter..."));
    EXPECT_EQ(CImporterDlg::ToolTipText(0), QString());
}

TEST_F(DialogTest, WindowMenuCommandsSixteenToThirtyOneOpenTheAboutBox)
{
    for (const int id : {0, 15, 16, 17, 31, 32, 0xF060}) {
        SCOPED_TRACE(id);
        m_desktop.prompts.clear();
        m_dialog->OnSysCommand(id);
        const bool opens = id >= 16 && id <= 31;
        ASSERT_EQ(m_desktop.prompts.size(), opens ? 1u : 0u);
        if (opens) {
            EXPECT_EQ(m_desktop.prompts[0].text, QStringLiteral("IDD_ABOUT"));
            EXPECT_EQ(m_desktop.prompts[0].extra, QStringLiteral("About TuneloreConverter"));
        }
    }

    m_dialog->show();
    m_dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
    m_desktop.prompts.clear();
    QTest::keyClick(Button("IDC_DROP_FILES"), Qt::Key_F1);
    ASSERT_EQ(m_desktop.prompts.size(), 1u);
    EXPECT_EQ(m_desktop.prompts[0].kind, QStringLiteral("modal"));
}

TEST(AboutDlgTest, ShowsIconVersionAndDefaultOk)
{
    CFakeDesktop desktop;
    CImporterDlg owner(desktop);
    CAboutDlg about(owner.AppIcon());
    const DialogBaseUnits units = MeasureDialogBaseUnits(about.font());
    EXPECT_EQ(about.size(), QSize(DluToPixelsX(units, 217), DluToPixelsY(units, 55)));
    auto* ok = about.findChild<QPushButton*>(QStringLiteral("IDOK"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(ok->isDefault());
    auto* version = about.findChild<QLabel*>(QStringLiteral("IDC_STATIC_VERSION"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), QStringLiteral("TuneloreImporter Version 1.0"));
    auto* icon = about.findChild<QLabel*>(QStringLiteral("IDC_STATIC_ICON"));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->pixmap().size(), QSize(32, 32));
}

TEST_F(DialogTest, IconHasTheThreeBitmapSizes)
{
    const QList<QSize> sizes = m_dialog->AppIcon().availableSizes();
    for (const int size : {16, 32, 48}) {
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    }
    EXPECT_FALSE(m_dialog->windowIcon().isNull());
}

TEST_F(DialogTest, EachWindowSeedsTheDatabaseNames)
{
    std::srand(12345);
    const int unseeded = std::rand();
    std::srand(12345);
    CImporterDlg dialog(m_desktop);
    EXPECT_NE(std::rand(), unseeded);
}

TEST(FileFilterTest, BarNotationBecomesQtNameFilters)
{
    EXPECT_EQ(
        ToQtNameFilters(QString::fromLatin1(res::OPEN_FILTER.data(), static_cast<qsizetype>(res::OPEN_FILTER.size()))),
        QStringList({QStringLiteral("Chordpro Files (*.pro *.chordpro)"),
                     QStringLiteral("Tab Files (*.tab *.crd)"),
                     QStringLiteral("Text Files (*.txt)"),
                     QStringLiteral("All Files (*)")}));
    EXPECT_EQ(ToQtNameFilters(QStringLiteral("PDB Files (*.pdb)|*.pdb||")),
              QStringList({QStringLiteral("PDB Files (*.pdb)")}));
    EXPECT_TRUE(ToQtNameFilters(QString()).isEmpty());
}

TEST(DialogUnitsTest, MapsEdgesWithRounding)
{
    EXPECT_EQ(MulDivRound(7, 6, 4), 11); // 10.5 rounds up
    EXPECT_EQ(MulDivRound(-7, 6, 4), -11);
    EXPECT_EQ(MulDivRound(5, 13, 8), 8);
    EXPECT_EQ(MulDivRound(5, 13, 0), 0);
    const DialogBaseUnits units{6, 13};
    // Left 7 -> 11 (10.5), right 7 + 35 = 42 -> 63: width 52, not 35 * 6 / 4 rounded (53).
    EXPECT_EQ(DluToPixels(units, 7, 9, 35, 8), QRect(11, 15, 52, 13));
}
} // namespace

namespace {
TEST(LargeFontTest, EditorStaysInsideTheWindow)
{
    const QFont original = QApplication::font();
    QFont large = original;
    large.setPointSize(original.pointSize() * 2);
    QApplication::setFont(large);
    CFakeDesktop desktop;
    CImporterDlg dialog(desktop);
    QApplication::setFont(original);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.resize(900, 700);
    ExpectLayout(dialog, 900, 700);
}
} // namespace
