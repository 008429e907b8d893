#include "harvest/Records.h"

#include "harvest/Strings.h"

#include <atomic>

const std::array<const wchar_t*, kMessageColumnCount> kMessageColumnHeaders = {
    L"Module Name", L"Path", L"Error", L"Locale ID", L"Value", L"Value (Hex)", L"Message text",
};

std::shared_ptr<const TableRecord> MakeTable(std::shared_ptr<const ModuleRecord> module,
                                             ResourceName name, std::uint16_t language,
                                             std::wstring languageName) {
    auto table = std::make_shared<TableRecord>();
    table->module = std::move(module);
    table->name = std::move(name);
    table->language = language;
    table->languageName = std::move(languageName);
    table->localeCell = std::to_wstring(language) + L" (" + table->languageName + L")";
    static std::atomic<std::uint64_t> last{0};
    table->serial = ++last;
    return table;
}

std::wstring_view RowRecord::ModuleName() const {
    switch (kind) {
    case RowKind::Message:
        return table->module->ShownName();
    case RowKind::Error:
        return error->module->fileName; // an error row names the file that failed
    case RowKind::Cells:
        return (*cells)[COL_MODULE_NAME];
    case RowKind::None:
        break;
    }
    return {};
}

namespace {

// The cells of a message row, one function per column.
std::wstring_view MessageCell(const RowRecord& row, int column, std::wstring& scratch) {
    switch (column) {
    case COL_MODULE_NAME:
        return row.table->module->ShownName();
    case COL_PATH:
        return row.table->module->folder;
    case COL_LOCALE_ID:
        return row.table->localeCell;
    case COL_VALUE:
        scratch.clear();
        AppendDecimalCell(scratch, row.identifier);
        return scratch;
    case COL_VALUE_HEX:
        scratch.clear();
        AppendHexCell(scratch, row.identifier);
        return scratch;
    case COL_MESSAGE_TEXT:
        scratch.assign(row.rawText);
        FlattenMessageText(scratch);
        return scratch;
    default:
        return {};
    }
}

std::wstring_view ErrorCell(const RowRecord& row, int column) {
    switch (column) {
    case COL_MODULE_NAME:
        return row.error->module->fileName;
    case COL_PATH:
        return row.error->module->folder;
    case COL_ERROR:
        return row.error->text;
    default:
        return {};
    }
}

} // namespace

std::wstring_view FormatCell(const RowRecord& row, int column, std::wstring& scratch) {
    if (column < 0 || column >= kMessageColumnCount) {
        return {};
    }
    switch (row.kind) {
    case RowKind::Message:
        return MessageCell(row, column, scratch);
    case RowKind::Error:
        return ErrorCell(row, column);
    case RowKind::Cells:
        return (*row.cells)[column];
    case RowKind::None:
        break;
    }
    return {};
}
