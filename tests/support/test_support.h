#pragma once

#include "harvest/MessageList.h"
#include "harvest/Strings.h"
#include "harvest/SystemText.h"
#include "harvest/Unicode.h"

#include <windows.h>

#include <string>
#include <vector>

// Folder of the fixture modules that the build places beside the test program.
std::wstring FixtureFolder();
std::wstring FixturePath(const std::wstring& fileName);

// A fresh folder under the temporary directory, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& path() const { return m_path; }
    // Creates a subfolder (relative path) and returns its full path.
    std::wstring MakeFolder(const std::wstring& relative) const;
    // Copies a fixture module to relative path.
    void CopyFixture(const std::wstring& fixture, const std::wstring& relative) const;
    void WriteText(const std::wstring& relative, const std::string& content) const;

private:
    std::wstring m_path;
};

// All cells of a list, row by row.
using Rows = std::vector<std::vector<std::wstring>>;
Rows AllRows(const MessageList& list);
