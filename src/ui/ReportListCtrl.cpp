#include "ui/ReportListCtrl.h"

#include <commctrl.h>
#include <windowsx.h>

#include "framework/ListView.h"
#include "platform/Strings.h"
#include "resource.h"
#include "ui/ListTexts.h"
#include "ui/UserMessages.h"

namespace tandrel {

namespace {

constexpr unsigned kColumnTitles[] = {IDS_COL_ACTION, IDS_COL_FILE, IDS_COL_MASTER_TIME, IDS_COL_BACKUP_TIME,
                                      IDS_COL_SIZE};

std::time_t ToTime(const std::optional<FILETIME>& time) {
    if (!time) return 0;
    ULARGE_INTEGER ticks{};
    ticks.LowPart = time->dwLowDateTime;
    ticks.HighPart = time->dwHighDateTime;
    constexpr unsigned long long kEpoch = 116444736000000000ull;
    if (ticks.QuadPart <= kEpoch) return 0;
    return static_cast<std::time_t>((ticks.QuadPart - kEpoch) / 10000000ull);
}

}  // namespace

bool CReportListCtrl::Create(HWND parent) {
    if (!CreateControl(WC_LISTVIEWW, WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, 0,
                       parent, IDC_REPORT_LIST))
        return false;
    for (int c = 0; c < 5; ++c) {
        listview::AddColumn(Handle(), c, LoadText(kColumnTitles[c]), options_.ReportList[c],
                            c == 4 ? LVCFMT_RIGHT : LVCFMT_LEFT);
    }
    Clear();
    SetDateFormat(L"");
    return true;
}

void CReportListCtrl::SetDateFormat(const std::wstring& format) {
    dateFormat_ = ListDateFormat(format);
    blankDate_ = BlankDate(format);
}

void CReportListCtrl::AddRow(const ReportRow& r) {
    HWND list = Handle();
    const int row = listview::InsertRow(list, listview::RowCount(list), r.action);
    if (row < 0) return;
    listview::SetText(list, row, 1, r.path);
    const std::time_t master = ToTime(r.masterTime), backup = ToTime(r.backupTime);
    if (master != 0 || backup != 0) {
        listview::SetText(list, row, 2, ListTime(master, dateFormat_, blankDate_));
        listview::SetText(list, row, 3, ListTime(backup, dateFormat_, blankDate_));
        listview::SetText(list, row, 4, r.size ? SizeText(*r.size) : L" ");
    }
    SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
}

int CReportListCtrl::MeasureText(const std::wstring& text) {
    return static_cast<int>(SendMessageW(Handle(), WM_TANDREL_MEASURE, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

void CReportListCtrl::Clear() {
    SendMessageW(Handle(), LVM_DELETEALLITEMS, 0, 0);
}

void CReportListCtrl::ApplyWidths() {
    for (int c = 0; c < 5; ++c) SendMessageW(Handle(), LVM_SETCOLUMNWIDTH, c, options_.ReportList[c]);
}

LRESULT CReportListCtrl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        // The report is read, not worked with: clicks select nothing. The
        // right button still offers clearing and copying the report.
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
            return 0;
        case WM_RBUTTONUP: {
            if (!commandTarget) return 0;
            POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ClientToScreen(Handle(), &at);
            TrackCommandPopup(IDR_REPORT_POPUP, at, commandTarget, commandQuery);
            return 0;
        }
        case WM_PAINT: {
            const LRESULT result = Default(message, wParam, lParam);
            for (int c = 0; c < 5; ++c) options_.ReportList[c] = listview::ColumnWidth(Handle(), c);
            return result;
        }
        case WM_TANDREL_MEASURE: {
            const auto* text = reinterpret_cast<const wchar_t*>(lParam);
            HDC dc = GetDC(Handle());
            HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(Handle(), WM_GETFONT, 0, 0)));
            SIZE size{};
            GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
            SelectObject(dc, old);
            ReleaseDC(Handle(), dc);
            return size.cx;
        }
    }
    return Default(message, wParam, lParam);
}

std::wstring CReportListCtrl::RowsAsText() const {
    std::wstring text;
    const int rows = listview::RowCount(Handle());
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < 5; ++c) {
            if (c) text += L'\t';
            text += listview::Text(Handle(), r, c);
        }
        text += L"\r\n";
    }
    return text;
}

}  // namespace tandrel
