// Keys typed through the system's input queue and the program's own message loop: the dialogs'
// keyboard navigation, and the keys that every list window answers to.

#include "res/resource.h"
#include "tests/ui/ui_support.h"
#include "ui/SaveRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

namespace {

// Where the keyboard goes with each press of Tab.
std::vector<HWND> FocusAfterTabs(int presses) {
    std::vector<HWND> focus;
    for (int i = 0; i < presses; ++i) {
        PressKey(VK_TAB);
        focus.push_back(GetFocus());
    }
    return focus;
}

std::wstring ClipboardText() {
    std::wstring text;
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            text = static_cast<const wchar_t*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
    }
    return text;
}

void SetClipboard(const std::wstring& text) {
    ASSERT_TRUE(ui::SetClipboardText(nullptr, text));
}

void Select(CMessageListDlg& list, int row) {
    LVITEMW item{};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    list.ListCtrl().SendMessageW(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    list.ListCtrl().SetFocus();
}

} // namespace

TEST(Keyboard, TabFollowsTheMainWindowsLayoutAndTheFindDialogsTemplate) {
    auto main = OpenMainWindow({});
    // The strip's layout raised its controls, in that order; Tab skips the label and the
    // read-only status edit, which have no tab stop.
    SetFocus(main->GetDlgItem(IDC_RECURSIVE));
    EXPECT_EQ(FocusAfterTabs(5),
              (std::vector<HWND>{main->GetDlgItem(IDC_MASK), main->GetDlgItem(IDC_OPEN_DIR),
                                 main->ListCtrl().m_hWnd, main->GetDlgItem(IDC_FIND_BUTTON),
                                 main->GetDlgItem(IDC_RECURSIVE)}));

    main->SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
    Pump();
    CFindDlg& find = main->FindDlg();
    ASSERT_EQ(GetFocus(), find.GetDlgItem(IDC_FIND_TEXT));
    std::vector<HWND> order;
    for (int id : {IDC_FIND_MODULE, IDC_FIND_ERROR, IDC_FIND_LANGUAGE, IDC_FIND_VALUE, IDC_FIND_HEX,
                   IDC_FIND_TEXTCOL, IDC_FIND_MATCHCASE, IDOK, IDCANCEL, IDC_FIND_TEXT}) {
        order.push_back(find.GetDlgItem(id));
    }
    EXPECT_EQ(FocusAfterTabs(10), order);
    main->DestroyWindow();
}

TEST(Keyboard, EnterAndEscapeInTheFindAndInfoDialogs) {
    auto main = OpenMainWindow({});
    main->SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
    Pump();
    CFindDlg& find = main->FindDlg();
    SetWindowTextW(find.GetDlgItem(IDC_FIND_TEXT), L"typed");

    // Escape is Cancel: hidden, nothing stored.
    PressKey(VK_ESCAPE);
    EXPECT_FALSE(find.IsWindowVisible());
    EXPECT_EQ(find.m_strFindText, L"");

    // Enter is OK, from the search text: stored and searched (an empty list: the info dialog).
    main->SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
    Pump();
    PressKey(VK_RETURN);
    EXPECT_FALSE(find.IsWindowVisible());
    EXPECT_TRUE(main->IsWindowVisible());
    EXPECT_EQ(find.m_strFindText, L"typed");
    ASSERT_TRUE(main->InfoDlg().IsWindowVisible());
    EXPECT_EQ(WindowText(main->InfoDlg().GetDlgItem(IDC_INFO_TEXT)), L"Not found - typed");

    // Enter in the info dialog is its OK.
    SetForegroundWindow(main->InfoDlg().m_hWnd);
    SetFocus(main->InfoDlg().GetDlgItem(IDOK));
    PressKey(VK_RETURN);
    EXPECT_FALSE(main->InfoDlg().IsWindowVisible());
    main->DestroyWindow();
}

namespace {

CMainDlg* g_main = nullptr;
int g_ticks = 0;

// Runs inside the main window's modal loop: Escape, typed when the start-up pick is over. Should
// the loop still run a second later, the key was lost: Cancel ends it, and the test fails.
void CALLBACK TypeEscape(HWND, UINT, UINT_PTR timer, DWORD) {
    if (!g_main->IsWindowVisible() || ScriptedPicker::calls.empty()) {
        return;
    }
    if (g_ticks++ == 0) {
        PressKey(VK_ESCAPE, false, false, false);
    } else if (g_ticks > 20) {
        KillTimer(nullptr, timer);
        ADD_FAILURE() << "Escape did not end the main window";
        g_main->PostMessageW(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
}

} // namespace

TEST(Keyboard, EscapeEndsTheMainWindow) {
    ScriptedPicker::Answer({});
    CMainDlg main(nullptr);
    g_main = &main;
    g_ticks = 0;
    ui::Application::Current()->m_pMainWnd = &main;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, TypeEscape);
    EXPECT_EQ(main.DoModal(), IDCANCEL);
    KillTimer(nullptr, timer);
    ui::Application::Current()->m_pMainWnd = nullptr;
}

TEST(Keyboard, CtrlCCopiesTheSelectedRowAndCtrlFOpensTheFindDialog) {
    TempFolder folder;
    folder.CopyFixture(L"assorted.dll", L"assorted.dll");
    folder.WriteText(L"text.dll", "not a module");
    auto main = OpenMainWindow({folder.path()});
    MessageList& rows = main->GetMessageList();
    ASSERT_GT(rows.GetRowCount(), 2);

    // No selection copies nothing.
    SetClipboard(L"before");
    main->ListCtrl().SetFocus();
    PressKey('C', true);
    EXPECT_EQ(ClipboardText(), L"before");

    // A message row with non-ASCII text, its cells as they are, tab-separated, CR LF at the end.
    int utf8Row = -1, errorRow = -1;
    for (int row = 0; row < rows.GetRowCount(); ++row) {
        utf8Row = rows.GetCell(row, COL_VALUE_HEX) == L"0x80000000" ? row : utf8Row;
        errorRow = rows.GetCell(row, COL_MODULE_NAME) == L"text.dll" ? row : errorRow;
    }
    ASSERT_GE(utf8Row, 0);
    ASSERT_GE(errorRow, 0);
    Select(*main, utf8Row);
    PressKey('C', true);
    EXPECT_EQ(ClipboardText(), L"assorted.dll\t" + folder.path() +
                                   L"\t\t1033 (English)\t-2147483648\t0x80000000\t"
                                   L"Gr\u00FC\u00DFe \u20AC\r\n");
    Select(*main, errorRow);
    PressKey('C', true);
    EXPECT_EQ(ClipboardText(), L"text.dll\t" + folder.path() + L"\t" +
                                   rows.GetCell(errorRow, COL_ERROR) + L"\t\t\t\t\r\n");

    // The selected row, not the one with the focus cue.
    LVITEMW focus{};
    focus.stateMask = focus.state = LVIS_FOCUSED;
    main->ListCtrl().SendMessageW(LVM_SETITEMSTATE, utf8Row, reinterpret_cast<LPARAM>(&focus));
    PressKey('C', true);
    EXPECT_EQ(ClipboardText(), RowText(rows, errorRow));

    // Outside the list, Ctrl+C is the control's own, and plain letters are typed; Ctrl+F opens
    // the find dialog from anywhere in the window.
    HWND mask = main->GetDlgItem(IDC_MASK);
    SetFocus(mask);
    SendMessageW(mask, EM_SETSEL, 0, -1);
    PressKey('C', true);
    EXPECT_EQ(ClipboardText(), L"*.dll");
    SendMessageW(mask, EM_SETSEL, 0, -1);
    PressKey('C');
    PressKey('F');
    EXPECT_EQ(WindowText(mask), L"cf");
    EXPECT_EQ(main->FindDlg().m_hWnd, nullptr);
    PressKey('F', true);
    ASSERT_NE(main->FindDlg().m_hWnd, nullptr);
    EXPECT_TRUE(main->FindDlg().IsWindowVisible());
    main->FindDlg().ShowWindow(SW_HIDE);
    SetWindowTextW(mask, L"*.dll");

    // The list's menu (Shift+F10), its one item chosen by keyboard: the same copy.
    Select(*main, utf8Row);
    PressKey(VK_F10, false, true, false);
    PressKey(VK_DOWN, false, false, false);
    PressKey(VK_RETURN);
    EXPECT_EQ(ClipboardText(), RowText(rows, utf8Row));
    EXPECT_NE(ClipboardText().find(L"0x80000000"), std::wstring::npos);

    // Ctrl+F in a results window of a results window opens that window's own find dialog, with
    // the keyboard in its search text.
    main->SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
    main->FindDlg().m_strFindText = L"dll";
    main->FindDlg().m_bModuleName = 1;
    main->SendMessageW(WM_FIND_REQUEST);
    ASSERT_EQ(main->ResultWindows().size(), 1u);
    CMessageListDlg& results = *main->ResultWindows()[0];
    results.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
    results.FindDlg().m_strFindText = L"text";
    results.FindDlg().m_bModuleName = 1;
    results.SendMessageW(WM_FIND_REQUEST);
    ASSERT_EQ(results.ResultWindows().size(), 1u);
    CMessageListDlg& nested = *results.ResultWindows()[0];
    Pump();
    SetForegroundWindow(nested.m_hWnd);
    nested.ListCtrl().SetFocus();
    PressKey('F', true);
    ASSERT_NE(nested.FindDlg().m_hWnd, nullptr);
    EXPECT_TRUE(nested.FindDlg().IsWindowVisible());
    EXPECT_EQ(GetFocus(), nested.FindDlg().GetDlgItem(IDC_FIND_TEXT));
    EXPECT_EQ(nested.FindDlg().GetParent(), nested.m_hWnd);
    main->DestroyWindow();
}

// Enter in a results window's find dialog searches that window; a miss leaves the results window
// open and its message on top.
TEST(Keyboard, EnterInAResultsWindowsFindDialogSearchesIt) {
    TempFolder folder;
    folder.CopyFixture(L"basic.dll", L"basic.dll");
    auto main = OpenMainWindow({folder.path()});
    main->SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
    main->FindDlg().m_strFindText = L"dll";
    main->FindDlg().m_bModuleName = 1;
    main->SendMessageW(WM_FIND_REQUEST);
    Pump();
    ASSERT_EQ(main->ResultWindows().size(), 1u);
    CMessageListDlg& results = *main->ResultWindows()[0];
    SetForegroundWindow(results.m_hWnd);
    results.ListCtrl().SetFocus();
    PressKey('F', true);
    ASSERT_TRUE(results.FindDlg().IsWindowVisible());
    for (wchar_t c : std::wstring(L"ZZZ")) {
        PressKey(static_cast<WORD>(c));
    }
    PressKey(VK_RETURN);
    EXPECT_FALSE(results.FindDlg().IsWindowVisible());
    ASSERT_EQ(main->ResultWindows().size(), 1u);
    EXPECT_TRUE(results.IsWindowVisible());
    EXPECT_EQ(WindowText(results.InfoDlg().GetDlgItem(IDC_INFO_TEXT)), L"Not found - zzz");
    // The message is the topmost window, whatever the platform restacked meanwhile.
    HWND top = GetTopWindow(nullptr);
    while (top != nullptr && !IsWindowVisible(top)) {
        top = GetWindow(top, GW_HWNDNEXT);
    }
    EXPECT_EQ(top, results.InfoDlg().m_hWnd);
    main->DestroyWindow();
}

// Typing the first letters of a module name in a list goes to the next row with that name,
// wrapping round to the top.
TEST(Keyboard, TypingAModuleNameGoesToItsRow) {
    CMessageListDlg list(nullptr);
    ASSERT_TRUE(list.Create(IDD_MAIN, nullptr));
    for (const wchar_t* name :
         {L"alpha.dll", L"beta.dll", L"kernel32.dll", L"KernelBase.dll", L"zeta.dll"}) {
        list.GetMessageList().AppendRow(name);
    }
    Select(list, 0);
    const auto type = [&](const std::wstring& text) {
        for (wchar_t c : text) {
            list.ListCtrl().SendMessageW(WM_CHAR, c, 1);
        }
        return static_cast<int>(
            list.ListCtrl().SendMessageW(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    };
    EXPECT_EQ(type(L"kernelb"), 3); // letter case aside
    EXPECT_EQ(list.ListCtrl().GetSelectedItem(), 3);
    Sleep(600); // a pause starts a new name
    EXPECT_EQ(type(L"a"), 0);
    // The search starts at the row that the control names, whichever row is selected (row 0).
    LVFINDINFOW find{};
    find.flags = LVFI_PARTIAL | LVFI_STRING | LVFI_WRAP;
    find.psz = L"k";
    const auto from = [&](int row) {
        return list.ListCtrl().SendMessageW(LVM_FINDITEMW, static_cast<WPARAM>(row),
                                            reinterpret_cast<LPARAM>(&find));
    };
    EXPECT_EQ(from(3), 3);
    EXPECT_EQ(from(4), 2); // round past the end
    list.DestroyWindow();
}

TEST(Keyboard, CtrlGLooksUpACodeInEveryLanguage) {
    // The system's own kernelbase.dll: Win32 code 5 in every language it has.
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    TempFolder folder;
    ASSERT_TRUE(CopyFileW((std::wstring(system) + L"\\kernelbase.dll").c_str(),
                          (folder.path() + L"\\kernelbase.dll").c_str(), FALSE));
    auto main = OpenMainWindow({folder.path()});
    const MemoryMessageList& scanned = main->Rows();
    std::set<std::wstring> languages;
    for (int row = 0; row < scanned.GetRowCount(); ++row) {
        languages.emplace(scanned.GetCell(row, COL_LOCALE_ID));
    }
    ASSERT_GT(languages.size(), 20u);

    main->ListCtrl().SetFocus();
    PressKey('G', true);
    CLookupDlg& lookup = main->LookupDlg();
    ASSERT_TRUE(lookup.m_hWnd != nullptr && lookup.IsWindowVisible());
    ASSERT_EQ(GetFocus(), lookup.GetDlgItem(IDC_LOOKUP_TEXT));
    // Blanks alone ask for nothing: no answer at all, not even that they are no code.
    SetWindowTextW(lookup.GetDlgItem(IDC_LOOKUP_TEXT), L"  \t ");
    PressKey(VK_RETURN);
    EXPECT_TRUE(main->InfoDlg().m_hWnd == nullptr || !main->InfoDlg().IsWindowVisible());
    EXPECT_TRUE(main->ResultWindows().empty());
    if (!lookup.IsWindowVisible()) {
        main->ListCtrl().SetFocus();
        PressKey('G', true);
    }
    SetWindowTextW(lookup.GetDlgItem(IDC_LOOKUP_TEXT), L"0x80070005");
    PressKey(VK_RETURN);
    EXPECT_FALSE(lookup.IsWindowVisible());

    ASSERT_EQ(main->ResultWindows().size(), 1u);
    CMessageListDlg& results = *main->ResultWindows()[0];
    EXPECT_EQ(WindowText(results.m_hWnd), L"Code - 0x80070005 [E_ACCESSDENIED]");
    std::set<std::wstring> found;
    for (const auto& row : AllRows(results.GetMessageList())) {
        EXPECT_EQ(row[COL_MODULE_NAME], L"kernelbase.dll");
        EXPECT_EQ(row[COL_VALUE_HEX], L"0x00000005");
        EXPECT_TRUE(found.insert(row[COL_LOCALE_ID]).second) << "twice: " << row[COL_LOCALE_ID];
    }
    EXPECT_EQ(found, languages);

    // A miss and a text that is no code both answer in the info dialog; neither makes a window.
    for (const auto& [typed, says] :
         {std::pair<std::wstring, std::wstring>{L"0x12345678", L"Not found - 0x12345678"},
          {L"NO_SUCH_NAME", L"no code is named 'NO_SUCH_NAME'"}}) {
        SetForegroundWindow(main->m_hWnd);
        main->ListCtrl().SetFocus();
        PressKey('G', true);
        SetWindowTextW(lookup.GetDlgItem(IDC_LOOKUP_TEXT), typed.c_str());
        PressKey(VK_RETURN);
        EXPECT_EQ(WindowText(main->InfoDlg().GetDlgItem(IDC_INFO_TEXT)), says);
    }
    EXPECT_EQ(main->ResultWindows().size(), 1u);
    main->DestroyWindow();
}

TEST(Keyboard, AStartPathF5CopyAllRowsAndSaveAs) {
    TempFolder folder;
    folder.CopyFixture(L"basic.dll", L"basic.dll");
    folder.CopyFixture(L"tenmsg.dll", L"tenmsg.dll");

    // A module on the command line: scanned alone, as its folder with its name for the mask.
    auto module = OpenMainWindowAt(folder.path() + L"\\basic.dll");
    EXPECT_TRUE(ScriptedPicker::calls.empty());
    EXPECT_EQ(module->GetMessageList().GetRowCount(), 3);
    EXPECT_EQ(WindowText(module->GetDlgItem(IDC_MASK)), L"basic.dll");
    module.reset();

    // A drive's root keeps its separator: "C:" alone would be the drive's current folder.
    auto root = OpenMainWindowAt(L"C:\\");
    EXPECT_EQ(WindowText(root->m_hWnd), L"Orvanel   [C:\\\\*.dll]");
    root.reset();

    // A folder, with a trailing separator; then F5 scans it again as the window stands.
    auto main = OpenMainWindowAt(folder.path() + L"\\");
    EXPECT_TRUE(ScriptedPicker::calls.empty());
    EXPECT_EQ(WindowText(main->m_hWnd), L"Orvanel   [" + folder.path() + L"\\*.dll]");
    const int both = main->GetMessageList().GetRowCount();
    EXPECT_GT(both, 3);
    SetWindowTextW(main->GetDlgItem(IDC_MASK), L"t*.dll");
    main->ListCtrl().SetFocus();
    PressKey(VK_F5);
    EXPECT_TRUE(ScriptedPicker::calls.empty());
    EXPECT_EQ(main->GetMessageList().GetRowCount(), both - 3);

    // "Copy all rows" from the list's menu, by keyboard: every row, in list order.
    SetClipboard(L"before");
    PressKey(VK_F10, false, true, false);
    PressKey(VK_DOWN, false, false, false);
    PressKey(VK_DOWN, false, false, false);
    PressKey(VK_RETURN);
    std::wstring all;
    for (int row = 0; row < main->GetMessageList().GetRowCount(); ++row) {
        all += RowText(main->GetMessageList(), row);
    }
    EXPECT_EQ(ClipboardText(), all);

    // "Save as..." from the same menu, the save dialog answered: every row, in CSV after a
    // byte-order mark, the header first.
    static std::wstring s_savePath;
    s_savePath = folder.path() + L"\\saved.csv";
    const SaveFileChooser previous =
        SetSaveFileChooser([](HWND, std::wstring& path, RowFormat& format) {
            path = s_savePath;
            format = RowFormat::Csv;
            return true;
        });
    PressKey(VK_F10, false, true, false);
    for (int i = 0; i < 3; ++i) {
        PressKey(VK_DOWN, false, false, false);
    }
    PressKey(VK_RETURN);
    SetSaveFileChooser(previous);
    std::string saved;
    if (HANDLE file = CreateFileW(s_savePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        file != INVALID_HANDLE_VALUE) {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
            saved.append(buffer, read);
        }
        CloseHandle(file);
    }
    ASSERT_TRUE(saved.starts_with("\xEF\xBB\xBFModule Name,Path,Error,"));
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'),
              main->GetMessageList().GetRowCount() + 1);
    main->DestroyWindow();
}
