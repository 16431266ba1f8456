// Save PDB, Save Song As, Save All Songs, Quit: what is written and remembered, the question before text is lost.

#include "jobs/TuneloreDatabase.h"
#include "tests/ui/DialogFixture.h"

TEST_F(DialogTest, SavePdbDiscardsTheTextsOnlyOnceWrittenAndTheFileLoadsThemAgain)
{
    LoadThreeSongs();
    const std::vector<std::string> loaded = m_dialog->LoadedTexts();
    const std::string before = State(), missing = m_dir.File("missing/songs.pdb"), saved = m_temp.File("songs.pdb");
    m_desktop.answers = {std::nullopt, missing, saved}; // Cancel, a folder that does not exist, then a good one
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(std::pair(m_dialog->LoadedTexts(), State()), std::pair(loaded, before));
        m_dialog->OnSavePdb();
        if (i == 0) { // the first save dialog starts in the documents folder, with the database's name
            EXPECT_EQ(m_desktop.dialogFolder, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
            EXPECT_NE(m_desktop.prompts.find("(pdb, TuneloreDB"), std::string::npos) << m_desktop.prompts;
        }
    }
    EXPECT_EQ(std::pair(m_dialog->LoadedTexts().size(), State()), std::pair(0ul, "---- *&Install... |  |"s));
    // The save dialog each time, starting where the last one ended, and one message naming the file not written.
    EXPECT_EQ(m_desktop.kinds, "save save message save message");
    // The last message and the note say where the songs are.
    EXPECT_EQ(Note(), "The songs were saved in " + saved + ".");
    EXPECT_TRUE(m_desktop.prompts.ends_with("message@0: " + Note() + "\n")) << m_desktop.prompts;
    EXPECT_EQ(m_desktop.dialogFolder.toStdString(), m_dir.File("missing"));
    EXPECT_NE(m_desktop.prompts.find("message@0: Can't write file " + missing), std::string::npos) << m_desktop.prompts;
    // The file holds the songs: as an import database it gives the same texts back for editing.
    Drop({QString::fromStdString(saved)});
    EXPECT_EQ(std::pair(m_dialog->LoadedTexts(), State()), std::pair(loaded, before));
}

TEST_F(DialogTest, QuitAsksOnlyWhileTextsAreLoadedAndTheWindowKeepsItsSize)
{
    m_dialog->show();
    m_dialog->resize(640, 480);
    LoadThreeSongs();
    m_desktop.answers = {std::nullopt, ""}; // Cancel, then OK
    QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    EXPECT_TRUE(m_dialog->isVisible());
    Button("IDCANCEL")->click();
    EXPECT_FALSE(m_dialog->isVisible());
    CImporterDlg next(m_desktop);
    EXPECT_EQ(next.size(), QSize(640, 480));
    next.show();
    // A window opened while another stands there goes beside it, not over it.
    CImporterDlg third(m_desktop);
    const QPoint apart = third.pos() - next.pos();
    EXPECT_TRUE(apart.x() >= 32 && apart.y() >= 32) << apart.x() << "," << apart.y();
    next.close();
    EXPECT_EQ(m_desktop.kinds, "okcancel okcancel"); // not asked for the empty window
}

TEST_F(DialogTest, TheChordSheetChoiceConvertsTextFilesTheEditorsFixedPitchFontGoesOffAndTheNextWindowKeepsBoth)
{
    const std::string sheet = "[Chorus]\nG       C\nAmazing grace\n";
    Drop({WriteFile("a.txt", sheet)});
    EXPECT_EQ(Text(0), "[Chorus]\r\nG       C\r\nAmazing grace\r\n"); // as it was
    m_dialog->OnChordSheetMode(true);
    EXPECT_EQ(Editor()->font().family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    EXPECT_EQ(Menu(QStringLiteral("Fi&xed-Pitch Font")), "on");
    EXPECT_EQ(Editor()->font(), m_dialog->font());
    CImporterDlg next(m_desktop);
    EXPECT_EQ(std::pair(next.Conversion(), next.FixedPitchFont()), std::pair(TextConversion::ChordSheets, false));
    next.OnDropFiles({WriteFile("b.txt", sheet)});
    EXPECT_NE(next.LoadedTexts().at(0).find("[G]Amazing [C]grace"), std::string::npos) << next.LoadedTexts().at(0);
    next.OnFixedPitchFont(true);
    EXPECT_TRUE(CImporterDlg(m_desktop).FixedPitchFont());
}

TEST_F(DialogTest, InstallAndSavePdbAskBeforeLosingTextNoKeepsEverythingAndAnEditCanEndTheLoss)
{
    DropFiles({{"grace.pro", GRACE_FILE}, {"long.pro", "{title: Long \xD4\xB1}\n" + std::string(9000, 'a')}});
    const QLabel* length = m_dialog->findChild<QLabel*>(QStringLiteral("IDC_TEXT_LENGTH"));
    // The long song: where the cut falls, on a line of its own in the narrow column, whole, the note below it.
    const auto fits = [&] {
        const QRect needed = length->fontMetrics().boundingRect(QRect(0, 0, 10000, 10000), 0, length->text());
        const QWidget* note = m_dialog->findChild<QWidget*>(QStringLiteral("IDC_NOTE"));
        return needed.width() <= length->width() && needed.height() <= length->height() &&
               note->y() >= length->y() + length->height();
    };
    EXPECT_EQ(length->text(), QStringLiteral("9016 / 7999\ncut at line 2"));
    EXPECT_TRUE(fits());
    TitleList()->setCurrentIndex(0);
    EXPECT_EQ(length->text(), QStringLiteral("63 / 7999")); // the last line end is not kept
    EXPECT_TRUE(fits());
    Type(QStringLiteral("{t:\u03A9}")); // on a new last line: the title and a line end
    EXPECT_EQ(length->text(), QStringLiteral("69 / 7999"));

    m_desktop.answers = {std::nullopt, std::nullopt, "", m_dir.File("songs.pdb")}; // No, No, then Yes
    m_dialog->OnInstall();
    const std::vector<std::string> texts = m_dialog->LoadedTexts();
    const std::string state = State();
    // One question names each song by its title as listed with what it loses; No writes nothing, keeps the edit.
    EXPECT_EQ(m_desktop.kinds, "yesno");
    EXPECT_NE(m_desktop.prompts.find("\n\n\u03A9:\n- 1 character the handheld cannot show becomes \"?\": "
                                     "\u03A9 (U+03A9)\n\nLong ?:\n- 1 character the handheld cannot show becomes "
                                     "\"?\": \u0531 (U+0531)\n- cut at 7999 characters: 1017 characters"),
              std::string::npos)
        << m_desktop.prompts;
    EXPECT_EQ(KeptFile(), "");
    EXPECT_TRUE(Editor()->toPlainText().contains(QStringLiteral("\u03A9")));

    // Away and back, the editor shows the character as typed; Save PDB names it once still, and No keeps all.
    TitleList()->setCurrentIndex(1);
    TitleList()->setCurrentIndex(0);
    EXPECT_TRUE(Editor()->toPlainText().endsWith(QStringLiteral("\n{t:\u03A9}")));
    m_dialog->OnSavePdb();
    EXPECT_EQ(m_desktop.kinds, "yesno yesno");
    const std::string once = "\u03A9:\n- 1 character the handheld cannot show becomes \"?\": \u03A9";
    EXPECT_NE(m_desktop.prompts.substr(m_desktop.prompts.rfind("yesno@")).find(once), std::string::npos);
    EXPECT_EQ(std::pair(m_dialog->LoadedTexts(), State()), std::pair(texts, state));

    // Yes goes on to the save dialog and writes the songs as they are.
    m_dialog->OnSavePdb();
    EXPECT_EQ(m_desktop.kinds, "yesno yesno yesno save message");
    EXPECT_TRUE(ReadFileBytes(m_dir.File("songs.pdb")) && m_dialog->LoadedTexts().empty());

    // Typing over the character the handheld cannot show ends the question: nothing is lost, nothing asked.
    Drop({WriteFile("omega.pro", "{title: \xCE\xA9mega}\nla\n")});
    Type(QStringLiteral("Omega"), QTextCursor::EndOfBlock); // over the first line, "{title: ?mega}"
    m_dialog->OnInstall();
    EXPECT_NE(KeptFile(), "");
    EXPECT_EQ(m_desktop.kinds, "yesno yesno yesno save message message");
    EXPECT_NE(m_desktop.prompts.find("message@0: The song was saved in "), std::string::npos) << m_desktop.prompts;
    Drop({WriteFile("chords.txt", CHORDS_FILE)}); // a chord list has no character count
    EXPECT_EQ(length->text(), QString());
}

TEST_F(DialogTest, SaveSongAsWritesTheEditedSongWholeInUtf8AndKeepsItLoaded)
{
    Drop({WriteFile("long.pro", "{t:Caf\xC3\xA9}\n" + std::string(8100, 'a') + "\n")});
    Type(QStringLiteral("\u00e9nd \u2192{st:\u2192}")); // an arrow the handheld cannot show stays, names the file too
    EXPECT_EQ(TitleList()->currentText(), QStringLiteral("Caf\u00e9 - \u2192"));
    const std::string file = m_dir.File("song.pro");
    m_desktop.answers = {file, std::nullopt};
    EXPECT_EQ(Menu(QStringLiteral("Save Song &As...")), "off");
    EXPECT_EQ(ReadFileBytes(file),
              "{t:Caf\xC3\xA9}\r\n" + std::string(8100, 'a') + "\r\n\xC3\xA9nd \xE2\x86\x92{st:\xE2\x86\x92}");
    EXPECT_NE(m_desktop.prompts.find("(pro, Caf\u00e9 - \u2192.pro)"), std::string::npos) << m_desktop.prompts;
    Menu(QStringLiteral("Save Song &As...")); // cancelled: nothing else happens
    EXPECT_EQ(std::pair(m_desktop.kinds, m_dialog->LoadedTexts().size()), std::pair("save save"s, 1ul));
}

TEST_F(DialogTest, SaveAllSongsWritesOneFileEachWithoutWritingOverAny)
{
    DropFiles({{"a.pro", "{t:Same}\nfirst\n"}, {"b.pro", "{t:same}\nsecond\n"}, {"g.pro", GRACE_FILE}});
    const std::string folder = m_dir.File("songs");
    std::filesystem::create_directory(folder);
    WriteFileBytes(folder + "/Same.pro", "mine");
    WriteFileBytes(folder + "/\u2192A.pro", "mine");
    // Typed into a song then left, characters the handheld cannot show name its file, numbered past "\u2192A".
    Type(QStringLiteral("\u2192\u266F{t:\u2192a}"));
    TitleList()->setCurrentIndex(1);
    m_desktop.answers = {folder};
    EXPECT_EQ(Menu(QStringLiteral("Save All &Songs To...")), "off");
    EXPECT_EQ(FolderEntries(folder),
              (std::vector<std::string>{"Same (2).pro", "Same.pro", "same (3).pro", "\u2192A.pro", "\u2192a (2).pro"}));
    EXPECT_EQ(ReadFileBytes(folder + "/Same.pro"), "mine");
    EXPECT_EQ(ReadFileBytes(folder + "/same (3).pro"), "{t:same}\r\nsecond\r\n");
    EXPECT_TRUE(ReadFileBytes(folder + "/\u2192a (2).pro").value_or("").ends_with("\r\n\u2192\u266F{t:\u2192a}"));
    EXPECT_EQ(m_desktop.prompts.substr(m_desktop.prompts.find("message@0: ")),
              "message@0: 3 songs saved in " + folder + ".\n");
    EXPECT_EQ(m_dialog->LoadedTexts().size(), 3u);
}

TEST_F(DialogTest, AnEditKeepsTheKindOfDatabaseTheWindowShows)
{
    // Chord definitions pasted above a song leave songs songs; a heading pasted above chords is named as left out.
    const std::tuple<const char*, const char*, std::uint32_t, std::size_t, const char*> cases[] = {
        {GRACE_FILE, "Am x 0 2 2 1 0\nE 0 2 2 1 0 0\n", SONG_IMPORT_TYPE, 2, "taken as a song, not a chord list"},
        {CHORDS_FILE, "My chords\n", CHORD_IMPORT_TYPE, 3, "(\"My chords\")"},
    };
    for (const auto& [first, typed, type, records, asked] : cases) {
        m_dialog = NewWindow();
        Drop({WriteFile("first.pro", first), WriteFile("fair.pro", FAIR_FILE)});
        TitleList()->setCurrentIndex(0); // the first loaded text
        QTextCursor top = Editor()->textCursor();
        top.movePosition(QTextCursor::Start);
        top.insertText(QString::fromLatin1(typed)); // as a paste would
        const std::string saved = m_temp.File(std::to_string(type) + ".pdb");
        m_desktop.answers.insert(m_desktop.answers.end(), {"", saved}); // Yes, then the file
        m_desktop.prompts.clear();
        m_dialog->OnSavePdb();
        EXPECT_NE(m_desktop.prompts.find(asked), std::string::npos) << m_desktop.prompts;
        const DatabaseFile file = ReadDatabaseFile(saved);
        ASSERT_TRUE(file.database) << m_desktop.prompts;
        EXPECT_EQ(std::pair(file.database->m_type, file.database->Records().size()), std::pair(type, records));
    }
}
