#include "cli/Console.h"
#include "harvest/native/PosixErrors.h"
#include "harvest/Unicode.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace console {

bool Write(Stream stream, std::string_view data, platform::ErrorCode& error) {
    const int fd = stream == Stream::Output ? STDOUT_FILENO : STDERR_FILENO;
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            error =
                written < 0 ? platform::FromErrno(errno, errors::kWriteFault) : errors::kWriteFault;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool ReaderIsGone(platform::ErrorCode error) {
    return error == errors::kBrokenPipe;
}

void Exit(int status) {
    std::_Exit(status);
}

PathKind Inspect(const std::wstring& path) {
    struct stat info {};
    if (::stat(ToUtf8(path).c_str(), &info) != 0) {
        return PathKind::Missing;
    }
    return S_ISDIR(info.st_mode) ? PathKind::Folder : PathKind::File;
}

bool RemoveFile(const std::wstring& path) {
    return ::unlink(ToUtf8(path).c_str()) == 0;
}

std::wstring SystemModuleFolder() {
    // Where Debian's, Fedora's and WineHQ's packages put Wine's 64-bit modules.
    for (const wchar_t* folder :
         {L"/usr/lib/x86_64-linux-gnu/wine/x86_64-windows", L"/usr/lib64/wine/x86_64-windows",
          L"/usr/lib/wine/x86_64-windows", L"/opt/wine-stable/lib64/wine/x86_64-windows"}) {
        if (Inspect(folder) == PathKind::Folder) {
            return folder;
        }
    }
    return {};
}

} // namespace console

int main(int argc, char** argv) {
    // A closed pipe is a failed write, not the end of the process. (Nothing depends on the
    // process's locale: letter case and UTF-8 are the system's own, from tables.)
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(FromUtf8(argv[i]));
    }
    return RunDump(arguments);
}
