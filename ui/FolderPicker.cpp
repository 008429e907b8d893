#include "ui/FolderPicker.h"

#include "ui/framework/Handles.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace {

FolderPickerFunction g_picker = &BrowseForFolder;

// The folder picked last in this run, where the next picking starts (nothing is kept on disk).
std::wstring g_lastFolder;

// Starts the shell's browser at the folder picked last.
int CALLBACK StartAtLastFolder(HWND browser, UINT message, LPARAM, LPARAM) {
    if (message == BFFM_INITIALIZED && !g_lastFolder.empty()) {
        ::SendMessageW(browser, BFFM_SETSELECTIONW, TRUE,
                       reinterpret_cast<LPARAM>(g_lastFolder.c_str()));
    }
    return 0;
}

// The system's folder dialog. Returns false when it could not be shown at all.
bool ShowFolderDialog(HWND owner, const std::wstring& title, std::wstring& result) {
    ui::ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileOpenDialog, dialog.PutVoid()))) {
        return false;
    }
    // The results of the option and title calls are not checked: a dialog that refuses them
    // still picks a folder, only less precisely asked.
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_NOCHANGEDIR);
    dialog->SetTitle(title.c_str());
    ui::ComPtr<IShellItem> start;
    if (!g_lastFolder.empty() &&
        SUCCEEDED(SHCreateItemFromParsingName(g_lastFolder.c_str(), nullptr, IID_IShellItem,
                                              start.PutVoid()))) {
        // Where it opens; a failure leaves the dialog's own choice.
        dialog->SetDefaultFolder(start.Get());
        dialog->SetFolder(start.Get());
    }
    const HRESULT shown = dialog->Show(owner);
    const bool ok = SUCCEEDED(shown) || shown == HRESULT_FROM_WIN32(ERROR_CANCELLED);
    ui::ComPtr<IShellItem> item;
    if (SUCCEEDED(shown) && SUCCEEDED(dialog->GetResult(item.Put()))) {
        wchar_t* name = nullptr;
        if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &name)) ||
            SUCCEEDED(item->GetDisplayName(SIGDN_NORMALDISPLAY, &name))) {
            result = name;
            CoTaskMemFree(name);
        }
    }
    return ok;
}

std::wstring ShowShellBrowser(HWND owner, const std::wstring& title, UINT flags) {
    std::wstring result;
    ui::ComPtr<IMalloc> allocator;
    if (SHGetMalloc(allocator.Put()) != S_OK) {
        return result;
    }
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = title.c_str();
    info.ulFlags = (flags & ~static_cast<UINT>(BIF_BROWSEFORCOMPUTER)) | BIF_RETURNONLYFSDIRS |
                   BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    info.lpfn = StartAtLastFolder;
    PIDLIST_ABSOLUTE items = SHBrowseForFolderW(&info);
    if (items != nullptr) {
        displayName[MAX_PATH - 1] = L'\0';
        result = displayName;
        wchar_t path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(items, path)) {
            result = path;
        }
        allocator->Free(items);
    }
    return result;
}

} // namespace

std::wstring BrowseForFolder(HWND owner, const std::wstring& title, UINT flags) {
    // The thread stays initialised for the rest of the process; repeating it is harmless.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring result;
    if (!ShowFolderDialog(owner, title, result)) {
        result = ShowShellBrowser(owner, title, flags);
    }
    if (!result.empty()) {
        g_lastFolder = result;
    }
    return result;
}

FolderPickerFunction SetFolderPicker(FolderPickerFunction picker) {
    FolderPickerFunction previous = g_picker;
    g_picker = picker != nullptr ? picker : &BrowseForFolder;
    return previous;
}

std::wstring PickFolder(HWND owner, const std::wstring& title, UINT flags) {
    return g_picker(owner, title, flags);
}
