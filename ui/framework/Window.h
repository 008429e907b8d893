#pragma once

#include <windows.h>

#include <string>

namespace ui {

// A thin wrapper over a window handle. It neither creates nor destroys the window on its own.
class Window {
public:
    Window() = default;
    virtual ~Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    bool IsAttached() const { return m_hWnd != nullptr && ::IsWindow(m_hWnd); }
    void Attach(HWND window) { m_hWnd = window; }

    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    BOOL ShowWindow(int command) const { return ::ShowWindow(m_hWnd, command); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL SetWindowTextW(const std::wstring& text) const {
        return ::SetWindowTextW(m_hWnd, text.c_str());
    }
    std::wstring GetWindowText() const;
    BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE) const {
        return ::MoveWindow(m_hWnd, x, y, width, height, repaint);
    }
    BOOL GetWindowRect(RECT* rect) const { return ::GetWindowRect(m_hWnd, rect); }
    BOOL GetClientRect(RECT* rect) const { return ::GetClientRect(m_hWnd, rect); }
    HWND SetFocus() const { return ::SetFocus(m_hWnd); }
    LRESULT SendMessageW(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessageW(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }

    HWND m_hWnd = nullptr;
};

// Shows the system's wait cursor while it lives, and puts back the cursor it replaced.
class WaitCursor {
public:
    WaitCursor() : m_previous(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { ::SetCursor(m_previous); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR m_previous;
};

// The module whose resources the windows are built from (the program itself).
HINSTANCE ResourceModule();

// The whole text of a window, however long. Leaves behind the last-error value that
// GetWindowTextW left (0 on success), or ERROR_OUTOFMEMORY when no buffer could be had.
std::wstring GetWindowTextString(HWND window);

// Puts text on the clipboard as Unicode text, owned by owner. False when the clipboard cannot be
// had.
bool SetClipboardText(HWND owner, const std::wstring& text);

// A control's rectangle in the client coordinates of parent. A rectangle that cannot be read
// counts as all zeros, and a corner that cannot be converted as the point (0, 0).
RECT ClientRectOf(HWND parent, HWND control);

} // namespace ui
