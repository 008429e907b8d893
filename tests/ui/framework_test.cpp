// The window layer on its own: window texts, and keys through the real message loop.

#include "res/resource.h"
#include "tests/ui/ui_support.h"

#include <gtest/gtest.h>

#include <new>

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

namespace {

// A dialog whose handler of one message fails, as a scan that runs out of memory does.
class FailingDialog : public ui::Dialog {
public:
    static constexpr UINT kFail = WM_APP + 7;
    static constexpr UINT kAnswer = WM_APP + 8;

    FailingDialog() : ui::Dialog(IDD_INFO) {}

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kFail) {
            throw std::bad_alloc();
        }
        if (message == kAnswer) {
            return 42;
        }
        return ui::Dialog::WindowProc(message, wParam, lParam);
    }
    void OnHandlerFailure(std::exception_ptr failure) override {
        try {
            std::rethrow_exception(failure);
        } catch (const std::bad_alloc&) {
            ++outOfMemory;
        }
    }
    int outOfMemory = 0;
};

} // namespace

// A failing handler ends its message, is told to its window, and never reaches the system's
// dialog procedure: the window goes on answering.
TEST(Dialog, AFailingHandlerIsToldAndTheWindowGoesOn) {
    FailingDialog dialog;
    ASSERT_TRUE(dialog.Create(IDD_INFO, nullptr));
    EXPECT_EQ(SendMessageW(dialog.m_hWnd, FailingDialog::kFail, 0, 0), 0);
    EXPECT_EQ(dialog.outOfMemory, 1);
    EXPECT_TRUE(IsWindow(dialog.m_hWnd));
    EXPECT_EQ(SendMessageW(dialog.m_hWnd, FailingDialog::kAnswer, 0, 0), 42);
    dialog.DestroyWindow();
}
