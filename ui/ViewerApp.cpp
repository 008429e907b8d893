#include "ui/ViewerApp.h"

#include "ui/MainDlg.h"

BOOL CViewerApp::InitInstance() {
    CMainDlg dialog(nullptr);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
