#include "ui/MessageListDlg.h"

#include "ui/FindButton.h"

#include <algorithm>
#include <optional>

namespace {

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
UI_END_MESSAGE_MAP()

CMessageListDlg::CMessageListDlg(ui::Window* parent, UINT templateId)
    : ui::Dialog(templateId, parent), m_findDlg(nullptr), m_infoDlg(nullptr) {}

CMessageListDlg::~CMessageListDlg() {
    // Oldest first; each results window deletes its own results windows in turn.
    for (auto& window : m_resultWindows) {
        window.reset();
    }
}

BOOL CMessageListDlg::DestroyWindow() {
    ::DeleteDC(m_hMemDC);
    m_hMemDC = nullptr;
    return ui::Dialog::DestroyWindow();
}

void CMessageListDlg::PostNcDestroy() {
    // A window destroyed by another route (with its owner, say) still gives its context back.
    if (m_hMemDC != nullptr) {
        ::DeleteDC(m_hMemDC);
        m_hMemDC = nullptr;
    }
}

void CMessageListDlg::DoDataExchange(ui::DataExchange& dx) {
    ui::Dialog::DoDataExchange(dx);
    ui::DDX_Control(dx, IDC_MESSAGE_LIST, m_listCtrl);
}

LRESULT CMessageListDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_FIND_REQUEST) {
        OnFindRequest();
    }
    return ui::Dialog::WindowProc(message, wParam, lParam);
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
    m_hMemDC = ::CreateCompatibleDC(desktop);
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

namespace {

std::wstring UpperCase(std::wstring text) {
    if (!text.empty()) {
        ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    }
    return text;
}

} // namespace

void CMessageListDlg::OnFindRequest() {
    if (m_findDlg.m_hWnd == nullptr || m_findDlg.m_strFindText.empty()) {
        return;
    }
    const std::wstring& findText = m_findDlg.m_strFindText;
    const bool matchCase = m_findDlg.m_bMatchCase != 0;
    const std::pair<int, int> columns[] = {
        {m_findDlg.m_bModuleName, COL_MODULE_NAME}, {m_findDlg.m_bError, COL_ERROR},
        {m_findDlg.m_bLanguageId, COL_LOCALE_ID},   {m_findDlg.m_bValue, COL_VALUE},
        {m_findDlg.m_bHexValue, COL_VALUE_HEX},     {m_findDlg.m_bMessageText, COL_MESSAGE_TEXT},
    };

    auto results = std::make_unique<CMessageListDlg>(nullptr);
    if (!results->Create(IDD_RESULTS, nullptr)) {
        return;
    }
    HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    std::optional<ui::ListControl::BulkUpdate> bulk(std::in_place, results->m_listCtrl);
    MessageList& source = GetMessageList();
    MessageList& target = results->GetMessageList();
    for (int row = 0; row < source.GetRowCount(); ++row) {
        for (const auto& [ticked, column] : columns) {
            if (ticked == 0) {
                continue;
            }
            const std::wstring cell = source.GetCell(row, column);
            const bool found =
                matchCase ? cell.find(findText) != std::wstring::npos
                          : UpperCase(cell).find(UpperCase(findText)) != std::wstring::npos;
            if (!found) {
                continue;
            }
            const int at = target.AppendRow(source.GetCell(row, COL_MODULE_NAME));
            for (int copy = COL_PATH; copy < kMessageColumnCount; ++copy) {
                target.SetCell(at, copy, source.GetCell(row, copy));
            }
        }
    }
    bulk.reset();
    ::SetCursor(previous);

    if (target.GetRowCount() < 1) {
        results->DestroyWindow();
        results.reset();
        if (m_infoDlg.m_hWnd == nullptr) {
            m_infoDlg.Create(IDD_INFO, this);
        }
        m_infoDlg.ShowText(L"Not found - " + findText);
        return;
    }
    CMessageListDlg& shown = *results;
    m_resultWindows.push_back(std::move(results));
    shown.ShowWindow(SW_SHOW);
    shown.SetWindowTextW(shown.GetWindowText() + L" - [" + findText + L"]");
}
