#include "harvest/FolderScan.h"

#include "harvest/ModuleScan.h"
#include "harvest/Platform.h"
#include "harvest/Strings.h"

#include <memory>
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

// Scans a file of the level into the owner's list and adds its tally.
bool ScanFileProc(const std::wstring& folder, const wchar_t* fileName, int, void* context) {
    auto* scan = static_cast<FolderScanContext*>(context);
    if (scan != nullptr && scan->pOwner != nullptr) {
        *scan->pTally += ScanModule(*scan->pOwner, folder, fileName);
    }
    return true;
}

// Notes a subfolder of the level, to be scanned after the level's files.
bool ScanSubfolderProc(const std::wstring& folder, const wchar_t* subfolderName, int,
                       void* context) {
    auto* scan = static_cast<FolderScanContext*>(context);
    if (scan != nullptr && scan->pSubfolders != nullptr) {
        scan->pSubfolders->push_back(JoinPath(folder, subfolderName));
    }
    return true;
}

// A folder on the way down from the top, while its subfolders are scanned. It keeps the owner
// busy while it is on the way.
struct Level {
    ScanTally tally;
    std::vector<std::wstring> subfolders;
    std::size_t nextSubfolder = 0;
    bool hasIdentity = false;
    platform::FolderIdentity identity;
    std::unique_ptr<BusyScope> busy;
};

} // namespace

ScanTally ScanFolder(ScanOwner& owner, const std::wstring& folder) {
    std::vector<Level> way; // from the top down to the folder being scanned
    std::set<platform::FolderIdentity> onTheWay;

    // Lists a folder's files and subfolders, scans its files, and makes it the bottom of the way
    // down. A folder that cannot be listed counts, with nothing in it.
    const auto enter = [&](const std::wstring& path, bool hasIdentity,
                           const platform::FolderIdentity& identity) {
        Level level;
        level.busy = std::make_unique<BusyScope>(owner);
        level.tally.nFolders = 1;
        level.hasIdentity = hasIdentity;
        level.identity = identity;
        FolderScanContext context{&owner, &level.tally, &level.subfolders};
        const std::wstring mask = owner.GetMaskText(); // the mask and switch, afresh every level
        platform::EnumFilesInFolder(path, mask, ScanFileProc, &context);
        if (owner.IsRecursive()) {
            platform::EnumSubfolders(path, ScanSubfolderProc, &context);
        }
        if (hasIdentity) {
            onTheWay.insert(identity);
        }
        way.push_back(std::move(level));
    };

    platform::FolderIdentity identity;
    enter(folder, platform::ReadFolderIdentity(folder, identity), identity);
    for (;;) {
        Level& bottom = way.back();
        if (bottom.nextSubfolder < bottom.subfolders.size()) {
            const std::wstring subfolder = std::move(bottom.subfolders[bottom.nextSubfolder++]);
            // A folder whose identity cannot be read is entered all the same: it cannot be told
            // from the folders on the way, so a cycle through it is cut one level later, at a
            // folder whose identity is known.
            const bool hasIdentity = platform::ReadFolderIdentity(subfolder, identity);
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
