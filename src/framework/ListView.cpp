#include "framework/ListView.h"

#include <commctrl.h>

namespace tandrel::listview {

int RowCount(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

std::vector<int> SelectedRows(HWND list) {
    std::vector<int> rows;
    int row = -1;
    while ((row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED))) >= 0)
        rows.push_back(row);
    return rows;
}

std::wstring Text(HWND list, int row, int column) {
    std::wstring buffer(4096, L'\0');
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    const int length = static_cast<int>(SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
    buffer.resize(static_cast<size_t>(length));
    return buffer;
}

void SetText(HWND list, int row, int column, const std::wstring& text) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

namespace {
int Insert(HWND list, int index, wchar_t* text) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = text;
    return static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}
}  // namespace

int InsertRow(HWND list, int index, const std::wstring& text) {
    return Insert(list, index, const_cast<wchar_t*>(text.c_str()));
}

int InsertCallbackRow(HWND list, int index) {
    return Insert(list, index, LPSTR_TEXTCALLBACKW);
}

namespace {
void SetState(HWND list, int row, UINT state, UINT mask) {
    LVITEMW item{};
    item.stateMask = mask;
    item.state = state;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}
}  // namespace

void SetSelected(HWND list, int row, bool selected) {
    SetState(list, row, selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
}

void SetFocused(HWND list, int row) {
    SetState(list, row, LVIS_FOCUSED, LVIS_FOCUSED);
}

bool IsSelected(HWND list, int row) {
    return SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) != 0;
}

void AddColumn(HWND list, int column, const std::wstring& title, int width, int format) {
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    c.fmt = format;
    c.cx = width;
    c.pszText = const_cast<wchar_t*>(title.c_str());
    c.iSubItem = column;
    SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&c));
}

int ColumnWidth(HWND list, int column) {
    return static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
}

std::wstring ColumnTitle(HWND list, int column) {
    wchar_t title[256] = {};
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT;
    c.pszText = title;
    c.cchTextMax = 256;
    SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&c));
    return title;
}

POINT ContextMenuPoint(HWND list, LPARAM lParam) {
    if (lParam != -1) return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    POINT at{0, 0};
    const int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    RECT r{};
    r.left = LVIR_LABEL;
    if (row >= 0 && SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r))) {
        RECT client{};
        GetClientRect(list, &client);
        // A row scrolled out of sight leaves the menu at the list's corner.
        if (r.bottom > client.top && r.bottom <= client.bottom) at = {r.left, r.bottom};
    }
    ClientToScreen(list, &at);
    return at;
}

}  // namespace tandrel::listview
