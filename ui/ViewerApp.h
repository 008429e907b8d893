#pragma once

#include "ui/framework/Application.h"

// The application: runs the main window modally, then lets the process end.
class CViewerApp : public ui::Application {
public:
    BOOL InitInstance() override;
};
