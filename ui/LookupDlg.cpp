#include "ui/LookupDlg.h"

#include "res/resource.h"
#include "ui/Messages.h"

CLookupDlg::CLookupDlg(ui::Window* parent) : ui::Dialog(IDD_LOOKUP, parent) {}

void CLookupDlg::DoDataExchange(ui::DataExchange& dx) {
    ui::Dialog::DoDataExchange(dx);
    ui::DDX_Text(dx, IDC_LOOKUP_TEXT, m_strCodeText);
}

void CLookupDlg::OnOK() {
    // Posted first, read after: the list window takes the text once this handling has stored it.
    ::PostMessageW(GetParent(), WM_LOOKUP_REQUEST, 0, 0);
    ui::Dialog::OnOK();
}
