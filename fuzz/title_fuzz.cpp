// Titles and display names over arbitrary text. The title is never empty, at most capacity - 1 bytes (39 by
// default), holds no NUL, CR, LF or "}", does not start with a space, and is either "(no title)" or a piece of
// the text before its first NUL. The subtitle obeys the same bounds with 29 bytes and may be empty. The
// display name is the title, or the title, " - " and the subtitle, so at most 71 bytes. The first input byte
// also picks a smaller capacity for a second title, which must respect it.

#include "text/SongTitle.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"

namespace {

void CheckPiece(const std::string& piece, std::string_view text, std::size_t capacity)
{
    FUZZ_CHECK(piece.size() <= capacity - 1);
    FUZZ_CHECK(piece.find_first_of(std::string_view("\0\r\n}", 4)) == std::string::npos);
    if (piece == NO_TITLE) {
        return;
    }
    FUZZ_CHECK(piece.empty() || piece[0] != ' ');
    FUZZ_CHECK(text.find(piece) != std::string_view::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view text = input.substr(0, input.find('\0'));

    const std::string title = GetSongTitle(input);
    FUZZ_CHECK(!title.empty());
    CheckPiece(title, text, SONG_TITLE_CAPACITY);

    const std::string subtitle = GetSongSubtitle(input);
    CheckPiece(subtitle, text, SONG_SUBTITLE_CAPACITY);
    FUZZ_CHECK(subtitle != NO_TITLE || text.find(NO_TITLE) != std::string_view::npos);

    const std::string display = GetSongDisplayName(input);
    FUZZ_CHECK(display.size() <= 71);
    FUZZ_CHECK(display == (subtitle.empty() ? title : title + " - " + subtitle));

    if (size > 0) {
        // Capacities from 11 ("(no title)" and its terminator) to 50.
        const std::size_t capacity = 11 + data[0] % 40;
        const std::string shortTitle = GetSongTitle(input, capacity);
        FUZZ_CHECK(!shortTitle.empty());
        CheckPiece(shortTitle, text, capacity);
        // A smaller buffer holds the start of the same title.
        if (shortTitle != NO_TITLE && title != NO_TITLE) {
            FUZZ_CHECK(title.starts_with(shortTitle) || shortTitle.starts_with(title));
        }
    }
    return 0;
}
