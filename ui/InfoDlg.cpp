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
    // Showing a window that is already visible does nothing, and it may have gone behind its list
    // window since it was last shown: a second text would then arrive unseen.
    ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}
