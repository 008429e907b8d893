#pragma once

#include "MessageMap.h"
#include "Window.h"

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
    // Called once the window is gone, however it was destroyed.
    virtual void PostNcDestroy() {}

    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    // Ends a modal run; hides a modeless dialog.
    void EndDialog(int result);
    // Asks for the dialog manager's default processing of the message being handled.
    LRESULT Default();

    virtual const MessageMap* GetMessageMap() const { return GetThisMessageMap(); }
    static const MessageMap* GetThisMessageMap();

protected:
    UINT m_nIDTemplate;
    Window* m_pParentWnd;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool DispatchThroughMaps(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    bool m_bModal = false;
    bool m_bEndModal = false;
    INT_PTR m_nModalResult = -1;
    bool m_bWantDefault = false;
};

// The application object: one per process. The process entry calls Run.
class Application {
public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Returns FALSE to end the process without a message loop of its own.
    virtual BOOL InitInstance() { return FALSE; }
    // Initialises the common controls, calls InitInstance and, if it returned TRUE, runs the
    // message loop; returns the exit code.
    int Run();

    static Application* Current();

    Window* m_pMainWnd = nullptr;
};

} // namespace ui
