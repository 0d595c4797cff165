#include "ui/SetupListCtrl.h"

#include <windowsx.h>

#include <algorithm>

#include "framework/ListView.h"
#include "platform/Strings.h"
#include "resource_ui.h"
#include "ui/ListTexts.h"

namespace tandrel {

namespace {
constexpr unsigned kColumnTitles[] = {IDS_COL_AUTO, IDS_COL_NAME, IDS_COL_MASTER, IDS_COL_BACKUP, IDS_COL_RESULT};
}

bool CSetupListCtrl::Create(HWND parent) {
    if (!CreateControl(WC_LISTVIEWW, WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, 0,
                       parent, IDC_SETUP_LIST))
        return false;
    const LPARAM ex = SendMessageW(Handle(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    SendMessageW(Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, ex | LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES);
    AddColumns(kColumnTitles);
    SetDateFormat(L"");
    return true;
}

void CSetupListCtrl::SetDateFormat(const std::wstring& format) {
    dateFormat_ = ListDateFormat(format);
    blankDate_ = BlankDate(format);
}

void CSetupListCtrl::Fill(const std::vector<FolderSetting>& settings, int scrollTo, bool applyWidths) {
    SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
    suppressNotify = true;
    SendMessageW(Handle(), LVM_DELETEALLITEMS, 0, 0);
    for (const FolderSetting& s : settings) AddRow(s);
    suppressNotify = false;
    if (scrollTo >= 0) SendMessageW(Handle(), LVM_ENSUREVISIBLE, scrollTo, FALSE);
    if (applyWidths) ApplyWidths();
    SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void CSetupListCtrl::AddRow(const FolderSetting& setting) {
    const bool wasSuppressed = suppressNotify;
    suppressNotify = true;
    const int row = listview::InsertCallbackRow(Handle(), listview::RowCount(Handle()));
    UpdateRow(row, setting);
    if (setting.runSelection == 1) {
        listview::SetSelected(Handle(), row, true);
        listview::SetFocused(Handle(), row);
    }
    suppressNotify = wasSuppressed;
}

void CSetupListCtrl::UpdateRow(int row, const FolderSetting& s) {
    listview::SetText(Handle(), row, 1, s.Name);
    listview::SetText(Handle(), row, 2, s.Master);
    listview::SetText(Handle(), row, 3, s.Backup);
    UpdateResult(row, s);
    SetChecked(row, s.AutoExec);
}

void CSetupListCtrl::UpdateResult(int row, const FolderSetting& s) {
    listview::SetText(Handle(), row, 4, ResultText(s.Errors, s.LastExec, dateFormat_, blankDate_));
}

void CSetupListCtrl::SetChecked(int row, bool checked) {
    const bool wasSuppressed = suppressNotify;
    suppressNotify = true;
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageW(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    suppressNotify = wasSuppressed;
}

void CSetupListCtrl::Resynchronise(const std::vector<FolderSetting>& settings) {
    const bool wasSuppressed = suppressNotify;
    suppressNotify = true;
    const int rows = std::min(listview::RowCount(Handle()), static_cast<int>(settings.size()));
    for (int i = 0; i < rows; ++i) {
        SetChecked(i, settings[static_cast<size_t>(i)].AutoExec);
        listview::SetSelected(Handle(), i, settings[static_cast<size_t>(i)].runSelection == 1);
    }
    if (currentRow >= 0 && currentRow < rows) {
        listview::SetSelected(Handle(), currentRow, true);
        listview::SetFocused(Handle(), currentRow);
        SendMessageW(Handle(), LVM_ENSUREVISIBLE, currentRow, FALSE);
    }
    suppressNotify = wasSuppressed;
}

void CSetupListCtrl::SelectOnly(const std::vector<int>& rows) {
    const bool wasSuppressed = suppressNotify;
    suppressNotify = true;
    listview::SetSelected(Handle(), -1, false);
    for (int row : rows) listview::SetSelected(Handle(), row, true);
    suppressNotify = wasSuppressed;
}

std::wstring CSetupListCtrl::SampleText(int column) const {
    // The longest result: a time in the list's format and errors.
    return column == 4 ? ResultText(99, kSampleTime, dateFormat_, blankDate_) : std::wstring();
}

void CSetupListCtrl::OnGetDispInfo(NMLVDISPINFOW& info, const std::vector<FolderSetting>& settings) const {
    LVITEMW& item = info.item;
    if (item.iSubItem != 0 || !(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
    item.pszText[0] = L'\0';
    if (painting_ || item.iItem < 0 || item.iItem >= static_cast<int>(settings.size())) return;
    lstrcpynW(item.pszText, settings[static_cast<size_t>(item.iItem)].Name.c_str(), item.cchTextMax);
}

int CSetupListCtrl::ToggledRow(const NMLISTVIEW& change) const {
    if (suppressNotify || !(change.uChanged & LVIF_STATE)) return -1;
    const UINT oldImage = (change.uOldState & LVIS_STATEIMAGEMASK) >> 12;
    const UINT newImage = (change.uNewState & LVIS_STATEIMAGEMASK) >> 12;
    if (oldImage == 0 || oldImage == newImage || newImage < 1 || newImage > 3) return -1;
    if (change.iItem < 0 || change.iItem >= listview::RowCount(Handle())) return -1;
    return change.iItem;
}

LRESULT CSetupListCtrl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CONTEXTMENU:
            if (commandTarget)
                TrackCommandPopup(IDR_SETUP_POPUP, listview::ContextMenuPoint(Handle(), lParam), commandTarget,
                                  commandQuery);
            return 0;
        case WM_PAINT:
        case WM_PRINTCLIENT: {
            // The first column's text is the setting's name for screen
            // readers; on screen the column shows the check box alone.
            painting_ = true;
            const LRESULT result = CColumnList::HandleMessage(message, wParam, lParam);
            painting_ = false;
            return result;
        }
    }
    return CColumnList::HandleMessage(message, wParam, lParam);
}

}  // namespace tandrel
