#include "ui/RunControl.h"

#include <algorithm>

#include "framework/Background.h"
#include "platform/Messages.h"
#include "platform/Strings.h"
#include "resource_ui.h"
#include "ui/ProgressText.h"
#include "ui/TandrelView.h"
#include "ui/UserMessages.h"

namespace tandrel {

namespace {

constexpr UINT kAutoStartDelayMs = 500;
// Report rows and the status line reach the screen at most this often.
constexpr UINT kRefreshPeriodMs = 100;
// The progress pane changes at most this often.
constexpr DWORD kProgressPeriodMs = 300;
// How long the end of a session waits for a cancelled run.
constexpr DWORD kSessionEndWaitMs = 10000;

}  // namespace

RunControl::RunControl(CTandrelView& view, AppState& options, ViewFrame& frame,
                       std::vector<FolderSetting>& settings, CommandList& commands, CSetupListCtrl& setupList,
                       CReportListCtrl& reportList, TrayIcon& tray)
    : view_(view),
      options_(options),
      frame_(frame),
      settings_(settings),
      commands_(commands),
      setupList_(setupList),
      reportList_(reportList),
      tray_(tray) {}

RunControl::~RunControl() = default;

HWND RunControl::Handle() const {
    return view_.Handle();
}

HWND RunControl::FrameHandle() const {
    return frame_.FrameWindow();
}

void RunControl::UpdateCommands() {
    frame_.RequestCommandUpdate();
}

void RunControl::Create() {
    host_ = std::make_unique<CWindowEngineHost>(FrameHandle(), Handle(), reportList_, WM_TANDREL_REFRESH, batch_);
}

void RunControl::ScheduleAutoStart() {
    if (options_.autoStart || options_.runMode == RunModeExit || options_.afterAction == RunModeExit) {
        autoStartPending_ = true;
        SetTimer(Handle(), kAutoStartTimer, kAutoStartDelayMs, nullptr);
    }
}

void RunControl::Stop() {
    KillTimer(Handle(), kAutoStartTimer);
    KillTimer(Handle(), kRefreshTimer);
    KillTimer(Handle(), kMediaTimer);
}

bool RunControl::OnTimer(UINT_PTR id) {
    if (id == kAutoStartTimer) {
        KillTimer(Handle(), kAutoStartTimer);
        autoStartPending_ = false;
        autoStartWaiting_ = true;
        ServeWaitingRuns();
    } else if (id == kMediaTimer) {
        if (media_.GiveUpSlowReads(GetTickCount64()) || !media_.Waiting()) MediaSearchEnded();
        ServeWaitingRuns();
    } else if (id == kRefreshTimer) {
        const bool shown = host_->Refresh();
        ShowProgress(false);
        if (restoreAsked_ && !Busy()) ServeRestore();
        // The timer goes on while a run does: the progress pane moves even
        // while one large file is copied. Its ticks also wake the message
        // loop once the worker has left its after-completion step.
        if (!shown && !Busy() && !progressShown_ && host_->Idle()) KillTimer(Handle(), kRefreshTimer);
    } else {
        return false;
    }
    return true;
}

void RunControl::OnRefresh(WPARAM wParam) {
    if (wParam == 0) SetTimer(Handle(), kRefreshTimer, kRefreshPeriodMs, nullptr);
    host_->Refresh();
}

void RunControl::OnMediaRead(WPARAM wParam, LPARAM lParam) {
    media_.Read(static_cast<DWORD>(wParam), *TakePosted<std::vector<ArrivedVolume>>(lParam));
    MediaSearchEnded();
    ServeWaitingRuns();
}

void RunControl::StartRun(bool test, bool allSettings, RunOrigin origin) {
    // A worker still finishing the last run reads the batch: it is not
    // rewritten under it. Once a run has asked the program to close, no
    // other starts.
    if (Busy() || batch_.closePosted) return;
    ranOnce_ = true;
    reportList_.SetDateFormat(options_.FormatReportFileTime);
    if (allSettings) {
        for (FolderSetting& s : settings_) s.runSelection = 0;
        setupList_.SelectOnly({});
    } else {
        view_.MarkSelection();
    }
    setupList_.currentRow = -1;
    batch_.running = true;
    batch_.testMode = test;
    batch_.autoOnly = allSettings;
    batch_.startedAutomatically = origin == RunOrigin::CommandLine;
    batch_.mayEndProgram = origin != RunOrigin::Media;
    // Started with "logoff": the folder and log checks ask no questions.
    batch_.logOffMode = options_.noSave;
    batch_.restore = restoreNext_.has_value();
    batch_.restoreTarget = restoreNext_ ? restoreNext_->target : std::wstring();
    restoreNext_.reset();
    batch_.settings = &settings_;
    batch_.commands = &commands_;
    batch_.options = &options_;
    batch_.afterChoice = AfterChoice::Of(options_).Pack();
    batch_.host = host_.get();
    batch_.currentIndex = 0;
    batch_.cancelRequested = false;
    // No figure of the last run shows before the worker's first.
    batch_.progress.StartBatch(0);
    if (!view_.startBatch || !view_.startBatch(batch_)) batch_.running = false;
    // The progress pane follows the run on the refresh timer, to its end
    // however short the run.
    if (batch_.running) {
        progressShown_ = true;
        SetTimer(Handle(), kRefreshTimer, kRefreshPeriodMs, nullptr);
    }
    UpdateCommands();
}

void RunControl::StartRestore(int row, const std::wstring& target) {
    if (Busy() || batch_.closePosted) return;
    setupList_.SelectOnly({row});
    restoreNext_ = Restore{row, target};
    StartRun(true, false);
    if (batch_.running) restoreAsked_ = Restore{row, target};
}

void RunControl::ServeRestore() {
    // Taken first: the refresh timer goes on while the question is open.
    const Restore restore = *restoreAsked_;
    restoreAsked_.reset();
    // A test that was cancelled, stopped or skipped the setting shows no
    // whole plan to agree to.
    if (batch_.end == BatchEnd::Aborted || batch_.end == BatchEnd::Skipped) return;
    if (restore.row < 0 || static_cast<size_t>(restore.row) >= settings_.size()) return;
    const std::wstring into = restore.target.empty() ? settings_[static_cast<size_t>(restore.row)].Master : restore.target;
    if (ShowMessageFormat(FrameHandle(), IDS_RESTORE_GO, IDS_RESTORE_CAPTION, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2,
                          into) != IDYES)
        return;
    if (!IsWindow(Handle()) || Busy() || batch_.closePosted) return;
    setupList_.SelectOnly({restore.row});
    restoreNext_ = restore;
    StartRun(false, false);
}

void RunControl::ShowProgress(bool now) {
    const bool running = batch_.running;
    if (!running && !progressShown_) return;
    const DWORD tick = GetTickCount();
    if (running && !now && tick - lastProgress_ < kProgressPeriodMs) return;
    lastProgress_ = tick;
    const ProgressFigures figures = batch_.progress.Read();
    const std::wstring line = ProgressLine(figures);
    frame_.ShowProgress(line);
    tray_.SetTip(running ? line : std::wstring());
    frame_.Taskbar().Show(FrameHandle(), TaskbarStateOf(running, host_->Waiting(), figures), figures);
    // The end is told once the after-completion step is over: its command
    // may still fail.
    progressShown_ = Busy();
    if (progressShown_ || IsWindowVisible(FrameHandle())) return;
    // Hidden in the tray: the end of the run comes to the user.
    tray_.ShowBalloon(LoadText(IDS_APP_TITLE), EndStatusText(batch_) + L"\n" + line, batch_.end != BatchEnd::Clean);
}

void RunControl::Cancel() {
    if (!batch_.running) return;
    const std::wstring text = LoadText(IDS_CANCELLING);
    SendMessageW(FrameHandle(), WM_TANDREL_STATUS, reinterpret_cast<WPARAM>(text.c_str()), 0);
    batch_.cancelRequested = true;
}

void RunControl::EndSession(bool final) {
    if (Busy()) host_->AnswerBoxesUnasked(true);
    if (batch_.running) Cancel();
    if (!final) return;
    // The worker stops at its next file; the messages it sends on its way
    // out (results, status) are served meanwhile.
    const DWORD start = GetTickCount();
    while (Busy() && GetTickCount() - start < kSessionEndWaitMs) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_SENDMESSAGE);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    // Records a worker still holds are not written under it.
    if (!batch_.running) view_.StoreAll();
}

bool RunControl::Quiet() const {
    return !Busy() && !batch_.closePosted && !frame_.ModalOpen() && !frame_.InMenu();
}

void RunControl::RestoreStatus() {
    if (!ranOnce_) {
        SendMessageW(FrameHandle(), WM_TANDREL_STATUS, 0, 0);
        return;
    }
    const std::wstring text = EndStatusText(batch_);
    SendMessageW(FrameHandle(), WM_TANDREL_STATUS, reinterpret_cast<WPARAM>(text.c_str()),
                 reinterpret_cast<LPARAM>(L""));
}

void RunControl::ServeWaitingRuns() {
    if ((!autoStartWaiting_ && !media_.Waiting()) || !Quiet()) return;
    if (autoStartWaiting_) {
        autoStartWaiting_ = false;
        StartRun(false, true, options_.autoStart ? RunOrigin::CommandLine : RunOrigin::User);
        return;
    }
    if (autoStartPending_) return;
    const ULONGLONG now = GetTickCount64();
    if (media_.Ready(now)) {
        HandleMedia(media_.Take());
        return;
    }
    if (const DWORD drives = media_.StartReading(now)) {
        const std::wstring text = LoadText(IDS_MEDIA_DETECTING);
        SendMessageW(FrameHandle(), WM_TANDREL_STATUS, reinterpret_cast<WPARAM>(text.c_str()),
                     reinterpret_cast<LPARAM>(L""));
        // Each drive on a thread of its own: one that does not answer holds
        // back no other.
        for (int unit = 0; unit < 26; ++unit) {
            const DWORD drive = drives & (1u << unit);
            if (!drive) continue;
            PostWhenDone<std::vector<ArrivedVolume>>(Handle(), WM_TANDREL_MEDIA_READ, drive,
                                                     [read = view_.readLabels, drive] { return read(drive); });
        }
    }
}

void RunControl::MediaSearchEnded() {
    // Nothing left to run for: the status line has its earlier text again.
    if (!media_.Waiting() && !Busy()) RestoreStatus();
    if (!media_.Waiting()) KillTimer(Handle(), kMediaTimer);
}

void RunControl::MediaArrived(DWORD drives) {
    if (!options_.ExecIfDetectMedia) return;
    if (!media_.Arrive(drives, GetTickCount64())) return;
    // Wakes the window while arrivals settle and reads are out.
    SetTimer(Handle(), kMediaTimer, kMediaTickMs, nullptr);
    ServeWaitingRuns();
}

void RunControl::HandleMedia(const std::vector<ArrivedVolume>& volumes) {
    const std::vector<int> rows = options_.ExecIfDetectMedia ? SettingsForMedia(settings_, volumes) : std::vector<int>{};
    const int action = options_.DetectMediaAction;
    const bool test = action != 2 && action != 4;
    bool run = !rows.empty();
    // Anything but an immediate run asks first.
    if (run && action != 3 && action != 4) {
        std::vector<std::wstring> names;
        for (int row : rows) names.push_back(settings_[static_cast<size_t>(row)].Name);
        // In front and told on the taskbar, as the run's boxes: the window
        // may sit in the tray or behind others.
        FLASHWINFO flash{sizeof flash, FrameHandle(), FLASHW_TRAY | FLASHW_TIMERNOFG, 0, 0};
        FlashWindowEx(&flash);
        run = ShowMessage(FrameHandle(), MediaQuestion(test, volumes, names), LoadText(IDS_MEDIA_CAPTION),
                          MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
        // The program began to close while the question was open.
        if (!IsWindow(Handle()) || batch_.closePosted) run = false;
    }
    media_.Handled();
    if (!run) {
        RestoreStatus();
        return;
    }
    // The settings that run are selected, as for a run of selected settings.
    setupList_.SelectOnly(rows);
    StartRun(test, false, RunOrigin::Media);
}

}  // namespace tandrel
