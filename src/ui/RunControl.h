#pragma once
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/MirrorBatch.h"
#include "model/CommandList.h"
#include "model/FolderSetting.h"
#include "model/AppState.h"
#include "ui/MediaDetection.h"
#include "ui/ReportListCtrl.h"
#include "ui/SetupListCtrl.h"
#include "ui/TrayIcon.h"
#include "ui/ViewFrame.h"
#include "ui/WindowEngineHost.h"

namespace tandrel {

class CTandrelView;

// Who asked for a run: the user, the command line, or a medium plugged in
// (a run the program starts by itself, which never ends the program).
enum class RunOrigin { User, CommandLine, Media };

// The view's runs: starting one, following it on the refresh tick to its
// end, and the runs that wait for a quiet moment (the automatic start, media
// arrivals). It owns the batch, the engine's voice and the media search; the
// view owns the records it runs over and passes on its timers and messages.
class RunControl {
public:
    static constexpr UINT_PTR kAutoStartTimer = 1001;
    static constexpr UINT_PTR kRefreshTimer = 1002;
    static constexpr UINT_PTR kMediaTimer = 1003;
    static constexpr UINT kMediaTickMs = 250;

    RunControl(CTandrelView& view, AppState& options, ViewFrame& frame, std::vector<FolderSetting>& settings,
               CommandList& commands, CSetupListCtrl& setupList, CReportListCtrl& reportList, TrayIcon& tray);
    ~RunControl();
    RunControl(const RunControl&) = delete;
    RunControl& operator=(const RunControl&) = delete;

    // The engine's voice, once the view's window and lists exist.
    void Create();
    // The automatic run after the start-up delay, when one is due.
    void ScheduleAutoStart();
    // The run's timers, as the view's window goes.
    void Stop();
    // One of the run's timers went off; false when the id is not one of them.
    bool OnTimer(UINT_PTR id);
    // The engine asked for its rows to be shown (0: and the tick to start).
    void OnRefresh(WPARAM wParam);
    // A drive's labels were read.
    void OnMediaRead(WPARAM wParam, LPARAM lParam);

    bool Running() const { return batch_.running; }
    // A run is going, or its worker is still in its after-completion step
    // (a box, a command): no run may start and the options stay as they are.
    bool Busy() const { return batch_.running || batch_.workerActive; }
    bool Finishing() const { return !batch_.running && batch_.workerActive; }
    bool CancelPending() const { return batch_.cancelRequested; }
    // Runs nobody asked for right now (the automatic start, a medium) start
    // only when nothing else goes on: no run, no worker finishing one, no
    // modal window of the program open.
    bool Quiet() const;
    // Starts what waited for a quiet moment; the message loop asks when idle.
    void ServeWaitingRuns();
    // Volumes arrived on the drives of the unit mask (bit 0 is A:).
    void MediaArrived(DWORD drives);
    void StartRun(bool test, bool allSettings, RunOrigin origin = RunOrigin::User);
    // A restore of one setting from its backup into its master (target
    // empty) or target: first a test run showing what it will do, then, when
    // that went through and the user says yes, the restore itself.
    void StartRestore(int row, const std::wstring& target);
    void Cancel();
    // The progress pane, the tray tip and the taskbar button from the
    // batch's counters, a few times a second (now: at once); after the run
    // once more with its final figures, and a balloon when the window is
    // hidden in the tray.
    void ShowProgress(bool now);
    // The progress pane still follows a run: its final figures are to come.
    bool ProgressFollowsRun() const { return progressShown_; }
    // Windows ends the session: the run stops without asking anybody; at
    // the end (final) the view waits for it a while and stores the project.
    void EndSession(bool final);

    MirrorBatch& Batch() { return batch_; }
    CWindowEngineHost& Host() { return *host_; }

private:
    void HandleMedia(const std::vector<ArrivedVolume>& volumes);
    // The status line back to the end of the last run, or idle before any.
    void RestoreStatus();
    // A read ended or was given up: with no drive left waiting, the status
    // line is put back and the search's timer stops.
    void MediaSearchEnded();
    HWND Handle() const;
    HWND FrameHandle() const;
    void UpdateCommands();
    // The test of a restore has ended: the question, and the restore.
    void ServeRestore();

    CTandrelView& view_;
    AppState& options_;
    ViewFrame& frame_;
    std::vector<FolderSetting>& settings_;
    CommandList& commands_;
    CSetupListCtrl& setupList_;
    CReportListCtrl& reportList_;
    TrayIcon& tray_;
    MirrorBatch batch_;
    std::unique_ptr<CWindowEngineHost> host_;
    // The automatic start's delay is running: media arrivals wait for the
    // automatic run, which alone may end the program.
    bool autoStartPending_ = false;
    bool autoStartWaiting_ = false;
    // A run has ended here: the status line keeps its end.
    bool ranOnce_ = false;
    MediaArrivals media_;
    DWORD lastProgress_ = 0;
    bool progressShown_ = false;
    // The restore the next StartRun makes, and the one whose test is running.
    struct Restore {
        int row = -1;
        std::wstring target;
    };
    std::optional<Restore> restoreNext_, restoreAsked_;
};

}  // namespace tandrel
