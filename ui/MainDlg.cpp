#include "ui/MainDlg.h"

#include "harvest/FolderScan.h"
#include "harvest/Strings.h"
#include "res/resource.h"
#include "ui/FolderPicker.h"

#include <shlobj.h>

namespace {

// As the picker has always been asked. The picker itself decides what it makes of them: with
// BIF_BROWSEFORCOMPUTER no folder could be chosen, so it leaves that flag out (FolderPicker.h).
constexpr UINT kPickerFlags = BIF_BROWSEFORCOMPUTER | BIF_EDITBOX | BIF_DONTGOBELOWDOMAIN;
static_assert(kPickerFlags == 4114);

} // namespace

UI_BEGIN_MESSAGE_MAP(CMainDlg, CMessageListDlg)
UI_ON_BN_CLICKED(IDC_OPEN_DIR, OnOpenDirectory)
UI_ON_WM_SIZE(OnSize)
UI_ON_WM_TIMER(OnTimer)
UI_END_MESSAGE_MAP()

CMainDlg::CMainDlg(ui::Window* parent) : CMessageListDlg(IDD_MAIN, parent) {}

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

BOOL CMainDlg::OnInitDialog() {
    CMessageListDlg::OnInitDialog();
    const auto mainIcon = [] {
        return ::LoadIconW(ui::ResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME_ICON));
    };
    SendMessageW(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(mainIcon()));
    SendMessageW(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(mainIcon()));
    SetDlgItemText(IDC_MASK, L"*.dll");
    SetWindowTextW(L"Orvanel");
    ::SetTimer(m_hWnd, IDT_START_BROWSE, 0, nullptr);
    return TRUE;
}

void CMainDlg::OnTimer(UINT_PTR id) {
    if (id == IDT_START_BROWSE) {
        ::KillTimer(m_hWnd, IDT_START_BROWSE);
        if (m_strStartPath.empty()) {
            OnOpenDirectory();
        } else {
            // A module is scanned as its folder, with its own name for the mask, so that F5 and
            // the caption treat it as any other scan.
            std::wstring folder = m_strStartPath;
            const DWORD attributes = ::GetFileAttributesW(folder.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES &&
                (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                auto [parent, name] = SplitPath(folder);
                SetDlgItemText(IDC_MASK, name);
                folder = std::move(parent);
            }
            while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) {
                folder.pop_back();
            }
            Scan(folder);
        }
    }
    Default();
}

void CMainDlg::OnOpenDirectory() {
    const std::wstring path = PickFolder(m_hWnd, L"Open folder", kPickerFlags);
    if (!path.empty()) {
        Scan(path);
    }
}

void CMainDlg::Scan(const std::wstring& folder) {
    m_strFolder = folder;
    ui::ListControl::BulkUpdate bulk(m_listCtrl);
    GetMessageList().DeleteAllRows();
    const std::wstring mask = GetDlgItemText(IDC_MASK);
    SetWindowTextW(L"Orvanel   [" + folder + L"\\" + mask + L"]");
    ScanFolder(*this, folder);
}

void CMainDlg::Rescan() {
    if (m_strFolder.empty()) {
        OnOpenDirectory();
    } else {
        Scan(m_strFolder);
    }
}

bool CMainDlg::PreTranslateMessage(const MSG& message) {
    if (message.message == WM_KEYDOWN && message.wParam == VK_F5 &&
        ::GetKeyState(VK_CONTROL) >= 0 && ::GetKeyState(VK_MENU) >= 0 &&
        ::GetKeyState(VK_SHIFT) >= 0) {
        Rescan();
        return true;
    }
    return CMessageListDlg::PreTranslateMessage(message);
}

void CMainDlg::OnSize(UINT type, int cx, int cy) {
    CMessageListDlg::OnSize(type, cx, cy);

    // Right to left: each control's right edge goes to the previous control's left edge less a
    // gap; the status edit then stretches to the last gap. SWP_NOZORDER is left out on purpose:
    // each call raises its control to the top of the sibling order, and the Tab order follows
    // that order (status, check box, label, mask, button, then list and find button).
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
        const RECT rect = ui::ClientRectOf(m_hWnd, control);
        const int newLeft = rect.left + ((left - step.gap) - rect.right);
        ::SetWindowPos(control, nullptr, newLeft, rect.top, rect.right - rect.left,
                       rect.bottom - rect.top, SWP_NOSIZE);
        left = newLeft;
    }
    HWND status = GetDlgItem(IDC_STATUS);
    if (status != nullptr) {
        const RECT rect = ui::ClientRectOf(m_hWnd, status);
        ::SetWindowPos(status, nullptr, rect.left, rect.top, (left - 5) - rect.left,
                       rect.bottom - rect.top, SWP_NOMOVE);
    }
}

std::wstring CMainDlg::GetMaskText() {
    return GetDlgItemText(IDC_MASK);
}

bool CMainDlg::IsRecursive() {
    return IsDlgButtonChecked(IDC_RECURSIVE) == BST_CHECKED;
}

void CMainDlg::SetStatusText(const std::wstring& text) {
    SetDlgItemText(IDC_STATUS, text);
}

void CMainDlg::BeginBusy() {
    if (m_nBusyLevels++ == 0) {
        m_waitCursor.emplace();
    }
}

void CMainDlg::EndBusy() {
    if (m_nBusyLevels > 0 && --m_nBusyLevels == 0) {
        m_waitCursor.reset(); // the cursor that the outermost level replaced comes back
    }
}
