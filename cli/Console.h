#pragma once

#include "harvest/ErrorCodes.h"

#include <string>
#include <string_view>
#include <vector>

// What orvanel-dump needs of the system beyond the harvest, the Windows way (cli/ConsoleWin32)
// or the POSIX way (cli/ConsolePosix). Each also holds the program's entry point, which hands
// the arguments, as wide text, to RunDump.
namespace console {

enum class Stream { Output, Error };

// Writes all of data; false with the system's error code when it cannot.
bool Write(Stream stream, std::string_view data, platform::ErrorCode& error);

// Whether a failed write means only that the reader went away (a closed pipe).
bool ReaderIsGone(platform::ErrorCode error);

// Ends the process at once with that status.
[[noreturn]] void Exit(int status);

// A file that takes the output in place of a standard stream: written beside path and moved into
// its place by Commit, so that a run that fails leaves what stood at path as it was. An open file
// that is not committed is removed when it goes.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { Discard(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Each false with the system's error code.
    bool Open(const std::wstring& path, platform::ErrorCode& error);
    bool Write(std::string_view data, platform::ErrorCode& error);
    bool Commit(platform::ErrorCode& error);
    // Closes and removes the file written so far.
    void Discard();

private:
    std::wstring m_path;
    std::wstring m_temporary;
    void* m_handle = nullptr; // the platform's handle, or null when closed
    int m_descriptor = -1;
};

// The folder of the system's own modules (System32 on Windows, Wine's module folder on Linux
// where Wine is installed); empty when there is none.
std::wstring SystemModuleFolder();

} // namespace console

// The program, after the entry point: arguments without the program's name.
int RunDump(const std::vector<std::wstring>& arguments);
