#pragma once

#include "ui/framework/Window.h"

namespace ui {

// The application object: one per process. The process entry calls Run.
class Application {
public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Everything the application does; it returns when the application is done.
    virtual BOOL InitInstance() { return FALSE; }
    // Initialises the common controls, calls InitInstance and returns the process's exit code.
    int Run();

    static Application* Current();

    // Owns the modeless windows that are created without a parent.
    Window* m_pMainWnd = nullptr;
};

} // namespace ui
