#pragma once

#include "harvest/MessageList.h"
#include "harvest/ScanTally.h"
#include "harvest/ScanOwner.h"

#include <windows.h>

#include <string>

// State of one module scan, handed to both enumeration callbacks.
struct ModuleScanContext {
    ScanOwner* pOwner = nullptr;
    std::wstring strFileName;
    std::wstring strFolder;
    ScanTally tally;
};

// Opens folder\fileName as a data file and appends one row per message of every message table,
// or an error row when the file cannot be opened or its tables cannot be enumerated.
ScanTally ScanModule(ScanOwner& owner, const std::wstring& folder, const std::wstring& fileName);

BOOL CALLBACK EnumMessageTableNamesProc(HMODULE module, LPCWSTR type, LPWSTR name,
                                        LONG_PTR context);
BOOL CALLBACK EnumMessageTableLanguagesProc(HMODULE module, LPCWSTR type, LPCWSTR name,
                                            WORD language, LONG_PTR context);

// folder + one backslash + name, whether or not folder already ends in one.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

// Appends a row for a file that could not be read: module name, folder and the error's text.
void AppendErrorRow(MessageList& list, const std::wstring& fileName, const std::wstring& folder,
                    DWORD code);
