#include "cli/Commands.h"
#include "cli/Console.h"
#include "jobs/Charset.h"
#include "jobs/InputFile.h"
#include "jobs/LossReport.h"
#include "jobs/Messages.h"
#include "pdb/FileIo.h"

#include <cstdio>

#include "platform/CommandLine.h"

int RunConvert(const std::string& path, bool chordSheets)
{
    const TextConversion conversion = chordSheets ? TextConversion::ChordSheets : TextConversion::Strict;
    const InputFile input =
        path == STANDARD_INPUT_NAME ? ReadStandardInput(conversion) : ReadInputFile(PathFromUtf8(path), conversion);
    if (input.kind != InputKind::Texts) {
        PrintError(input.error.empty() ? messages::NotASongFile(path) : input.error); // databases are not converted
        return EXIT_STATUS_FAILED;
    }
    const LoadedText& loaded = input.texts.front();
    const std::string& text = loaded.text;
    // What a build of this file alone would lose.
    if (input.emptyFile) {
        PrintWarning(path, "the file is empty");
    }
    for (const Loss& loss : TextLosses(loaded, IsChordModeText(text))) {
        PrintWarning(path, messages::LossDescription(loss));
    }
    // The loaded text already ends its lines with CR LF; text mode would make them CR CR LF.
    MakeStandardOutputBinary();
    const std::string utf8 = Cp1252ToUtf8(text);
    if (std::fwrite(utf8.data(), 1, utf8.size(), stdout) != utf8.size() || std::fflush(stdout) != 0) {
        PrintError("Can't write to standard output");
        return EXIT_STATUS_FAILED;
    }
    return EXIT_STATUS_OK;
}
