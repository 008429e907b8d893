#include "cli/RowFilter.h"

#include <algorithm>

namespace {

// The digits of text in base (10 or 16) as a number, if it fits in 64 bits; empty otherwise.
std::optional<std::uint64_t> ParseDigits(std::wstring_view text, unsigned base) {
    if (text.empty() || text.size() > 16) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (wchar_t c : text) {
        unsigned digit;
        if (c >= L'0' && c <= L'9') {
            digit = static_cast<unsigned>(c - L'0');
        } else if (base == 16 && c >= L'a' && c <= L'f') {
            digit = static_cast<unsigned>(c - L'a' + 10);
        } else if (base == 16 && c >= L'A' && c <= L'F') {
            digit = static_cast<unsigned>(c - L'A' + 10);
        } else {
            return std::nullopt;
        }
        value = value * base + digit;
    }
    return value;
}

} // namespace

std::optional<std::uint32_t> ParseCode(std::wstring_view text) {
    const bool negative = !text.empty() && text[0] == L'-';
    if (negative) {
        text.remove_prefix(1);
    }
    const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    const auto value = hex ? ParseDigits(text.substr(2), 16) : ParseDigits(text, 10);
    if (!value || (negative && hex)) {
        return std::nullopt;
    }
    if (negative) {
        if (*value > 0x80000000u) {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(0u - static_cast<std::uint32_t>(*value));
    }
    if (*value > 0xFFFFFFFFu) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*value);
}

bool CodeMatches(std::uint32_t code, std::uint32_t id) {
    constexpr std::uint32_t kWin32HResult = 0x80070000u; // FACILITY_WIN32, severity error
    return id == code || ((code & 0xFFFF0000u) == kWin32HResult && id == (code & 0xFFFFu));
}

bool RowFilter::Keeps(const std::array<std::wstring, kMessageColumnCount>& cells) const {
    if (KeepsEverything()) {
        return true;
    }
    if (!cells[COL_ERROR].empty()) {
        return false;
    }
    if (code) {
        const auto id = ParseCode(cells[COL_VALUE_HEX]);
        if (!id || !CodeMatches(*code, *id)) {
            return false;
        }
    }
    if (!languages.empty()) {
        // "1033 (English)": the number before the name.
        const std::wstring& locale = cells[COL_LOCALE_ID];
        const auto number = ParseCode(std::wstring_view(locale).substr(0, locale.find(L' ')));
        if (!number || std::find(languages.begin(), languages.end(), static_cast<int>(*number)) ==
                           languages.end()) {
            return false;
        }
    }
    return true;
}
