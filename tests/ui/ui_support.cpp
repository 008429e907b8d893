#include "ui_support.h"

#include "FolderPicker.h"
#include "TextHelpers.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The application object that owns the results windows, as in the program.
ui::Application g_application;

} // namespace

std::vector<ScriptedPicker::Call> ScriptedPicker::calls;
std::vector<std::wstring> ScriptedPicker::s_answers;

void ScriptedPicker::Answer(std::vector<std::wstring> answers) {
    s_answers = std::move(answers);
    calls.clear();
    SetFolderPicker(&ScriptedPicker::Pick);
}

std::wstring ScriptedPicker::Pick(HWND owner, const std::wstring& title, UINT flags) {
    calls.push_back({owner, title, flags});
    if (s_answers.empty()) {
        return {};
    }
    std::wstring answer = s_answers.front();
    s_answers.erase(s_answers.begin());
    return answer;
}

void Pump(int idleMilliseconds) {
    DWORD idleSince = GetTickCount();
    while (GetTickCount() - idleSince < static_cast<DWORD>(idleMilliseconds)) {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            HWND active = GetActiveWindow();
            if (active == nullptr || !IsDialogMessageW(active, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            idleSince = GetTickCount();
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    }
}

std::unique_ptr<CMainDlg> OpenMainWindow(std::vector<std::wstring> answers) {
    ScriptedPicker::Answer(std::move(answers));
    auto main = std::make_unique<CMainDlg>(nullptr);
    ui::Application::Current()->m_pMainWnd = main.get();
    EXPECT_TRUE(main->Create(IDD_MAIN, nullptr));
    Pump(); // the start-up tick asks the picker
    return main;
}

int LiveGdiObjects() {
    // The process environment block holds the address of the GDI handle table: 65536 entries of
    // 24 bytes, whose 16-bit word at offset 14 holds the object type (0 when the slot is free).
    using GetPeb = BYTE*(WINAPI*)();
    const auto getPeb = reinterpret_cast<GetPeb>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetCurrentPeb")));
    const BYTE* table = *reinterpret_cast<BYTE* const*>(getPeb() + 0xF8);
    if (table == nullptr) {
        ADD_FAILURE() << "no GDI handle table";
        return -1;
    }
    int live = 0;
    for (int slot = 0; slot < 0x10000; ++slot) {
        WORD type;
        std::memcpy(&type, table + 24 * slot + 14, sizeof type);
        live += (type & 0x7F) != 0 ? 1 : 0;
    }
    return live;
}

RECT ChildRect(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::wstring WindowText(HWND window) {
    return GetWindowTextString(window);
}
