// Dropped files: texts appended in order, files that are no songs named, databases extracted, and the note.

#include "jobs/TuneloreDatabase.h"
#include "tests/support/TestDatabase.h"
#include "tests/ui/DialogFixture.h"

#include <QMimeData>
#include <QUrl>

#include <chrono>
#include <filesystem>

// Sends a drag of the files onto `target`, then the drop; true when the drag was accepted.
static bool DropOn(QWidget* target, const QStringList& paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    return enter.isAccepted() && QApplication::sendEvent(target, &drop);
}

TEST_F(DialogTest, OneDropOfEveryKindIsTakenInOrder)
{
    const std::string folder = m_dir.File("extracted"), chordText = m_dir.File("chords-out.txt");
    const QString songs = WriteFile("songs.pdb", ""), chords = WriteFile("chords.pdb", ""),
                  memo = WriteFile("m.pdb", "");
    WriteTestDatabase(
        songs.toStdString(), TUNELORE_CREATOR, SONG_DB_TYPE, {"{t:Alpha}\n\0"s, "{t:Beta}\0"s, "{t:Gamma}\0"s});
    WriteTestDatabase(chords.toStdString(), TUNELORE_CREATOR, CHORD_DB_TYPE, {"\0\3\2\0\1\0\0\0C\0"s}); // frets, name
    WriteTestDatabase(memo.toStdString(), MakeFourCC("memo"), MakeFourCC("DATA"), {"x\0"s});
    const std::optional<std::string> chordsBefore = ReadFileBytes(chords.toStdString());
    // The second songs' target is cancelled, and the second chords' target is their database itself.
    m_desktop.answers = {folder, chordText, std::nullopt, chords.toStdString()};
    std::filesystem::create_directories(m_dir.Path() / "extracted" / "Beta.pro"); // a song that cannot be written
    QStringList paths; // every kind, the databases twice, a binary file, a tab file in capitals, a missing file
    paths << songs << WriteFile("grace.pro", GRACE_FILE) << chords << WriteFile("bin.txt", "ab\0c"s)
          << WriteFile("tune.TAB", "G          C\nAmazing grace\n") << songs << chords << memo
          << QString::fromStdString(m_dir.File("absent.pro")) << WriteFile("defs.txt", CHORDS_FILE);
    ASSERT_TRUE(DropOn(m_dialog.get(), paths));

    // Prompts and messages in path order under the wait cursor, the last naming each file not read, one a line;
    // the songs' message names the folder, counts and the song not written; the chords' their file or the refusal.
    EXPECT_EQ(m_desktop.kinds, "folder message save message folder save message message");
    // The second folder picker starts where the first one ended.
    EXPECT_EQ(m_desktop.folderStarts, (std::vector<std::string>{"", folder}));
    const std::string prompts = m_desktop.prompts, last = prompts.substr(prompts.rfind("message@1: "));
    EXPECT_EQ(prompts.find("@0"), std::string::npos) << prompts;
    for (const std::string& part :
         {folder + ".\n2 ", ":\nBeta\nsave@"s, chordText + ".\nfolder@", "message@1: " + chords.toStdString()}) {
        EXPECT_NE(prompts.find(part), std::string::npos) << part << "\n" << prompts;
    }
    // A text with a stray NUL is named with where the NUL is.
    const std::string bin = "message@1: bin.txt is not a song or text file: it holds a NUL byte at byte 2 (line 1)\n";
    EXPECT_TRUE(last.starts_with(bin) && last.find("\nm.pdb ") != std::string::npos &&
                last.find("\nCan't read file " + m_dir.File("absent.pro")) != std::string::npos)
        << prompts;
    EXPECT_EQ(ReadFileBytes(chords.toStdString()), chordsBefore);
    EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"Alpha.pro", "Beta.pro", "Gamma.pro"}));
    EXPECT_NE(ReadFileBytes(chordText).value_or("").find("C 0 3 2 0 1 0"), std::string::npos);

    // The three texts, in drop order; the tab file (any letter case) converted to ChordPro.
    ASSERT_EQ(m_dialog->LoadedTexts().size(), 3u);
    EXPECT_EQ(Text(0), "{title: Amazing Grace}\r\n[G]Amazing grace, how [C]sweet the sound\r\n");
    EXPECT_NE(Text(1).find("[G]"), std::string::npos) << Text(1);
    EXPECT_EQ(Text(2), "C x 3 2 0 1 0\r\nG 3 2 0 0 0 3\r\nD x x 0 2 3 2\r\n");

    // Files dropped on the editor are loaded too, not pasted as text.
    ASSERT_TRUE(DropOn(Editor()->viewport(), {WriteFile("fair.pro", FAIR_FILE)}));
    EXPECT_EQ(Editor()->toPlainText(), LoadedTextToEditor(Text(3)));

    // A dropped folder gives its song files in name order; one without any is named in the message.
    std::filesystem::create_directories(m_dir.Path() / "book" / "empty");
    WriteFile("book/b.pro", VALLEY_FILE);
    const QString book = QString::fromStdString(m_dir.File("book")), empty = book + QStringLiteral("/empty");
    Drop({book, WriteFile("book/A.cho", FAIR_FILE), empty});
    EXPECT_EQ(std::tuple(Text(4), Text(5), Text(6)),
              std::tuple(Text(3), "down in the valley\r\n[G]valley so low\r\n"s, Text(3)));
    EXPECT_TRUE(m_desktop.prompts.ends_with(
        "message@1: " + empty.toStdString() +
        " is a folder without song files (names ending in .pro, .chordpro, .cho, .chopro, .tab, .crd or .txt)\n"))
        << m_desktop.prompts;
}

TEST_F(DialogTest, TheExtractionMessageSaysWhatHappenedToEachSong)
{
    const std::string database = m_dir.File("songs.pdb"), folder = m_dir.File("out") + "/";
    WriteTestDatabase(database, TUNELORE_CREATOR, SONG_DB_TYPE, {"{t:Alpha}\n\0"s, "{t:Beta}\n\0"s, "{t:Gamma}\n\0"s});
    const struct
    {
        std::vector<std::optional<std::string>> answers; // to the questions about Alpha.pro, then Beta.pro
        const char* message;                             // after "Songs extracted to <folder>."
        std::vector<std::string> files;
    } cases[] = {
        {{"replace", std::nullopt},
         "1 song written.\n1 file replaced.\nStopped at Cancel after 1 of 3 songs; the rest were not written.",
         {"Alpha.pro", "Beta.pro", "Gamma.pro"}},
        {{"replace all"},
         "2 songs written.\n1 song already there, left as it was.\n2 files replaced.",
         {"Alpha.pro", "Beta.pro", "Gamma.pro"}},
        {{"keep all"},
         "2 songs written.\n1 song already there, left as it was.\n2 songs kept under a numbered name, beside files "
         "with another text.",
         {"Alpha (2).pro", "Alpha.pro", "Beta (2).pro", "Beta.pro", "Gamma.pro"}},
        {{"keep", "replace"},
         "2 songs written.\n1 song already there, left as it was.\n1 file replaced.\n1 song kept under a numbered "
         "name, beside a file with another text.",
         {"Alpha (2).pro", "Alpha.pro", "Beta.pro", "Gamma.pro"}},
        {{std::nullopt},
         "0 songs written.\nStopped at Cancel after 0 of 3 songs; the rest were not written.",
         {"Alpha.pro", "Beta.pro", "Gamma.pro"}},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory(folder);
        WriteFileBytes(folder + "Alpha.pro", "edited");
        WriteFileBytes(folder + "Beta.pro", "edited too");
        WriteFileBytes(folder + "Gamma.pro", "{t:Gamma}\r\n"); // the song itself: left alone, nobody asked
        const auto earlier = std::filesystem::last_write_time(folder + "Gamma.pro") - std::chrono::hours(1);
        std::filesystem::last_write_time(folder + "Gamma.pro", earlier);
        m_desktop.answers.push_back(folder);
        m_desktop.answers.insert(m_desktop.answers.end(), c.answers.begin(), c.answers.end());
        m_dialog = NewWindow();
        m_desktop.prompts.clear();
        Drop({QString::fromStdString(database)});
        const std::string message = m_desktop.prompts.substr(m_desktop.prompts.find("message@1: "));
        EXPECT_EQ(message, "message@1: Songs extracted to " + folder + ".\n" + c.message + "\n");
        EXPECT_EQ(FolderEntries(folder), c.files);
        EXPECT_EQ(std::filesystem::last_write_time(folder + "Gamma.pro"), earlier);
        EXPECT_NE(m_desktop.prompts.find("replace@1: " + folder + "Alpha.pro "), std::string::npos);
        EXPECT_EQ(ReadFileBytes(folder + "Alpha.pro"),
                  c.answers[0].value_or("").starts_with("replace") ? "{t:Alpha}\r\n"s : "edited"s);
    }
}

TEST_F(DialogTest, TheNoteSaysWhatALoadChangedOrLeftOut)
{
    const std::pair<std::vector<std::pair<std::string, std::string>>, std::string> cases[] = {
        {{{"g.pro", GRACE_FILE}, {"c.txt", CHORDS_FILE}},
         "c.txt is a chord list, loaded as a song: a chord list is exported as chords only when it is loaded first."},
        {{{"c.txt", CHORDS_FILE}, {"g.pro", GRACE_FILE + "{ns}\n{t:Two}\n"s}}, // a songbook file, named once
         "g.pro is left out of the export: only the chord list loaded first is."},
        {{{"c.txt", CHORDS_FILE}, {"g.pro", GRACE_FILE}, {"v.txt", VALLEY_FILE}},
         "2 files are left out of the export: only the chord list loaded first is."},
        {{{"book.cho", CHORDS_FILE + "{ns}\n"s + GRACE_FILE + "{ns}\n{t:Two}\n"}, {"g.pro", GRACE_FILE}},
         "book.cho: the songs after its chord list are left out of the export: only the chord list is.\n"
         "g.pro is left out of the export: only the chord list loaded first is."},
        {{{"greek.pro", "{t:\xCE\xA9\xCE\xB1}\n"}, {"g.pro", GRACE_FILE}},
         "greek.pro: 2 characters the handheld cannot show became \"?\"."},
        {{{"g.pro", GRACE_FILE}}, ""},
    };
    for (const auto& [files, expected] : cases) {
        m_dialog->ClearLoadedSongs();
        DropFiles(files);
        EXPECT_EQ(Note(), expected);
    }
    // Removing the song before a chord list makes the list a chord list: the song after it is said to be left out.
    m_dialog->ClearLoadedSongs();
    DropFiles({{"g.pro", GRACE_FILE}, {"c.txt", CHORDS_FILE}, {"v.txt", VALLEY_FILE}});
    TitleList()->setCurrentIndex(0);
    ASSERT_EQ(TitleList()->currentText(), QStringLiteral("Amazing Grace"));
    Menu(QStringLiteral("&Remove Song"));
    EXPECT_EQ(Note(), "The first text is now a chord list, which is exported alone: the other text is left out.");
    Menu(QStringLiteral("&Undo Remove"));
    EXPECT_EQ(Note(), "") << "songs again: no note";
    m_dialog->OnChordSheetMode(true);
    EXPECT_TRUE(Note().starts_with("Chord sheets are converted in files loaded from now on")) << Note();
}
