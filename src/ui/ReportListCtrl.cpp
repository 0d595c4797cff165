#include "ui/ReportListCtrl.h"

#include <windowsx.h>

#include <algorithm>

#include "framework/ListView.h"
#include "platform/Strings.h"
#include "resource_ui.h"
#include "ui/ListTexts.h"
#include "ui/UserMessages.h"

namespace tandrel {

namespace {

constexpr unsigned kColumnTitles[] = {IDS_COL_ACTION, IDS_COL_FILE, IDS_COL_MASTER_TIME, IDS_COL_BACKUP_TIME,
                                      IDS_COL_SIZE};
constexpr int kColumns = 5;

std::time_t ToTime(const std::optional<FILETIME>& time) {
    if (!time) return 0;
    ULARGE_INTEGER ticks{};
    ticks.LowPart = time->dwLowDateTime;
    ticks.HighPart = time->dwHighDateTime;
    constexpr unsigned long long kEpoch = 116444736000000000ull;
    if (ticks.QuadPart <= kEpoch) return 0;
    return static_cast<std::time_t>((ticks.QuadPart - kEpoch) / 10000000ull);
}

std::array<std::wstring, kRowActionCount> ActionTexts() {
    std::array<std::wstring, kRowActionCount> texts;
    for (std::size_t i = 0; i < kRowActionCount; ++i) texts[i] = RowActionText(static_cast<RowAction>(i));
    return texts;
}

}  // namespace

CReportListCtrl::CReportListCtrl(ColumnWidths& widths, const ColumnWidths& defaults)
    : CColumnList(widths, defaults), actionTexts_(ActionTexts()) {}

bool CReportListCtrl::Create(HWND parent) {
    if (!CreateControl(WC_LISTVIEWW,
                       WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                           LVS_NOSORTHEADER,
                       0, parent, IDC_REPORT_LIST))
        return false;
    AddColumns(kColumnTitles, 4);
    Clear();
    SetDateFormat(L"");
    return true;
}

void CReportListCtrl::SetDateFormat(const std::wstring& format) {
    std::lock_guard lock(mutex_);
    dateFormat_ = ListDateFormat(format);
    blankDate_ = BlankDate(format);
}

void CReportListCtrl::AddRow(const ReportRow& r) {
    Row row{r.path, ToTime(r.masterTime), ToTime(r.backupTime), r.size.value_or(0), r.action, false,
            r.size.has_value()};
    row.timed = row.master != 0 || row.backup != 0;
    std::lock_guard lock(mutex_);
    rows_.push_back(std::move(row));
}

bool CReportListCtrl::HasPending() const {
    std::lock_guard lock(mutex_);
    return rows_.size() != shown_;
}

bool CReportListCtrl::Refresh() {
    size_t count = 0;
    {
        std::lock_guard lock(mutex_);
        count = rows_.size();
    }
    if (count == shown_) return false;
    shown_ = count;
    SendMessageW(Handle(), LVM_SETITEMCOUNT, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    if (count > 0) SendMessageW(Handle(), LVM_ENSUREVISIBLE, count - 1, FALSE);
    return true;
}

int CReportListCtrl::MeasureText(const std::wstring& text) {
    return static_cast<int>(SendMessageW(Handle(), WM_TANDREL_MEASURE, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

void CReportListCtrl::Clear() {
    {
        std::lock_guard lock(mutex_);
        rows_.clear();
        rows_.shrink_to_fit();
    }
    shown_ = 0;
    SendMessageW(Handle(), LVM_SETITEMCOUNT, 0, 0);
    InvalidateRect(Handle(), nullptr, TRUE);
}

std::wstring CReportListCtrl::SampleText(int column) const {
    std::lock_guard lock(mutex_);
    switch (column) {
        case 0: return Text(RowAction::FolderDelete);
        case 2:
        case 3: return ListTime(kSampleTime, dateFormat_, blankDate_);
        case 4: return SizeText((1ull << 40) - 1);
    }
    return {};
}

size_t CReportListCtrl::RowCount() const {
    std::lock_guard lock(mutex_);
    return rows_.size();
}

std::wstring CReportListCtrl::Cell(const Row& row, int column) const {
    switch (column) {
        case 0: return Text(row.action);
        case 1: return row.path;
        case 2: return row.timed ? ListTime(row.master, dateFormat_, blankDate_) : std::wstring();
        case 3: return row.timed ? ListTime(row.backup, dateFormat_, blankDate_) : std::wstring();
        case 4: return !row.timed ? std::wstring() : row.sized ? SizeText(row.size) : std::wstring(L" ");
    }
    return {};
}

std::wstring CReportListCtrl::CellText(size_t row, int column) const {
    std::lock_guard lock(mutex_);
    return row < rows_.size() ? Cell(rows_[row], column) : std::wstring();
}

void CReportListCtrl::OnGetDispInfo(NMLVDISPINFOW& info) const {
    LVITEMW& item = info.item;
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
    const std::wstring text = CellText(static_cast<size_t>(std::max(item.iItem, 0)), item.iSubItem);
    const size_t length = std::min(text.size(), static_cast<size_t>(item.cchTextMax - 1));
    std::copy_n(text.data(), length, item.pszText);
    item.pszText[length] = L'\0';
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
        // The keyboard's way to the same menu (the mouse's ends above).
        case WM_CONTEXTMENU:
            if (commandTarget)
                TrackCommandPopup(IDR_REPORT_POPUP, listview::ContextMenuPoint(Handle(), lParam), commandTarget,
                                  commandQuery);
            return 0;
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
        case WM_TANDREL_REPORT_CLEAR:
            Clear();
            return 0;
    }
    return CColumnList::HandleMessage(message, wParam, lParam);
}

std::wstring CReportListCtrl::RowsAsText() const {
    std::lock_guard lock(mutex_);
    std::wstring text;
    size_t length = 0;
    for (const Row& row : rows_) length += Text(row.action).size() + row.path.size() + 48;
    text.reserve(length);
    for (const Row& row : rows_) {
        for (int c = 0; c < kColumns; ++c) {
            if (c) text += L'\t';
            text += Cell(row, c);
        }
        text += L"\r\n";
    }
    return text;
}

}  // namespace tandrel
