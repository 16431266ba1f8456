#include "jobs/Intake.h"

#include "jobs/Charset.h"
#include "pdb/AtomicFile.h"
#include "text/ChordDefinition.h"
#include "text/Scan.h"
#include "text/TabConvert.h"

#include <cstddef>

namespace {

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

bool IsTabFileName(std::string_view path)
{
    // The last four characters, or the whole name when it is shorter (which then never matches).
    const std::string_view ending = path.size() > 4 ? path.substr(path.size() - 4) : path;
    return EqualsIgnoringAsciiCase(ending, ".tab") || EqualsIgnoringAsciiCase(ending, ".crd");
}

std::string MakeLoadedText(std::string_view fileName, std::string_view bytes)
{
    const std::string decoded = DecodeFileText(bytes);
    const std::string_view rest(decoded);

    // Lines as a text-mode reader delivers them: a line ends at LF, a CR right before that LF belongs to the
    // line end, a CR anywhere else is an ordinary character. A last line without LF counts as well.
    std::string text;
    text.reserve(decoded.size() + decoded.size() / 16 + 2);
    std::size_t start = 0;
    while (start < rest.size()) {
        std::size_t end = rest.find('\n', start);
        const bool hasLineEnd = end != std::string_view::npos;
        if (!hasLineEnd) {
            end = rest.size();
        }
        std::string_view line = rest.substr(start, end - start);
        if (hasLineEnd && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        text.append(line);
        text.append("\r\n");
        start = hasLineEnd ? end + 1 : end;
    }

    if (IsTabFileName(fileName)) {
        return ConvertTabToChordPro(text);
    }
    return text;
}

std::optional<std::string> LoadTextFile(const std::string& path)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        return std::nullopt;
    }
    return MakeLoadedText(path, bytes);
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

bool IsChordMode(const std::vector<std::string>& loadedTexts)
{
    return !loadedTexts.empty() && IsChordModeText(loadedTexts.front());
}
