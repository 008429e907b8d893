#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The system's text for a Windows error code, on one line. Codes without text give
// "Unknown error %i" or, with bit 31 set, "Unknown error 0x%08X".
std::wstring GetSystemErrorText(DWORD code);

// Locale information for the language identifier in the low 16 bits of languageId; empty when
// the platform has none or it does not fit 64 code units.
std::wstring GetLocaleText(DWORD languageId, LCTYPE lcType);

// printf-style formatting into a new string (C conversions: %d, %i, %ls, %08X, ...).
std::wstring FormatString(const wchar_t* format, ...);

// Replaces every CR LF pair by one space, then removes trailing white space.
void FlattenMessageText(std::wstring& text);

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string ToUtf8(std::wstring_view text);

// folder + one backslash + name, whether or not folder already ends in one.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
