#include "ui/WindowEngineHost.h"

#include "framework/DialogFont.h"
#include "framework/Window.h"
#include "platform/Messages.h"
#include "platform/Strings.h"
#include "resource.h"
#include "ui/ListTexts.h"
#include "ui/ReportListCtrl.h"
#include "ui/UserMessages.h"

namespace tandrel {

namespace {

class CConfirmDeleteDlg : public Dialog {
public:
    explicit CConfirmDeleteDlg(const DeleteConfirmation& file) : Dialog(IDD_CONFIRM_DELETE), file_(file) {}

protected:
    bool OnInit() override {
        SetItemText(IDC_DELETE_NAME, file_.path);
        SetItemText(IDC_DELETE_TIME, file_.timeText);
        SetItemText(IDC_DELETE_SIZE, Format(LoadText(IDS_DELETE_SIZE).c_str(), GroupedNumber(file_.size).c_str()));
        return true;
    }
    bool OnCommand(int id, int) override {
        switch (id) {
            case IDC_DELETE_THIS: Answer(DeleteChoice::Delete); return true;
            case IDC_DELETE_ALL: Answer(DeleteChoice::DeleteAll); return true;
            case IDC_DELETE_SKIP: Answer(DeleteChoice::Skip); return true;
            // Closing the box keeps the file, as skipping does.
            case IDCANCEL: Answer(DeleteChoice::Skip); return true;
            case IDC_DELETE_ABORT: Answer(DeleteChoice::Abort); return true;
        }
        return false;
    }

private:
    // Zero is the system's answer for a box that could not be shown.
    void Answer(DeleteChoice choice) { End(static_cast<INT_PTR>(choice) + 1); }
    const DeleteConfirmation& file_;
};

}  // namespace

void CWindowEngineHost::SetStatus(const wchar_t* text, const wchar_t* detail) {
    SendMessageW(frame_, WM_TANDREL_STATUS, reinterpret_cast<WPARAM>(text), reinterpret_cast<LPARAM>(detail));
}

void CWindowEngineHost::AddReportRow(const ReportRow& row) {
    report_.AddRow(row);
}

int CWindowEngineHost::MeasureReportText(const std::wstring& text) {
    return report_.MeasureText(text);
}

void CWindowEngineHost::SettingRunState(FolderSetting& setting, int state) {
    SendMessageW(view_, WM_TANDREL_SETTING_RUN, static_cast<WPARAM>(state), reinterpret_cast<LPARAM>(&setting));
}

void CWindowEngineHost::RunState(int state) {
    SendMessageW(frame_, WM_TANDREL_RUN_STATE, static_cast<WPARAM>(state), 0);
}

void CWindowEngineHost::EnableClose(bool enable) {
    SendMessageW(frame_, WM_TANDREL_CLOSE_MENU, enable ? 1 : 0, 0);
}

void CWindowEngineHost::ClearReport() {
    report_.Clear();
}

int CWindowEngineHost::ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT style) {
    return ShowMessage(view_, text, caption, style);
}

bool CWindowEngineHost::IsCtrlDown() {
    // The worker thread has no keyboard state of its own.
    return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
}

DeleteChoice CWindowEngineHost::ConfirmDelete(const DeleteConfirmation& file) {
    CConfirmDeleteDlg dialog(file);
    const INT_PTR result = RunDialogInUserFont(dialog, frame_);
    // A dialog that could not be shown must not delete anything.
    if (result < 1 || result > static_cast<INT_PTR>(DeleteChoice::Abort) + 1) return DeleteChoice::Skip;
    return static_cast<DeleteChoice>(result - 1);
}

void CWindowEngineHost::StoreRunResults() {
    SendMessageW(view_, WM_TANDREL_STORE_RESULTS, 0, 0);
}

void CWindowEngineHost::PostClose() {
    PostMessageW(frame_, WM_CLOSE, 0, 0);
}

void CWindowEngineHost::EndAutomaticState() {
    SendMessageW(frame_, WM_TANDREL_AUTO_ENDED, 0, 0);
}

}  // namespace tandrel
