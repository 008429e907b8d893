#include "harvest/RowStream.h"

#include "harvest/Unicode.h"

void RowStream::WriteHeader() {
    m_line.clear();
    for (int column = 0; column < kMessageColumnCount; ++column) {
        if (column != 0) {
            m_line += static_cast<char>(CellSeparator(m_format));
        }
        Encode(kMessageColumnHeaders[column], m_line);
    }
    EndLine();
}

void RowStream::Finish() {
    if (!m_pending) {
        return;
    }
    m_pending = false;
    for (int column = 1; column < kMessageColumnCount; ++column) {
        if (!m_set[column]) {
            Assign(column, {});
        }
    }
    m_line.clear();
    for (int column = 0; column < kMessageColumnCount; ++column) {
        if (column != 0) {
            m_line += static_cast<char>(CellSeparator(m_format));
        }
        m_line += m_encoded[column];
    }
    EndLine();
}

int RowStream::AppendRow(std::wstring_view moduleName) {
    Finish();
    m_set.fill(false);
    Assign(COL_MODULE_NAME, moduleName);
    m_pending = true;
    return m_rows++;
}

void RowStream::SetCell(int row, int column, std::wstring_view text) {
    if (m_pending && row == m_rows - 1 && column > 0 && column < kMessageColumnCount) {
        Assign(column, text);
    }
}

std::wstring RowStream::GetCell(int row, int column) const {
    if (m_pending && row == m_rows - 1 && column >= 0 && column < kMessageColumnCount &&
        m_set[column]) {
        return m_cells[column];
    }
    return {};
}

void RowStream::DeleteAllRows() {
    m_pending = false;
    m_rows = 0;
}

void RowStream::Assign(int column, std::wstring_view text) {
    m_set[column] = true;
    // Module, folder, error and language repeat on almost every row: their line text is made
    // once. The identifiers and the text change from row to row: they are not compared.
    if (column > COL_LOCALE_ID || m_cells[column] != text) {
        m_cells[column].assign(text);
        m_encoded[column].clear(); // its room is kept for the next row
        Encode(text, m_encoded[column]);
    }
}

void RowStream::Encode(std::wstring_view cell, std::string& out) {
    // A superset of what needs escaping (TSV) or quoting (CSV), found in one branch-free pass;
    // only such a cell goes through AppendCell.
    const wchar_t first = m_format == RowFormat::Tsv ? L'\\' : L',';
    const wchar_t second = m_format == RowFormat::Tsv ? L'\\' : L'"';
    unsigned special = 0;
    std::uint32_t high = 0;
    for (wchar_t c : cell) {
        special |= static_cast<unsigned>(c < 0x20) | static_cast<unsigned>(c == first) |
                   static_cast<unsigned>(c == second);
        high |= static_cast<std::uint32_t>(c);
    }
    if (special == 0 && high < 0x80) {
        // Plain ASCII, most cells: narrowed in the same go.
        const std::size_t at = out.size();
        out.resize(at + cell.size());
        char* to = out.data() + at;
        for (wchar_t c : cell) {
            *to++ = static_cast<char>(c);
        }
    } else if (special == 0) {
        AppendUtf8(out, cell);
    } else {
        m_escaped.clear();
        AppendCell(m_escaped, cell, m_format);
        AppendUtf8(out, m_escaped);
    }
}

void RowStream::EndLine() {
    for (const wchar_t* end = LineEnd(m_format); *end != L'\0'; ++end) {
        m_line += static_cast<char>(*end);
    }
    m_sink(m_line);
}
