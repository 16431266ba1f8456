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
// A file's bytes as text: a leading UTF-8 byte-order mark is dropped; valid UTF-8 holding non-ASCII bytes is
// transcoded to Windows-1252 (as Utf8ToCp1252 does); text after a UTF-32 byte-order mark (FF FE 00 00 little
// endian, 00 00 FE FF big endian) or a UTF-16 one (FF FE, FE FF) is transcoded the same way; anything else is
// taken as Windows-1252 bytes unchanged. Such bytes that also hold well-formed UTF-8 sequences are UTF-8 with
// a broken byte more likely than Windows-1252: they are still taken as Windows-1252, as files stored so far
// were, and `invalidUtf8Line` says on which line (from 1) the first broken byte is.
DecodedText DecodeFileText(std::string_view bytes);

// True when `bytes` starts with a UTF-16 or UTF-32 byte-order mark, little or big endian: text that holds
// NUL bytes.
bool StartsWithWideBom(std::string_view bytes);

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
