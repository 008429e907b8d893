#pragma once

#include <string>

// Removes a folder with everything in it. Directory links are removed, not followed.
void RemoveTree(const std::wstring& path);

// Creates a new, empty folder under the temporary directory whose name starts with prefix.
std::wstring MakeTempFolder(const std::wstring& prefix);
