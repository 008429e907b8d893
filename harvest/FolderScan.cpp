#include "harvest/FolderScan.h"

#include "harvest/ModuleScan.h"
#include "harvest/TextHelpers.h"

#include <array>
#include <memory>
#include <cstring>
#include <set>
#include <utility>

namespace {

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
    // The walk's own last error (ERROR_NO_MORE_FILES at a normal end) is what the caller sees; a
    // failed FindClose reports its own, but one that fails with ERROR_NO_MORE_FILES (18) still
    // closed the search: the listing went well.
    if (!FindClose(search)) {
        const DWORD closeError = GetLastError();
        return closeError == ERROR_NO_MORE_FILES ? TRUE : FALSE;
    }
    SetLastError(walkError);
    return TRUE;
}

// The result of a listing whose first search found nothing: TRUE (done) when that means an
// empty answer, a folder without matches or without the folder itself, FALSE for a real failure
// (access denied, say). The last error stays as the search left it.
BOOL ListingResultWhenNothingFound() {
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? TRUE : FALSE;
}

// A folder's identity on its volume: the same for every path that leads to it, links included.
using FolderIdentity = std::pair<unsigned long long, std::array<unsigned char, 16>>;

// False when the identity cannot be read.
bool ReadFolderIdentity(const std::wstring& folder, FolderIdentity& identity) {
    // Opened with a trailing backslash, as the listing sees it: a final name such as "..." would
    // otherwise lose its dots to path normalisation and name the folder above.
    const std::wstring path = WithTrailingBackslash(folder);
    HANDLE handle =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    identity = {};
    bool known = false;
    FILE_ID_INFO idInfo;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &idInfo, sizeof idInfo)) {
        identity.first = idInfo.VolumeSerialNumber;
        std::memcpy(identity.second.data(), idInfo.FileId.Identifier, identity.second.size());
        known = true;
    } else if (GetFileInformationByHandle(handle, &info)) {
        // A file system without 128-bit identities: the volume and the 64-bit file index.
        identity.first = info.dwVolumeSerialNumber;
        const DWORD index[2] = {info.nFileIndexHigh, info.nFileIndexLow};
        std::memcpy(identity.second.data(), index, sizeof index);
        known = true;
    }
    CloseHandle(handle);
    return known;
}

// A folder on the way down from the top, while its subfolders are scanned. It keeps the owner
// busy while it is on the way.
struct Level {
    ScanTally tally;
    std::vector<std::wstring> subfolders;
    std::size_t nextSubfolder = 0;
    bool hasIdentity = false;
    FolderIdentity identity;
    std::unique_ptr<BusyScope> busy;
};

// Calls callback for every non-directory entry of folder that matches mask ("*" when empty).
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
        return ListingResultWhenNothingFound();
    }
    return WalkSearch(search, findData, folder, false, callback, userData);
}

// Calls callback for every directory entry of folder other than "." and "..".
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
        // Not every platform or file system knows the extended search: the plain one lists the
        // same entries, and the walk keeps only the directories.
        search = FindFirstFileW(pattern.c_str(), &findData);
    }
    if (search == INVALID_HANDLE_VALUE) {
        return ListingResultWhenNothingFound();
    }
    return WalkSearch(search, findData, folder, true, callback, userData);
}

// Scans a file of the level into the owner's list and adds its tally.
BOOL ScanFileProc(const std::wstring& folder, const wchar_t* fileName, int, void* context) {
    auto* scan = static_cast<FolderScanContext*>(context);
    if (scan == nullptr || scan->pOwner == nullptr) {
        return TRUE;
    }
    *scan->pTally += ScanModule(*scan->pOwner, folder, fileName);
    return TRUE;
}

// Notes a subfolder of the level, to be scanned after the level's files.
BOOL ScanSubfolderProc(const std::wstring& folder, const wchar_t* subfolderName, int,
                       void* context) {
    auto* scan = static_cast<FolderScanContext*>(context);
    if (scan == nullptr || scan->pOwner == nullptr || scan->pSubfolders == nullptr) {
        return TRUE;
    }
    scan->pSubfolders->push_back(JoinPath(folder, subfolderName));
    return TRUE;
}

} // namespace

ScanTally ScanFolder(ScanOwner& owner, const std::wstring& folder) {
    std::vector<Level> way; // from the top down to the folder being scanned
    std::set<FolderIdentity> onTheWay;

    // Lists a folder's files and subfolders, and makes it the bottom of the way down.
    const auto enter = [&](const std::wstring& path, bool hasIdentity,
                           const FolderIdentity& identity) {
        Level level;
        level.busy = std::make_unique<BusyScope>(owner);
        level.tally.nFolders = 1;
        level.hasIdentity = hasIdentity;
        level.identity = identity;
        FolderScanContext context{&owner, &level.tally, &level.subfolders};
        const std::wstring mask = owner.GetMaskText();
        EnumFilesInFolder(path, mask, ScanFileProc, &context);
        if (owner.IsRecursive()) {
            EnumSubfolders(path, ScanSubfolderProc, &context);
        }
        if (hasIdentity) {
            onTheWay.insert(identity);
        }
        way.push_back(std::move(level));
    };

    FolderIdentity identity;
    enter(folder, ReadFolderIdentity(folder, identity), identity);
    for (;;) {
        Level& bottom = way.back();
        if (bottom.nextSubfolder < bottom.subfolders.size()) {
            const std::wstring subfolder = std::move(bottom.subfolders[bottom.nextSubfolder++]);
            // A folder whose identity cannot be read is entered all the same: it cannot be told
            // from the folders on the way, so a cycle through it is cut one level later, at a
            // folder whose identity is known.
            const bool hasIdentity = ReadFolderIdentity(subfolder, identity);
            if (hasIdentity && onTheWay.count(identity) != 0) {
                bottom.tally += ScanTally{0, 0, 0, 1}; // a cycle: counted, not entered
            } else {
                enter(subfolder, hasIdentity, identity);
            }
            continue;
        }
        bottom.busy.reset();
        owner.SetStatusText(FormatStatusLine(bottom.tally));
        const ScanTally done = bottom.tally;
        if (bottom.hasIdentity) {
            onTheWay.erase(bottom.identity);
        }
        way.pop_back();
        if (way.empty()) {
            return done;
        }
        way.back().tally += done;
    }
}

std::wstring FormatStatusLine(const ScanTally& tally) {
    return FormatString(L"Messages - %i in %i files (Searched %i files from %i dir)",
                        tally.nMessages, tally.nTables, tally.nFilesSearched, tally.nFolders);
}
