// The list window, the main window and the two small dialogs, created for real in this process.

#include "support/MemoryScanOwner.h"
#include "harvest/FolderScan.h"
#include "res/resource.h"
#include "tests/ui/ui_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The window rectangle of a plain dialog made from the same template, without our layout.
RECT TemplateWindowRect(UINT templateId) {
    HWND plain = CreateDialogParamW(
        ui::ResourceModule(), MAKEINTRESOURCEW(templateId), nullptr,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    RECT rect{};
    GetWindowRect(plain, &rect);
    DestroyWindow(plain);
    return rect;
}

int Width(const RECT& r) {
    return r.right - r.left;
}
int Height(const RECT& r) {
    return r.bottom - r.top;
}

Rows ListRows(CMessageListDlg& window) {
    return AllRows(window.GetMessageList());
}

} // namespace

TEST(ListWindow, FirstLayoutColumnsAndIcons) {
    CMessageListDlg results(nullptr);
    ASSERT_TRUE(results.Create(IDD_RESULTS, nullptr));
    EXPECT_FALSE(results.IsWindowVisible()); // shown only by whoever made it

    RECT window, client;
    results.GetWindowRect(&window);
    results.GetClientRect(&client);
    const RECT plain = TemplateWindowRect(IDD_RESULTS);
    EXPECT_EQ(Width(window), Width(plain) + 1);
    EXPECT_EQ(Height(window), Height(plain));

    const RECT list = ChildRect(results.ListCtrl().m_hWnd);
    EXPECT_EQ(list.left, 0);
    EXPECT_EQ(list.top, 35);
    EXPECT_EQ(list.right, client.right);
    EXPECT_EQ(list.bottom, client.bottom);

    const wchar_t* headers[] = {L"Module Name", L"Path",        L"Error",       L"Locale ID",
                                L"Value",       L"Value (Hex)", L"Message text"};
    const int widths[] = {80, 35, 34, 80, 75, 75, 1500};
    for (int i = 0; i < 7; ++i) {
        wchar_t text[64] = {};
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = text;
        column.cchTextMax = 64;
        ASSERT_TRUE(
            results.ListCtrl().SendMessageW(LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(text, headers[i]);
        EXPECT_EQ(column.cx, widths[i]);
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, i == 3 || i == 4 ? LVCFMT_RIGHT : LVCFMT_LEFT);
    }
    EXPECT_FALSE(results.ListCtrl().SendMessageW(LVM_GETCOLUMNW, 7, 0));
    EXPECT_EQ(results.ListCtrl().SendMessageW(LVM_GETEXTENDEDLISTVIEWSTYLE), 0);

    HICON listIcon = LoadIconW(ui::ResourceModule(), MAKEINTRESOURCEW(IDI_LIST_ICON));
    EXPECT_EQ(reinterpret_cast<HICON>(results.SendMessageW(WM_GETICON, ICON_BIG)), listIcon);
    EXPECT_EQ(reinterpret_cast<HICON>(results.SendMessageW(WM_GETICON, ICON_SMALL)), listIcon);
    EXPECT_EQ(reinterpret_cast<HICON>(
                  SendMessageW(results.GetDlgItem(IDC_FIND_BUTTON), BM_GETIMAGE, IMAGE_ICON, 0)),
              listIcon);
    EXPECT_EQ(GetObjectType(results.MemDC()), static_cast<DWORD>(OBJ_MEMDC));

    // The list never gets a negative height.
    for (auto [cy, height] : {std::pair{34, 0}, {35, 0}, {36, 1}, {300, 265}}) {
        results.SendMessageW(WM_SIZE, SIZE_RESTORED, MAKELPARAM(200, cy));
        EXPECT_EQ(Height(ChildRect(results.ListCtrl().m_hWnd)), height) << cy;
    }
    results.SendMessageW(WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(Height(ChildRect(results.ListCtrl().m_hWnd)), 0);

    // DestroyWindow gives the memory context back; the object lives on.
    HDC memory = results.MemDC();
    EXPECT_TRUE(results.DestroyWindow());
    EXPECT_EQ(GetObjectType(memory), 0u);
    EXPECT_EQ(results.m_hWnd, nullptr);
}

// A results list shows its rows in the order in which a sort-ascending list view places the same
// names, and its control, which holds none of the rows, answers for each of them.
TEST(ListWindow, ResultsListKeepsTheSortedOrderAndAnswersThroughTheControl) {
    CMessageListDlg results(nullptr);
    ASSERT_TRUE(results.Create(IDD_RESULTS, nullptr));
    ui::ListControl sorted;
    sorted.Attach(CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT | LVS_SORTASCENDING,
                                  0, 0, 100, 100, results.m_hWnd, nullptr, nullptr, nullptr));
    sorted.InsertColumn(0, L"", LVCFMT_LEFT, 80);
    const wchar_t* names[] = {L"shell32.dll", L"Advapi32.dll", L"kernel32.dll", L"advapi32.dll",
                              L"_x.dll",      L"a-b.dll",      L"ab.dll",       L"Z.dll",
                              L"\u00e9.dll",  L"e.dll",        L"KERNEL32.DLL", L"a10.dll"};
    for (const wchar_t* name : names) {
        results.GetMessageList().AppendRow(name);
        sorted.InsertItem(INT_MAX, name);
    }
    const ui::ListControl& shown = results.ListCtrl();
    ASSERT_EQ(shown.GetItemCount(), static_cast<int>(std::size(names)));
    for (int row = 0; row < shown.GetItemCount(); ++row) {
        EXPECT_EQ(shown.GetItemText(row, COL_MODULE_NAME), sorted.GetItemText(row, 0)) << row;
    }

    // A cell longer than the control's first buffer comes whole.
    const std::wstring longText = std::wstring(300, L'x') + L" end";
    const int row = results.GetMessageList().AppendRow(L"zz.dll");
    results.GetMessageList().SetCell(row, COL_MESSAGE_TEXT, longText);
    EXPECT_EQ(shown.GetItemText(row, COL_MESSAGE_TEXT), longText);
    EXPECT_EQ(shown.GetItemText(row, COL_MODULE_NAME), L"zz.dll");

    // A cleared list counts no rows and has nothing to show.
    results.GetMessageList().DeleteAllRows();
    EXPECT_EQ(shown.GetItemCount(), 0);
    EXPECT_EQ(shown.GetItemText(0, COL_MODULE_NAME), L"");
    results.DestroyWindow();
}

TEST(MainWindow, StartsWithThePickerOnce) {
    auto main = OpenMainWindow({});
    ASSERT_EQ(ScriptedPicker::calls.size(), 1u);
    EXPECT_EQ(ScriptedPicker::calls[0].owner, main->m_hWnd);
    EXPECT_EQ(ScriptedPicker::calls[0].title, L"Open folder");
    EXPECT_EQ(ScriptedPicker::calls[0].flags, 4114u);
    Pump(100);
    EXPECT_EQ(ScriptedPicker::calls.size(), 1u); // the timer is gone

    // Cancelled: nothing changed.
    EXPECT_EQ(WindowText(main->m_hWnd), L"Orvanel");
    EXPECT_EQ(WindowText(main->GetDlgItem(IDC_MASK)), L"*.dll");
    EXPECT_EQ(WindowText(main->GetDlgItem(IDC_STATUS)), L"");
    EXPECT_EQ(main->GetMessageList().GetRowCount(), 0);
    EXPECT_TRUE(main->IsWindowVisible());
    EXPECT_EQ(SendMessageW(main->GetDlgItem(IDC_RECURSIVE), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    HICON mainIcon = LoadIconW(ui::ResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME_ICON));
    EXPECT_EQ(reinterpret_cast<HICON>(main->SendMessageW(WM_GETICON, ICON_BIG)), mainIcon);
    EXPECT_EQ(reinterpret_cast<HICON>(main->SendMessageW(WM_GETICON, ICON_SMALL)), mainIcon);

    RECT window;
    main->GetWindowRect(&window);
    EXPECT_EQ(Width(window), Width(TemplateWindowRect(IDD_MAIN)) + 1);
    main->DestroyWindow();
}

TEST(MainWindow, PickScansAndCaptions) {
    const std::wstring fixtures = FixtureFolder();
    TempFolder empty;
    auto main = OpenMainWindow({fixtures});

    // The same rows, in the same order, as the harvest gives in memory.
    MemoryScanOwner memory;
    ScanFolder(memory, fixtures);
    EXPECT_EQ(ListRows(*main), AllRows(memory.list));
    EXPECT_EQ(WindowText(main->GetDlgItem(IDC_STATUS)), memory.status);
    EXPECT_EQ(WindowText(main->m_hWnd), L"Orvanel   [" + fixtures + L"\\*.dll]");

    // A cancelled pick leaves everything as it was.
    main->SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_OPEN_DIR, BN_CLICKED), 0);
    EXPECT_EQ(ScriptedPicker::calls.size(), 2u);
    EXPECT_EQ(ListRows(*main), AllRows(memory.list));
    EXPECT_EQ(WindowText(main->m_hWnd), L"Orvanel   [" + fixtures + L"\\*.dll]");

    // A second pick replaces the rows; the mask as edited goes into caption and scan.
    ScriptedPicker::Answer({empty.path()});
    SetWindowTextW(main->GetDlgItem(IDC_MASK), L"");
    main->SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_OPEN_DIR, BN_CLICKED), 0);
    EXPECT_EQ(main->GetMessageList().GetRowCount(), 0);
    EXPECT_EQ(WindowText(main->m_hWnd), L"Orvanel   [" + empty.path() + L"\\]");
    EXPECT_EQ(WindowText(main->GetDlgItem(IDC_STATUS)),
              L"Messages - 0 in 0 files (Searched 0 files from 1 dir)");

    // A folder that already ends in a backslash keeps it, and the caption doubles it.
    ScriptedPicker::Answer({empty.path() + L"\\"});
    SetWindowTextW(main->GetDlgItem(IDC_MASK), L"*.dll");
    main->SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_OPEN_DIR, BN_CLICKED), 0);
    EXPECT_EQ(WindowText(main->m_hWnd), L"Orvanel   [" + empty.path() + L"\\\\*.dll]");
    main->DestroyWindow();
}

TEST(MainWindow, StripIsLaidOutRightToLeft) {
    auto main = OpenMainWindow({});
    HWND button = main->GetDlgItem(IDC_OPEN_DIR), mask = main->GetDlgItem(IDC_MASK),
         label = main->GetDlgItem(IDC_MASK_LABEL), check = main->GetDlgItem(IDC_RECURSIVE),
         status = main->GetDlgItem(IDC_STATUS);
    const auto resize = [](HWND control, int left, int width) {
        const RECT r = ChildRect(control);
        SetWindowPos(control, nullptr, left, r.top, width, Height(r), SWP_NOZORDER);
    };
    resize(button, 0, 75);
    resize(mask, 0, 68);
    resize(label, 0, 30);
    resize(check, 0, 113);
    resize(status, 41, 10);

    main->SendMessageW(WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 300));
    EXPECT_EQ(ChildRect(button).left, 720);
    EXPECT_EQ(ChildRect(button).right, 795);
    EXPECT_EQ(ChildRect(mask).right, 715);
    EXPECT_EQ(ChildRect(label).right, 642);
    EXPECT_EQ(ChildRect(check).left, 484);
    EXPECT_EQ(ChildRect(check).right, 597);
    EXPECT_EQ(ChildRect(status).left, 41);
    EXPECT_EQ(Width(ChildRect(status)), 438);

    // Each move raises its control: the sibling order from the top, which Tab follows.
    std::vector<HWND> order;
    for (HWND child = GetWindow(main->m_hWnd, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        order.push_back(child);
    }
    EXPECT_EQ(order, (std::vector<HWND>{status, check, label, mask, button, main->ListCtrl().m_hWnd,
                                        main->GetDlgItem(IDC_FIND_BUTTON)}));

    // Minimised: laid out against a width of 0; the status edit's width below zero shows as none.
    main->SendMessageW(WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(ChildRect(button).right, -5);
    EXPECT_EQ(Width(ChildRect(status)), 0);
    EXPECT_EQ(Height(ChildRect(main->ListCtrl().m_hWnd)), 0);
    main->SendMessageW(WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 300));
    EXPECT_EQ(ChildRect(button).right, 795);
    main->DestroyWindow();
}

namespace {

// A list window that notes what its find dialog held whenever a find request arrives.
class RecordingListDlg : public CMessageListDlg {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_FIND_REQUEST) {
            requests.push_back(m_findDlg.m_strFindText);
        }
        return CMessageListDlg::WindowProc(message, wParam, lParam);
    }
    std::vector<std::wstring> requests;
};

bool Checked(const ui::Window& dialog, int id) {
    return SendMessageW(dialog.GetDlgItem(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

} // namespace

TEST(FindDialog, FirstStateOkAndCancel) {
    RecordingListDlg list;
    ASSERT_TRUE(list.Create(IDD_RESULTS, nullptr));
    list.ShowWindow(SW_SHOW);
    CFindDlg& find = list.FindDlg();
    EXPECT_EQ(find.m_hWnd, nullptr);

    list.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
    Pump();
    ASSERT_NE(find.m_hWnd, nullptr);
    HWND first = find.m_hWnd;
    EXPECT_TRUE(find.IsWindowVisible());
    EXPECT_EQ(GetFocus(), find.GetDlgItem(IDC_FIND_TEXT));
    EXPECT_EQ(find.GetParent(), list.m_hWnd);
    EXPECT_EQ(WindowText(find.GetDlgItem(IDC_FIND_TEXT)), L"");
    for (int id :
         {IDC_FIND_MODULE, IDC_FIND_LANGUAGE, IDC_FIND_VALUE, IDC_FIND_HEX, IDC_FIND_TEXTCOL}) {
        EXPECT_TRUE(Checked(find, id)) << id;
    }
    EXPECT_FALSE(Checked(find, IDC_FIND_ERROR));
    EXPECT_FALSE(Checked(find, IDC_FIND_MATCHCASE));
    // The members stay as constructed until the first OK.
    EXPECT_EQ(find.m_bModuleName + find.m_bError + find.m_bLanguageId + find.m_bValue +
                  find.m_bHexValue + find.m_bMessageText + find.m_bMatchCase,
              0);

    // OK posts the request; it arrives after the members were stored.
    SetWindowTextW(find.GetDlgItem(IDC_FIND_TEXT), L"abc");
    find.SendMessageW(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(list.requests.empty()); // posted, not sent
    EXPECT_EQ(find.m_strFindText, L"abc");
    EXPECT_EQ(find.m_bModuleName, 1);
    EXPECT_EQ(find.m_bError, 0);
    EXPECT_FALSE(find.IsWindowVisible());
    Pump();
    EXPECT_EQ(list.requests, std::vector<std::wstring>{L"abc"});

    // Cancel hides and keeps the members; the next showing has the edited text. Every showing
    // takes the keyboard to the search text, so that the user can type at once.
    list.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
    Pump();
    EXPECT_EQ(find.m_hWnd, first);
    EXPECT_TRUE(find.IsWindowVisible());
    EXPECT_EQ(GetFocus(), find.GetDlgItem(IDC_FIND_TEXT));
    SetWindowTextW(find.GetDlgItem(IDC_FIND_TEXT), L"edited");
    find.SendMessageW(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    Pump();
    EXPECT_FALSE(find.IsWindowVisible());
    EXPECT_EQ(find.m_strFindText, L"abc");
    EXPECT_EQ(list.requests.size(), 1u);
    list.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
    EXPECT_EQ(WindowText(find.GetDlgItem(IDC_FIND_TEXT)), L"edited");
    list.DestroyWindow();
}

TEST(InfoDialog, ShowsTheStopIcon) {
    CMessageListDlg list(nullptr);
    ASSERT_TRUE(list.Create(IDD_RESULTS, nullptr));
    ASSERT_TRUE(list.InfoDlg().Create(IDD_INFO, &list));
    HICON shown = reinterpret_cast<HICON>(
        SendMessageW(list.InfoDlg().GetDlgItem(IDC_INFO_ICON), STM_GETICON, 0, 0));
    EXPECT_EQ(shown, LoadIconW(nullptr, IDI_HAND));
    EXPECT_FALSE(list.InfoDlg().IsWindowVisible());
    list.DestroyWindow();
}

namespace {

std::vector<HWND> g_destroyed;

LRESULT CALLBACK RecordDestroy(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_DESTROY) {
        g_destroyed.push_back(message->hwnd);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

CMainDlg* g_modal = nullptr;
std::vector<HWND> g_results;
HHOOK g_hook = nullptr;

// Runs inside the main window's modal loop once the start-up scan has filled the list: two
// searches that find something, one inside the first results window, then Cancel.
void CALLBACK SearchThenClose(HWND, UINT, UINT_PTR timer, DWORD) {
    CMainDlg& main = *g_modal;
    if (main.GetMessageList().GetRowCount() == 0) {
        return; // the start-up tick has not come yet
    }
    KillTimer(nullptr, timer);
    main.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
    main.FindDlg().m_strFindText = L"dll";
    main.FindDlg().m_bModuleName = 1;
    main.SendMessageW(WM_FIND_REQUEST);
    main.SendMessageW(WM_FIND_REQUEST);
    if (main.ResultWindows().size() != 2) {
        ADD_FAILURE() << "the searches made " << main.ResultWindows().size() << " windows";
        main.PostMessageW(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return;
    }
    CMessageListDlg& first = *main.ResultWindows()[0];
    first.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
    first.FindDlg().m_strFindText = L"basic";
    first.FindDlg().m_bModuleName = 1;
    first.SendMessageW(WM_FIND_REQUEST);
    g_results = {main.ResultWindows()[0]->m_hWnd, main.ResultWindows()[1]->m_hWnd,
                 first.ResultWindows().empty() ? nullptr : first.ResultWindows()[0]->m_hWnd};
    // The application's main window owns every results window, whichever window searched.
    for (HWND results : g_results) {
        EXPECT_EQ(GetWindow(results, GW_OWNER), main.m_hWnd);
    }
    // Only the teardown is watched: a hook makes every message sent on this thread slow.
    g_hook = SetWindowsHookExW(WH_CALLWNDPROC, RecordDestroy, nullptr, GetCurrentThreadId());
    main.PostMessageW(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

} // namespace

// Closing the main window destroys its results windows first to last, then itself, and leaves
// no GDI object behind; run twice, so that what the platform caches on first use is in place.
TEST(MainWindow, ModalRunTearsDownInOrderWithoutLeaks) {
    TempFolder folder;
    folder.CopyFixture(L"basic.dll", L"basic.dll");
    folder.CopyFixture(L"tenmsg.dll", L"tenmsg.dll");
    int before = 0;
    for (int round = 0; round < 2; ++round) {
        if (round == 1) {
            before = LiveGdiObjects();
        }
        ScriptedPicker::Answer({folder.path()});
        g_destroyed.clear();
        g_results.clear();
        {
            CMainDlg main(nullptr);
            g_modal = &main;
            ui::Application::Current()->m_pMainWnd = &main;
            SetTimer(nullptr, 0, 50, SearchThenClose);
            EXPECT_EQ(main.DoModal(), IDCANCEL);
            EXPECT_EQ(main.m_hWnd, nullptr);
            ASSERT_EQ(main.ResultWindows().size(), 2u); // the objects outlive the windows
            EXPECT_EQ(main.ResultWindows()[0]->m_hWnd, nullptr);
            EXPECT_EQ(main.ResultWindows()[0]->MemDC(), nullptr);
            EXPECT_EQ(main.ResultWindows()[0]->ResultWindows()[0]->MemDC(), nullptr);
            ui::Application::Current()->m_pMainWnd = nullptr;
        }
        UnhookWindowsHookEx(g_hook);
        // Direct results windows first to last; the nested one goes with its owner, the main
        // window, which comes last of the three top-level windows.
        auto at = [](HWND window) {
            return std::find(g_destroyed.begin(), g_destroyed.end(), window) - g_destroyed.begin();
        };
        ASSERT_EQ(g_results.size(), 3u);
        EXPECT_LT(at(g_results[0]), at(g_results[1]));
        EXPECT_LT(static_cast<size_t>(at(g_results[1])), g_destroyed.size());
        EXPECT_LT(static_cast<size_t>(at(g_results[2])), g_destroyed.size());
        Pump();
    }
    EXPECT_EQ(LiveGdiObjects(), before);

    // The count sees a leak.
    HBITMAP leaked = CreateBitmap(1, 1, 1, 1, nullptr);
    EXPECT_EQ(LiveGdiObjects(), before + 1);
    DeleteObject(leaked);
}
