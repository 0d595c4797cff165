#include "ui/WindowEngineHost.h"

#include "framework/DialogFont.h"
#include "framework/Window.h"
#include "platform/Messages.h"
#include "platform/Strings.h"
#include "resource_ui.h"
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
        // A stray Enter keeps the backup file.
        SendMessageW(Handle(), DM_SETDEFID, IDC_DELETE_SKIP, 0);
        SetFocus(Item(IDC_DELETE_SKIP));
        return false;
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
    // Once per file: a store into buffers that keep their size, under one
    // lock; the window takes it on its tick.
    bool post = false;
    {
        std::lock_guard lock(mutex_);
        if (!text && !detail) {
            idle_ = true;
        } else {
            if (text) {
                status_.assign(text);
                hasStatus_ = true;
            }
            if (detail) {
                detail_.assign(detail);
                hasDetail_ = true;
            }
            idle_ = false;
        }
        statusPending_ = true;
        post = !timerWanted_;
        timerWanted_ = true;
    }
    if (post) PostMessageW(view_, refreshMessage_, 0, 0);
}

void CWindowEngineHost::AddReportRow(const ReportRow& row) {
    report_.AddRow(row);
    Kick();
}

void CWindowEngineHost::Kick() {
    bool post = false;
    {
        std::lock_guard lock(mutex_);
        post = !timerWanted_;
        timerWanted_ = true;
    }
    if (post) PostMessageW(view_, refreshMessage_, 0, 0);
}

void CWindowEngineHost::Sync() {
    SendMessageW(view_, refreshMessage_, 1, 0);
}

void CWindowEngineHost::Wait(bool waiting) {
    waiting_ = waiting;
    SendMessageW(frame_, WM_TANDREL_WAITING, waiting ? 1 : 0, 0);
}

bool CWindowEngineHost::Refresh() {
    std::optional<std::wstring> status, detail;
    bool pending = false, idle = false;
    {
        std::lock_guard lock(mutex_);
        pending = statusPending_;
        if (hasStatus_) status = status_;
        if (hasDetail_) detail = detail_;
        idle = idle_;
        statusPending_ = idle_ = hasStatus_ = hasDetail_ = false;
    }
    bool changed = report_.Refresh();
    if (!pending) return changed;
    if (status || detail) {
        SendMessageW(frame_, WM_TANDREL_STATUS, reinterpret_cast<WPARAM>(status ? status->c_str() : nullptr),
                     reinterpret_cast<LPARAM>(detail ? detail->c_str() : nullptr));
    }
    if (idle) SendMessageW(frame_, WM_TANDREL_STATUS, 0, 0);
    return true;
}

bool CWindowEngineHost::Idle() {
    std::lock_guard lock(mutex_);
    if (statusPending_ || report_.HasPending()) return false;
    timerWanted_ = false;
    return true;
}

int CWindowEngineHost::MeasureReportText(const std::wstring& text) {
    return report_.MeasureText(text);
}

void CWindowEngineHost::SettingRunState(FolderSetting& setting, SettingMark mark) {
    Sync();
    SendMessageW(view_, WM_TANDREL_SETTING_RUN, static_cast<WPARAM>(mark), reinterpret_cast<LPARAM>(&setting));
}

void CWindowEngineHost::RunState(RunPhase phase) {
    SendMessageW(frame_, WM_TANDREL_RUN_STATE, static_cast<WPARAM>(phase), 0);
}

void CWindowEngineHost::EnableClose(bool enable) {
    Sync();
    SendMessageW(frame_, WM_TANDREL_CLOSE_MENU, enable ? 1 : 0, 0);
}

void CWindowEngineHost::ClearReport() {
    SendMessageW(report_.Handle(), WM_TANDREL_REPORT_CLEAR, 0, 0);
}

int CWindowEngineHost::ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT style) {
    Sync();
    if (unasked_) {
        switch (style & MB_TYPEMASK) {
            case MB_ABORTRETRYIGNORE: return IDABORT;
            case MB_YESNO: return IDNO;
            case MB_OK: return IDOK;
            default: return IDCANCEL;
        }
    }
    // A box after the run (the after-completion step) is what the worker waits for.
    const bool afterRun = !batch_.running && batch_.workerActive;
    if (afterRun) {
        const std::wstring waiting = Format(LoadText(IDS_WAITING_FOR_BOX).c_str(), caption.c_str());
        SendMessageW(frame_, WM_TANDREL_STATUS, 0, reinterpret_cast<LPARAM>(waiting.c_str()));
    }
    Wait(true);
    const int answer = ShowMessage(view_, text, caption, style);
    Wait(false);
    if (afterRun) SendMessageW(frame_, WM_TANDREL_STATUS, 0, reinterpret_cast<LPARAM>(L""));
    return answer;
}

bool CWindowEngineHost::IsCtrlDown() {
    // The worker thread has no keyboard state of its own.
    return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
}

DeleteChoice CWindowEngineHost::ConfirmDelete(const DeleteConfirmation& file) {
    Sync();
    if (unasked_) return DeleteChoice::Abort;
    CConfirmDeleteDlg dialog(file);
    Wait(true);
    const INT_PTR result = RunDialogInUserFont(dialog, frame_);
    Wait(false);
    // A dialog that could not be shown must not delete anything.
    if (result < 1 || result > static_cast<INT_PTR>(DeleteChoice::Abort) + 1) return DeleteChoice::Skip;
    return static_cast<DeleteChoice>(result - 1);
}

void CWindowEngineHost::StoreRunResults() {
    Sync();
    SendMessageW(view_, WM_TANDREL_STORE_RESULTS, 0, 0);
}

void CWindowEngineHost::PostClose() {
    Sync();
    PostMessageW(frame_, WM_CLOSE, 0, kCloseFromRun);
}

void CWindowEngineHost::EndAutomaticState() {
    SendMessageW(frame_, WM_TANDREL_AUTO_ENDED, 0, 0);
}

}  // namespace tandrel
