#include "ui/MessageListDlg.h"

#include "ui/FindButton.h"
#include "ui/SaveRows.h"

#include "harvest/SystemText.h"

#include <algorithm>
#include <new>

namespace {

constexpr UINT kCopyCommand = 1;
constexpr UINT kLookUpCommand = 2;
constexpr UINT kCopyAllCommand = 3;
constexpr UINT kSaveAsCommand = 4;

// Width in pixels and alignment of each column, indexed by MessageColumn.
struct ColumnLayout {
    int width;
    int format;
};
constexpr ColumnLayout kColumnLayout[kMessageColumnCount] = {
    {80, LVCFMT_LEFT},  {35, LVCFMT_LEFT}, {34, LVCFMT_LEFT},   {80, LVCFMT_RIGHT},
    {75, LVCFMT_RIGHT}, {75, LVCFMT_LEFT}, {1500, LVCFMT_LEFT},
};

} // namespace

UI_BEGIN_MESSAGE_MAP(CMessageListDlg, ui::Dialog)
UI_ON_BN_CLICKED(IDC_FIND_BUTTON, OnFindButton)
UI_ON_WM_SIZE(OnSize)
UI_ON_WM_DRAWITEM(OnDrawItem)
UI_ON_WM_CONTEXTMENU(OnContextMenu)
UI_ON_NOTIFY(LVN_GETDISPINFOW, IDC_MESSAGE_LIST, OnGetDispInfo)
UI_ON_NOTIFY(LVN_ODFINDITEMW, IDC_MESSAGE_LIST, OnFindItem)
// Answered here and never passed on: to the system's dialog procedure WM_FIND_REQUEST is
// DM_SETDEFID, which would take the window's default button away.
UI_ON_MESSAGE(WM_FIND_REQUEST, OnFindRequest)
UI_ON_MESSAGE(WM_LOOKUP_REQUEST, OnLookupRequest)
UI_ON_MESSAGE(WM_RESULTS_CLOSED, ReleaseClosedResults)
UI_END_MESSAGE_MAP()

CMessageListDlg::CMessageListDlg(ui::Window* parent) : CMessageListDlg(IDD_MAIN, parent) {}

CMessageListDlg::CMessageListDlg(UINT templateId, ui::Window* parent)
    : ui::Dialog(templateId, parent), m_findDlg(nullptr), m_infoDlg(nullptr), m_lookupDlg(nullptr) {
}

CMessageListDlg::~CMessageListDlg() {
    // Oldest first; each results window deletes its own results windows in turn.
    for (auto& window : m_resultWindows) {
        window.reset();
    }
}

BOOL CMessageListDlg::DestroyWindow() {
    m_hMemDC.Reset();
    return ui::Dialog::DestroyWindow();
}

void CMessageListDlg::PostNcDestroy() {
    // A window destroyed by another route (with its owner, say) still gives its context back.
    m_hMemDC.Reset();
}

void CMessageListDlg::DoDataExchange(ui::DataExchange& dx) {
    ui::Dialog::DoDataExchange(dx);
    ui::DDX_Control(dx, IDC_MESSAGE_LIST, m_listCtrl);
}

void CMessageListDlg::AdjustTemplate(ui::DialogTemplate& dialogTemplate) {
    // The list's rows live in memory and the control only shows them, which it can do only when
    // it is born an owner-data list; it then keeps no order of its own, so the template's sort
    // style becomes the order of the rows in memory. The resource itself stays as it is.
    DWORD* style = dialogTemplate.ItemStyle(IDC_MESSAGE_LIST);
    if (style == nullptr) {
        return;
    }
    constexpr DWORD kSortStyles = LVS_SORTASCENDING | LVS_SORTDESCENDING;
    m_rows.SetOrder((*style & LVS_SORTASCENDING) != 0 ? MemoryMessageList::Order::SortedByModuleName
                                                      : MemoryMessageList::Order::Unsorted);
    *style = (*style | LVS_OWNERDATA) & ~kSortStyles;
}

LRESULT CMessageListDlg::OnGetDispInfo(NMLVDISPINFOW& info) {
    m_rows.GetDispInfo(info.item);
    return 0;
}

LRESULT CMessageListDlg::OnFindItem(NMLVFINDITEMW& find) {
    return m_rows.FindItem(find);
}

BOOL CMessageListDlg::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    for (int column = 0; column < kMessageColumnCount; ++column) {
        m_listCtrl.InsertColumn(column, kMessageColumnHeaders[column], kColumnLayout[column].format,
                                kColumnLayout[column].width, -1);
    }

    // One pixel wider than the dialog manager made it; the size change lays the list out.
    RECT rect{};
    if (!GetWindowRect(&rect)) {
        rect = RECT{};
    }
    MoveWindow(rect.left, rect.top, rect.right - rect.left + 1, rect.bottom - rect.top, TRUE);

    const auto listIcon = [] {
        return ::LoadIconW(ui::ResourceModule(), MAKEINTRESOURCEW(IDI_LIST_ICON));
    };
    SendMessageW(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(listIcon()));
    SendMessageW(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(listIcon()));
    SendDlgItemMessage(IDC_FIND_BUTTON, BM_SETIMAGE, IMAGE_ICON,
                       reinterpret_cast<LPARAM>(listIcon()));

    HDC desktop = ::GetWindowDC(::GetDesktopWindow());
    m_hMemDC.Reset(::CreateCompatibleDC(desktop));
    ::ReleaseDC(::GetDesktopWindow(), desktop);
    return TRUE;
}

void CMessageListDlg::OnSize(UINT, int cx, int cy) {
    Default();
    if (m_listCtrl.IsAttached()) {
        m_listCtrl.MoveWindow(0, kStripHeight, cx, std::max(cy - kStripHeight, 0), TRUE);
    }
    const RECT strip{0, 0, cx, kStripHeight};
    ::InvalidateRect(m_hWnd, &strip, TRUE);
}

void CMessageListDlg::OnFindButton() {
    if (m_findDlg.m_hWnd == nullptr) {
        m_findDlg.Create(IDD_FIND, this);
    }
    m_findDlg.ShowWindow(SW_SHOW);
    m_findDlg.SetFocus();
}

void CMessageListDlg::OnDrawItem(int controlId, DRAWITEMSTRUCT* item) {
    if (controlId == IDC_FIND_BUTTON && item != nullptr) {
        DrawFindButton(m_hMemDC, *item);
    }
    Default();
}

void CMessageListDlg::OnLookUpCode() {
    if (m_lookupDlg.m_hWnd == nullptr) {
        m_lookupDlg.Create(IDD_LOOKUP, this);
    }
    m_lookupDlg.ShowWindow(SW_SHOW);
    m_lookupDlg.SetFocus();
    ::SendMessageW(m_lookupDlg.GetDlgItem(IDC_LOOKUP_TEXT), EM_SETSEL, 0, -1);
}

void CMessageListDlg::OnFindRequest() {
    if (m_findDlg.m_hWnd == nullptr || m_findDlg.m_strFindText.empty()) {
        return;
    }
    const SearchRequest request = m_findDlg.GetRequest();
    // The rows are found before the window is made: a window made only to be discarded would
    // take the activation from the user's window and hand it to the main window on its way out.
    MemoryMessageList found(MemoryMessageList::Order::SortedByModuleName);
    {
        const ui::WaitCursor wait;
        SearchRows(Rows(), request, found);
    }
    if (found.GetRowCount() < 1) {
        ShowInfo(L"Not found - " + request.text);
        return;
    }
    if (CMessageListDlg* results = ShowResults(found)) {
        results->SetWindowTextW(results->GetWindowText() + L" - [" + request.text + L"]");
    }
}

void CMessageListDlg::OnLookupRequest() {
    const std::wstring& text = m_lookupDlg.m_strCodeText;
    if (m_lookupDlg.m_hWnd == nullptr || text.find_first_not_of(L" \t") == std::wstring::npos) {
        return;
    }
    MessageQuery query;
    std::wstring name;
    std::wstring error;
    if (!ParseLookup(text, query, name, error)) {
        ShowInfo(error);
        return;
    }
    MemoryMessageList found(MemoryMessageList::Order::SortedByModuleName);
    {
        const ui::WaitCursor wait;
        LookupRows(Rows(), query, found);
    }
    if (found.GetRowCount() < 1) {
        ShowInfo(L"Not found - " + text);
        return;
    }
    if (CMessageListDlg* results = ShowResults(found)) {
        results->SetWindowTextW(L"Code - " + text + (name.empty() ? L"" : L" [" + name + L"]"));
    }
}

void CMessageListDlg::ShowInfo(const std::wstring& text) {
    if (m_infoDlg.m_hWnd == nullptr) {
        m_infoDlg.Create(IDD_INFO, this);
    }
    m_infoDlg.ShowText(text);
}

CMessageListDlg* CMessageListDlg::ShowResults(MemoryMessageList& rows) {
    auto results = std::make_unique<CMessageListDlg>(nullptr);
    if (!results->Create(IDD_RESULTS, nullptr)) {
        return nullptr;
    }
    results->m_pCreator = this;
    results->m_rows.TakeRows(rows);
    CMessageListDlg* shown = results.get();
    m_resultWindows.push_back(std::move(results));
    shown->ShowWindow(SW_SHOW);
    return shown;
}

void CMessageListDlg::OnOK() {
    ui::Dialog::OnOK();
    OnClosed();
}

void CMessageListDlg::OnCancel() {
    ui::Dialog::OnCancel();
    OnClosed();
}

CMessageListDlg* CMessageListDlg::NewestShownResults() const {
    for (auto it = m_resultWindows.rbegin(); it != m_resultWindows.rend(); ++it) {
        if (CMessageListDlg* inside = (*it)->NewestShownResults()) {
            return inside;
        }
        if ((*it)->m_hWnd != nullptr && (*it)->IsWindowVisible()) {
            return it->get();
        }
    }
    return nullptr;
}

HWND CMessageListDlg::WindowToActivateOnHide() const {
    // Every results window is owned by the main window, which would take the activation; the
    // user expects the nearest relative of the window that went away: the newest of its own
    // results, or else the window whose search made it.
    if (m_pCreator == nullptr) {
        return ui::Dialog::WindowToActivateOnHide();
    }
    CMessageListDlg* next = NewestShownResults();
    for (CMessageListDlg* up = m_pCreator; next == nullptr && up != nullptr; up = up->m_pCreator) {
        if (up->m_hWnd != nullptr && up->IsWindowVisible()) {
            next = up;
        }
    }
    return next != nullptr ? next->m_hWnd : nullptr;
}

void CMessageListDlg::OnClosed() {
    if (m_pCreator != nullptr) {
        m_bClosed = true;
        m_pCreator->PostMessageW(WM_RESULTS_CLOSED);
    }
}

void CMessageListDlg::ReleaseClosedResults() {
    std::erase_if(m_resultWindows, [](const std::unique_ptr<CMessageListDlg>& window) {
        if (!window->m_bClosed || !window->m_resultWindows.empty()) {
            return false;
        }
        window->DestroyWindow();
        return true;
    });
    if (m_bClosed && m_resultWindows.empty()) {
        OnClosed(); // now this window can go too
    }
}

bool CMessageListDlg::PreTranslateMessage(const MSG& message) {
    if (message.message != WM_KEYDOWN || ::GetKeyState(VK_CONTROL) >= 0 ||
        ::GetKeyState(VK_MENU) < 0 || ::GetKeyState(VK_SHIFT) < 0) {
        return false;
    }
    if (message.wParam == 'F') {
        OnFindButton();
        return true;
    }
    if (message.wParam == 'G') {
        OnLookUpCode();
        return true;
    }
    if (message.wParam == 'C' && message.hwnd == m_listCtrl.m_hWnd) {
        CopySelectedRow();
        return true;
    }
    return false;
}

void CMessageListDlg::OnContextMenu(HWND window, POINT screen) {
    if (window != m_listCtrl.m_hWnd) {
        Default();
        return;
    }
    const int selected = m_listCtrl.GetSelectedItem();
    if (screen.x == -1 && screen.y == -1) {
        // From the keyboard: beside the selected row, or at the list's corner.
        RECT place{};
        if (selected < 0 || !m_listCtrl.GetItemRect(selected, &place)) {
            place = RECT{};
        }
        screen = POINT{place.left, place.bottom};
        ::ClientToScreen(m_listCtrl.m_hWnd, &screen);
    }
    HMENU menu = ::CreatePopupMenu();
    const UINT empty = m_rows.GetRowCount() == 0 ? MF_GRAYED : 0;
    ::AppendMenuW(menu, MF_STRING | (selected < 0 ? MF_GRAYED : 0), kCopyCommand, L"Copy");
    ::AppendMenuW(menu, MF_STRING | empty, kCopyAllCommand, L"Copy all rows");
    ::AppendMenuW(menu, MF_STRING | empty, kSaveAsCommand, L"Save as...");
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, kLookUpCommand, L"Look up code...");
    const UINT chosen = ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                         screen.x, screen.y, 0, m_hWnd, nullptr);
    ::DestroyMenu(menu);
    switch (chosen) {
    case kCopyCommand:
        CopySelectedRow();
        break;
    case kCopyAllCommand:
        CopyAllRows();
        break;
    case kSaveAsCommand:
        SaveAs();
        break;
    case kLookUpCommand:
        OnLookUpCode();
        break;
    default:
        break;
    }
}

void CMessageListDlg::CopySelectedRow() {
    const int selected = m_listCtrl.GetSelectedItem();
    if (selected >= 0) {
        ui::SetClipboardText(m_hWnd, RowText(GetMessageList(), selected));
    }
}

void CMessageListDlg::CopyAllRows() {
    const ui::WaitCursor wait;
    std::wstring text;
    for (int row = 0; row < m_rows.GetRowCount(); ++row) {
        text += RowText(GetMessageList(), row);
    }
    ui::SetClipboardText(m_hWnd, text);
}

void CMessageListDlg::OnHandlerFailure(std::exception_ptr failure) {
    std::wstring text;
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        text = GetSystemErrorText(ERROR_NOT_ENOUGH_MEMORY);
    } catch (...) {
        text = GetSystemErrorText(ERROR_INTERNAL_ERROR);
    }
    ::MessageBoxW(m_hWnd, text.c_str(), L"Orvanel", MB_OK | MB_ICONERROR);
}

void CMessageListDlg::SaveAs() {
    std::wstring path;
    RowFormat format = RowFormat::Tsv;
    if (!ChooseSaveFile(m_hWnd, path, format)) {
        return;
    }
    DWORD error = 0;
    bool saved;
    {
        const ui::WaitCursor wait;
        saved = SaveRows(Rows(), path, format, error);
    }
    if (!saved) {
        ::MessageBoxW(m_hWnd, (L"Cannot save " + path + L":\n" + GetSystemErrorText(error)).c_str(),
                      L"Orvanel", MB_OK | MB_ICONERROR);
    }
}

std::wstring RowText(const MessageList& list, int row) {
    const FormatEntry& clipboard = EntryOf(RowFormat::Clipboard);
    std::wstring text;
    for (int column = 0; column < kMessageColumnCount; ++column) {
        if (column != 0) {
            text += clipboard.separator;
        }
        clipboard.appendCell(text, list.GetCell(row, column));
    }
    return text + clipboard.lineEnd;
}
