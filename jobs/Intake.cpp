#include "jobs/Intake.h"

#include "jobs/Charset.h"
#include "text/Ascii.h"
#include "text/ChordDefinition.h"
#include "text/Scan.h"
#include "text/SheetConvert.h"
#include "text/TabConvert.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

// A file name written as a web address's last part ("amazing-grace", "aura_lee"), which tab and songbook
// sites give their downloads, as the words of a title: "Amazing Grace", "Aura Lee". A name with a space or a
// capital letter is the user's own spelling and stays as it is.
std::string WordsOfSlug(std::string name)
{
    const bool slug = name.find_first_of("-_") != std::string::npos && name.find(' ') == std::string::npos &&
                      std::none_of(name.begin(), name.end(), [](char c) { return AsciiLower(c) != c; });
    if (!slug) {
        return name;
    }
    std::string words;
    for (const char c : name) {
        if (c == '-' || c == '_') {
            if (!words.empty() && words.back() != ' ') {
                words += ' ';
            }
        } else {
            const bool wordStart = words.empty() || words.back() == ' ';
            words += wordStart ? AsciiUpper(c) : c;
        }
    }
    while (!words.empty() && words.back() == ' ') {
        words.pop_back();
    }
    return words;
}

// The title a file's name gives a song: the name (UTF-8) without its folder and extension, in
// Windows-1252, without control characters and braces, which would end or break a directive. Empty for
// standard input ("-").
std::string TitleFromFileName(std::string_view fileName)
{
    if (fileName == "-") { // standard input
        return {};
    }
    const std::size_t slash = fileName.find_last_of("/\\");
    if (slash != std::string_view::npos) {
        fileName.remove_prefix(slash + 1);
    }
    const std::size_t dot = fileName.rfind('.');
    if (dot != std::string_view::npos && dot > 0) {
        fileName = fileName.substr(0, dot);
    }
    std::string title;
    for (const char c : Utf8ToCp1252(fileName)) {
        const auto byte = static_cast<unsigned char>(c);
        const bool control = byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F ||
                             byte == 0x90 || byte == 0x9D; // the last five: C1 controls, as Windows-1252 lacks them
        if (!control && c != '{' && c != '}') {
            title += c;
        }
    }
    const std::size_t first = title.find_first_not_of(' ');
    title = first == std::string::npos ? std::string() : title.substr(first, title.find_last_not_of(' ') - first + 1);
    return WordsOfSlug(std::move(title));
}

std::string ConvertedText(std::string_view fileName, std::string text, TextConversion conversion)
{
    if (conversion == TextConversion::ChordSheets) {
        // A chord list is a list of definitions, not a sheet: its lines stay as they are.
        return IsChordModeText(text) ? text : ConvertSheetToChordPro(text, TitleFromFileName(fileName));
    }
    if (IsTabFileName(fileName)) {
        return ConvertTabToChordPro(text);
    }
    return text;
}

// A decoded text as a loaded text: its lines as a text-mode reader delivers them, each ending in CR LF, then
// converted as `conversion` says.
LoadedText LoadedTextOf(std::string_view fileName, DecodedText decoded, TextConversion conversion)
{
    std::string_view rest(decoded.text);

    // Lines as a text-mode reader delivers them (a lone CR is an ordinary character); a last line without LF
    // counts as well. Each gets CR LF.
    std::string text;
    text.reserve(rest.size() + rest.size() / 16 + 2);
    while (!rest.empty()) {
        text.append(PopLine(rest, LineEnds::TextMode));
        text.append("\r\n");
    }
    return LoadedText{
        ConvertedText(fileName, std::move(text), conversion), std::move(decoded.replaced), decoded.invalidUtf8Line};
}

// The line without the blanks (spaces, tabs, a CR) around it.
std::string_view WithoutBlanks(std::string_view line)
{
    constexpr std::string_view BLANKS = " \t\r";
    const std::size_t first = line.find_first_not_of(BLANKS);
    return first == std::string_view::npos ? std::string_view()
                                           : line.substr(first, line.find_last_not_of(BLANKS) - first + 1);
}

// True for a line that starts another song of a ChordPro file: {new_song} or {ns}, in any case, with blanks
// around it; after the name, a colon or blanks may bring attributes, each a key=value word, as in
// {new_song: toc=no}. Any other argument makes the line no song break.
bool IsNewSongLine(std::string_view line)
{
    std::string_view directive = WithoutBlanks(line);
    if (directive.size() < 2 || directive.front() != '{' || directive.back() != '}') {
        return false;
    }
    directive = directive.substr(1, directive.size() - 2);
    const std::size_t nameEnd = std::min(directive.find_first_of(": \t"), directive.size());
    const std::string_view name = directive.substr(0, nameEnd);
    if (!EqualsIgnoringAsciiCase(name, "new_song") && !EqualsIgnoringAsciiCase(name, "ns")) {
        return false;
    }
    std::string_view attributes = WithoutBlanks(directive.substr(nameEnd));
    if (attributes.starts_with(':')) {
        attributes = WithoutBlanks(attributes.substr(1));
    }
    while (!attributes.empty()) {
        const std::size_t wordEnd = std::min(attributes.find_first_of(" \t"), attributes.size());
        const std::string_view word = attributes.substr(0, wordEnd);
        if (word.find('=') == std::string_view::npos || word.starts_with('=')) {
            return false;
        }
        attributes = WithoutBlanks(attributes.substr(wordEnd));
    }
    return true;
}

struct SongPart
{
    std::string_view text;     // its lines, without the {new_song} line before it
    std::size_t firstLine = 1; // the line of the whole text it starts on, from 1
};

// The character that ends the lines of a text: LF, or CR in a text of old Mac line ends, which holds no LF.
char LineEndOf(std::string_view text)
{
    return text.find('\n') == std::string_view::npos ? '\r' : '\n';
}

// The songs of a text (Windows-1252 or UTF-8) whose {new_song} lines start the next one; a part without a
// printable character is left out. Empty when fewer than two parts hold anything: the text is one song. Lines
// end at LF, or at each CR in a text without LF; every other CR stays in its song.
std::vector<SongPart> SongParts(std::string_view text)
{
    std::vector<SongPart> parts;
    // Most texts hold no "{n" at all, and are one song without a look at their lines.
    bool braceN = false;
    for (std::size_t at = text.find('{'); at != std::string_view::npos && !braceN; at = text.find('{', at + 1)) {
        braceN = at + 1 < text.size() && AsciiLower(text[at + 1]) == 'n';
    }
    if (!braceN) {
        return parts;
    }
    std::size_t partStart = 0, partLine = 1;
    bool printable = false;
    const auto endPart = [&](std::size_t end) {
        if (printable) {
            parts.push_back({text.substr(partStart, end - partStart), partLine});
        }
        printable = false;
    };
    const LineEnds ends = LineEndOf(text) == '\n' ? LineEnds::TextMode : LineEnds::Any;
    std::string_view rest = text;
    for (std::size_t number = 1; !rest.empty(); ++number) {
        const std::size_t lineStart = text.size() - rest.size();
        const std::string_view line = PopLine(rest, ends);
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos) {
            continue;
        }
        if (line[first] == '{' && IsNewSongLine(line)) {
            endPart(lineStart);
            partStart = text.size() - rest.size();
            partLine = number + 1;
        } else {
            printable = true;
        }
    }
    endPart(text.size());
    if (parts.size() < 2) {
        parts.clear();
    }
    return parts;
}

// The bytes of one code unit of a UTF-16 or UTF-32 text.
std::size_t UnitSize(WideEncoding encoding)
{
    return encoding == WideEncoding::Utf32Le || encoding == WideEncoding::Utf32Be ? 4 : 2;
}

// Where each line of a UTF-16 or UTF-32 text starts, in bytes: the first just past its byte-order mark (if
// any), then one past each code unit of `lineEnd` (LF or CR). No unit of another character has that value,
// surrogates included, so these are the lines its decoded text has.
std::vector<std::size_t> WideLineStarts(std::string_view bytes, const WideForm& form, char lineEnd)
{
    const std::size_t unit = UnitSize(form.encoding);
    const bool bigEndian = form.encoding == WideEncoding::Utf32Be || form.encoding == WideEncoding::Utf16Be;
    std::string endUnit(unit, '\0');
    endUnit[bigEndian ? unit - 1 : 0] = lineEnd;
    std::vector<std::size_t> starts{form.markLength};
    for (std::size_t pos = form.markLength; pos + unit <= bytes.size(); pos += unit) {
        if (bytes.substr(pos, unit) == endUnit) {
            starts.push_back(pos + unit);
        }
    }
    return starts;
}

} // namespace

bool IsTabFileName(std::string_view path)
{
    return EndsWithIgnoringAsciiCase(path, ".tab") || EndsWithIgnoringAsciiCase(path, ".crd");
}

LoadedText MakeLoadedText(std::string_view fileName, std::string_view bytes, TextConversion conversion)
{
    return LoadedTextOf(fileName, DecodeFileText(bytes), conversion);
}

std::vector<LoadedText> MakeLoadedTexts(std::string_view fileName, std::string_view bytes, TextConversion conversion)
{
    DecodedText decoded = DecodeFileText(bytes);
    std::vector<SongPart> parts = SongParts(decoded.text);
    std::vector<LoadedText> texts;
    if (parts.empty()) {
        texts.push_back(LoadedTextOf(fileName, std::move(decoded), conversion));
        return texts;
    }
    if (!decoded.replaced.empty()) {
        // Which song a replaced character was in shows only in the file's own bytes. UTF-8 (the one 8-bit
        // encoding that replaces characters) splits at the same lines, and each song is decoded again; a
        // UTF-16 or UTF-32 file is cut at the same lines in its code units, and each song's units are decoded
        // again for what they replaced.
        if (const WideForm wide = WideFormOf(bytes); wide.encoding != WideEncoding::None) {
            const char lineEnd = LineEndOf(decoded.text);
            const std::vector<std::size_t> starts = WideLineStarts(bytes, wide, lineEnd);
            for (const SongPart& part : parts) {
                const std::size_t lineIndex =
                    part.firstLine - 1 +
                    static_cast<std::size_t>(std::count(part.text.begin(), part.text.end(), lineEnd));
                // Only the last song may lack a line end; it runs to the end of the file.
                const std::size_t begin = starts[part.firstLine - 1];
                const std::size_t end =
                    part.text.ends_with(lineEnd) && lineIndex < starts.size() ? starts[lineIndex] : bytes.size();
                std::string_view units = bytes.substr(begin, end - begin), text = part.text;
                // A byte-order mark starting a song is that of a file joined in: dropped, as the file's own is
                // (and as a UTF-8 song's is when it is decoded again).
                const std::string_view first = units.substr(0, UnitSize(wide.encoding));
                if (!text.empty() && DecodeWideText(first, wide.encoding).replaced.counts.contains(0xFEFF)) {
                    units.remove_prefix(first.size());
                    text.remove_prefix(1);
                }
                texts.push_back(
                    LoadedTextOf(fileName,
                                 DecodedText{std::string(text), DecodeWideText(units, wide.encoding).replaced, 0},
                                 conversion));
            }
            return texts;
        }
        // Without its byte-order mark, the first line reads as it does decoded.
        const std::string_view utf8 = bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
        for (const SongPart& part : SongParts(utf8)) {
            texts.push_back(LoadedTextOf(fileName, DecodeNarrowText(part.text), conversion));
        }
        return texts;
    }
    // Nothing was replaced: the decoded text splits as it is. A broken UTF-8 byte stays with its song, named by
    // its line in the file; one on a {new_song} line (in an attribute) goes with the song before it, or with the
    // first song when none is before it.
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::size_t begin = i == 0 ? 1 : parts[i].firstLine;
        const std::size_t end = i + 1 < parts.size() ? parts[i + 1].firstLine : SIZE_MAX;
        const bool broken = decoded.invalidUtf8Line >= begin && decoded.invalidUtf8Line < end;
        texts.push_back(LoadedTextOf(
            fileName, DecodedText{std::string(parts[i].text), {}, broken ? decoded.invalidUtf8Line : 0}, conversion));
    }
    return texts;
}

bool IsChordModeText(std::string_view firstText)
{
    std::string_view rest = firstText;
    // The second line is only looked at when the first is a chord definition. PopLine on an exhausted text
    // gives an empty line, which is not one, so a one-line text is never in chord mode.
    const std::string_view first = PopLine(rest);
    if (!IsChordDefinitionLine(first)) {
        return false;
    }
    const std::string_view second = PopLine(rest);
    return IsChordDefinitionLine(second);
}
