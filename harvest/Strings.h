#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

// printf-style formatting into a new string (C conversions: %d, %i, %ls, %08X, ...).
std::wstring FormatString(const wchar_t* format, ...);

// Replaces every CR LF pair by one space, then removes trailing white space: what the C
// runtime's iswspace classifies under Wine (tests/crosscheck/trailing_space.txt), the same in
// every build.
void FlattenMessageText(std::wstring& text);

// The text of little-endian UTF-16 units (unitSize 2) or of UTF-8 bytes (unitSize 1), flattened as
// FlattenMessageText flattens it, when that is plain printable ASCII (U+0020 to U+007E): then out
// holds it and the result is true. Most message texts are such; false for any other.
bool FlattenAsciiText(const std::uint8_t* bytes, std::size_t size, int unitSize, std::string& out);

// folder + the platform's separator + name.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

// A path's folder and last part, split at its last separator (either slash): "." for a bare
// name, and a root ("C:\", "/") keeps its separator.
std::pair<std::wstring, std::wstring> SplitPath(const std::wstring& path);

// text without the blanks (spaces and tabs) at either end.
std::wstring_view TrimBlanks(std::wstring_view text);
