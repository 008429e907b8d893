#include "FindDlg.h"

#include "resource.h"

CFindDlg::CFindDlg(ui::Window* parent) : ui::Dialog(IDD_FIND, parent) {}

void CFindDlg::DoDataExchange(ui::DataExchange& dx) {
    ui::Dialog::DoDataExchange(dx);
    ui::DDX_Text(dx, IDC_FIND_TEXT, m_strFindText);
    ui::DDX_Check(dx, IDC_FIND_MODULE, m_bModuleName);
    ui::DDX_Check(dx, IDC_FIND_ERROR, m_bError);
    ui::DDX_Check(dx, IDC_FIND_LANGUAGE, m_bLanguageId);
    ui::DDX_Check(dx, IDC_FIND_VALUE, m_bValue);
    ui::DDX_Check(dx, IDC_FIND_HEX, m_bHexValue);
    ui::DDX_Check(dx, IDC_FIND_TEXTCOL, m_bMessageText);
    ui::DDX_Check(dx, IDC_FIND_MATCHCASE, m_bMatchCase);
}

LRESULT CFindDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // Posted before the OK handling stores the controls in the members, so the list window
    // reads them only after that handling has ended.
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        ::PostMessageW(GetParent(), WM_FIND_REQUEST, 0, 0);
    }
    return ui::Dialog::WindowProc(message, wParam, lParam);
}

BOOL CFindDlg::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    for (int id :
         {IDC_FIND_MODULE, IDC_FIND_LANGUAGE, IDC_FIND_VALUE, IDC_FIND_HEX, IDC_FIND_TEXTCOL}) {
        ::SendMessageW(GetDlgItem(id), BM_SETCHECK, BST_CHECKED, 0);
    }
    return TRUE;
}

CInfoDlg::CInfoDlg(ui::Window* parent) : ui::Dialog(IDD_INFO, parent) {}

BOOL CInfoDlg::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    HICON stop = ::LoadIconW(nullptr, IDI_HAND);
    ::SendMessageW(GetDlgItem(IDC_INFO_ICON), STM_SETICON, reinterpret_cast<WPARAM>(stop), 0);
    return TRUE;
}
