#pragma once

#include <cstdint>

// The system's upper case of one character, as the loader upper-cases resource names and Wine's
// file system upper-cases file names (RtlUpcaseUnicodeChar): taken from Wine by
// make_system_texts.exe (UpperCase.inc), the same in every locale. Characters outside the Basic
// Multilingual Plane are their own upper case, as there.
std::uint32_t SystemUpperCase(std::uint32_t character);
