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
void SetSelected(HWND list, int row, bool selected);
void SetFocused(HWND list, int row);
bool IsSelected(HWND list, int row);
void AddColumn(HWND list, int column, const std::wstring& title, int width, int format = LVCFMT_LEFT);
int ColumnWidth(HWND list, int column);

}  // namespace listview
}  // namespace tandrel
