#pragma once

#include <string>
#include <string_view>

// Turns a chord sheet as tab sites write it (chord lines over lyric lines, section labels, header lines,
// tablature) into ChordPro. `loadedText` is a loaded text: Windows-1252, every line ending in CR LF. A text
// with a chord mark such as "[Am]" anywhere is ChordPro already and is returned unchanged. Otherwise every
// line of the result ends in CR LF, the markup of exported text is taken out first ("[ch]G[/ch]" is the
// chord G where it would stand without the tags, "[tab]" and "[/tab]" go, a line of tags alone goes), and:
// - a line of chords (with bar lines, "N.C.", "x2", "/", "%", "(repeat)", a remark in parentheses or a
//   leading "Intro:" among them; chords with extensions the program does not know, such as "A7-9/unk"; or
//   mostly chords) over a lyric line is merged into it as "[chord]" marks at their columns (tab stops every
//   8 columns, or every 4 when the chord line holds a tab and 4 puts more of its chords over the start of a
//   word); its other words follow the line as text. A chord line with a leading label or bar lines, or
//   with no lyric line under it, becomes a line of marks, "| [G] | [C] | x2";
// - a section label on a line of its own ("[Verse 1]", "Chorus:", "Bridge", "** Chorus **", "V. 1") becomes
//   "{comment: label}", and a chorus is also wrapped in {start_of_chorus} ... {end_of_chorus}, up to the next
//   label, a tab block, two blank lines in a row, or the end;
// - header lines ("Key: C", "Capo: 2", "Tempo: 96", "Artist: ...", "Title: ...", or fields joined by bars,
//   "Tuning: G C E A | Key: C") become {key: C}, {capo: 2}, {tempo: 96}, {artist: ...}, the first title
//   ("Title:" or "Song:") and subtitle field {title: ...} and {subtitle: ...}, and {comment: Name: value} for
//   any other field or a value that does not fit; a capo note in words ("Capo on 5th fret", "Play on 3rd
//   fret") becomes {comment: ...};
// - notes of the plain text ChordPro writes ("-- Title: ...", "-- Start of chorus", "-- Key is D") become
//   the directives they stand for: title and subtitle as header fields, a chorus, a tab block whose lines are
//   kept as they are (only when "-- End of tab" follows), and {comment: ...} for any other note;
// - runs of tablature staff lines ("e|--3--|") are kept unchanged inside {start_of_tab} ... {end_of_tab},
//   with the line right above them (chord names, mostly) and a text line right below them (before a blank
//   line) inside too;
// - unless a title field named the song, the first line that is neither blank, a header line, a note, a capo
//   note nor a "# ..." comment line becomes "{title: ...}" when it is plain text (not chords, a label, a
//   "Key: value" field, an e-mail line or a chord definition); "Artist - Title" gives the title and
//   "{subtitle: Artist}", "Title - by Artist" the title and "{subtitle: by Artist}"; without such a line, when
//   the first line of the result would not name the song (a directive, a line with chord marks, a row of "=",
//   a blank), `fallbackTitle` (the file's name, say) becomes "{title: ...}" in front, unless it is empty;
// - every other line, blank lines included, is kept as it is.
// A text with directive lines ("{title: ...}", "{soc}") but no chord mark only has its chord lines merged
// and its staffs put in tab blocks; its directives, labels, header lines, notes and first line, and the lines
// inside its own tab, grid or other blocks that hold no lyrics, stay as they are.
// Cost is linear in the length of the text.
// `fallbackTitle` is Windows-1252 without line ends or braces.
std::string ConvertSheetToChordPro(std::string_view loadedText, std::string_view fallbackTitle = {});
