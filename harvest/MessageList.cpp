#include "harvest/MessageList.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

const std::array<const wchar_t*, kMessageColumnCount> kMessageColumnHeaders = {
    L"Module Name", L"Path", L"Error", L"Locale ID", L"Value", L"Value (Hex)", L"Message text",
};

int CompareModuleNames(std::wstring_view a, std::wstring_view b) {
    // The comparison of lstrcmpW (the user's locale; lower case before upper case, punctuation
    // weighed as in words), on counted strings.
    return CompareStringW(LOCALE_USER_DEFAULT, 0, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) -
           CSTR_EQUAL;
}

std::wstring_view MemoryMessageList::Store(const std::wstring& text) {
    constexpr std::size_t kChunk = std::size_t{1} << 20;
    if (text.empty()) {
        return {};
    }
    if (m_chunks.empty() || m_chunkSize - m_chunkUsed < text.size()) {
        m_chunkSize = std::max(kChunk, text.size());
        m_chunks.push_back(std::make_unique_for_overwrite<wchar_t[]>(m_chunkSize));
        m_chunkUsed = 0;
    }
    wchar_t* at = m_chunks.back().get() + m_chunkUsed;
    std::copy(text.begin(), text.end(), at);
    m_chunkUsed += text.size();
    return {at, text.size()};
}

int MemoryMessageList::AppendRow(const std::wstring& moduleName) {
    auto at = m_rows.end();
    if (m_order == Order::SortedByModuleName) {
        at = std::lower_bound(m_rows.begin(), m_rows.end(), moduleName,
                              [](const Row& row, const std::wstring& name) {
                                  return CompareModuleNames(row[COL_MODULE_NAME], name) < 0;
                              });
    }
    Row row{};
    row[COL_MODULE_NAME] = Store(moduleName);
    at = m_rows.insert(at, row);
    return static_cast<int>(at - m_rows.begin());
}

void MemoryMessageList::SetCell(int row, int column, const std::wstring& text) {
    if (row < 0 || row >= GetRowCount() || column < 1 || column >= kMessageColumnCount) {
        throw std::out_of_range("MemoryMessageList::SetCell");
    }
    m_rows[row][column] = Store(text);
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
    m_rows.clear();
    m_chunks.clear();
    m_chunkUsed = m_chunkSize = 0;
}
