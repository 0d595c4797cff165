#pragma once
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "framework/CommandUI.h"
#include "model/GlobalOptions.h"
#include "ui/ColumnList.h"

namespace tandrel {

// The folder-setting list (top pane): one row per setting of the active
// project, the check box showing AutoExec. Rows mirror the view's records;
// the list never changes a record itself.
class CSetupListCtrl : public CColumnList {
public:
    CSetupListCtrl(ColumnWidths& widths, const ColumnWidths& defaults) : CColumnList(widths, defaults) {}

    bool Create(HWND parent);
    // Dates of the result column: the options' format or the default.
    void SetDateFormat(const std::wstring& format);
    // All rows anew; scrollTo (when >= 0) is brought into view.
    void Fill(const std::vector<FolderSetting>& settings, int scrollTo = -1, bool applyWidths = false);
    void AddRow(const FolderSetting& setting);
    // Texts and check box of a row from its record.
    void UpdateRow(int row, const FolderSetting& setting);
    void UpdateResult(int row, const FolderSetting& setting);
    // Selection and check boxes from the records' runSelection and AutoExec.
    void Resynchronise(const std::vector<FolderSetting>& settings);
    void SelectOnly(const std::vector<int>& rows);

    // The first column's text (LVN_GETDISPINFO): the setting's name, except
    // while the list paints itself.
    void OnGetDispInfo(NMLVDISPINFOW& info, const std::vector<FolderSetting>& settings) const;

    // The row whose check box the user changed (-1 for other changes).
    int ToggledRow(const NMLISTVIEW& change) const;

    // Where the context menu's commands go and how they are enabled.
    HWND commandTarget = nullptr;
    CommandQuery commandQuery;
    bool suppressNotify = false;
    int currentRow = -1;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    std::wstring SampleText(int column) const override;

private:
    void SetChecked(int row, bool checked);
    std::wstring dateFormat_, blankDate_;
    bool painting_ = false;
};

}  // namespace tandrel
