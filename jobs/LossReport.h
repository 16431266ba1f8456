#pragma once

// What the handheld will not get of a loaded text, found before the text is exported, so that the command
// line and the window can say so before anything is lost. Nothing here changes what an export writes.

#include "jobs/LoadedText.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class LossKind
{
    TextCut,             // the song is longer than its record holds; count: characters lost
    CharactersReplaced,  // characters without a form in the handheld's character set became "?"; count: how many
    ChordValuesDropped,  // chord-definition lines with more than a name and six values; count: lines
    ChordNameCut,        // chord names longer than 19 characters; count: lines
    NotChordDefinitions, // lines of a chord list that are not chord definitions (blank lines aside); count: lines
    ChordListAsSong,     // a text laid out like a chord list whose first two lines are not chord definitions
    ChordListAfterSongs, // a chord list that is not the first text, so it goes in as a song
    FretValueTooHigh,    // chord definitions with a fret value of 15 (a string not played) or more; count: lines
    NulEndsSong,         // a NUL character, where the handheld ends the song; count: characters lost
    NulInChordList,      // chord definitions holding a NUL character; count: lines
    ReadAsWindows1252,   // UTF-8 with a broken byte, taken as Windows-1252 throughout; line: that byte's
    DatabaseNameChanged, // the database name lost characters
    EmptySong,           // a song with no text at all (the window's list reports it, the command line for a file)
};

struct Loss
{
    LossKind kind = LossKind::TextCut;
    std::size_t count = 0;
    std::size_t line = 0; // the first line concerned, counted from 1; 0 for none
    std::string text;     // UTF-8: that line (at most 60 characters, then "..."), the replaced characters, the name
    std::string lost;     // UTF-8: what of it is lost (the dropped values, the cut name, the name as written)

    bool operator==(const Loss&) const = default;
};

// The losses of one loaded text exported as a song, or as the chord list of a chord import database, with
// what became of its characters when it was decoded or typed.
std::vector<Loss> TextLosses(const LoadedText& loaded, bool chordList);

struct TextLossReport
{
    std::size_t text = 0; // index of the loaded text
    std::vector<Loss> losses;
};
// The losses of the export of `loadedTexts` as ExportLoadedTexts makes it: the first text alone when it is a
// chord list (or `chordList` says so), else every text as a song. Only texts that lose something are listed,
// in order.
std::vector<TextLossReport> ExportLosses(const std::vector<LoadedText>& loadedTexts,
                                         std::optional<bool> chordList = std::nullopt);

// The loss of a database name given in UTF-8 when it goes into the handheld's character set; nullopt when
// every character has a form there (or the name is not UTF-8, and so is taken byte for byte).
std::optional<Loss> DatabaseNameLoss(std::string_view utf8Name);
