#include "text/RecordFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using namespace std::string_literals;

std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

TEST(RecordFormat, SongRecordsOfLoadedTexts)
{
    // Lines re-joined with LF (a lone CR ends a line too, LF CR is two), cut to 7999 characters, and a NUL.
    const std::string a(7998, 'a'), b(7999, 'b');
    const std::pair<std::string, std::string> cases[] = {
        {"A\r\n\r\nB", "A\n\nB\n\0"s},
        {"A\rB\n\rC", "A\nB\n\nC\n\0"s},
        {"", "\0"s},
        {"Caf\xE9\r\n", "Caf\xE9\n\0"s},
        {a + "\r\n", a + "\n\0"s},
        {b + "\r\n", b + "\0"s},
    };
    for (const auto& [loaded, record] : cases)
        EXPECT_EQ(MakeSongRecord(loaded), Bytes(record)) << ::testing::PrintToString(loaded);
}

} // namespace
