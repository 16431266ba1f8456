// The window: three states (empty, songs, chords), tab order and screen-reader names, resize layout, about box.

#include "tests/ui/DialogFixture.h"
#include "ui/AboutDlg.h"
#include "ui/NoteLabel.h"
#include "ui/QtDesktop.h"

#include <QAccessible>
#include <QMessageBox>
#include <QTimer>

#include <set>

TEST_F(DialogTest, ControlsFollowTheLoadedTexts)
{
    const struct
    {
        std::vector<std::pair<std::string, std::string>> files; // loaded in this order
        const char* state;                                      // as State() shows it
        std::size_t shown;                                      // the loaded text the editor shows
    } cases[] = {
        // clang-format off
        {{}, "---- &Install... |  |", 0},
        {{{"g.pro", GRACE_FILE}}, "LEIS *&Install Song... | 1 Song | [Amazing Grace]", 0},
        // The last loaded song is shown at the position its name sorted to; sorting ignores case.
        {{{"g.pro", GRACE_FILE}, {"f.pro", FAIR_FILE}, {"v.txt", VALLEY_FILE}},
         "LEIS *&Install Songs... | 3 Songs | Amazing Grace [down in the valley] Scarborough Fair - Traditional", 2},
        // Equal titles keep their loading order.
        {{{"a.pro", "{t:Same}\nfirst\n"}, {"b.pro", "{t:Same}\nsecond\n"}}, "LEIS *&Install Songs... | 2 Songs | Same [Same]", 1},
        // Only the first text decides the mode; the status counts texts, not chords.
        {{{"c.txt", CHORDS_FILE}, {"g.pro", GRACE_FILE}, {"f.pro", FAIR_FILE}}, "-EIS *&Install Chords... | 3 Chords | [Chords]", 0},
        {{{"g.pro", GRACE_FILE}, {"c.txt", CHORDS_FILE}}, "LEIS *&Install Songs... | 2 Songs | Amazing Grace [C x 3 2 0 1 0]", 1},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        m_dialog = NewWindow();
        DropFiles(c.files);
        EXPECT_EQ(State(), c.state);
        EXPECT_EQ(Button("IDC_DROP_FILES")->isDefault(), c.files.empty());
        EXPECT_EQ(Editor()->toPlainText(), c.files.empty() ? QString() : LoadedTextToEditor(Text(c.shown)));
    }
}

TEST_F(DialogTest, TabOrderFocusF1IconsAndTheScreenReaderNameDescriptionAndTooltipOfEveryControl)
{
    std::string order; // the controls along the focus chain, "+" where Tab stops
    QWidget* first = m_dialog->nextInFocusChain();
    for (QWidget* widget = first; order.empty() || widget != first; widget = widget->nextInFocusChain()) {
        if (widget->parentWidget() == m_dialog.get())
            order += ((widget->focusPolicy() & Qt::TabFocus) != 0 ? "+" : "") + widget->objectName().toStdString();
    }
    EXPECT_EQ(order,
              "+IDC_SONG_TITLE+IDC_SONG_TEXT+IDC_DROP_FILES+IDC_INSTALL+IDC_SAVE_PDB+IDCANCELIDC_STATUS"
              "IDC_STATIC_SONG_TITLEIDC_TEXT_LENGTHIDC_NOTE");
    // The first enabled control in tab order has the focus when the window opens; F1 there opens the about box.
    ShowActive();
    EXPECT_EQ(QApplication::focusWidget(), Button("IDC_DROP_FILES"));
    QTest::keyClick(Button("IDC_DROP_FILES"), Qt::Key_F1);
    EXPECT_EQ(m_desktop.prompts, "modal@0: IDD_ABOUT\n");

    LoadThreeSongs();
    CAboutDlg about(m_dialog->AppIcon());
    std::string tips; // of the controls but the text length and the status, which have tips of their own
    for (const QWidget* dialog : {static_cast<QWidget*>(&about), static_cast<QWidget*>(m_dialog.get())}) {
        std::set<QString> names;
        for (QWidget* control : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const std::string id = control->objectName().toStdString();
            const QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            const QString name = accessible->text(QAccessible::Name);
            EXPECT_FALSE(name.isEmpty() || accessible->text(QAccessible::Description).isEmpty()) << id;
            EXPECT_TRUE(names.insert(name).second) << name.toStdString() << " names two controls";
            if (!control->toolTip().isEmpty() && id != "IDC_TEXT_LENGTH" && id != "IDC_STATUS")
                tips += id + ": " + control->toolTip().toStdString() + "\n";
        }
    }
    QLabel* status = m_dialog->findChild<QLabel*>(QStringLiteral("IDC_STATUS")); // named by the count it shows
    EXPECT_EQ(QAccessible::queryAccessibleInterface(status)->text(QAccessible::Name), QStringLiteral("3 Songs"));
    EXPECT_EQ(tips,
              "IDC_DROP_FILES: Drag and drop chordpro or tab files here to convert them to Tunelore format.\n"
              "IDC_INSTALL: Install songs so that the next HotSync will be add them to your Tunelore songs\n"
              "IDC_SAVE_PDB: Save songs as a Palm Database so you can install them manually\n");
    // The text length names the handheld's limit, to the eye and to a screen reader.
    const QLabel* length = m_dialog->findChild<QLabel*>(QStringLiteral("IDC_TEXT_LENGTH"));
    const QString lengthTip = QStringLiteral("Characters of this song, of the 7999 the handheld keeps");
    EXPECT_TRUE(length->toolTip() == lengthTip && length->accessibleDescription() == lengthTip);
    // The icons are compiled in, in three sizes.
    EXPECT_EQ(m_dialog->AppIcon().availableSizes(), QList<QSize>({QSize(16, 16), QSize(32, 32), QSize(48, 48)}));
    EXPECT_FALSE(m_dialog->windowIcon().isNull());
}

TEST_F(DialogTest, LayoutFollowsEveryResizeDownToTheMinimum)
{
    LoadThreeSongs();
    m_dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
    for (const QSize size : {QSize(800, 600), QSize(513, 421), QSize(100, 100)}) {
        m_dialog->resize(size);
        const QSize expected = size.expandedTo(QSize(CImporterDlg::MIN_WIDTH, CImporterDlg::MIN_HEIGHT));
        EXPECT_EQ(m_dialog->size(), expected);
        // The buttons and the status stand in one column near the right edge, top to bottom and apart; the list
        // and the editor fill the rest without reaching it, and the editor ends above the bottom edge.
        const int column = Button("IDC_INSTALL")->x();
        int y = -1;
        for (const char* name : {"IDC_DROP_FILES", "IDC_INSTALL", "IDC_SAVE_PDB", "IDCANCEL", "IDC_STATUS"}) {
            const QRect box = m_dialog->findChild<QWidget*>(QLatin1String(name))->geometry();
            EXPECT_TRUE(box.x() == column && box.top() > y + 8) << name << size.width();
            y = box.bottom();
        }
        for (const int gap : {expected.width() - Button("IDC_INSTALL")->geometry().right(),
                              column - TitleList()->geometry().right(),
                              column - Editor()->geometry().right()}) {
            EXPECT_TRUE(gap > 1 && gap < 12) << gap << size.width();
        }
        EXPECT_LE(Editor()->geometry().bottom(), expected.height() - Editor()->x());
    }
    const QRect before = Editor()->geometry(); // a minimised window (zero width or height) keeps its layout
    m_dialog->LayoutControls(0, 500);
    EXPECT_EQ(Editor()->geometry(), before);
}

TEST_F(DialogTest, TheNoteWrapsALongPathWithinItsColumnAndKeepsBothEndsWhenTooTall)
{
    // Install names the folder it wrote to in the note; here a path with a name far wider than the column.
    const std::filesystem::path home = m_home.Path() / std::string(40, 'h');
    std::filesystem::create_directories(home / ".jpilot");
    m_desktop.platform.environment["HOME"] = home.string();
    m_dialog->show();
    LoadThreeSongs();
    m_dialog->OnInstall();
    auto* note = dynamic_cast<CNoteLabel*>(m_dialog->findChild<QLabel*>(QStringLiteral("IDC_NOTE")));
    ASSERT_TRUE(note != nullptr && note->text().contains(QString::fromStdString(home.string())));
    const QFontMetrics metrics(note->font());
    note->resize(note->width(), 100 * metrics.lineSpacing()); // room for every line
    const QStringList lines = note->Lines();
    for (const QString& line : lines)
        EXPECT_LE(metrics.horizontalAdvance(line.trimmed()), note->contentsRect().width()) << line.toStdString();
    EXPECT_EQ(std::pair(note->Fits(), lines.join(QString()).toStdString()),
              std::pair(true, QString(note->text()).remove(QLatin1Char('\n')).toStdString()));
    // Too tall for its room: the start and the end stay, an ellipsis where the middle was.
    note->resize(note->width(), 3 * metrics.lineSpacing());
    const QStringList cut = note->Lines();
    EXPECT_EQ(std::tuple(note->Fits(), cut.size(), cut.value(1), cut.value(2)),
              std::tuple(false, 3, lines.value(lines.size() - 2), lines.last()));
    EXPECT_TRUE(cut.value(0).endsWith(QChar(0x2026))) << cut.value(0).toStdString();
}

TEST(HelpersTest, FileFiltersAndDialogUnits)
{
    EXPECT_EQ(ToQtNameFilters(QStringLiteral("Tab Files (*.tab,*.crd)|*.tab;*.crd|All Files (*.*)|*.*||")),
              QStringList({QStringLiteral("Tab Files (*.tab *.crd)"), QStringLiteral("All Files (*)")}));
    EXPECT_EQ(std::pair(MulDivRound(-7, 6, 4), MulDivRound(5, 13, 0)), std::pair(-11, 0)); // -10.5 away from zero
    // Edges are mapped, not sizes: right 7 + 35 = 42 -> 63, so the width is 52, not 35 * 6 / 4 rounded (53).
    EXPECT_EQ(DluToPixels(DialogBaseUnits{6, 13}, 7, 9, 35, 8), QRect(11, 15, 52, 13));
    // A file dialog opens in the nearest folder that exists, not in the working folder.
    const TempDir dir;
    const QString home = QString::fromStdString(dir.Str());
    for (const QString& gone : {home + QStringLiteral("/Documents"), home + QStringLiteral("/a/b/c/")})
        EXPECT_EQ(ExistingDialogFolder(gone), home);
    EXPECT_EQ(ExistingDialogFolder(QString()), QString());
}

// The desktop's message box shows the icon of the message's kind; each box is closed as soon as it is open.
TEST(HelpersTest, MessageBoxesShowTheIconOfTheirKind)
{
    CQtDesktop desktop;
    for (const auto& [kind, icon] : {std::pair(IDesktop::MessageIcon::None, QMessageBox::NoIcon),
                                     {IDesktop::MessageIcon::Warning, QMessageBox::Warning},
                                     {IDesktop::MessageIcon::Error, QMessageBox::Critical}}) {
        QMessageBox::Icon shown = QMessageBox::Question;
        QTimer closer; // looks until the box is open
        QObject::connect(&closer, &QTimer::timeout, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->icon();
                box->accept();
            }
        });
        closer.start(10);
        desktop.ShowMessage(nullptr, QStringLiteral("Saved."), kind);
        EXPECT_EQ(shown, icon);
    }
}
