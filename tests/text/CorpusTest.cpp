// Runs the conversion and the chord-definition format over the real files of the shared corpus.
#include "text/ChordDefinition.h"
#include "text/Scan.h"
#include "text/TabConvert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path corpusDir = CORPUS_DIR;

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A text as intake loads it: lines split at LF, a CR before the LF dropped, CR LF after every line.
std::string LoadedText(const std::string& bytes)
{
    std::string text;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        const std::size_t next = end == std::string::npos ? bytes.size() : end + 1;
        if (end == std::string::npos)
            end = bytes.size();
        if (end > start && bytes[end - 1] == '\r')
            --end;
        text.append(bytes, start, end - start);
        text += "\r\n";
        start = next;
    }
    return text;
}

std::vector<std::string> SplitCrLf(const std::string& text)
{
    std::vector<std::string> lines;
    if (text.empty())
        return lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    std::string word;
    for (const char c : line + ' ') {
        if (c != ' ' && c != '\t')
            word += c;
        else if (!word.empty())
            words.push_back(std::move(word)), word.clear();
    }
    return words;
}

// Removes every "[...]" from a line and collects what stood inside.
std::string WithoutMarks(const std::string& line, std::vector<std::string>* marks = nullptr)
{
    std::string rest;
    std::size_t i = 0;
    while (i < line.size()) {
        const std::size_t close = line[i] == '[' ? line.find(']', i) : std::string::npos;
        if (close == std::string::npos) {
            rest += line[i++];
            continue;
        }
        if (marks)
            marks->push_back(line.substr(i + 1, close - i - 1));
        i = close + 1;
    }
    return rest;
}

bool IsSubsequence(const std::string& part, const std::string& whole)
{
    std::size_t at = 0;
    for (const char c : whole)
        if (at < part.size() && part[at] == c)
            ++at;
    return at == part.size();
}

bool HasAllBrackets(const std::string& text)
{
    return std::all_of(
        std::begin("[]{}"), std::end("[]{}") - 1, [&](char c) { return text.find(c) != std::string::npos; });
}

// Matches the converted lines against the input lines in order. Every input line must come out unchanged,
// or be a chord line merged into the lyric line below it, or be the one empty line dropped after a merge.
// A merged line must hold every character of its lyric line, in order, plus one mark per chord word.
// Returns the number of merged lines; adds a failure when the lines do not match.
int CheckNoLyricCharacterLost(const std::string& loaded, const std::string& converted)
{
    std::vector<std::string> in;
    for (std::string_view text = loaded; !text.empty();)
        in.emplace_back(PopLine(text));
    const std::vector<std::string> out = SplitCrLf(converted);

    std::size_t p = 0;
    bool afterMerge = false;
    int merges = 0;
    for (std::size_t o = 0; o < out.size(); ++o) {
        if (afterMerge && p < in.size() && in[p].empty())
            ++p;
        afterMerge = false;
        if (p < in.size() && out[o] == in[p]) {
            ++p;
            continue;
        }
        if (p + 1 >= in.size()) {
            ADD_FAILURE() << "output line " << o + 1 << " \"" << out[o] << "\" matches no input line";
            return merges;
        }
        const std::string& chords = in[p];
        const std::string& lyric = in[p + 1];
        const std::vector<std::string> words = Words(chords);
        std::size_t marksLength = 0;
        for (const std::string& word : words)
            marksLength += word.size() + 2;

        SCOPED_TRACE("output line " + std::to_string(o + 1) + " \"" + out[o] + "\" from \"" + chords + "\" over \"" +
                     lyric + "\"");
        EXPECT_TRUE(IsChordLine(chords, lyric));
        EXPECT_EQ(out[o].size(), lyric.size() + marksLength);
        EXPECT_TRUE(IsSubsequence(lyric, out[o]));
        if (lyric.find_first_of("[]") == std::string::npos) {
            std::vector<std::string> marks;
            EXPECT_EQ(WithoutMarks(out[o], &marks), lyric);
            EXPECT_EQ(marks, words);
        }
        if (testing::Test::HasFailure())
            return merges;
        p += 2;
        afterMerge = true;
        ++merges;
    }
    if (afterMerge && p < in.size() && in[p].empty())
        ++p;
    EXPECT_EQ(p, in.size()) << "input lines from " << p + 1 << " are missing from the output";
    return merges;
}

std::vector<fs::path> SongFiles()
{
    std::vector<fs::path> files;
    for (const char* folder : {"crd", "derived", "chordpro"})
        for (const auto& entry : fs::recursive_directory_iterator(corpusDir / folder))
            if (entry.is_regular_file())
                files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(Corpus, ConversionKeepsEveryLyricCharacterAndLeavesChordProAlone)
{
    if (!fs::is_directory(corpusDir))
        GTEST_SKIP() << "corpus folder " << corpusDir << " not found";

    const std::vector<fs::path> files = SongFiles();
    ASSERT_GE(files.size(), 60u);
    int unchanged = 0;
    int merges = 0;
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        const std::string loaded = LoadedText(ReadFile(file));
        ASSERT_FALSE(loaded.empty());
        const std::string converted = ConvertTabToChordPro(loaded);
        if (HasAllBrackets(loaded)) {
            EXPECT_EQ(converted, loaded);
            ++unchanged;
        } else {
            merges += CheckNoLyricCharacterLost(loaded, converted);
        }
    }
    // Both halves of the check must have had something to look at.
    EXPECT_GE(unchanged, 10);
    EXPECT_GE(merges, 200);
}

TEST(Corpus, ChordDatabaseLinesReadAndWriteBack)
{
    const fs::path file = corpusDir / "chords" / "guitar-chords-db.txt";
    if (!fs::is_regular_file(file))
        GTEST_SKIP() << "chord list " << file << " not found";

    // Fingerings on fret 15, which a record cannot tell from a muted string: they come back with an x.
    const std::set<std::string> fret15 = {
        "Fmaj7#5 x x 15 14 14 12",
        "Fmmaj7 x x 15 13 13 12",
        "Bb13 x 13 12 13 15 15",
        "Bmmaj9 x 14 12 15 14 x",
    };
    std::istringstream in(ReadFile(file));
    std::size_t count = 0;
    std::set<std::string> changed;
    for (std::string line; std::getline(in, line);) {
        ++count;
        SCOPED_TRACE(line);
        ChordRecord record;
        ASSERT_TRUE(ParseChordDefinition(line, record));
        const std::optional<std::string> written = FormatChordDefinition(record.StoredBytes());
        ASSERT_TRUE(written.has_value());
        if (*written == line)
            continue;
        changed.insert(line);
        std::vector<std::string> expected = Words(line);
        std::replace(expected.begin() + 1, expected.end(), std::string("15"), std::string("x"));
        EXPECT_EQ(Words(*written), expected);
    }
    EXPECT_EQ(count, 3283u);
    EXPECT_EQ(changed, fret15);
}

} // namespace
