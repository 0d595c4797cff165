#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>

#include "engine/EngineHost.h"
#include "engine/MirrorBatch.h"

namespace tandrel {

class CReportListCtrl;

// The engine's voice in the windows. Every call comes from the worker
// thread. Report rows and the status line do not wait for the window: they
// are kept here and in the report list, and the window shows them about ten
// times a second (Refresh, on its own thread). Everything else is a sent
// message, which first brings rows and status up to date, so a box or a
// changed setting row never shows ahead of the report. Boxes are shown by
// the worker itself, owned by the view.
class CWindowEngineHost : public EngineHost {
public:
    // The view is asked to refresh by kRefreshMessage: wParam 0 when it is to
    // start its refresh timer, 1 when it is to refresh at once. A box the
    // batch's worker shows after its run (the after-completion step) is
    // named in the status line as what the worker waits for.
    CWindowEngineHost(HWND frame, HWND view, CReportListCtrl& report, UINT refreshMessage, const MirrorBatch& batch)
        : frame_(frame), view_(view), report_(report), refreshMessage_(refreshMessage), batch_(batch) {}

    void SetStatus(const wchar_t* text, const wchar_t* detail) override;
    void AddReportRow(const ReportRow& row) override;
    int MeasureReportText(const std::wstring& text) override;
    void SettingRunState(FolderSetting& setting, SettingMark mark) override;
    void RunState(RunPhase phase) override;
    void EnableClose(bool enable) override;
    void ClearReport() override;
    int ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT style) override;
    bool IsCtrlDown() override;
    DeleteChoice ConfirmDelete(const DeleteConfirmation& file) override;
    void StoreRunResults() override;
    void PostClose() override;
    void EndAutomaticState() override;

    // Window thread: shows the kept rows and status text. False when there
    // was nothing to show; then the timer may stop (Idle answers whether it
    // may, atomically with the worker's next request for it).
    bool Refresh();
    bool Idle();
    // The session ends: boxes answer at once (stop, no, cancel) and no file
    // is deleted on a confirmation nobody gave.
    void AnswerBoxesUnasked(bool on) { unasked_ = on; }
    // A box of the run waits for the user.
    bool Waiting() const { return waiting_; }

private:
    // Worker thread: asks the view for its timer unless it runs already.
    void Kick();
    // Worker thread: the window shows everything kept so far.
    void Sync();
    // Worker thread: a box opens (true) or was answered.
    void Wait(bool waiting);

    HWND frame_;
    HWND view_;
    CReportListCtrl& report_;
    UINT refreshMessage_;
    const MirrorBatch& batch_;
    std::mutex mutex_;
    // The status calls since the last refresh, folded into one: a null text
    // keeps the one before, idle shows the idle text after taking them.
    std::wstring status_, detail_;
    bool hasStatus_ = false, hasDetail_ = false;
    bool idle_ = false;
    bool statusPending_ = false;
    bool timerWanted_ = false;
    std::atomic<bool> unasked_{false};
    std::atomic<bool> waiting_{false};
};

}  // namespace tandrel
