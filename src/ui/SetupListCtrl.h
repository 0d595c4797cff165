#pragma once
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "framework/CommandUI.h"
#include "framework/Control.h"
#include "model/GlobalOptions.h"
#include "ui/Fonts.h"

namespace tandrel {

// The folder-setting list (top pane): one row per setting of the active
// project, the check box showing AutoExec. Rows mirror the view's records;
// the list never changes a record itself.
class CSetupListCtrl : public SubclassedControl {
public:
    explicit CSetupListCtrl(GlobalOptions& options) : options_(options) {}

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
    void ApplyWidths();
    void ApplyFont(const FontChoice& choice) { font_.Apply(Handle(), choice); }
    bool HasCustomFont() const { return font_.Custom(); }

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

private:
    void SetChecked(int row, bool checked);
    GlobalOptions& options_;
    std::wstring dateFormat_, blankDate_;
    OwnedFont font_;
    bool painting_ = false;
};

}  // namespace tandrel
