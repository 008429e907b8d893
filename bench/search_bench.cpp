// Prints what filling the main window and searching it cost, in two folders: Wine's own 64-bit
// DLLs, and a flat folder of copies of one module that the benchmark lays out itself. For each
// folder: the main window's fill next to the in-memory harvest and to the whole orvanel-dump
// process on the same folder, a rescan of the full window, one read of all rows, then a table of
// searches (narrow, broad, very broad), each timed from the find dialog's OK to the results window
// shown and from its Cancel until it is gone, the process's memory around the broadest search,
// and the time to tear the main window down. Needs a display.
//
//   search-bench --module MODULE [--files N] [--runs N] [--wine FOLDER]
//   search-bench --fill FOLDER      only the main window's fill of FOLDER, and the memory it took

#include "support/MemoryScanOwner.h"
#include "bench/BenchSupport.h"
#include "harvest/FolderScan.h"
#include "res/resource.h"
#include "support/FileTree.h"
#include "support/Pump.h"
#include "ui/FolderPicker.h"
#include "ui/MainDlg.h"
#include "ui/SaveRows.h"
#include "ui/framework/Application.h"

#include <windows.h>

#include <psapi.h>

#include <array>
#include <memory>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using bench::Clock;
using bench::Median;
using bench::Seconds;

std::wstring g_pick;

std::wstring PickBenchFolder(HWND, const std::wstring&, UINT) {
    return g_pick;
}

struct SearchCase {
    const wchar_t* kind;
    std::wstring text;
};

struct Memory {
    double workingSet = 0, peak = 0; // MB
};

Memory ReadMemory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return {counters.WorkingSetSize / 1048576.0, counters.PeakWorkingSetSize / 1048576.0};
}

// Every cell of every row, read once through the list control.
double ReadAllRows(MessageList& list) {
    const auto start = Clock::now();
    std::size_t characters = 0;
    for (int row = 0; row < list.GetRowCount(); ++row) {
        for (int column = 0; column < kMessageColumnCount; ++column) {
            characters += list.GetCell(row, column).size();
        }
    }
    const double seconds = Seconds(start);
    return characters > 0 ? seconds : 0;
}

// Presses the dialog's OK; returns the seconds until the main window's new results window (or its
// info dialog) shows.
double OkUntilShown(CMainDlg& main, ui::Dialog& dialog) {
    const std::size_t before = main.ResultWindows().size();
    const auto start = Clock::now();
    dialog.SendMessageW(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    for (;;) {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ui::DispatchDialogMessage(message);
        }
        const bool shown =
            main.ResultWindows().size() > before && main.ResultWindows().back()->IsWindowVisible();
        const bool missed = main.InfoDlg().m_hWnd != nullptr && main.InfoDlg().IsWindowVisible();
        if (shown || missed) {
            return Seconds(start);
        }
    }
}

// Searches as the user does: the text and the first opening's ticks typed into the find dialog,
// then OK; returns the seconds until the results window (or the info dialog) shows.
double SearchThroughTheDialog(CMainDlg& main, const std::wstring& text, bool matchCase) {
    main.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
    CFindDlg& find = main.FindDlg();
    SetDlgItemTextW(find.m_hWnd, IDC_FIND_TEXT, text.c_str());
    for (int id :
         {IDC_FIND_MODULE, IDC_FIND_LANGUAGE, IDC_FIND_VALUE, IDC_FIND_HEX, IDC_FIND_TEXTCOL}) {
        CheckDlgButton(find.m_hWnd, id, BST_CHECKED);
    }
    CheckDlgButton(find.m_hWnd, IDC_FIND_ERROR, BST_UNCHECKED);
    CheckDlgButton(find.m_hWnd, IDC_FIND_MATCHCASE, matchCase ? BST_CHECKED : BST_UNCHECKED);
    return OkUntilShown(main, find);
}

// Looks a code up as the user does: typed into the lookup dialog, then OK; returns the seconds
// until the results window (or the info dialog) shows.
double LookupThroughTheDialog(CMainDlg& main, const std::wstring& text) {
    CLookupDlg& lookup = main.LookupDlg();
    if (lookup.m_hWnd == nullptr) {
        lookup.Create(IDD_LOOKUP, &main);
    }
    SetDlgItemTextW(lookup.m_hWnd, IDC_LOOKUP_TEXT, text.c_str());
    return OkUntilShown(main, lookup);
}

// Seconds to fill a fresh results window with these rows, as a search fills its window.
double FillResults(const std::vector<std::array<std::wstring, kMessageColumnCount>>& rows) {
    CMessageListDlg results(nullptr);
    results.Create(IDD_RESULTS, nullptr);
    MessageList& list = results.GetMessageList();
    const auto start = Clock::now();
    {
        const ui::ListControl::BulkUpdate bulk(results.ListCtrl());
        list.ReserveRows(static_cast<int>(rows.size()));
        for (const auto& row : rows) {
            const int at = list.AppendRow(row[0]);
            for (int column = 1; column < kMessageColumnCount; ++column) {
                if (!row[column].empty()) {
                    list.SetCell(at, column, row[column]);
                }
            }
        }
    }
    const double seconds = Seconds(start);
    results.DestroyWindow();
    return seconds;
}

std::vector<std::array<std::wstring, kMessageColumnCount>> RowsOf(MessageList& list) {
    std::vector<std::array<std::wstring, kMessageColumnCount>> rows(list.GetRowCount());
    for (int row = 0; row < list.GetRowCount(); ++row) {
        for (int column = 0; column < kMessageColumnCount; ++column) {
            rows[row][column] = list.GetCell(row, column);
        }
    }
    return rows;
}

int Hits(CMainDlg& main) {
    return main.ResultWindows().empty()
               ? 0
               : main.ResultWindows().back()->GetMessageList().GetRowCount();
}

// Closes the newest results window as its close box does; returns the seconds until its window
// and object are gone.
double CloseNewest(CMainDlg& main) {
    const std::size_t before = main.ResultWindows().size();
    if (before == 0) {
        return 0;
    }
    const auto start = Clock::now();
    main.ResultWindows().back()->SendMessageW(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    while (main.ResultWindows().size() == before) {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ui::DispatchDialogMessage(message);
        }
    }
    const double seconds = Seconds(start);
    Pump(20);
    return seconds;
}

// Seconds that the whole orvanel-dump process (beside this program) takes over folder, its
// output thrown away; 0 when it cannot be started.
double DumpProcess(const std::wstring& folder) {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring program(self, length);
    program = program.substr(0, program.find_last_of(L'\\') + 1) + L"orvanel-dump.exe";
    std::wstring command = L"\"" + program + L"\" \"" + folder + L"\"";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION process{};
    const auto start = Clock::now();
    const BOOL started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    double seconds = 0;
    if (started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        seconds = Seconds(start);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(nul);
    return seconds;
}

void BenchFolder(const std::wstring& label, const std::wstring& folder,
                 const std::vector<SearchCase>& searches, int runs) {
    std::wprintf(L"\n== %ls: %ls\n", label.c_str(), folder.c_str());

    std::vector<double> harvests;
    int rows = 0;
    for (int run = 0; run < runs; ++run) {
        MemoryScanOwner memory;
        const auto start = Clock::now();
        ScanFolder(memory, folder);
        harvests.push_back(Seconds(start));
        rows = memory.list.GetRowCount();
    }

    g_pick = folder;
    auto owned = std::make_unique<CMainDlg>(nullptr);
    CMainDlg& main = *owned;
    ui::Application::Current()->m_pMainWnd = &main;
    main.Create(IDD_MAIN, nullptr);
    Pump(50); // the start-up tick fills the list once
    if (main.GetMessageList().GetRowCount() != rows) {
        std::wprintf(L"the main window holds %d rows after start-up, not %d: is the display "
                     L"there?\n",
                     main.GetMessageList().GetRowCount(), rows);
        return;
    }
    std::vector<double> fills, rescans;
    for (int run = 0; run < runs; ++run) {
        // A rescan of the full list, then a fill of the cleared one.
        auto start = Clock::now();
        main.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_OPEN_DIR, BN_CLICKED), 0);
        rescans.push_back(Seconds(start));
        Pump(20);
        main.GetMessageList().DeleteAllRows();
        Pump(20);
        start = Clock::now();
        main.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_OPEN_DIR, BN_CLICKED), 0);
        fills.push_back(Seconds(start));
        Pump(20);
    }
    // The whole process of orvanel-dump on the same folder, started while the window is up.
    std::vector<double> dumps;
    for (int run = 0; run < runs; ++run) {
        dumps.push_back(DumpProcess(folder));
    }
    const double harvest = Median(harvests), fill = Median(fills), dump = Median(dumps),
                 rescan = Median(rescans);
    std::wprintf(L"%d rows; in-memory harvest %.0f ms; orvanel-dump process %.0f ms; main window "
                 L"fill %.0f ms (%.2f x harvest, %.2f x dump); rescan %.0f ms (%.2f x fill)\n",
                 rows, harvest * 1000, dump * 1000, fill * 1000, fill / harvest, fill / dump,
                 rescan * 1000, rescan / fill);
    const Memory filled = ReadMemory();
    std::wprintf(L"working set with the full main list: %.0f MB\n", filled.workingSet);

    std::vector<double> reads;
    for (int run = 0; run < runs; ++run) {
        reads.push_back(ReadAllRows(main.GetMessageList()));
    }
    const double read = Median(reads);
    std::wprintf(L"one read of every cell of every row: %.0f ms\n\n", read * 1000);

    std::wprintf(L"%-11ls %-13ls %-9ls %7ls %8ls %14ls %6ls %9ls\n", L"search", L"text", L"case",
                 L"hits", L"ms", L"read+fill ms", L"x", L"close ms");
    Memory before{}, broadest{}, closed{};
    int broadestHits = -1;
    for (const SearchCase& search : searches) {
        for (bool matchCase : {false, true}) {
            std::vector<double> times, closes;
            double fill = 0;
            int hits = 0;
            for (int run = 0; run < runs; ++run) {
                const Memory was = ReadMemory();
                times.push_back(SearchThroughTheDialog(main, search.text, matchCase));
                hits = Hits(main);
                const Memory withWindow = ReadMemory();
                // The first run also fills a window with the same rows, for comparison; the last
                // one measures what closing the window gives back (without those copies around,
                // so a single run leaves the comparison out).
                std::vector<std::array<std::wstring, kMessageColumnCount>> found;
                if (run == 0 && runs > 1 && hits > 0) {
                    found = RowsOf(main.ResultWindows().back()->GetMessageList());
                }
                closes.push_back(CloseNewest(main));
                if (run == runs - 1 && hits > broadestHits) {
                    broadestHits = hits;
                    before = was;
                    broadest = withWindow;
                    closed = ReadMemory();
                }
                if (!found.empty()) {
                    fill = FillResults(found);
                }
            }
            const double ms = Median(times) * 1000, base = (read + fill) * 1000;
            std::wprintf(L"%-11ls %-13ls %-9ls %7d %8.0f %14.0f %6.2f %9.0f\n", search.kind,
                         (L"\"" + search.text + L"\"").c_str(), matchCase ? L"match" : L"any case",
                         hits, ms, base, ms / base, Median(closes) * 1000);
        }
    }
    std::wprintf(L"\n%-24ls %7ls %8ls %10ls\n", L"lookup", L"hits", L"ms", L"x fill");
    for (const wchar_t* code : {L"0x80070005", L"5 ja-JP", L"STATUS_ACCESS_VIOLATION", L"1"}) {
        std::vector<double> times;
        int hits = 0;
        for (int run = 0; run < runs; ++run) {
            times.push_back(LookupThroughTheDialog(main, code));
            hits = Hits(main);
            CloseNewest(main);
            main.InfoDlg().ShowWindow(SW_HIDE);
        }
        std::wprintf(L"%-24ls %7d %8.0f %10.3f\n", (L"\"" + std::wstring(code) + L"\"").c_str(),
                     hits, Median(times) * 1000, Median(times) / fill);
    }

    // "Save as..." of the whole main list, which the window waits for.
    wchar_t temporary[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temporary);
    const std::wstring saved = std::wstring(temporary) + L"orvanel-search-bench-save.txt";
    for (RowFormat format : {RowFormat::Tsv, RowFormat::Csv}) {
        std::vector<double> times;
        DWORD error = 0;
        for (int run = 0; run < runs; ++run) {
            const auto start = Clock::now();
            SaveRows(main.Rows(), saved, format, error);
            times.push_back(Seconds(start));
        }
        std::wprintf(L"save as %ls, %d rows: %.0f ms%ls\n",
                     format == RowFormat::Tsv ? L"TSV" : L"CSV", rows, Median(times) * 1000,
                     error != 0 ? L" (failed)" : L"");
    }
    DeleteFileW(saved.c_str());

    std::wprintf(L"\nmemory around the broadest search (%d hits): working set %.0f MB before, "
                 L"%.0f MB with its window (peak %.0f MB), %.0f MB once it was closed\n",
                 broadestHits, before.workingSet, broadest.workingSet, broadest.peak,
                 closed.workingSet);

    // The end of a run: the window and then its object, as the program ends.
    const auto start = Clock::now();
    main.DestroyWindow();
    owned.reset();
    std::wprintf(L"teardown of the main window with %d rows: %.0f ms\n", rows,
                 Seconds(start) * 1000);
    ui::Application::Current()->m_pMainWnd = nullptr;
}

// The main window filled once from folder: rows, time and the process's peak working set.
void BenchFill(const std::wstring& folder) {
    g_pick = folder;
    CMainDlg main(nullptr);
    ui::Application::Current()->m_pMainWnd = &main;
    const Memory before = ReadMemory();
    const auto start = Clock::now();
    main.Create(IDD_MAIN, nullptr);
    Pump(50); // the start-up tick scans the folder
    const double seconds = Seconds(start);
    std::wprintf(L"%ls: %d rows in the main window, %.0f ms with start-up; working set %.0f MB "
                 L"before, peak %.0f MB\n",
                 folder.c_str(), main.GetMessageList().GetRowCount(), seconds * 1000,
                 before.workingSet, ReadMemory().peak);
    main.DestroyWindow();
    ui::Application::Current()->m_pMainWnd = nullptr;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring wine = bench::kWineDllFolder;
    std::wstring module, fill;
    int files = 2000;
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring arg = argv[i];
        if (arg == L"--module") {
            module = argv[i + 1];
        } else if (arg == L"--files") {
            files = std::max(1, _wtoi(argv[i + 1]));
        } else if (arg == L"--runs") {
            runs = std::max(1, _wtoi(argv[i + 1]));
        } else if (arg == L"--wine") {
            wine = argv[i + 1];
        } else if (arg == L"--fill") {
            fill = argv[i + 1];
        }
    }
    if (module.empty() && fill.empty()) {
        std::fwprintf(stderr, L"usage: search-bench --module MODULE [--files N] [--runs N] "
                              L"[--wine FOLDER] | --fill FOLDER\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0); // each figure as soon as it is known
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    ui::Application application;
    SetFolderPicker(&PickBenchFolder);
    if (!fill.empty()) {
        BenchFill(fill);
        return 0;
    }
    std::wprintf(L"median of %d runs\n", runs);

    BenchFolder(L"Wine's DLLs", wine, {{L"narrow", L"wininet"}, {L"broad", L"dll"}}, runs);

    // A flat folder of copies, m0000.dll to m1999.dll: the module's 128 messages each.
    const std::wstring flat = MakeTempFolder(L"orvanel-search-bench-");
    for (int i = 0; i < files; ++i) {
        wchar_t name[32];
        std::swprintf(name, 32, L"\\m%04d.dll", i);
        if (!CopyFileW(module.c_str(), (flat + name).c_str(), FALSE)) {
            std::fwprintf(stderr, L"cannot copy %ls (error %lu)\n", module.c_str(), GetLastError());
            RemoveTree(flat);
            return 1;
        }
    }
    BenchFolder(L"synthetic", flat,
                {{L"narrow", L"m1234"},
                 {L"broad", L"0x0000001"},
                 {L"very broad", L"number 1"},
                 {L"every row", L"for scale"}},
                runs);
    RemoveTree(flat);
    return 0;
}
