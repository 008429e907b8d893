#include "harvest/MessageList.h"

#include "harvest/Platform.h"

#include <algorithm>
#include <atomic>

const std::array<const wchar_t*, kMessageColumnCount> kMessageColumnHeaders = {
    L"Module Name", L"Path", L"Error", L"Locale ID", L"Value", L"Value (Hex)", L"Message text",
};

namespace {

// An identifier's cell, on the stack: a table has thousands of rows.
struct IdentifierCell {
    using value_type = wchar_t;
    wchar_t text[12];
    std::size_t size = 0;
    void append(const wchar_t* from, const wchar_t* to) { append(from, to - from); }
    void append(const wchar_t* from, std::ptrdiff_t count) {
        std::copy(from, from + count, text + size);
        size += static_cast<std::size_t>(count);
    }
    std::wstring_view view() const { return {text, size}; }
};

} // namespace

int MessageList::AppendMessageRow(const SharedCells& cells, std::uint32_t identifier,
                                  std::wstring_view text) {
    const int row = AppendRow(cells.moduleName);
    SetCell(row, COL_PATH, cells.folder);
    SetCell(row, COL_LOCALE_ID, cells.localeCell);
    IdentifierCell decimal, hex;
    AppendDecimalCell(decimal, identifier);
    SetCell(row, COL_VALUE, decimal.view());
    AppendHexCell(hex, identifier);
    SetCell(row, COL_VALUE_HEX, hex.view());
    SetCell(row, COL_MESSAGE_TEXT, text);
    return row;
}

int MessageList::AppendAsciiMessageRow(const SharedCells& cells, std::uint32_t identifier,
                                       std::string_view asciiText) {
    const std::wstring text(asciiText.begin(), asciiText.end());
    return AppendMessageRow(cells, identifier, text);
}

std::uint64_t NewSharedCellsSerial() {
    static std::atomic<std::uint64_t> last{0};
    return ++last;
}

int CompareModuleNames(std::wstring_view a, std::wstring_view b) {
    return platform::CompareModuleNames(a, b);
}

std::wstring_view MemoryMessageList::Store(int column, std::wstring_view text) {
    constexpr std::size_t kChunk = std::size_t{1} << 20;
    if (text.empty()) {
        return {};
    }
    if (text == m_lastStored[column]) {
        return m_lastStored[column];
    }
    if (m_chunks.empty() || m_chunkSize - m_chunkUsed < text.size()) {
        m_chunkSize = std::max(kChunk, text.size());
        m_chunks.push_back(std::make_unique_for_overwrite<wchar_t[]>(m_chunkSize));
        m_chunkUsed = 0;
    }
    wchar_t* at = m_chunks.back().get() + m_chunkUsed;
    std::copy(text.begin(), text.end(), at);
    m_chunkUsed += text.size();
    m_lastStored[column] = {at, text.size()};
    return m_lastStored[column];
}

int MemoryMessageList::AppendRow(std::wstring_view moduleName) {
    auto at = m_rows.end();
    // Rows mostly arrive in order already (a search hands them over sorted): one comparison with
    // the last row then places them.
    if (m_order == Order::SortedByModuleName && !m_rows.empty() &&
        CompareModuleNames(m_rows.back()[COL_MODULE_NAME], moduleName) > 0) {
        at = std::upper_bound(m_rows.begin(), m_rows.end(), moduleName,
                              [](std::wstring_view name, const Row& row) {
                                  return CompareModuleNames(name, row[COL_MODULE_NAME]) < 0;
                              });
    }
    Row row{};
    row[COL_MODULE_NAME] = Store(COL_MODULE_NAME, moduleName);
    at = m_rows.insert(at, row);
    return static_cast<int>(at - m_rows.begin());
}

void MemoryMessageList::SetCell(int row, int column, std::wstring_view text) {
    if (row >= 0 && row < GetRowCount() && column >= 1 && column < kMessageColumnCount) {
        m_rows[row][column] = Store(column, text);
    }
}

std::wstring_view MemoryMessageList::Cell(int row, int column) const {
    if (row < 0 || row >= GetRowCount() || column < 0 || column >= kMessageColumnCount) {
        return {};
    }
    return m_rows[row][column];
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
    m_chunks.clear();
    m_chunkUsed = m_chunkSize = 0;
    m_lastStored = Row{};
}

void MemoryMessageList::TakeRows(MemoryMessageList& other) {
    // The cells stay where they are: the chunks move, not the texts.
    m_rows = std::move(other.m_rows);
    m_chunks = std::move(other.m_chunks);
    m_chunkUsed = other.m_chunkUsed;
    m_chunkSize = other.m_chunkSize;
    m_lastStored = other.m_lastStored;
    other.DeleteAllRows();
}

void MemoryMessageList::SetOrder(Order order) {
    if (m_rows.empty()) {
        m_order = order;
    }
}

int AppendRowCopy(const MemoryMessageList& source, int row, MessageList& target) {
    const int at = target.AppendRow(source.Cell(row, COL_MODULE_NAME));
    for (int column = COL_PATH; column < kMessageColumnCount; ++column) {
        const std::wstring_view cell = source.Cell(row, column);
        if (!cell.empty()) {
            target.SetCell(at, column, cell);
        }
    }
    return at;
}
