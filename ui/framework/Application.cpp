#include "ui/framework/Application.h"

#include <commctrl.h>

namespace ui {

namespace {

Application* g_application = nullptr;

} // namespace

Application::Application() {
    g_application = this;
}

Application::~Application() {
    if (g_application == this) {
        g_application = nullptr;
    }
}

Application* Application::Current() {
    return g_application;
}

int Application::Run() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    // InitInstance runs the program's windows to their end (a modal main window runs its own
    // message loop), so nothing is left to do afterwards.
    InitInstance();
    return 0;
}

} // namespace ui
