#pragma once

#include "res/resource.h"
#include "ui/FindDlg.h"
#include "ui/InfoDlg.h"
#include "ui/ListViewMessageList.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/ListControl.h"

#include <memory>
#include <vector>

// The window that shows a message list: the main window's base and the class of every results
// window. It owns its list, its find and info dialogs, a memory device context for drawing its
// find button, and the results windows that its own searches opened, oldest first.
class CMessageListDlg : public ui::Dialog {
public:
    explicit CMessageListDlg(ui::Window* parent = nullptr, UINT templateId = IDD_MAIN);
    ~CMessageListDlg() override;

    ui::ListControl m_listCtrl;
    CFindDlg m_findDlg;
    CInfoDlg m_infoDlg;
    HDC m_hMemDC = nullptr;
    std::vector<std::unique_ptr<CMessageListDlg>> m_resultWindows;

    // The window's rows, kept by its list control.
    MessageList& GetMessageList() { return m_rows; }

    BOOL DestroyWindow() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void PostNcDestroy() override;

    void OnFindButton();
    void OnSize(UINT type, int cx, int cy);
    void OnDrawItem(int controlId, DRAWITEMSTRUCT* item);

    // Height of the strip above the list that holds the find button and the main window's
    // controls.
    static constexpr int kStripHeight = 35;

protected:
    // Copies every row that contains the find dialog's string in a ticked column into a new
    // results window, or shows "Not found - " and the string.
    void OnFindRequest();

private:
    ListViewMessageList m_rows{m_listCtrl};

    UI_DECLARE_MESSAGE_MAP()
};
