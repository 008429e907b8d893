#include "ui/framework/Window.h"

#include <cstring>
#include <memory>
#include <new>

namespace ui {

std::wstring Window::GetWindowText() const {
    return GetWindowTextString(m_hWnd);
}

HINSTANCE ResourceModule() {
    return ::GetModuleHandleW(nullptr);
}

std::wstring GetWindowTextString(HWND window) {
    std::wstring result;
    DWORD lastError = 0;
    for (size_t capacity = 2;; capacity *= 2) {
        std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[capacity]);
        if (!buffer || capacity > 0x40000000u) {
            ::SetLastError(ERROR_OUTOFMEMORY);
            return {};
        }
        ::SetLastError(0);
        buffer[0] = L'\0';
        const int length = ::GetWindowTextW(window, buffer.get(), static_cast<int>(capacity));
        lastError = ::GetLastError();
        if (length == 0 || static_cast<size_t>(length) < capacity - 1) {
            result.assign(buffer.get(), length > 0 ? static_cast<size_t>(length) : 0);
            break;
        }
    }
    ::SetLastError(lastError);
    return result;
}

bool SetClipboardText(HWND owner, const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) {
        return false;
    }
    void* copy = ::GlobalLock(memory);
    if (copy != nullptr) {
        std::memcpy(copy, text.c_str(), bytes);
        ::GlobalUnlock(memory);
    }
    const bool opened = copy != nullptr && ::OpenClipboard(owner);
    // Once the clipboard has taken the memory, it is the clipboard's to free.
    const bool taken = opened && ::EmptyClipboard() && ::SetClipboardData(CF_UNICODETEXT, memory);
    if (opened) {
        ::CloseClipboard();
    }
    if (!taken) {
        ::GlobalFree(memory);
    }
    return taken;
}

RECT ClientRectOf(HWND parent, HWND control) {
    RECT rect{};
    if (!::GetWindowRect(control, &rect)) {
        rect = RECT{};
    }
    POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
    for (POINT& corner : corners) {
        if (!::ScreenToClient(parent, &corner)) {
            corner = POINT{0, 0};
        }
    }
    return RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

} // namespace ui
