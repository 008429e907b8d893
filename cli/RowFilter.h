#pragma once

#include "harvest/MessageList.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Which rows orvanel-dump writes: all of them, or only the messages of one code and of some
// languages. Error rows are messages of no code and no language, so either choice leaves them out.
struct RowFilter {
    std::optional<std::uint32_t> code;
    std::vector<int> languages; // empty: every language

    bool KeepsEverything() const { return !code && languages.empty(); }
    bool Keeps(const std::array<std::wstring, kMessageColumnCount>& cells) const;
};

// A message code as given on the command line: decimal ("5"), hexadecimal ("0x5",
// "0x00000005"), or a negative 32-bit number ("-2147024891"). Empty when it is none of these.
std::optional<std::uint32_t> ParseCode(std::wstring_view text);

// Whether a message of identifier id answers a question about code: the same value, or, for an
// HRESULT of the Win32 facility (0x8007xxxx), the Win32 code in its low 16 bits.
bool CodeMatches(std::uint32_t code, std::uint32_t id);
