#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Character classes and case folding of plain ASCII, the same whatever the locale. Bytes above 0x7F are
// never letters or digits here.

constexpr bool IsAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

constexpr bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

constexpr char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string AsciiLowerCopy(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        c = AsciiLower(c);
    }
    return lower;
}

constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

// True when `text` ends in `ending` ("foo.PDB" ends in ".pdb"), ignoring ASCII case.
constexpr bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view ending)
{
    return text.size() >= ending.size() && EqualsIgnoringAsciiCase(text.substr(text.size() - ending.size()), ending);
}
