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
    // What a build of this file alone would lose.
    if (input.emptyFile) {
        PrintWarning(path, "the file is empty");
    } else if (input.blankFile) {
        PrintWarning(path, messages::LossDescription(Loss{LossKind::EmptySong, 0, 0, {}, {}}));
    }
    const bool chordList = IsChordModeText(input.texts.front().text);
    std::string joined; // the songs of a songbook file; a file of one song is written as it is, not copied
    for (std::size_t song = 0; song < input.texts.size(); ++song) {
        const LoadedText& loaded = input.texts[song];
        const std::string subject = input.texts.size() == 1 ? path : path + ", song " + std::to_string(song + 1);
        // Only a chord list's own losses: a build leaves out what follows it.
        for (const Loss& loss : song == 0 || !chordList ? TextLosses(loaded, chordList) : std::vector<Loss>{}) {
            PrintWarning(subject, messages::LossDescription(loss));
        }
        // The songs of a songbook file, each after the line that starts it, as the file has them. A converted
        // tab song ends without a line end: the {new_song} line still stands on a line of its own.
        if (input.texts.size() > 1) {
            if (song > 0) {
                joined += joined.ends_with('\n') ? "{new_song}\r\n" : "\r\n{new_song}\r\n";
            }
            joined += loaded.text;
        }
    }
    const std::string& text = input.texts.size() > 1 ? joined : input.texts.front().text;
    // The loaded text already ends its lines with CR LF; text mode would make them CR CR LF.
    MakeStandardOutputBinary();
    const std::string utf8 = Cp1252ToUtf8(text);
    if (std::fwrite(utf8.data(), 1, utf8.size(), stdout) != utf8.size() || std::fflush(stdout) != 0) {
        PrintError("Can't write to standard output");
        return EXIT_STATUS_FAILED;
    }
    return EXIT_STATUS_OK;
}
