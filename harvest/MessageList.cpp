#include "harvest/MessageList.h"

#include <algorithm>

int MessageList::AppendMessage(const TableRecord& table, std::uint32_t identifier,
                               const MessageText& text) {
    RowRecord record;
    record.kind = RowKind::Message;
    record.table = &table;
    record.identifier = identifier;
    record.rawText = text.Raw();
    return AppendCells(record);
}

int MessageList::AppendError(const ErrorRecord& error) {
    RowRecord record;
    record.kind = RowKind::Error;
    record.error = &error;
    return AppendCells(record);
}

int MessageList::AppendRecord(const RowRecord& record) {
    switch (record.kind) {
    case RowKind::Message:
        return AppendMessage(*record.table, record.identifier, WideMessageText(record.rawText));
    case RowKind::Error:
        return AppendError(*record.error);
    case RowKind::Cells:
    case RowKind::None:
        break;
    }
    return AppendCells(record);
}

int MessageList::AppendCells(const RowRecord& record) {
    std::wstring scratch;
    const int row = AppendRow(FormatCell(record, COL_MODULE_NAME, scratch));
    for (int column = COL_PATH; column < kMessageColumnCount; ++column) {
        const std::wstring_view cell = FormatCell(record, column, scratch);
        if (!cell.empty()) {
            SetCell(row, column, cell);
        }
    }
    return row;
}

void MemoryMessageList::Keep(std::shared_ptr<const void> origin) {
    if (origin.get() != m_lastKept) {
        m_lastKept = origin.get();
        m_kept.push_back(std::move(origin));
    }
}

std::wstring_view MemoryMessageList::StoreText(std::wstring_view text) {
    constexpr std::size_t kChunk = std::size_t{1} << 20;
    if (text.empty()) {
        return {};
    }
    if (!m_chunks) {
        m_chunks = std::make_shared<Chunks>();
        m_textOwners.insert(m_textOwners.begin(), m_chunks);
        for (Row& row : m_rows) {
            ++row.textOwner; // the list's own chunks come first
        }
    }
    Chunks& own = *m_chunks;
    if (own.chunks.empty() || own.size - own.used < text.size()) {
        own.size = std::max(kChunk, text.size());
        own.chunks.push_back(std::make_unique_for_overwrite<wchar_t[]>(own.size));
        own.used = 0;
    }
    wchar_t* at = own.chunks.back().get() + own.used;
    std::copy(text.begin(), text.end(), at);
    own.used += text.size();
    return {at, text.size()};
}

int MemoryMessageList::Insert(const Row& row, std::wstring_view moduleName) {
    auto at = m_rows.end();
    // Rows mostly arrive in order already (a search hands them over sorted): one comparison with
    // the last row then places them.
    if (m_order == Order::SortedByModuleName && !m_rows.empty() &&
        CompareModuleNames(Record(GetRowCount() - 1).ModuleName(), moduleName) > 0) {
        const auto first = std::upper_bound(
            m_rows.begin(), m_rows.end(), moduleName, [this](std::wstring_view name, const Row& r) {
                return CompareModuleNames(
                           name, Record(static_cast<int>(&r - m_rows.data())).ModuleName()) < 0;
            });
        at = first;
    }
    at = m_rows.insert(at, row);
    return static_cast<int>(at - m_rows.begin());
}

int MemoryMessageList::AppendRow(std::wstring_view moduleName) {
    auto cells = std::make_shared<RowCells>();
    (*cells)[COL_MODULE_NAME] = StoreText(moduleName);
    Row row{cells.get(), nullptr, 0, 0, 0, RowKind::Cells};
    const std::wstring_view name = (*cells)[COL_MODULE_NAME];
    Keep(std::move(cells));
    return Insert(row, name);
}

int MemoryMessageList::AppendMessage(const TableRecord& table, std::uint32_t identifier,
                                     const MessageText& text) {
    const std::wstring_view raw = StoreText(text.Raw());
    Keep(table.shared_from_this());
    const Row row{&table,     raw.data(), static_cast<std::uint32_t>(raw.size()),
                  identifier, 0,          RowKind::Message};
    return Insert(row, table.module->ShownName());
}

int MemoryMessageList::AppendError(const ErrorRecord& error) {
    Keep(error.shared_from_this());
    const Row row{&error, nullptr, 0, 0, 0, RowKind::Error};
    return Insert(row, error.module->fileName);
}

int MemoryMessageList::AppendRecord(const RowRecord& record) {
    if (record.kind != RowKind::Message || record.textOwner == nullptr || !*record.textOwner) {
        return MessageList::AppendRecord(record);
    }
    // A message's text stays where it is, kept by its owner.
    const auto known = std::find(m_textOwners.begin(), m_textOwners.end(), *record.textOwner);
    const auto owner = static_cast<std::uint32_t>(known - m_textOwners.begin());
    if (known == m_textOwners.end()) {
        m_textOwners.push_back(*record.textOwner);
    }
    Keep(record.table->shared_from_this());
    const Row row{record.table,
                  record.rawText.data(),
                  static_cast<std::uint32_t>(record.rawText.size()),
                  record.identifier,
                  owner,
                  RowKind::Message};
    return Insert(row, record.table->module->ShownName());
}

RowRecord MemoryMessageList::Record(int row) const {
    RowRecord record;
    if (row < 0 || row >= GetRowCount()) {
        return record;
    }
    const Row& r = m_rows[static_cast<std::size_t>(row)];
    record.kind = r.kind;
    switch (r.kind) {
    case RowKind::Message:
        record.table = static_cast<const TableRecord*>(r.origin);
        record.identifier = r.identifier;
        record.rawText = {r.text, r.size};
        record.textOwner = r.textOwner < m_textOwners.size() ? &m_textOwners[r.textOwner] : nullptr;
        break;
    case RowKind::Error:
        record.error = static_cast<const ErrorRecord*>(r.origin);
        break;
    case RowKind::Cells:
        record.cells = static_cast<const RowCells*>(r.origin);
        break;
    case RowKind::None:
        break;
    }
    return record;
}

std::wstring MemoryMessageList::GetCell(int row, int column) const {
    std::wstring scratch;
    return std::wstring(CellView(row, column, scratch));
}

RowCells& MemoryMessageList::CellsOf(Row& row) {
    if (row.kind != RowKind::Cells) {
        // Its cells as they are, now held as texts of this list's own.
        const RowRecord record = Record(static_cast<int>(&row - m_rows.data()));
        auto cells = std::make_shared<RowCells>();
        std::wstring scratch;
        for (int column = 0; column < kMessageColumnCount; ++column) {
            (*cells)[column] = StoreText(FormatCell(record, column, scratch));
        }
        row = Row{cells.get(), nullptr, 0, 0, 0, RowKind::Cells};
        m_lastKept = nullptr;
        Keep(std::move(cells));
    }
    // The list made it, and only the list writes on it.
    return *const_cast<RowCells*>(static_cast<const RowCells*>(row.origin));
}

void MemoryMessageList::SetCell(int row, int column, std::wstring_view text) {
    if (row < 0 || row >= GetRowCount() || column < 1 || column >= kMessageColumnCount) {
        return;
    }
    Row& r = m_rows[static_cast<std::size_t>(row)];
    std::wstring scratch;
    if (r.kind != RowKind::Cells && CellView(row, column, scratch) == text) {
        return; // the record holds it already
    }
    const std::wstring_view stored = StoreText(text);
    CellsOf(r)[column] = stored;
}

void MemoryMessageList::ReserveRows(int totalRows) {
    // Room grows at least geometrically, so that a reservation per table does not copy the rows
    // of every earlier table again.
    const size_t wanted = totalRows > 0 ? static_cast<size_t>(totalRows) : 0;
    if (wanted > m_rows.capacity()) {
        m_rows.reserve(std::max(wanted, 2 * m_rows.capacity()));
    }
}

void MemoryMessageList::DeleteAllRows() {
    std::vector<Row>().swap(m_rows); // clear() would keep the room
    std::vector<std::shared_ptr<const void>>().swap(m_kept);
    m_lastKept = nullptr;
    m_textOwners.clear();
    m_chunks.reset();
}

void MemoryMessageList::TakeRows(MemoryMessageList& other) {
    // The records and texts stay where they are: only the owners move.
    m_rows = std::move(other.m_rows);
    m_kept = std::move(other.m_kept);
    m_lastKept = other.m_lastKept;
    m_textOwners = std::move(other.m_textOwners);
    m_chunks = std::move(other.m_chunks);
    other.DeleteAllRows();
}

void MemoryMessageList::SetOrder(Order order) {
    if (m_rows.empty()) {
        m_order = order;
    }
}
