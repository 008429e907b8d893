#pragma once

#include <string>
#include <string_view>
#include <utility>

// printf-style formatting into a new string (C conversions: %d, %i, %ls, %08X, ...).
std::wstring FormatString(const wchar_t* format, ...);

// Replaces every CR LF pair by one space, then removes trailing white space: what the C
// runtime's iswspace classifies under Wine (tests/crosscheck/trailing_space.txt), the same in
// every build.
void FlattenMessageText(std::wstring& text);

// folder + the platform's separator + name.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

// A path's folder and last part, split at its last separator (either slash): "." for a bare
// name, and a root ("C:\", "/") keeps its separator.
std::pair<std::wstring, std::wstring> SplitPath(const std::wstring& path);

// text without the blanks (spaces and tabs) at either end.
std::wstring_view TrimBlanks(std::wstring_view text);
