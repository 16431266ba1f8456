#include "text/SheetConvert.h"

#include "text/Ascii.h"
#include "text/ChordDefinition.h"
#include "text/Scan.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace {

// Blanks of a sheet: space, tab, and the no-break space (0xA0) that text copied from a web page carries.
constexpr bool IsSheetBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\xA0';
}
// A letter of a lyric: ASCII, or one of the accented letters of Windows-1252 (0xC0 to 0xFF).
constexpr bool IsLyricLetter(char c)
{
    return IsAsciiLetter(c) || static_cast<unsigned char>(c) >= 0xC0;
}

bool AllOf(std::string_view s, bool (*test)(char))
{
    for (const char c : s)
        if (!test(c))
            return false;
    return true;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsSheetBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSheetBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The next word of `line` from `pos` (sheet blanks separate words); `pos` is left after the word.
std::string_view NextWord(std::string_view line, std::size_t& pos)
{
    while (pos < line.size() && IsSheetBlank(line[pos]))
        ++pos;
    const std::size_t start = pos;
    while (pos < line.size() && !IsSheetBlank(line[pos]))
        ++pos;
    return line.substr(start, pos - start);
}

std::string_view WithoutParens(std::string_view w)
{
    if (!w.empty() && w.front() == '(')
        w.remove_prefix(1);
    if (!w.empty() && w.back() == ')')
        w.remove_suffix(1);
    return w;
}

std::string_view WithoutFinalColon(std::string_view w)
{
    if (!w.empty() && w.back() == ':')
        w.remove_suffix(1);
    return w;
}

// A chord name: a root A-H, an optional # or b, then quality and extension pieces (m, maj, min, M, dim, aug,
// sus, add, alt, the degree sign and the slashed o, +, -, digits, # or b before a digit, parentheses), then an optional
// bass note "/F#"; a slash not followed by a note goes on with more pieces ("6/9", "7/add2"). The same letter piece
// twice in a row is refused, so "Hmm" is a word, not a chord.
bool IsChordName(std::string_view w)
{
    if (w.empty() || w[0] < 'A' || w[0] > 'H')
        return false;
    // The degree sign (0xB0) stands for dim, the slashed o (0xF8, 0xD8) for half-diminished: "B\xB0", "C\xF8" "7".
    static constexpr std::string_view pieces[] = {
        "maj", "min", "dim", "aug", "sus", "add", "alt", "m", "M", "\xB0", "\xF8", "\xD8"};
    const auto isNote = [&w](std::size_t i) { return i < w.size() && w[i] >= 'A' && w[i] <= 'H'; };
    const auto isAccidental = [&w](std::size_t i) { return i < w.size() && (w[i] == '#' || w[i] == 'b'); };
    std::size_t i = isAccidental(1) ? 2u : 1u;
    int depth = 0;
    std::string_view previous;
    while (i < w.size()) {
        const char c = w[i];
        if (c == '/') {
            ++i;
            if (isNote(i)) {
                i += isAccidental(i + 1) ? 2u : 1u;
                return i == w.size() && depth == 0;
            }
            if (i == w.size())
                return false;
            previous = {};
            continue;
        }
        if (IsAsciiDigit(c) || c == '+' || c == '-' || c == '(' || c == ')') {
            depth += c == '(' ? 1 : c == ')' ? -1 : 0;
            if (depth < 0)
                return false;
            ++i;
            previous = {};
            continue;
        }
        if (isAccidental(i) && i + 1 < w.size() && IsAsciiDigit(w[i + 1])) {
            i += 2;
            previous = {};
            continue;
        }
        std::string_view piece;
        for (const std::string_view candidate : pieces)
            if (w.substr(i, candidate.size()) == candidate) {
                piece = candidate;
                break;
            }
        if (piece.empty() || piece == previous)
            return false;
        previous = piece;
        i += piece.size();
    }
    return depth == 0;
}

// A chord with an extension this program does not know: a chord name with a digit in it ("A7-9", "A13"),
// then a bass or extension it cannot read that starts with a sign ("/unk", "-x"), as in "A7-9/unk". Only
// short words are tried, so the cost per word stays bounded. A bracket ends a chord mark, so a word with one
// is never a chord: "A7-9/unk[/ch" in brackets would make a markup tag of its own.
bool IsUnusualChord(std::string_view w)
{
    if (w.size() < 3 || w.size() > 16 || IsChordName(w) || w.find_first_of("[]") != std::string_view::npos)
        return false;
    for (std::size_t length = w.size() - 1; length >= 2; --length) {
        const std::string_view name = w.substr(0, length);
        if (!IsChordName(name))
            continue;
        return name.find_first_of("0123456789") != std::string_view::npos &&
               std::string_view("/-+(*").find(w[length]) != std::string_view::npos;
    }
    return false;
}

bool IsNoChord(std::string_view w)
{
    w = WithoutParens(w);
    return EqualsIgnoringAsciiCase(w, "N.C.") || EqualsIgnoringAsciiCase(w, "N.C") ||
           EqualsIgnoringAsciiCase(w, "NC") || EqualsIgnoringAsciiCase(w, "N/C");
}

// What a chord mark may hold: a chord name, in parentheses or not, or "no chord".
bool IsChordWord(std::string_view w)
{
    return IsChordName(w) ||
           (w.size() > 2 && w.front() == '(' && w.back() == ')' && IsChordName(w.substr(1, w.size() - 2))) ||
           IsNoChord(w);
}

// Chords in parentheses written without blanks between them: "(F)(F/C)(D/A)".
bool IsChordGroup(std::string_view w)
{
    if (w.size() < 3 || w.front() != '(' || w.back() != ')')
        return false;
    for (std::size_t start = 0; start < w.size();) {
        const std::size_t close = w.find(')', start);
        if (w[start] != '(' || close == std::string_view::npos || !IsChordName(w.substr(start + 1, close - start - 1)))
            return false;
        start = close + 1;
    }
    return true;
}

// "x2", "2x", "×3", "x12", "repeat", "(repeat", "x2)"...
bool IsRepeatWord(std::string_view w)
{
    w = WithoutParens(w);
    if (EqualsIgnoringAsciiCase(w, "repeat") || EqualsIgnoringAsciiCase(w, "rpt") || EqualsIgnoringAsciiCase(w, "rep"))
        return true;
    const auto isTimes = [](char c) { return c == 'x' || c == 'X' || c == '\xD7'; };
    // One or two digits: "x02010" is a fingering, not a count.
    if (w.size() < 2 || w.size() > 3)
        return false;
    if (isTimes(w.front()))
        return AllOf(w.substr(1), IsAsciiDigit);
    if (isTimes(w.back()))
        return AllOf(w.substr(0, w.size() - 1), IsAsciiDigit);
    return false;
}

// Strum slashes, repeat signs and the like: "/", "//", "%", "-", "...".
bool IsRhythmWord(std::string_view w)
{
    return !w.empty() && AllOf(w, [](char c) {
        return c == '/' || c == '\\' || c == '%' || c == '-' || c == '.' || c == '_' || c == '*' || c == '~';
    });
}

bool IsSectionName(std::string_view w)
{
    static constexpr std::string_view names[] = {"intro",
                                                 "verse",
                                                 "chorus",
                                                 "pre-chorus",
                                                 "prechorus",
                                                 "post-chorus",
                                                 "bridge",
                                                 "outro",
                                                 "solo",
                                                 "interlude",
                                                 "instrumental",
                                                 "refrain",
                                                 "coda",
                                                 "ending",
                                                 "break",
                                                 "tag",
                                                 "hook",
                                                 "riff"};
    w = WithoutFinalColon(w);
    for (const std::string_view name : names)
        if (EqualsIgnoringAsciiCase(w, name))
            return true;
    return false;
}

// A word that may follow a section name in a label: "2", "x2", "(repeat)". A letter may not: "Intro: G" is
// a chord line.
bool IsLabelDetail(std::string_view w)
{
    w = WithoutFinalColon(w);
    return (!w.empty() && AllOf(w, IsAsciiDigit)) || IsRepeatWord(w);
}

// The label of a section-label line, without brackets, asterisks or final colon; empty when the line is no
// label. A label is "[anything]" that is not a chord, or a section name with at most three details ("Verse
// 2:", "** Chorus **"), or the abbreviation "V." with its number ("V. 1").
std::string_view LabelText(std::string_view line)
{
    std::string_view t = Trim(line);
    if (t.find_first_of("{}") != std::string_view::npos)
        return {};
    if (t.size() >= 3 && t.front() == '[' && t.back() == ']') {
        const std::string_view inner = Trim(WithoutFinalColon(Trim(t.substr(1, t.size() - 2))));
        if (inner.find_first_of("[]") != std::string_view::npos || IsChordWord(inner))
            return {};
        return inner;
    }
    if (t.size() >= 3 && t.front() == '*' && t.back() == '*') {
        const std::size_t begin = t.find_first_not_of('*');
        if (begin == std::string_view::npos)
            return {}; // a row of asterisks alone is a rule, not a label
        t = Trim(t.substr(begin, t.find_last_not_of('*') + 1 - begin));
    }
    std::size_t pos = 0;
    const std::string_view first = NextWord(t, pos);
    const bool abbreviation = EqualsIgnoringAsciiCase(first, "V.");
    if (!abbreviation && !IsSectionName(first))
        return {};
    int details = 0;
    for (; pos < t.size(); ++details) {
        const std::string_view word = NextWord(t, pos);
        if (word.empty())
            break;
        if (details == 3 || !IsLabelDetail(word))
            return {};
    }
    if (abbreviation && details == 0)
        return {};
    return Trim(WithoutFinalColon(t));
}

bool IsChorusLabel(std::string_view label)
{
    std::size_t pos = 0;
    const std::string_view first = NextWord(label, pos);
    return EqualsIgnoringAsciiCase(first, "chorus") || EqualsIgnoringAsciiCase(first, "refrain");
}

// A tablature staff line: an optional string name ("e", "G", "Eb"), then a run of staff characters that
// starts with |, :, - or a digit and holds at least four dashes (and a bar line when the string has no
// name), as in "e|--3--|", "E ----5---|", "A 0---2--|" or "-|--0--|". Text after the run is allowed.
bool IsStaffLine(std::string_view line)
{
    std::size_t i = 0;
    while (i < line.size() && IsSheetBlank(line[i]))
        ++i;
    bool named = false;
    if (i < line.size() && ((line[i] >= 'A' && line[i] <= 'G') || (line[i] >= 'a' && line[i] <= 'g'))) {
        named = true;
        ++i;
        if (i < line.size() && (line[i] == '#' || line[i] == 'b'))
            ++i;
        for (int spaces = 0; spaces < 2 && i < line.size() && line[i] == ' '; ++spaces)
            ++i;
    }
    if (i >= line.size() || (line[i] != '|' && line[i] != ':' && line[i] != '-' && !IsAsciiDigit(line[i])))
        return false;
    static constexpr std::string_view staffCharacters = "-|:0123456789hpbrxXsvt/\\~()<>^*.=+";
    std::size_t dashes = 0;
    std::size_t bars = 0;
    for (; i < line.size() && staffCharacters.find(line[i]) != std::string_view::npos; ++i) {
        dashes += line[i] == '-';
        bars += line[i] == '|';
    }
    return dashes >= 4 && (named || bars > 0);
}

// A line of a chord diagram drawn in text: its grid ("+---+---+") or a row of bars with blanks, finger
// numbers and open or muted strings between them ("|  1  |  2   2  |", "2   |   |   |"), with at least two
// bars or two corners. It belongs with the grid lines around it.
bool IsDiagramRow(std::string_view line)
{
    std::size_t bars = 0;
    std::size_t corners = 0;
    for (const char c : line) {
        if (std::string_view("|+- \t0123456789oOxX*").find(c) == std::string_view::npos)
            return false;
        bars += c == '|';
        corners += c == '+';
    }
    return bars >= 2 || corners >= 2;
}

enum class Role : unsigned char
{
    Label,
    Chord,   // a chord name the program knows, or "N.C."
    Unusual, // a chord with an extension it does not know ("A7-9/unk")
    Extra,
    Other
};

// One word of a candidate chord line, split into the bar characters around it ("|", "|:", ":|") and its core.
struct ChordLineWord
{
    std::string_view lead;
    std::string_view core;
    std::string_view trail;
    std::size_t start = 0; // index of the core in the line
    Role role = Role::Other;
};

// Walks the words of a candidate chord line. A leading label ("Intro:", "Verse 2:", "[Intro]") is read
// first; every later word is a chord ("N.C." counts as one), an extra (bar line, "x2", "/", "%", "(repeat)")
// or other.
class ChordLineWords
{
public:
    explicit ChordLineWords(std::string_view line)
        : m_line(line)
    {
        std::size_t pos = 0;
        const std::string_view first = NextWord(line, pos);
        // "[Verse 1]" opens a label; "[b]G" does not, its bracket closing inside the word.
        const std::size_t close = first.find(']');
        const bool bracketed =
            !first.empty() && first.front() == '[' && (close == std::string_view::npos || close + 1 == first.size());
        std::string_view word = first;
        for (std::size_t count = 1; count <= 3 && !word.empty(); ++count) {
            if ((bracketed && word.back() == ']') || (!bracketed && word.size() > 1 && word.back() == ':')) {
                m_labelWords = (bracketed || IsSectionName(first)) ? count : 0;
                break;
            }
            word = NextWord(line, pos);
        }
    }

    // True when a remark opened by "(" has not been closed by the words read so far.
    bool RemarkOpen() const { return m_inRemark; }

    bool Next(ChordLineWord& out)
    {
        const std::string_view word = NextWord(m_line, m_pos);
        if (word.empty())
            return false;
        out = {};
        out.start = static_cast<std::size_t>(word.data() - m_line.data());
        out.core = word;
        if (m_index++ < m_labelWords) {
            out.role = Role::Label;
            return true;
        }
        // A remark in parentheses, "( fade out with Am and D )" or "(repeat to fade)", is text however many
        // words it has; "(x2)" and "(repeat)" are repeat signs of their own.
        const bool repeatSign = IsRepeatWord(word) && (word.front() != '(' || word.back() == ')');
        if (m_inRemark || (word.front() == '(' && !IsChordWord(word) && !repeatSign && !IsChordGroup(word))) {
            m_inRemark = word.back() != ')';
            out.role = Role::Extra;
            return true;
        }
        if (word.find('|') != std::string_view::npos) {
            const std::size_t begin = word.find_first_not_of("|:");
            const std::size_t end = word.find_last_not_of("|:");
            if (begin == std::string_view::npos) {
                out.lead = word;
                out.core = {};
                out.role = Role::Extra;
                return true;
            }
            out.lead = word.substr(0, begin);
            out.core = word.substr(begin, end + 1 - begin);
            out.trail = word.substr(end + 1);
            out.start += begin;
        }
        out.role = IsChordWord(out.core)                              ? Role::Chord
                   : IsUnusualChord(out.core)                         ? Role::Unusual
                   : IsRepeatWord(out.core) || IsRhythmWord(out.core) ? Role::Extra
                                                                      : Role::Other;
        return true;
    }

private:
    std::string_view m_line;
    std::size_t m_pos = 0;
    std::size_t m_index = 0;
    std::size_t m_labelWords = 0;
    bool m_inRemark = false;
};

// A word that looks like a chord the program cannot read: a root A-G, and a digit, "/" or "#" in it; or a
// chord that lost its root, a sharp and what may follow a root ("#m", "#7").
bool LooksLikeChord(std::string_view w)
{
    if (w.size() > 1 && w.size() <= 16 && w[0] == '#')
        return IsChordName(std::string("C").append(w));
    return !w.empty() && w[0] >= 'A' && w[0] <= 'G' && w.find_first_of("0123456789/#") != std::string_view::npos;
}

// A chord line: chords, extras and a leading label, with at least one known chord or two unusual ones; or
// mostly chords: at least three known ones, and at most one word for every three chords that is neither a
// chord nor an extra but looks like one. A line whose chords were marked up as such (`chordsMarked`) needs
// only one chord of either kind, whatever else it holds.
bool IsSheetChordLine(std::string_view line, bool chordsMarked)
{
    if (line.find_first_of("{}") != std::string_view::npos) // a directive's brace: ChordPro, never chords to merge
        return false;
    ChordLineWords words(line);
    ChordLineWord word;
    std::size_t known = 0;
    std::size_t unusual = 0;
    std::size_t other = 0;
    bool allLookLikeChords = true;
    while (words.Next(word)) {
        known += word.role == Role::Chord;
        unusual += word.role == Role::Unusual;
        if (word.role == Role::Other) {
            ++other;
            allLookLikeChords = allLookLikeChords && LooksLikeChord(word.core);
        }
    }
    if (words.RemarkOpen())
        return false;
    if (chordsMarked)
        return known + unusual > 0;
    if (other == 0)
        return known > 0 || unusual >= 2;
    return allLookLikeChords && known >= 3 && 3 * other <= known + unusual;
}

// Appends a label word without its brackets: "[Verse" -> "Verse".
void AppendWithoutBrackets(std::string_view word, std::string& out)
{
    for (const char c : word)
        if (c != '[' && c != ']')
            out += c;
}

// The column after character `c` at `column`, with tab stops every `tabWidth` columns.
constexpr std::size_t NextColumn(std::size_t column, char c, std::size_t tabWidth)
{
    return c == '\t' ? (column / tabWidth + 1) * tabWidth : column + 1;
}

// True when the chord line carries a label or bar lines, which a line of marks shows better than a lyric.
bool HasLabelOrBars(std::string_view chordLine)
{
    ChordLineWords words(chordLine);
    ChordLineWord word;
    while (words.Next(word))
        if (word.role == Role::Label || !word.lead.empty() || !word.trail.empty())
            return true;
    return false;
}

// Where the mark of a chord word stands in its line: at the chord's name, inside parentheses too ("(G)").
std::size_t MarkStart(const ChordLineWord& word)
{
    const std::string_view chord = word.core;
    const bool parenthesised = chord.size() > 2 && chord.front() == '(' && chord.back() == ')' && !IsNoChord(chord);
    return word.start + (parenthesised ? 1 : 0);
}

// How many chords of `chordLine` stand over the first character of a word of `lyric` when tabs stop every
// `tabWidth` columns.
std::size_t ChordsOnWordStarts(std::string_view chordLine, std::string_view lyric, std::size_t tabWidth)
{
    std::vector<bool> wordStart;
    std::size_t column = 0;
    char previous = ' ';
    for (const char c : lyric) {
        const std::size_t next = NextColumn(column, c, tabWidth);
        wordStart.resize(next, false);
        wordStart[column] = !IsSheetBlank(c) && IsSheetBlank(previous);
        previous = c;
        column = next;
    }
    std::size_t hits = 0;
    std::size_t chordPos = 0;
    std::size_t chordColumn = 0;
    ChordLineWords words(chordLine);
    ChordLineWord word;
    while (words.Next(word)) {
        if (word.role != Role::Chord && word.role != Role::Unusual)
            continue;
        for (const std::size_t start = MarkStart(word); chordPos < start; ++chordPos)
            chordColumn = NextColumn(chordColumn, chordLine[chordPos], tabWidth);
        hits += chordColumn < wordStart.size() && wordStart[chordColumn];
    }
    return hits;
}

// Tab stops every 8 columns, as text editors and a2crd count them; every 4 when the chord line holds a tab
// and 4 puts more of its chords over the start of a word, as on a sheet typed with 4-column tabs.
std::size_t TabWidth(std::string_view chordLine, std::string_view lyric)
{
    if (chordLine.find('\t') == std::string_view::npos)
        return 8;
    return ChordsOnWordStarts(chordLine, lyric, 4) > ChordsOnWordStarts(chordLine, lyric, 8) ? 4 : 8;
}

// Merges the chords of `chordLine` into `lyric` as marks, each in front of the first lyric character at or
// after its column (tab stops as TabWidth chooses); a mark past the end of the lyric follows it, one space
// apart. A chord in parentheses gives the bare chord at the column of its name. Every other word (a repeat
// count, a strum sign, a word the program does not know) follows the line as text, one space apart, so that
// no mark holds anything but a chord.
void AppendMergedLine(std::string_view chordLine, std::string_view lyric, std::string& out)
{
    const std::size_t tabWidth = TabWidth(chordLine, lyric);
    const std::size_t lineStart = out.size();
    std::size_t chordPos = 0;
    std::size_t chordColumn = 0;
    std::size_t lyricPos = 0;
    std::size_t lyricColumn = 0;
    std::string after;
    ChordLineWords words(chordLine);
    ChordLineWord word;
    while (words.Next(word)) {
        if (word.role != Role::Chord && word.role != Role::Unusual) {
            if (!word.core.empty()) {
                after += ' ';
                after.append(word.core);
            }
            continue;
        }
        const std::size_t start = MarkStart(word);
        const std::string_view chord =
            word.core.substr(start - word.start, word.core.size() - 2 * (start - word.start));
        for (; chordPos < start; ++chordPos)
            chordColumn = NextColumn(chordColumn, chordLine[chordPos], tabWidth);
        for (; lyricPos < lyric.size() && lyricColumn < chordColumn; ++lyricPos) {
            out += lyric[lyricPos];
            lyricColumn = NextColumn(lyricColumn, lyric[lyricPos], tabWidth);
        }
        if (lyricColumn < chordColumn && out.size() > lineStart && !IsSheetBlank(out.back()))
            out += ' ';
        out += '[';
        out.append(chord);
        out += ']';
    }
    out.append(lyric.substr(lyricPos));
    if (!after.empty()) {
        while (out.size() > lineStart && IsSheetBlank(out.back()))
            out.pop_back();
        out.append(after);
    }
}

// A chord line with no lyric under it: its words one space apart, chords as marks ("| [G] | [C] | x2"),
// a leading label as plain text ending in a colon ("Intro: [G] [C]").
void AppendChordMarksLine(std::string_view chordLine, std::string& out)
{
    ChordLineWords words(chordLine);
    ChordLineWord word;
    bool first = true;
    bool inLabel = false;
    const std::size_t lineStart = out.size();
    while (words.Next(word)) {
        if (word.role == Role::Label && word.core.find_first_not_of("[]") == std::string_view::npos)
            continue;
        if (inLabel && word.role != Role::Label && out.size() > lineStart && out.back() != ':')
            out += ':';
        inLabel = word.role == Role::Label;
        if (!first)
            out += ' ';
        first = false;
        out.append(word.lead);
        if (word.role == Role::Label) {
            AppendWithoutBrackets(word.core, out);
        } else if (word.role == Role::Chord || word.role == Role::Unusual) {
            out += '[';
            out.append(word.core);
            out += ']';
        } else {
            out.append(word.core);
        }
        out.append(word.trail);
    }
}

// A line that can carry merged chords: it holds a letter and no e-mail address.
bool IsLyricLine(std::string_view line)
{
    bool letter = false;
    for (const char c : line) {
        if (c == '@')
            return false;
        letter = letter || IsLyricLetter(c);
    }
    return letter;
}

// A first line that names the song: it starts with a letter, a digit, a quote or a parenthesis, holds no
// e-mail address, bracket or brace, and is neither a "Key: value" field nor a chord definition.
bool IsTitleLine(std::string_view line)
{
    const std::string_view t = Trim(line);
    if (t.empty() || t.find_first_of("@[]{}") != std::string_view::npos)
        return false;
    const char c = t.front();
    if (!IsLyricLetter(c) && !IsAsciiDigit(c) && c != '"' && c != '\'' && c != '(' && c != '\x91' && c != '\x93')
        return false;
    std::size_t pos = 0;
    const std::string_view first = NextWord(t, pos);
    return first.back() != ':' && !IsChordDefinitionLine(line);
}

// A comment line of the text's own: "# ...". It is kept as it is (ChordPro reads it as a comment too) and
// is passed over when the title is looked for.
bool IsHashComment(std::string_view line)
{
    const std::string_view t = Trim(line);
    return !t.empty() && t.front() == '#';
}

// A note as ChordPro writes it into plain text: "-- " and words, for all that is no lyric ("-- Title: ...",
// "-- Start of chorus", "-- Key is D"). The words, or nothing when the line is no such note.
std::string_view DashedNote(std::string_view line)
{
    const std::string_view t = Trim(line);
    if (t.size() < 4 || t.substr(0, 3) != "-- ")
        return {};
    const std::string_view note = Trim(t.substr(3));
    return IsAsciiLetter(note.front()) ? note : std::string_view();
}

// A note in words on where the capo goes, which becomes a comment and never the title: a line that starts
// with "Capo" ("Capo on 5th fret, sounding key of F") or holds an ordinal before "fret" ("Play on 3rd fret").
bool IsCapoNote(std::string_view line)
{
    const auto isOrdinal = [](std::string_view w) {
        if (w.size() < 3 || !IsAsciiDigit(w[0]))
            return false;
        const std::string_view suffix = w.substr(w.find_first_not_of("0123456789"));
        return EqualsIgnoringAsciiCase(suffix, "st") || EqualsIgnoringAsciiCase(suffix, "nd") ||
               EqualsIgnoringAsciiCase(suffix, "rd") || EqualsIgnoringAsciiCase(suffix, "th");
    };
    std::size_t pos = 0;
    std::string_view previous;
    for (std::string_view word = NextWord(line, pos); !word.empty(); previous = word, word = NextWord(line, pos)) {
        if (previous.empty() && EqualsIgnoringAsciiCase(WithoutFinalColon(word), "capo"))
            return true;
        const bool fret = word.size() >= 4 && EqualsIgnoringAsciiCase(word.substr(0, 4), "fret") &&
                          (word.size() == 4 || !IsAsciiLetter(word[4]));
        if (fret && isOrdinal(previous))
            return true;
    }
    return false;
}

// Whether the song has its title and subtitle directives yet: only the first of each names the song.
struct Titles
{
    bool title = false;
    bool subtitle = false;
};

void AppendDirective(std::string_view name, std::string_view value, std::string& out)
{
    out += '{';
    out.append(name);
    if (!value.empty()) {
        out += ": ";
        out.append(value);
    }
    out += "}\r\n";
}

// "{title: ...}", and for "Artist - Title" (a hyphen or an en or em dash between blanks) the title after the
// dash and "{subtitle: Artist}"; "Title - by Artist" names its artist after the dash: "{subtitle: by Artist}".
void AppendTitle(std::string_view line, Titles& titles, std::string& out)
{
    titles.title = true;
    const std::string_view t = Trim(line);
    for (std::size_t dash = 1; dash + 1 < t.size(); ++dash) {
        const char c = t[dash];
        if ((c == '-' || c == '\x96' || c == '\x97') && t[dash - 1] == ' ' && t[dash + 1] == ' ') {
            const std::string_view artist = Trim(t.substr(0, dash));
            const std::string_view title = Trim(t.substr(dash + 1));
            if (!artist.empty() && !title.empty()) {
                const bool byArtist = title.size() > 3 && EqualsIgnoringAsciiCase(title.substr(0, 3), "by ");
                AppendDirective("title", byArtist ? artist : title, out);
                AppendDirective("subtitle", byArtist ? title : artist, out);
                titles.subtitle = true;
                return;
            }
        }
    }
    AppendDirective("title", t, out);
}

// A directive line: "{" and a letter, with a "}" later on the line.
bool IsDirectiveLine(std::string_view line)
{
    const std::string_view t = Trim(line);
    return t.size() >= 3 && t[0] == '{' && IsAsciiLetter(t[1]) && t.find('}') != std::string_view::npos;
}

// ChordPro with chords already: a chord mark anywhere. Section labels and other bracketed text ("[Verse 1]",
// "[x2]") are not chord marks.
bool HasChordMark(std::string_view text)
{
    while (!text.empty()) {
        const std::string_view line = PopLine(text);
        std::size_t open = std::string_view::npos;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '[') {
                open = i;
            } else if (line[i] == ']' && open != std::string_view::npos) {
                const std::string_view mark = line.substr(open + 1, i - open - 1);
                if (IsChordWord(mark) || IsUnusualChord(mark)) // "[A7-9/unk]", as this conversion writes it
                    return true;
                open = std::string_view::npos;
            }
        }
    }
    return false;
}

// The directive that opens or closes an environment whose lines are not lyrics (tab, grid, ABC, LilyPond,
// text block...): "{start_of_tab}", "{sot}", "{start_of_grid: 4x4}". Chorus, verse and bridge hold lyrics.
// +1 for an opening, -1 for a closing, 0 otherwise.
int VerbatimEnvironment(std::string_view directive)
{
    std::string_view name = Trim(directive).substr(1);
    name = name.substr(0, name.find_first_of(":} \t"));
    for (const std::string_view lyrics : {"_of_chorus", "_of_verse", "_of_bridge"})
        if (name.size() >= lyrics.size() && EqualsIgnoringAsciiCase(name.substr(name.size() - lyrics.size()), lyrics))
            return 0;
    for (const std::string_view lyrics : {"soc", "eoc", "sov", "eov", "sob", "eob"})
        if (EqualsIgnoringAsciiCase(name, lyrics))
            return 0;
    const auto startsWith = [&name](std::string_view prefix) {
        return name.size() > prefix.size() && EqualsIgnoringAsciiCase(name.substr(0, prefix.size()), prefix);
    };
    if (startsWith("start_of_") || (name.size() == 3 && startsWith("so")))
        return 1;
    if (startsWith("end_of_") || (name.size() == 3 && startsWith("eo")))
        return -1;
    return 0;
}

// "Name: value" fields of a song's header, one to a line or several joined by bar lines ("Tuning: G C E A |
// Key: C | Capo: No capo"). The line is a header line when every part between bars is such a field (a name
// of one or two words of letters, a colon, a value that may be empty), one known name has a value and no
// name is a section name ("Intro: G" is a chord line).
struct Field
{
    std::string_view name;
    std::string_view value;
};

bool IsKnownFieldName(std::string_view name)
{
    static constexpr std::string_view names[] = {"key",
                                                 "capo",
                                                 "tuning",
                                                 "tempo",
                                                 "bpm",
                                                 "artist",
                                                 "album",
                                                 "difficulty",
                                                 "strumming",
                                                 "title",
                                                 "song",
                                                 "subtitle",
                                                 "composer",
                                                 "lyricist"};
    for (const std::string_view known : names)
        if (EqualsIgnoringAsciiCase(name, known))
            return true;
    return false;
}

bool ParseHeaderFields(std::string_view line, std::vector<Field>& fields)
{
    fields.clear();
    bool known = false;
    while (true) {
        const std::size_t bar = line.find('|');
        const std::string_view part = Trim(line.substr(0, bar));
        const std::size_t colon = part.find(':');
        if (colon == std::string_view::npos)
            return false;
        const Field field{Trim(part.substr(0, colon)), Trim(part.substr(colon + 1))};
        std::size_t pos = 0;
        const std::string_view first = NextWord(field.name, pos);
        const std::string_view second = NextWord(field.name, pos);
        if (first.empty() || !AllOf(first, IsAsciiLetter) || !AllOf(second, IsAsciiLetter) || pos < field.name.size() ||
            IsSectionName(first))
            return false;
        known = known || (IsKnownFieldName(field.name) && !field.value.empty());
        fields.push_back(field);
        if (bar == std::string_view::npos)
            return known;
        line.remove_prefix(bar + 1);
    }
}

// Each header field as a directive: a key that is a chord as {key: C}, a capo or tempo that is a number as
// {capo: 2} or {tempo: 96}, an artist as {artist: ...}, the song's first title ("Title: ..." or "Song: ...")
// and subtitle as {title: ...} and {subtitle: ...}; any other field, or one whose value does not fit, as
// {comment: Name: value}, so that nothing of it is lost.
void AppendHeaderFields(const std::vector<Field>& fields, Titles& titles, std::string& out)
{
    for (const Field& field : fields) {
        const bool number = !field.value.empty() && AllOf(field.value, IsAsciiDigit);
        const bool title = EqualsIgnoringAsciiCase(field.name, "title") || EqualsIgnoringAsciiCase(field.name, "song");
        if (title && !titles.title && !field.value.empty()) {
            AppendDirective("title", field.value, out);
            titles.title = true;
        } else if (EqualsIgnoringAsciiCase(field.name, "subtitle") && !titles.subtitle && !field.value.empty()) {
            AppendDirective("subtitle", field.value, out);
            titles.subtitle = true;
        } else if (EqualsIgnoringAsciiCase(field.name, "key") && IsChordName(field.value)) {
            AppendDirective("key", field.value, out);
        } else if (EqualsIgnoringAsciiCase(field.name, "capo") && number) {
            AppendDirective("capo", field.value, out);
        } else if (EqualsIgnoringAsciiCase(field.name, "tempo") && number) {
            AppendDirective("tempo", field.value, out);
        } else if (EqualsIgnoringAsciiCase(field.name, "artist") && !field.value.empty()) {
            AppendDirective("artist", field.value, out);
        } else {
            std::string text(field.name);
            text += ':';
            if (!field.value.empty())
                text.append(" ").append(field.value);
            AppendDirective("comment", text, out);
        }
    }
}

// The markup tab sites put in the text they export: [ch]...[/ch] around a chord name, [tab]...[/tab] around
// a chord line and its lyric or around a staff. Tags are found in any case.
constexpr std::string_view markupTags[] = {"[ch]", "[/ch]", "[tab]", "[/tab]"};

// Appends `line` to `out` without its markup tags. A tag that only comes together once another is removed
// ("[c[ch]h]") goes too, so the result holds none. `chordsMarked` tells whether a chord tag was removed.
// True when any tag was removed.
bool AppendWithoutMarkup(std::string_view line, std::string& out, bool& chordsMarked)
{
    const std::size_t lineStart = out.size();
    bool removed = false;
    chordsMarked = false;
    for (const char c : line) {
        out += c;
        if (c != ']')
            continue;
        for (const std::string_view tag : markupTags) {
            if (out.size() - lineStart >= tag.size() &&
                EqualsIgnoringAsciiCase(std::string_view(out).substr(out.size() - tag.size()), tag)) {
                out.resize(out.size() - tag.size());
                removed = true;
                chordsMarked = chordsMarked || tag.find("ch") != std::string_view::npos;
                break;
            }
        }
    }
    return removed;
}

enum class Kind : unsigned char
{
    Blank,
    Staff,
    Label,
    Header,
    Note,
    Chords,
    Text,
    Directive // a directive line, or a line of a block that holds no lyrics: kept as it is
};

Kind Classify(std::string_view line, bool chordsMarked, std::vector<Field>& fields)
{
    if (Trim(line).empty())
        return Kind::Blank;
    if (IsHashComment(line)) // kept as it is, whatever it holds
        return Kind::Text;
    if (!DashedNote(line).empty())
        return Kind::Note;
    if (IsStaffLine(line) || IsDiagramRow(line))
        return Kind::Staff;
    if (!LabelText(line).empty())
        return Kind::Label;
    if (ParseHeaderFields(line, fields))
        return Kind::Header;
    if (IsSheetChordLine(line, chordsMarked))
        return Kind::Chords;
    return Kind::Text;
}

} // namespace

// Three passes: the ChordPro test over the whole text, the markup taken out, then one walk over the
// classified lines. A line is classified once; lookahead is at most two lines, except that a chorus label
// looks over the blank lines after it, which the walk then passes once more.
std::string ConvertSheetToChordPro(std::string_view loadedText, std::string_view fallbackTitle)
{
    if (HasChordMark(loadedText))
        return std::string(loadedText);

    // The text without markup; a line that held nothing but markup is left out.
    std::string clean;
    clean.reserve(loadedText.size());
    std::vector<std::size_t> lineEnds;
    std::vector<bool> chordsMarked;
    for (std::string_view rest = loadedText; !rest.empty();) {
        const std::string_view line = PopLine(rest);
        const std::size_t start = clean.size();
        bool marked = false;
        if (AppendWithoutMarkup(line, clean, marked) && !Trim(line).empty() &&
            Trim(std::string_view(clean).substr(start)).empty()) {
            clean.resize(start);
            continue;
        }
        lineEnds.push_back(clean.size());
        chordsMarked.push_back(marked);
    }

    const std::size_t n = lineEnds.size();
    std::vector<std::string_view> lines;
    std::vector<Kind> kinds;
    std::vector<Field> fields;
    for (std::size_t k = 0, start = 0; k < n; start = lineEnds[k++]) {
        lines.push_back(std::string_view(clean).substr(start, lineEnds[k] - start));
        kinds.push_back(IsDirectiveLine(lines.back()) ? Kind::Directive
                                                      : Classify(lines.back(), chordsMarked[k], fields));
    }
    // A text with directives is ChordPro that still has chord lines over its lyrics: its chord lines are
    // merged and its staffs put in tab blocks, and the rest is left as the writer has it (no label, header
    // field, note or title is read, and the lines inside a tab, grid or other block that holds no lyrics stay).
    const bool chordPro = std::find(kinds.begin(), kinds.end(), Kind::Directive) != kinds.end();
    if (chordPro) {
        bool verbatim = false;
        for (std::size_t k = 0; k < n; ++k) {
            if (kinds[k] == Kind::Directive) {
                const int environment = VerbatimEnvironment(lines[k]);
                verbatim = environment != 0 ? environment > 0 : verbatim;
            } else if (verbatim) {
                kinds[k] = Kind::Directive;
            } else if (kinds[k] == Kind::Label || kinds[k] == Kind::Header || kinds[k] == Kind::Note) {
                kinds[k] = Kind::Text;
            }
        }
    }

    std::string out;
    out.reserve(loadedText.size() + loadedText.size() / 4 + 64);
    const auto emit = [&out](std::string_view line) {
        out.append(line);
        out += "\r\n";
    };
    const auto nextIs = [&](std::size_t i, Kind kind) { return i + 1 < n && kinds[i + 1] == kind; };
    // A tab block starts at a staff line, or at the line right above one (chord names, mostly).
    const auto startsTab = [&](std::size_t i) {
        return kinds[i] == Kind::Staff ||
               ((kinds[i] == Kind::Chords || kinds[i] == Kind::Text) && nextIs(i, Kind::Staff));
    };
    // A chorus with no lines before the next label, tab block, two blank lines or the end gets no environment.
    const auto chorusIsEmpty = [&](std::size_t i) {
        std::size_t blanks = 0;
        for (; i < n && kinds[i] == Kind::Blank; ++i)
            ++blanks;
        return i == n || blanks >= 2 || kinds[i] == Kind::Label || startsTab(i);
    };

    // The title comes from a title field, or else from the first line that is neither blank, a header line, a
    // note, a capo note nor a "#" comment.
    std::size_t titleLine = chordPro ? n : 0;
    while (titleLine < n &&
           (kinds[titleLine] == Kind::Blank || kinds[titleLine] == Kind::Header || kinds[titleLine] == Kind::Note ||
            (kinds[titleLine] == Kind::Text && (IsHashComment(lines[titleLine]) || IsCapoNote(lines[titleLine])))))
        ++titleLine;
    Titles titles;
    // A note "-- Start of tab" opens a block of lines kept as they are only when an "-- End of tab" follows.
    const auto endsTab = [&](std::size_t k) {
        return kinds[k] == Kind::Note && EqualsIgnoringAsciiCase(DashedNote(lines[k]), "end of tab");
    };
    std::size_t lastTabEnd = n;
    for (std::size_t k = 0; k < n; ++k)
        if (endsTab(k))
            lastTabEnd = k;
    const auto firstLineNamesTheSong = [&]() {
        return n > 0 && kinds[0] == Kind::Text && !startsTab(0) && !IsCapoNote(lines[0]) &&
               std::any_of(
                   lines[0].begin(), lines[0].end(), [](char c) { return IsLyricLetter(c) || IsAsciiDigit(c); });
    };
    bool chorusOpen = false;
    std::size_t blankStart = 0;
    std::size_t blankCount = 0;
    const auto flushBlanks = [&](bool closeChorus) {
        if (chorusOpen && closeChorus) {
            emit("{end_of_chorus}");
            chorusOpen = false;
        }
        for (std::size_t k = blankStart; k < blankStart + blankCount; ++k)
            emit(lines[k]);
        blankCount = 0;
    };

    for (std::size_t i = 0; i < n;) {
        const Kind kind = kinds[i];
        if (kind == Kind::Blank) {
            if (blankCount++ == 0)
                blankStart = i;
            ++i;
            continue;
        }
        const bool tab = startsTab(i);
        const std::string_view note = kind == Kind::Note ? DashedNote(lines[i]) : std::string_view();
        const bool noteOpens =
            EqualsIgnoringAsciiCase(note, "start of chorus") || EqualsIgnoringAsciiCase(note, "start of tab");
        flushBlanks(blankCount >= 2 || kind == Kind::Label || tab || noteOpens);

        if (!chordPro && kind == Kind::Text && IsCapoNote(lines[i])) {
            AppendDirective("comment", Trim(lines[i++]), out);
        } else if (i == titleLine && !titles.title && kind == Kind::Text && IsTitleLine(lines[i])) {
            AppendTitle(lines[i++], titles, out);
        } else if (kind == Kind::Note) {
            ++i;
            if (EqualsIgnoringAsciiCase(note, "start of chorus")) {
                emit("{start_of_chorus}");
                chorusOpen = true;
            } else if (EqualsIgnoringAsciiCase(note, "end of chorus")) {
                if (chorusOpen)
                    emit("{end_of_chorus}");
                chorusOpen = false;
            } else if (EqualsIgnoringAsciiCase(note, "start of tab") && lastTabEnd != n && lastTabEnd >= i) {
                const std::size_t start = i;
                while (!endsTab(i))
                    ++i;
                if (i > start) {
                    emit("{start_of_tab}");
                    for (std::size_t k = start; k < i; ++k)
                        emit(lines[k]);
                    emit("{end_of_tab}");
                }
                ++i; // the end note
            } else if (EqualsIgnoringAsciiCase(note, "start of tab") || EqualsIgnoringAsciiCase(note, "end of tab")) {
                // a block never closed, or an end without a start: the staff lines find their own blocks
            } else if (ParseHeaderFields(note, fields)) {
                AppendHeaderFields(fields, titles, out);
            } else {
                AppendDirective("comment", note, out);
            }
        } else if (kind == Kind::Label) {
            const std::string_view label = LabelText(lines[i++]);
            AppendDirective("comment", label, out);
            if (IsChorusLabel(label) && !chorusIsEmpty(i)) {
                emit("{start_of_chorus}");
                chorusOpen = true;
            }
        } else if (kind == Kind::Header) {
            ParseHeaderFields(lines[i++], fields);
            AppendHeaderFields(fields, titles, out);
        } else if (tab) {
            emit("{start_of_tab}");
            if (kind != Kind::Staff)
                emit(lines[i++]);
            while (i < n && kinds[i] == Kind::Staff)
                emit(lines[i++]);
            if (i < n && kinds[i] == Kind::Text && (i + 1 == n || nextIs(i, Kind::Blank)))
                emit(lines[i++]);
            emit("{end_of_tab}");
        } else if (kind == Kind::Chords && nextIs(i, Kind::Text) && IsLyricLine(lines[i + 1])) {
            if (HasLabelOrBars(lines[i])) {
                AppendChordMarksLine(lines[i++], out);
                out += "\r\n";
            } else {
                AppendMergedLine(lines[i], lines[i + 1], out);
                out += "\r\n";
                i += 2;
            }
        } else if (kind == Kind::Chords) {
            AppendChordMarksLine(lines[i++], out);
            out += "\r\n";
        } else {
            emit(lines[i++]);
        }
    }
    flushBlanks(true);
    // A song is listed by its first line when it has no title. A first line of words does; a blank one, one
    // without a letter or digit ("====="), or one this conversion made a directive or gave chord marks would
    // list the song as "(no title)", "{comment: Tuning: G C E A", "| [C] | [G] |" or "[G]Amazing [C]grace".
    if (!chordPro && !titles.title && !fallbackTitle.empty() && !firstLineNamesTheSong()) {
        std::string title;
        AppendDirective("title", fallbackTitle, title);
        out.insert(0, title);
    }
    return out;
}
