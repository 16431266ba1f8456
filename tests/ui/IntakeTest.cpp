// Files arriving by drop or through the open dialog: texts are appended in order, tab files converted,
// databases extracted on the spot with the user's target, and the user told what was written.

#include "jobs/Export.h"
#include "tests/ui/DialogFixture.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <filesystem>

namespace {
const char* TAB_FILE = "G          C\nAmazing grace\n";

// Sends a drag of the files onto `target`, then the drop; true when the drag was accepted.
bool DropOn(QWidget* target, const QStringList& paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls.append(QUrl::fromLocalFile(path));
    }
    mime.setUrls(urls);
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return true;
}

std::string Chord(const std::string& frets, const std::string& name)
{
    return frets + std::string(2, '\0') + name + std::string(1, '\0');
}

TEST_F(DialogTest, OneDropOfEveryKindIsTakenInOrder)
{
    const QString songDb = WriteSongDatabase("songs.pdb", {"{t:Alpha}\nla la\n", "{t:Beta}\nlo lo\n"});
    const QString chordDb =
        WriteChordDatabase("chords.pdb", {Chord({0, 3, 2, 0, 1, 0}, "C"), Chord({15, 0, 2, 2, 2, 0}, "A")});
    const QString folder = QString::fromStdString(m_dir.File("extracted"));
    const QString chordText = QString::fromStdString(m_dir.File("chords-out.txt"));
    m_desktop.folderAnswers.push_back(folder);
    m_desktop.saveAnswers.push_back(chordText);

    ASSERT_TRUE(DropOn(m_dialog.get(),
                       {songDb,
                        WriteFile("grace.pro", GRACE_FILE),
                        chordDb,
                        WriteFile("tune.TAB", TAB_FILE),
                        WriteFile("defs.txt", CHORDS_FILE)}));

    // Prompts and messages in the order of the paths, all under the wait cursor.
    ASSERT_EQ(m_desktop.prompts.size(), 4u);
    EXPECT_EQ(m_desktop.prompts[0].kind, QStringLiteral("folder"));
    EXPECT_EQ(m_desktop.prompts[0].text, QStringLiteral("Directory To Extract Songs To"));
    EXPECT_EQ(m_desktop.prompts[1].text, QStringLiteral("Songs extracted to %1.\n2 songs written.").arg(folder));
    EXPECT_EQ(m_desktop.prompts[2].kind, QStringLiteral("save"));
    EXPECT_EQ(m_desktop.prompts[2].text, QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*||"));
    EXPECT_EQ(m_desktop.prompts[2].extra, QStringLiteral("txt"));
    EXPECT_EQ(m_desktop.prompts[3].text, QStringLiteral("Chords extracted to %1.").arg(chordText));
    for (const CFakeDesktop::Prompt& prompt : m_desktop.prompts) {
        EXPECT_EQ(prompt.waitDepth, 1) << prompt.text.toStdString();
    }
    EXPECT_EQ(m_desktop.waitDepth, 0);

    EXPECT_EQ(FolderEntries(folder.toStdString()), (std::vector<std::string>{"Alpha.pro", "Beta.pro"}));
    const std::optional<std::string> chords = ReadFileBytes(chordText.toStdString());
    ASSERT_TRUE(chords.has_value());
    EXPECT_NE(chords->find("C 0 3 2 0 1 0"), std::string::npos) << *chords;

    // The three texts, in drop order; the tab file (any letter case) converted to ChordPro.
    const std::vector<std::string>& texts = m_dialog->LoadedTexts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], "{title: Amazing Grace}\r\n[G]Amazing grace, how [C]sweet the sound\r\n");
    EXPECT_NE(texts[1].find("[G]"), std::string::npos) << texts[1];
    EXPECT_EQ(texts[2], "C x 3 2 0 1 0\r\nG 3 2 0 0 0 3\r\nD x x 0 2 3 2\r\n");
    EXPECT_FALSE(m_dialog->ChordMode());
    EXPECT_EQ(Status()->text(), QStringLiteral("3 Songs"));
}

TEST_F(DialogTest, FilesDroppedOnTheEditorAreLoaded)
{
    Drop({WriteFile("grace.pro", GRACE_FILE)});
    const QString before = Editor()->toPlainText();
    ASSERT_TRUE(DropOn(Editor()->viewport(), {WriteFile("fair.pro", FAIR_FILE)}));
    EXPECT_EQ(m_dialog->LoadedTexts().size(), 2u);
    EXPECT_EQ(Editor()->toPlainText().contains(QStringLiteral("file:")), false);
    EXPECT_NE(Editor()->toPlainText(), before); // the new text is shown
}

TEST_F(DialogTest, CancelledTargetsSkipOnlyTheirDatabase)
{
    const QString songDb = WriteSongDatabase("songs.pdb", {"{t:Alpha}\n"});
    const QString chordDb = WriteChordDatabase("chords.pdb", {Chord({0, 3, 2, 0, 1, 0}, "C")});
    m_desktop.folderAnswers.push_back(std::nullopt);
    m_desktop.saveAnswers.push_back(std::nullopt);
    Drop({songDb, chordDb, WriteFile("grace.pro", GRACE_FILE), QString::fromStdString(m_dir.File("absent.pro"))});

    EXPECT_TRUE(m_desktop.Texts(QStringLiteral("message")).isEmpty());
    EXPECT_EQ(m_dialog->LoadedTexts().size(), 1u);
    EXPECT_EQ(FolderEntries(m_dir.Path()), (std::vector<std::string>{"chords.pdb", "grace.pro", "songs.pdb"}));
}

TEST_F(DialogTest, SongsThatCannotBeWrittenAreNamed)
{
    const QString songDb = WriteSongDatabase("songs.pdb", {"{t:Alpha}\n", "{t:Beta}\n"});
    const QString folder = QString::fromStdString(m_dir.File("extracted"));
    std::filesystem::create_directories(m_dir.Path() / "extracted" / "Beta.pro");
    m_desktop.folderAnswers.push_back(folder);
    Drop({songDb});

    const QStringList messages = m_desktop.Texts(QStringLiteral("message"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(
        messages[0],
        QStringLiteral("Songs extracted to %1.\n1 song written.\nThese songs could not be written:\nBeta").arg(folder));
}

TEST_F(DialogTest, OpenDialogLoadsThePickedFilesOrNothing)
{
    LoadThreeSongs();
    TitleList()->setCurrentIndex(0);
    ReplaceFirstLine(QStringLiteral("{t:Zebra}"));

    // Cancelled: the edit is stored back, nothing is loaded and the list is not rebuilt.
    m_desktop.openAnswers.push_back(std::nullopt);
    m_dialog->OnDropFilesButton();
    EXPECT_EQ(m_desktop.prompts.back().text,
              QStringLiteral("Chordpro Files (*.pro,*.chordpro)|*.pro;*.chordpro|Tab Files (*.tab,*.crd)|*.tab;*.crd|"
                             "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||"));
    EXPECT_EQ(m_dialog->LoadedTexts().size(), 3u);
    EXPECT_EQ(m_dialog->LoadedTexts()[0].substr(0, 9), "{t:Zebra}");
    EXPECT_EQ(TitleList()->itemText(0), QStringLiteral("Zebra"));

    m_desktop.openAnswers.push_back(QStringList({WriteFile("b.pro", "{t:Bee}\n"), WriteFile("a.pro", "{t:Ant}\n")}));
    m_dialog->OnDropFilesButton();
    ASSERT_EQ(m_dialog->LoadedTexts().size(), 5u);
    EXPECT_EQ(m_dialog->LoadedTexts()[3], "{t:Bee}\r\n");
    EXPECT_EQ(m_dialog->LoadedTexts()[4], "{t:Ant}\r\n");
    EXPECT_EQ(Labels().front(), QStringLiteral("Ant"));
    EXPECT_EQ(Labels().back(), QStringLiteral("Zebra"));
    EXPECT_EQ(m_desktop.waitDepth, 0);
}
} // namespace
