#pragma once

#include "harvest/ScanTally.h"
#include "harvest/ScanOwner.h"

#include <string>

// Opens folder\fileName as a data file and appends one row per message of every message table,
// or an error row when the file cannot be opened or its tables cannot be enumerated.
ScanTally ScanModule(ScanOwner& owner, const std::wstring& folder, const std::wstring& fileName);
