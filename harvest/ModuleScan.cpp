#include "harvest/ModuleScan.h"

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

// A decoded entry's text, converted only when a list asks for it.
class DecodedText final : public MessageText {
public:
    void Set(const MessageTable::Text& text) {
        m_text = &text;
        m_converted = false;
    }
    std::wstring_view Raw() const override {
        if (!m_converted) {
            ConvertText(*m_text, m_wide);
            m_converted = true;
        }
        return m_wide;
    }
    bool FlatAscii(std::string_view& ascii) const override {
        // An ANSI text is the code page's, whatever its bytes.
        if (m_text->encoding == MessageTable::Encoding::Ansi ||
            !FlattenAsciiText(m_text->bytes, m_text->size,
                              m_text->encoding == MessageTable::Encoding::Utf16 ? 2 : 1, m_ascii)) {
            return false;
        }
        ascii = m_ascii;
        return true;
    }

private:
    const MessageTable::Text* m_text = nullptr;
    mutable bool m_converted = false;
    mutable std::wstring m_wide;
    mutable std::string m_ascii;
};

// Writes the rows of one table.
class RowWriter : public MessageTable::Sink {
public:
    RowWriter(MessageList& list, const TableRecord& table, const MessageQuery* query)
        : m_list(list), m_query(query), m_table(table) {}

    void OnMessage(std::uint32_t id, const MessageTable::Text& text) override {
        if (m_query != nullptr && !m_query->KeepsIdentifier(id)) {
            return;
        }
        m_text.Set(text);
        m_list.AppendMessage(m_table, id, m_text);
    }

private:
    MessageList& m_list;
    const MessageQuery* m_query;
    const TableRecord& m_table;
    DecodedText m_text;
};

using ModulePointer = std::shared_ptr<const ModuleRecord>;

// Appends a row for a file that could not be read: module name, folder and the error's text.
void AppendErrorRow(MessageList& list, const ModulePointer& module, platform::ErrorCode code) {
    const auto error = std::make_shared<ErrorRecord>();
    error->module = module;
    error->code = code;
    error->text = GetSystemErrorText(code);
    list.AppendError(*error);
}

// State of one module scan: each message table of the module is counted, room is reserved for
// its rows, and its rows are written.
class ModuleScanContext : public platform::TableSink {
public:
    ModuleScanContext(ScanOwner& owner, ModulePointer module)
        : pOwner(&owner), module(std::move(module)) {}

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
        const std::shared_ptr<const TableRecord> record = MakeTable(
            module, name, language, GetLocaleText(language, platform::kNativeLanguageName));
        list.BeginTable(*record);

        RowWriter writer(list, *record, query);
        MessageTable::Decode(data, size, writer);
    }

    ScanOwner* pOwner;
    ModulePointer module;
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
ScanTally ReadModule(ScanOwner& owner, const ModulePointer& module, platform::ErrorCode& code,
                     bool& read, std::function<void()> beforeFirstTable = nullptr) {
    owner.GetMessageList().BeginModule(*module);
    ModuleScanContext context(owner, module);
    context.beforeFirstTable = std::move(beforeFirstTable);
    code = 0;
    read = platform::ReadMessageTables(JoinPath(module->folder, module->fileName), context, code);
    ScanTally tally = context.tally;
    tally.nFilesSearched = 1;
    return tally;
}

ModulePointer MakeModule(const std::wstring& folder, const std::wstring& fileName,
                         const std::wstring& satelliteOf, const std::wstring& satelliteLanguage) {
    const auto module = std::make_shared<ModuleRecord>();
    module->folder = folder;
    module->fileName = fileName;
    module->satelliteOf = satelliteOf;
    module->satelliteLanguage = satelliteLanguage;
    return module;
}

// An error row not yet written: whether it is, and where, depends on what comes after it.
struct PendingErrorRow {
    ModulePointer module;
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
    const ModulePointer module = MakeModule(folder, fileName, {}, {});
    ScanTally tally = ReadModule(owner, module, code, read);
    // A module without tables of its own gives its error row, first, only when no satellite has
    // a table: until a satellite's table comes, the error rows wait, the module's first.
    std::vector<PendingErrorRow> pending;
    bool waiting = !read && tally.nTables == 0 && !satellites.empty();
    if (waiting) {
        pending.push_back({module, code});
    } else if (!read && errorRows) {
        AppendErrorRow(owner.GetMessageList(), module, code);
    }
    const auto flush = [&](bool withModulesOwn) {
        for (std::size_t i = withModulesOwn ? 0 : 1; i < pending.size() && errorRows; ++i) {
            AppendErrorRow(owner.GetMessageList(), pending[i].module, pending[i].code);
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
        const ModulePointer satelliteModule =
            MakeModule(satellite.folder, satellite.fileName, fileName, language);
        tally += ReadModule(owner, satelliteModule, satelliteCode, satelliteRead, [&] {
            if (waiting) {
                flush(false); // a table: the module's own error row goes
            }
        });
        if (!satelliteRead) {
            if (waiting) {
                pending.push_back({satelliteModule, satelliteCode});
            } else if (errorRows) {
                AppendErrorRow(owner.GetMessageList(), satelliteModule, satelliteCode);
            }
        }
    }
    if (waiting) {
        flush(true);
    }
    return tally;
}
