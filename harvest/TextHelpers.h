#pragma once

#include <windows.h>

#include <string>

// The system's text for a Windows error code, on one line. Codes without text give
// "Unknown error %i" or, with bit 31 set, "Unknown error 0x%08X".
std::wstring GetSystemErrorText(DWORD code);

// Locale information for the language identifier in the low 16 bits of languageId; empty when
// the platform has none or it does not fit 64 code units.
std::wstring GetLocaleText(DWORD languageId, LCTYPE lcType);

// The whole text of a window, however long. Leaves behind the last-error value that
// GetWindowTextW left (0 on success), or ERROR_OUTOFMEMORY when no buffer could be had.
std::wstring GetWindowTextString(HWND window);

// printf-style formatting into a new string (C conversions: %d, %i, %ls, %08X, ...).
std::wstring FormatString(const wchar_t* format, ...);

// Replaces every CR LF pair by one space, then removes trailing white space.
void FlattenMessageText(std::wstring& text);
