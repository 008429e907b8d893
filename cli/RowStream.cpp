#include "cli/RowStream.h"

#include "harvest/TextHelpers.h"

void RowStream::WriteHeader() {
    std::array<std::wstring_view, kMessageColumnCount> headers;
    for (int column = 0; column < kMessageColumnCount; ++column) {
        headers[column] = kMessageColumnHeaders[column];
    }
    WriteLine(headers);
}

void RowStream::Finish() {
    if (!m_pending) {
        return;
    }
    m_pending = false;
    if (!m_filter.Keeps(m_cells)) {
        return;
    }
    std::array<std::wstring_view, kMessageColumnCount> cells;
    for (int column = 0; column < kMessageColumnCount; ++column) {
        cells[column] = m_cells[column];
    }
    WriteLine(cells);
}

int RowStream::AppendRow(std::wstring_view moduleName) {
    Finish();
    for (std::wstring& cell : m_cells) {
        cell.clear();
    }
    m_cells[COL_MODULE_NAME] = moduleName;
    m_pending = true;
    return m_rows++;
}

void RowStream::SetCell(int row, int column, std::wstring_view text) {
    if (m_pending && row == m_rows - 1 && column > 0 && column < kMessageColumnCount) {
        m_cells[column] = text;
    }
}

std::wstring RowStream::GetCell(int row, int column) const {
    if (m_pending && row == m_rows - 1 && column >= 0 && column < kMessageColumnCount) {
        return m_cells[column];
    }
    return {};
}

void RowStream::DeleteAllRows() {
    m_pending = false;
    m_rows = 0;
}

void RowStream::WriteLine(const std::array<std::wstring_view, kMessageColumnCount>& cells) {
    m_line.clear();
    for (int column = 0; column < kMessageColumnCount; ++column) {
        if (column != 0) {
            m_line += CellSeparator(m_format);
        }
        AppendCell(m_line, cells[column], m_format);
    }
    m_line += LineEnd(m_format);
    m_sink(ToUtf8(m_line));
}
