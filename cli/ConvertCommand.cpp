#include "cli/Commands.h"
#include "cli/Console.h"
#include "jobs/Charset.h"
#include "jobs/Intake.h"
#include "jobs/LossReport.h"
#include "pdb/FileIo.h"

#include <cstdio>

#include "platform/CommandLine.h"

int RunConvert(const std::string& path, bool chordSheets)
{
    const TextLoadResult loaded =
        LoadTextFile(PathFromUtf8(path), chordSheets ? TextConversion::ChordSheets : TextConversion::Strict);
    if (!loaded.text) {
        PrintError(loaded.error);
        return EXIT_STATUS_FAILED;
    }
    const std::string& text = *loaded.text;
    // What a build of this file alone would lose.
    for (const Loss& loss : TextLosses(text, IsChordModeText(text), loaded.replaced)) {
        PrintWarning(path, DescribeLoss(loss));
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
