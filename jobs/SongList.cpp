#include "jobs/SongList.h"

#include "jobs/Charset.h"
#include "jobs/FileNames.h"
#include "jobs/Intake.h"
#include "text/Ascii.h"
#include "text/SongTitle.h"

#include <algorithm>

namespace {
// The bytes of the UTF-8 character at `at`: its lead byte and the continuation bytes after it (at most three).
std::string_view CharacterAt(std::string_view text, std::size_t at)
{
    std::size_t end = at + 1;
    while (end < text.size() && end - at < 4 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        ++end;
    }
    return text.substr(at, end - at);
}

// One character's place in the order without a collation: a character Windows-1252 has by its byte there (ASCII
// letters folded), so that the handheld's own titles sort as they always did; any other after all of those, by
// its UTF-8 bytes, which sort as its code point.
std::u32string SortKey(std::string_view name)
{
    std::u32string key;
    for (std::size_t at = 0; at < name.size();) {
        const std::string_view character = CharacterAt(name, at);
        at += character.size();
        const std::string byte = Utf8ToCp1252(character);
        if (byte.size() == 1 && Cp1252ToUtf8(byte) == character) {
            key += static_cast<char32_t>(static_cast<unsigned char>(AsciiLower(byte[0])));
            continue;
        }
        for (const char c : character) {
            key += static_cast<char32_t>(0x100 + static_cast<unsigned char>(c));
        }
    }
    return key;
}

int CompareFolded(std::string_view a, std::string_view b)
{
    const std::u32string x = SortKey(a);
    const std::u32string y = SortKey(b);
    return x.compare(y) < 0 ? -1 : (x == y ? 0 : 1);
}

// Nothing but blanks and line ends: the handheld would get a song without a line of text.
bool HasNoText(std::string_view text)
{
    return std::all_of(
        text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

// The characters of `all` less those of `part`.
ReplacedCharacters Without(ReplacedCharacters all, const ReplacedCharacters& part)
{
    for (const auto& [character, count] : part.counts) {
        const auto found = all.counts.find(character);
        if (found != all.counts.end() && found->second > count) {
            found->second -= count;
        } else if (found != all.counts.end()) {
            all.counts.erase(found);
        }
    }
    return all;
}
} // namespace

std::string SongFileText(const LoadedText& text)
{
    return text.typed.empty() ? Cp1252ToUtf8(text.text) : text.typed;
}

std::string SongDisplayName(const LoadedText& text)
{
    return text.typed.empty() ? Cp1252ToUtf8(GetSongDisplayName(text.text)) : GetSongDisplayNameUtf8(text.typed);
}

std::string SongFileName(const LoadedText& text)
{
    std::string name = SongDisplayName(text);
    if (name.size() > SONG_FILE_NAME_MAX) {
        std::size_t end = SONG_FILE_NAME_MAX;
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) {
            --end; // back to the lead byte of the character that would be cut
        }
        name.resize(end);
    }
    return SafeSongFileName(name);
}

CSongList::CSongList(TitleOrder order)
    : m_order(order ? std::move(order) : TitleOrder(CompareFolded))
{}

void CSongList::Append(LoadedText text)
{
    m_texts.push_back(std::move(text));
}

std::vector<std::string> CSongList::TextStrings() const
{
    std::vector<std::string> texts;
    texts.reserve(m_texts.size());
    for (const LoadedText& text : m_texts) {
        texts.push_back(text.text);
    }
    return texts;
}

void CSongList::Refresh()
{
    m_entries.clear();
    m_current = -1;
    m_shownReplaced = {};
    if (m_texts.empty()) {
        return;
    }
    m_chordMode = IsChordModeText(m_texts.front().text);
    if (m_chordMode) {
        m_entries.push_back({std::string(CHORD_LIST_LABEL), 0});
        SelectText(0);
        return;
    }
    for (std::size_t i = 0; i < m_texts.size(); ++i) {
        m_entries.push_back({SongDisplayName(m_texts[i]), i});
    }
    // Equal names keep their loading order.
    std::stable_sort(m_entries.begin(), m_entries.end(), [this](const Entry& a, const Entry& b) {
        return m_order(a.label, b.label) < 0;
    });
    SelectText(m_texts.size() - 1);
}

void CSongList::Clear()
{
    m_texts.clear();
    m_removed.clear();
    Refresh();
}

const LoadedText* CSongList::Shown() const
{
    if (m_current < 0 || static_cast<std::size_t>(m_current) >= m_entries.size()) {
        return nullptr;
    }
    return &m_texts[m_entries[static_cast<std::size_t>(m_current)].text];
}

void CSongList::Select(int position)
{
    if (position < 0 || static_cast<std::size_t>(position) >= m_entries.size()) {
        return;
    }
    m_current = position;
    // The editor shows the characters typed as they are, so only those replaced on loading stand as "?".
    ReplacedCharacters typed;
    Utf8ToCp1252(Shown()->typed, typed);
    m_shownReplaced = Without(Shown()->replaced, typed);
}

void CSongList::SelectText(std::size_t text)
{
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].text == text) {
            Select(static_cast<int>(i));
            return;
        }
    }
}

bool CSongList::Rename(std::string_view editorText)
{
    if (Shown() == nullptr) {
        return false;
    }
    std::string name = GetSongDisplayNameUtf8(editorText);
    std::string& label = m_entries[static_cast<std::size_t>(m_current)].label;
    if (label == name) {
        return false;
    }
    label = std::move(name);
    return true;
}

void CSongList::Commit(std::string_view editorText)
{
    if (Shown() == nullptr) {
        return;
    }
    LoadedText& shown = m_texts[m_entries[static_cast<std::size_t>(m_current)].text];
    ReplacedCharacters replaced;
    std::string text = Utf8ToCp1252(editorText, replaced);
    // The "?" of characters replaced on loading are in the text like any other; when the user has removed
    // every "?", none of them is left.
    if (editorText.find('?') != std::string_view::npos) {
        replaced.Merge(m_shownReplaced);
    }
    shown.typed = Cp1252ToUtf8(text) == editorText ? std::string() : std::string(editorText);
    shown.text = std::move(text);
    shown.replaced = std::move(replaced);
}

bool CSongList::RemoveShown()
{
    if (Shown() == nullptr) {
        return false;
    }
    const int position = m_current;
    const std::size_t index = m_entries[static_cast<std::size_t>(position)].text;
    m_removed.push_back({index, std::move(m_texts[index])});
    m_texts.erase(m_texts.begin() + static_cast<std::ptrdiff_t>(index));
    Refresh();
    Select(std::min(position, static_cast<int>(m_entries.size()) - 1));
    return true;
}

bool CSongList::UndoRemove()
{
    if (m_removed.empty()) {
        return false;
    }
    Removed last = std::move(m_removed.back());
    m_removed.pop_back();
    const std::size_t index = std::min(last.index, m_texts.size());
    m_texts.insert(m_texts.begin() + static_cast<std::ptrdiff_t>(index), std::move(last.text));
    Refresh();
    SelectText(index);
    return true;
}

std::vector<TextLossReport> CSongList::Losses() const
{
    std::vector<TextLossReport> reports = ExportLosses(m_texts, m_chordMode);
    if (m_texts.empty() || m_chordMode) {
        return reports;
    }
    for (std::size_t i = 0; i < m_texts.size(); ++i) {
        if (!HasNoText(m_texts[i].text)) {
            continue;
        }
        const auto place = std::lower_bound(
            reports.begin(), reports.end(), i, [](const TextLossReport& r, std::size_t text) { return r.text < text; });
        reports.insert(place, TextLossReport{i, {Loss{LossKind::EmptySong, 0, 0, {}, {}}}});
    }
    return reports;
}
