#include "ui/InfoDlg.h"

#include "res/resource.h"

CInfoDlg::CInfoDlg(ui::Window* parent) : ui::Dialog(IDD_INFO, parent) {}

BOOL CInfoDlg::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    HICON stop = ::LoadIconW(nullptr, IDI_HAND);
    SendDlgItemMessage(IDC_INFO_ICON, STM_SETICON, reinterpret_cast<WPARAM>(stop));
    return TRUE;
}

void CInfoDlg::ShowText(const std::wstring& text) {
    SetDlgItemText(IDC_INFO_TEXT, text);
    ShowWindow(SW_SHOW);
    // Showing a window that is already visible does nothing, and the platform may have stacked
    // other windows above it, or above the list window it speaks for, since it was last shown
    // (Wine does, as activation moves between windows): a second text would arrive unseen. Both
    // come to the top, the info dialog above its list window, and neither takes the activation.
    const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    if (HWND list = ::GetWindow(m_hWnd, GW_OWNER)) {
        ::SetWindowPos(list, HWND_TOP, 0, 0, 0, 0, flags);
    }
    ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, flags);
}
