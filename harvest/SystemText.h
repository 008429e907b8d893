#pragma once

#include <cstdint>
#include <string>

// The system's text for a Windows error code, on one line. Codes without text give
// "Unknown error %i" or, with bit 31 set, "Unknown error 0x%08X".
std::wstring GetSystemErrorText(std::uint32_t code);

// Locale information for the language identifier in the low 16 bits of languageId; empty when
// the platform has none or it does not fit 64 code units.
std::wstring GetLocaleText(std::uint32_t languageId, std::uint32_t lcType);
