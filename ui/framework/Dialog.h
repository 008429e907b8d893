#pragma once

#include "ui/framework/DialogTemplate.h"
#include "ui/framework/MessageMap.h"
#include "ui/framework/Window.h"

#include <exception>
#include <string>

namespace ui {

class Dialog;

// Moves values between a dialog's controls and its members.
struct DataExchange {
    Dialog* pDialog;
    bool bSaveAndValidate; // true: controls to members; false: members to controls
};

// Attaches control to the dialog's control id (once).
void DDX_Control(DataExchange& dx, int id, Window& control);
void DDX_Text(DataExchange& dx, int id, std::wstring& value);
void DDX_Check(DataExchange& dx, int id, int& value);

// A dialog built from a template of the program's resources, run modally or created modelessly.
// Messages reach WindowProc, which dispatches them through the class's message map; what no map
// handles gets the dialog manager's default processing, and IDOK and IDCANCEL go to OnOK and
// OnCancel.
class Dialog : public Window {
public:
    explicit Dialog(UINT templateId, Window* parent = nullptr);
    ~Dialog() override;

    // Creates the window, disables the owner and runs a message loop until EndDialog; then
    // destroys the window through DestroyWindow and returns the EndDialog result (-1 when the
    // window could not be created).
    INT_PTR DoModal();
    // Creates the window modelessly; without a parent, the application's main window owns it.
    BOOL Create(UINT templateId, Window* parent = nullptr);
    virtual BOOL DestroyWindow();

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(DataExchange& dx);
    virtual void OnOK();
    virtual void OnCancel();
    // Offered the copy of the template that the window is about to be created from, to change
    // what must be there from the window's birth.
    virtual void AdjustTemplate(DialogTemplate&) {}
    // Called once the window is gone, however it was destroyed.
    virtual void PostNcDestroy() {}
    // Offered every message that a message loop takes from the queue for this dialog or one of
    // its controls, before the keyboard navigation of the active dialog: true when it used the
    // message up. Keys that a whole window answers to (accelerators) are handled here.
    virtual bool PreTranslateMessage(const MSG& message);
    // A handler (or PreTranslateMessage) that failed, with an exception, ends its message there:
    // no failure unwinds into the system's dialog procedure or the message loop. This tells of
    // it; by default with a beep.
    virtual void OnHandlerFailure(std::exception_ptr failure);
    // OnHandlerFailure, which must not fail in turn.
    void HandlerFailed(std::exception_ptr failure) noexcept;

    // The object of one of our dialogs, or null for any other window.
    static Dialog* FromHandle(HWND window);

    // Runs DoDataExchange: controls to members (true) or members to controls (false).
    void UpdateData(bool saveAndValidate = true);
    // Ends a modal run; hides a modeless dialog.
    void EndDialog(int result);
    // The window that takes over, in front and active, when this modeless dialog hides while it
    // is active: its owner unless a dialog knows better; null for none.
    virtual HWND WindowToActivateOnHide() const { return ::GetWindow(m_hWnd, GW_OWNER); }
    // Asks for the dialog manager's default processing of the message being handled.
    LRESULT Default();

    // The text and the check state of a control of this dialog, by identifier.
    std::wstring GetDlgItemText(int id) const { return GetWindowTextString(GetDlgItem(id)); }
    BOOL SetDlgItemText(int id, const std::wstring& text) const {
        return ::SetDlgItemTextW(m_hWnd, id, text.c_str());
    }
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
    BOOL CheckDlgButton(int id, UINT state) const { return ::CheckDlgButton(m_hWnd, id, state); }
    LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendDlgItemMessageW(m_hWnd, id, message, wParam, lParam);
    }

    virtual const MessageMap* GetMessageMap() const { return GetThisMessageMap(); }
    static const MessageMap* GetThisMessageMap();

protected:
    UINT m_nIDTemplate;
    Window* m_pParentWnd;

private:
    // The window from the template, as AdjustTemplate left it.
    HWND CreateFromTemplate(UINT templateId, HWND owner);
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool DispatchThroughMaps(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    bool m_bModal = false;
    bool m_bEndModal = false;
    INT_PTR m_nModalResult = -1;
    bool m_bWantDefault = false;
};

// Hands a message taken from the queue to the window it is for: first to PreTranslateMessage of
// the dialogs that hold that window, innermost first, then to the keyboard navigation of the
// active dialog (Tab, Enter, Escape, arrows), then to the window. Every message loop of the
// program goes through here.
void DispatchDialogMessage(MSG& message);

} // namespace ui
