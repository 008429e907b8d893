#include "rows/RowFormat.h"

#include <algorithm>
#include <array>

namespace {

void AppendTsvCell(std::wstring& line, std::wstring_view cell) {
    const auto escape = [](wchar_t c) -> const wchar_t* {
        return c == L'\\'   ? L"\\\\"
               : c == L'\t' ? L"\\t"
               : c == L'\r' ? L"\\r"
               : c == L'\n' ? L"\\n"
                            : nullptr;
    };
    bool plain = true; // most cells need no escape: one pass finds out
    for (wchar_t c : cell) {
        plain = plain && c != L'\\' && c != L'\t' && c != L'\r' && c != L'\n';
    }
    if (plain) {
        line.append(cell);
        return;
    }
    for (wchar_t c : cell) {
        if (const wchar_t* escaped = escape(c)) {
            line += escaped;
        } else {
            line += c;
        }
    }
}

void AppendCsvCell(std::wstring& line, std::wstring_view cell) {
    if (cell.find_first_of(L",\"\r\n") == std::wstring_view::npos) {
        line.append(cell);
        return;
    }
    line += L'"';
    for (wchar_t c : cell) {
        if (c == L'"') {
            line += L'"';
        }
        line += c;
    }
    line += L'"';
}

// The clipboard's rows: the cells as they are, between tabs, each row ending in CR LF.
void AppendPlainCell(std::wstring& line, std::wstring_view cell) {
    line.append(cell);
}

constexpr std::array<FormatEntry, 4> kFormats = {{
    {RowFormat::Tsv, L"tsv", L".tsv", L"Tab-separated values (*.tsv)", true, false, L'\t', L"\n",
     AppendTsvCell, "\\"},
    {RowFormat::Csv, L"csv", L".csv", L"Comma-separated values (*.csv)", true, true, L',', L"\r\n",
     AppendCsvCell, ",\""},
    {RowFormat::JsonLines, L"jsonl", L".jsonl", L"JSON Lines (*.jsonl)", false, false, 0, nullptr,
     nullptr, nullptr},
    {RowFormat::Clipboard, L"clipboard", L"", nullptr, false, false, L'\t', L"\r\n",
     AppendPlainCell, ""},
}};

} // namespace

std::span<const FormatEntry> RowFormats() {
    return kFormats;
}

const FormatEntry& EntryOf(RowFormat format) {
    for (const FormatEntry& entry : kFormats) {
        if (entry.format == format) {
            return entry;
        }
    }
    return kFormats[0];
}

const FormatEntry* FindFormat(std::wstring_view name) {
    for (const FormatEntry& entry : kFormats) {
        if (entry.saveType != nullptr && name == entry.name) {
            return &entry;
        }
    }
    return nullptr;
}

const FormatEntry* FormatOfFileName(std::wstring_view path) {
    for (const FormatEntry& entry : kFormats) {
        const std::wstring_view extension = entry.extension;
        if (entry.saveType == nullptr || extension.empty() || path.size() < extension.size()) {
            continue;
        }
        const std::wstring_view ending = path.substr(path.size() - extension.size());
        // The endings are ASCII: only ASCII letters match them letter case aside.
        const auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; };
        if (std::equal(ending.begin(), ending.end(), extension.begin(),
                       [&](wchar_t a, wchar_t b) { return lower(a) == lower(b); })) {
            return &entry;
        }
    }
    return nullptr;
}

void AppendCell(std::wstring& line, std::wstring_view cell, RowFormat format) {
    const FormatEntry& entry = EntryOf(format);
    if (entry.appendCell != nullptr) {
        entry.appendCell(line, cell);
    }
}
