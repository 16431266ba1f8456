#include "jobs/Intake.h"

#include "jobs/Charset.h"
#include "text/Ascii.h"
#include "text/ChordDefinition.h"
#include "text/Scan.h"
#include "text/SheetConvert.h"
#include "text/TabConvert.h"

#include <cstddef>
#include <utility>

namespace {

std::string ConvertedText(std::string_view fileName, std::string text, TextConversion conversion)
{
    if (conversion == TextConversion::ChordSheets) {
        // A chord list is a list of definitions, not a sheet: its lines stay as they are.
        return IsChordModeText(text) ? text : ConvertSheetToChordPro(text);
    }
    if (IsTabFileName(fileName)) {
        return ConvertTabToChordPro(text);
    }
    return text;
}

} // namespace

bool IsTabFileName(std::string_view path)
{
    return EndsWithIgnoringAsciiCase(path, ".tab") || EndsWithIgnoringAsciiCase(path, ".crd");
}

LoadedText MakeLoadedText(std::string_view fileName, std::string_view bytes, TextConversion conversion)
{
    DecodedText decoded = DecodeFileText(bytes);
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
