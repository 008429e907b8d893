#include "Window.h"

#include "TextHelpers.h"

namespace ui {

HWND Window::Detach() {
    HWND window = m_hWnd;
    m_hWnd = nullptr;
    return window;
}

std::wstring Window::GetWindowText() const {
    return GetWindowTextString(m_hWnd);
}

HINSTANCE ResourceModule() {
    return ::GetModuleHandleW(nullptr);
}

} // namespace ui
