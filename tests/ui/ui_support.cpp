#include "tests/ui/ui_support.h"

#include "ui/FolderPicker.h"
#include "res/resource.h"

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

void MainWindowDeleter::operator()(CMainDlg* window) const {
    ui::Application* application = ui::Application::Current();
    if (application->m_pMainWnd == window) {
        application->m_pMainWnd = nullptr;
    }
    delete window;
}

namespace {

MainWindow OpenMainWindow(std::vector<std::wstring> answers, const std::wstring& startPath) {
    ScriptedPicker::Answer(std::move(answers));
    MainWindow main(new CMainDlg(nullptr));
    main->SetStartPath(startPath);
    ui::Application::Current()->m_pMainWnd = main.get();
    EXPECT_TRUE(main->Create(IDD_MAIN, nullptr));
    Pump(); // the start-up tick asks the picker, or scans the start path
    return main;
}

} // namespace

MainWindow OpenMainWindow(std::vector<std::wstring> answers) {
    return OpenMainWindow(std::move(answers), L"");
}

MainWindow OpenMainWindowAt(const std::wstring& startPath) {
    return OpenMainWindow({}, startPath);
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

void PressKey(WORD key, bool ctrl, bool shift, bool pump) {
    std::vector<INPUT> inputs;
    const auto add = [&inputs](WORD vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    if (ctrl) {
        add(VK_CONTROL, false);
    }
    if (shift) {
        add(VK_SHIFT, false);
    }
    add(key, false);
    add(key, true);
    if (shift) {
        add(VK_SHIFT, true);
    }
    if (ctrl) {
        add(VK_CONTROL, true);
    }
    EXPECT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)),
              inputs.size());
    if (pump) {
        Pump();
    }
}
