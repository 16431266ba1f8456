#include "jobs/Intake.h"

#include "jobs/Charset.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

TEST(Charset, OnlyValidUtf8IsTranscodedAndBothDirectionsAgree)
{
    // No Windows-1252 form (one "?" a character): a CJK character, an emoji, U+0080, U+D7FF, U+10FFFF.
    EXPECT_EQ(DecodeFileText("Caf\xC3\xA9 \xE6\x9D\xB1\xF0\x9F\x8E\xB8 \xC2\x80\xED\x9F\xBF\xF4\x8F\xBF\xBF"),
              "Caf\xE9 ?? ???");
    EXPECT_EQ(DecodeFileText("\xEF\xBB\xBF"), ""); // the byte-order mark is dropped
    // One bad byte, overlong forms, a surrogate, past U+10FFFF, cut short: all of it is Windows-1252.
    for (const std::string_view bytes : {"Caf\xC3\xA9 \xE9t\xE9"sv,
                                         "\xC1\xBF"sv,
                                         "\xE0\x9F\xBF"sv,
                                         "\xF0\x8F\xBF\xBF"sv,
                                         "\xED\xA0\x80"sv,
                                         "\xF4\x90\x80\x80"sv,
                                         "\xF5\x80\x80\x80"sv,
                                         "ok \xC3"sv,
                                         "\xE2\x82\x41"sv}) {
        EXPECT_FALSE(IsValidUtf8(bytes)) << ::testing::PrintToString(bytes);
        EXPECT_EQ(DecodeFileText(bytes), bytes);
    }
    // Euro, S caron, right quote, en and em dash, Y diaeresis, no-break space, y diaeresis; the undefined bytes
    // are C1 controls.
    const std::string_view cp1252 = "Caf\xE9\0\x80\x8A\x92\x96\x97\x9F\xA0\xFF\x81\x8D\x8F\x90\x9D"sv;
    const std::string_view utf8 = "Caf\xC3\xA9\0\xE2\x82\xAC\xC5\xA0\xE2\x80\x99\xE2\x80\x93\xE2\x80\x94"
                                  "\xC5\xB8\xC2\xA0\xC3\xBF"
                                  "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"sv;
    EXPECT_EQ(Cp1252ToUtf8(cp1252), utf8);
    EXPECT_EQ(Utf8ToCp1252(utf8), cp1252);
    EXPECT_EQ(Utf8ToCp1252("a\xFF_\xE2\x82_\x80\x80_\xC3"), "a?_?_??_?"); // one "?" for each broken piece
}

TEST(Intake, SongFilesInEveryCharacterSet)
{
    const std::string cafe = "{title: Caf\xE9}\r\nUn [C]caf\xE9, s'il vous pla\xEEt\r\n";
    const std::pair<const char*, std::string> files[] = {
        {"cafe-utf8.pro", cafe},
        {"cafe-cp1252.pro", cafe},
        {"noel-bom.pro", "{title: No\xEBl}\r\n[G]No\xEBl, \x93joyeux\x94\r\n"},
        {"tokyo-outside-cp1252.pro", "{title: Tokyo ??}\r\n[Am]\x80 5\r\n"},
    };
    for (const auto& [file, loaded] : files) {
        EXPECT_EQ(LoadTextFile(std::string(TEST_DATA_DIR) + "/jobs/" + file).text, loaded) << file;
    }
    // Missing, a folder, a device: refused with the cause, and /dev/zero is never read to its (missing) end.
    for (const char* path : {TEST_DATA_DIR "/jobs/missing.pro", TEST_DATA_DIR "/jobs", "/dev/zero"}) {
        const TextLoadResult result = LoadTextFile(path);
        EXPECT_TRUE(!result.text && result.error.starts_with("Can't read file "s + path + ": ")) << result.error;
    }
}

TEST(Intake, EveryLineEndsWithCrLfAndTabFilesAreConverted)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"A\nB", "A\r\nB\r\n"},
        {"A\r\n\r\nB\r\n", "A\r\n\r\nB\r\n"},
        {"A\rB\n", "A\rB\r\n"}, // a lone CR stays in its line
        {"A\r", "A\r\r\n"},
        {"A\r\r\nB", "A\r\r\nB\r\n"},
        {"", ""},
    };
    for (const auto& [file, loaded] : cases) {
        EXPECT_EQ(MakeLoadedText("song.pro", file), loaded) << ::testing::PrintToString(file);
    }
    // .tab and .crd files, whatever the case, are converted to ChordPro.
    const std::string_view tab = "{title: Grace}\nG       C\nAmazing grace\n";
    const std::string pro = "{title: Grace}\r\n[G]Amazing [C]grace";
    for (const char* name : {"x.tab", "x.TAB", "x.Crd", "/some/folder/song.crd"}) {
        EXPECT_TRUE(IsTabFileName(name) && MakeLoadedText(name, tab) == pro) << name;
    }
    for (const char* name : {"x.pro", "x.tab.txt", "tab", ".ta", "x.crdx"}) {
        EXPECT_FALSE(IsTabFileName(name)) << name;
        EXPECT_EQ(MakeLoadedText(name, tab), "{title: Grace}\r\nG       C\r\nAmazing grace\r\n") << name;
    }
    // Decoded before the conversion: the accent is one character, so the chord still lands before "grace".
    EXPECT_EQ(MakeLoadedText("x.tab", "G       C\nAm\xC3\xA9zing grace\n"), "[G]Am\xE9zing [C]grace");
    // With the chord-sheet rules any text file is examined, but a chord list stays a chord list.
    const auto sheet = [](std::string_view name, std::string_view bytes) {
        return MakeLoadedText(name, bytes, TextConversion::ChordSheets);
    };
    EXPECT_EQ(sheet("x.txt", "[Chorus]\nG       C\nAmazing grace\n"),
              "{comment: Chorus}\r\n{start_of_chorus}\r\n[G]Amazing [C]grace\r\n{end_of_chorus}\r\n");
    EXPECT_EQ(sheet("c.tab", "C x 3 2 0 1 0\nG 3 2 0 0 0 3\n"), "C x 3 2 0 1 0\r\nG 3 2 0 0 0 3\r\n");
}

TEST(Intake, ChordModeFromTheFirstTwoLinesOfTheFirstText)
{
    const std::string c = "C x 3 2 0 1 0\r\n", g = "G 3 2 0 0 0 3\r\n", song = "{title: A}\r\nla la\r\n";
    EXPECT_TRUE(IsChordModeText(c + g + song) && IsChordModeText("C x 3 2 0 1 0\nD x x 0 2 3 2"));
    for (const std::string& text : {c, c + song, "{title: C}\r\n" + c + g, c + "\r\n" + g, ""s}) {
        EXPECT_FALSE(IsChordModeText(text)) << ::testing::PrintToString(text);
    }

    const std::string corpus = std::string(CORPUS_DIR) + "/chords/guitar-chords-db.txt";
    if (!std::filesystem::exists(corpus)) {
        GTEST_SKIP() << "corpus chord list not found: " << corpus;
    }
    EXPECT_TRUE(IsChordModeText(LoadTextFile(corpus).text.value()));
}

} // namespace
