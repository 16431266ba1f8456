// The chord-sheet conversion: each rule over a short sheet, and what it must leave alone.
#include "text/SheetConvert.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

TEST(SheetConvert, FollowsEachRuleAndLeavesChordProProseAndMailAlone)
{
    const char* const same = nullptr; // the text comes out unchanged
    const std::pair<std::string, const char*> cases[] = {
        // Chord line over lyrics: marks at their columns, tab stops every 8 columns, past the end a space apart.
        {"\tAm\nA tab   before\n", "A tab   [Am]before\n"},
        {"  Dm\t Cm\nA tab, then\n", "A [Dm]tab, th[Cm]en\n"},
        {"C    G7       F\nHallelujah\n", "[C]Halle[G7]lujah [F]\n"},
        // A chord line typed for tab stops every 4 columns: the stops that put more chords over word starts.
        {"C\t\t         G\nRound yon Virgin Mother and child.\n", "[C]Round yon Virgin [G]Mother and child.\n"},
        // Chord lines with extras, and with no lyric under them.
        {"N.C.  G  |  C  x2\nla\n", "[N.C.] [G] | [C] x2\nla\n"},
        {"| G % | C7/G |\nIntro: E (repeat)\nOutro: C  Am  (repeat to fade)\n",
         "| [G] % | [C7/G] |\nIntro: [E] (repeat)\nOutro: [C] [Am] (repeat to fade)\n"},
        {"[Intro] Bb / Ebmaj7 2x\n\n", "Intro: [Bb] / [Ebmaj7] 2x\n\n"},
        // A chord in parentheses merged into a lyric stands at its name.
        {"(G)   (C)\nla la la\n", "l[G]a la l[C]a\n"},
        // Chords with extensions the program does not know; a line of mostly chords; one unknown word is text.
        {"Esus4  A7-9/unk  A13/unk\nA line with chords\n", "[Esus4]A line [A7-9/unk]with chord[A13/unk]s\n"},
        {"G  C  Em  #m\nla la la la la\n", "[G]la [C]la [Em]la la la #m\n"},
        // Diminished and half-diminished written with the degree sign and the slashed o (Windows-1252 B0, F8, D8).
        {"B\260   C\3707  D\330  E\2607/G\nla la la la la la la\n",
         "[B\260]la la[C\3707] la l[D\330]a la[E\2607/G] la la\n"},
        // Exported markup: [ch] marks a chord where it would stand without the tags (any case); lines of tags go.
        {"[tab]\n[CH]Am[/CH]   [ch]Zz9[/ch]\nla la la la\n[/tab]\n", "[Am]la la la la Zz9\n"},
        // Header fields become directives, never the title; one that does not fit a directive is a comment.
        {"Tuning: G C E A | Key: C | Capo: No capo\nTempo: 96\nArtist: Jo\nAlbum: Best\nCapo: 2\nMy Song\n",
         "{comment: Tuning: G C E A}\n{key: C}\n{comment: Capo: No capo}\n{tempo: 96}\n{artist: Jo}\n"
         "{comment: Album: Best}\n{capo: 2}\n{title: My Song}\n"},
        // A title field names the song, the first one only, and no lyric line becomes the title then.
        {"Song: Rain\nComposer: Jo\nTitle: Snow\nSubtitle: Live\n\nla la\n",
         "{title: Rain}\n{comment: Composer: Jo}\n{comment: Title: Snow}\n{subtitle: Live}\n\nla la\n"},
        // Plain text as ChordPro itself writes it: notes after "-- " become directives, a tab block stays as it is.
        {"-- Title: Swing\n-- Start of chorus\n      G\nSwing low\n-- End of chorus\n-- Chorus\n"
         "-- Start of tab\n  G\nla\n-- End of tab\n-- End of chorus\n-- Start of tab\n",
         "{title: Swing}\n{start_of_chorus}\nSwing [G]low\n{end_of_chorus}\n{comment: Chorus}\n"
         "{start_of_tab}\n  G\nla\n{end_of_tab}\n"},
        {"-- 2 --\nChorus\nla\n-- Start of chorus\nlo\n-- Start of tab\n-- End of tab\n",
         "-- 2 --\n{comment: Chorus}\n{start_of_chorus}\nla\n{end_of_chorus}\n"
         "{start_of_chorus}\nlo\n{end_of_chorus}\n"},
        // A remark in parentheses on a chord line is text; one left open makes the line no chord line.
        {"Outro:\nC  D  F\nAm  D ( fade out with Am )\n",
         "{comment: Outro}\n[C] [D] [F]\n[Am] [D] ( fade out with Am )\n"},
        {"Song\nG ( oh my\nla\n", "{title: Song}\nG ( oh my\nla\n"},
        // Section labels; a chorus ends at a label, a tab block, two blank lines or the end; one blank line stays in.
        {"Chorus\nla\n\ne|--3--|-----|\nB|--1--|-----|\n",
         "{comment: Chorus}\n{start_of_chorus}\nla\n{end_of_chorus}\n\n{start_of_tab}\ne|--3--|-----|\nB|--1--|-----|\n"
         "{end_of_tab}\n"},
        {"Chorus:\nla\n\nlo\n\n\nla\n", "{comment: Chorus}\n{start_of_chorus}\nla\n\nlo\n{end_of_chorus}\n\n\nla\n"},
        {"Chorus\nla\n\nlo\n** Chorus **\nV. 2\nSong\nV. is for victory\n",
         "{comment: Chorus}\n{start_of_chorus}\nla\n\nlo\n{end_of_chorus}\n{comment: Chorus}\n{comment: V. 2}\nSong\n"
         "V. is for victory\n"},
        // A capo note in words is a comment, never the title, and is passed over for the title.
        {"Capo on 5th fret, sounding key of F\nSong\n C\nAway\nPlay on 3rd fret\n",
         "{comment: Capo on 5th fret, sounding key of F}\n{title: Song}\nA[C]way\n{comment: Play on 3rd fret}\n"},
        // Staff lines (four dashes or more) kept as they are, with the chord line above and a text line below.
        {"Am  G\ne|--3--|-----|\nB|--1--|-----|\n  ta ta\n\nG\nla\n",
         "{start_of_tab}\nAm  G\ne|--3--|-----|\nB|--1--|-----|\n  ta ta\n{end_of_tab}\n\n[G]la\n"},
        // Numbers and a lone corner are no diagram: a count-in and a sum stay lyrics.
        {"Song\n1 2 3 4\n4 + 4\nla la\n", "{title: Song}\n1 2 3 4\n4 + 4\nla la\n"},
        // Blank lines stay; the title comes from the first line that is not blank.
        {"\nAmazing Grace\nG\nla\n", "\n{title: Amazing Grace}\n[G]la\n"},
        {"Oasis - Wonderwall\nSubtitle: Live\n", "{title: Wonderwall}\n{subtitle: Oasis}\n{comment: Subtitle: Live}\n"},
        {"Amazing Grace \x96 by John Newton\n", "{title: Amazing Grace}\n{subtitle: by John Newton}\n"},
        {"Hallelujah Chords by Leonard Cohen\nDifficulty: novice\n",
         "{title: Hallelujah Chords by Leonard Cohen}\n{comment: Difficulty: novice}\n"},
        // Lines with an e-mail address carry no marks.
        {"From: jo@mail.com - Tabs\nEm\nbob@example.org\n", "From: jo@mail.com - Tabs\n[Em]\nbob@example.org\n"},
        // ChordPro with chord lines over its lyrics: the chord lines are merged, a staff outside a block goes into
        // one; directives, labels, headers and the lines of tab and grid blocks stay as they are.
        {"{title: Song}\nKey: C\nG     C\nHello there\n[Chorus]\n",
         "{title: Song}\nKey: C\n[G]Hello [C]there\n[Chorus]\n"},
        {"{soc}\nG\nla\n{eoc}\n{sot}\nG\ne|--3--|-----|\n{eot}\n{start_of_grid: 4x4}\n| G . . . | C |\n{end_of_grid}\n"
         "e|--3--|-----|\n",
         "{soc}\n[G]la\n{eoc}\n{sot}\nG\ne|--3--|-----|\n{eot}\n{start_of_grid: 4x4}\n| G . . . | C |\n{end_of_grid}\n"
         "{start_of_tab}\ne|--3--|-----|\n{end_of_tab}\n"},
        // Left alone: ChordPro (a chord mark), prose and a fingering, a chord list.
        {"Chorus\n[G]Amazing [C]grace\n", same},
        {"Key: G\nA Day In Eden\nAdd Ebb Bad Dad Bee\nAm Cm Em Hmm\nAm7  x02010\n",
         "{key: G}\n{title: A Day In Eden}\nAdd Ebb Bad Dad Bee\nAm Cm Em Hmm\nAm7  x02010\n"},
        {"C x 3 2 0 1 0\nD x x 0 2 3 2\n", same},
    };
    // As intake loads a text, every line ends in CR LF.
    const auto loaded = [](const std::string& text) { return std::regex_replace(text, std::regex("\n"), "\r\n"); };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(ConvertSheetToChordPro(loaded(input)), loaded(expected != same ? expected : input)) << input;
}
