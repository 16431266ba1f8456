// What the window says before text is lost: the question before Install and Save PDB, and the character count.

#include "tests/ui/DialogFixture.h"

#include <cstring>

namespace {
std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}
} // namespace

TEST_F(DialogTest, InstallAndSavePdbAskBeforeLosingTextAndNoKeepsEverything)
{
    std::string longSong = "{title: Long \xD4\xB1}\n"; // an Armenian letter
    for (int i = 0; i < 90; ++i) {
        longSong += std::string(99, 'a') + '\n';
    }
    Drop({WriteFile("grace.pro", GRACE_FILE), WriteFile("long.pro", longSong)});
    const auto length = [this] { return m_dialog->findChild<QLabel*>(QStringLiteral("IDC_TEXT_LENGTH"))->text(); };
    TitleList()->setCurrentIndex(0);
    EXPECT_EQ(length(), QString::number(std::strlen(GRACE_FILE) - 1) + QStringLiteral(" / 7999"));
    Type(QStringLiteral("\u03A9")); // on a new last line: the character and a line end
    EXPECT_EQ(length(), QString::number(std::strlen(GRACE_FILE) + 1) + QStringLiteral(" / 7999"));

    const std::string save = m_dir.File("songs.pdb");
    m_desktop.answers = {std::nullopt, std::nullopt, "", save}; // No to Install, No to Save PDB, then Yes
    m_dialog->OnInstall();
    const std::vector<std::string> texts = m_dialog->LoadedTexts();
    const std::string state = State();
    // One question names each song by its title with what it loses; No writes nothing and keeps the edit.
    EXPECT_EQ(Count(m_desktop.prompts, "@"), 1u) << m_desktop.prompts;
    EXPECT_EQ(Count(m_desktop.prompts, "yesno@0: "), 1u) << m_desktop.prompts;
    EXPECT_NE(
        m_desktop.prompts.find("Amazing Grace:\n- 1 character the handheld cannot show becomes \"?\": "
                               "\u03A9 (U+03A9)\n\nLong ?:\n- 1 character the handheld cannot show becomes \"?\": "
                               "\u0531 (U+0531)\n- cut at 7999 characters: 1016 characters"),
        std::string::npos)
        << m_desktop.prompts;
    EXPECT_EQ(KeptFile(), "");
    EXPECT_TRUE(Editor()->toPlainText().contains(QStringLiteral("\u03A9")));

    // Away and back, the editor shows "?" where the character was; Save PDB still names it, and No keeps all.
    TitleList()->setCurrentIndex(1);
    TitleList()->setCurrentIndex(0);
    EXPECT_FALSE(Editor()->toPlainText().contains(QStringLiteral("\u03A9")));
    m_dialog->OnSavePdb();
    EXPECT_EQ(Count(m_desktop.prompts, "(U+03A9)"), 2u) << m_desktop.prompts;
    EXPECT_EQ(Count(m_desktop.prompts, "save@"), 0u) << m_desktop.prompts;
    EXPECT_EQ(m_dialog->LoadedTexts(), texts);
    EXPECT_EQ(State(), state);

    // Yes goes on to the save dialog and writes the songs as they are.
    m_dialog->OnSavePdb();
    EXPECT_EQ(Count(m_desktop.prompts, "yesno@0: "), 3u) << m_desktop.prompts;
    EXPECT_TRUE(ReadFileBytes(save).has_value());
    EXPECT_TRUE(m_dialog->LoadedTexts().empty());
}

TEST_F(DialogTest, RemovingTheReplacedCharacterEndsItsWarningAndChordsHaveNoCount)
{
    Drop({WriteFile("omega.pro", "{title: \xCE\xA9mega}\nla\n")});
    Type(QStringLiteral("Omega"), QTextCursor::EndOfBlock); // over the first line, "{title: ?mega}"
    m_desktop.answers = {};
    m_dialog->OnInstall(); // nothing is lost, so nothing is asked
    EXPECT_NE(KeptFile(), "");
    EXPECT_EQ(m_desktop.prompts.find("yesno"), std::string::npos) << m_desktop.prompts;

    Drop({WriteFile("chords.txt", CHORDS_FILE)});
    EXPECT_EQ(m_dialog->findChild<QLabel*>(QStringLiteral("IDC_TEXT_LENGTH"))->text(), QString());
}
