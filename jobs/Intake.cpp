#include "jobs/Intake.h"

#include "jobs/Charset.h"
#include "jobs/InputFile.h"
#include "pdb/FileIo.h"
#include "text/Ascii.h"
#include "text/ChordDefinition.h"
#include "text/Scan.h"
#include "text/SheetConvert.h"
#include "text/TabConvert.h"

#include <cstddef>

#include "res/Resource.h"

bool IsTabFileName(std::string_view path)
{
    return EndsWithIgnoringAsciiCase(path, ".tab") || EndsWithIgnoringAsciiCase(path, ".crd");
}

std::string MakeLoadedText(std::string_view fileName, std::string_view bytes, TextConversion conversion)
{
    ReplacedCharacters ignored;
    return MakeLoadedText(fileName, bytes, ignored, conversion);
}

std::string MakeLoadedText(std::string_view fileName,
                           std::string_view bytes,
                           ReplacedCharacters& replaced,
                           TextConversion conversion)
{
    const std::string decoded = DecodeFileText(bytes, replaced);
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

    if (conversion == TextConversion::ChordSheets) {
        // A chord list is a list of definitions, not a sheet: its lines stay as they are.
        return IsChordModeText(text) ? text : ConvertSheetToChordPro(text);
    }
    if (IsTabFileName(fileName)) {
        return ConvertTabToChordPro(text);
    }
    return text;
}

TextLoadResult LoadTextFile(const std::filesystem::path& path, TextConversion conversion)
{
    TextLoadResult result;
    const FileReadResult read = ReadWholeFile(path, MAX_TEXT_FILE_SIZE);
    if (!read.bytes) {
        result.error = std::string(res::CANT_READ_FILE) + Utf8FromPath(path) + ": " + read.error;
        return result;
    }
    if (IsNotTextContent(*read.bytes)) {
        result.error = NotASongMessage(Utf8FromPath(path));
        result.notText = true;
        return result;
    }
    result.emptyFile = read.bytes->empty();
    result.text = MakeLoadedText(Utf8FromPath(path), *read.bytes, result.replaced, conversion);
    return result;
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
