// The way a file's bytes become loaded texts, over arbitrary bytes: decoding (UTF-8, Windows-1252, UTF-16 and
// UTF-32 with or without a byte-order mark) and the split of a songbook file at its {new_song} lines.
//
// 1. There is at least one loaded text, and every one ends each line with CR LF: no LF without a CR before it,
//    and a text that is not empty ends with CR LF.
// 2. The songs together count no character that decoding the whole file did not replace with "?", nor any more
//    often: re-decoding the songs one by one invents none. A file of one song counts exactly the same.
// 3. When the whole file has a broken UTF-8 byte, exactly one song names its line, the line the whole file
//    gives; otherwise none does.
// 4. Bytes taken for UTF-16 or UTF-32 without a mark have a NUL byte in their first 4 KiB and a length that is
//    a whole number of code units; any other bytes decode as the 8-bit text they are.

#include "jobs/Charset.h"
#include "jobs/Intake.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const WideForm wide = WideFormOf(bytes);
    const DecodedText whole = DecodeFileText(bytes);
    if (wide.encoding == WideEncoding::None) {
        const DecodedText narrow = DecodeNarrowText(bytes);
        FUZZ_CHECK(whole.text == narrow.text && whole.replaced == narrow.replaced);
    } else if (wide.markLength == 0) {
        FUZZ_CHECK(bytes.substr(0, 4096).find('\0') != std::string_view::npos);
        const bool utf32 = wide.encoding == WideEncoding::Utf32Le || wide.encoding == WideEncoding::Utf32Be;
        FUZZ_CHECK(size % (utf32 ? 4 : 2) == 0);
    }

    const std::vector<LoadedText> texts = MakeLoadedTexts("song.pro", bytes);
    FUZZ_CHECK(!texts.empty());
    ReplacedCharacters replaced;
    std::size_t brokenLines = 0;
    for (const LoadedText& loaded : texts) {
        const std::string_view text = loaded.text;
        for (std::size_t i = 0; i < text.size(); ++i) {
            FUZZ_CHECK(text[i] != '\n' || (i > 0 && text[i - 1] == '\r'));
        }
        FUZZ_CHECK(text.empty() || text.ends_with("\r\n"));
        replaced.Merge(loaded.replaced);
        if (loaded.invalidUtf8Line != 0) {
            ++brokenLines;
            FUZZ_CHECK(loaded.invalidUtf8Line == whole.invalidUtf8Line);
        }
    }
    // Each character the songs count was replaced in the whole file as often or more: a {new_song} line's
    // characters leave with the line, and a byte-order mark (U+FEFF) starting a song is dropped there. A file of
    // one song counts exactly what the whole file does.
    for (const auto& [character, count] : replaced.counts) {
        const auto inWhole = whole.replaced.counts.find(character);
        FUZZ_CHECK(inWhole != whole.replaced.counts.end() && count <= inWhole->second);
    }
    FUZZ_CHECK(texts.size() > 1 || replaced == whole.replaced);
    FUZZ_CHECK(brokenLines == (whole.invalidUtf8Line != 0 ? 1u : 0u));
    return 0;
}
