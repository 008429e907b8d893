#pragma once

#include "harvest/MessageList.h"
#include "ui/framework/ListControl.h"

#include <climits>

// The message list of a list window: the list-view control is the only store of its rows.
class ListViewMessageList : public MessageList {
public:
    explicit ListViewMessageList(const ui::ListControl& control) : m_control(control) {}

    int GetRowCount() const override { return m_control.GetItemCount(); }
    // An index past the end appends, which saves asking the control for its count on every
    // row; a sorted list places the row itself and returns where.
    int AppendRow(const std::wstring& moduleName) override {
        return m_control.InsertItem(INT_MAX, moduleName);
    }
    void SetCell(int row, int column, const std::wstring& text) override {
        m_control.SetItemText(row, column, text);
    }
    std::wstring GetCell(int row, int column) const override {
        return m_control.GetItemText(row, column);
    }
    void ReserveRows(int totalRows) override { m_control.SetItemCount(totalRows); }
    void DeleteAllRows() override { m_control.DeleteAllItems(); }

private:
    const ui::ListControl& m_control;
};
