#include "harvest/ModuleScan.h"

#include "harvest/MessageTable.h"
#include "harvest/TextHelpers.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

namespace {

constexpr WORD kMessageTableType = 11; // RT_MESSAGETABLE

// State of one module scan, handed to both enumeration callbacks.
struct ModuleScanContext {
    ScanOwner* pOwner = nullptr;
    std::wstring strFileName;
    std::wstring strFolder;
    ScanTally tally;
};

bool IsMessageTableType(LPCWSTR type) {
    return IS_INTRESOURCE(type) && LOWORD(reinterpret_cast<ULONG_PTR>(type)) == kMessageTableType;
}

// A decoded entry's text in UTF-16. Invalid ANSI or UTF-8 input is replaced as the platform
// replaces it.
void ConvertText(const MessageTable::Text& text, std::wstring& out) {
    out.clear();
    if (text.size == 0) {
        return;
    }
    if (text.encoding == MessageTable::Encoding::Utf16) {
        out.resize(text.size / 2);
        std::memcpy(out.data(), text.bytes, out.size() * 2);
        return;
    }
    const UINT codePage = text.encoding == MessageTable::Encoding::Ansi ? CP_ACP : CP_UTF8;
    const auto* source = reinterpret_cast<const char*>(text.bytes);
    // A text is never longer than its table, whose size fits the resource's 32-bit size.
    const int count = static_cast<int>(text.size);
    out.resize(text.size); // never more UTF-16 units than bytes
    const int written = MultiByteToWideChar(codePage, 0, source, count, out.data(), count);
    out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
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

// The identifier cells are written directly into reused buffers: a table has thousands of rows.

// "%d" of the identifier taken as signed.
void FormatSignedDecimal(std::uint32_t id, std::wstring& cell) {
    wchar_t digits[12];
    wchar_t* const end = digits + 12;
    wchar_t* p = end;
    const bool negative = (id & 0x80000000u) != 0;
    std::uint32_t magnitude = negative ? 0u - id : id;
    do {
        *--p = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) {
        *--p = L'-';
    }
    cell.assign(p, end);
}

// "0x%08X" of the identifier.
void FormatHex8(std::uint32_t id, std::wstring& cell) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    cell.assign(L"0x00000000");
    for (int i = 9; i >= 2; --i, id >>= 4) {
        cell[i] = kDigits[id & 0xF];
    }
}

// Writes the rows of one table, the cells in the order 0, 1, 3, 4, 5, 6.
class RowWriter : public MessageTable::Sink {
public:
    RowWriter(ModuleScanContext& context, WORD language)
        : m_context(context), m_list(context.pOwner->GetMessageList()),
          m_localeCell(FormatString(L"%d (%ls)", static_cast<int>(language),
                                    GetLocaleText(language, LOCALE_SNATIVELANGNAME).c_str())) {}

    void OnMessage(std::uint32_t id, const MessageTable::Text& text) override {
        ConvertText(text, m_text);
        FlattenMessageText(m_text);
        const int row = m_list.AppendRow(m_context.strFileName);
        m_list.SetCell(row, COL_PATH, m_context.strFolder);
        m_list.SetCell(row, COL_LOCALE_ID, m_localeCell);
        FormatSignedDecimal(id, m_number);
        m_list.SetCell(row, COL_VALUE, m_number);
        FormatHex8(id, m_number);
        m_list.SetCell(row, COL_VALUE_HEX, m_number);
        m_list.SetCell(row, COL_MESSAGE_TEXT, m_text);
    }

private:
    ModuleScanContext& m_context;
    MessageList& m_list;
    std::wstring m_localeCell;
    std::wstring m_number;
    std::wstring m_text;
};

// Appends a row for a file that could not be read: module name, folder and the error's text.
void AppendErrorRow(MessageList& list, const std::wstring& fileName, const std::wstring& folder,
                    DWORD code) {
    const int row = list.AppendRow(fileName);
    list.SetCell(row, COL_PATH, folder);
    list.SetCell(row, COL_ERROR, GetSystemErrorText(code));
}

BOOL CALLBACK EnumMessageTableLanguagesProc(HMODULE module, LPCWSTR type, LPCWSTR name,
                                            WORD language, LONG_PTR context);

BOOL CALLBACK EnumMessageTableNamesProc(HMODULE module, LPCWSTR type, LPWSTR name,
                                        LONG_PTR context) {
    if (context == 0 || !IsMessageTableType(type)) {
        return FALSE;
    }
    EnumResourceLanguagesW(module, MAKEINTRESOURCEW(kMessageTableType), name,
                           EnumMessageTableLanguagesProc, context);
    return TRUE;
}

BOOL CALLBACK EnumMessageTableLanguagesProc(HMODULE module, LPCWSTR type, LPCWSTR name,
                                            WORD language, LONG_PTR context) {
    auto* scan = reinterpret_cast<ModuleScanContext*>(context);
    if (scan == nullptr || !IsMessageTableType(type)) {
        return FALSE;
    }
    HRSRC resource = FindResourceExW(module, MAKEINTRESOURCEW(kMessageTableType), name, language);
    if (resource == nullptr) {
        return TRUE;
    }
    HGLOBAL loaded = LoadResource(module, resource);
    if (loaded == nullptr) {
        return TRUE;
    }
    const auto* data = static_cast<const std::uint8_t*>(LockResource(loaded));
    if (data == nullptr) {
        return TRUE;
    }
    // Bounded by its claimed size and by the memory that is really there.
    const std::size_t size = ReadableExtent(data, SizeofResource(module, resource));

    const MessageTable::Announcement announcement = MessageTable::Announce(data, size);
    MessageList& list = scan->pOwner->GetMessageList();
    // Room for the rows the table can really yield, not for what it claims: a crafted table can
    // claim four billion rows in a few bytes.
    const std::uint64_t reservation = list.GetRowCount() + announcement.maxRows;
    list.ReserveRows(static_cast<int>(std::min<std::uint64_t>(reservation, INT_MAX)));

    ScanTally table;
    table.nMessages = static_cast<std::int32_t>(announcement.announced);
    table.nTables = 1;
    scan->tally += table;

    RowWriter writer(*scan, language);
    MessageTable::Decode(data, size, writer);
    return TRUE;
}

} // namespace

ScanTally ScanModule(ScanOwner& owner, const std::wstring& folder, const std::wstring& fileName) {
    const std::wstring path = JoinPath(folder, fileName);
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        const DWORD code = GetLastError();
        AppendErrorRow(owner.GetMessageList(), fileName, folder, code);
        ScanTally tally;
        tally.nFilesSearched = 1;
        return tally;
    }

    ModuleScanContext context;
    context.pOwner = &owner;
    context.strFileName = fileName;
    context.strFolder = folder;

    const BOOL enumerated =
        EnumResourceNamesW(module, MAKEINTRESOURCEW(kMessageTableType), EnumMessageTableNamesProc,
                           reinterpret_cast<LONG_PTR>(&context));
    ScanTally tally = context.tally;
    tally.nFilesSearched = 1;
    if (!enumerated) {
        const DWORD code = GetLastError();
        AppendErrorRow(owner.GetMessageList(), fileName, folder, code);
    }
    FreeLibrary(module);
    return tally;
}
