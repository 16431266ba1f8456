#include "text/RecordFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::string_literals;

std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

TEST(RecordFormat, MarkersAndSongText)
{
    // Only the four bytes FF EE DD 00 and two more make a marker; a song's text ends at its first NUL.
    const struct
    {
        std::string record;
        bool marker;
        std::string text;
    } cases[] = {
        {"\xFF\xEE\xDD\0\x01\x02\0"s, true, "\xFF\xEE\xDD"},
        {"\xFF\xEE\xDD\0\x01"s, false, "\xFF\xEE\xDD"},
        {"\xFF\xEE\xDD\x01\x01\x02", false, "\xFF\xEE\xDD\x01\x01\x02"}, // no NUL: the whole record
        {"A\nB\n\0C\0"s, false, "A\nB\n"},
        {""s, false, ""},
    };
    for (const auto& [record, marker, text] : cases) {
        const std::vector<std::uint8_t> bytes = Bytes(record); // exactly sized: the sanitizer sees reads past it
        EXPECT_EQ(IsMarkerRecord(bytes), marker) << ::testing::PrintToString(record);
        EXPECT_EQ(SongRecordText(bytes), text) << ::testing::PrintToString(record);
    }
}

} // namespace
