#include "harvest/RowFormat.h"

void AppendCell(std::wstring& line, std::wstring_view cell, RowFormat format) {
    if (format == RowFormat::Tsv) {
        bool plain = true; // most cells need no escape: one pass finds out
        for (wchar_t c : cell) {
            plain = plain && c != L'\\' && c != L'\t' && c != L'\r' && c != L'\n';
        }
        if (plain) {
            line.append(cell);
            return;
        }
        for (wchar_t c : cell) {
            switch (c) {
            case L'\\':
                line += L"\\\\";
                break;
            case L'\t':
                line += L"\\t";
                break;
            case L'\r':
                line += L"\\r";
                break;
            case L'\n':
                line += L"\\n";
                break;
            default:
                line += c;
            }
        }
        return;
    }
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

wchar_t CellSeparator(RowFormat format) {
    return format == RowFormat::Tsv ? L'\t' : L',';
}

const wchar_t* LineEnd(RowFormat format) {
    return format == RowFormat::Tsv ? L"\n" : L"\r\n";
}
