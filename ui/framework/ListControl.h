#pragma once

#include "ui/framework/Window.h"

#include <commctrl.h>

#include <string>

namespace ui {

// A list-view control in report view.
class ListControl : public Window {
public:
    int InsertColumn(int index, const std::wstring& header, int format, int width,
                     int subItem = -1) const;
    int InsertItem(int index, const std::wstring& text) const;
    BOOL SetItemText(int item, int subItem, const std::wstring& text) const;
    std::wstring GetItemText(int item, int subItem) const;
    int GetItemCount() const;
    // The first selected item, or -1.
    int GetSelectedItem() const;
    BOOL GetItemRect(int item, RECT* rect) const;
    BOOL SetItemCount(int count) const;
    BOOL DeleteAllItems() const;

    // Stops the control from drawing while rows arrive in bulk, and repaints it once at the end.
    // Without it, every insertion repaints part of a visible list: thousands of times slower.
    class BulkUpdate {
    public:
        explicit BulkUpdate(const ListControl& control);
        ~BulkUpdate();
        BulkUpdate(const BulkUpdate&) = delete;
        BulkUpdate& operator=(const BulkUpdate&) = delete;

    private:
        const ListControl& m_control;
    };

    // Makes a sorted list view take inserted items where they are inserted, and gives the sort
    // style back at the end, for filling it with rows that are in order already: the control
    // places each item of a sorted list by walking the items before it, which makes a large
    // fill cost the square of its size.
    class KeepInsertionOrder {
    public:
        explicit KeepInsertionOrder(const ListControl& control);
        ~KeepInsertionOrder();
        KeepInsertionOrder(const KeepInsertionOrder&) = delete;
        KeepInsertionOrder& operator=(const KeepInsertionOrder&) = delete;

    private:
        const ListControl& m_control;
        LONG_PTR m_sortStyle;
    };
};

} // namespace ui
