#pragma once

#include <string>
#include <string_view>

enum class RowFormat { Tsv, Csv };

// Appends one cell to line: TSV escapes backslash, tab, CR and LF as \\, \t, \r, \n; CSV quotes a
// cell that holds a comma, a quote, CR or LF and doubles its quotes (RFC 4180).
void AppendCell(std::wstring& line, std::wstring_view cell, RowFormat format);

// Cells are separated by a tab (TSV) or a comma (CSV); lines end in LF (TSV) or CR LF (CSV).
wchar_t CellSeparator(RowFormat format);
const wchar_t* LineEnd(RowFormat format);
