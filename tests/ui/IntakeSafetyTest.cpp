// Dropped files that are no songs, the importer's own databases loaded again, and song files the user edited.

#include "jobs/TuneloreDatabase.h"
#include "tests/support/TestDatabase.h"
#include "tests/ui/DialogFixture.h"

#include <chrono>
#include <filesystem>

static std::vector<std::string> Records(const std::string& path)
{
    std::vector<std::string> records;
    const DatabaseFile file = ReadDatabaseFile(path);
    for (const CPdbRecord& record : file.database.value().Records()) {
        records.emplace_back(record.Data().begin(), record.Data().end());
    }
    return records;
}

TEST_F(DialogTest, FilesThatAreNoSongsAreNamedInOneMessageAndNoDatabaseIsLost)
{
    const std::string memo = m_dir.File("memo.pdb"), chords = m_dir.File("hand.pdb");
    WriteTestDatabase(memo, MakeFourCC("memo"), MakeFourCC("DATA"), {"x\0"s});
    WriteTestDatabase(chords, TUNELORE_CREATOR, CHORD_DB_TYPE, {"\0\3\2\0\1\0\0\0C\0"s});
    const std::string before = ReadFileBytes(chords).value();
    m_desktop.answers = {chords}; // the chords' text file would be the database itself
    Drop({WriteFile("bin.txt", "ab\0c"s),
          QString::fromStdString(memo),
          WriteFile("grace.pro", GRACE_FILE),
          QString::fromStdString(chords)});
    EXPECT_EQ(m_dialog->LoadedTexts().size(), 1u);
    EXPECT_EQ(ReadFileBytes(chords), before);
    const std::string prompts = m_desktop.prompts;
    EXPECT_NE(prompts.find("message@1: " + chords + " is the same file as the input " + chords), std::string::npos);
    EXPECT_TRUE(
        prompts.ends_with("message@1: bin.txt is not a song or text file\nmemo.pdb is not a song or text file\n"))
        << prompts;
}

TEST_F(DialogTest, SavedImportDatabasesLoadForEditingAndSaveTheSameRecords)
{
    // Songs with and without a last line end, empty, cut at 7,999 characters; a chord list.
    const QStringList songs = {WriteFile("a.pro", "{t:A}\n\nla"),
                               WriteFile("b.txt", ""),
                               WriteFile("c.pro", std::string(9000, 'x') + "\ny\n"),
                               WriteFile("d.pro", FAIR_FILE)};
    for (const QStringList& files : {songs, QStringList{WriteFile("chords.txt", CHORDS_FILE)}}) {
        const std::string first = m_dir.File("first.pdb"), second = m_dir.File("second.pdb");
        Drop(files);
        const std::string state = State();
        if (files.size() > 1) {
            m_desktop.answers.push_back(""); // Yes to the question about the song cut at 7,999 characters
        }
        m_desktop.answers.insert(m_desktop.answers.end(), {first, second});
        m_dialog->OnSavePdb();
        Drop({QString::fromStdString(first)});
        EXPECT_EQ(State(), state);
        m_dialog->OnSavePdb();
        EXPECT_EQ(Records(second), Records(first));
    }
}

TEST_F(DialogTest, EditedSongFilesAreReplacedOnlyWhenTheUserSaysSo)
{
    const std::string database = m_dir.File("songs.pdb"), folder = m_dir.File("out") + "/";
    WriteTestDatabase(database, TUNELORE_CREATOR, SONG_DB_TYPE, {"{t:Alpha}\n\0"s, "{t:Beta}\n\0"s, "{t:Gamma}\0"s});
    const std::tuple<std::optional<std::string>, std::string, std::vector<std::string>> cases[] = {
        {"keep", "edited", {"Alpha (2).pro", "Alpha (3).pro", "Alpha.pro", "Beta.pro", "Gamma.pro"}},
        {"replace", "{t:Alpha}\r\n", {"Alpha (2).pro", "Alpha.pro", "Beta.pro", "Gamma.pro"}},
        {std::nullopt, "edited", {"Alpha (2).pro", "Alpha.pro", "Beta.pro"}}, // Cancel writes nothing more
    };
    for (const auto& [answer, alpha, files] : cases) {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory(folder);
        WriteFileBytes(folder + "Alpha.pro", "edited");
        WriteFileBytes(folder + "Alpha (2).pro", "taken");   // not free for keeping both
        WriteFileBytes(folder + "Beta.pro", "{t:Beta}\r\n"); // the song itself: left alone, nobody asked
        const auto earlier = std::filesystem::last_write_time(folder + "Beta.pro") - std::chrono::hours(1);
        std::filesystem::last_write_time(folder + "Beta.pro", earlier);
        m_desktop.answers.insert(m_desktop.answers.end(), {folder, answer});
        m_desktop.prompts.clear();
        Drop({QString::fromStdString(database)});
        EXPECT_EQ(FolderEntries(folder), files);
        EXPECT_EQ(ReadFileBytes(folder + "Alpha.pro"), alpha);
        EXPECT_EQ(std::filesystem::last_write_time(folder + "Beta.pro"), earlier);
        const std::size_t asked = m_desktop.prompts.find("\nreplace@1: " + folder + "Alpha.pro ");
        EXPECT_TRUE(asked != std::string::npos && m_desktop.prompts.find("replace@", asked + 2) == std::string::npos)
            << m_desktop.prompts;
    }
}
