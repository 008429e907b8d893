#include "cli/Console.h"
#include "harvest/Platform.h"

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

bool OutputFile::Open(const std::wstring& path, platform::ErrorCode& error) {
    Discard();
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : path.substr(0, slash + 1);
    wchar_t temporary[MAX_PATH] = {};
    if (GetTempFileNameW(folder.c_str(), L"orv", 0, temporary) == 0) {
        error = GetLastError();
        return false;
    }
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        DeleteFileW(temporary);
        return false;
    }
    m_path = path;
    m_temporary = temporary;
    m_handle = file;
    return true;
}

bool OutputFile::Write(std::string_view data, platform::ErrorCode& error) {
    std::size_t done = 0;
    while (m_handle != nullptr && done < data.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
        if (!WriteFile(m_handle, data.data() + done, chunk, &written, nullptr) || written == 0) {
            error = GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
            return false;
        }
        done += written;
    }
    return m_handle != nullptr || data.empty();
}

bool OutputFile::Commit(platform::ErrorCode& error) {
    if (m_handle == nullptr) {
        error = ERROR_INVALID_HANDLE;
        return false;
    }
    const bool closed = CloseHandle(m_handle) != FALSE;
    m_handle = nullptr;
    if (!closed || !MoveFileExW(m_temporary.c_str(), m_path.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
        DeleteFileW(m_temporary.c_str());
        return false;
    }
    return true;
}

void OutputFile::Discard() {
    if (m_handle != nullptr) {
        CloseHandle(m_handle);
        m_handle = nullptr;
        DeleteFileW(m_temporary.c_str());
    }
}

bool ReaderIsGone(platform::ErrorCode error) {
    // Wine reports a pipe whose reader has gone as ERROR_PIPE_NOT_CONNECTED.
    return error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA ||
           error == ERROR_PIPE_NOT_CONNECTED;
}

void Exit(int status) {
    ExitProcess(static_cast<UINT>(status));
}

std::wstring SystemModuleFolder() {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

} // namespace console
