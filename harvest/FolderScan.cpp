#include "harvest/FolderScan.h"

#include "harvest/ModuleScan.h"
#include "harvest/TextHelpers.h"

#include <cstring>

namespace {

// The folder as the platform's listing sees it: with one backslash at the end.
std::wstring WithTrailingBackslash(const std::wstring& folder) {
    return folder.empty() || folder.back() != L'\\' ? folder + L'\\' : folder;
}

bool IsDotOrDotDot(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Walks an open search. wantDirectories selects which entries reach the callback.
BOOL WalkSearch(HANDLE search, WIN32_FIND_DATAW& findData, const std::wstring& folder,
                bool wantDirectories, FolderEntryProc callback, void* userData) {
    int index = 0;
    for (;;) {
        const bool isDirectory = (findData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool wanted =
            wantDirectories ? isDirectory && !IsDotOrDotDot(findData.cFileName) : !isDirectory;
        if (wanted) {
            if (!callback(folder, findData.cFileName, index++, userData)) {
                SetLastError(0);
                break;
            }
        }
        if (!FindNextFileW(search, &findData)) {
            break;
        }
    }
    const DWORD walkError = GetLastError();
    if (!FindClose(search)) {
        const DWORD closeError = GetLastError();
        return closeError == ERROR_NO_MORE_FILES ? TRUE : FALSE;
    }
    SetLastError(walkError);
    return TRUE;
}

BOOL FirstSearchFailed() {
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? TRUE : FALSE;
}

ScanTally ScanFolderLevel(ScanOwner& owner, const std::wstring& folder, VisitedFolders& visited) {
    ScanTally tally;
    tally.nFolders = 1;
    {
        const BusyScope busy(owner);
        FolderScanContext context{&owner, &tally, &visited};
        const std::wstring mask = owner.GetMaskText();
        EnumFilesInFolder(folder, mask, ScanFileProc, &context);
        if (owner.IsRecursive()) {
            EnumSubfolders(folder, ScanSubfolderProc, &context);
        }
    }
    owner.SetStatusText(FormatStatusLine(tally));
    return tally;
}

} // namespace

bool VisitedFolders::Enter(const std::wstring& folder) {
    // Opened with a trailing backslash, as the listing sees it: a final name such as "..." would
    // otherwise lose its dots to path normalisation and name the folder above.
    const std::wstring path = WithTrailingBackslash(folder);
    HANDLE handle =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return true;
    }
    Identity key{};
    FILE_ID_INFO idInfo;
    BY_HANDLE_FILE_INFORMATION info;
    bool known = false;
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &idInfo, sizeof idInfo)) {
        key.first = idInfo.VolumeSerialNumber;
        std::memcpy(key.second.data(), idInfo.FileId.Identifier, key.second.size());
        known = true;
    } else if (GetFileInformationByHandle(handle, &info)) {
        key.first = info.dwVolumeSerialNumber;
        const DWORD index[2] = {info.nFileIndexHigh, info.nFileIndexLow};
        std::memcpy(key.second.data(), index, sizeof index);
        known = true;
    }
    CloseHandle(handle);
    return !known || m_seen.insert(std::move(key)).second;
}

BOOL EnumFilesInFolder(const std::wstring& folder, const std::wstring& mask,
                       FolderEntryProc callback, void* userData) {
    if (folder.empty() || callback == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::wstring pattern = WithTrailingBackslash(folder) + (mask.empty() ? L"*" : mask);
    WIN32_FIND_DATAW findData;
    HANDLE search = FindFirstFileW(pattern.c_str(), &findData);
    if (search == INVALID_HANDLE_VALUE) {
        return FirstSearchFailed();
    }
    return WalkSearch(search, findData, folder, false, callback, userData);
}

BOOL EnumSubfolders(const std::wstring& folder, FolderEntryProc callback, void* userData) {
    if (folder.empty() || callback == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::wstring pattern = WithTrailingBackslash(folder) + L"*";
    WIN32_FIND_DATAW findData;
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &findData,
                                     FindExSearchLimitToDirectories, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        search = FindFirstFileW(pattern.c_str(), &findData);
    }
    if (search == INVALID_HANDLE_VALUE) {
        return FirstSearchFailed();
    }
    return WalkSearch(search, findData, folder, true, callback, userData);
}

BOOL ScanFileProc(const std::wstring& folder, const wchar_t* fileName, int, void* context) {
    auto* scan = static_cast<FolderScanContext*>(context);
    if (scan == nullptr || scan->pOwner == nullptr) {
        return TRUE;
    }
    *scan->pTally += ScanModule(*scan->pOwner, folder, fileName);
    return TRUE;
}

BOOL ScanSubfolderProc(const std::wstring& folder, const wchar_t* subfolderName, int,
                       void* context) {
    auto* scan = static_cast<FolderScanContext*>(context);
    if (scan == nullptr || scan->pOwner == nullptr) {
        return TRUE;
    }
    const std::wstring path = JoinPath(folder, subfolderName);
    if (scan->pVisited != nullptr && !scan->pVisited->Enter(path)) {
        return TRUE;
    }
    VisitedFolders local;
    *scan->pTally += ScanFolderLevel(*scan->pOwner, path, scan->pVisited ? *scan->pVisited : local);
    return TRUE;
}

ScanTally ScanFolder(ScanOwner& owner, const std::wstring& folder) {
    VisitedFolders visited;
    visited.Enter(folder);
    return ScanFolderLevel(owner, folder, visited);
}

std::wstring FormatStatusLine(const ScanTally& tally) {
    return FormatString(L"Messages - %i in %i files (Searched %i files from %i dir)",
                        tally.nMessages, tally.nTables, tally.nFilesSearched, tally.nFolders);
}
