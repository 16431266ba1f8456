// Dropped files: texts appended in order, tab files converted, databases extracted to the user's target.

#include "tests/support/TestDatabase.h"
#include "tests/ui/DialogFixture.h"

#include <QMimeData>
#include <QUrl>

#include <filesystem>

// Sends a drag of the files onto `target`, then the drop; true when the drag was accepted.
static bool DropOn(QWidget* target, const QStringList& paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls.append(QUrl::fromLocalFile(path));
    }
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    return enter.isAccepted() && QApplication::sendEvent(target, &drop);
}

TEST_F(DialogTest, OneDropOfEveryKindIsTakenInOrder)
{
    const std::string folder = m_dir.File("extracted");
    const std::string chordText = m_dir.File("chords-out.txt");
    m_desktop.answers = {folder, chordText, std::nullopt, std::nullopt};          // the second targets are cancelled
    std::filesystem::create_directories(m_dir.Path() / "extracted" / "Beta.pro"); // a song that cannot be written
    const QString songs = WriteFile("songs.pdb", ""), chords = WriteFile("chords.pdb", "");
    WriteTestDatabase(
        songs.toStdString(), TUNELORE_CREATOR, SONG_DB_TYPE, {"{t:Alpha}\n\0"s, "{t:Beta}\0"s, "{t:Gamma}\0"s});
    WriteTestDatabase(chords.toStdString(), TUNELORE_CREATOR, CHORD_DB_TYPE, {"\0\3\2\0\1\0\0\0C\0"s}); // frets, name
    ASSERT_TRUE(DropOn(m_dialog.get(),
                       {songs,
                        WriteFile("grace.pro", GRACE_FILE),
                        chords,
                        WriteFile("tune.TAB", "G          C\nAmazing grace\n"),
                        songs,
                        chords,
                        QString::fromStdString(m_dir.File("absent.pro")),
                        WriteFile("defs.txt", CHORDS_FILE)}));

    // Prompts and messages in the order of the paths, all under the wait cursor; none for a missing file.
    const std::string pickFolder = "folder@1: Directory To Extract Songs To\n";
    const std::string pickFile = "save@1: Text Files (*.txt)|*.txt|All Files (*.*)|*.*|| (txt)\n";
    EXPECT_EQ(m_desktop.prompts,
              pickFolder + "message@1: Songs extracted to " + folder +
                  ".\n2 songs written.\nThese songs could not be written:\nBeta\n" + pickFile +
                  "message@1: Chords extracted to " + chordText + ".\n" + pickFolder + pickFile);
    EXPECT_EQ(m_desktop.waitDepth, 0);
    EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"Alpha.pro", "Beta.pro", "Gamma.pro"}));
    EXPECT_NE(ReadFileBytes(chordText).value_or("").find("C 0 3 2 0 1 0"), std::string::npos);

    // The three texts, in drop order; the tab file (any letter case) converted to ChordPro.
    ASSERT_EQ(m_dialog->LoadedTexts().size(), 3u);
    EXPECT_EQ(Text(0), "{title: Amazing Grace}\r\n[G]Amazing grace, how [C]sweet the sound\r\n");
    EXPECT_NE(Text(1).find("[G]"), std::string::npos) << Text(1);
    EXPECT_EQ(Text(2), "C x 3 2 0 1 0\r\nG 3 2 0 0 0 3\r\nD x x 0 2 3 2\r\n");
    EXPECT_EQ(State().substr(0, 33), "LEIS *&Install Songs... | 3 Songs");

    // Files dropped on the editor are loaded too, not pasted as text.
    ASSERT_TRUE(DropOn(Editor()->viewport(), {WriteFile("fair.pro", FAIR_FILE)}));
    EXPECT_EQ(m_dialog->LoadedTexts().size(), 4u);
    EXPECT_EQ(Editor()->toPlainText(), QStringLiteral("{t:Scarborough Fair}\n{st:Traditional}\n[Am]Are you going\n"));
}
