#pragma once

#include "harvest/ErrorCodes.h"
#include "harvest/Records.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

// What the Windows build and the native Linux build of orvanel-dump each do their own way: how a
// folder is listed, how a module's message tables are found, and where the system's texts come
// from. Every rule of the harvest lives in the code that both compile; only these differ
// (harvest/win32 and harvest/native).
namespace platform {

// What JoinPath puts between a folder and a name.
extern const wchar_t kPathSeparator;

// A folder's identity on its volume: the same for every path that leads to it, links included.
using FolderIdentity = std::pair<unsigned long long, std::array<unsigned char, 16>>;

// False when the identity cannot be read.
bool ReadFolderIdentity(const std::wstring& folder, FolderIdentity& identity);

// callback(folder, name, index, userData): true to go on, false to stop.
using FolderEntryProc = bool (*)(const std::wstring& folder, const wchar_t* name, int index,
                                 void* userData);

// Calls callback for every non-directory entry of folder that matches mask ("*" when empty), in
// the order of the platform's listing. False when the folder cannot be listed.
bool EnumFilesInFolder(const std::wstring& folder, const std::wstring& mask,
                       FolderEntryProc callback, void* userData);
// Calls callback for every directory entry of folder other than "." and "..".
bool EnumSubfolders(const std::wstring& folder, FolderEntryProc callback, void* userData);
// Why folder cannot be listed (permission denied, say), or 0 when it can: the listings above
// give such a folder no entries, and a scan counts it as a folder like any other.
ErrorCode ListingError(const std::wstring& folder);

// The most message tables read of one module: no real module has more than a few dozen, and a
// crafted directory can name billions (every name and language pointing at the same data).
constexpr std::size_t kMaxTablesPerModule = 65536;
// And the most bytes of tables: a gibibyte, far beyond any real module's.
constexpr std::uint64_t kMaxTableBytesPerModule = std::uint64_t{1} << 30;

using ::ResourceName;

// Receives a module's message tables, one at a time; the data lives until the call returns.
// Reading a module ends, as if its directory ended there, once it has given kMaxTablesPerModule
// tables or kMaxTableBytesPerModule bytes.
class TableSink {
public:
    virtual void OnTable(const ResourceName& name, std::uint16_t language, const std::uint8_t* data,
                         std::size_t size) = 0;

protected:
    ~TableSink() = default;
};

// Opens path as a data module and hands every message table to sink, each bounded by its claimed
// size and by the data that is really there, in the order of its resource directory (every name,
// every language). False with the code for the module's error row when it cannot be opened as a
// module or its tables cannot be listed (after the tables that could).
bool ReadMessageTables(const std::wstring& path, TableSink& sink, ErrorCode& error);

// What a path names, and a file removed; false when it cannot be.
enum class PathKind { Missing, Folder, File };
PathKind Inspect(const std::wstring& path);
bool RemoveFile(const std::wstring& path);

// The system's raw text for an error code, empty when it has none.
std::wstring ErrorText(ErrorCode code);

// The locale information that the harvest asks for: a language's own name for itself.
constexpr std::uint32_t kNativeLanguageName = 4; // LOCALE_SNATIVELANGNAME

// Locale information of a language identifier (the harvest asks for kNativeLanguageName); empty
// when there is none or it has 64 code units or more.
std::wstring LocaleText(std::uint16_t language, std::uint32_t lcType);

// The Win32 error code that the system maps an NTSTATUS to, or ERROR_MR_MID_NOT_FOUND (317)
// when it maps it to none.
constexpr ErrorCode kNoWin32Code = errors::kMrMidNotFound;
ErrorCode NtStatusToWin32(std::uint32_t status);

// The language number of a locale name ("ja-JP", "ja", "de"), letter case aside; false when the
// system knows no such name.
bool LanguageOfTag(const std::wstring& tag, std::uint16_t& language);
// The language of the user's interface (en-US where nothing says otherwise).
std::uint16_t UserLanguage();

// Texts of message-table entries as wide text: ANSI in the system code page, UTF-8, and UTF-16
// (little-endian units); invalid input is replaced as the platform replaces it. out is replaced.
void AnsiToWide(const std::uint8_t* bytes, std::size_t size, std::wstring& out);
void Utf8ToWide(const std::uint8_t* bytes, std::size_t size, std::wstring& out);
void Utf16ToWide(const std::uint8_t* bytes, std::size_t size, std::wstring& out);

// A file name as the file system compares names: in the system's upper case. Two names name the
// same file when their keys are equal.
std::wstring FileNameKey(std::wstring_view name);

} // namespace platform
