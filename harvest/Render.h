#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A message text as the system says it: its inserts filled, its escapes and line breaks made, as
// FormatMessage does with FORMAT_MESSAGE_FROM_STRING and an argument array. The same code in
// every build; it never calls the system's formatter. Arguments are given as text: an insert
// whose format is a number (d i u x X o p c, with their size prefixes) reads its argument as a
// number (decimal, 0x hexadecimal, or negative), and a * width or precision reads the next.
namespace render {

struct Options {
    // FORMAT_MESSAGE_IGNORE_INSERTS: %N and %x stay as they are; %n, %r, %t and %0 still apply.
    bool ignoreInserts = false;
    // FORMAT_MESSAGE_MAX_WIDTH_MASK's value: 0 keeps the lines; 1 to 254 breaks them at that
    // width (at the last blank, or inside a longer word) and makes the text's own line breaks
    // blanks; 255 only makes the text's line breaks blanks.
    unsigned maxWidth = 0;
};

// What a rendering gives: the text, or why there is none. systemError is the Windows error
// code that FormatMessage gives for the same failure (ERROR_INVALID_PARAMETER for a lone % at
// the end), or 0 where the system would read on where we stop (a missing argument, a bad
// number, a width past the bound).
struct Rendered {
    bool ok = false;
    std::wstring text;
    std::wstring error; // for a person: which insert, and what is wrong
    std::uint32_t systemError = 0;
};

// The most: a width or precision, and the text made.
constexpr std::uint32_t kMaxFieldWidth = 1u << 16;
constexpr std::size_t kMaxOutputUnits = std::size_t{1} << 19; // 1 MiB of UTF-16

Rendered Render(std::wstring_view text, const std::vector<std::wstring>& arguments,
                const Options& options = {});

} // namespace render
