#pragma once

#include <string>
#include <string_view>

// Text in memory and in records is Windows-1252; files on the desktop are UTF-8. These are the only
// conversions between the two.

// A file's bytes as loaded text: a leading UTF-8 byte-order mark is dropped; valid UTF-8 holding non-ASCII
// bytes is transcoded to Windows-1252 (characters without a Windows-1252 form become "?"); text after a
// UTF-16 byte-order mark (FF FE little endian, FE FF big endian) is transcoded the same way; anything else is
// taken as Windows-1252 bytes unchanged.
std::string DecodeFileText(std::string_view bytes);

// True when `bytes` starts with a UTF-16 byte-order mark, little or big endian.
bool StartsWithUtf16Bom(std::string_view bytes);

// Windows-1252 to UTF-8. The five bytes that Windows-1252 leaves undefined (81 8D 8F 90 9D) map to the C1
// controls of the same value, so every byte survives the round trip.
std::string Cp1252ToUtf8(std::string_view text);

// UTF-8 to Windows-1252; characters without a Windows-1252 form, and invalid sequences, become "?".
std::string Utf8ToCp1252(std::string_view text);

// True when `bytes` is well-formed UTF-8 (shortest forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view bytes);
