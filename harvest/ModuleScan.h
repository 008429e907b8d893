#pragma once

#include "harvest/ScanTally.h"
#include "harvest/ScanOwner.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Opens folder\fileName as a data file and appends one row per message of every message table,
// or an error row when the file cannot be opened or its tables cannot be enumerated.
ScanTally ScanModule(ScanOwner& owner, const std::wstring& folder, const std::wstring& fileName);

// A satellite of a module: a file of its resources, as a folder and a file name.
struct Satellite {
    std::wstring folder;
    std::wstring fileName;
};

// Scans a module and then its satellites, in the order given. The satellites' rows carry the
// module's name and their own folder; a satellite that cannot be read gives an error row under
// its own name. A module with no tables of its own gives its error row only when no satellite
// has a table. Each satellite counts as a file searched.
ScanTally ScanModuleWithSatellites(ScanOwner& owner, const std::wstring& folder,
                                   const std::wstring& fileName,
                                   const std::vector<Satellite>& satellites);
