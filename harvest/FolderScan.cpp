#include "harvest/FolderScan.h"

#include "harvest/ModuleScan.h"
#include "harvest/Platform.h"
#include "harvest/Strings.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>

namespace {

// A module's satellites in one folder: its language folders' ".mui" files, then those beside.
class SatelliteIndex {
public:
    // Lists folder's language folders (a subfolder named as the system names a locale, letter
    // case aside) and the ".mui" files in each and in folder itself.
    explicit SatelliteIndex(const std::wstring& folder);

    // The satellites of fileName: <language>/<fileName>.mui in the order of the folders' listing,
    // then <fileName>.mui beside it; names compared as the file system compares them.
    std::vector<Satellite> Of(const std::wstring& fileName) const;

private:
    struct Place {
        std::wstring folder;
        std::unordered_multimap<std::wstring, std::wstring> names; // by FileNameKey
    };
    static Place ListSatellites(const std::wstring& folder);

    std::vector<Place> m_places; // the language folders, then the folder itself
};

bool CollectNameProc(const std::wstring&, const wchar_t* name, int, void* names) {
    static_cast<std::vector<std::wstring>*>(names)->push_back(name);
    return true;
}

bool IsLanguageFolderName(const std::wstring& name) {
    std::uint16_t language = 0;
    return platform::LanguageOfTag(name, language);
}

bool IsSatelliteName(std::wstring_view name) {
    constexpr std::wstring_view kMui = L".MUI";
    return name.size() > kMui.size() &&
           platform::FileNameKey(name.substr(name.size() - kMui.size())) == kMui;
}

SatelliteIndex::SatelliteIndex(const std::wstring& folder) {
    std::vector<std::wstring> subfolders;
    platform::EnumSubfolders(folder, CollectNameProc, &subfolders);
    for (const std::wstring& name : subfolders) {
        if (IsLanguageFolderName(name)) {
            m_places.push_back(ListSatellites(JoinPath(folder, name)));
        }
    }
    m_places.push_back(ListSatellites(folder));
}

SatelliteIndex::Place SatelliteIndex::ListSatellites(const std::wstring& folder) {
    std::vector<std::wstring> names;
    platform::EnumFilesInFolder(folder, L"*.mui", CollectNameProc, &names);
    Place place{folder, {}};
    for (std::wstring& name : names) {
        place.names.emplace(platform::FileNameKey(name), std::move(name));
    }
    return place;
}

std::vector<Satellite> SatelliteIndex::Of(const std::wstring& fileName) const {
    const std::wstring wanted = platform::FileNameKey(fileName + L".mui");
    std::vector<Satellite> satellites;
    for (const Place& place : m_places) {
        const auto [first, last] = place.names.equal_range(wanted);
        std::vector<std::wstring> names;
        for (auto it = first; it != last; ++it) {
            names.push_back(it->second);
        }
        std::sort(names.begin(), names.end()); // names that differ in letter case, in one order
        for (std::wstring& name : names) {
            satellites.push_back({place.folder, std::move(name)});
        }
    }
    return satellites;
}

// State of one folder level, handed to the scan callbacks.
struct FolderScanContext {
    ScanOwner* pOwner = nullptr;
    ScanTally* pTally = nullptr;
    // The level's subfolders, in the order of the listing, which the scan enters once the level's
    // files are done.
    std::vector<std::wstring>* pSubfolders = nullptr;
    // With satellites: where the level's modules have theirs, and which files are satellites
    // (read with their module, never on their own).
    const SatelliteIndex* pSatellites = nullptr;
    const std::set<std::wstring>* pSatelliteFiles = nullptr;
};

// Scans a file of the level into the owner's list and adds its tally.
bool ScanFileProc(const std::wstring& folder, const wchar_t* fileName, int, void* context) {
    auto* scan = static_cast<FolderScanContext*>(context);
    if (scan == nullptr || scan->pOwner == nullptr) {
        return true;
    }
    if (scan->pSatellites == nullptr) {
        *scan->pTally += ScanModule(*scan->pOwner, folder, fileName);
    } else if (scan->pSatelliteFiles->count(fileName) == 0) {
        *scan->pTally += ScanModuleWithSatellites(*scan->pOwner, folder, fileName,
                                                  scan->pSatellites->Of(fileName));
    }
    return true;
}

// The files of a folder that match any of the patterns, once each, in the order of the listing.
std::vector<std::wstring> MatchingFiles(const std::wstring& folder,
                                        const std::vector<std::wstring>& patterns) {
    std::vector<std::wstring> files;
    if (patterns.size() == 1) {
        platform::EnumFilesInFolder(folder, patterns[0], CollectNameProc, &files);
        return files;
    }
    std::vector<std::wstring> all, matching;
    platform::EnumFilesInFolder(folder, L"*", CollectNameProc, &all);
    for (const std::wstring& pattern : patterns) {
        platform::EnumFilesInFolder(folder, pattern, CollectNameProc, &matching);
    }
    const std::set<std::wstring> matched(matching.begin(), matching.end());
    for (std::wstring& name : all) {
        if (matched.count(name) != 0) {
            files.push_back(std::move(name));
        }
    }
    return files;
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
        // The mask and the switches, afresh every level.
        const std::vector<std::wstring> files = MatchingFiles(path, owner.GetMaskPatterns());
        std::optional<SatelliteIndex> satellites;
        std::set<std::wstring> satelliteFiles;
        if (owner.ReadsSatellites()) {
            satellites.emplace(path);
            // A language folder's ".mui" files are its parent's modules' satellites, and a
            // module's own satellite beside it is read with the module: neither on its own.
            const bool languageFolder = IsLanguageFolderName(SplitPath(path).second);
            std::set<std::wstring> besideModules; // the keys of the satellites beside the files
            for (const std::wstring& name : files) {
                besideModules.insert(platform::FileNameKey(name + L".mui"));
            }
            for (const std::wstring& name : files) {
                if (IsSatelliteName(name) &&
                    (languageFolder || besideModules.count(platform::FileNameKey(name)) != 0)) {
                    satelliteFiles.insert(name);
                }
            }
            context.pSatellites = &*satellites;
            context.pSatelliteFiles = &satelliteFiles;
        }
        int index = 0;
        for (const std::wstring& name : files) {
            ScanFileProc(path, name.c_str(), index++, &context);
        }
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
