// Prints what a search of the main window costs: the main window is filled from a folder (by
// default Wine's 64-bit DLLs), then searched with the first opening's five columns, without and
// with match case. Needs a display.
//
//   search-bench [--runs N] [--text STRING] [FOLDER]

#include "bench/BenchSupport.h"
#include "res/resource.h"
#include "tests/support/Pump.h"
#include "ui/FolderPicker.h"
#include "ui/MainDlg.h"
#include "ui/framework/Application.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

using bench::Median;

std::wstring g_folder = bench::kWineDllFolder;

std::wstring PickBenchFolder(HWND, const std::wstring&, UINT) {
    return g_folder;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    int runs = 5;
    std::wstring text = L"file";
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--runs" && i + 1 < argc) {
            runs = std::max(1, _wtoi(argv[++i]));
        } else if (arg == L"--text" && i + 1 < argc) {
            text = argv[++i];
        } else {
            g_folder = arg;
        }
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    ui::Application application;
    SetFolderPicker(&PickBenchFolder);

    using Clock = std::chrono::steady_clock;
    CMainDlg main(nullptr);
    application.m_pMainWnd = &main;
    auto start = Clock::now();
    if (!main.Create(IDD_MAIN, nullptr)) {
        std::fwprintf(stderr, L"cannot create the main window\n");
        return 1;
    }
    while (main.GetMessageList().GetRowCount() == 0 &&
           std::chrono::duration<double>(Clock::now() - start).count() < 60) {
        Pump(1);
    }
    const double fill = std::chrono::duration<double>(Clock::now() - start).count();
    const int rows = main.GetMessageList().GetRowCount();
    std::wprintf(
        L"folder: %ls\nmain window filled with %d rows in %.0f ms (start-up, scan, list)\n",
        g_folder.c_str(), rows, fill * 1000);

    main.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
    CFindDlg& find = main.m_findDlg;
    find.m_strFindText = text;
    find.m_bModuleName = find.m_bLanguageId = find.m_bValue = find.m_bHexValue =
        find.m_bMessageText = 1;
    find.m_bError = 0;
    for (int matchCase = 0; matchCase < 2; ++matchCase) {
        find.m_bMatchCase = matchCase;
        std::vector<double> times;
        int found = 0;
        for (int run = 0; run < runs; ++run) {
            start = Clock::now();
            main.SendMessageW(WM_FIND_REQUEST);
            times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
            found = main.m_resultWindows.empty()
                        ? 0
                        : main.m_resultWindows.back()->GetMessageList().GetRowCount();
            for (auto& window : main.m_resultWindows) {
                window->DestroyWindow();
            }
            main.m_resultWindows.clear();
            Pump();
        }
        std::wprintf(
            L"search \"%ls\", five columns, %ls: median of %d runs %.1f ms, %d rows found\n",
            text.c_str(), matchCase ? L"match case" : L"case-blind", runs, Median(times) * 1000,
            found);
    }
    main.DestroyWindow();
    return 0;
}
