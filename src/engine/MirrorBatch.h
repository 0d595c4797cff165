#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "engine/EngineHost.h"
#include "engine/RunProgress.h"
#include "model/AppState.h"

namespace tandrel {

// How a batch ended, as its last status text and its end box say.
enum class BatchEnd {
    Clean,    // every setting finished without an error
    Skipped,  // no error, but a setting was skipped (folder or volume missing)
    Errors,   // errors were counted, ignored or not
    Aborted,  // cancelled, answered with Abort or stopped by a fatal error
};

// The after-completion choice of the window's list and menu, handed to the
// worker as one value: the window changes several fields for one choice,
// and the worker must never see half of it.
struct AfterChoice {
    int runMode = RunModeNothing;  // the list's line
    int afterAction = 0;           // the chosen command's closing follow-up, else 0
    int commandIndex = -1;         // the chosen command in the global list

    static AfterChoice Of(const AppState& options);
    std::uint32_t Pack() const;
    static AfterChoice Unpack(std::uint32_t packed);
    // The action or the command's follow-up ends the program.
    bool Closing() const;
};

// The parameter block of one run, owned by the main view; the worker thread
// only borrows it. Shared between the threads is exactly what is atomic here
// and the run fields of the settings.
struct MirrorBatch {
    // Set by the view before the thread starts, cleared by the worker at the end.
    std::atomic<bool> running{false};
    bool testMode = false;
    // All-settings run: every setting with AutoExec; otherwise those whose
    // runSelection is non-zero.
    bool autoOnly = false;
    // Started from the command line (schedule gate, unattended rules).
    bool startedAutomatically = false;
    // The after-completion action may end the program (and power the machine
    // off). A run the program started by itself, for a medium the user
    // plugged in, leaves the program and the machine as they are.
    bool mayEndProgram = true;
    // The program was started with "logoff": folder and log problems end the
    // batch without a box.
    bool logOffMode = false;
    // A restore from the backup: each setting runs backwards (RestoreWork)
    // into its master, or into restoreTarget when that is given; nothing is
    // deleted, renamed or stored as the setting's last run, and no
    // after-completion step follows.
    bool restore = false;
    std::wstring restoreTarget;
    std::vector<FolderSetting>* settings = nullptr;
    // The active project's commands that the settings refer to by id.
    const CommandList* commands = nullptr;
    // The program-wide options (logs, system names, global commands). Read
    // by the worker; it writes only the run outcome below and
    // powerActionAtExit (set by a clean completion). The after-completion
    // fields are the window's: the worker reads afterChoice instead.
    AppState* options = nullptr;
    // AfterChoice::Pack of the window's choice; set by the view before the
    // run and replaced whole by the window whenever the choice changes.
    std::atomic<std::uint32_t> afterChoice{0};
    EngineHost* host = nullptr;
    std::atomic<int> currentIndex{0};
    // Set by the view's cancel command and by the worker on Abort.
    std::atomic<bool> cancelRequested{false};
    // The worker has asked the program to close: nothing starts any more.
    std::atomic<bool> closePosted{false};
    // A worker thread serves this batch; StartBatch refuses a second one.
    // (running may already be set by the view before StartBatch.)
    std::atomic<bool> workerActive{false};
    // The worker thread of the last batch, until JoinBatch.
    HANDLE thread = nullptr;

    // Outcome, valid once running is false again.
    int result = 1;             // 1 every processed setting finished, 0 the batch stopped
    int worstLevel = 0;         // 0 none … 4 fatal
    bool cleanCompletion = false;
    // The automatic state of a command-line start is over (the view then
    // enables the after-completion list again).
    bool endAutomaticState = false;
    BatchEnd end = BatchEnd::Clean;
    int settingsWithErrors = 0;
    int settingsSkipped = 0;
    std::int64_t errorCount = 0;
    // How the after-completion command failed; valid once workerActive is false.
    std::wstring afterFailure;

    // Counters and times for the window while the batch runs.
    RunProgress progress;
};

// The status line's last text of a finished batch (with a failed
// after-completion command, that failure).
std::wstring EndStatusText(const MirrorBatch& batch);

// Exit codes of a command-line run, worst first wins.
enum RunExitCode {
    ExitAllFine = 0,   // every setting finished without error
    ExitSkipped = 1,   // a setting was skipped (folder or volume missing)
    ExitErrors = 2,    // a setting had errors, or the after-completion command failed
    ExitAborted = 3,   // the batch was cancelled or stopped by a fatal error
};

// Starts the worker thread for a filled batch; false when a run is already
// in progress or the thread cannot be started (running is then false).
bool StartBatch(MirrorBatch& batch);
// Waits until the worker thread of the last batch has returned.
void JoinBatch(MirrorBatch& batch);

}  // namespace tandrel
