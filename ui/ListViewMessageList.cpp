#include "ui/ListViewMessageList.h"

#include <algorithm>

int ListViewMessageList::AppendRow(std::wstring_view moduleName) {
    return Added(m_rows.AppendRow(moduleName));
}

int ListViewMessageList::AppendMessage(const TableRecord& table, std::uint32_t identifier,
                                       const MessageText& text) {
    return Added(m_rows.AppendMessage(table, identifier, text));
}

int ListViewMessageList::AppendError(const ErrorRecord& error) {
    return Added(m_rows.AppendError(error));
}

int ListViewMessageList::AppendRecord(const RowRecord& row) {
    return Added(m_rows.AppendRecord(row));
}

int ListViewMessageList::Added(int at) {
    const int count = m_rows.GetRowCount();
    // Only the new row's place is repainted, and the view does not scroll to it.
    m_control.SetItemCount(count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    if (at != count - 1) {
        ::InvalidateRect(m_control.m_hWnd, nullptr, FALSE); // the rows below it moved down
    }
    return at;
}

void ListViewMessageList::DeleteAllRows() {
    m_control.SetItemCount(0, 0);
    m_rows.DeleteAllRows();
}

void ListViewMessageList::TakeRows(MemoryMessageList& rows) {
    m_control.SetItemCount(0, 0);
    m_rows.TakeRows(rows);
    m_control.SetItemCount(m_rows.GetRowCount(), 0);
}

int ListViewMessageList::FindModuleName(int start, std::wstring_view text, bool partial,
                                        bool wrap) const {
    const int count = m_rows.GetRowCount();
    if (count == 0 || text.empty()) {
        return -1;
    }
    start = std::clamp(start, 0, count - 1);
    const int steps = wrap ? count : count - start;
    for (int step = 0; step < steps; ++step) {
        const int row = (start + step) % count;
        std::wstring_view name = m_rows.Record(row).ModuleName();
        if (partial && name.size() > text.size()) {
            name = name.substr(0, text.size());
        }
        if (name.size() == text.size() &&
            ::CompareStringOrdinal(name.data(), static_cast<int>(name.size()), text.data(),
                                   static_cast<int>(text.size()), TRUE) == CSTR_EQUAL) {
            return row;
        }
    }
    return -1;
}

void ListViewMessageList::GetDispInfo(LVITEMW& item) const {
    if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.cchTextMax > 0) {
        // As much as the control's buffer holds, always terminated.
        const std::wstring_view cell = m_rows.CellView(item.iItem, item.iSubItem, m_scratch);
        const std::size_t length =
            std::min(cell.size(), static_cast<std::size_t>(item.cchTextMax) - 1);
        std::copy_n(cell.data(), length, item.pszText);
        item.pszText[length] = L'\0';
    }
}

int ListViewMessageList::FindItem(const NMLVFINDITEMW& find) const {
    const bool partial = (find.lvfi.flags & LVFI_PARTIAL) != 0;
    const bool whole = (find.lvfi.flags & LVFI_STRING) != 0;
    if ((!partial && !whole) || find.lvfi.psz == nullptr) {
        return -1;
    }
    return FindModuleName(find.iStart, find.lvfi.psz, partial, (find.lvfi.flags & LVFI_WRAP) != 0);
}
