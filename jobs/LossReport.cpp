#include "jobs/LossReport.h"

#include "jobs/Intake.h"
#include "jobs/Messages.h"
#include "jobs/TuneloreDatabase.h"
#include "text/Ascii.h"
#include "text/ChordDefinition.h"
#include "text/RecordFormat.h"
#include "text/Scan.h"

#include <algorithm>

namespace {

constexpr std::size_t SHOWN_LINE_LENGTH = 60; // characters of a line quoted in a message

// A Windows-1252 line for a message: UTF-8, at most SHOWN_LINE_LENGTH characters, then "...".
std::string ShownLine(std::string_view line)
{
    if (line.size() <= SHOWN_LINE_LENGTH) {
        return Cp1252ToUtf8(line);
    }
    return Cp1252ToUtf8(line.substr(0, SHOWN_LINE_LENGTH)) + "...";
}

bool IsBlankText(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), IsBlank);
}

// Laid out like a chord definition though the parser does not take it: a name, then words of digits and x
// only, either four or more of them (aligned in columns, or with tabs; the name may then be several words, as
// the handheld's own chord names with a blank are written out) or one of four to six ("G 320033"), or one
// word of four to six such values joined by dashes ("C: x-3-2-0-1-0").
bool LooksLikeChordDefinition(std::string_view line)
{
    const auto isValue = [](std::string_view word) {
        return std::all_of(word.begin(), word.end(), [](char c) { return IsAsciiDigit(c) || c == 'x' || c == 'X'; });
    };
    const auto isDashedValues = [&isValue](std::string_view word) {
        std::size_t parts = 1;
        for (std::size_t dash = word.find('-'); dash != std::string_view::npos; dash = word.find('-')) {
            if (dash == 0 || !isValue(word.substr(0, dash))) {
                return false;
            }
            word.remove_prefix(dash + 1);
            ++parts;
        }
        return !word.empty() && isValue(word) && parts >= 4 && parts <= 6;
    };
    std::size_t pos = 0;
    if (NextToken(line, pos).empty()) {
        return false;
    }
    std::size_t words = 1;
    std::size_t values = 0; // the words of values at the end of the line
    std::size_t firstLength = 0;
    bool dashed = false; // the second word
    for (std::string_view word = NextToken(line, pos); !word.empty(); word = NextToken(line, pos)) {
        ++words;
        values = isValue(word) ? values + 1 : 0;
        firstLength = words == 2 ? word.size() : firstLength;
        dashed = words == 2 ? isDashedValues(word) : dashed;
    }
    return values >= 4 || (words == 2 && values == 1 && firstLength >= 4 && firstLength <= 6) || (words == 2 && dashed);
}

// A line a chord list may carry above its definitions: blank, or a "#" comment. Only so many are passed
// over, so that a long song is not read through.
constexpr std::size_t MAX_LINES_ABOVE_A_LIST = 20;
bool IsBlankOrComment(std::string_view line)
{
    const std::size_t first = line.find_first_not_of(" \t");
    return first == std::string_view::npos || line[first] == '#';
}

// A ChordPro chord definition, "{define: C base-fret 1 frets x 3 2 0 1 0}" or "{chord: F frets 1 3 3 2 1 1}":
// the directive, then "frets" and four to six values.
bool IsDefineDirective(std::string_view line)
{
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos || line[start] != '{' || line.find('}') == std::string_view::npos) {
        return false;
    }
    line = line.substr(start + 1, line.find('}') - start - 1);
    if (!EqualsIgnoringAsciiCase(line.substr(0, 6), "define") && !EqualsIgnoringAsciiCase(line.substr(0, 5), "chord")) {
        return false;
    }
    const std::size_t frets = line.find("frets ");
    return frets != std::string_view::npos && LooksLikeChordDefinition("frets" + std::string(line.substr(frets + 5)));
}

// A text of ChordPro chord definitions and nothing else (blank and comment lines aside), at least two of them.
bool IsDefineList(std::string_view text)
{
    std::size_t defines = 0;
    while (!text.empty()) {
        const std::string_view line = PopLine(text);
        if (IsDefineDirective(line)) {
            ++defines;
        } else if (!IsBlankOrComment(line)) {
            return false;
        }
    }
    return defines >= 2;
}

std::optional<Loss> ChordListTakenAsSong(std::string_view text)
{
    std::string_view rest = text;
    const std::string_view first = PopLine(rest);
    const std::string_view second = PopLine(rest);
    // A list under comment or blank lines is one too, though only its first two lines make it a chord list.
    std::string_view rows[2];
    rest = text;
    for (std::size_t found = 0, lines = 0; found < 2 && !rest.empty() && lines < MAX_LINES_ABOVE_A_LIST + 2; ++lines) {
        const std::string_view line = PopLine(rest);
        if (!IsBlankOrComment(line)) {
            rows[found++] = line;
        }
    }
    if (IsDefineList(text)) {
        return Loss{LossKind::ChordListAsSong, 1, 1, ShownLine(first), {}};
    }
    if (!LooksLikeChordDefinition(rows[0]) || !LooksLikeChordDefinition(rows[1])) {
        return std::nullopt;
    }
    const bool firstFails = !IsChordDefinitionLine(first);
    if (!firstFails && IsChordDefinitionLine(second)) {
        return Loss{LossKind::ChordListAfterSongs, 1, 1, ShownLine(first), {}}; // only the first text can be one
    }
    return Loss{LossKind::ChordListAsSong, 1, firstFails ? 1u : 2u, ShownLine(firstFails ? first : second), {}};
}

std::optional<Loss> SongCut(std::string_view text)
{
    const std::size_t length = SongTextLength(text);
    if (length <= SONG_MAX_TEXT) {
        return std::nullopt;
    }
    // The first lost line holds the character at SONG_MAX_TEXT; when that is a line's LF, the next line does.
    std::string_view rest = text;
    std::size_t start = 0;
    for (std::size_t number = 1; !rest.empty(); ++number) {
        const std::string_view line = PopLine(rest);
        if (SONG_MAX_TEXT < start + line.size()) {
            return Loss{LossKind::TextCut, length - SONG_MAX_TEXT, number, ShownLine(line), {}};
        }
        start += line.size() + 1;
        if (SONG_MAX_TEXT < start) {
            const std::string_view next = PopLine(rest);
            return Loss{LossKind::TextCut, length - SONG_MAX_TEXT, number + 1, ShownLine(next), {}};
        }
    }
    return std::nullopt; // not reached: the length says there is more text
}

// A NUL in a song: the handheld's song ends there, and what follows up to the record's cut is lost.
std::optional<Loss> SongEndsAtNul(std::string_view text)
{
    if (text.find('\0') == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t kept = std::min(SongTextLength(text), SONG_MAX_TEXT);
    std::string_view rest = text;
    std::size_t start = 0; // of the line in the record, whose lines end with one LF
    for (std::size_t number = 1; !rest.empty() && start < kept; ++number) {
        const std::string_view line = PopLine(rest);
        if (const std::size_t at = line.find('\0'); at != std::string_view::npos) {
            return start + at < kept
                       ? std::optional(Loss{LossKind::NulEndsSong, kept - start - at, number, ShownLine(line), {}})
                       : std::nullopt; // beyond the cut, which is reported already
        }
        start += line.size() + 1;
    }
    return std::nullopt;
}

// The first fret value of 15 or more among the values a chord definition's parse took; empty when none.
std::string_view FretValueTooHigh(std::string_view line, std::string_view unread)
{
    const std::string_view read = line.substr(0, line.size() - unread.size());
    std::size_t pos = 0;
    NextToken(read, pos); // the name
    for (std::string_view word = NextToken(read, pos); !word.empty(); word = NextToken(read, pos)) {
        const bool number = std::all_of(word.begin(), word.end(), IsAsciiDigit);
        const std::size_t digits =
            word.find_first_not_of('0') == std::string_view::npos ? 0 : word.size() - word.find_first_not_of('0');
        if (number && (digits > 2 || (digits == 2 && word.substr(word.size() - 2) >= "15"))) {
            return word;
        }
    }
    return {};
}

void AddChordListLosses(std::string_view text, std::vector<Loss>& losses)
{
    Loss frets{LossKind::FretValueTooHigh, 0, 0, {}, {}};
    Loss nuls{LossKind::NulInChordList, 0, 0, {}, {}};
    Loss values{LossKind::ChordValuesDropped, 0, 0, {}, {}};
    Loss names{LossKind::ChordNameCut, 0, 0, {}, {}};
    Loss others{LossKind::NotChordDefinitions, 0, 0, {}, {}};
    std::string_view rest = text;
    for (std::size_t number = 1; !rest.empty(); ++number) {
        const std::string_view line = PopLine(rest);
        ChordRecord chord;
        std::string_view unread;
        Loss* found = nullptr;
        std::string lost;
        if (!ParseChordDefinition(line, chord, unread)) {
            if (IsBlankOrComment(line)) {
                continue; // it holds no chord: nothing of the list is lost with it
            }
            found = &others;
        } else if (!IsBlankText(unread)) {
            found = &values;
            lost = Cp1252ToUtf8(unread);
        }
        if (found != nullptr && found->count++ == 0) {
            *found = Loss{found->kind, 1, number, ShownLine(line), lost};
        }
        if (found != &others && !IsBlankText(line)) {
            if (const std::string_view fret = FretValueTooHigh(line, unread); !fret.empty() && frets.count++ == 0) {
                frets = Loss{frets.kind, 1, number, ShownLine(line), std::string(fret)};
            }
            if (line.find('\0') != std::string_view::npos && nuls.count++ == 0) {
                nuls = Loss{nuls.kind, 1, number, ShownLine(line), {}};
            }
        }
        const std::size_t nameLength = line.find_first_of(" \t");
        if (found != &others && nameLength != std::string_view::npos && nameLength > CHORD_MAX_NAME_LENGTH &&
            names.count++ == 0) {
            const std::string_view name = line.substr(0, nameLength);
            names = Loss{names.kind, 1, number, Cp1252ToUtf8(name), Cp1252ToUtf8(name.substr(CHORD_MAX_NAME_LENGTH))};
        }
    }
    for (const Loss* loss : {&values, &names, &others, &frets, &nuls}) {
        if (loss->count > 0) {
            losses.push_back(*loss);
        }
    }
}

} // namespace

std::vector<Loss> TextLosses(const LoadedText& loaded, bool chordList)
{
    std::vector<Loss> losses;
    if (loaded.invalidUtf8Line != 0) {
        losses.push_back({LossKind::ReadAsWindows1252, 1, loaded.invalidUtf8Line, {}, {}});
    }
    if (!loaded.replaced.empty()) {
        losses.push_back(
            {LossKind::CharactersReplaced, loaded.replaced.Total(), 0, messages::CharacterList(loaded.replaced), {}});
    }
    if (chordList) {
        AddChordListLosses(loaded.text, losses);
        return losses;
    }
    for (const std::optional<Loss>& loss :
         {SongCut(loaded.text), SongEndsAtNul(loaded.text), ChordListTakenAsSong(loaded.text)}) {
        if (loss) {
            losses.push_back(*loss);
        }
    }
    return losses;
}

std::vector<TextLossReport> ExportLosses(const std::vector<LoadedText>& loadedTexts, std::optional<bool> chordList)
{
    std::vector<TextLossReport> reports;
    const bool chordMode = !loadedTexts.empty() && (chordList ? *chordList : IsChordModeText(loadedTexts.front().text));
    const std::size_t exported = chordMode ? 1 : loadedTexts.size();
    for (std::size_t i = 0; i < exported; ++i) {
        std::vector<Loss> losses = TextLosses(loadedTexts[i], chordMode);
        if (!losses.empty()) {
            reports.push_back({i, std::move(losses)});
        }
    }
    return reports;
}

std::optional<Loss> DatabaseNameLoss(std::string_view utf8Name)
{
    if (!IsValidUtf8(utf8Name)) {
        return std::nullopt;
    }
    ReplacedCharacters replaced;
    const std::string name = Utf8ToCp1252(utf8Name, replaced);
    if (replaced.empty()) {
        return std::nullopt;
    }
    return Loss{LossKind::DatabaseNameChanged, replaced.Total(), 0, std::string(utf8Name), Cp1252ToUtf8(name)};
}
