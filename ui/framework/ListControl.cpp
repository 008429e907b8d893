#include "ui/framework/ListControl.h"

namespace ui {

int ListControl::InsertColumn(int index, const std::wstring& header, int format, int width,
                              int subItem) const {
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(header.c_str());
    if (subItem != -1) {
        column.mask |= LVCF_SUBITEM;
        column.iSubItem = subItem;
    }
    return static_cast<int>(SendMessageW(LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                                         reinterpret_cast<LPARAM>(&column)));
}

int ListControl::InsertItem(int index, const std::wstring& text) const {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    return static_cast<int>(SendMessageW(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

std::wstring ListControl::GetItemText(int index, int subItem) const {
    // The control copies at most the buffer's size less one: most cells fit the first buffer, on
    // the stack; a longer one is read again into buffers that double until it fits.
    wchar_t first[256];
    LVITEMW item{};
    item.iSubItem = subItem;
    item.pszText = first;
    item.cchTextMax = 256;
    auto length = static_cast<std::size_t>(SendMessageW(
        LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
    if (length + 1 < 256) {
        return std::wstring(first, length);
    }
    std::wstring text(512, L'\0');
    for (;;) {
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(text.size());
        length = static_cast<std::size_t>(SendMessageW(LVM_GETITEMTEXTW, static_cast<WPARAM>(index),
                                                       reinterpret_cast<LPARAM>(&item)));
        if (length + 1 < text.size() || text.size() >= (std::size_t{1} << 24)) {
            text.resize(length);
            return text;
        }
        text.assign(text.size() * 2, L'\0');
    }
}

int ListControl::GetItemCount() const {
    return static_cast<int>(SendMessageW(LVM_GETITEMCOUNT));
}

int ListControl::GetSelectedItem() const {
    return static_cast<int>(SendMessageW(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

BOOL ListControl::GetItemRect(int item, RECT* rect) const {
    rect->left = LVIR_BOUNDS;
    return static_cast<BOOL>(
        SendMessageW(LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(rect)));
}

BOOL ListControl::SetItemCount(int count, DWORD flags) const {
    return static_cast<BOOL>(SendMessageW(LVM_SETITEMCOUNT, static_cast<WPARAM>(count), flags));
}

ListControl::BulkUpdate::BulkUpdate(const ListControl& control) : m_control(control) {
    m_control.SendMessageW(WM_SETREDRAW, FALSE, 0);
}

ListControl::BulkUpdate::~BulkUpdate() {
    m_control.SendMessageW(WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_control.m_hWnd, nullptr, TRUE);
}

} // namespace ui
