#include "jobs/Charset.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace {

// Code points of the bytes 0x80 to 0x9F. The five bytes Windows-1252 leaves undefined map to the C1 control
// of the same value, so that every byte has a code point and comes back unchanged.
constexpr std::array<char32_t, 32> HIGH_CONTROL_BLOCK = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char REPLACEMENT = '?';
constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD; // what a broken sequence is reported as
constexpr char32_t MUSIC_SHARP_SIGN = 0x266F;
constexpr char32_t MUSIC_FLAT_SIGN = 0x266D;

char32_t Cp1252ToCodePoint(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F) {
        return HIGH_CONTROL_BLOCK[static_cast<std::size_t>(byte - 0x80)];
    }
    return byte;
}

// The Windows-1252 byte for a code point, or the letter chord names use for a musical sign; false when there
// is none.
bool CodePointToCp1252(char32_t cp, char& byte)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        byte = static_cast<char>(static_cast<unsigned char>(cp));
        return true;
    }
    for (std::size_t i = 0; i < HIGH_CONTROL_BLOCK.size(); ++i) {
        if (HIGH_CONTROL_BLOCK[i] == cp) {
            byte = static_cast<char>(static_cast<unsigned char>(0x80 + i));
            return true;
        }
    }
    if (cp == MUSIC_SHARP_SIGN || cp == MUSIC_FLAT_SIGN) {
        byte = cp == MUSIC_SHARP_SIGN ? '#' : 'b';
        return true;
    }
    return false;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    auto put = [&out](std::uint32_t value) { out.push_back(static_cast<char>(static_cast<unsigned char>(value))); };
    const auto v = static_cast<std::uint32_t>(cp);
    if (v < 0x80) {
        put(v);
    } else if (v < 0x800) {
        put(0xC0 | (v >> 6));
        put(0x80 | (v & 0x3F));
    } else if (v < 0x10000) {
        put(0xE0 | (v >> 12));
        put(0x80 | ((v >> 6) & 0x3F));
        put(0x80 | (v & 0x3F));
    } else {
        put(0xF0 | (v >> 18));
        put(0x80 | ((v >> 12) & 0x3F));
        put(0x80 | ((v >> 6) & 0x3F));
        put(0x80 | (v & 0x3F));
    }
}

struct Decoded
{
    bool valid = false;
    char32_t codePoint = 0;
    std::size_t length = 1; // bytes taken; for an invalid sequence its longest valid-looking start (at least 1)
};

// Decodes one UTF-8 sequence at `pos` (pos < bytes.size()). Follows the table of well-formed byte sequences:
// no overlong forms, no surrogates, nothing above U+10FFFF. An ill-formed sequence is consumed up to the first
// byte that cannot continue it, so that one error gives one replacement character.
Decoded DecodeOne(std::string_view bytes, std::size_t pos)
{
    const auto byteAt = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byteAt(pos);
    if (lead < 0x80) {
        return {true, lead, 1};
    }

    std::size_t count = 0;    // continuation bytes expected
    unsigned char low = 0x80; // allowed range of the first continuation byte
    unsigned char high = 0xBF;
    char32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        count = 1;
        cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        count = 2;
        cp = lead & 0x0Fu;
        if (lead == 0xE0) {
            low = 0xA0; // shortest form
        } else if (lead == 0xED) {
            high = 0x9F; // no surrogates
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        count = 3;
        cp = lead & 0x07u;
        if (lead == 0xF0) {
            low = 0x90; // shortest form
        } else if (lead == 0xF4) {
            high = 0x8F; // at most U+10FFFF
        }
    } else {
        return {false, 0, 1};
    }

    std::size_t length = 1;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = pos + 1 + i;
        if (at >= bytes.size()) {
            return {false, 0, length};
        }
        const unsigned char next = byteAt(at);
        const unsigned char lo = i == 0 ? low : 0x80;
        const unsigned char hi = i == 0 ? high : 0xBF;
        if (next < lo || next > hi) {
            return {false, 0, length};
        }
        cp = (cp << 6) | (next & 0x3Fu);
        ++length;
    }
    return {true, cp, length};
}

bool HasNonAscii(std::string_view bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return true;
        }
    }
    return false;
}

// One decoded code point as its Windows-1252 byte; a surrogate or a value past U+10FFFF becomes REPLACEMENT, as
// does a character without a form, each counted.
void AppendCodePoint(std::string& out, char32_t cp, ReplacedCharacters& replaced)
{
    char byte = REPLACEMENT;
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++replaced.counts[REPLACEMENT_CHARACTER];
    } else if (!CodePointToCp1252(cp, byte)) {
        ++replaced.counts[cp];
    }
    out.push_back(byte);
}

// UTF-16 code units, little or big endian, as Windows-1252: surrogate pairs are joined; a lone surrogate, and an
// odd last byte, become REPLACEMENT.
std::string Utf16ToCp1252(std::string_view bytes, bool bigEndian, ReplacedCharacters& replaced)
{
    const auto unitAt = [&bytes, bigEndian](std::size_t i) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char32_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    };
    std::string out;
    out.reserve(bytes.size() / 2 + 1);
    std::size_t pos = 0;
    for (; pos + 1 < bytes.size(); pos += 2) {
        char32_t cp = unitAt(pos);
        if (cp >= 0xD800 && cp <= 0xDBFF && pos + 3 < bytes.size()) {
            const char32_t low = unitAt(pos + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                pos += 2;
            }
        }
        AppendCodePoint(out, cp, replaced);
    }
    if (pos < bytes.size()) {
        ++replaced.counts[REPLACEMENT_CHARACTER];
        out.push_back(REPLACEMENT);
    }
    return out;
}

// UTF-32 code units as Windows-1252: a code point past U+10FFFF or a surrogate, and a last unit cut short,
// become REPLACEMENT.
std::string Utf32ToCp1252(std::string_view bytes, bool bigEndian, ReplacedCharacters& replaced)
{
    std::string out;
    out.reserve(bytes.size() / 4 + 1);
    std::size_t pos = 0;
    for (; pos + 3 < bytes.size(); pos += 4) {
        std::uint32_t cp = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const auto byte = static_cast<unsigned char>(bytes[pos + (bigEndian ? i : 3 - i)]);
            cp = (cp << 8) | byte;
        }
        AppendCodePoint(out, cp, replaced);
    }
    if (pos < bytes.size()) {
        ++replaced.counts[REPLACEMENT_CHARACTER];
        out.push_back(REPLACEMENT);
    }
    return out;
}

constexpr std::string_view UTF32_LE_BOM("\xFF\xFE\0\0", 4);
constexpr std::string_view UTF32_BE_BOM("\0\0\xFE\xFF", 4);

// How much of a file WideFormOf looks at when it has no byte-order mark: enough for a song's first lines, and
// a whole number of UTF-16 and UTF-32 code units.
constexpr std::size_t WIDE_SAMPLE_SIZE = 4096;

// True for a character a text file holds: no control character but tab, line feed, form feed and carriage
// return, no C1 control, no surrogate, no noncharacter U+FFFE or U+FFFF, nothing past U+10FFFF.
bool IsTextCodePoint(char32_t cp)
{
    if (cp < 0x20) {
        return cp == '\t' || cp == '\n' || cp == '\f' || cp == '\r';
    }
    return !(cp >= 0x7F && cp <= 0x9F) && !(cp >= 0xD800 && cp <= 0xDFFF) && cp != 0xFFFE && cp != 0xFFFF &&
           cp <= 0x10FFFF;
}

// The code unit of `size` bytes at `pos`.
char32_t UnitAt(std::string_view bytes, std::size_t pos, std::size_t size, bool bigEndian)
{
    std::uint32_t unit = 0;
    for (std::size_t i = 0; i < size; ++i) {
        unit = (unit << 8) | static_cast<unsigned char>(bytes[pos + (bigEndian ? i : size - 1 - i)]);
    }
    return unit;
}

// Read as code units of `size` bytes, whether `sample` holds text only (IsTextCodePoint) with more than half of
// its characters below U+0100, and a blank or a line end among them, as every song has (a few bytes of numbers
// have none). `cut` says the sample ends inside the file, where a pair of surrogates may be split.
bool ReadsAsWideText(std::string_view sample, std::size_t size, bool bigEndian, bool cut)
{
    std::size_t characters = 0, latin = 0;
    bool blank = false;
    for (std::size_t pos = 0; pos + size <= sample.size(); pos += size) {
        char32_t cp = UnitAt(sample, pos, size, bigEndian);
        if (size == 2 && cp >= 0xD800 && cp <= 0xDBFF) {
            if (pos + 4 > sample.size()) {
                if (!cut) {
                    return false;
                }
                break;
            }
            const char32_t low = UnitAt(sample, pos + 2, size, bigEndian);
            if (low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            pos += 2;
        }
        if (!IsTextCodePoint(cp)) {
            return false;
        }
        ++characters;
        latin += cp < 0x100 ? 1u : 0u;
        blank = blank || cp == ' ' || cp == '\t' || cp == '\n' || cp == '\r';
    }
    return blank && latin * 2 > characters;
}

// The line (from 1) of the first byte that is no well-formed UTF-8, when `bytes` also hold a well-formed
// sequence of more than one byte; 0 otherwise (ASCII, valid UTF-8, or bytes that read as Windows-1252 only).
std::size_t LineOfBrokenUtf8(std::string_view bytes)
{
    std::size_t firstInvalid = std::string_view::npos;
    bool multibyte = false;
    for (std::size_t pos = 0; pos < bytes.size();) {
        if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
            ++pos;
            continue;
        }
        const Decoded d = DecodeOne(bytes, pos);
        if (!d.valid && firstInvalid == std::string_view::npos) {
            firstInvalid = pos;
        }
        multibyte = multibyte || d.valid;
        if (multibyte && firstInvalid != std::string_view::npos) {
            // Lines end at LF; in a file of old Mac line ends, without any LF, at CR.
            const char lineEnd = bytes.find('\n') == std::string_view::npos ? '\r' : '\n';
            const std::string_view before = bytes.substr(0, firstInvalid);
            return 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), lineEnd));
        }
        pos += d.length;
    }
    return 0;
}

} // namespace

bool IsValidUtf8(std::string_view bytes)
{
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const Decoded d = DecodeOne(bytes, pos);
        if (!d.valid) {
            return false;
        }
        pos += d.length;
    }
    return true;
}

std::size_t ReplacedCharacters::Total() const
{
    std::size_t total = 0;
    for (const auto& [character, count] : counts) {
        total += count;
    }
    return total;
}

void ReplacedCharacters::Merge(const ReplacedCharacters& other)
{
    for (const auto& [character, count] : other.counts) {
        counts[character] += count;
    }
}

std::string Utf8ToCp1252(std::string_view text, ReplacedCharacters& replaced)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const Decoded d = DecodeOne(text, pos);
        char byte = REPLACEMENT;
        if (!d.valid) {
            ++replaced.counts[REPLACEMENT_CHARACTER];
        } else if (!CodePointToCp1252(d.codePoint, byte)) {
            ++replaced.counts[d.codePoint];
        }
        out.push_back(byte);
        pos += d.length;
    }
    return out;
}

std::string Utf8ToCp1252(std::string_view text)
{
    ReplacedCharacters ignored;
    return Utf8ToCp1252(text, ignored);
}

std::string CodePointToUtf8(char32_t cp)
{
    std::string out;
    AppendUtf8(out, cp);
    return out;
}

std::string Cp1252ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        AppendUtf8(out, Cp1252ToCodePoint(static_cast<unsigned char>(c)));
    }
    return out;
}

WideForm WideFormOf(std::string_view bytes)
{
    // The UTF-32 marks first: the little-endian one starts like the UTF-16 one.
    if (bytes.starts_with(UTF32_LE_BOM) || bytes.starts_with(UTF32_BE_BOM)) {
        return {bytes[0] == '\0' ? WideEncoding::Utf32Be : WideEncoding::Utf32Le, 4};
    }
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        return {bytes[0] == '\xFE' ? WideEncoding::Utf16Be : WideEncoding::Utf16Le, 2};
    }
    // Without a mark: only bytes holding a NUL are looked at, so every 8-bit text reads as it always did.
    const std::string_view sample = bytes.substr(0, WIDE_SAMPLE_SIZE);
    if (sample.find('\0') == std::string_view::npos) {
        return {};
    }
    const bool cut = sample.size() < bytes.size();
    constexpr std::pair<WideEncoding, std::size_t> TRIED[] = {
        {WideEncoding::Utf32Le, 4}, {WideEncoding::Utf32Be, 4}, {WideEncoding::Utf16Le, 2}, {WideEncoding::Utf16Be, 2}};
    for (const auto& [encoding, size] : TRIED) {
        const bool bigEndian = encoding == WideEncoding::Utf32Be || encoding == WideEncoding::Utf16Be;
        if (bytes.size() % size == 0 && ReadsAsWideText(sample, size, bigEndian, cut)) {
            return {encoding, 0};
        }
    }
    return {};
}

DecodedText DecodeWideText(std::string_view units, WideEncoding encoding)
{
    DecodedText decoded;
    switch (encoding) {
    case WideEncoding::Utf32Le:
    case WideEncoding::Utf32Be:
        decoded.text = Utf32ToCp1252(units, encoding == WideEncoding::Utf32Be, decoded.replaced);
        break;
    case WideEncoding::Utf16Le:
    case WideEncoding::Utf16Be:
        decoded.text = Utf16ToCp1252(units, encoding == WideEncoding::Utf16Be, decoded.replaced);
        break;
    case WideEncoding::None:
        decoded.text = std::string(units);
        break;
    }
    return decoded;
}

DecodedText DecodeNarrowText(std::string_view bytes)
{
    DecodedText decoded;
    constexpr std::string_view BOM = "\xEF\xBB\xBF";
    if (bytes.substr(0, BOM.size()) == BOM) {
        bytes.remove_prefix(BOM.size());
    }
    // Plain ASCII reads the same either way; only valid UTF-8 with non-ASCII bytes needs transcoding.
    if (HasNonAscii(bytes)) {
        if (IsValidUtf8(bytes)) {
            decoded.text = Utf8ToCp1252(bytes, decoded.replaced);
            return decoded;
        }
        decoded.invalidUtf8Line = LineOfBrokenUtf8(bytes);
    }
    decoded.text = std::string(bytes);
    return decoded;
}

DecodedText DecodeFileText(std::string_view bytes)
{
    const WideForm wide = WideFormOf(bytes);
    if (wide.encoding != WideEncoding::None) {
        return DecodeWideText(bytes.substr(wide.markLength), wide.encoding);
    }
    return DecodeNarrowText(bytes);
}
