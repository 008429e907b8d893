#include "harvest/ModuleScan.h"

#include "harvest/Codes.h"
#include "harvest/MessageTable.h"
#include "harvest/Platform.h"
#include "harvest/SystemText.h"
#include "harvest/Strings.h"

#include <algorithm>
#include <functional>
#include <climits>
#include <cstdint>

namespace {

// A decoded entry's text as wide text.
void ConvertText(const MessageTable::Text& text, std::wstring& out) {
    switch (text.encoding) {
    case MessageTable::Encoding::Utf16:
        platform::Utf16ToWide(text.bytes, text.size, out);
        break;
    case MessageTable::Encoding::Utf8:
        platform::Utf8ToWide(text.bytes, text.size, out);
        break;
    case MessageTable::Encoding::Ansi:
        platform::AnsiToWide(text.bytes, text.size, out);
        break;
    }
}

// Writes the rows of one table.
class RowWriter : public MessageTable::Sink {
public:
    RowWriter(MessageList& list, const std::wstring& fileName, const std::wstring& folder,
              std::uint16_t language, const MessageQuery* query)
        : m_list(list), m_query(query), m_fileName(fileName), m_folder(folder),
          m_localeCell(
              FormatString(L"%d (%ls)", static_cast<int>(language),
                           GetLocaleText(language, platform::kNativeLanguageName).c_str())) {}

    void OnMessage(std::uint32_t id, const MessageTable::Text& text) override {
        if (m_query != nullptr && !m_query->KeepsIdentifier(id)) {
            return;
        }
        // Most texts are plain ASCII: a list that writes text out narrow takes them so.
        if (m_ascii && text.encoding != MessageTable::Encoding::Ansi &&
            FlattenAsciiText(text.bytes, text.size,
                             text.encoding == MessageTable::Encoding::Utf16 ? 2 : 1, m_asciiText)) {
            m_list.AppendAsciiMessageRow(m_cells, id, m_asciiText);
            return;
        }
        ConvertText(text, m_text);
        FlattenMessageText(m_text);
        m_list.AppendMessageRow(m_cells, id, m_text);
    }

private:
    MessageList& m_list;
    const MessageQuery* m_query;
    const std::wstring& m_fileName;
    const std::wstring& m_folder;
    std::wstring m_localeCell;
    // The table's own number: its cells do not change while it writes.
    const MessageList::SharedCells m_cells{m_fileName, m_folder, m_localeCell,
                                           NewSharedCellsSerial()};
    std::wstring m_text;
    const bool m_ascii = m_list.TakesAsciiText();
    std::string m_asciiText;
};

// Appends a row for a file that could not be read: module name, folder and the error's text.
void AppendErrorRow(MessageList& list, const std::wstring& fileName, const std::wstring& folder,
                    platform::ErrorCode code) {
    list.BeginErrorRow(folder, fileName, code);
    const int row = list.AppendRow(fileName);
    list.SetCell(row, COL_PATH, folder);
    list.SetCell(row, COL_ERROR, GetSystemErrorText(code));
}

// State of one module scan: each message table of the module is counted, room is reserved for
// its rows, and its rows are written.
class ModuleScanContext : public platform::TableSink {
public:
    // shownName is the name in the rows' first column: the file's own, or its module's.
    ModuleScanContext(ScanOwner& owner, const std::wstring& folder, const std::wstring& shownName)
        : pOwner(&owner), strFileName(shownName), strFolder(folder) {}

    void OnTable(const platform::ResourceName& name, std::uint16_t language,
                 const std::uint8_t* data, std::size_t size) override {
        if (beforeFirstTable) {
            beforeFirstTable();
            beforeFirstTable = nullptr;
        }
        const MessageTable::Announcement announcement = MessageTable::Announce(data, size);
        ScanTally table;
        table.nMessages = static_cast<std::int32_t>(announcement.announced);
        table.nTables = 1;
        tally += table;

        // A table that the query leaves out is counted, never decoded.
        const MessageQuery* query = pOwner->GetQuery();
        if (query != nullptr && !query->KeepsLanguage(language)) {
            return;
        }
        MessageList& list = pOwner->GetMessageList();
        // Room for the rows the table can really yield, not for what it claims: a crafted table
        // can claim four billion rows in a few bytes.
        const std::uint64_t reservation = list.GetRowCount() + announcement.maxRows;
        list.ReserveRows(static_cast<int>(std::min<std::uint64_t>(reservation, INT_MAX)));
        list.BeginTable(name, language);

        RowWriter writer(list, strFileName, strFolder, language, query);
        MessageTable::Decode(data, size, writer);
    }

    ScanOwner* pOwner;
    const std::wstring& strFileName;
    const std::wstring& strFolder;
    ScanTally tally;
    // Called once, before the first table's rows are written.
    std::function<void()> beforeFirstTable;
};

bool KeepsErrorRows(ScanOwner& owner) {
    const MessageQuery* query = owner.GetQuery();
    return query == nullptr || query->KeepsErrorRows();
}

// The tables of one file, their rows under its own name or, for a satellite, under its module's;
// false with the code for its error row, which is left to the caller. beforeFirstTable, if set, is
// called before the first table's rows.
ScanTally ReadModule(ScanOwner& owner, const MessageList::ModuleSource& source,
                     platform::ErrorCode& code, bool& read,
                     std::function<void()> beforeFirstTable = nullptr) {
    owner.GetMessageList().BeginModule(source);
    const std::wstring folder(source.folder);
    const std::wstring shownName(source.satelliteOf.empty() ? source.fileName : source.satelliteOf);
    ModuleScanContext context(owner, folder, shownName);
    context.beforeFirstTable = std::move(beforeFirstTable);
    code = 0;
    read =
        platform::ReadMessageTables(JoinPath(folder, std::wstring(source.fileName)), context, code);
    ScanTally tally = context.tally;
    tally.nFilesSearched = 1;
    return tally;
}

// An error row not yet written: whether it is, and where, depends on what comes after it.
struct PendingErrorRow {
    std::wstring fileName;
    std::wstring folder;
    platform::ErrorCode code;
};

} // namespace

ScanTally ScanModule(ScanOwner& owner, const std::wstring& folder, const std::wstring& fileName) {
    return ScanModuleWithSatellites(owner, folder, fileName, {});
}

ScanTally ScanModuleWithSatellites(ScanOwner& owner, const std::wstring& folder,
                                   const std::wstring& fileName,
                                   const std::vector<Satellite>& satellites) {
    const bool errorRows = KeepsErrorRows(owner);
    platform::ErrorCode code = 0;
    bool read = false;
    ScanTally tally = ReadModule(owner, {folder, fileName, {}, {}}, code, read);
    // A module without tables of its own gives its error row, first, only when no satellite has
    // a table: until a satellite's table comes, the error rows wait, the module's first.
    std::vector<PendingErrorRow> pending;
    bool waiting = !read && tally.nTables == 0 && !satellites.empty();
    if (waiting) {
        pending.push_back({fileName, folder, code});
    } else if (!read && errorRows) {
        AppendErrorRow(owner.GetMessageList(), fileName, folder, code);
    }
    const auto flush = [&](bool withModulesOwn) {
        for (std::size_t i = withModulesOwn ? 0 : 1; i < pending.size() && errorRows; ++i) {
            AppendErrorRow(owner.GetMessageList(), pending[i].fileName, pending[i].folder,
                           pending[i].code);
        }
        pending.clear();
        waiting = false;
    };
    for (const Satellite& satellite : satellites) {
        platform::ErrorCode satelliteCode = 0;
        bool satelliteRead = false;
        // A satellite beside its module has no language folder.
        const std::wstring language =
            satellite.folder == folder ? std::wstring() : SplitPath(satellite.folder).second;
        tally += ReadModule(owner, {satellite.folder, satellite.fileName, fileName, language},
                            satelliteCode, satelliteRead, [&] {
                                if (waiting) {
                                    flush(false); // a table: the module's own error row goes
                                }
                            });
        if (!satelliteRead) {
            if (waiting) {
                pending.push_back({satellite.fileName, satellite.folder, satelliteCode});
            } else if (errorRows) {
                AppendErrorRow(owner.GetMessageList(), satellite.fileName, satellite.folder,
                               satelliteCode);
            }
        }
    }
    if (waiting) {
        flush(true);
    }
    return tally;
}

bool ReadIdentifierCell(std::wstring_view hexCell, std::uint32_t& identifier) {
    // Exactly as AppendHexCell writes it.
    return hexCell.size() == 10 && hexCell.starts_with(L"0x") &&
           codes::ParseNumber(hexCell, identifier);
}

bool ReadLanguageCell(std::wstring_view localeCell, std::uint16_t& language) {
    // The number before " (name)", as the row writer makes the cell.
    std::uint32_t number = 0;
    if (!codes::ParseNumber(localeCell.substr(0, localeCell.find(L' ')), number) ||
        number > 0xFFFF) {
        return false;
    }
    language = static_cast<std::uint16_t>(number);
    return true;
}
