#include "MessageListDlg.h"

#include "TextHelpers.h"
#include "resource.h"

#include <algorithm>
#include <cmath>
#include <climits>
#include <optional>

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
        const MessageColumnInfo& info = kMessageColumns[column];
        m_listCtrl.InsertColumn(
            column, info.header,
            info.alignment == ColumnAlignment::Right ? LVCFMT_RIGHT : LVCFMT_LEFT, info.width, -1);
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
    ::SendMessageW(GetDlgItem(IDC_FIND_BUTTON), BM_SETIMAGE, IMAGE_ICON,
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
        ::SetWindowTextW(m_infoDlg.GetDlgItem(IDC_INFO_TEXT), (L"Not found - " + findText).c_str());
        m_infoDlg.ShowWindow(SW_SHOW);
        return;
    }
    CMessageListDlg& shown = *results;
    m_resultWindows.push_back(std::move(results));
    shown.ShowWindow(SW_SHOW);
    shown.SetWindowTextW(GetWindowTextString(shown.m_hWnd) + L" - [" + findText + L"]");
}

namespace {

// Truncation toward zero of a value that may be out of range or not a number.
int Truncate(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<int>(
        std::clamp(value, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
}

} // namespace

RECT FitRectKeepAspect(SIZE image, SIZE box) {
    const double wideQuotient = static_cast<double>(image.cx) / box.cx;
    const float wr = static_cast<float>(wideQuotient);
    const float hr = static_cast<float>(static_cast<double>(image.cy) / box.cy);
    if (wideQuotient > hr) {
        const int sh = Truncate(static_cast<double>(image.cy) / wr);
        return RECT{0, Truncate(box.cy * 0.5 - sh * 0.5), box.cx,
                    Truncate((static_cast<double>(sh) + box.cy) * 0.5)};
    }
    const int sw = Truncate(static_cast<double>(image.cx) / hr);
    return RECT{Truncate(box.cx * 0.5 - sw * 0.5), 0,
                Truncate((static_cast<double>(sw) + box.cx) * 0.5), box.cy};
}

void DrawFindButton(HDC memDC, const DRAWITEMSTRUCT& item) {
    HWND button = item.hwndItem;
    RECT window{};
    if (!::GetWindowRect(button, &window)) {
        window = RECT{};
    }
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;

    HDC screen = ::GetDC(nullptr);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ previousBitmap = ::SelectObject(memDC, bitmap);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageW(button, WM_GETFONT, 0, 0));
    HGDIOBJ previousFont = ::SelectObject(memDC, font);

    const LRESULT state = ::SendMessageW(button, BM_GETSTATE, 0, 0);
    const bool pressed = (state & (BST_CHECKED | BST_PUSHED)) != 0;
    const bool hasIcon = (::GetWindowLongW(button, GWL_STYLE) & BS_ICON) != 0;

    RECT frame = item.rcItem;
    ::DrawFrameControl(memDC, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));

    RECT content = item.rcItem;
    ::InflateRect(&content, -::GetSystemMetrics(SM_CXDLGFRAME), -::GetSystemMetrics(SM_CYDLGFRAME));

    const COLOR16 light = 0xF000, dark = 0x8000;
    const COLOR16 top = pressed ? dark : light, bottom = pressed ? light : dark;
    const int borderX = ::GetSystemMetrics(SM_CXBORDER), borderY = ::GetSystemMetrics(SM_CYBORDER);
    TRIVERTEX vertices[2] = {{borderX, borderY, top, top, top, 0},
                             {width - borderX, height - borderY, bottom, bottom, bottom, 0}};
    GRADIENT_RECT mesh{0, 1};
    ::GradientFill(memDC, vertices, 2, &mesh, 1, GRADIENT_FILL_RECT_V);

    RECT text = content;
    if (hasIcon) {
        HICON icon = reinterpret_cast<HICON>(::SendMessageW(button, BM_GETIMAGE, IMAGE_ICON, 0));
        SIZE iconSize{0, 0};
        ICONINFO info{};
        if (icon != nullptr && ::GetIconInfo(icon, &info)) {
            iconSize =
                SIZE{static_cast<LONG>(2 * info.xHotspot), static_cast<LONG>(2 * info.yHotspot)};
            ::DeleteObject(info.hbmMask);
            ::DeleteObject(info.hbmColor);
        }
        RECT place = FitRectKeepAspect(
            iconSize, SIZE{content.right - content.left, content.bottom - content.top});
        ::OffsetRect(&place, content.left, content.top);
        ::OffsetRect(&place, 5 - place.left, 0);
        if (pressed) {
            ::OffsetRect(&place, 1, 1);
        }
        ::DrawIconEx(memDC, place.left, place.top, icon, place.right - place.left,
                     place.bottom - place.top, 0, nullptr, DI_NORMAL);
        text.left = place.right + 5;
    }
    if (pressed) {
        ::OffsetRect(&text, 1, 1);
    }
    ::SetBkMode(memDC, TRANSPARENT);
    const std::wstring caption = GetWindowTextString(button);
    ::DrawTextW(memDC, caption.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER);

    ::BitBlt(item.hDC, 0, 0, width, height, memDC, 0, 0, SRCCOPY);

    ::SelectObject(memDC, previousBitmap);
    ::SelectObject(memDC, previousFont);
    ::DeleteObject(bitmap);
}
