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
    // Straight to UTF-8; only a cell that needs escaping or quoting goes through AppendCell.
    m_utf8.clear();
    for (int column = 0; column < kMessageColumnCount; ++column) {
        if (column != 0) {
            m_utf8 += static_cast<char>(CellSeparator(m_format));
        }
        const std::wstring_view cell = cells[column];
        // A superset of what needs escaping (TSV) or quoting (CSV), found in one branch-free pass.
        const wchar_t first = m_format == RowFormat::Tsv ? L'\\' : L',';
        const wchar_t second = m_format == RowFormat::Tsv ? L'\\' : L'"';
        unsigned special = 0;
        for (wchar_t c : cell) {
            special |= static_cast<unsigned>(c < 0x20) | static_cast<unsigned>(c == first) |
                       static_cast<unsigned>(c == second);
        }
        if (special == 0) {
            AppendUtf8(m_utf8, cell);
        } else {
            m_line.clear();
            AppendCell(m_line, cell, m_format);
            AppendUtf8(m_utf8, m_line);
        }
    }
    for (const wchar_t* end = LineEnd(m_format); *end != L'\0'; ++end) {
        m_utf8 += static_cast<char>(*end);
    }
    m_sink(m_utf8);
}
