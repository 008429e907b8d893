#pragma once

#include "res/resource.h"
#include "ui/FindDlg.h"
#include "ui/InfoDlg.h"
#include "ui/LookupDlg.h"
#include "ui/ListViewMessageList.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/Handles.h"
#include "ui/framework/ListControl.h"

#include <memory>
#include <vector>

// A row as Copy puts it on the clipboard, in the clipboard's entry of the table of formats: the
// seven cells in column order, separated by tabs, ending in CR LF.
std::wstring RowText(const MessageList& list, int row);

// The window that shows a message list: the main window's base and the class of every results
// window. It owns its list, its find and info dialogs, a memory device context for drawing its
// find button, and the results windows that its own searches opened, oldest first.
class CMessageListDlg : public ui::Dialog {
public:
    // A list window on the main window's template; a results window is then created on its own
    // template with Create.
    explicit CMessageListDlg(ui::Window* parent = nullptr);
    ~CMessageListDlg() override;

    // What the window holds, for the windows and tests that work with it.
    ui::ListControl& ListCtrl() { return m_listCtrl; }
    const ui::ListControl& ListCtrl() const { return m_listCtrl; }
    CFindDlg& FindDlg() { return m_findDlg; }
    const CFindDlg& FindDlg() const { return m_findDlg; }
    CInfoDlg& InfoDlg() { return m_infoDlg; }
    const CInfoDlg& InfoDlg() const { return m_infoDlg; }
    CLookupDlg& LookupDlg() { return m_lookupDlg; }
    HDC MemDC() const { return m_hMemDC; }
    // The results windows of this window's searches and lookups, oldest first.
    const std::vector<std::unique_ptr<CMessageListDlg>>& ResultWindows() const {
        return m_resultWindows;
    }

    // The window's rows, in memory behind its list control.
    MessageList& GetMessageList() { return m_rows; }
    const MemoryMessageList& Rows() const { return m_rows.Rows(); }

    BOOL DestroyWindow() override;
    BOOL OnInitDialog() override;

    // Height of the strip above the list that holds the find button and the main window's
    // controls.
    static constexpr int kStripHeight = 35;

protected:
    ui::ListControl m_listCtrl;
    CFindDlg m_findDlg;
    CInfoDlg m_infoDlg;
    CLookupDlg m_lookupDlg; // the window's "look up code" dialog, created on first use
    ui::MemoryDC m_hMemDC;  // from OnInitDialog to DestroyWindow
    std::vector<std::unique_ptr<CMessageListDlg>> m_resultWindows;

    // The argument order of ui::Dialog: template, then parent.
    CMessageListDlg(UINT templateId, ui::Window* parent);

    void DoDataExchange(ui::DataExchange& dx) override;
    void AdjustTemplate(ui::DialogTemplate& dialogTemplate) override;
    void PostNcDestroy() override;
    void OnOK() override;
    void OnCancel() override;
    // Ctrl+F anywhere in the window opens its find dialog, Ctrl+G its lookup dialog; Ctrl+C in
    // the list copies its selected row.
    bool PreTranslateMessage(const MSG& message) override;

    void OnFindButton();
    // Shows the lookup dialog and gives it the keyboard.
    void OnLookUpCode();
    void OnSize(UINT type, int cx, int cy);
    void OnDrawItem(int controlId, DRAWITEMSTRUCT* item);
    // The list's requests for the cells it draws and for the row that typing goes to.
    LRESULT OnGetDispInfo(NMLVDISPINFOW& info);
    LRESULT OnFindItem(NMLVFINDITEMW& find);
    // The list's menu: "Copy", "Copy all rows", "Save as..." and "Look up code...".
    void OnContextMenu(HWND window, POINT screen);
    // Puts the selected row on the clipboard (see RowText); no selection copies nothing.
    void CopySelectedRow();
    // Puts every row on the clipboard, in list order, each as CopySelectedRow puts one.
    void CopyAllRows();
    // Asks for a file name and a type (TSV, CSV or JSON Lines) and writes every row there
    // (SaveRows); a failure is told in a message box with the system's reason.
    void SaveAs();
    // A handler that ran out of memory (a scan, a search) is told in a message box with the
    // system's text; the rows read so far stay, and the window goes on.
    void OnHandlerFailure(std::exception_ptr failure) override;

    // Copies every row that contains the find dialog's string in a ticked column into a new
    // results window, or shows "Not found - " and the string.
    void OnFindRequest();
    // Copies every message row whose identifier is a reading of the lookup dialog's code into a
    // new results window, or shows why there is none.
    void OnLookupRequest();

private:
    // A new results window of this window's, shown, that has taken over rows (already in its
    // order); null when it could not be made.
    CMessageListDlg* ShowResults(MemoryMessageList& rows);
    // The info dialog with text, above this window.
    void ShowInfo(const std::wstring& text);

    // A results window closed by the user cannot be shown again. Once its own results windows are
    // gone too, the window whose search made it destroys and deletes it, which gives its rows'
    // memory back; then that window may go the same way, if it was closed as well.
    void OnClosed();
    void ReleaseClosedResults();
    // The newest results window in this window's tree that is on screen, or null.
    CMessageListDlg* NewestShownResults() const;
    HWND WindowToActivateOnHide() const override;

    ListViewMessageList m_rows{m_listCtrl};
    CMessageListDlg* m_pCreator = nullptr; // the list window whose search made this one
    bool m_bClosed = false;

    UI_DECLARE_MESSAGE_MAP()
};
