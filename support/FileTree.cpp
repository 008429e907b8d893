#include "support/FileTree.h"

#include <windows.h>

#include <atomic>
#include <stdexcept>

namespace {

// Works on paths with the long-path prefix, which reach names such as "..." that plain paths
// normalise away.
void RemovePrefixedTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring child = path + L"\\" + name;
            const bool directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            const bool link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (directory && !link) {
                RemovePrefixedTree(child);
            } else if (directory) {
                RemoveDirectoryW(child.c_str());
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &data));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

} // namespace

void RemoveTree(const std::wstring& path) {
    RemovePrefixedTree(path.rfind(L"\\\\?\\", 0) == 0 ? path : L"\\\\?\\" + path);
}

std::wstring MakeTempFolder(const std::wstring& prefix) {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    std::wstring base(temp, length);
    if (!base.empty() && base.back() == L'\\') {
        base.pop_back();
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring path = base + L"\\" + prefix + std::to_wstring(GetCurrentProcessId()) +
                                  L"-" + std::to_wstring(counter++);
        if (CreateDirectoryW(path.c_str(), nullptr)) {
            return path;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}
