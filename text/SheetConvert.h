#pragma once

#include <string>
#include <string_view>

// Turns a chord sheet as tab sites write it (chord lines over lyric lines, section labels, tablature) into
// ChordPro. `loadedText` is a loaded text: Windows-1252, every line ending in CR LF. A text that is already
// ChordPro (a directive line such as "{title: ...}", or a chord mark such as "[Am]" anywhere) is returned
// unchanged. Otherwise every line of the result ends in CR LF, and:
// - a line of chords (with bar lines, "N.C.", "x2", "/", "%", "(repeat)" or a leading "Intro:" among them)
//   over a lyric line is merged into it as "[chord]" marks at their columns (tab stops every 8 columns);
//   a chord line with no lyric line under it becomes a line of marks, "[G] [C] [D]";
// - a section label on a line of its own ("[Verse 1]", "Chorus:", "Bridge") becomes "{comment: label}",
//   and a chorus is also wrapped in {start_of_chorus} ... {end_of_chorus}, up to the next label, two blank
//   lines in a row, or the end;
// - runs of tablature staff lines ("e|--3--|") are kept unchanged inside {start_of_tab} ... {end_of_tab},
//   with the line right above them (chord names, mostly) and a text line right below them (before a blank
//   line) inside too;
// - the first line that is not blank becomes "{title: ...}" when it is plain text (not chords, a label, a
//   "Key: value" field, an e-mail line or a chord definition); "Artist - Title" gives the title and
//   "{subtitle: Artist}";
// - every other line, blank lines included, is kept as it is.
// Cost is linear in the length of the text.
std::string ConvertSheetToChordPro(std::string_view loadedText);
