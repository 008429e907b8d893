#include "ui/ViewerApp.h"

#include "ui/MainDlg.h"

#include <shellapi.h>

BOOL CViewerApp::InitInstance() {
    CMainDlg dialog(nullptr);
    // orvanel.exe FOLDER|FILE scans it at once; without one the picker asks.
    int count = 0;
    if (LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        if (count > 1) {
            dialog.SetStartPath(arguments[1]);
        }
        ::LocalFree(arguments);
    }
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
