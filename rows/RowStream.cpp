#include "rows/RowStream.h"

#include "harvest/Strings.h"
#include "harvest/Unicode.h"

namespace {

// A JSON object's field name, with the separator before it when it is not the first.
void AppendField(std::string& out, const char* name) {
    if (out.empty() || out.back() != '{') {
        out += ',';
    }
    out += '"';
    out += name;
    out += "\":";
}

void AppendJsonNumber(std::string& out, std::uint64_t value) {
    out += std::to_string(value);
}

// The fields of the file that a row comes from.
void AppendModuleFields(std::string& out, const ModuleRecord& module) {
    AppendField(out, "module");
    AppendJsonString(out, module.fileName);
    AppendField(out, "folder");
    AppendJsonString(out, module.folder);
    if (module.IsSatellite()) {
        AppendField(out, "base_module");
        AppendJsonString(out, module.satelliteOf);
        AppendField(out, "satellite_language");
        AppendJsonString(out, module.satelliteLanguage);
    }
}

} // namespace

void AppendJsonString(std::string& out, std::wstring_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    std::size_t plain = 0; // a run of printable ASCII that needs no escape, copied in one go
    const auto flush = [&](std::size_t end) {
        for (std::size_t k = plain; k < end; ++k) {
            out += static_cast<char>(text[k]);
        }
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<std::uint32_t>(text[i]);
        if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') {
            continue;
        }
        flush(i);
        plain = i + 1;
        switch (c) {
        case '"':
            out += "\\\"";
            continue;
        case '\\':
            out += "\\\\";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '\t':
            out += "\\t";
            continue;
        default:
            break;
        }
        std::uint32_t character = c;
        if (sizeof(wchar_t) == 2 && IsHighSurrogate(c) && i + 1 < text.size() &&
            IsLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
            character = CombineSurrogates(c, static_cast<std::uint32_t>(text[i + 1]));
            ++i;
            plain = i + 1;
        } else if (c < 0x20 || IsSurrogate(c)) {
            // A control, or half of a pair: JSON's escape keeps it as it is.
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += kHex[(c >> shift) & 0xF];
            }
            continue;
        } else if (c > 0x10FFFF) {
            character = 0xFFFD;
        }
        if (character < 0x800) {
            out += static_cast<char>(0xC0 | character >> 6);
        } else {
            if (character < 0x10000) {
                out += static_cast<char>(0xE0 | character >> 12);
            } else {
                out += static_cast<char>(0xF0 | character >> 18);
                out += static_cast<char>(0x80 | (character >> 12 & 0x3F));
            }
            out += static_cast<char>(0x80 | (character >> 6 & 0x3F));
        }
        out += static_cast<char>(0x80 | (character & 0x3F));
    }
    flush(text.size());
    out += '"';
}

RowStream::RowStream(RowFormat format, LineSink sink)
    : m_entry(EntryOf(format)), m_sink(std::move(sink)),
      m_lineEnd(m_entry.lineEnd != nullptr ? ToUtf8(m_entry.lineEnd) : std::string("\n")),
      m_separator(static_cast<char>(m_entry.separator)) {
    // What a printable ASCII text may not hold to be written as it is: the format's specials
    // (two at the most), or for JSON a quote and a backslash.
    const char* specials = m_entry.specials != nullptr ? m_entry.specials : "\"\\";
    m_specials[0] = specials[0];
    m_specials[1] = specials[0] != 0 && specials[1] != 0 ? specials[1] : specials[0];
}

bool RowStream::IsPlain(std::string_view ascii) const {
    if (m_specials[0] == 0) {
        return true;
    }
    // One branch-free pass that the compiler vectorises.
    const char first = m_specials[0], second = m_specials[1];
    unsigned special = 0;
    for (char c : ascii) {
        special |= static_cast<unsigned>(c == first) | static_cast<unsigned>(c == second);
    }
    return special == 0;
}

void RowStream::WriteHeader() {
    if (!m_entry.header) {
        return;
    }
    RowCells headers;
    for (int column = 0; column < kMessageColumnCount; ++column) {
        headers[column] = kMessageColumnHeaders[column];
    }
    WriteCells(headers);
}

void RowStream::Finish() {
    EndPendingRow();
    if (!m_lines.empty()) {
        m_sink(m_lines);
        m_lines.clear();
    }
}

void RowStream::WriteCells(const RowCells& cells) {
    if (m_entry.appendCell == nullptr) {
        // A format of its own shape: the cells by name, for a row that no record holds.
        m_lines += "{\"cells\":[";
        for (int column = 0; column < kMessageColumnCount; ++column) {
            if (column != 0) {
                m_lines += ',';
            }
            AppendJsonString(m_lines, cells[column]);
        }
        m_lines += "]}";
        EndLine();
        return;
    }
    for (int column = 0; column < kMessageColumnCount; ++column) {
        if (column != 0) {
            m_lines += m_separator;
        }
        Encode(cells[column], m_lines);
    }
    EndLine();
}

void RowStream::EndPendingRow() {
    if (!m_pending.Take()) {
        return;
    }
    RowCells cells;
    for (int column = 0; column < kMessageColumnCount; ++column) {
        cells[column] = m_pending.Cells()[column];
    }
    WriteCells(cells);
}

int RowStream::AppendRow(std::wstring_view moduleName) {
    EndPendingRow();
    m_pending.Begin(m_rows, moduleName);
    return m_rows++;
}

void RowStream::SetCell(int row, int column, std::wstring_view text) {
    m_pending.Set(row, column, text);
}

std::wstring RowStream::GetCell(int row, int column) const {
    return m_pending.Get(row, column);
}

void RowStream::DeleteAllRows() {
    m_pending.Take();
    m_rows = 0;
}

int RowStream::AppendError(const ErrorRecord& error) {
    EndPendingRow();
    if (m_entry.appendCell != nullptr) {
        RowRecord record;
        record.kind = RowKind::Error;
        record.error = &error;
        RowCells cells;
        std::wstring scratch;
        for (int column = 0; column < kMessageColumnCount; ++column) {
            cells[column] = FormatCell(record, column, scratch); // no cell of an error row is made
        }
        WriteCells(cells);
        return m_rows++;
    }
    m_lines += '{';
    AppendModuleFields(m_lines, *error.module);
    AppendField(m_lines, "error_code");
    AppendJsonNumber(m_lines, error.code);
    AppendField(m_lines, "error");
    AppendJsonString(m_lines, error.text);
    m_lines += '}';
    EndLine();
    return m_rows++;
}

void RowStream::BeginMessageLine(const TableRecord& table) {
    EndPendingRow();
    if (table.serial == 0 || table.serial != m_prefixSerial || m_prefix.empty()) {
        m_prefix.clear();
        const ModuleRecord& module = *table.module;
        if (m_entry.appendCell != nullptr) {
            // Module, folder, error and language: the start of the line.
            for (std::wstring_view cell :
                 {std::wstring_view(module.ShownName()), std::wstring_view(module.folder),
                  std::wstring_view(), std::wstring_view(table.localeCell)}) {
                Encode(cell, m_prefix);
                m_prefix += m_separator;
            }
        } else {
            m_prefix += '{';
            AppendModuleFields(m_prefix, module);
            AppendField(m_prefix, "language");
            AppendJsonNumber(m_prefix, table.language);
            AppendField(m_prefix, "language_name");
            AppendJsonString(m_prefix, table.languageName);
            AppendField(m_prefix, "id");
        }
    }
    m_prefixSerial = table.serial;
    m_lines += m_prefix;
}

int RowStream::AppendMessage(const TableRecord& table, std::uint32_t identifier,
                             const MessageText& text) {
    BeginMessageLine(table);
    std::string_view ascii;
    const bool flatAscii = text.FlatAscii(ascii);
    if (m_entry.appendCell == nullptr) {
        AppendJsonNumber(m_lines, identifier);
        m_lines += ",\"id_hex\":\"";
        AppendHexCell(m_lines, identifier);
        m_lines += "\",\"text\":";
        const std::wstring_view raw = text.Raw();
        if (flatAscii && IsPlain(ascii)) {
            m_lines += '"';
            m_lines += ascii;
            m_lines += '"';
        } else {
            m_wide.assign(raw);
            FlattenMessageText(m_wide);
            AppendJsonString(m_lines, m_wide);
        }
        m_lines += ",\"raw_text\":";
        AppendJsonString(m_lines, raw);
        m_lines += '}';
        EndLine();
        return m_rows++;
    }
    // The identifier's cells are digits and letters only: nothing to escape or quote.
    AppendDecimalCell(m_lines, identifier);
    m_lines += m_separator;
    AppendHexCell(m_lines, identifier);
    m_lines += m_separator;
    // Printable ASCII needs escaping or quoting only for the format's specials.
    if (flatAscii && IsPlain(ascii)) {
        m_lines += ascii;
    } else {
        if (flatAscii) {
            m_wide.assign(ascii.begin(), ascii.end());
        } else {
            m_wide.assign(text.Raw());
            FlattenMessageText(m_wide);
        }
        Encode(m_wide, m_lines);
    }
    EndLine();
    return m_rows++;
}

void RowStream::Encode(std::wstring_view cell, std::string& out) {
    const std::uint32_t first = static_cast<unsigned char>(m_entry.specials[0]);
    const std::uint32_t second = m_entry.specials[0] != 0 && m_entry.specials[1] != 0
                                     ? static_cast<unsigned char>(m_entry.specials[1])
                                     : first;
    const bool controls = m_entry.format != RowFormat::Clipboard;
    const wchar_t* const from = cell.data();
    const std::size_t size = cell.size();
    // A superset of what needs escaping or quoting, found in one branch-free pass that the
    // compiler vectorises; only such a cell goes through the format's own cell writer.
    std::uint32_t special = 0;
    std::uint32_t high = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const auto c = static_cast<std::uint32_t>(from[i]);
        special |= static_cast<std::uint32_t>(c < 0x20 && controls) |
                   static_cast<std::uint32_t>(c == first && first != 0) |
                   static_cast<std::uint32_t>(c == second && second != 0);
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
        m_entry.appendCell(m_escaped, cell);
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
