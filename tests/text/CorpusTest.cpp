// The conversion and the chord-definition format over the real files of the shared corpus.
#include "text/ChordDefinition.h"
#include "text/Scan.h"
#include "text/TabConvert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

const std::filesystem::path corpusDir = CORPUS_DIR;

TEST(Corpus, ConversionKeepsEveryLyricCharacterAndLeavesChordProAlone)
{
    if (!std::filesystem::is_directory(corpusDir))
        GTEST_SKIP() << "corpus folder " << corpusDir << " not found";
    const std::regex mark(R"(\[([^\]]*)\])");
    const auto strip = [&](std::string_view line) { return std::regex_replace(std::string(line), mark, ""); };
    int unchanged = 0, merges = 0;
    for (const char* folder : {"crd", "derived", "chordpro"})
        for (const auto& entry : std::filesystem::recursive_directory_iterator(corpusDir / folder)) {
            if (!entry.is_regular_file())
                continue;
            SCOPED_TRACE(entry.path().string());
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string text{std::istreambuf_iterator<char>(in), {}};
            const std::string converted = ConvertTabToChordPro(text);
            const auto has = [&](char c) { return text.find(c) != std::string::npos; };
            if (has('[') && has(']') && has('{') && has('}')) {
                EXPECT_EQ(converted, text);
                ++unchanged;
                continue;
            }
            // Each input line comes out, with marks or without, or is an empty line or a chord line giving the marks.
            std::string marks, chords;
            for (std::sregex_iterator it(converted.begin(), converted.end(), mark), end; it != end; ++it)
                marks += (*it)[1];
            std::string_view out = converted;
            for (std::string_view rest = text; !rest.empty();) {
                const std::string_view line = PopLine(rest);
                std::string_view outRest = out;
                const std::string_view outLine = PopLine(outRest);
                if (!out.empty() && (outLine == line || (!line.empty() && strip(outLine) == strip(line)))) {
                    out = outRest;
                    continue;
                }
                ASSERT_TRUE(line.empty() || IsChordLine(line, "x")) << "lost the line \"" << line << "\"";
                std::copy_if(line.begin(), line.end(), std::back_inserter(chords), [](char c) { return !IsBlank(c); });
                merges += !line.empty();
            }
            EXPECT_TRUE(out.empty()) << "output left over: " << out;
            EXPECT_TRUE(has('[') || marks == chords) << marks << " from the chord lines " << chords;
        }
    EXPECT_GE(unchanged, 10);
    EXPECT_GE(merges, 200);
}

TEST(Corpus, ChordDatabaseLinesReadAndWriteBack)
{
    std::ifstream in(corpusDir / "chords" / "guitar-chords-db.txt");
    if (!in)
        GTEST_SKIP() << "chord list not found in " << corpusDir;
    const std::regex fret15(" 15(?= |$)");
    int lines = 0, changed = 0;
    for (std::string line; std::getline(in, line); ++lines) {
        ChordRecord record;
        ASSERT_TRUE(ParseChordDefinition(line, record)) << line;
        const std::string written = FormatChordDefinition(record.StoredBytes()).value();
        // Fret 15 cannot be told from a muted string: it comes back as an x.
        EXPECT_EQ(written, std::regex_replace(line, fret15, " x"));
        changed += written != line;
    }
    EXPECT_EQ(lines, 3283);
    EXPECT_EQ(changed, 4); // Fmaj7#5, Fmmaj7, Bb13 and Bmmaj9 have a fingering on fret 15
}
