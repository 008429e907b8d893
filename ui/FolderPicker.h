#pragma once

#include <windows.h>

#include <string>

// Asks the user for a folder, owned by owner and titled title. Returns the folder's file-system
// path, the display name of a chosen item that has none, or an empty string when nothing was
// chosen or no picker could be shown.
//
// It shows the system's folder dialog, where a folder can be chosen or its path typed or pasted.
// Where that dialog cannot be created it falls back to the shell's folder browser, with flags
// that let file-system folders be chosen and show its edit box: the caller's flags (the browser's
// BIF_ values) are passed on only with BIF_BROWSEFORCOMPUTER taken out, since with it no folder
// can be chosen at all.
std::wstring BrowseForFolder(HWND owner, const std::wstring& title, UINT flags);

// The picker that "Open directory" uses: BrowseForFolder unless replaced (tests answer it).
using FolderPickerFunction = std::wstring (*)(HWND owner, const std::wstring& title, UINT flags);
FolderPickerFunction SetFolderPicker(FolderPickerFunction picker);
std::wstring PickFolder(HWND owner, const std::wstring& title, UINT flags);
