#pragma once

#include <string>

// printf-style formatting into a new string (C conversions: %d, %i, %ls, %08X, ...).
std::wstring FormatString(const wchar_t* format, ...);

// Replaces every CR LF pair by one space, then removes trailing white space: what the C
// runtime's iswspace classifies under Wine (tests/crosscheck/trailing_space.txt), the same in
// every build.
void FlattenMessageText(std::wstring& text);

// folder + the platform's separator + name.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
