#include "ui/FindDlg.h"

#include "res/resource.h"

CFindDlg::CFindDlg(ui::Window* parent) : ui::Dialog(IDD_FIND, parent) {}

SearchRequest CFindDlg::GetRequest() const {
    SearchRequest request;
    request.text = m_strFindText;
    request.columns[COL_MODULE_NAME] = m_bModuleName != 0;
    request.columns[COL_ERROR] = m_bError != 0;
    request.columns[COL_LOCALE_ID] = m_bLanguageId != 0;
    request.columns[COL_VALUE] = m_bValue != 0;
    request.columns[COL_VALUE_HEX] = m_bHexValue != 0;
    request.columns[COL_MESSAGE_TEXT] = m_bMessageText != 0;
    request.matchCase = m_bMatchCase != 0;
    return request;
}

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

void CFindDlg::OnOK() {
    // Posted before the default handling stores the controls in the members, so the list window
    // reads them only after that handling has ended.
    ::PostMessageW(GetParent(), WM_FIND_REQUEST, 0, 0);
    ui::Dialog::OnOK();
}

BOOL CFindDlg::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    // The members stay 0 until the first OK; only the screen starts with these ticks.
    for (int id :
         {IDC_FIND_MODULE, IDC_FIND_LANGUAGE, IDC_FIND_VALUE, IDC_FIND_HEX, IDC_FIND_TEXTCOL}) {
        CheckDlgButton(id, BST_CHECKED);
    }
    return TRUE;
}
