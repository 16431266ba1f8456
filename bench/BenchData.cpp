#include "bench/BenchData.h"

#include "jobs/TuneloreDatabase.h"
#include "pdb/PalmDatabase.h"
#include "pdb/PdbRecord.h"
#include "text/RecordFormat.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <string_view>

namespace {

// A small linear congruential generator: the same sequence everywhere, unlike std::rand.
class CSequence
{
public:
    explicit CSequence(std::uint32_t seed)
        : m_state(seed)
    {}
    std::size_t Next(std::size_t bound)
    {
        m_state = m_state * 1664525u + 1013904223u;
        return static_cast<std::size_t>(m_state >> 8) % bound;
    }

private:
    std::uint32_t m_state;
};

constexpr std::array<std::string_view, 40> WORDS = {
    "amazing", "grace", "how",   "sweet", "the",  "sound", "that",    "saved", "a",       "wretch",
    "like",    "me",    "I",     "once",  "was",  "lost",  "but",     "now",   "am",      "found",
    "river",   "deep",  "and",   "wide",  "over", "there", "morning", "light", "shining", "down",
    "on",      "my",    "weary", "road",  "home", "again", "singing", "low",   "chariot", "swing"};
constexpr std::array<std::string_view, 16> CHORDS = {
    "G", "C", "D", "Em", "Am", "D7", "G/B", "Cadd9", "F#m", "Bm", "A7", "Dsus4", "E", "F", "Bb", "C#m7"};
constexpr std::array<std::string_view, 5> LABELS = {"Verse 1:", "Chorus:", "Verse 2:", "Bridge:", "Outro"};

// One chord line over one lyric line, chords at the starts of some words.
void AppendVersePair(CSequence& sequence, std::string& text)
{
    std::string lyric;
    std::string chords;
    const std::size_t words = 5 + sequence.Next(4);
    for (std::size_t i = 0; i < words; ++i) {
        if (!lyric.empty()) {
            lyric += ' ';
        }
        if (i == 0 || sequence.Next(3) == 0) {
            if (chords.size() < lyric.size()) {
                chords.append(lyric.size() - chords.size(), ' ');
            }
            if (chords.size() == lyric.size()) {
                chords += CHORDS[sequence.Next(CHORDS.size())];
                chords += ' ';
            }
        }
        lyric += WORDS[sequence.Next(WORDS.size())];
    }
    while (!chords.empty() && chords.back() == ' ') {
        chords.pop_back();
    }
    text += chords;
    text += "\r\n";
    text += lyric;
    text += "\r\n";
}

} // namespace

std::string MakeTabText(std::size_t bytes)
{
    CSequence sequence(42);
    std::string text;
    text.reserve(bytes + 256);
    while (text.size() < bytes) {
        text += LABELS[sequence.Next(LABELS.size())];
        text += "\r\n";
        for (int pair = 0; pair < 4; ++pair) {
            AppendVersePair(sequence, text);
        }
        text += "\r\n";
    }
    return text;
}

std::string MakeLoadedSong(std::size_t index)
{
    CSequence sequence(static_cast<std::uint32_t>(index) + 7u);
    char title[64];
    std::snprintf(title, sizeof title, "{title: Song %05zu}\r\n{subtitle: Benchmark}\r\n", index);
    std::string text = title;
    while (text.size() < 2000) {
        const std::size_t words = 5 + sequence.Next(4);
        for (std::size_t i = 0; i < words; ++i) {
            if (i > 0) {
                text += ' ';
            }
            if (sequence.Next(3) == 0) {
                text += '[';
                text += CHORDS[sequence.Next(CHORDS.size())];
                text += ']';
            }
            text += WORDS[sequence.Next(WORDS.size())];
        }
        text += "\r\n";
    }
    return text;
}

std::string MakeChordList(std::size_t lines)
{
    static constexpr std::array<std::string_view, 12> DEFINITIONS = {"C x 3 2 0 1 0",
                                                                     "G 3 2 0 0 0 3",
                                                                     "D x x 0 2 3 2",
                                                                     "Am x 0 2 2 1 0",
                                                                     "Em 0 2 2 0 0 0",
                                                                     "F 1 3 3 2 1 1",
                                                                     "Bb7 x 1 3 1 3 1",
                                                                     "C#m7b5 x 4 5 4 5 x",
                                                                     "Dsus4 x x 0 2",
                                                                     "Fmaj7#5 x x 15 14 14 12",
                                                                     "# a comment, rejected",
                                                                     ""};
    std::string text;
    text.reserve(lines * 18);
    for (std::size_t i = 0; i < lines; ++i) {
        text += DEFINITIONS[i % DEFINITIONS.size()];
        text += "\r\n";
    }
    return text;
}

std::vector<std::uint8_t> MakeSongDatabaseImage(std::size_t songs)
{
    CPalmDatabase database("TuneloreSongs", TUNELORE_CREATOR, SONG_DB_TYPE, false, 1136073600u);
    for (std::size_t i = 0; i < songs; ++i) {
        CPdbRecord record;
        record.SetData(MakeSongRecord(MakeLoadedSong(i)));
        database.AddRecord(record);
    }
    return database.Serialize().value();
}

Status CBenchPlatform::OpenWithDefaultApplication(const std::string&)
{
    return {};
}
