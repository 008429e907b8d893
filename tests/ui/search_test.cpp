// Searching: the rule on in-memory lists, and what a search does through the real windows.

#include "res/resource.h"
#include "tests/ui/ui_support.h"
#include "ui/Search.h"

#include <gtest/gtest.h>

namespace {

using Row = std::vector<std::wstring>;

// Appends the rows as the scan appends them: a row with a Locale ID cell as a message of a table
// of its module, folder and language, one of a module, folder and error as that module's error
// row; any other cell by cell.
void Fill(MessageList& list, const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        auto module = std::make_shared<ModuleRecord>();
        module->fileName = row[COL_MODULE_NAME];
        module->folder = row[COL_PATH];
        const std::wstring& locale = row[COL_LOCALE_ID];
        if (locale.empty() &&
            (row[COL_ERROR].empty() || !row[COL_MESSAGE_TEXT].empty() || !row[COL_VALUE].empty())) {
            const int at = list.AppendRow(row[0]);
            for (int column = 1; column < kMessageColumnCount; ++column) {
                list.SetCell(at, column, row[column]);
            }
            continue;
        }
        if (locale.empty()) {
            auto error = std::make_shared<ErrorRecord>();
            error->module = module;
            error->text = row[COL_ERROR];
            list.AppendError(*error);
            continue;
        }
        const std::size_t open = locale.find(L" (");
        const auto table =
            MakeTable(module, {}, static_cast<std::uint16_t>(std::stoi(locale.substr(0, open))),
                      locale.substr(open + 2, locale.size() - open - 3));
        list.AppendMessage(*table,
                           static_cast<std::uint32_t>(std::stoul(row[COL_VALUE_HEX], nullptr, 16)),
                           WideMessageText(row[COL_MESSAGE_TEXT]));
    }
}

// The columns of a first OK: all but Error; no match case.
SearchRequest Request(const std::wstring& text, std::vector<MessageColumn> columns = {
                                                    COL_MODULE_NAME, COL_LOCALE_ID, COL_VALUE,
                                                    COL_VALUE_HEX, COL_MESSAGE_TEXT}) {
    SearchRequest request;
    request.text = text;
    for (MessageColumn column : columns) {
        request.columns[column] = true;
    }
    return request;
}

Rows Found(const std::vector<Row>& rows, const SearchRequest& request) {
    MemoryMessageList source, target;
    Fill(source, rows);
    const int copies = SearchRows(source, request, target);
    EXPECT_EQ(copies, target.GetRowCount());
    return AllRows(target);
}

const Row kAlpha = {L"alpha.dll",           L"C:\\abc", L"", L"1033 (English)", L"1", L"0x00000001",
                    L"Text with ABC inside"};
const Row kAbc = {L"abc.dll", L"C:\\x", L"Error abc", L"", L"", L"", L""};
const Row kZeta = {L"zeta.dll", L"C:\\abc",    L"",       L"1031 (Deutsch)",
                   L"2",        L"0x00000002", L"nothing"};
const Row kTen = {L"ten.dll", L"C:\\t", L"", L"1033 (English)", L"16", L"0x00000010", L"ten"};

} // namespace

TEST(LookupRows, EveryReadingInTheLanguageAskedOrderedByModule) {
    const Row zeta5 = {L"zeta.dll", L"C:\\", L"", L"1033 (English)", L"5", L"0x00000005", L"z"};
    const Row alphaJa = {L"alpha.dll",   L"C:\\",       L"",    L"17 (\u65E5\u672C\u8A9E)",
                         L"-2147024891", L"0x80070005", L"a ja"};
    const Row alphaDe = {L"alpha.dll", L"C:\\",       L"",    L"1031 (Deutsch)",
                         L"5",         L"0x00000005", L"a de"};
    const Row six = {L"beta.dll", L"C:\\", L"", L"1041 (ja)", L"6", L"0x00000006", L"b"};
    MemoryMessageList source;
    Fill(source, {zeta5, alphaJa, kAbc, six, alphaDe});
    const auto lookUp = [&](const wchar_t* text, std::wstring& name) {
        MessageQuery query;
        std::wstring error;
        EXPECT_TRUE(ParseLookup(text, query, name, error)) << text << ": " << error;
        MemoryMessageList target(MemoryMessageList::Order::SortedByModuleName);
        const int copies = LookupRows(source, query, target);
        EXPECT_EQ(copies, target.GetRowCount());
        return AllRows(target);
    };
    std::wstring name;
    // The value and its Win32 code, in every language; error rows never.
    EXPECT_EQ(lookUp(L"5", name), (Rows{alphaJa, alphaDe, zeta5}));
    EXPECT_EQ(name, L"ERROR_ACCESS_DENIED");
    // A language after the code; ja-JP takes the tables stored under Japanese alone (17).
    EXPECT_EQ(lookUp(L" E_ACCESSDENIED  ja-JP ", name), Rows{alphaJa});
    EXPECT_EQ(name, L"E_ACCESSDENIED");
    EXPECT_EQ(lookUp(L"0x12345678", name), Rows{});
    EXPECT_EQ(name, L"");

    MessageQuery query;
    std::wstring error;
    EXPECT_FALSE(ParseLookup(L"5 xx-nowhere", query, name, error));
    EXPECT_NE(error.find(L"is not a language"), std::wstring::npos);
}

TEST(SearchRows, ColumnsAndCase) {
    const std::vector<Row> rows = {kZeta, kAlpha, kAbc, kTen};
    // Without match case: module name of abc.dll, message text of alpha.dll; not the Error or
    // Path cells. Each copy keeps the case of its source.
    EXPECT_EQ(Found(rows, Request(L"abc")), (Rows{kAbc, kAlpha}));
    SearchRequest exact = Request(L"abc");
    exact.matchCase = true;
    EXPECT_EQ(Found(rows, exact), Rows{kAbc});
    EXPECT_EQ(Found(rows, Request(L"ERROR ABC", {COL_ERROR})), Rows{kAbc});
    // Letters beyond ASCII compare in the system's upper case too.
    const Row german = {L"de.dll", L"", L"", L"", L"", L"", L"Gr\u00FC\u00DFe"};
    EXPECT_EQ(Found({german}, Request(L"GR\u00DC")), Rows{german});
    EXPECT_EQ(Found({german}, Request(L"gr\u00FC\u00DF")), Rows{german});
    EXPECT_EQ(Found(rows, Request(L"deutsch", {COL_LOCALE_ID})), Rows{kZeta});
    // Value and Hex value are two columns: "10" is in ten.dll's hex cell, "16" in its value.
    EXPECT_EQ(Found(rows, Request(L"10", {COL_VALUE})), Rows{});
    EXPECT_EQ(Found(rows, Request(L"10", {COL_VALUE_HEX})), Rows{kTen});
    EXPECT_EQ(Found(rows, Request(L"16", {COL_VALUE})), Rows{kTen});
    EXPECT_EQ(Found(rows, Request(L"16", {COL_VALUE_HEX})), Rows{});
    // Path is never searched, whatever is ticked.
    SearchRequest everything = Request(L"C:\\", {});
    everything.columns.fill(true);
    EXPECT_EQ(Found(rows, everything), Rows{});
    // Nothing ticked, or nothing to look for.
    EXPECT_EQ(Found(rows, Request(L"abc", {})), Rows{});
    EXPECT_EQ(Found(rows, Request(L"")), Rows{});
}

TEST(SearchRows, EveryMatchingColumnGivesACopy) {
    const Row both = {L"abc.dll", L"p", L"", L"", L"", L"", L"abc here"};
    EXPECT_EQ(Found({both}, Request(L"abc")), (Rows{both, both}));
    EXPECT_EQ(Found({both}, Request(L"abc", {COL_MESSAGE_TEXT})), Rows{both});
    // Blanks are searched like any other character.
    const Row two = {L"two.dll", L"", L"", L"", L"", L"", L"a  b"};
    const Row one = {L"one.dll", L"", L"", L"", L"", L"", L"a b"};
    EXPECT_EQ(Found({two, one}, Request(L"  ")), Rows{two});
}

// Copies come in the order of a sort-ascending list (the in-memory sorted list, which keeps the
// real control's order); copies with equal module names in the order found.
TEST(SearchRows, OrderOfModuleNamesThenOrderFound) {
    const std::vector<std::wstring> names = {
        L"shell32.dll", L"Advapi32.dll", L"kernel32.dll", L"advapi32.dll", L"_x.dll", L"a-b.dll",
        L"ab.dll",      L"Z.dll",        L"\u00e9.dll",   L"e.dll",        L"a10.dll"};
    std::vector<Row> rows;
    MemoryMessageList control(MemoryMessageList::Order::SortedByModuleName);
    for (const std::wstring& name : names) {
        rows.push_back({name, L"", L"", L"", L"", L"", L"hit"});
        control.AppendRow(name);
    }
    std::vector<std::wstring> expected;
    for (int row = 0; row < control.GetRowCount(); ++row) {
        expected.push_back(control.GetCell(row, COL_MODULE_NAME));
    }
    std::vector<std::wstring> got;
    for (const auto& row : Found(rows, Request(L"hit"))) {
        got.push_back(row[COL_MODULE_NAME]);
    }
    EXPECT_EQ(got, expected);

    // One module's rows keep their order, identifiers ascending, between other modules' rows.
    const auto message = [](const wchar_t* module, const wchar_t* id) {
        return Row{module, L"", L"", L"", id, L"", L"hit " + std::wstring(id)};
    };
    // Forty copies of one module, past what a small sort keeps in order by luck.
    std::vector<Row> source;
    Rows inOrder;
    for (int i = 0; i < 40; ++i) {
        source.push_back(message(L"b.dll", std::to_wstring(i).c_str()));
        if (i % 8 == 0) {
            source.push_back(message(L"a.dll", std::to_wstring(i).c_str()));
            inOrder.push_back(source.back());
        }
    }
    for (int i = 0; i < 40; ++i) {
        inOrder.push_back(message(L"b.dll", std::to_wstring(i).c_str()));
    }
    EXPECT_EQ(Found(source, Request(L"hit", {COL_MESSAGE_TEXT})), inOrder);
}

namespace {

// An unsorted list window (the main window's template) with the given rows, searched as an OK of
// its find dialog does.
class SourceList {
public:
    explicit SourceList(const std::vector<Row>& rows) {
        EXPECT_TRUE(window.Create(IDD_MAIN, nullptr));
        Fill(window.GetMessageList(), rows);
        window.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
        Pump();
    }
    ~SourceList() { window.DestroyWindow(); }

    // Searches with the first OK's ticks.
    void Search(const std::wstring& text) { Search(window, text); }
    static void Search(CMessageListDlg& list, const std::wstring& text) {
        if (list.FindDlg().m_hWnd == nullptr) {
            list.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
        }
        CFindDlg& find = list.FindDlg();
        find.m_strFindText = text;
        find.m_bModuleName = find.m_bLanguageId = find.m_bValue = find.m_bHexValue =
            find.m_bMessageText = 1;
        find.m_bError = find.m_bMatchCase = 0;
        list.SendMessageW(WM_FIND_REQUEST);
    }

    size_t Windows() const { return window.ResultWindows().size(); }
    CMessageListDlg& Last() { return *window.ResultWindows().back(); }
    Rows LastRows() { return AllRows(Last().GetMessageList()); }
    bool InfoShown() const { return window.InfoDlg().m_hWnd && window.InfoDlg().IsWindowVisible(); }
    std::wstring InfoText() const { return WindowText(window.InfoDlg().GetDlgItem(IDC_INFO_TEXT)); }

    CMessageListDlg window{nullptr};
};

} // namespace

TEST(Search, FirstOpeningSearchesFiveColumnsWithoutCase) {
    const Row alphaTwo = {kAlpha[0], kAlpha[1], L"", kAlpha[3], L"2", L"0x00000002", L"abc 2"};
    SourceList source({kZeta, kAlpha, kAbc, alphaTwo});
    CFindDlg& find = source.window.FindDlg();
    SetWindowTextW(find.GetDlgItem(IDC_FIND_TEXT), L"abc");
    find.SendMessageW(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    Pump();
    ASSERT_EQ(source.Windows(), 1u);
    // Sorted by module name, alpha.dll's rows in the order found.
    EXPECT_EQ(source.LastRows(), (Rows{kAbc, kAlpha, alphaTwo}));
    EXPECT_TRUE(source.Last().IsWindowVisible());
    EXPECT_EQ(WindowText(source.Last().m_hWnd), L"Finded - [abc]");
    // The control only shows the rows: it keeps no order of its own.
    const LONG style = GetWindowLongW(source.Last().ListCtrl().m_hWnd, GWL_STYLE);
    EXPECT_EQ(style & (LVS_OWNERDATA | LVS_SORTASCENDING), LVS_OWNERDATA);
    EXPECT_FALSE(source.InfoShown());
    // The searched list is unchanged.
    EXPECT_EQ(AllRows(source.window.GetMessageList()), (Rows{kZeta, kAlpha, kAbc, alphaTwo}));
}

TEST(Search, MissesShowOneInfoDialog) {
    SourceList source({kAlpha, kAbc});
    source.Search(L"");
    EXPECT_EQ(source.window.InfoDlg().m_hWnd, nullptr); // an empty string does nothing at all

    // Only in a Path cell.
    source.Search(L"C:\\x");
    EXPECT_EQ(source.Windows(), 0u);
    ASSERT_TRUE(source.InfoShown());
    EXPECT_EQ(source.InfoText(), L"Not found - C:\\x");
    HWND info = source.window.InfoDlg().m_hWnd;

    source.Search(L"a-miss");
    source.Search(L"b-miss");
    EXPECT_EQ(source.window.InfoDlg().m_hWnd, info);
    EXPECT_EQ(source.InfoText(), L"Not found - b-miss");
    EXPECT_EQ(source.Windows(), 0u);

    // OK of the info dialog hides it.
    source.window.InfoDlg().SendMessageW(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_FALSE(source.InfoShown());

    SourceList empty({});
    empty.Search(L"abc");
    EXPECT_EQ(empty.Windows(), 0u);
    EXPECT_EQ(empty.InfoText(), L"Not found - abc");
}

TEST(Search, EverySearchMakesItsOwnWindowAndResultsCanBeSearched) {
    SourceList source({kAlpha, kAbc, kZeta});
    // The request never reaches the system's dialog handling, to which it means DM_SETDEFID.
    const LRESULT defaultButton = source.window.SendMessageW(DM_GETDEFID);
    EXPECT_EQ(defaultButton, MAKELRESULT(IDOK, DC_HASDEFID));
    source.Search(L"abc");
    source.Search(L"abc");
    EXPECT_EQ(source.window.SendMessageW(DM_GETDEFID), defaultButton);
    ASSERT_EQ(source.Windows(), 2u);
    EXPECT_NE(source.window.ResultWindows()[0]->m_hWnd, source.window.ResultWindows()[1]->m_hWnd);
    EXPECT_EQ(WindowText(source.window.ResultWindows()[0]->m_hWnd), L"Finded - [abc]");
    EXPECT_EQ(WindowText(source.window.ResultWindows()[1]->m_hWnd), L"Finded - [abc]");

    // Narrowing inside a results window: its own find dialog, defaults and results.
    CMessageListDlg& first = *source.window.ResultWindows()[0];
    first.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
    EXPECT_NE(first.FindDlg().m_hWnd, source.window.FindDlg().m_hWnd);
    EXPECT_EQ(WindowText(first.FindDlg().GetDlgItem(IDC_FIND_TEXT)), L"");
    SourceList::Search(first, L"alpha");
    ASSERT_EQ(first.ResultWindows().size(), 1u);
    EXPECT_EQ(AllRows(first.ResultWindows()[0]->GetMessageList()), Rows{kAlpha});
    EXPECT_EQ(WindowText(first.ResultWindows()[0]->m_hWnd), L"Finded - [alpha]");
    EXPECT_EQ(source.Windows(), 2u);
}

// A closed results window is never shown again: once its own results windows are closed too, it
// is destroyed and deleted, and gives its memory back.
TEST(Search, ClosedResultsWindowsAreReleased) {
    SourceList source({kAlpha, kAbc, kZeta});
    source.Search(L"abc");
    source.Search(L"zeta");
    CMessageListDlg* first = source.window.ResultWindows()[0].get();
    SourceList::Search(*first, L"alpha");
    CMessageListDlg* nested = first->ResultWindows()[0].get();
    const HWND firstWindow = first->m_hWnd, nestedWindow = nested->m_hWnd;

    // Closed while its own results window is open: hidden, kept.
    first->SendMessageW(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    Pump();
    EXPECT_FALSE(IsWindowVisible(firstWindow));
    ASSERT_EQ(source.Windows(), 2u);
    EXPECT_TRUE(IsWindow(firstWindow));

    // Its results window closes (Enter, which is OK): both go, the other search's window stays.
    nested->SendMessageW(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    Pump();
    EXPECT_FALSE(IsWindow(nestedWindow));
    EXPECT_FALSE(IsWindow(firstWindow));
    ASSERT_EQ(source.Windows(), 1u);
    EXPECT_EQ(WindowText(source.Last().m_hWnd), L"Finded - [zeta]");
}

TEST(Search, CancelledEditIsSearchedByTheNextOk) {
    SourceList source({kAlpha, kZeta});
    CFindDlg& find = source.window.FindDlg();
    SetWindowTextW(find.GetDlgItem(IDC_FIND_TEXT), L"zeta");
    find.SendMessageW(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    Pump();
    EXPECT_EQ(source.Windows(), 0u);
    source.window.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
    find.SendMessageW(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    Pump();
    ASSERT_EQ(source.Windows(), 1u);
    EXPECT_EQ(source.LastRows(), Rows{kZeta});
}

namespace {

// A window's place from the top of the z-order (hidden windows counted), or -1.
int Depth(HWND wanted) {
    int at = 0;
    for (HWND window = GetTopWindow(nullptr); window != nullptr;
         window = GetWindow(window, GW_HWNDNEXT), ++at) {
        if (window == wanted) {
            return at;
        }
    }
    return -1;
}

// The topmost visible window of this process.
HWND TopmostVisible() {
    for (HWND window = GetTopWindow(nullptr); window != nullptr;
         window = GetWindow(window, GW_HWNDNEXT)) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (IsWindowVisible(window) && process == GetCurrentProcessId()) {
            return window;
        }
    }
    return nullptr;
}

} // namespace

// The window that the user works in, or its nearest open relative, stays in front: closing a
// results window leaves its own newest results window in front, else the window whose search
// made it; a miss in a results window leaves that window and its message above the others.
TEST(Search, TheWindowInUseOrItsRelativeStaysInFront) {
    TempFolder folder;
    folder.CopyFixture(L"basic.dll", L"basic.dll");
    auto main = OpenMainWindow({folder.path()});
    SourceList::Search(*main, L"basic");
    SourceList::Search(*main, L"basic");
    Pump();
    ASSERT_EQ(main->ResultWindows().size(), 2u);
    CMessageListDlg& older = *main->ResultWindows()[0];
    CMessageListDlg& newer = *main->ResultWindows()[1];

    SetForegroundWindow(older.m_hWnd);
    older.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
    Pump();
    SetWindowTextW(older.FindDlg().GetDlgItem(IDC_FIND_TEXT), L"zzz");
    older.FindDlg().SendMessageW(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    Pump();
    EXPECT_EQ(TopmostVisible(), older.InfoDlg().m_hWnd);
    EXPECT_LT(Depth(older.m_hWnd), Depth(newer.m_hWnd));
    EXPECT_LT(Depth(newer.m_hWnd), Depth(main->m_hWnd));
    older.InfoDlg().SendMessageW(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);

    SourceList::Search(older, L"first");
    Pump();
    ASSERT_EQ(older.ResultWindows().size(), 1u);
    CMessageListDlg& nested = *older.ResultWindows()[0];
    EXPECT_EQ(TopmostVisible(), nested.m_hWnd);
    SetForegroundWindow(older.m_hWnd);
    older.SendMessageW(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    Pump();
    EXPECT_EQ(TopmostVisible(), nested.m_hWnd);
    EXPECT_EQ(GetActiveWindow(), nested.m_hWnd);

    SetForegroundWindow(nested.m_hWnd);
    nested.SendMessageW(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    Pump();
    EXPECT_EQ(TopmostVisible(), main->m_hWnd); // older is gone: the nearest open ancestor
    main->DestroyWindow();
}
