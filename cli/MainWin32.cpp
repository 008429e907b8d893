// orvanel-dump's entry point in the Windows build: the arguments as wide text, to RunDump.

#include "cli/Console.h"

int wmain(int argc, wchar_t** argv) {
    return RunDump(std::vector<std::wstring>(argv + 1, argv + argc));
}
