#include "jobs/Intake.h"

#include "jobs/Charset.h"
#include "jobs/InputFile.h"
#include "jobs/Messages.h"
#include "jobs/TuneloreDatabase.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDatabase.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#if defined(__unix__)
#include <unistd.h>
#endif

namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

TEST(Charset, OnlyValidUtf8IsTranscodedAndBothDirectionsAgree)
{
    // No Windows-1252 form (one "?" a character): a CJK character, an emoji, U+0080, U+D7FF, U+10FFFF.
    EXPECT_EQ(DecodeFileText("Caf\xC3\xA9 \xE6\x9D\xB1\xF0\x9F\x8E\xB8 \xC2\x80\xED\x9F\xBF\xF4\x8F\xBF\xBF").text,
              "Caf\xE9 ?? ???");
    EXPECT_EQ(DecodeFileText("\xEF\xBB\xBF").text, ""); // the byte-order mark is dropped
    // One bad byte, overlong forms, a surrogate, past U+10FFFF, cut short: all of it is Windows-1252.
    const std::string_view invalid[][5] = {
        {"Caf\xC3\xA9 \xE9t\xE9"sv, "\xC1\xBF"sv, "\xE0\x9F\xBF"sv, "\xF0\x8F\xBF\xBF"sv, "\xED\xA0\x80"sv},
        {"\xF4\x90\x80\x80"sv, "\xF5\x80\x80\x80"sv, "ok \xC3"sv, "\xE2\x82\x41"sv, "\x80"sv}};
    for (const auto& row : invalid) {
        for (const std::string_view bytes : row) {
            EXPECT_FALSE(IsValidUtf8(bytes)) << ::testing::PrintToString(bytes);
            EXPECT_EQ(DecodeFileText(bytes).text, bytes);
        }
    }
    // Euro, S caron, right quote, en and em dash, Y diaeresis, no-break space, y diaeresis; undefined: C1 controls.
    const std::string_view cp1252 = "Caf\xE9\0\x80\x8A\x92\x96\x97\x9F\xA0\xFF\x81\x8D\x8F\x90\x9D"sv;
    const std::string_view utf8 = "Caf\xC3\xA9\0\xE2\x82\xAC\xC5\xA0\xE2\x80\x99\xE2\x80\x93\xE2\x80\x94"
                                  "\xC5\xB8\xC2\xA0\xC3\xBF"
                                  "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"sv;
    EXPECT_EQ(Cp1252ToUtf8(cp1252), utf8);
    EXPECT_EQ(Utf8ToCp1252(utf8), cp1252);
    EXPECT_EQ(Utf8ToCp1252("a\xFF_\xE2\x82_\x80\x80_\xC3"), "a?_?_??_?"); // one "?" for each broken piece
    // Every byte comes back from UTF-8 as it was.
    std::string bytes;
    for (int byte = 0; byte < 256; ++byte)
        bytes += static_cast<char>(byte);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(bytes)), bytes);
}

TEST(Charset, WideTextsAreDecodedByTheirMarkAndBrokenUtf8IsNamedByLine)
{
    // Bytes, the text they give, the line of a broken UTF-8 byte (0: none), the characters that became "?".
    const std::tuple<std::string, std::string, std::size_t, std::size_t> cases[] = {
        {"Caf\xC3\xA9\n\xE9t\xE9", "Caf\xC3\xA9\n\xE9t\xE9", 2, 0}, // UTF-8 with a broken byte: read byte for byte
        {"\xC3\xA9t\xC3\xA9\nx\r\nCr\xE8me\xC3\xA9", "\xC3\xA9t\xC3\xA9\nx\r\nCr\xE8me\xC3\xA9", 3, 0},
        {"a\rb\r\xC3\xA9\rbad \xE9\r", "a\rb\r\xC3\xA9\rbad \xE9\r", 4, 0},         // CR line ends only
        {"Cr\xE8me br\xFBl\xE9\x65", "Cr\xE8me br\xFBl\xE9\x65", 0, 0},             // Windows-1252 alone says nothing
        {"\xFF\xFE\0\0C\0\0\0\xE9\0\0\0\xB8\xF3\x01\0\n\0\0\0"s, "C\xE9?\n", 0, 1}, // UTF-32 little endian
        {"\0\0\xFE\xFF\0\0\0A\0\0\x20\xAC\0\x11\0\0\0\0\xD8\0\0\0"s, "A\x80???", 0, 3}, // big endian
        {"\0\0\xFE\xFF"s, "", 0, 0},                                                    // the mark alone: an empty text
        {"\xFF\xFE\x61\0\0\0\x62\0"s, "a\0b"s, 0, 0}, // U+0000 in UTF-16 stays a NUL, for the loss report
        // Without a mark: the zero high bytes of most characters tell the encoding.
        {"C\0\xE9\0\x3D\xD8\x1E\xDD\n\0"s, "C\xE9?\n", 0, 1},           // UTF-16 little endian, a pair
        {"\0A\x20\xAC\0\n\0\xE9\x04\x14"s, "A\x80\n\xE9?", 0, 1},       // big endian, a Cyrillic letter
        {"A\0\0\0\n\0\0\0\xA9\x03\0\0"s, "A\n?", 0, 1},                 // UTF-32 little endian
        {"\0\0\0A\0\x01\xF3\xB8\0\0\0\xE9\0\0\0\t"s, "A?\xE9\t", 0, 1}, // big endian
        // Bytes that are no such text stay as they are: a stray NUL, a control character, half the characters
        // outside Latin-1, a lone surrogate, odd length, a NUL character, a Palm database name.
        {"Hello\0World\n"s, "Hello\0World\n"s, 0, 0},
        {"\xAF\0\0\0"s, "\xAF\0\0\0"s, 0, 0}, // no blank or line end, as every song has
        {"A\0\x01\0B\0"s, "A\0\x01\0B\0"s, 0, 0},
        {"A\0\x10\x04"s, "A\0\x10\x04"s, 0, 0},
        {"A\0\x3D\xD8\0\xE0\n\0"s, "A\0\x3D\xD8\0\xE0\n\0"s, 0, 0},
        {"A\0B\0C"s, "A\0B\0C"s, 0, 0},
        {"A\0\0\0B\0"s, "A\0\0\0B\0"s, 0, 0},
        {"Songs\0\0\0"s, "Songs\0\0\0"s, 0, 0},
    };
    for (const auto& [bytes, text, line, replaced] : cases) {
        const DecodedText decoded = DecodeFileText(bytes);
        EXPECT_EQ(std::tuple(decoded.text, decoded.invalidUtf8Line, decoded.replaced.Total()),
                  std::tuple(text, line, replaced))
            << ::testing::PrintToString(bytes);
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
    for (const auto& [file, loaded] : cases)
        EXPECT_EQ(MakeLoadedText("song.pro", file).text, loaded) << ::testing::PrintToString(file);
    // .tab and .crd files, whatever the case, are converted to ChordPro.
    const std::string_view tab = "{title: Grace}\nG       C\nAmazing grace\n";
    const std::string pro = "{title: Grace}\r\n[G]Amazing [C]grace";
    for (const char* name : {"x.tab", "x.TAB", "x.Crd", "/some/folder/song.crd"})
        EXPECT_TRUE(IsTabFileName(name) && MakeLoadedText(name, tab).text == pro) << name;
    for (const char* name : {"x.pro", "x.tab.txt", "tab", ".ta", "x.crdx"})
        EXPECT_FALSE(IsTabFileName(name) || MakeLoadedText(name, tab).text == pro) << name;
    // Decoded before the conversion: the accent is one character, so the chord still lands before "grace".
    EXPECT_EQ(MakeLoadedText("x.tab", "G       C\nAm\xC3\xA9zing grace\n").text, "[G]Am\xE9zing [C]grace");
    // With the chord-sheet rules any text file is examined, but a chord list stays a chord list.
    EXPECT_EQ(MakeLoadedText("x.txt", "G       C\nAmazing grace\n", TextConversion::ChordSheets).text,
              "{title: x}\r\n[G]Amazing [C]grace\r\n");
    EXPECT_EQ(MakeLoadedText("c.tab", "C x 3 2 0 1 0\nG 3 2 0 0 0 3", TextConversion::ChordSheets).text,
              "C x 3 2 0 1 0\r\nG 3 2 0 0 0 3\r\n");
    // A sheet whose first line names nothing (a header, a label, chords, a row of "=") is titled by its
    // file's name, which the handheld then lists it by; a sheet with a title line or directives keeps its own.
    const std::pair<const char*, const char*> untitled[] = {
        {"Key: C\n[Verse]\nG       C\nAmazing grace\n", "{title: Aura Lee}\r\n{key: C}\r\n"},
        {"| C | G |\n", "{title: Aura Lee}\r\n| [C] | [G] |"},
        {"======\n\nG       C\nAmazing grace\n", "{title: Aura Lee}\r\n======"},
        {"\n\nIntro:\ne|--0--|\n", "{title: Aura Lee}\r\n\r\n"},
        {"Morning Song\nKey: C\n", "{title: Morning Song}"},
        {"{key: C}\nG       C\nAmazing grace\n", "{key: C}"},
    };
    for (const auto& [sheet, start] : untitled) {
        const std::string loaded = MakeLoadedText("/songs/Aura Lee.txt", sheet, TextConversion::ChordSheets).text;
        EXPECT_TRUE(loaded.starts_with(start)) << loaded;
    }
    // Without a name (standard input) there is none to give; the name's braces and controls are left out.
    EXPECT_EQ(MakeLoadedText("-", "| C |\n", TextConversion::ChordSheets).text, "| [C] |\r\n");
    // A name of words joined as web addresses join them is read as the words; a name spelt otherwise stays.
    for (const auto& [name, title] : {std::pair{"he-s_got--the-world", "He S Got The World"}, {"Aura-lee", "Aura-lee"}})
        EXPECT_EQ(MakeLoadedText(std::string("/songs/") + name + ".txt", "| C |\n", TextConversion::ChordSheets).text,
                  std::string("{title: ") + title + "}\r\n| [C] |\r\n");
    EXPECT_EQ(MakeLoadedText("a{b}\x1B\xC3\xA9.tab", "| C |\n", TextConversion::ChordSheets).text,
              "{title: ab\xE9}\r\n| [C] |\r\n");
}

// {new_song} lines split a file into its songs; each song keeps what decoding replaced in it and a broken byte's
// line in the file. Bytes, then each song's text, replaced characters and broken line.
TEST(Intake, SongbookFilesSplitIntoTheirSongs)
{
    using Song = std::tuple<std::string, std::size_t, std::size_t>;
    const std::pair<std::string, std::vector<Song>> cases[] = {
        {"{t:A}\n{new_song}\n{t:B}\nla", {{"{t:A}\r\n", 0, 0}, {"{t:B}\r\nla\r\n", 0, 0}}},
        {"{new_song}\n{t:A}\n {NS}\t\r\n \n{ns}\n{t:B}\n", {{"{t:A}\r\n", 0, 0}, {"{t:B}\r\n", 0, 0}}},
        {"{new_song}\n{t:A}\n{ns}\n\n", {{"{new_song}\r\n{t:A}\r\n{ns}\r\n\r\n", 0, 0}}}, // one song: as it is
        {"{t:A}\n{ns: x}\n{t:B}\n", {{"{t:A}\r\n{ns: x}\r\n{t:B}\r\n", 0, 0}}},
        {"{t:A}\n{new_song: toc=no}\n{t:B}\n{NS toc=no x=\"1\"}\n{t:C}\n", // attributes
         {{"{t:A}\r\n", 0, 0}, {"{t:B}\r\n", 0, 0}, {"{t:C}\r\n", 0, 0}}},
        {"\xEF\xBB\xBF{ns}\n\xCE\xA9\n{ns}\n\xD0\x96\xC3\xA9\xD0\x96\n", {{"?\r\n", 1, 0}, {"?\xE9?\r\n", 2, 0}}},
        {"\xC3\xA9\n{ns}\n\xE9\n", {{"\xC3\xA9\r\n", 0, 0}, {"\xE9\r\n", 0, 3}}}, // broken UTF-8
        {"{ns x=\xE9}\n{t:A}\n\xC3\xA9\n{ns}\n{t:B}\n", {{"{t:A}\r\n\xC3\xA9\r\n", 0, 1}, {"{t:B}\r\n", 0, 0}}},
        // The mark of a file joined in at a song's start is dropped, as at the file's start.
        {"{t:A}\n{ns}\n\xEF\xBB\xBF{t:B}\n\xCE\xA9\n", {{"{t:A}\r\n", 0, 0}, {"{t:B}\r\n?\r\n", 1, 0}}},
        {"\xFF\xFE\x41\0\n\0{\0n\0s\0}\0\n\0\xFF\xFE\x42\0"s, {{"A\r\n", 0, 0}, {"B\r\n", 0, 0}}},
        // Old Mac line ends (CR only, no LF anywhere): songs part at them as well; each keeps its lone CRs.
        {"{t:A}\r{ns}\r{t:B}\r", {{"{t:A}\r\r\n", 0, 0}, {"{t:B}\r\r\n", 0, 0}}},
        {"\xC3\xA9\r{ns}\r\xE9\r", {{"\xC3\xA9\r\r\n", 0, 0}, {"\xE9\r\r\n", 0, 3}}},
        {"\xA9\x03\r\0{\0n\0s\0}\0\r\0B\0"s, {{"?\r\r\n", 1, 0}, {"B\r\n", 0, 0}}},
        {"\xFF\xFE\x41\0\n\0{\0n\0s\0}\0\n\0B\0"s, {{"A\r\n", 0, 0}, {"B\r\n", 0, 0}}},   // UTF-16 with its mark
        {"\xFF\xFE\xA9\x03\n\0{\0n\0s\0}\0\n\0B\0"s, {{"?\r\n", 1, 0}, {"B\r\n", 0, 0}}}, // UTF-16, Omega
        {"\0\0\xFE\xFF\0\0\0A\0\0\0\n\0\0\0{\0\0\0n\0\0\0s\0\0\0}\0\0\0\n\0\x01\xF6\x00\0\0\0\xE9"s,
         {{"A\r\n", 0, 0}, {"?\xE9\r\n", 1, 0}}},             // UTF-32 big endian, an emoji in the second song
        {std::string(4096, 'a') + "\xCE\xA9\n{ns}\nA\0\n\0"s, // UTF-8, NULs in the second song
         {{std::string(4096, 'a') + "?\r\n", 1, 0}, {"A\0\r\n\0\r\n"s, 0, 0}}},
        {"\x03\xA9\0\n\0{\0n\0s\0}\0\n\0B"s, {{"?\r\n", 1, 0}, {"B\r\n", 0, 0}}}, // UTF-16, no mark
    };
    for (const auto& [bytes, songs] : cases) {
        std::vector<Song> got;
        for (const LoadedText& loaded : MakeLoadedTexts("book.pro", bytes))
            got.emplace_back(loaded.text, loaded.replaced.Total(), loaded.invalidUtf8Line);
        EXPECT_EQ(got, songs) << ::testing::PrintToString(bytes);
    }
}

TEST(Intake, ChordModeFromTheFirstTwoLinesOfTheFirstText)
{
    const std::string c = "C x 3 2 0 1 0\r\n", g = "G 3 2 0 0 0 3\r\n", song = "{title: A}\r\nla la\r\n";
    EXPECT_TRUE(IsChordModeText(c + g + song) && IsChordModeText("C x 3 2 0 1 0\nD x x 0 2 3 2"));
    for (const std::string& text : {c, c + song, "{title: C}\r\n" + c + g, c + "\r\n" + g, ""s})
        EXPECT_FALSE(IsChordModeText(text)) << ::testing::PrintToString(text);
}

TEST(InputFiles, EachFileIsTakenForWhatItHolds)
{
    TempDir dir;
    WriteTestDatabase(dir.File("memo.pdb"), MakeFourCC("memo"), MakeFourCC("DATA"), {"note\n\0"s});
    WriteTestDatabase(dir.File("hand.pdb"), TUNELORE_CREATOR, SONG_DB_TYPE, {"S\n\0"s});
    std::filesystem::copy_file(dir.File("hand.pdb"), dir.File("hand.bin")); // extracted only when named .pdb
    std::filesystem::copy_file(TEST_DATA_DIR "/jobs/noel-bom.pro", dir.File("noel-bom.pro"));
    WriteTestDatabase(dir.File("mine.bin"), TUNELORE_CREATOR, SONG_IMPORT_TYPE, {"A\n\nB\n\0"s, "\0"s});
    WriteFileBytes(dir.File("huge.txt"), "");
    std::filesystem::resize_file(dir.File("huge.txt"), MAX_TEXT_FILE_SIZE + 1);
    std::filesystem::create_directory(dir.File("folder"));
    // A UTF-32 big-endian text long enough to fill a database header: its mark is no database name.
    std::string be32 = "\0\0\xFE\xFF"s;
    for (int i = 0; i < 20; ++i)
        be32 += "\0\0\0a"s;
    // Name, bytes to write (none for the files above and those that are there), kind, texts.
    const std::tuple<std::string, std::string, InputKind, std::vector<std::string>> cases[] = {
        {"song.pro", "A\nB", InputKind::Texts, {"A\r\nB\r\n"}},
        {"empty.pro", "", InputKind::Texts, {""}},
        {"blank.pro", " \n\t\r\n"s, InputKind::Texts, {" \r\n\t\r\n"}},
        {"blank-mark.pro", "\xEF\xBB\xBF"s, InputKind::Texts, {""}},
        {"le.txt", "\xFF\xFE\x43\0\xE9\0\x34\xD8\x1E\xDD\n\0\x3D\xD8"s, InputKind::Texts, {"C\xE9?\r\n?\r\n"}},
        {"be.txt", "\xFE\xFF\0A\x20\xAC\0\n\0"s, InputKind::Texts, {"A\x80\r\n?\r\n"}},
        {"be32.txt", be32, InputKind::Texts, {std::string(20, 'a') + "\r\n"}},
        {"nul-bytes.txt", "la\0la"s, InputKind::NotText, {}},
        {"le16.txt", "{\0t\0:\0A\0}\0\n\0\xE9\0"s, InputKind::Texts, {"{t:A}\r\n\xE9\r\n"}}, // no mark
        {"stray-nul.txt", "Hello\0World\n"s, InputKind::NotText, {}},
        {"image.png", "\x89PNG\r\n\x1A\n\0\0\0\rIHDR"s, InputKind::NotText, {}},
        {"late.txt", std::string(4096, 'a') + "\0"s, InputKind::Texts, {std::string(4096, 'a') + "\0\r\n"s}},
        {"memo.pdb", "", InputKind::NotText, {}},
        {"hand.pdb", "", InputKind::SongDatabase, {}},
        {"hand.bin", "", InputKind::NotText, {}},
        {"mine.bin", "", InputKind::ImportDatabase, {"A\r\n\r\nB\r\n", ""}},
        {"huge.txt", "", InputKind::Unreadable, {}},
        {"missing.pro", "", InputKind::Unreadable, {}},
        {"folder", "", InputKind::Folder, {}},        // read as its song files by its callers
        {"/dev/zero", "", InputKind::Unreadable, {}}, // never read to its (missing) end
        {"noel-bom.pro", "", InputKind::Texts, {"{title: No\xEBl}\r\n[G]No\xEBl, \x93joyeux\x94\r\n"}},
    };
    for (const auto& [name, bytes, kind, texts] : cases) {
        if (!bytes.empty() || name == "empty.pro")
            WriteFileBytes(dir.File(name), bytes);
        const InputFile input = ReadInputFile(dir.File(name));
        std::vector<std::string> loaded;
        for (const LoadedText& text : input.texts) {
            loaded.push_back(text.text);
            // None of these is UTF-8 with a broken byte, so none may be reported as one.
            EXPECT_EQ(text.invalidUtf8Line, 0u) << name;
        }
        EXPECT_EQ(std::tuple(input.kind, loaded, input.emptyFile, input.blankFile),
                  std::tuple(kind, texts, name == "empty.pro", name.starts_with("blank")))
            << name;
        // What could not be read says so with the cause.
        EXPECT_EQ(input.error.starts_with("Can't read file " + dir.File(name) + ": "),
                  kind == InputKind::Unreadable || kind == InputKind::Folder)
            << input.error;
    }
    // A text with NUL bytes in it is told by them (offset from 0, line from 1); other bytes are only named.
    WriteFileBytes(dir.File("nuls.txt"), "la\nl\0a\0\n"s);
    WriteFileBytes(dir.File("half.txt"), "l\0a\0"s);
    for (const auto& [name, cause] :
         {std::pair<std::string, std::string>{"nul-bytes.txt", ": it holds a NUL byte at byte 2 (line 1)"},
          {"nuls.txt", ": it holds 2 NUL bytes, the first at byte 4 (line 2)"},
          {"image.png", ""},
          {"half.txt", ""},
          {"hand.bin", ""}})
        EXPECT_EQ(ReadInputFile(dir.File(name)).error, dir.File(name) + " is not a song or text file" + cause);

    // A folder's song files in name order, letter case aside: no hidden file, other ending or folder.
    TempDir songs;
    for (const char* name : {"B.pro", "a.Cho", "c.TXT", ".h.pro", ".pro", "n.pdf", "tab", "d.chopro.bak"})
        WriteFileBytes(songs.File(name), "la");
    std::filesystem::create_directory(songs.File("sub.pro"));
    const std::filesystem::path& folder = songs.Path();
    EXPECT_EQ(*SongFilesInFolder(folder), (std::vector{folder / "a.Cho", folder / "B.pro", folder / "c.TXT"}));
    EXPECT_FALSE(SongFilesInFolder(songs.File("B.pro")));

    // A folder without song files, and one that cannot be listed, each say so in their own words.
    const auto empty = SongFilesInFolder(songs.File("sub.pro"));
    EXPECT_EQ(!empty ? empty.error().text : "", messages::NoSongFilesInFolder(songs.File("sub.pro")));
#if defined(__unix__)
    std::filesystem::permissions(songs.Path(),
                                 std::filesystem::perms::group_exec | std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    std::filesystem::permissions(songs.File("sub.pro"), std::filesystem::perms::none);
    // Listed by a user the folder is closed to: root lists any folder.
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && setresuid(65534, 65534, 65534) != 0)
                std::_Exit(2);
            const auto locked = SongFilesInFolder(songs.File("sub.pro"));
            const std::string text = !locked ? locked.error().text : "";
            std::_Exit(text == messages::CantReadFolder(songs.File("sub.pro"), "Permission denied") ? 0 : 1);
        },
        ::testing::ExitedWithCode(0),
        "");
    std::filesystem::permissions(songs.File("sub.pro"), std::filesystem::perms::owner_all);
#endif
}

} // namespace
