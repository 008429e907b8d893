// The real folder picker, driven as a person would: type a path, press Open.

#include "ui/FolderPicker.h"
#include "tests/ui/ui_support.h"

#include <gtest/gtest.h>

namespace {

std::wstring g_typed;
bool g_answered = false;

BOOL CALLBACK FindEdit(HWND child, LPARAM found) {
    wchar_t cls[32] = {};
    GetClassNameW(child, cls, 32);
    if (_wcsicmp(cls, L"Edit") == 0 && IsWindowVisible(child)) {
        *reinterpret_cast<HWND*>(found) = child;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindPicker(HWND window, LPARAM found) {
    if (IsWindowVisible(window) && WindowText(window) == L"Open folder") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK AnswerPicker(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND picker = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindPicker, reinterpret_cast<LPARAM>(&picker));
    if (picker == nullptr) {
        return; // not up yet
    }
    KillTimer(nullptr, timer);
    HWND edit = nullptr;
    EnumChildWindows(picker, FindEdit, reinterpret_cast<LPARAM>(&edit));
    ASSERT_NE(edit, nullptr);
    SetWindowTextW(edit, g_typed.c_str());
    g_answered = true;
    PostMessageW(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(picker, IDOK)));
}

} // namespace

TEST(FolderPicker, TypedPathIsReturned) {
    TempFolder folder;
    g_typed = folder.path();
    SetTimer(nullptr, 0, 200, AnswerPicker);
    const std::wstring chosen = BrowseForFolder(nullptr, L"Open folder", 4114);
    EXPECT_TRUE(g_answered);
    EXPECT_EQ(_wcsicmp(chosen.c_str(), folder.path().c_str()), 0) << ToUtf8(chosen);
}
