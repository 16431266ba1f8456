#pragma once

// The handheld's song and chord records, in one place: how a loaded text becomes a song record and a song
// record a text again, the text length the handheld keeps, the marker record a song database may hold, and
// chord records to and from chord-definition lines. Export, extraction, the way in, the loss report and the
// front ends all go through these functions, so the format is written down once.
//
// A record is taken and given as its bytes (a span, a vector) rather than as a CPdbRecord: the format is
// bytes in, bytes out, so it sits in text/ beside the chord-definition syntax it builds on and needs nothing
// of pdb/. Callers hand over `record.Data()` and store the bytes with `SetData`.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The characters of a song record before its NUL: the handheld keeps no more of a song.
inline constexpr std::size_t SONG_MAX_TEXT = 7999;

// The song record of a loaded text: its lines re-joined with LF (every line end PopLine knows becomes one LF,
// and the last line gets one too), cut to SONG_MAX_TEXT characters, then a NUL.
std::vector<std::uint8_t> MakeSongRecord(std::string_view loadedText);

// The characters of the song record of `loadedText` before the cut at SONG_MAX_TEXT: its lines joined with
// LF, without the line end after the last line (which the handheld can do without).
std::size_t SongTextLength(std::string_view loadedText);

// A song's text: the record's bytes up to the first NUL (all of them when there is none).
std::string_view SongRecordText(std::span<const std::uint8_t> record);

// The loaded text of a song record, as the way in makes one: the text up to its NUL, every LF as CR LF.
// Making a song record of it again gives the same text.
std::string LoadedTextOfSongRecord(std::span<const std::uint8_t> record);

// A record of a song database that is not a song: at least 6 bytes, starting FF EE DD 00.
bool IsMarkerRecord(std::span<const std::uint8_t> record);

// The chord record of a chord-definition line (frets, two reserved zero bytes, the name and its NUL);
// nullopt when the line is no chord definition, which gives no record.
std::optional<std::vector<std::uint8_t>> MakeChordRecord(std::string_view definitionLine);

// The chord-definition line of a chord record (as FormatChordDefinition), with every control character of the
// name (below 0x20, and 0x7F) as "?", so that a name cannot add lines; nullopt for a record too short.
std::optional<std::string> ChordLineOfRecord(std::span<const std::uint8_t> record);
