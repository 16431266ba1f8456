#pragma once

#include <string>
#include <string_view>

// Turns chords-over-lyrics text into inline ChordPro chord marks. A text that holds all of "[", "]", "{"
// and "}" is returned unchanged; otherwise lines are re-joined with CR LF and no line end after the last.
// Cost is linear in the length of the text.
std::string ConvertTabToChordPro(std::string_view text);

// True when `chordLine` holds only chord tokens (or only blanks) and `lyricLine` is a lyric line below it.
bool IsChordLine(std::string_view chordLine, std::string_view lyricLine);

// A word that starts with A-H and continues with ASCII letters, digits or one of # ( ) + /.
bool IsChordToken(std::string_view word);

// Inserts a "[chord]" mark into `lyricLine` for every word of `chordLine`, at the word's column.
void MergeChordLine(std::string_view chordLine, std::string& lyricLine);
