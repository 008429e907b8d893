#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// UTF-16 surrogates, and UTF-8 to and from wide text (UTF-16 where wchar_t has 16 bits, as on
// Windows; UTF-32 where it has 32, as on Linux): the one place where they are worked out.

constexpr bool IsHighSurrogate(std::uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool IsLowSurrogate(std::uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
constexpr bool IsSurrogate(std::uint32_t unit) {
    return (unit & 0xFFFFF800u) == 0xD800;
}
// The character of a high and a low surrogate.
constexpr std::uint32_t CombineSurrogates(std::uint32_t high, std::uint32_t low) {
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}
// Appends a character to UTF-16 text: itself, or above U+FFFF its two surrogates.
template <class Units> void AppendUtf16(Units& out, std::uint32_t character) {
    using Unit = typename Units::value_type;
    if (character >= 0x10000) {
        out += static_cast<Unit>(0xD800 + ((character - 0x10000) >> 10));
        out += static_cast<Unit>(0xDC00 + ((character - 0x10000) & 0x3FF));
    } else {
        out += static_cast<Unit>(character);
    }
}

// Wide text to UTF-8; unpaired surrogates and values that are not characters become U+FFFD.
std::string ToUtf8(std::wstring_view text);
// The same, appended to out.
void AppendUtf8(std::string& out, std::wstring_view text);

// ASCII text (a name from a table of ours) as wide text.
std::wstring WidenAscii(const char* text);

// UTF-8 to wide text. An ill-formed sequence becomes one U+FFFD for each of its maximal parts,
// as Unicode recommends.
std::wstring FromUtf8(std::string_view text);
