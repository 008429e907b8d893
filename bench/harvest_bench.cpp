// Prints what a harvest costs next to the floor that no harvest can go below: opening every
// matching file as a data file and enumerating its message tables without decoding them.
//
//   harvest-bench [--runs N] [FOLDER]                  FOLDER defaults to Wine's 64-bit DLLs
//   harvest-bench --synthetic MODULE [--files N] [--runs N]   a nested tree of N copies of MODULE

#include "support/MemoryScanOwner.h"
#include "bench/BenchSupport.h"
#include "harvest/FolderScan.h"
#include "harvest/ScanOwner.h"
#include "support/FileTree.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

using bench::Clock;
using bench::Median;
using bench::Seconds;

struct Floor {
    int files = 0;
    int tables = 0;
};

BOOL CALLBACK CountLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD, LONG_PTR context) {
    ++reinterpret_cast<Floor*>(context)->tables;
    return TRUE;
}

BOOL CALLBACK CountName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR context) {
    EnumResourceLanguagesW(module, type, name, CountLanguage, context);
    return TRUE;
}

// Opens every *.dll of folder (and of its subfolders, when recursive) as a data file and
// enumerates its message tables.
void MeasureFloor(const std::wstring& folder, bool recursive, Floor& floor) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((folder + L"\\*.dll").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                continue;
            }
            ++floor.files;
            const std::wstring path = folder + L"\\" + data.cFileName;
            HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
            if (module != nullptr) {
                EnumResourceNamesW(module, MAKEINTRESOURCEW(11), CountName,
                                   reinterpret_cast<LONG_PTR>(&floor));
                FreeLibrary(module);
            }
        } while (FindNextFileW(search, &data));
        FindClose(search);
    }
    if (!recursive) {
        return;
    }
    search = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring name = data.cFileName;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..") {
            MeasureFloor(folder + L"\\" + name, true, floor);
        }
    } while (FindNextFileW(search, &data));
    FindClose(search);
}

struct Measurement {
    double harvest = 0, floor = 0;
    Floor floorCounts;
    ScanTally tally;
    int rows = 0;
};

// Alternates floor and harvest runs so that both see the same cache state; returns medians.
Measurement Measure(const std::wstring& folder, bool recursive, int runs);

Measurement Measure(const std::wstring& folder, bool recursive, int runs) {
    std::vector<double> floorTimes, harvestTimes;
    Measurement m;
    for (int run = 0; run < runs; ++run) {
        m.floorCounts = {};
        auto start = Clock::now();
        MeasureFloor(folder, recursive, m.floorCounts);
        floorTimes.push_back(Seconds(start));

        MemoryScanOwner owner(L"*.dll", recursive);
        start = Clock::now();
        m.tally = ScanFolder(owner, folder);
        harvestTimes.push_back(Seconds(start));
        m.rows = owner.list.GetRowCount();
    }
    m.harvest = Median(harvestTimes);
    m.floor = Median(floorTimes);
    return m;
}

void Report(const Measurement& m, int runs) {
    std::wprintf(L"files: %d, folders: %d, tables: %d, rows: %d\n", m.tally.nFilesSearched,
                 m.tally.nFolders, m.tally.nTables, m.rows);
    std::wprintf(L"status: %ls\n", FormatStatusLine(m.tally).c_str());
    std::wprintf(L"floor saw %d tables in %d files\n", m.floorCounts.tables, m.floorCounts.files);
    std::wprintf(L"median of %d runs: (a) harvest %.1f ms, (b) floor %.1f ms, a/b = %.3f\n", runs,
                 m.harvest * 1000, m.floor * 1000, m.harvest / m.floor);
}

int BenchFolder(const std::wstring& folder, int runs) {
    std::wprintf(L"folder: %ls\n", folder.c_str());
    Report(Measure(folder, false, runs), runs);
    return 0;
}

bool Copy(const std::wstring& from, const std::wstring& to) {
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

int BenchSynthetic(const std::wstring& module, int files, int runs) {
    const std::wstring root = MakeTempFolder(L"orvanel-bench-");
    // Ten files per leaf folder, ten leaves per branch: root\bNN\lNN\fNN.dll
    int made = 0;
    for (int branch = 0; made < files; ++branch) {
        const std::wstring b = root + L"\\b" + std::to_wstring(branch);
        CreateDirectoryW(b.c_str(), nullptr);
        for (int leaf = 0; leaf < 10 && made < files; ++leaf) {
            const std::wstring l = b + L"\\l" + std::to_wstring(leaf);
            CreateDirectoryW(l.c_str(), nullptr);
            for (int f = 0; f < 10 && made < files; ++f, ++made) {
                if (!Copy(module, l + L"\\f" + std::to_wstring(f) + L".dll")) {
                    std::fwprintf(stderr, L"cannot copy %ls (error %lu)\n", module.c_str(),
                                  GetLastError());
                    RemoveTree(root);
                    return 1;
                }
            }
        }
    }
    std::wprintf(L"synthetic tree of %ls, recursive\n", module.c_str());
    const Measurement m = Measure(root, true, runs);
    Report(m, runs);
    std::wprintf(L"recursive harvest into the in-memory list: %.3f s (%.0f rows/s)\n", m.harvest,
                 m.rows / m.harvest);
    RemoveTree(root);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring folder = bench::kWineDllFolder;
    std::wstring synthetic;
    int files = 2000;
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--synthetic" && i + 1 < argc) {
            synthetic = argv[++i];
        } else if (arg == L"--files" && i + 1 < argc) {
            files = std::max(1, _wtoi(argv[++i]));
        } else if (arg == L"--runs" && i + 1 < argc) {
            runs = std::max(1, _wtoi(argv[++i]));
        } else if (!arg.empty() && arg[0] != L'-') {
            folder = arg;
        } else {
            std::fwprintf(stderr, L"usage: harvest-bench [--runs N] [FOLDER] | --synthetic "
                                  L"MODULE [--files N]\n");
            return 2;
        }
    }
    return synthetic.empty() ? BenchFolder(folder, runs) : BenchSynthetic(synthetic, files, runs);
}
