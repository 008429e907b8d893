// The Windows side of the harvest's platform seams: the Win32 folder listing, the loader's view
// of a module's message tables, and the system's texts.

#include "harvest/Platform.h"

#include "harvest/MessageList.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <exception>

namespace platform {

const wchar_t kPathSeparator = L'\\';

namespace {

constexpr WORD kMessageTableType = 11; // RT_MESSAGETABLE

// The folder as the platform's listing sees it: with one backslash at the end.
std::wstring WithTrailingBackslash(const std::wstring& folder) {
    return folder.empty() || folder.back() != L'\\' ? folder + L'\\' : folder;
}

bool IsDotOrDotDot(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Walks an open search, directories or not as asked, and closes it. What a failed FindNextFileW
// or FindClose leaves (ERROR_NO_MORE_FILES at a normal end) changes nothing: what was listed is
// what the scan gets.
bool WalkSearch(HANDLE search, WIN32_FIND_DATAW& findData, const std::wstring& folder,
                bool wantDirectories, FolderEntryProc callback, void* userData) {
    // The search is closed on every way out, a callback that fails included.
    struct Closer {
        HANDLE search;
        ~Closer() { FindClose(search); }
    } closer{search};
    int index = 0;
    do {
        const bool isDirectory = (findData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (wantDirectories ? isDirectory && !IsDotOrDotDot(findData.cFileName) : !isDirectory) {
            if (!callback(folder, findData.cFileName, index++, userData)) {
                break;
            }
        }
    } while (FindNextFileW(search, &findData));
    return true;
}

// A first search that found nothing: a folder without matches (or without the folder itself)
// is an empty listing, anything else (access denied, say) a failure.
bool NothingToList() {
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// How many of the wanted bytes from data on are committed, readable memory. A table's size is
// what the module's file claims; a module cut short or crafted can claim more than its mapping
// holds, and reading past the mapping would fault.
std::size_t ReadableExtent(const void* data, std::size_t wanted) {
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY |
                                PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    std::size_t extent = 0;
    auto at = reinterpret_cast<std::uintptr_t>(data);
    while (extent < wanted) {
        MEMORY_BASIC_INFORMATION region{};
        if (VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) == 0 ||
            region.State != MEM_COMMIT || (region.Protect & kReadable) == 0 ||
            (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0) {
            break;
        }
        const auto end = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
        const std::size_t here = std::min<std::size_t>(end - at, wanted - extent);
        extent += here;
        at += here;
    }
    return extent;
}

bool IsMessageTableType(LPCWSTR type) {
    return IS_INTRESOURCE(type) && LOWORD(reinterpret_cast<ULONG_PTR>(type)) == kMessageTableType;
}

// What both enumeration callbacks share: where the tables go, and how many went.
// A failure inside a callback (the sink's, or memory running out) never unwinds through the
// system's enumeration: it is kept here, the enumeration stops, and it goes on from
// ReadMessageTables once the module is released.
struct Enumeration {
    TableSink* sink;
    std::size_t tables = 0;
    std::uint64_t bytes = 0;
    std::exception_ptr failure;
    bool Full() const { return tables >= kMaxTablesPerModule || bytes >= kMaxTableBytesPerModule; }
    bool Stopped() const { return Full() || failure != nullptr; }
};

// Hands one table to the sink.
BOOL ReadTable(Enumeration& enumeration, HMODULE module, LPCWSTR name, WORD language) {
    TableSink* sink = enumeration.sink;
    // A table that cannot be found again, loaded or locked is passed over.
    HRSRC resource = FindResourceExW(module, MAKEINTRESOURCEW(kMessageTableType), name, language);
    HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
    const auto* data =
        loaded != nullptr ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
    if (data != nullptr) {
        const std::size_t size = ReadableExtent(data, SizeofResource(module, resource));
        ++enumeration.tables;
        enumeration.bytes += size;
        ResourceName resourceName;
        if (IS_INTRESOURCE(name)) {
            resourceName.number = LOWORD(reinterpret_cast<ULONG_PTR>(name));
        } else {
            resourceName.isNumber = false;
            resourceName.text = name;
        }
        sink->OnTable(resourceName, language, data, size);
    }
    return TRUE;
}

BOOL CALLBACK EnumMessageTableLanguagesProc(HMODULE module, LPCWSTR type, LPCWSTR name,
                                            WORD language, LONG_PTR context) {
    auto* enumeration = reinterpret_cast<Enumeration*>(context);
    if (enumeration == nullptr || !IsMessageTableType(type) || enumeration->Stopped()) {
        return FALSE;
    }
    try {
        return ReadTable(*enumeration, module, name, language);
    } catch (...) {
        enumeration->failure = std::current_exception();
        return FALSE;
    }
}

BOOL CALLBACK EnumMessageTableNamesProc(HMODULE module, LPCWSTR type, LPWSTR name,
                                        LONG_PTR context) {
    auto* enumeration = reinterpret_cast<Enumeration*>(context);
    if (enumeration == nullptr || !IsMessageTableType(type)) {
        return FALSE;
    }
    EnumResourceLanguagesW(module, MAKEINTRESOURCEW(kMessageTableType), name,
                           EnumMessageTableLanguagesProc, context);
    return enumeration->Stopped() ? FALSE : TRUE; // a full or failed module ends its enumeration
}

} // namespace

bool ReadFolderIdentity(const std::wstring& folder, FolderIdentity& identity) {
    // Opened with a trailing backslash, as the listing sees it: a final name such as "..." would
    // otherwise lose its dots to path normalisation and name the folder above.
    const std::wstring path = WithTrailingBackslash(folder);
    HANDLE handle =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    identity = {};
    bool known = false;
    FILE_ID_INFO idInfo;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &idInfo, sizeof idInfo)) {
        identity.first = idInfo.VolumeSerialNumber;
        std::memcpy(identity.second.data(), idInfo.FileId.Identifier, identity.second.size());
        known = true;
    } else if (GetFileInformationByHandle(handle, &info)) {
        // A file system without 128-bit identities: the volume and the 64-bit file index.
        identity.first = info.dwVolumeSerialNumber;
        const DWORD index[2] = {info.nFileIndexHigh, info.nFileIndexLow};
        std::memcpy(identity.second.data(), index, sizeof index);
        known = true;
    }
    CloseHandle(handle);
    return known;
}

bool EnumFilesInFolder(const std::wstring& folder, const std::wstring& mask,
                       FolderEntryProc callback, void* userData) {
    if (folder.empty() || callback == nullptr) {
        return false;
    }
    const std::wstring pattern = WithTrailingBackslash(folder) + (mask.empty() ? L"*" : mask);
    WIN32_FIND_DATAW findData;
    HANDLE search = FindFirstFileW(pattern.c_str(), &findData);
    if (search == INVALID_HANDLE_VALUE) {
        return NothingToList();
    }
    return WalkSearch(search, findData, folder, false, callback, userData);
}

ErrorCode ListingError(const std::wstring& folder) {
    WIN32_FIND_DATAW findData;
    HANDLE search = FindFirstFileW((WithTrailingBackslash(folder) + L"*").c_str(), &findData);
    if (search == INVALID_HANDLE_VALUE) {
        return NothingToList() ? ERROR_SUCCESS : GetLastError();
    }
    FindClose(search);
    return ERROR_SUCCESS;
}

bool EnumSubfolders(const std::wstring& folder, FolderEntryProc callback, void* userData) {
    if (folder.empty() || callback == nullptr) {
        return false;
    }
    const std::wstring pattern = WithTrailingBackslash(folder) + L"*";
    WIN32_FIND_DATAW findData;
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &findData,
                                     FindExSearchLimitToDirectories, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        // Not every platform or file system knows the extended search: the plain one lists the
        // same entries, and the walk keeps only the directories.
        search = FindFirstFileW(pattern.c_str(), &findData);
    }
    if (search == INVALID_HANDLE_VALUE) {
        return NothingToList();
    }
    return WalkSearch(search, findData, folder, true, callback, userData);
}

bool ReadMessageTables(const std::wstring& path, TableSink& sink, ErrorCode& error) {
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        error = GetLastError();
        return false;
    }
    Enumeration enumeration{&sink, 0, 0, nullptr};
    const BOOL enumerated =
        EnumResourceNamesW(module, MAKEINTRESOURCEW(kMessageTableType), EnumMessageTableNamesProc,
                           reinterpret_cast<LONG_PTR>(&enumeration));
    // Stopped at the limit, the enumeration reports failure: it went as far as it was to.
    const bool ok = enumerated != FALSE || enumeration.Full();
    error = ok ? ERROR_SUCCESS : GetLastError();
    FreeLibrary(module);
    if (enumeration.failure != nullptr) {
        std::rethrow_exception(enumeration.failure);
    }
    return ok;
}

std::wstring ErrorText(ErrorCode code) {
    std::wstring text;
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer),
        0, nullptr);
    if (length != 0 && buffer != nullptr) {
        text.assign(buffer, length);
    }
    LocalFree(buffer);
    return text;
}

std::wstring LocaleText(std::uint16_t language, std::uint32_t lcType) {
    wchar_t buffer[64] = {};
    const LCID locale = MAKELCID(language, SORT_DEFAULT);
    if (GetLocaleInfoW(locale, lcType, buffer, 64) == 0) {
        return {};
    }
    buffer[63] = L'\0';
    return buffer;
}

ErrorCode NtStatusToWin32(std::uint32_t status) {
    // ntdll is in every process; asked by name so that no import library is needed for it.
    using Mapper = ULONG(WINAPI*)(LONG);
    static const auto mapper = reinterpret_cast<Mapper>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlNtStatusToDosError")));
    return mapper != nullptr ? mapper(static_cast<LONG>(status)) : kNoWin32Code;
}

bool LanguageOfTag(const std::wstring& tag, std::uint16_t& language) {
    if (tag.empty()) {
        return false;
    }
    const LCID locale = LocaleNameToLCID(tag.c_str(), LOCALE_ALLOW_NEUTRAL_NAMES);
    if (locale == 0) {
        return false;
    }
    language = LANGIDFROMLCID(locale);
    return true;
}

std::uint16_t UserLanguage() {
    return GetUserDefaultUILanguage();
}

namespace {

void MultiByteToWide(UINT codePage, const std::uint8_t* bytes, std::size_t size,
                     std::wstring& out) {
    out.clear();
    if (size == 0) {
        return;
    }
    // A text is never longer than its table, whose size fits the resource's 32-bit size.
    const int count = static_cast<int>(size);
    out.resize(size); // never more UTF-16 units than bytes
    const int written = MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(bytes),
                                            count, out.data(), count);
    out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
}

} // namespace

void AnsiToWide(const std::uint8_t* bytes, std::size_t size, std::wstring& out) {
    MultiByteToWide(CP_ACP, bytes, size, out);
}

void Utf8ToWide(const std::uint8_t* bytes, std::size_t size, std::wstring& out) {
    MultiByteToWide(CP_UTF8, bytes, size, out);
}

void Utf16ToWide(const std::uint8_t* bytes, std::size_t size, std::wstring& out) {
    out.resize(size / 2);
    if (!out.empty()) {
        std::memcpy(out.data(), bytes, out.size() * 2);
    }
}

std::wstring FileNameKey(std::wstring_view name) {
    std::wstring key(name);
    if (!key.empty()) {
        // The invariant upper case, which ordinal comparisons letter case aside use.
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, name.data(),
                      static_cast<int>(name.size()), key.data(), static_cast<int>(key.size()),
                      nullptr, nullptr, 0);
    }
    return key;
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

} // namespace platform

int CompareModuleNames(std::wstring_view a, std::wstring_view b) {
    // The comparison of lstrcmpW (the user's locale; lower case before upper case, punctuation
    // weighed as in words), on counted strings.
    return CompareStringW(LOCALE_USER_DEFAULT, 0, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) -
           CSTR_EQUAL;
}
