#pragma once

// The loaded songs as the window lists them, without the window: the texts in loading order, whether they are
// songs or one chord list, the entries of the title list in title order, the entry the editor shows, storing
// an edit back, removing songs (undoable until the next export), and what an export would lose.

#include "jobs/LoadedText.h"
#include "jobs/LossReport.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The label of the one entry in chord mode.
inline constexpr std::string_view CHORD_LIST_LABEL = "Chords";

// A loaded text as a song file holds it and the editor shows it: UTF-8, as typed when it was edited.
std::string SongFileText(const LoadedText& text);

// The display name the window lists a loaded text under and names its song file after, in UTF-8: taken from the
// text as typed when there is one (GetSongDisplayNameUtf8), else from the handheld's text.
std::string SongDisplayName(const LoadedText& text);
// The name of the song file Save Song As suggests and Save All Songs To writes, without ".pro": the display name
// with the characters file systems forbid replaced (SafeSongFileName), in UTF-8, and cut between two characters
// to at most SONG_FILE_NAME_MAX bytes, so that it stays a valid file name with a number and ".pro" after it.
std::string SongFileName(const LoadedText& text);
inline constexpr std::size_t SONG_FILE_NAME_MAX = 240;

// Negative, zero or positive as display name `a` sorts before, with or after `b` (UTF-8). The window gives the
// desktop's collation; without one, the characters Windows-1252 has compare by their byte there, with ASCII
// letters folded to one case, and sort before all others, which compare by code point.
using TitleOrder = std::function<int(std::string_view a, std::string_view b)>;

class CSongList
{
public:
    struct Entry
    {
        std::string label; // the display name (SongDisplayName), or CHORD_LIST_LABEL
        std::size_t text;  // index of its loaded text

        bool operator==(const Entry&) const = default;
    };

    explicit CSongList(TitleOrder order = {});

    // Appends a loaded text; Refresh shows it.
    void Append(LoadedText text);
    // Rebuilds the entries from the texts alone. The first text decides the mode: a chord list gives one
    // entry for it alone; otherwise every text is listed under its display name, sorted (equal names in
    // loading order), and the last loaded text is shown.
    void Refresh();
    // Empties the list after an export; what was removed can no longer come back.
    void Clear();

    bool Empty() const { return m_texts.empty(); }
    std::size_t Count() const { return m_texts.size(); }
    // The mode decided by the last Refresh: an edit of the first text does not change it, so what is exported
    // is what the list shows.
    bool ChordMode() const { return m_chordMode; }
    const std::vector<LoadedText>& Texts() const { return m_texts; }
    // The texts alone.
    std::vector<std::string> TextStrings() const;
    const std::vector<Entry>& Entries() const { return m_entries; }

    // The list position of the entry the editor shows; -1 for none.
    int Current() const { return m_current; }
    // The loaded text the editor shows; null for none.
    const LoadedText* Shown() const;
    // Shows the entry at `position` (nothing for a position outside the list). Store the edit first.
    void Select(int position);
    // The editor's text changed to `editorText` (UTF-8): the shown entry's label follows the title typed at the
    // same position (sorted again only by the next Refresh). True when the label changed.
    bool Rename(std::string_view editorText);
    // Stores the editor's changed text `editorText` (UTF-8, CR LF line ends) back into the text it shows: the
    // handheld's text, with "?" for each character it cannot show (counted), and the text as typed when the two
    // differ. The "?" the text had when it was loaded stay counted while a "?" is left in it.
    void Commit(std::string_view editorText);

    // Removes the shown text; false when nothing is shown. The entry at the same position is shown next.
    bool RemoveShown();
    // Puts the last removed text back at its place and shows it; false when nothing was removed.
    bool UndoRemove();
    bool CanUndoRemove() const { return !m_removed.empty(); }

    // What the export of the texts in the mode the list shows would lose (ExportLosses), and in song mode each
    // song with no text at all, which the handheld would get as an empty song.
    std::vector<TextLossReport> Losses() const;

private:
    void SelectText(std::size_t text);

    TitleOrder m_order;
    std::vector<LoadedText> m_texts;
    std::vector<Entry> m_entries;
    bool m_chordMode = false;
    int m_current = -1;
    ReplacedCharacters m_shownReplaced; // of the shown text when it was loaded, not typed in the editor
    struct Removed
    {
        std::size_t index;
        LoadedText text;
    };
    std::vector<Removed> m_removed;
};
