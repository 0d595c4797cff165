#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace tandrel {

// Thin helpers over a report-style list-view control.
namespace listview {

int RowCount(HWND list);
// Indices of the selected rows, ascending.
std::vector<int> SelectedRows(HWND list);
std::wstring Text(HWND list, int row, int column);
void SetText(HWND list, int row, int column, const std::wstring& text);
// Inserts a row at index with the text of column 0; returns its index.
int InsertRow(HWND list, int index, const std::wstring& text);
// Inserts a row whose column-0 text the parent gives when asked
// (LVN_GETDISPINFO); returns its index.
int InsertCallbackRow(HWND list, int index);
void SetSelected(HWND list, int row, bool selected);
void SetFocused(HWND list, int row);
bool IsSelected(HWND list, int row);
void AddColumn(HWND list, int column, const std::wstring& title, int width, int format = LVCFMT_LEFT);
int ColumnWidth(HWND list, int column);
std::wstring ColumnTitle(HWND list, int column);
// Where a context menu opens for WM_CONTEXTMENU's lParam: the mouse's
// point, or for the keyboard (Shift+F10, the menu key) below the focused
// row's start, or the list's corner when no row has the focus.
POINT ContextMenuPoint(HWND list, LPARAM lParam);

}  // namespace listview
}  // namespace tandrel
