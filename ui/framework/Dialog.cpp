#include "ui/framework/Dialog.h"

#include "ui/framework/Application.h"

namespace ui {

namespace {

// Messages whose result is the dialog procedure's return value itself.
bool ResultIsReturnValue(UINT message) {
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

} // namespace

void DDX_Control(DataExchange& dx, int id, Window& control) {
    if (control.m_hWnd == nullptr) {
        control.Attach(dx.pDialog->GetDlgItem(id));
    }
}

void DDX_Text(DataExchange& dx, int id, std::wstring& value) {
    if (dx.bSaveAndValidate) {
        value = dx.pDialog->GetDlgItemText(id);
    } else {
        dx.pDialog->SetDlgItemText(id, value);
    }
}

void DDX_Check(DataExchange& dx, int id, int& value) {
    if (dx.bSaveAndValidate) {
        value = static_cast<int>(dx.pDialog->IsDlgButtonChecked(id));
    } else {
        dx.pDialog->CheckDlgButton(id, static_cast<UINT>(value));
    }
}

Dialog::Dialog(UINT templateId, Window* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

Dialog::~Dialog() {
    // A window must not outlive the object that its procedure reaches.
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
        ::SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
        ::DestroyWindow(m_hWnd);
    }
    m_hWnd = nullptr;
}

const MessageMap* Dialog::GetThisMessageMap() {
    static const MessageMapEntry entries[] = {{0, 0, 0, nullptr}};
    static const MessageMap map = {nullptr, entries};
    return &map;
}

BOOL Dialog::Create(UINT templateId, Window* parent) {
    m_nIDTemplate = templateId;
    HWND owner = parent != nullptr ? parent->m_hWnd : nullptr;
    const Application* application = Application::Current();
    if (owner == nullptr && application != nullptr && application->m_pMainWnd != nullptr &&
        application->m_pMainWnd != this) {
        owner = application->m_pMainWnd->m_hWnd;
    }
    return CreateFromTemplate(templateId, owner) != nullptr ? TRUE : FALSE;
}

HWND Dialog::CreateFromTemplate(UINT templateId, HWND owner) {
    DialogTemplate dialogTemplate;
    if (!dialogTemplate.Load(ResourceModule(), templateId)) {
        return nullptr;
    }
    AdjustTemplate(dialogTemplate);
    return ::CreateDialogIndirectParamW(ResourceModule(), dialogTemplate.Data(), owner, DialogProc,
                                        reinterpret_cast<LPARAM>(this));
}

// Our own loop rather than DialogBoxParamW: the run ends through the virtual DestroyWindow (as a
// main window must destroy its results windows first), and every message passes through
// DispatchDialogMessage, which offers it to PreTranslateMessage of the dialogs that hold it.
INT_PTR Dialog::DoModal() {
    HWND owner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    m_bModal = true;
    m_bEndModal = false;
    m_nModalResult = -1;
    HWND window = CreateFromTemplate(m_nIDTemplate, owner);
    if (window == nullptr) {
        m_bModal = false;
        return -1;
    }
    const bool disableOwner = owner != nullptr && ::IsWindowEnabled(owner);
    if (disableOwner) {
        ::EnableWindow(owner, FALSE);
    }
    if (!m_bEndModal) {
        ::ShowWindow(window, SW_SHOW);
    }
    MSG message;
    while (!m_bEndModal) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) {
                ::PostQuitMessage(static_cast<int>(message.wParam));
            }
            break;
        }
        DispatchDialogMessage(message);
    }
    // Hidden first: the owner then takes the activation back at once, and DestroyWindow (which
    // for a main window first destroys the results windows it owns, one by one) runs off screen.
    if (m_hWnd != nullptr) {
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    }
    if (disableOwner) {
        ::EnableWindow(owner, TRUE);
    }
    DestroyWindow();
    m_bModal = false;
    return m_nModalResult;
}

BOOL Dialog::DestroyWindow() {
    if (m_hWnd == nullptr) {
        return FALSE;
    }
    return ::DestroyWindow(m_hWnd);
}

void Dialog::EndDialog(int result) {
    if (m_bModal) {
        m_bEndModal = true;
        m_nModalResult = result;
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0); // wakes the loop
    } else if (m_hWnd != nullptr) {
        // Only hidden: the platform's EndDialog would also mark the window as ended, after which
        // showing it again no longer gives the focus back to its controls. The window that takes
        // over is activated first, so that the platform does not choose one (Wine raises the
        // main window above the others).
        HWND next = WindowToActivateOnHide();
        if (next != nullptr && ::IsWindowVisible(next) && ::GetActiveWindow() == m_hWnd) {
            ::SetWindowPos(next, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            ::SetForegroundWindow(next);
        }
        ::ShowWindow(m_hWnd, SW_HIDE);
    }
}

void Dialog::UpdateData(bool saveAndValidate) {
    DataExchange dx{this, saveAndValidate};
    DoDataExchange(dx);
}

void Dialog::DoDataExchange(DataExchange&) {}

BOOL Dialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void Dialog::OnOK() {
    UpdateData(true);
    EndDialog(IDOK);
}

void Dialog::OnCancel() {
    EndDialog(IDCANCEL);
}

LRESULT Dialog::Default() {
    m_bWantDefault = true;
    return 0;
}

bool Dialog::DispatchThroughMaps(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    for (const MessageMap* map = GetMessageMap(); map != nullptr; map = map->base) {
        for (const MessageMapEntry* entry = map->entries; entry->message != 0; ++entry) {
            if (entry->message != message) {
                continue;
            }
            if (message == WM_COMMAND &&
                (entry->code != HIWORD(wParam) || entry->id != LOWORD(wParam))) {
                continue;
            }
            if (message == WM_NOTIFY) {
                const auto* header = reinterpret_cast<const NMHDR*>(lParam);
                if (header == nullptr || entry->code != header->code ||
                    entry->id != header->idFrom) {
                    continue;
                }
            }
            result = entry->thunk(*this, wParam, lParam);
            return true;
        }
    }
    return false;
}

LRESULT Dialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (message == WM_INITDIALOG) {
        return OnInitDialog();
    }
    if (DispatchThroughMaps(message, wParam, lParam, result)) {
        return result;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return 0;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return 0;
        }
    }
    return Default();
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->m_hWnd = window;
    } else {
        self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    }
    if (self == nullptr) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        self->m_hWnd = nullptr;
        self->PostNcDestroy();
        return FALSE;
    }
    // A handler may send messages that come back here before it returns (nested): each message
    // has its own request for the default handling, so the outer one's is kept aside meanwhile.
    const bool outerWantDefault = self->m_bWantDefault;
    self->m_bWantDefault = false;
    LRESULT result = 0;
    try {
        result = self->WindowProc(message, wParam, lParam);
    } catch (...) {
        // A failure ends its message here: it never unwinds into the system's dialog manager.
        self->m_bWantDefault = outerWantDefault;
        self->HandlerFailed(std::current_exception());
        return FALSE;
    }
    const bool wantDefault = self->m_bWantDefault;
    self->m_bWantDefault = outerWantDefault;
    if (wantDefault) {
        return FALSE;
    }
    if (ResultIsReturnValue(message)) {
        return static_cast<INT_PTR>(result);
    }
    ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

void Dialog::OnHandlerFailure(std::exception_ptr) {
    ::MessageBeep(MB_ICONERROR);
}

void Dialog::HandlerFailed(std::exception_ptr failure) noexcept {
    try {
        OnHandlerFailure(std::move(failure));
    } catch (...) {
        ::MessageBeep(MB_ICONERROR); // telling of it failed too: there is nothing left to do
    }
}

bool Dialog::PreTranslateMessage(const MSG&) {
    return false;
}

Dialog* Dialog::FromHandle(HWND window) {
    if (window == nullptr ||
        ::GetWindowLongPtrW(window, DWLP_DLGPROC) != reinterpret_cast<LONG_PTR>(&DialogProc)) {
        return nullptr;
    }
    return reinterpret_cast<Dialog*>(::GetWindowLongPtrW(window, DWLP_USER));
}

void DispatchDialogMessage(MSG& message) {
    HWND desktop = ::GetDesktopWindow();
    for (HWND window = message.hwnd; window != nullptr && window != desktop;
         window = ::GetAncestor(window, GA_PARENT)) {
        Dialog* dialog = Dialog::FromHandle(window);
        if (dialog == nullptr) {
            continue;
        }
        try {
            if (dialog->PreTranslateMessage(message)) {
                return;
            }
        } catch (...) {
            dialog->HandlerFailed(std::current_exception());
            return;
        }
    }
    // Keyboard navigation for whichever dialog is active: the modal one or a modeless one.
    HWND active = ::GetActiveWindow();
    if (active != nullptr && ::IsDialogMessageW(active, &message)) {
        return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

} // namespace ui
