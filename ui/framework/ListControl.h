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
    std::wstring GetItemText(int item, int subItem) const;
    int GetItemCount() const;
    // The first selected item, or -1.
    int GetSelectedItem() const;
    BOOL GetItemRect(int item, RECT* rect) const;
    // The item count of an owner-data list (LVSICF_* flags); a hint for any other list.
    BOOL SetItemCount(int count, DWORD flags = 0) const;

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
};

} // namespace ui
