#include "cli/Console.h"

#include "jobs/Charset.h"
#include "pdb/PalmDatabase.h"

#include <cstdio>
#include <iostream>

namespace {
std::string HexEscape(unsigned char byte)
{
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    return {'\\', 'x', DIGITS[byte >> 4], DIGITS[byte & 0x0F]};
}

// Civil date from days since 1970-01-01 (proleptic Gregorian calendar, valid for any day count).
void CivilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}
} // namespace

void PrintError(std::string_view message)
{
    // Paths and names in a message may hold any byte; none may break the line or steer the terminal.
    std::cerr << "tunelore-cli: " << EscapeControls(message) << '\n';
}

void PrintWarning(std::string_view subject, std::string_view message)
{
    std::cerr << "warning: " << EscapeControls(subject) << ": " << EscapeControls(message) << '\n';
}

std::string CountOf(std::size_t count, std::string_view singular, std::string_view plural)
{
    return std::to_string(count) + ' ' + std::string(count == 1 ? singular : plural);
}

std::string PrintableCode(std::uint32_t code)
{
    std::string result;
    for (const char c : FourCCToString(code)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\')
            result += c;
        else
            result += HexEscape(byte);
    }
    return result;
}

std::string PrintableText(std::string_view text)
{
    std::string result;
    std::size_t runStart = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const unsigned char byte = i < text.size() ? static_cast<unsigned char>(text[i]) : '\0';
        const bool control =
            byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
        if (i < text.size() && !control)
            continue;
        result += Cp1252ToUtf8(text.substr(runStart, i - runStart));
        if (i < text.size())
            result += HexEscape(byte);
        runStart = i + 1;
    }
    return result;
}

std::string EscapeControls(std::string_view utf8)
{
    std::string result;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0u;
        if (byte < 0x20 || byte == 0x7F) {
            result += HexEscape(byte);
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            result += HexEscape(static_cast<unsigned char>(next)); // U+0080..U+009F, the C1 controls
            ++i;
        } else {
            result += utf8[i];
        }
    }
    return result;
}

std::string FormatPalmTime(std::uint32_t palmSeconds)
{
    const std::int64_t seconds = static_cast<std::int64_t>(palmSeconds) - PALM_EPOCH_OFFSET;
    std::int64_t days = seconds / 86400;
    std::int64_t secondOfDay = seconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(days, year, month, day);
    char buffer[32];
    std::snprintf(buffer,
                  sizeof buffer,
                  "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ",
                  static_cast<long long>(year),
                  month,
                  day,
                  static_cast<long long>(secondOfDay / 3600),
                  static_cast<long long>(secondOfDay / 60 % 60),
                  static_cast<long long>(secondOfDay % 60));
    return buffer;
}
