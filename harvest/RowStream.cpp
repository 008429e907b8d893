#include "harvest/RowStream.h"

#include "harvest/Unicode.h"

RowStream::RowStream(RowFormat format, LineSink sink)
    : m_format(format), m_sink(std::move(sink)), m_lineEnd(ToUtf8(LineEnd(format))) {}

void RowStream::WriteHeader() {
    for (int column = 0; column < kMessageColumnCount; ++column) {
        if (column != 0) {
            m_lines += static_cast<char>(CellSeparator(m_format));
        }
        Encode(kMessageColumnHeaders[column], m_lines);
    }
    EndLine();
}

void RowStream::Finish() {
    EndPendingRow();
    if (!m_lines.empty()) {
        m_sink(m_lines);
        m_lines.clear();
    }
}

void RowStream::EndPendingRow() {
    if (!m_pending) {
        return;
    }
    m_pending = false;
    for (int column = 1; column < kMessageColumnCount; ++column) {
        if (!m_set[column]) {
            Assign(column, {});
        }
    }
    for (int column = 0; column < kMessageColumnCount; ++column) {
        if (column != 0) {
            m_lines += static_cast<char>(CellSeparator(m_format));
        }
        m_lines += m_encoded[column];
    }
    EndLine();
}

int RowStream::AppendRow(std::wstring_view moduleName) {
    EndPendingRow();
    m_set.fill(false);
    Assign(COL_MODULE_NAME, moduleName);
    m_pending = true;
    return m_rows++;
}

int RowStream::AppendMessageRow(const SharedCells& cells, std::uint32_t identifier,
                                std::wstring_view text) {
    BeginMessageLine(cells, identifier);
    Encode(text, m_lines);
    EndLine();
    return m_rows++;
}

int RowStream::AppendAsciiMessageRow(const SharedCells& cells, std::uint32_t identifier,
                                     std::string_view asciiText) {
    // Printable ASCII needs escaping (TSV) or quoting (CSV) only for these.
    const bool plain = m_format == RowFormat::Tsv
                           ? asciiText.find('\\') == std::string_view::npos
                           : asciiText.find_first_of(",\"") == std::string_view::npos;
    if (!plain) {
        m_wide.assign(asciiText.begin(), asciiText.end());
        return AppendMessageRow(cells, identifier, m_wide);
    }
    BeginMessageLine(cells, identifier);
    m_lines += asciiText;
    EndLine();
    return m_rows++;
}

void RowStream::BeginMessageLine(const SharedCells& cells, std::uint32_t identifier) {
    EndPendingRow();
    // Module, folder, error and language: the start of the line, made again only when one of
    // them changes.
    const char separator = static_cast<char>(CellSeparator(m_format));
    const bool known = cells.serial != 0 && cells.serial == m_prefixSerial;
    if (!known && (m_prefix.empty() || cells.moduleName != m_cells[COL_MODULE_NAME] ||
                   cells.folder != m_cells[COL_PATH] || !m_cells[COL_ERROR].empty() ||
                   cells.localeCell != m_cells[COL_LOCALE_ID])) {
        Assign(COL_MODULE_NAME, cells.moduleName);
        Assign(COL_PATH, cells.folder);
        Assign(COL_ERROR, {});
        Assign(COL_LOCALE_ID, cells.localeCell);
        m_prefix.clear();
        for (int column = COL_MODULE_NAME; column <= COL_LOCALE_ID; ++column) {
            m_prefix += m_encoded[column];
            m_prefix += separator;
        }
    }
    m_prefixSerial = cells.serial;
    m_lines += m_prefix;
    // The identifier's cells are digits and letters only: nothing to escape or quote.
    AppendDecimalCell(m_lines, identifier);
    m_lines += separator;
    AppendHexCell(m_lines, identifier);
    m_lines += separator;
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
    const std::uint32_t first = m_format == RowFormat::Tsv ? '\\' : ',';
    const std::uint32_t second = m_format == RowFormat::Tsv ? '\\' : '"';
    const wchar_t* const from = cell.data();
    const std::size_t size = cell.size();
    // A superset of what needs escaping (TSV) or quoting (CSV), found in one branch-free pass
    // that the compiler vectorises; only such a cell goes through AppendCell.
    std::uint32_t special = 0;
    std::uint32_t high = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const auto c = static_cast<std::uint32_t>(from[i]);
        special |= static_cast<std::uint32_t>(c < 0x20) | static_cast<std::uint32_t>(c == first) |
                   static_cast<std::uint32_t>(c == second);
        high |= c;
    }
    if (special == 0 && high < 0x80) {
        // Plain ASCII, most cells: narrowed one to one.
        const std::size_t at = out.size();
        out.resize(at + size);
        char* const to = out.data() + at;
        for (std::size_t i = 0; i < size; ++i) {
            to[i] = static_cast<char>(from[i]);
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
    m_lines += m_lineEnd;
    if (m_lines.size() >= kBlockBytes) {
        m_sink(m_lines);
        m_lines.clear();
    }
}
