#include "jobs/SongList.h"

#include "jobs/Messages.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace {
const char* const GRACE = "{title: Amazing Grace}\r\n[G]Amazing grace\r\n";
const char* const FAIR = "{t:Scarborough Fair}\r\n{st:Traditional}\r\n[Am]Are you going\r\n";
const char* const VALLEY = "down in the valley\r\n";
const char* const CHORDS = "C x 3 2 0 1 0\r\nG 3 2 0 0 0 3\r\n";

CSongList ListOf(const std::vector<const char*>& texts, TitleOrder order = {})
{
    CSongList list(std::move(order));
    for (const char* text : texts)
        list.Append({text, {}});
    list.Refresh();
    return list;
}

// The labels in list order, the shown one in brackets.
std::string Labels(const CSongList& list)
{
    std::string labels;
    for (std::size_t i = 0; i < list.Entries().size(); ++i) {
        const std::string& label = list.Entries()[i].label;
        labels += (labels.empty() ? "" : "|") + (static_cast<int>(i) == list.Current() ? "[" + label + "]" : label);
    }
    return labels;
}
} // namespace

TEST(SongListTest, ModeOrderAndTheShownTextFollowTheTexts)
{
    // The texts, their labels in list order (the shown one in brackets), chord mode.
    const std::tuple<std::vector<const char*>, std::string, bool> cases[] = {
        {{}, "", false},
        // Sorted with letters folded to one case; the last loaded text is shown wherever it sorted to.
        {{GRACE, FAIR, VALLEY}, "Amazing Grace|[down in the valley]|Scarborough Fair - Traditional", false},
        {{"{t:Same}\r\n1\r\n", "{t:Same}\r\n2\r\n", "{t:Other}\r\n"}, "[Other]|Same|Same", false},
        // Only the first text decides: a chord list first is listed alone.
        {{CHORDS, GRACE}, "[Chords]", true},
        {{GRACE, CHORDS}, "Amazing Grace|[C x 3 2 0 1 0]", false},
        {{"C x 3 2 0 1 0\r\n"}, "[C x 3 2 0 1 0]", false},
        // The handheld's characters keep its order, Œ (8C) before É (C9), though their code points have it reversed.
        {{"{t:\xC9lan}\r\n", "{t:\x8Cuvre}\r\n", "{t:zed}\r\n"}, "[zed]|\u0152uvre|\u00C9lan", false},
    };
    for (const auto& [texts, labels, chordMode] : cases) {
        const CSongList list = ListOf(texts);
        EXPECT_EQ(std::pair(Labels(list), list.ChordMode()), std::pair(labels, chordMode));
    }
    // Equal names keep their loading order, each leading to its own text.
    const CSongList same = ListOf({"{t:Same}\r\n1\r\n", "{t:Same}\r\n2\r\n"});
    EXPECT_EQ(same.Entries(), (std::vector<CSongList::Entry>{{"Same", 0}, {"Same", 1}}));
    // The desktop's collation orders the list when one is given.
    const CSongList reversed =
        ListOf({GRACE, FAIR, VALLEY}, [](std::string_view a, std::string_view b) { return b.compare(a); });
    EXPECT_EQ(Labels(reversed), "[down in the valley]|Scarborough Fair - Traditional|Amazing Grace");
}

TEST(SongListTest, EditsRenameInPlaceAndCommitToTheShownText)
{
    CSongList list = ListOf({GRACE, FAIR, VALLEY});
    list.Select(0);
    EXPECT_FALSE(list.Rename(GRACE));
    EXPECT_TRUE(list.Rename("{t:Zebra}\r\n"));
    EXPECT_EQ(Labels(list), "[Zebra]|down in the valley|Scarborough Fair - Traditional"); // not sorted again
    list.Commit("{t:Zebra}\r\n");
    list.Select(2);
    EXPECT_EQ(list.Shown()->text, FAIR);
    EXPECT_EQ(list.TextStrings(), (std::vector<std::string>{"{t:Zebra}\r\n", FAIR, VALLEY}));
    list.Refresh();
    EXPECT_EQ(Labels(list), "[down in the valley]|Scarborough Fair - Traditional|Zebra");
    // Out of range selects nothing new.
    list.Select(3);
    EXPECT_EQ(list.Current(), 0);
}

TEST(SongListTest, TypedCharactersGoToTheSongFileAndCountWhileTheirQuestionMarksStay)
{
    CSongList list;
    list.Append({"{t:?mega}\r\n", ReplacedCharacters{{{U'\u03A9', 1}}}});
    list.Refresh();
    // Typing another, and a sharp sign: the handheld gets "?" and "#", the song file what was typed. The editor
    // shows it again as typed, so storing it again counts it once: the loaded one and the typed one.
    const std::string typed = "{t:?mega}\r\n\u03A9\u266F\r\n";
    for (int i = 0; i < 2; ++i) {
        list.Select(0);
        list.Commit(typed);
    }
    EXPECT_EQ(std::tuple(list.Texts()[0].text, list.Texts()[0].replaced, SongFileText(list.Texts()[0])),
              std::tuple("{t:?mega}\r\n?#\r\n"s, ReplacedCharacters{{{U'\u03A9', 2}}}, typed));
    // Without a "?" left, the loaded one no longer counts; a typed one still does.
    list.Commit("{t:Omega}\r\n\u03A9\r\n");
    EXPECT_EQ(list.Texts()[0].replaced, (ReplacedCharacters{{{U'\u03A9', 1}}}));
    // Edited back to what the handheld can show: nothing typed is kept.
    list.Commit("{t:Omega}\r\n");
    EXPECT_EQ(list.Texts()[0], (LoadedText{"{t:Omega}\r\n", {}}));
}

TEST(SongListTest, ATypedTitleIsListedSortedAndNamesTheSongFileAsTyped)
{
    const std::string hello = "\u041F\u0440\u0438\u0432\u0435\u0442", typed = "{t:" + hello + "}\r\n";
    CSongList list = ListOf({GRACE, VALLEY});
    list.Select(0);
    EXPECT_TRUE(list.Rename(typed) && list.Entries()[0].label == hello);
    list.Commit(typed);
    list.Refresh(); // after every letter the handheld has, not as "??????" before them
    EXPECT_EQ(Labels(list), "[down in the valley]|" + hello);
    // Text, as typed; label, file name: limits count characters (a stray byte too); file names stay under 241 bytes.
    std::string notes; // 39 characters of 4 bytes
    while (notes.size() < 39 * 4)
        notes += "\U0001F3B5";
    const std::string ab = "ab" + notes.substr(0, 37 * 4) + " - ", stray = std::string(50, '\x80');
    const std::tuple<LoadedText, std::string, std::string> cases[] = {
        {{"{t:Caf\xE9?}\r\n", {}}, "Caf\u00E9?", "Caf\u00E9_"},
        {{"{t:AC/DC ?}\r\n", {}, 0, "{t:AC/DC \u2192}\r\n"}, "AC/DC \u2192", "AC_DC \u2192"},
        {{"", {}, 0, "{t:" + stray}, stray.substr(11), stray.substr(11)},
        {{"", {}, 0, "{t:ab" + notes + "}{st:" + notes + "}"}, ab + notes.substr(0, 116), ab + notes.substr(0, 84)},
    };
    for (const auto& [text, label, file] : cases)
        EXPECT_EQ(std::pair(SongDisplayName(text), SongFileName(text)), std::pair(label, file));
}

TEST(SongListTest, RemovedSongsComeBackInPlaceUntilTheListIsCleared)
{
    CSongList list = ListOf({GRACE, FAIR, VALLEY});
    list.Select(1); // down in the valley, with a character typed that the handheld cannot show
    list.Commit(VALLEY + "\u2192"s);
    const LoadedText edited = *list.Shown();
    ASSERT_TRUE(list.RemoveShown());
    EXPECT_EQ(Labels(list), "Amazing Grace|[Scarborough Fair - Traditional]");
    ASSERT_TRUE(list.RemoveShown());
    EXPECT_EQ(Labels(list), "[Amazing Grace]");
    ASSERT_TRUE(list.UndoRemove());
    EXPECT_EQ(Labels(list), "Amazing Grace|[Scarborough Fair - Traditional]");
    ASSERT_TRUE(list.UndoRemove());
    EXPECT_EQ(list.Texts(), (std::vector<LoadedText>{{GRACE, {}}, {FAIR, {}}, edited}));
    EXPECT_EQ(Labels(list), "Amazing Grace|[down in the valley]|Scarborough Fair - Traditional");
    EXPECT_FALSE(list.UndoRemove());

    for (int i = 0; i < 3; ++i)
        list.RemoveShown();
    EXPECT_TRUE(list.Empty() && list.Shown() == nullptr && !list.RemoveShown());
    list.Append({VALLEY, {}});
    list.Clear();
    EXPECT_FALSE(list.CanUndoRemove() || list.UndoRemove());
}

TEST(SongListTest, LossesNameEmptySongsAmongTheOthersInOrder)
{
    CSongList list = ListOf({" \r\n\r\n", GRACE, "{t:Long}\r\n", "", "\t\r\n"});
    ASSERT_EQ(list.Entries()[4].text, 2u);
    list.Select(4); // "Long", text 2, sorts last
    list.Commit("{t:Long}\r\n" + std::string(8100, 'a'));
    std::vector<std::pair<std::size_t, LossKind>> found;
    for (const TextLossReport& report : list.Losses()) {
        for (const Loss& loss : report.losses)
            found.emplace_back(report.text, loss.kind);
    }
    const std::vector<std::pair<std::size_t, LossKind>> expected = {
        {0, LossKind::EmptySong}, {2, LossKind::TextCut}, {3, LossKind::EmptySong}, {4, LossKind::EmptySong}};
    EXPECT_EQ(found, expected);
    EXPECT_NE(messages::LossDescription(Loss{LossKind::EmptySong, 0, 0, {}, {}}).find("no text"), std::string::npos);
    // A chord list's export is the first text alone, read as chord definitions: nothing else is reported.
    const std::vector<TextLossReport> chords = ListOf({"C x 3 2 0 1 0\r\nD 0 0 0 0 2 3 2\r\n", "", "la\r\n"}).Losses();
    EXPECT_EQ(std::tuple(chords.size(), chords.at(0).text, chords.at(0).losses.at(0).kind),
              std::tuple(1u, 0u, LossKind::ChordValuesDropped));
}
