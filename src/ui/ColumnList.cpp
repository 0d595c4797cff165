#include "ui/ColumnList.h"

#include <algorithm>

#include "framework/ListView.h"
#include "framework/Window.h"
#include "platform/Strings.h"

namespace tandrel {

namespace {

constexpr int kColumns = static_cast<int>(std::tuple_size_v<ColumnWidths>);
// The room a list keeps around the text of a cell, at 96 dots per inch.
constexpr int kCellMargin = 12;

int TextWidth(HWND list, const std::wstring& text) {
    return static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

}  // namespace

void CColumnList::AddColumns(const unsigned* titles, int rightAligned) {
    for (int c = 0; c < kColumns; ++c) {
        listview::AddColumn(Handle(), c, LoadText(titles[c]), widths_[static_cast<size_t>(c)],
                            c == rightAligned ? LVCFMT_RIGHT : LVCFMT_LEFT);
    }
}

void CColumnList::ApplyWidths() {
    atDefaults_ = widths_ == defaults_;
    for (int c = 0; c < kColumns; ++c) SendMessageW(Handle(), LVM_SETCOLUMNWIDTH, c, widths_[static_cast<size_t>(c)]);
}

void CColumnList::FitDefaults(UINT dpi) {
    if (!atDefaults_) return;
    const int margin = ScaleToDpi(kCellMargin, dpi);
    for (int c = 0; c < kColumns; ++c) {
        const int width = std::max({ScaleToDpi(defaults_[static_cast<size_t>(c)], dpi),
                                    TextWidth(Handle(), listview::ColumnTitle(Handle(), c)) + margin,
                                    TextWidth(Handle(), SampleText(c)) + margin});
        SendMessageW(Handle(), LVM_SETCOLUMNWIDTH, c, width);
        widths_[static_cast<size_t>(c)] = width;
    }
}

void CColumnList::ScaleWidths(UINT from, UINT to) {
    if (atDefaults_ || from == 0) return;
    for (int c = 0; c < kColumns; ++c) {
        const int width = MulDiv(listview::ColumnWidth(Handle(), c), static_cast<int>(to), static_cast<int>(from));
        SendMessageW(Handle(), LVM_SETCOLUMNWIDTH, c, width);
        widths_[static_cast<size_t>(c)] = width;
    }
}

LRESULT CColumnList::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        // A column the user sizes makes every width his own.
        const UINT code = reinterpret_cast<const NMHDR*>(lParam)->code;
        if (code == HDN_BEGINTRACKW || code == HDN_BEGINTRACKA || code == HDN_DIVIDERDBLCLICKW ||
            code == HDN_DIVIDERDBLCLICKA)
            atDefaults_ = false;
    } else if (message == WM_PAINT) {
        const LRESULT result = Default(message, wParam, lParam);
        for (int c = 0; c < kColumns; ++c) widths_[static_cast<size_t>(c)] = listview::ColumnWidth(Handle(), c);
        return result;
    }
    return Default(message, wParam, lParam);
}

}  // namespace tandrel
