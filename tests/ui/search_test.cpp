// Searching a list window: what is found, where it goes, and what a miss shows.

#include "res/resource.h"
#include "tests/ui/ui_support.h"

#include <gtest/gtest.h>

namespace {

using Row = std::vector<std::wstring>;

// The find dialog's members for one search; by default those of a first OK.
struct Ticks {
    int module = 1, error = 0, language = 1, value = 1, hex = 1, text = 1, matchCase = 0;
};

// An unsorted list window (the main window's template) with the given rows.
class SourceList {
public:
    explicit SourceList(const std::vector<Row>& rows) {
        EXPECT_TRUE(window.Create(IDD_MAIN, nullptr));
        MessageList& list = window.GetMessageList();
        for (const Row& row : rows) {
            const int at = list.AppendRow(row[0]);
            for (int column = 1; column < kMessageColumnCount; ++column) {
                list.SetCell(at, column, row[column]);
            }
        }
        // The find dialog exists once the find button was clicked.
        window.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
        Pump();
    }
    ~SourceList() { window.DestroyWindow(); }

    // Searches with the given members, as an OK of the find dialog would.
    void Search(const std::wstring& text, Ticks ticks = {}) { Search(window, text, ticks); }
    static void Search(CMessageListDlg& list, const std::wstring& text, Ticks ticks = {}) {
        if (list.m_findDlg.m_hWnd == nullptr) {
            list.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
        }
        CFindDlg& find = list.m_findDlg;
        find.m_strFindText = text;
        find.m_bModuleName = ticks.module;
        find.m_bError = ticks.error;
        find.m_bLanguageId = ticks.language;
        find.m_bValue = ticks.value;
        find.m_bHexValue = ticks.hex;
        find.m_bMessageText = ticks.text;
        find.m_bMatchCase = ticks.matchCase;
        list.SendMessageW(WM_FIND_REQUEST);
    }

    size_t Windows() const { return window.m_resultWindows.size(); }
    CMessageListDlg& Last() { return *window.m_resultWindows.back(); }
    Rows LastRows() { return AllRows(Last().GetMessageList()); }
    bool InfoShown() const { return window.m_infoDlg.m_hWnd && window.m_infoDlg.IsWindowVisible(); }
    std::wstring InfoText() const { return WindowText(window.m_infoDlg.GetDlgItem(IDC_INFO_TEXT)); }

    CMessageListDlg window{nullptr};
};

const Row kAlpha = {L"alpha.dll",           L"C:\\abc", L"", L"1033 (English)", L"1", L"0x00000001",
                    L"Text with ABC inside"};
const Row kAbc = {L"abc.dll", L"C:\\x", L"Error abc", L"", L"", L"", L""};
const Row kZeta = {L"zeta.dll", L"C:\\abc",    L"",       L"1031 (Deutsch)",
                   L"2",        L"0x00000002", L"nothing"};

} // namespace

TEST(Search, FirstOpeningSearchesFiveColumnsWithoutCase) {
    SourceList source({kZeta, kAlpha, kAbc});
    CFindDlg& find = source.window.m_findDlg;
    SetWindowTextW(find.GetDlgItem(IDC_FIND_TEXT), L"abc");
    find.SendMessageW(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    Pump();
    ASSERT_EQ(source.Windows(), 1u);
    // Module name of abc.dll, message text of alpha.dll; not the Error or Path cells. Sorted by
    // module name, each copy in the case of its source.
    EXPECT_EQ(source.LastRows(), (Rows{kAbc, kAlpha}));
    EXPECT_TRUE(source.Last().IsWindowVisible());
    EXPECT_EQ(WindowText(source.Last().m_hWnd), L"Finded - [abc]");
    EXPECT_FALSE(source.InfoShown());
    // The searched list is unchanged.
    EXPECT_EQ(AllRows(source.window.GetMessageList()), (Rows{kZeta, kAlpha, kAbc}));
}

TEST(Search, MatchCaseAndColumns) {
    SourceList source({kAlpha, kAbc, kZeta});
    source.Search(L"abc", {.matchCase = 1});
    EXPECT_EQ(source.LastRows(), Rows{kAbc});

    source.Search(L"ERROR ABC",
                  {.module = 0, .error = 1, .language = 0, .value = 0, .hex = 0, .text = 0});
    EXPECT_EQ(source.LastRows(), Rows{kAbc});

    // Language and the two value columns.
    source.Search(L"deutsch");
    EXPECT_EQ(source.LastRows(), Rows{kZeta});
    source.Search(L"0x00000001");
    EXPECT_EQ(source.LastRows(), Rows{kAlpha});
    EXPECT_EQ(source.Windows(), 4u);
}

TEST(Search, RowMatchingInTwoTickedColumnsIsListedTwice) {
    const Row both = {L"abc.dll", L"p", L"", L"", L"", L"", L"abc here"};
    SourceList source({both});
    source.Search(L"abc");
    EXPECT_EQ(source.LastRows(), (Rows{both, both}));
    source.Search(L"abc", {.module = 0});
    EXPECT_EQ(source.LastRows(), Rows{both});
}

TEST(Search, MissesShowOneInfoDialog) {
    SourceList source({kAlpha, kAbc});
    // Only in a Path cell.
    source.Search(L"C:\\x");
    EXPECT_EQ(source.Windows(), 0u);
    ASSERT_TRUE(source.InfoShown());
    EXPECT_EQ(source.InfoText(), L"Not found - C:\\x");
    HWND info = source.window.m_infoDlg.m_hWnd;

    // No column ticked.
    source.Search(L"abc", {.module = 0, .language = 0, .value = 0, .hex = 0, .text = 0});
    EXPECT_EQ(source.InfoText(), L"Not found - abc");

    source.Search(L"a-miss");
    source.Search(L"b-miss");
    EXPECT_EQ(source.window.m_infoDlg.m_hWnd, info);
    EXPECT_EQ(source.InfoText(), L"Not found - b-miss");
    EXPECT_EQ(source.Windows(), 0u);

    // OK of the info dialog hides it.
    source.window.m_infoDlg.SendMessageW(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_FALSE(source.InfoShown());

    SourceList empty({});
    empty.Search(L"abc");
    EXPECT_EQ(empty.Windows(), 0u);
    EXPECT_EQ(empty.InfoText(), L"Not found - abc");
}

TEST(Search, EmptyStringDoesNothingAndBlanksAreSearched) {
    const Row two = {L"two.dll", L"", L"", L"", L"", L"", L"a  b"};
    const Row one = {L"one.dll", L"", L"", L"", L"", L"", L"a b"};
    SourceList source({two, one});
    source.Search(L"");
    EXPECT_EQ(source.Windows(), 0u);
    EXPECT_EQ(source.window.m_infoDlg.m_hWnd, nullptr);

    source.Search(L"  ");
    EXPECT_EQ(source.LastRows(), Rows{two});
    EXPECT_EQ(WindowText(source.Last().m_hWnd), L"Finded - [  ]");
}

TEST(Search, EverySearchMakesItsOwnWindowAndResultsCanBeSearched) {
    SourceList source({kAlpha, kAbc, kZeta});
    source.Search(L"abc");
    source.Search(L"abc");
    ASSERT_EQ(source.Windows(), 2u);
    EXPECT_NE(source.window.m_resultWindows[0]->m_hWnd, source.window.m_resultWindows[1]->m_hWnd);
    EXPECT_EQ(WindowText(source.window.m_resultWindows[0]->m_hWnd), L"Finded - [abc]");
    EXPECT_EQ(WindowText(source.window.m_resultWindows[1]->m_hWnd), L"Finded - [abc]");

    // Narrowing inside a results window: its own find dialog, defaults and results.
    CMessageListDlg& first = *source.window.m_resultWindows[0];
    first.SendMessageW(WM_COMMAND, MAKEWPARAM(IDC_FIND_BUTTON, BN_CLICKED), 0);
    EXPECT_NE(first.m_findDlg.m_hWnd, source.window.m_findDlg.m_hWnd);
    EXPECT_EQ(WindowText(first.m_findDlg.GetDlgItem(IDC_FIND_TEXT)), L"");
    SourceList::Search(first, L"alpha");
    ASSERT_EQ(first.m_resultWindows.size(), 1u);
    EXPECT_EQ(AllRows(first.m_resultWindows[0]->GetMessageList()), Rows{kAlpha});
    EXPECT_EQ(WindowText(first.m_resultWindows[0]->m_hWnd), L"Finded - [alpha]");
    EXPECT_EQ(source.Windows(), 2u);

    // Closing a results window hides it; it stays its owner's, and the next search makes another.
    first.SendMessageW(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_FALSE(first.IsWindowVisible());
    EXPECT_NE(first.m_hWnd, nullptr);
    source.Search(L"abc");
    EXPECT_EQ(source.Windows(), 3u);
    EXPECT_TRUE(source.Last().IsWindowVisible());
}

TEST(Search, CancelledEditIsSearchedByTheNextOk) {
    SourceList source({kAlpha, kZeta});
    CFindDlg& find = source.window.m_findDlg;
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
