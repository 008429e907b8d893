#pragma once

#include "harvest/MessageList.h"
#include "harvest/ScanTally.h"
#include "harvest/ScanOwner.h"

#include <windows.h>

#include <array>
#include <set>
#include <string>
#include <utility>

// Directories already scanned in one scan, by volume and file identity, so that a directory link
// or junction that leads back up the tree is not followed round and round.
class VisitedFolders {
public:
    // Returns false when the folder was visited before. A folder whose identity cannot be read
    // counts as new.
    bool Enter(const std::wstring& folder);

private:
    using Identity = std::pair<unsigned long long, std::array<unsigned char, 16>>;
    std::set<Identity> m_seen;
};

// State of one folder level, handed to the two scan callbacks.
struct FolderScanContext {
    ScanOwner* pOwner = nullptr;
    ScanTally* pTally = nullptr;
    VisitedFolders* pVisited = nullptr;
};

// callback(folder, name, index, userData): non-zero to go on, zero to stop.
using FolderEntryProc = BOOL (*)(const std::wstring& folder, const wchar_t* name, int index,
                                 void* userData);

// Calls callback for every non-directory entry of folder that matches mask ("*" when empty).
BOOL EnumFilesInFolder(const std::wstring& folder, const std::wstring& mask,
                       FolderEntryProc callback, void* userData);
// Calls callback for every directory entry of folder other than "." and "..".
BOOL EnumSubfolders(const std::wstring& folder, FolderEntryProc callback, void* userData);

BOOL ScanFileProc(const std::wstring& folder, const wchar_t* fileName, int index, void* context);
BOOL ScanSubfolderProc(const std::wstring& folder, const wchar_t* subfolderName, int index,
                       void* context);

// Scans folder (and, when the owner's switch is set, its subfolders depth first) into the owner's
// list; writes the status line at the end of every level and returns the level's tally.
ScanTally ScanFolder(ScanOwner& owner, const std::wstring& folder);

// The status line for a tally.
std::wstring FormatStatusLine(const ScanTally& tally);
