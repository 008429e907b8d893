#pragma once

#include "harvest/MessageList.h"
#include "ui/framework/ListControl.h"

#include <commctrl.h>

// The message list of a list window: an in-memory table behind an owner-data list view. The
// rows live here; the control holds none of them. It is told how many rows there are and asks for
// the text of each cell that it draws or is asked for, so that filling, clearing and destroying
// a list cost what its rows cost, not what the control's own items would.
class ListViewMessageList : public MessageList {
public:
    explicit ListViewMessageList(const ui::ListControl& control) : m_control(control) {}

    int GetRowCount() const override { return m_rows.GetRowCount(); }
    int AppendRow(std::wstring_view moduleName) override;
    // The records are kept as they are, and their cells formatted when the control asks.
    int AppendMessage(const TableRecord& table, std::uint32_t identifier,
                      const MessageText& text) override;
    int AppendError(const ErrorRecord& error) override;
    int AppendRecord(const RowRecord& row) override;
    // Cells are written right after their row is appended, before the control draws it.
    void SetCell(int row, int column, std::wstring_view text) override {
        m_rows.SetCell(row, column, text);
    }
    std::wstring GetCell(int row, int column) const override { return m_rows.GetCell(row, column); }
    void ReserveRows(int totalRows) override { m_rows.ReserveRows(totalRows); }
    // The control forgets the rows first, so that it never asks for one that is gone.
    void DeleteAllRows() override;

    // Takes over rows that are in this list's order, in place of its own.
    void TakeRows(MemoryMessageList& rows);

    // The rows themselves, for reading without copies.
    const MemoryMessageList& Rows() const { return m_rows; }
    // Set once, from the style of the window's template, before the first row.
    void SetOrder(MemoryMessageList::Order order) { m_rows.SetOrder(order); }

    // Answers the control's requests: the text of a cell (LVN_GETDISPINFO), and the row that
    // typing the first letters of a module name goes to (LVN_ODFINDITEM; -1 for none).
    void GetDispInfo(LVITEMW& item) const;
    int FindItem(const NMLVFINDITEMW& find) const;

    // The first row from start on, wrapping round to the top where asked, whose module name
    // begins with (partial) or is (whole) the text, letter case aside; -1 when none.
    int FindModuleName(int start, std::wstring_view text, bool partial, bool wrap) const;

private:
    // Tells the control of the row that landed at index at.
    int Added(int at);

    const ui::ListControl& m_control;
    MemoryMessageList m_rows;
    mutable std::wstring m_scratch; // a cell formatted for the control
};
