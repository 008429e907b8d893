#include "MainDlg.h"

#include "FolderPicker.h"
#include "FolderScan.h"
#include "TextHelpers.h"
#include "resource.h"

namespace {

constexpr UINT kPickerFlags = 4114; // BIF_BROWSEFORCOMPUTER | BIF_EDITBOX | BIF_DONTGOBELOWDOMAIN

// A control's rectangle in the client coordinates of its dialog; a failed query gives zeros.
RECT ClientRectOf(HWND dialog, HWND control) {
    RECT rect{};
    if (!::GetWindowRect(control, &rect)) {
        rect = RECT{};
    }
    POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
    for (POINT& corner : corners) {
        if (!::ScreenToClient(dialog, &corner)) {
            corner = POINT{0, 0};
        }
    }
    return RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

} // namespace

UI_BEGIN_MESSAGE_MAP(CMainDlg, CMessageListDlg)
UI_ON_BN_CLICKED(IDC_OPEN_DIR, OnOpenDirectory)
UI_ON_WM_SIZE(OnSize)
UI_ON_BN_CLICKED(IDC_FIND_BUTTON, OnFindButton)
UI_ON_WM_TIMER(OnTimer)
UI_END_MESSAGE_MAP()

CMainDlg::CMainDlg(ui::Window* parent) : CMessageListDlg(parent, IDD_MAIN) {}

CMainDlg::~CMainDlg() = default;

BOOL CMainDlg::DestroyWindow() {
    for (auto& window : m_resultWindows) {
        if (window) {
            window->DestroyWindow();
        }
    }
    return CMessageListDlg::DestroyWindow();
}

void CMainDlg::DoDataExchange(ui::DataExchange& dx) {
    CMessageListDlg::DoDataExchange(dx);
}

LRESULT CMainDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return CMessageListDlg::WindowProc(message, wParam, lParam);
}

BOOL CMainDlg::OnInitDialog() {
    CMessageListDlg::OnInitDialog();
    const auto mainIcon = [] {
        return ::LoadIconW(ui::ResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME_ICON));
    };
    SendMessageW(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(mainIcon()));
    SendMessageW(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(mainIcon()));
    ::SetWindowTextW(GetDlgItem(IDC_MASK), L"*.dll");
    SetWindowTextW(L"Orvanel");
    ::SetTimer(m_hWnd, IDT_START_BROWSE, 0, nullptr);
    return TRUE;
}

void CMainDlg::OnTimer(UINT_PTR id) {
    if (id == IDT_START_BROWSE) {
        ::KillTimer(m_hWnd, IDT_START_BROWSE);
        OnOpenDirectory();
    }
    Default();
}

void CMainDlg::OnOpenDirectory() {
    const std::wstring path = PickFolder(m_hWnd, L"Open folder", kPickerFlags);
    if (path.empty()) {
        return;
    }
    ui::ListControl::BulkUpdate bulk(m_listCtrl);
    GetMessageList().DeleteAllRows();
    const std::wstring mask = GetWindowTextString(GetDlgItem(IDC_MASK));
    SetWindowTextW(L"Orvanel   [" + path + L"\\" + mask + L"]");
    ScanFolder(*this, path);
}

void CMainDlg::OnSize(UINT type, int cx, int cy) {
    CMessageListDlg::OnSize(type, cx, cy);

    // Right to left: each control's right edge goes to the previous control's left edge less a
    // gap; the status edit then stretches to the last gap.
    struct Step {
        int id;
        int gap;
    };
    const Step steps[] = {
        {IDC_OPEN_DIR, 5}, {IDC_MASK, 5}, {IDC_MASK_LABEL, 5}, {IDC_RECURSIVE, 15}};
    int left = cx;
    for (const Step& step : steps) {
        HWND control = GetDlgItem(step.id);
        if (control == nullptr) {
            left = 0;
            continue;
        }
        const RECT rect = ClientRectOf(m_hWnd, control);
        const int newLeft = rect.left + ((left - step.gap) - rect.right);
        ::SetWindowPos(control, nullptr, newLeft, rect.top, rect.right - rect.left,
                       rect.bottom - rect.top, SWP_NOSIZE);
        left = newLeft;
    }
    HWND status = GetDlgItem(IDC_STATUS);
    if (status != nullptr) {
        const RECT rect = ClientRectOf(m_hWnd, status);
        ::SetWindowPos(status, nullptr, rect.left, rect.top, (left - 5) - rect.left,
                       rect.bottom - rect.top, SWP_NOMOVE);
    }
}

std::wstring CMainDlg::GetMaskText() {
    return GetWindowTextString(GetDlgItem(IDC_MASK));
}

bool CMainDlg::IsRecursive() {
    return ::SendMessageW(GetDlgItem(IDC_RECURSIVE), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CMainDlg::SetStatusText(const std::wstring& text) {
    ::SetWindowTextW(GetDlgItem(IDC_STATUS), text.c_str());
}

BOOL CViewerApp::InitInstance() {
    CMainDlg dialog(nullptr);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
