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

enum class PathKind { Missing, Folder, File };
PathKind Inspect(const std::wstring& path);

// Removes a file; false when it cannot.
bool RemoveFile(const std::wstring& path);

// The folder of the system's own modules (System32 on Windows, Wine's module folder on Linux
// where Wine is installed); empty when there is none.
std::wstring SystemModuleFolder();

} // namespace console

// The program, after the entry point: arguments without the program's name.
int RunDump(const std::vector<std::wstring>& arguments);
