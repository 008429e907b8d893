#pragma once

#include "support/Pump.h"
#include "tests/support/test_support.h"
#include "ui/MainDlg.h"
#include "ui/framework/Application.h"

#include <windows.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

// The folder picker, answered by the test: each call takes the next answer ("" once they run out)
// and is recorded.
struct ScriptedPicker {
    struct Call {
        HWND owner;
        std::wstring title;
        UINT flags;
    };
    static void Answer(std::vector<std::wstring> answers);
    static std::vector<Call> calls;

private:
    static std::wstring Pick(HWND owner, const std::wstring& title, UINT flags);
    static std::vector<std::wstring> s_answers;
};

// A main window created modelessly (as the application's main window), with the picker answered.
// When it goes, the application has no main window again.
struct MainWindowDeleter {
    void operator()(CMainDlg* window) const;
};
using MainWindow = std::unique_ptr<CMainDlg, MainWindowDeleter>;
MainWindow OpenMainWindow(std::vector<std::wstring> answers = {});
// The same, started with a folder or module as the program's command line gives it.
MainWindow OpenMainWindowAt(const std::wstring& startPath);

// The number of live GDI objects (bitmaps, fonts, device contexts...) of this process, counted in
// the process's GDI handle table: a count that grows over repeated work means a leak. (The
// platform's own count, GetGuiResources, is not implemented everywhere.)
int LiveGdiObjects();

// A control's rectangle in its parent's client coordinates.
inline RECT ChildRect(HWND control) {
    return ui::ClientRectOf(GetParent(control), control);
}

// Types a key through the system's input queue, as a keyboard does, with Ctrl or Shift held as
// asked, and lets the message loop take it (Pump) unless told not to.
void PressKey(WORD key, bool ctrl = false, bool shift = false, bool pump = true);

inline std::wstring WindowText(HWND window) {
    return ui::GetWindowTextString(window);
}
