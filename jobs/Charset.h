#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

// Text in memory and in records is Windows-1252; files on the desktop are UTF-8. These are the only
// conversions between the two.

// The characters that became "?" on the way into Windows-1252, each with how often; a broken UTF-8 sequence
// counts as U+FFFD. The sharp and flat signs are not among them: they become "#" and "b".
struct ReplacedCharacters
{
    std::map<char32_t, std::size_t> counts;

    bool empty() const { return counts.empty(); }
    std::size_t Total() const;
    void Merge(const ReplacedCharacters& other);

    bool operator==(const ReplacedCharacters&) const = default;
};

struct DecodedText
{
    std::string text;                // Windows-1252
    ReplacedCharacters replaced;     // each character that became "?"
    std::size_t invalidUtf8Line = 0; // for UTF-8 with an invalid byte, read as Windows-1252: that byte's line
};
// The encodings whose code units are wider than a byte.
enum class WideEncoding
{
    None, // bytes: UTF-8 or Windows-1252
    Utf16Le,
    Utf16Be,
    Utf32Le,
    Utf32Be,
};

struct WideForm
{
    WideEncoding encoding = WideEncoding::None;
    std::size_t markLength = 0; // the byte-order mark's bytes before the first code unit (none: 0)
};

// Whether a file's bytes are UTF-16 or UTF-32 text, and which. By a byte-order mark (FF FE 00 00 and 00 00 FE FF
// for UTF-32, FF FE and FE FF for UTF-16, little and big endian); or, without one, by the first 4 KiB when they
// hold a NUL byte: the file's length is a whole number of code units and, read in one of these encodings, the
// sample holds text only (no U+0000, no control character but tab, line feed, form feed and carriage return,
// no C1 control, no U+FFFE or U+FFFF, surrogates in pairs, nothing past U+10FFFF), more than half of it
// characters of U+0000 to U+00FF (a high byte of zero, as blanks, line ends and Latin letters have), among them
// a space, tab, line feed or carriage return. UTF-32 is tried before UTF-16. A Windows-1252 or UTF-8 text (no NUL
// byte), a Palm database (NUL code units in its header), an image or a text with a stray NUL byte is none of them.
WideForm WideFormOf(std::string_view bytes);

// A file's bytes as text: a leading UTF-8 byte-order mark is dropped; valid UTF-8 holding non-ASCII bytes is
// transcoded to Windows-1252 (as Utf8ToCp1252 does); UTF-16 and UTF-32 text (WideFormOf) is transcoded the same
// way; anything else is taken as Windows-1252 bytes unchanged. Such bytes that also hold well-formed UTF-8
// sequences are UTF-8 with a broken byte more likely than Windows-1252: they are still taken as Windows-1252, as
// files stored so far were, and `invalidUtf8Line` says on which line (from 1) the first broken byte is.
DecodedText DecodeFileText(std::string_view bytes);

// DecodeFileText for bytes known to be UTF-8 or Windows-1252, whatever NUL bytes they hold.
DecodedText DecodeNarrowText(std::string_view bytes);

// Code units of a wide encoding, without a byte-order mark, as Windows-1252: surrogate pairs are joined; a lone
// surrogate, a value past U+10FFFF, a last unit cut short and a character without a Windows-1252 form become "?",
// each counted. U+0000 stays a NUL.
DecodedText DecodeWideText(std::string_view units, WideEncoding encoding);

// Windows-1252 to UTF-8. The five bytes that Windows-1252 leaves undefined (81 8D 8F 90 9D) map to the C1
// controls of the same value, so every byte survives the round trip.
std::string Cp1252ToUtf8(std::string_view text);

// One code point in UTF-8.
std::string CodePointToUtf8(char32_t cp);

// UTF-8 to Windows-1252. The sharp sign U+266F becomes "#" and the flat sign U+266D "b", so chord names
// written with them stay chord names; any other character without a Windows-1252 form, and each invalid
// sequence, becomes "?". The second form also adds each character that became "?" to `replaced`.
std::string Utf8ToCp1252(std::string_view text);
std::string Utf8ToCp1252(std::string_view text, ReplacedCharacters& replaced);

// True when `bytes` is well-formed UTF-8 (shortest forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view bytes);
