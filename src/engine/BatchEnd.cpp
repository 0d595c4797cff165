// The end of a batch: its results stored, the after-completion choice
// carried out, the exit code and the box that tells how it went.
#include <algorithm>

#include "engine/MirrorWorker.h"
#include "platform/Environment.h"
#include "platform/Figures.h"
#include "platform/Strings.h"
#include "platform/ToolLaunch.h"
#include "settings/SettingsStore.h"
#include "resource_engine.h"
#include "resource_settings.h"

namespace tandrel {

namespace {

bool Closing(int action) {
    return action >= RunModeExit && action <= RunModeShutdown;
}

}  // namespace

AfterChoice AfterChoice::Of(const AppState& options) {
    return {options.runMode, options.afterAction, options.commandIndex};
}

std::uint32_t AfterChoice::Pack() const {
    // Lines and command indices stay below 256 (100 commands at most).
    const auto byte = [](int value) { return static_cast<std::uint32_t>(std::clamp(value, 0, 255)); };
    return byte(runMode) | byte(afterAction) << 8 | byte(commandIndex + 1) << 16;
}

AfterChoice AfterChoice::Unpack(std::uint32_t packed) {
    return {static_cast<int>(packed & 0xFF), static_cast<int>(packed >> 8 & 0xFF),
            static_cast<int>(packed >> 16 & 0xFF) - 1};
}

bool AfterChoice::Closing() const {
    return tandrel::Closing(runMode) || tandrel::Closing(afterAction);
}

void MirrorWorker::FinishBatch(int result, std::time_t batchStart) {
    EngineHost& host = *batch_.host;
    // A setting that ended the batch early leaves no pointer to its copy.
    policy_.SetSetting(nullptr);
    current_ = nullptr;
    if (result == 0 || batch_.cancelRequested) {
        batch_.end = BatchEnd::Aborted;
    } else if (batch_.settingsWithErrors > 0) {
        batch_.end = BatchEnd::Errors;
    } else if (batch_.settingsSkipped > 0) {
        batch_.end = BatchEnd::Skipped;
    } else {
        batch_.end = BatchEnd::Clean;
    }
    policy_.SetStatus(EndStatusText(batch_), L"");
    log_.Close();
    batch_.result = result;
    batch_.worstLevel = policy_.worstLevel();
    const bool automatic = batch_.startedAutomatically;
    const bool clean = !batch_.cancelRequested && !batch_.testMode && result == 1;
    batch_.cleanCompletion = clean;
    if (result == 0 || batch_.cancelRequested) RaiseExitCode(ExitAborted);
    host.StoreRunResults();
    NoteUnsavedSettings();
    batch_.progress.EndBatch();
    // The run is over before anything that closes the program or waits for
    // a person: a close posted now can no longer be refused as "running",
    // and the window is usable while a box or a command is open. Only the
    // window's own close stays off until the step is done: it would be
    // refused meanwhile.
    batch_.running = false;
    AfterCompletion(clean, automatic, batchStart);
    host.EnableClose(true);
    batch_.workerActive = false;
}

void MirrorWorker::RaiseExitCode(int code) {
    exitCode_ = std::max(exitCode_, code);
    // Only a command-line run tells its outcome through the exit code.
    if (batch_.startedAutomatically) batch_.options->exitCode = exitCode_;
}

void MirrorWorker::NoteUnsavedSettings() {
    if (unsavedNoted_ || !options_.settingsWriteError) return;
    unsavedNoted_ = true;
    const unsigned text = options_.useRegistry ? IDS_REGISTRY_UNWRITABLE : IDS_INI_UNWRITABLE;
    log_.WriteErrorBlock(LevelError, LoadText(IDS_INI_OPEN), SettingsNoticeText(options_, text));
    RaiseExitCode(ExitErrors);
}

void MirrorWorker::CloseProgram(bool powerAction) {
    batch_.options->powerActionAtExit = powerAction;
    batch_.closePosted = true;
    batch_.host->PostClose();
}

void MirrorWorker::EndAutomaticState() {
    // A run for a medium is no part of the command line's automatic run,
    // which may still be waiting to start.
    if (!batch_.mayEndProgram) return;
    batch_.endAutomaticState = true;
    // The step is over: a close that comes as soon as the window looks free
    // again is kept until the worker has left, not refused as mid-step.
    batch_.host->EnableClose(true);
    batch_.host->EndAutomaticState();
}

void MirrorWorker::AfterCompletion(bool clean, bool automatic, std::time_t batchStart) {
    // Read once: a change in the window from here on is for the next run.
    const AfterChoice choice = AfterChoice::Unpack(batch_.afterChoice);
    const int action = choice.runMode;
    const bool closingFollowUp = Closing(choice.afterAction);
    // A restore is the user's errand, with no action to follow it.
    if (batch_.restore) return;
    if (!batch_.mayEndProgram && choice.Closing()) return;
    if (!clean) {
        if (options_.AutoExitWhenError && automatic && choice.Closing()) {
            CloseProgram(false);
        } else if (action == RunModeMessage && !batch_.testMode) {
            // The message the user asked for says that the batch stopped.
            ShowEndBox();
        }
        return;
    }
    if (action == RunModeNothing) {
        EndAutomaticState();
        return;
    }
    if (action == RunModeMessage) {
        ShowEndBox();
        return;
    }
    if (Closing(action)) {
        CloseProgram(true);
        return;
    }
    const CommandList& commands = options_.commands;
    const int index = choice.commandIndex;
    if (index < 0 || index >= std::min(commands.Count(), 100) || commands.At(index).path.empty()) {
        policy_.ShowPlainBox(LoadText(IDS_AFTER_TOOL_MISSING), LoadText(IDS_AFTER_TOOL_CAPTION), MB_TOPMOST | MB_ICONHAND);
        RaiseExitCode(ExitErrors);
        EndAutomaticState();
        return;
    }
    const CommandEntry& command = commands.At(index);
    const std::wstring name = command.DisplayName();
    policy_.SetStatus(InsertArgs(LoadText(IDS_COMMAND_RUNNING), name), L"");
    const ToolCommandLine line = ExpandToolCommandLine(command.path, command.param, ActiveProjectOf(options_), {},
                                                       lastCompleted_ ? &*lastCompleted_ : nullptr, batchStart);
    ToolExit exit;
    if (closingFollowUp) {
        // The follow-up goes by the command's exit code: it is waited for.
        exit = RunToolAndWait(line.program, line.parameters, command.window);
    } else if (LaunchTool(line.program, line.parameters, command.window, false)) {
        exit.outcome = ToolExit::Exited;
    } else {
        exit.error = GetLastError();
    }
    if (exit.outcome != ToolExit::Exited || exit.exitCode != 0) {
        AfterCommandFailed(name, exit, batchStart);
        if (closingFollowUp) {
            // No follow-up and no power action; an unattended run that is to
            // end the program ends it all the same.
            batch_.cleanCompletion = false;
            if (automatic && options_.AutoExitWhenError) {
                CloseProgram(false);
                return;
            }
        }
        EndAutomaticState();
        return;
    }
    if (closingFollowUp) {
        CloseProgram(true);
        return;
    }
    policy_.SetStatus(EndStatusText(batch_), L"");
    EndAutomaticState();
}

void MirrorWorker::AfterCommandFailed(const std::wstring& name, const ToolExit& exit, std::time_t batchStart) {
    const std::wstring how =
        exit.outcome == ToolExit::NotStarted || exit.outcome == ToolExit::WaitFailed
            ? Format(LoadText(IDS_AFTER_COMMAND_NOT_RUN).c_str(), name.c_str(),
                     WithoutFinalBreak(SystemErrorText(exit.error)).c_str())
            : Format(LoadText(IDS_COMMAND_EXIT_ERROR).c_str(), name.c_str(), static_cast<int>(exit.exitCode));
    RaiseExitCode(ExitErrors);
    if (batch_.end == BatchEnd::Clean) batch_.end = BatchEnd::Errors;
    batch_.afterFailure = Format(LoadText(IDS_AFTER_COMMAND_FAILED).c_str(), how.c_str());
    policy_.RaiseLevel(LevelError);
    policy_.Report(RowAction::Error, batch_.afterFailure, RowToList);
    // The batch's log was closed with its last setting; the failure joins it.
    FolderSetting noOwnLog;
    if (!log_.Open(noOwnLog, batchStart)) {
        log_.Write(kLogHeaderLevel, batch_.afterFailure + L"\r\n");
        log_.Close();
    }
    policy_.SetStatus(batch_.afterFailure, L"");
}

void MirrorWorker::ShowEndBox() {
    std::wstring text;
    UINT icon = MB_ICONWARNING;
    unsigned caption = IDS_BACKUP_DONE_CAPTION;
    const std::wstring skipped =
        batch_.settingsSkipped > 0 ? Format(LoadText(IDS_BACKUP_SKIPPED_COUNT).c_str(), batch_.settingsSkipped) : L"";
    switch (batch_.end) {
        case BatchEnd::Clean:
            text = LoadText(IDS_BACKUP_DONE);
            icon = MB_ICONINFORMATION;
            break;
        case BatchEnd::Errors:
            text = Format(LoadText(IDS_BACKUP_DONE_ERRORS).c_str(), batch_.settingsWithErrors,
                          std::to_wstring(batch_.errorCount).c_str()) +
                   skipped;
            break;
        case BatchEnd::Skipped:
            text = LoadText(IDS_BACKUP_DONE_SKIPPED) + skipped;
            break;
        case BatchEnd::Aborted:
            text = LoadText(IDS_BACKUP_ABORTED);
            caption = IDS_ABORT_CAPTION;
            break;
    }
    policy_.ShowPlainBox(text, LoadText(caption), MB_TOPMOST | icon);
}

std::wstring EndStatusText(const MirrorBatch& batch) {
    if (!batch.afterFailure.empty()) return batch.afterFailure;
    switch (batch.end) {
        case BatchEnd::Errors: return LoadText(IDS_STATUS_DONE_ERRORS);
        case BatchEnd::Skipped: return LoadText(IDS_STATUS_DONE_SKIPPED);
        case BatchEnd::Aborted: return LoadText(IDS_STATUS_ABORTED);
        case BatchEnd::Clean: break;
    }
    return LoadText(IDS_STATUS_DONE);
}

}  // namespace tandrel
