#include "ui/Search.h"

#include <windows.h>

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

// The columns in the order in which one row's cells are tested.
constexpr MessageColumn kSearchOrder[] = {COL_MODULE_NAME, COL_ERROR,     COL_LOCALE_ID,
                                          COL_VALUE,       COL_VALUE_HEX, COL_MESSAGE_TEXT};

// The system's upper case of text. ASCII letters map the same way in every locale, and most
// cells are ASCII, so they are mapped here without a call per cell.
void UpperCase(std::wstring& text) {
    bool ascii = true;
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        } else if (c >= 0x80) {
            ascii = false;
        }
    }
    if (!ascii) {
        ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    }
}

using RowCopy = std::array<std::wstring, kMessageColumnCount>;

} // namespace

int SearchRows(const MessageList& source, const SearchRequest& request, MessageList& target) {
    if (request.text.empty()) {
        return 0;
    }
    std::wstring wanted = request.text;
    if (!request.matchCase) {
        UpperCase(wanted);
    }

    // The walk: each row's ticked cells are read once; a row that matches is copied once, and
    // listed once for every column in which it matched.
    std::vector<RowCopy> copies;
    std::vector<int> found; // index into copies, in the order found
    RowCopy cells;
    std::wstring tested;
    for (int row = 0; row < source.GetRowCount(); ++row) {
        int matches = 0;
        std::array<bool, kMessageColumnCount> read{};
        for (MessageColumn column : kSearchOrder) {
            if (!request.columns[column]) {
                continue;
            }
            cells[column] = source.GetCell(row, column);
            read[column] = true;
            const std::wstring* cell = &cells[column];
            if (!request.matchCase) {
                tested = cells[column];
                UpperCase(tested);
                cell = &tested;
            }
            matches += cell->find(wanted) != std::wstring::npos ? 1 : 0;
        }
        if (matches == 0) {
            continue;
        }
        for (int column = 0; column < kMessageColumnCount; ++column) {
            if (!read[column]) {
                cells[column] = source.GetCell(row, column);
            }
        }
        copies.push_back(cells);
        found.insert(found.end(), matches, static_cast<int>(copies.size()) - 1);
    }

    // The order: each distinct module name is collated once, and the copies are ranked by name
    // with a stable sort, so that equal names keep the order found.
    std::unordered_map<std::wstring_view, int> rankOf;
    for (const RowCopy& copy : copies) {
        rankOf.emplace(copy[COL_MODULE_NAME], 0);
    }
    std::vector<std::wstring_view> names;
    names.reserve(rankOf.size());
    for (const auto& entry : rankOf) {
        names.push_back(entry.first);
    }
    const auto collatesBefore = [](std::wstring_view a, std::wstring_view b) {
        return CompareModuleNames(a, b) < 0;
    };
    std::sort(names.begin(), names.end(), collatesBefore);
    int rank = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        rank += i > 0 && collatesBefore(names[i - 1], names[i]) ? 1 : 0;
        rankOf[names[i]] = rank;
    }
    std::vector<int> rankOfCopy;
    rankOfCopy.reserve(copies.size());
    for (const RowCopy& copy : copies) {
        rankOfCopy.push_back(rankOf[copy[COL_MODULE_NAME]]);
    }
    std::stable_sort(found.begin(), found.end(),
                     [&](int a, int b) { return rankOfCopy[a] < rankOfCopy[b]; });

    target.ReserveRows(target.GetRowCount() + static_cast<int>(found.size()));
    for (int index : found) {
        const RowCopy& copy = copies[index];
        const int at = target.AppendRow(copy[COL_MODULE_NAME]);
        for (int column = COL_PATH; column < kMessageColumnCount; ++column) {
            if (!copy[column].empty()) {
                target.SetCell(at, column, copy[column]);
            }
        }
    }
    return static_cast<int>(found.size());
}
