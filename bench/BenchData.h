#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

// Deterministic inputs for the benchmarks and the end-to-end script: the same sizes give the same bytes on
// every machine, so figures can be compared.

// Chords-over-lyrics text of about `bytes` bytes (CR LF line ends, no "["): section labels, chord lines with
// chords at word starts over lyric lines, blank lines between verses, like the tab files people post.
std::string MakeTabText(std::size_t bytes);

// One loaded song of about 2 KB (CR LF after every line): a "{title: Song NNNNN}" line, a subtitle, then
// lyric lines with inline chord marks.
std::string MakeLoadedSong(std::size_t index);

// A chord-definition list of `lines` lines ("NAME f1 f2 f3 f4 f5 f6", CR LF), a few of them rejected ones.
std::string MakeChordList(std::size_t lines);

// The record bytes of a song database (creator TuNe, type SONG) of `songs` songs, as the handheld keeps it.
std::vector<std::uint8_t> MakeSongDatabaseImage(std::size_t songs);

// A platform that never opens anything, has no environment and always tells the same time.
class CBenchPlatform : public IPlatform
{
public:
    Status OpenWithDefaultApplication(const std::string& path) override;
    DefaultApplication DefaultApplicationFor(const std::string&) override { return {}; }
    std::optional<std::string> Variable(const std::string&) override { return std::nullopt; }
    std::uint32_t Now() override { return 1136073600u; }
    std::uint32_t Random() override { return 4711; }
};
