#pragma once

#include "harvest/ScanOwner.h"
#include "harvest/ScanTally.h"

#include <string>

// Scans folder into the owner's list and, when the owner's switch is set, every subfolder depth
// first: a folder's files, then each subfolder's whole scan in the order of the listing. Writes
// the status line at the end of every level (the outermost last, with the totals) and returns the
// tally.
//
// Directory links are followed like folders, so a folder reached twice is scanned twice; only a
// link back to a folder on the way down to it (a cycle) is not entered: it counts as a folder, as
// one that cannot be listed does. The depth is not bound by the call stack: the descent keeps its
// own stack, and no search handle stays open while it descends.
ScanTally ScanFolder(ScanOwner& owner, const std::wstring& folder);

// The status line for a tally.
std::wstring FormatStatusLine(const ScanTally& tally);
