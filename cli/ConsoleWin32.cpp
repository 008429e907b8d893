#include "cli/Console.h"

#include <windows.h>

#include <algorithm>

namespace console {

bool Write(Stream stream, std::string_view data, platform::ErrorCode& error) {
    HANDLE handle = GetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    std::size_t done = 0;
    while (done < data.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
        if (!WriteFile(handle, data.data() + done, chunk, &written, nullptr)) {
            error = GetLastError();
            return false;
        }
        if (written == 0) {
            error = ERROR_WRITE_FAULT;
            return false;
        }
        done += written;
    }
    return true;
}

bool ReaderIsGone(platform::ErrorCode error) {
    // Wine reports a pipe whose reader has gone as ERROR_PIPE_NOT_CONNECTED.
    return error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA ||
           error == ERROR_PIPE_NOT_CONNECTED;
}

void Exit(int status) {
    ExitProcess(static_cast<UINT>(status));
}

PathKind Inspect(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return PathKind::Missing;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Folder : PathKind::File;
}

bool RemoveFile(const std::wstring& path) {
    return DeleteFileW(path.c_str()) != FALSE;
}

std::wstring SystemModuleFolder() {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

} // namespace console
