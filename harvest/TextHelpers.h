#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The system's text for a Windows error code, on one line. Codes without text give
// "Unknown error %i" or, with bit 31 set, "Unknown error 0x%08X".
std::wstring GetSystemErrorText(std::uint32_t code);

// Locale information for the language identifier in the low 16 bits of languageId; empty when
// the platform has none or it does not fit 64 code units.
std::wstring GetLocaleText(std::uint32_t languageId, std::uint32_t lcType);

// printf-style formatting into a new string (C conversions: %d, %i, %ls, %08X, ...).
std::wstring FormatString(const wchar_t* format, ...);

// Replaces every CR LF pair by one space, then removes trailing white space: what the C
// runtime's iswspace classifies under Wine (tests/crosscheck/trailing_space.txt), the same in
// every build.
void FlattenMessageText(std::wstring& text);

// Wide text (UTF-16, or UTF-32 where wchar_t has 32 bits) to UTF-8; unpaired surrogates and
// values that are not characters become U+FFFD.
std::string ToUtf8(std::wstring_view text);
// The same, appended to out.
void AppendUtf8(std::string& out, std::wstring_view text);

// folder + one backslash + name, whether or not folder already ends in one.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
