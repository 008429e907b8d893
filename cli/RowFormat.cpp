#include "RowFormat.h"

#include <windows.h>

void AppendCell(std::wstring& line, std::wstring_view cell, RowFormat format) {
    if (format == RowFormat::Tsv) {
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

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    if (text.empty()) {
        return out;
    }
    const int count = static_cast<int>(text.size());
    const int needed =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), count, nullptr, 0, nullptr, nullptr);
    out.resize(static_cast<size_t>(needed > 0 ? needed : 0));
    if (needed > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), count, out.data(), needed, nullptr, nullptr);
    }
    return out;
}
