#include "cli/Console.h"
#include "harvest/Platform.h"
#include "harvest/native/PosixErrors.h"
#include "harvest/Unicode.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace console {

namespace {

bool WriteAll(int fd, std::string_view data, platform::ErrorCode& error) {
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

} // namespace

bool Write(Stream stream, std::string_view data, platform::ErrorCode& error) {
    return WriteAll(stream == Stream::Output ? STDOUT_FILENO : STDERR_FILENO, data, error);
}

bool OutputFile::Open(const std::wstring& path, platform::ErrorCode& error) {
    Discard();
    std::string name = ToUtf8(path) + ".orvanel-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error = platform::FromErrno(errno, errors::kWriteFault);
        return false;
    }
    // The permissions a file made in its place would have: mkstemp's are the owner's alone.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    m_path = path;
    m_temporary = FromUtf8(name);
    m_descriptor = fd;
    return true;
}

bool OutputFile::Write(std::string_view data, platform::ErrorCode& error) {
    return data.empty() || (m_descriptor >= 0 && WriteAll(m_descriptor, data, error));
}

bool OutputFile::Commit(platform::ErrorCode& error) {
    if (m_descriptor < 0) {
        error = errors::kInvalidHandle;
        return false;
    }
    const bool closed = ::close(m_descriptor) == 0;
    m_descriptor = -1;
    if (!closed || ::rename(ToUtf8(m_temporary).c_str(), ToUtf8(m_path).c_str()) != 0) {
        error = platform::FromErrno(errno, errors::kWriteFault);
        ::unlink(ToUtf8(m_temporary).c_str());
        return false;
    }
    return true;
}

void OutputFile::Discard() {
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
        m_descriptor = -1;
        ::unlink(ToUtf8(m_temporary).c_str());
    }
}

bool ReaderIsGone(platform::ErrorCode error) {
    return error == errors::kBrokenPipe;
}

void Exit(int status) {
    std::_Exit(status);
}

std::wstring SystemModuleFolder() {
    // Where Debian's, Fedora's and WineHQ's packages put Wine's 64-bit modules.
    for (const wchar_t* folder :
         {L"/usr/lib/x86_64-linux-gnu/wine/x86_64-windows", L"/usr/lib64/wine/x86_64-windows",
          L"/usr/lib/wine/x86_64-windows", L"/opt/wine-stable/lib64/wine/x86_64-windows"}) {
        if (platform::Inspect(folder) == platform::PathKind::Folder) {
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
