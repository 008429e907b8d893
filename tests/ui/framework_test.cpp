// The window layer on its own: window texts, and keys through the real message loop.

#include "tests/ui/ui_support.h"

#include <gtest/gtest.h>

namespace {

int g_getTextCalls = 0;
WNDPROC g_staticProc = nullptr;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETTEXT) {
        ++g_getTextCalls;
    }
    return CallWindowProcW(g_staticProc, window, message, wParam, lParam);
}

} // namespace

TEST(GetWindowTextString, GrowsItsBufferUntilTheTextFits) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    g_staticProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));

    struct Case {
        std::wstring text;
        int calls;
    } cases[] = {
        {L"", 1}, {L"a", 2}, {L"abc", 3}, {L"abcdefg", 4}, {std::wstring(100000, L'q'), 17}};
    for (auto& c : cases) {
        SetWindowTextW(window, c.text.c_str());
        g_getTextCalls = 0;
        SetLastError(1234);
        EXPECT_EQ(ui::GetWindowTextString(window), c.text);
        EXPECT_EQ(GetLastError(), 0u);
        EXPECT_EQ(g_getTextCalls, c.calls) << c.text.size();
    }
    DestroyWindow(window);

    // A window that is gone gives an empty text and leaves the platform's error behind.
    EXPECT_EQ(ui::GetWindowTextString(window), L"");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}
