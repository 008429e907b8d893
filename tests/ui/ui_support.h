#pragma once

#include "MainDlg.h"
#include "test_support.h"

#include <windows.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

// Dispatches the messages of this thread until none has arrived for idleMilliseconds.
void Pump(int idleMilliseconds = 30);

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
std::unique_ptr<CMainDlg> OpenMainWindow(std::vector<std::wstring> answers = {});

// The number of live GDI objects (bitmaps, fonts, device contexts...) of this process, counted in
// the process's GDI handle table: a count that grows over repeated work means a leak. (The
// platform's own count, GetGuiResources, is not implemented everywhere.)
int LiveGdiObjects();

// A control's rectangle in its parent's client coordinates.
RECT ChildRect(HWND control);

std::wstring WindowText(HWND window);
