#pragma once

#include "harvest/ScanTally.h"
#include "harvest/ScanOwner.h"

#include <cstdint>
#include <string>
#include <string_view>

// Opens folder\fileName as a data file and appends one row per message of every message table,
// or an error row when the file cannot be opened or its tables cannot be enumerated.
ScanTally ScanModule(ScanOwner& owner, const std::wstring& folder, const std::wstring& fileName);

// The identifier and the language of a message row, read back from the cells that ScanModule
// writes ("0x%08X", and "1033 (English)"); false for an error row or any other text.
bool ReadIdentifierCell(std::wstring_view hexCell, std::uint32_t& identifier);
bool ReadLanguageCell(std::wstring_view localeCell, std::uint16_t& language);
