#include "text/SheetConvert.h"

#include "text/ChordDefinition.h"
#include "text/Scan.h"

#include <cstddef>
#include <vector>

namespace {

// Blanks of a sheet: space, tab, and the no-break space (0xA0) that text copied from a web page carries.
constexpr bool IsSheetBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\xA0';
}
constexpr bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
constexpr bool IsAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}
constexpr char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
// A letter of a lyric: ASCII, or one of the accented letters of Windows-1252 (0xC0 to 0xFF).
constexpr bool IsLyricLetter(char c)
{
    return IsAsciiLetter(c) || static_cast<unsigned char>(c) >= 0xC0;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
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
// sus, add, alt, +, -, digits, # or b before a digit, parentheses), then an optional bass note "/F#"; a
// slash not followed by a note goes on with more pieces ("6/9", "7/add2"). The same letter piece twice in
// a row is refused, so "Hmm" is a word, not a chord.
bool IsChordName(std::string_view w)
{
    if (w.empty() || w[0] < 'A' || w[0] > 'H')
        return false;
    static constexpr std::string_view pieces[] = {"maj", "min", "dim", "aug", "sus", "add", "alt", "m", "M"};
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

bool IsNoChord(std::string_view w)
{
    w = WithoutParens(w);
    return EqualsIgnoringCase(w, "N.C.") || EqualsIgnoringCase(w, "N.C") || EqualsIgnoringCase(w, "NC") ||
           EqualsIgnoringCase(w, "N/C");
}

// What a chord mark may hold: a chord name, in parentheses or not, or "no chord".
bool IsChordWord(std::string_view w)
{
    return IsChordName(w) ||
           (w.size() > 2 && w.front() == '(' && w.back() == ')' && IsChordName(w.substr(1, w.size() - 2))) ||
           IsNoChord(w);
}

// "x2", "2x", "×3", "x12", "repeat", "(repeat", "x2)"...
bool IsRepeatWord(std::string_view w)
{
    w = WithoutParens(w);
    if (EqualsIgnoringCase(w, "repeat") || EqualsIgnoringCase(w, "rpt") || EqualsIgnoringCase(w, "rep"))
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
        if (EqualsIgnoringCase(w, name))
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

// The label of a section-label line, without brackets or final colon; empty when the line is no label.
// A label is "[anything]" that is not a chord, or a section name with at most three details ("Verse 2:").
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
    std::size_t pos = 0;
    if (!IsSectionName(NextWord(t, pos)))
        return {};
    for (int details = 0; pos < t.size(); ++details) {
        const std::string_view word = NextWord(t, pos);
        if (word.empty())
            break;
        if (details == 3 || !IsLabelDetail(word))
            return {};
    }
    return Trim(WithoutFinalColon(t));
}

bool IsChorusLabel(std::string_view label)
{
    std::size_t pos = 0;
    const std::string_view first = NextWord(label, pos);
    return EqualsIgnoringCase(first, "chorus") || EqualsIgnoringCase(first, "refrain");
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

enum class Role : unsigned char
{
    Label,
    Chord,
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
        std::string_view word = first;
        for (std::size_t count = 1; count <= 3 && !word.empty(); ++count) {
            const bool bracketed = first.front() == '[';
            if ((bracketed && word.back() == ']') || (!bracketed && word.size() > 1 && word.back() == ':')) {
                m_labelWords = (bracketed || IsSectionName(first)) ? count : 0;
                break;
            }
            word = NextWord(line, pos);
        }
    }

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
                   : IsRepeatWord(out.core) || IsRhythmWord(out.core) ? Role::Extra
                                                                      : Role::Other;
        return true;
    }

private:
    std::string_view m_line;
    std::size_t m_pos = 0;
    std::size_t m_index = 0;
    std::size_t m_labelWords = 0;
};

// A chord line: at least one chord, and nothing but chords, extras and a leading label.
bool IsSheetChordLine(std::string_view line)
{
    ChordLineWords words(line);
    ChordLineWord word;
    bool chord = false;
    while (words.Next(word)) {
        if (word.role == Role::Other)
            return false;
        chord = chord || word.role == Role::Chord;
    }
    return chord;
}

// Appends a label word without its brackets: "[Verse" -> "Verse".
void AppendWithoutBrackets(std::string_view word, std::string& out)
{
    for (const char c : word)
        if (c != '[' && c != ']')
            out += c;
}

// Columns with tab stops every 8 columns, as text editors and a2crd count them.
constexpr std::size_t NextColumn(std::size_t column, char c)
{
    return c == '\t' ? (column / 8 + 1) * 8 : column + 1;
}

// Merges the words of `chordLine` into `lyric` as marks, each in front of the first lyric character at or
// after its column; a mark past the end of the lyric follows it, one space apart. Bar lines are dropped.
void AppendMergedLine(std::string_view chordLine, std::string_view lyric, std::string& out)
{
    const std::size_t lineStart = out.size();
    std::size_t chordPos = 0;
    std::size_t chordColumn = 0;
    std::size_t lyricPos = 0;
    std::size_t lyricColumn = 0;
    ChordLineWords words(chordLine);
    ChordLineWord word;
    while (words.Next(word)) {
        if (word.core.find_first_not_of("[]") == std::string_view::npos)
            continue; // a bar line, or the bracket of a label
        for (; chordPos < word.start; ++chordPos)
            chordColumn = NextColumn(chordColumn, chordLine[chordPos]);
        for (; lyricPos < lyric.size() && lyricColumn < chordColumn; ++lyricPos) {
            out += lyric[lyricPos];
            lyricColumn = NextColumn(lyricColumn, lyric[lyricPos]);
        }
        if (lyricColumn < chordColumn && out.size() > lineStart && !IsSheetBlank(out.back()))
            out += ' ';
        out += '[';
        AppendWithoutBrackets(word.core, out);
        out += ']';
    }
    out.append(lyric.substr(lyricPos));
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
        } else if (word.role == Role::Chord) {
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
// dash and "{subtitle: Artist}".
void AppendTitle(std::string_view line, std::string& out)
{
    const std::string_view t = Trim(line);
    for (std::size_t dash = 1; dash + 1 < t.size(); ++dash) {
        const char c = t[dash];
        if ((c == '-' || c == '\x96' || c == '\x97') && t[dash - 1] == ' ' && t[dash + 1] == ' ') {
            const std::string_view artist = Trim(t.substr(0, dash));
            const std::string_view title = Trim(t.substr(dash + 1));
            if (!artist.empty() && !title.empty()) {
                AppendDirective("title", title, out);
                AppendDirective("subtitle", artist, out);
                return;
            }
        }
    }
    AppendDirective("title", t, out);
}

// ChordPro already: a line that starts with a directive ("{" and a letter, with a "}" later on the line), or
// a chord mark anywhere. Section labels and other bracketed text ("[Verse 1]", "[x2]") are not chord marks.
bool IsChordProText(std::string_view text)
{
    while (!text.empty()) {
        const std::string_view line = PopLine(text);
        const std::string_view t = Trim(line);
        if (t.size() >= 3 && t[0] == '{' && IsAsciiLetter(t[1]) && t.find('}') != std::string_view::npos)
            return true;
        std::size_t open = std::string_view::npos;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '[') {
                open = i;
            } else if (line[i] == ']' && open != std::string_view::npos) {
                if (IsChordWord(line.substr(open + 1, i - open - 1)))
                    return true;
                open = std::string_view::npos;
            }
        }
    }
    return false;
}

enum class Kind : unsigned char
{
    Blank,
    Staff,
    Label,
    Chords,
    Text
};

Kind Classify(std::string_view line)
{
    if (Trim(line).empty())
        return Kind::Blank;
    if (IsStaffLine(line))
        return Kind::Staff;
    if (!LabelText(line).empty())
        return Kind::Label;
    if (IsSheetChordLine(line))
        return Kind::Chords;
    return Kind::Text;
}

} // namespace

// Two passes: the ChordPro test over the whole text, then one walk over the classified lines. A line is
// classified once; lookahead is at most two lines, except that a chorus label looks over the blank lines
// after it, which the walk then passes once more.
std::string ConvertSheetToChordPro(std::string_view loadedText)
{
    if (IsChordProText(loadedText))
        return std::string(loadedText);

    std::vector<std::string_view> lines;
    std::vector<Kind> kinds;
    for (std::string_view rest = loadedText; !rest.empty();) {
        lines.push_back(PopLine(rest));
        kinds.push_back(Classify(lines.back()));
    }
    const std::size_t n = lines.size();

    std::string out;
    out.reserve(loadedText.size() + loadedText.size() / 4 + 64);
    const auto emit = [&out](std::string_view line) {
        out.append(line);
        out += "\r\n";
    };
    const auto nextIs = [&](std::size_t i, Kind kind) { return i + 1 < n && kinds[i + 1] == kind; };
    // A chorus with no lines before the next label, two blank lines or the end gets no environment.
    const auto chorusIsEmpty = [&](std::size_t i) {
        std::size_t blanks = 0;
        for (; i < n && kinds[i] == Kind::Blank; ++i)
            ++blanks;
        return i == n || blanks >= 2 || kinds[i] == Kind::Label;
    };

    std::size_t firstLine = 0;
    while (firstLine < n && kinds[firstLine] == Kind::Blank)
        ++firstLine;
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
        flushBlanks(blankCount >= 2 || kind == Kind::Label);

        if (i == firstLine && kind == Kind::Text && IsTitleLine(lines[i])) {
            AppendTitle(lines[i++], out);
        } else if (kind == Kind::Label) {
            const std::string_view label = LabelText(lines[i++]);
            AppendDirective("comment", label, out);
            if (IsChorusLabel(label) && !chorusIsEmpty(i)) {
                emit("{start_of_chorus}");
                chorusOpen = true;
            }
        } else if (kind == Kind::Staff || nextIs(i, Kind::Staff)) {
            // The line right above a staff (chord names, mostly) stays as it is, lined up with the staff.
            emit("{start_of_tab}");
            if (kind != Kind::Staff)
                emit(lines[i++]);
            while (i < n && kinds[i] == Kind::Staff)
                emit(lines[i++]);
            if (i < n && kinds[i] == Kind::Text && (i + 1 == n || nextIs(i, Kind::Blank)))
                emit(lines[i++]);
            emit("{end_of_tab}");
        } else if (kind == Kind::Chords && nextIs(i, Kind::Text) && IsLyricLine(lines[i + 1])) {
            AppendMergedLine(lines[i], lines[i + 1], out);
            out += "\r\n";
            i += 2;
        } else if (kind == Kind::Chords) {
            AppendChordMarksLine(lines[i++], out);
            out += "\r\n";
        } else {
            emit(lines[i++]);
        }
    }
    flushBlanks(true);
    return out;
}
