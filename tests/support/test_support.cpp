#include "tests/support/test_support.h"

#include "harvest/Unicode.h"
#include "support/FileTree.h"

#include <gtest/gtest.h>

std::wstring FixtureFolder() {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, length);
    return path.substr(0, path.find_last_of(L'\\')) + L"\\fixtures";
}

std::wstring FixturePath(const std::wstring& fileName) {
    return FixtureFolder() + L"\\" + fileName;
}

TempFolder::TempFolder() : m_path(MakeTempFolder(L"orvanel-test-")) {}

TempFolder::~TempFolder() {
    RemoveTree(m_path);
}

std::wstring TempFolder::MakeFolder(const std::wstring& relative) const {
    const std::wstring full = m_path + L"\\" + relative;
    // The long-path prefix keeps names such as "..." from being normalised away.
    EXPECT_TRUE(CreateDirectoryW((L"\\\\?\\" + full).c_str(), nullptr)) << ToUtf8(full);
    return full;
}

void TempFolder::CopyFixture(const std::wstring& fixture, const std::wstring& relative) const {
    const std::wstring target = L"\\\\?\\" + m_path + L"\\" + relative;
    EXPECT_TRUE(CopyFileW(FixturePath(fixture).c_str(), target.c_str(), FALSE)) << ToUtf8(target);
}

void TempFolder::WriteText(const std::wstring& relative, const std::string& content) const {
    const std::wstring target = m_path + L"\\" + relative;
    HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

Rows AllRows(const MessageList& list) {
    Rows rows;
    for (int row = 0; row < list.GetRowCount(); ++row) {
        std::vector<std::wstring> cells;
        for (int column = 0; column < kMessageColumnCount; ++column) {
            cells.push_back(list.GetCell(row, column));
        }
        rows.push_back(std::move(cells));
    }
    return rows;
}
