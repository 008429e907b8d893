#pragma once

#include <span>
#include <string>
#include <string_view>

// Every way that rows are written out, one entry each: orvanel-dump's --format, the window's
// "Save as..." types and the clipboard read this table, and a writer (rows/RowStream) writes
// each.
enum class RowFormat { Tsv, Csv, JsonLines, Clipboard };

struct FormatEntry {
    RowFormat format;
    // --format's value, and the file ending that "Save as..." gives and knows it by.
    const wchar_t* name;
    const wchar_t* extension;
    // The type in the save dialog's list; null for a format that is not saved.
    const wchar_t* saveType;
    // A line of column headers first.
    bool header;
    // A saved file starts with a byte-order mark, so that spreadsheet programs read every script.
    bool byteOrderMark;
    // Rows of cells: what stands between cells and ends a line, and how a cell is written
    // (escaped or quoted as the format needs); null for a format of its own shape.
    wchar_t separator;
    const wchar_t* lineEnd;
    void (*appendCell)(std::wstring& line, std::wstring_view cell);
    // The characters that make a printable ASCII cell need appendCell (besides controls).
    const char* specials;
};

// Every format, in the order in which they are offered.
std::span<const FormatEntry> RowFormats();
const FormatEntry& EntryOf(RowFormat format);
// The format of files whose name is name (tsv, csv, jsonl), or null.
const FormatEntry* FindFormat(std::wstring_view name);
// The format whose extension ends path, letter case aside, among those that are saved; or null.
const FormatEntry* FormatOfFileName(std::wstring_view path);

// Appends one cell to line in the format: TSV escapes backslash, tab, CR and LF as \\, \t, \r,
// \n; CSV quotes a cell that holds a comma, a quote, CR or LF and doubles its quotes (RFC 4180);
// the clipboard takes it as it is.
void AppendCell(std::wstring& line, std::wstring_view cell, RowFormat format);
