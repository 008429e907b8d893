// Orvanel: shows the message tables of the modules in a folder.

#include "ui/ViewerApp.h"

#include <windows.h>

namespace {
CViewerApp theApp;
} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return theApp.Run();
}
