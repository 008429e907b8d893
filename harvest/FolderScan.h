#pragma once

#include "harvest/ScanOwner.h"
#include "harvest/ScanTally.h"

#include <windows.h>

#include <string>
#include <vector>

// State of one folder level, handed to the two scan callbacks.
struct FolderScanContext {
    ScanOwner* pOwner = nullptr;
    ScanTally* pTally = nullptr;
    // The level's subfolders, in the order of the listing, which the scan enters once the level's
    // files are done.
    std::vector<std::wstring>* pSubfolders = nullptr;
};

// callback(folder, name, index, userData): non-zero to go on, zero to stop.
using FolderEntryProc = BOOL (*)(const std::wstring& folder, const wchar_t* name, int index,
                                 void* userData);

// Calls callback for every non-directory entry of folder that matches mask ("*" when empty).
BOOL EnumFilesInFolder(const std::wstring& folder, const std::wstring& mask,
                       FolderEntryProc callback, void* userData);
// Calls callback for every directory entry of folder other than "." and "..".
BOOL EnumSubfolders(const std::wstring& folder, FolderEntryProc callback, void* userData);

// Scans a file of the level into the owner's list and adds its tally.
BOOL ScanFileProc(const std::wstring& folder, const wchar_t* fileName, int index, void* context);
// Notes a subfolder of the level, to be scanned after the level's files.
BOOL ScanSubfolderProc(const std::wstring& folder, const wchar_t* subfolderName, int index,
                       void* context);

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
