#include "engine/MirrorWorker.h"

#include <process.h>

#include <algorithm>

#include "platform/Environment.h"
#include "platform/Figures.h"
#include "platform/Strings.h"
#include "platform/ToolLaunch.h"
#include "settings/SettingsStore.h"
#include "resource_engine.h"
#include "resource_settings.h"

namespace tandrel {

namespace {

bool SameLocalDay(std::time_t a, std::time_t b) {
    std::tm ta{}, tb{};
    if (localtime_s(&ta, &a) != 0 || localtime_s(&tb, &b) != 0) return false;
    return ta.tm_year == tb.tm_year && ta.tm_mon == tb.tm_mon && ta.tm_mday == tb.tm_mday;
}

bool Closing(int action) {
    return action >= RunModeExit && action <= RunModeShutdown;
}

}  // namespace

AfterChoice AfterChoice::Of(const GlobalOptions& options) {
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

MirrorWorker::MirrorWorker(MirrorBatch& batch)
    : batch_(batch),
      options_(*batch.options),
      log_(*batch.options, batch.testMode),
      policy_(batch, log_),
      ops_(policy_),
      exec_(ops_, batch.testMode),
      statusBackup_(LoadText(IDS_STATUS_BACKUP)),
      statusMirror_(LoadText(IDS_STATUS_MIRROR)) {}

bool MirrorWorker::Selected(const FolderSetting& setting, std::time_t now) const {
    if (batch_.autoOnly ? !setting.AutoExec : setting.runSelection == 0) return false;
    if (!batch_.startedAutomatically || setting.LastExec == -1) return true;
    if (setting.ScheduleType == ScheduleOncePerDay) return !SameLocalDay(setting.LastExec, now);
    if (setting.ScheduleType == ScheduleAfterHours) return (now - setting.LastExec) / 3600 >= setting.ScheduleTime;
    return true;
}

int MirrorWorker::Run() {
    EngineHost& host = *batch_.host;
    int result = 1;
    batch_.cleanCompletion = false;
    batch_.endAutomaticState = false;
    // Set again only by the close that a closing action posts.
    batch_.options->powerActionAtExit = false;
    batch_.end = BatchEnd::Clean;
    batch_.settingsWithErrors = batch_.settingsSkipped = 0;
    batch_.errorCount = 0;
    batch_.afterFailure.clear();
    batch_.progress.StartBatch(static_cast<int>(SelectedSettings(std::time(nullptr)).size()));
    ops_.SetProgress(&batch_.progress);
    host.EnableClose(false);
    host.ClearReport();

    const LogClearing cleared = log_.ClearGlobalLog();
    if (cleared.failure) {
        if (!batch_.logOffMode) policy_.ShowPlainBox(cleared.failure->text, cleared.failure->caption, cleared.failure->flags);
        result = 0;
        policy_.RaiseLevel(LevelFatal);
    }

    const std::time_t batchStart = std::time(nullptr);
    log_.NameGlobalLog(batchStart);
    try {
        result = RunSettings(result);
    } catch (...) {
        // Out of memory or the like: the setting in progress ends as failed
        // and the batch ends as any stopped batch does.
        SettingBrokeOff();
        result = 0;
    }
    FinishBatch(result, batchStart);
    return result;
}

std::vector<size_t> MirrorWorker::SelectedSettings(std::time_t now) const {
    std::vector<size_t> selected;
    for (size_t index = 0; index < batch_.settings->size(); ++index) {
        if (Selected((*batch_.settings)[index], now)) selected.push_back(index);
    }
    return selected;
}

RunCounts MirrorWorker::SettingCounts() const {
    RunCounts counts;
    if (!work_) return counts;
    counts.examined = examined_;
    counts.created = work_->status.created;
    counts.updated = work_->status.updated;
    counts.deleted = work_->status.deleted;
    counts.errors = std::max(work_->Errors, 0);
    counts.bytes = batch_.testMode ? plannedBytes_ : ops_.copiedBytes();
    return counts;
}

void MirrorWorker::PublishProgress() {
    const RunCounts setting = SettingCounts();
    RunCounts batch = batchDone_;
    batch += setting;
    batch_.progress.Publish(setting, batch);
}

void MirrorWorker::ReportSummary(const RunCounts& counts, std::int64_t seconds) {
    const auto number = [](std::int64_t n) { return std::to_wstring(n); };
    const std::wstring text =
        Format(LoadText(IDS_SUMMARY_TEXT).c_str(), number(counts.examined).c_str(), number(counts.created).c_str(),
               number(counts.updated).c_str(), number(counts.deleted).c_str(), number(counts.errors).c_str(),
               ByteSizeText(counts.bytes).c_str(), ElapsedText(seconds).c_str());
    policy_.Report(LoadText(IDS_ROW_SUMMARY), text, RowToList);
    // Also in a log of errors only: it says how many there were.
    log_.Write(kLogHeaderLevel, Format(LoadText(IDS_LOG_SUMMARY).c_str(), text.c_str()));
}

int MirrorWorker::RunSettings(int result) {
    EngineHost& host = *batch_.host;
    std::vector<FolderSetting>& settings = *batch_.settings;
    int number = 0;
    for (size_t index = 0; result == 1 && index < settings.size(); ++index) {
        // "中止" during the previous setting's after-command: nothing more starts.
        if (batch_.cancelRequested) {
            result = 0;
            policy_.RaiseLevel(LevelNotice);
            break;
        }
        FolderSetting& setting = settings[index];
        const std::time_t start = std::time(nullptr);
        batch_.currentIndex = static_cast<int>(index);
        if (!Selected(setting, start)) continue;

        setting.testFlag = batch_.testMode;
        setting.status = RunStatus{};
        {
            // The time left goes by what the setting and those after it
            // took last time in a run of this kind; one without such a run
            // leaves it unknown.
            const bool test = batch_.testMode;
            std::int64_t later = 0;
            for (const size_t next : SelectedSettings(start)) {
                if (next <= index) continue;
                const FolderSetting& s = settings[next];
                const std::int64_t files = test ? s.LastTestFiles : s.LastFiles;
                later = later < 0 || files <= 0 ? -1 : later + (test ? s.LastTestSeconds : s.LastSeconds);
            }
            batch_.progress.StartSetting(++number, test ? setting.LastTestFiles : setting.LastFiles,
                                         test ? setting.LastTestSeconds : setting.LastSeconds, later);
        }
        const ULONGLONG startTick = GetTickCount64();
        examined_ = 0;
        plannedBytes_ = 0;
        // The run works on a copy: date folders and drives found by label
        // must not end up in the stored setting.
        stored_ = &setting;
        work_ = setting;
        FolderSetting& work = *work_;
        current_ = &work;
        policy_.SetSetting(&work);
        ops_.SetSetting(work);
        ops_.SetRoomReported(batch_.testMode && work.Mirroring && work.BackupType == 1);
        confirmDelete_ = work.DeleteConf;

        if (const LogClearing own = log_.ClearOwnLog(work); own.failure && !batch_.logOffMode) {
            policy_.ShowPlainBox(own.failure->text, own.failure->caption, own.failure->flags);
        }
        if (const auto failure = log_.Open(work, start)) {
            if (!batch_.logOffMode) policy_.ShowPlainBox(failure->text, failure->caption, failure->flags);
            policy_.RaiseLevel(LevelFatal);
            setting.status.failed = 1;
            result = 0;
            break;
        }
        if (const FilterBuildResult built = filters_.Build(work, options_); !built.ok) {
            if (!batch_.logOffMode) {
                policy_.Raise({LevelError, built.body, built.title, built.caption, kStyleFatal, IDIGNORE, false, {}});
                policy_.AddErrorRow();
            }
            policy_.RaiseLevel(LevelFatal);
            setting.status.failed = 1;
            result = 0;
            break;
        }

        setting.Errors = ErrorsRunning;
        host.SettingRunState(setting, 1);
        NoteUnsavedSettings();
        setting.Errors = work.Errors = 0;

        const std::wstring header = Format(LoadText(IDS_ROW_HEADER).c_str(), work.Name.c_str());
        const int dashWidth = host.MeasureReportText(L"-");
        const int dashes = dashWidth > 0 ? host.MeasureReportText(header) / dashWidth : 30;
        const std::wstring dashLine(static_cast<size_t>(std::max(dashes, 0)), L'-');

        storedBackup_ = setting.Backup;
        dateSuffix_.clear();
        bool dateFolderOk = true;
        if (work.MakeDateDir) {
            const std::wstring base = ExpandEnvironment(setting.Backup);
            // Without a base folder the checks report the backup as invalid.
            work.Backup = base.empty() ? std::wstring() : DatedBackupFolder(setting, start);
            dateFolderOk = base.empty() || (!work.Backup.empty() && LiesBelow(work.Backup, base));
            if (dateFolderOk && work.Backup.size() > base.size()) dateSuffix_ = work.Backup.substr(base.size());
        }
        log_.WriteHeader(work.Name, ExpandEnvironment(work.Master), ExpandEnvironment(work.Backup));
        policy_.Report(LoadText(batch_.testMode ? IDS_ROW_TEST_START : IDS_ROW_START), header, RowToList);
        host.RunState(1);

        bool noErrors = false;
        bool proceed = dateFolderOk;
        if (!dateFolderOk) {
            // A date folder that is no folder below the backup folder (no
            // name, " ", ".", "..") would make the run mirror into the
            // backup folder or above it and delete the older date folders
            // or the backup's neighbours. Nothing runs, not even the
            // before-command.
            Fatal(IDS_DATE_FOLDER_INVALID, LoadText(IDS_DATE_FOLDER_INVALID) + L"\r\n", IDS_FOLDER_SETTING_ERROR);
            policy_.AddErrorRow();
        } else {
            proceed = RunCommand(work, 0, true, start) != 1;
        }
        SettingEnd end = SettingEnd::Aborted;
        if (proceed) end = Process(work);
        if (end == SettingEnd::Aborted) {
            host.RunState(8);
            policy_.Report(LoadText(IDS_ROW_ABORT), L"", RowToList);
            policy_.ShowPlainBox(LoadText(IDS_ABORTED), LoadText(IDS_ABORT_CAPTION), MB_TOPMOST | MB_ICONEXCLAMATION);
            result = 0;
        } else {
            noErrors = end == SettingEnd::Completed && work.Errors == 0;
        }
        const bool afterStop = RunCommand(work, 1, noErrors, start) == 1;
        host.RunState(0);
        const RunCounts counts = SettingCounts();
        const auto seconds = static_cast<std::int64_t>((GetTickCount64() - startTick) / 1000);
        ReportSummary(counts, seconds);
        batchDone_ += counts;
        if (!afterStop && result == 1) {
            policy_.Report(LoadText(IDS_ROW_END), dashLine, RowToList);
            if (!batch_.testMode) {
                work.LastExec = static_cast<std::int64_t>(start);
                if (noErrors) work.LastCleanExec = work.LastExec;
                if (end == SettingEnd::Completed) {
                    work.LastFiles = counts.examined;
                    work.LastSeconds = seconds;
                }
            } else if (end == SettingEnd::Completed) {
                work.LastTestFiles = counts.examined;
                work.LastTestSeconds = seconds;
            }
        }
        log_.Close();
        setting.Errors = work.Errors;
        setting.LastExec = work.LastExec;
        setting.LastCleanExec = work.LastCleanExec;
        setting.LastFiles = work.LastFiles;
        setting.LastSeconds = work.LastSeconds;
        setting.LastTestFiles = work.LastTestFiles;
        setting.LastTestSeconds = work.LastTestSeconds;
        setting.status = work.status;
        if (result == 0 || afterStop) setting.status.failed = 1;
        if (!afterStop && result == 1) lastCompleted_ = ForCommands(work, false);
        if (setting.Errors > 0) {
            RaiseExitCode(ExitErrors);
            ++batch_.settingsWithErrors;
            batch_.errorCount += setting.Errors;
        }
        if (setting.Errors == ErrorsSkipped) {
            RaiseExitCode(ExitSkipped);
            ++batch_.settingsSkipped;
        }
        batch_.progress.Publish(counts, batchDone_);
        policy_.SetSetting(nullptr);
        current_ = nullptr;
        stored_ = nullptr;
        work_.reset();
        host.SettingRunState(setting, batch_.autoOnly && !afterStop && result == 1 ? 2 : 1);
        if (afterStop) {
            result = 0;
            policy_.RaiseLevel(LevelNotice);
        } else if (result == 0) {
            policy_.RaiseLevel(LevelNotice);
        }
    }
    return result;
}

void MirrorWorker::SettingBrokeOff() {
    policy_.RaiseLevel(LevelFatal);
    policy_.SetSetting(nullptr);
    current_ = nullptr;
    try {
        log_.Close();
        if (stored_) {
            // What the setting had done counts; it ends failed, never "running".
            FolderSetting& setting = *stored_;
            if (work_) {
                setting.Errors = std::max(work_->Errors, 0);
                setting.status = work_->status;
            } else if (setting.Errors == ErrorsRunning) {
                setting.Errors = 0;
            }
            Bump(setting.Errors);
            setting.status.failed = 1;
            batch_.host->SettingRunState(setting, 1);
            policy_.Report(LoadText(IDS_ROW_ABORT), L"", RowToList);
        }
    } catch (...) {
    }
    stored_ = nullptr;
    work_.reset();
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
    batch_.host->EndAutomaticState();
}

void MirrorWorker::AfterCompletion(bool clean, bool automatic, std::time_t batchStart) {
    // Read once: a change in the window from here on is for the next run.
    const AfterChoice choice = AfterChoice::Unpack(batch_.afterChoice);
    const int action = choice.runMode;
    const bool closingFollowUp = Closing(choice.afterAction);
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
    policy_.Report(LoadText(IDS_ERROR), batch_.afterFailure, RowToList);
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

DeleteChoice MirrorWorker::ConfirmDelete(const DeleteConfirmation& file) {
    if (policy_.Attended() && !policy_.suppressMessages()) return batch_.host->ConfirmDelete(file);
    // Nobody may be asked: the file stays, and the setting says so.
    const std::wstring text = LoadText(IDS_DELETE_UNCONFIRMED);
    const std::wstring caption = LoadText(IDS_DELETE_CONFIRM_CAPTION);
    policy_.Raise({LevelError, file.path + L"\r\n\r\n" + text + L"\r\n", text, caption, kStyleFatal, IDIGNORE, false,
                   true});
    policy_.CountError();
    policy_.AddErrorRow();
    return DeleteChoice::Skip;
}

bool MirrorWorker::BackupMissingForSkip(const FolderSetting& work, int backupState) {
    if (!work.MakeDateDir || backupState != FolderMissing) return true;
    const std::wstring base = ExpandEnvironment(BaseBackup(work));
    return base.empty() || ops_.CheckFolder(base) != FolderExists;
}

std::wstring MirrorWorker::BaseBackup(const FolderSetting& work) const {
    if (!dateSuffix_.empty() && work.Backup.ends_with(dateSuffix_)) {
        return work.Backup.substr(0, work.Backup.size() - dateSuffix_.size());
    }
    return work.MakeDateDir ? storedBackup_ : work.Backup;
}

FolderSetting MirrorWorker::ForCommands(const FolderSetting& work, bool failed) const {
    FolderSetting seen = work;
    // The working copy's backup already ends in the date folder; without it
    // "%b%B" would name the date folder twice. Drives found by label stay.
    seen.Backup = BaseBackup(work);
    seen.status.failed = failed ? 1 : 0;
    return seen;
}

int MirrorWorker::RunCommand(const FolderSetting& work, int slot, bool noErrors, std::time_t start) {
    if (!batch_.commands) return -1;
    const CommandEntry* command = batch_.commands->Find(work.commandIds[slot]);
    if (!command || !command->enable || command->path.empty()) return -1;
    if (batch_.testMode && command->onMode != 1) return -1;
    if (!noErrors && command->onError != 1) return -1;

    const std::wstring name = command->DisplayName();
    // %r of the after-command tells how this setting ended.
    const FolderSetting seen = ForCommands(work, slot == 1 && !noErrors);
    const ToolCommandLine line =
        ExpandToolCommandLine(command->path, command->param, ActiveProjectOf(options_), {}, &seen, start);
    policy_.SetStatus(InsertArgs(LoadText(IDS_COMMAND_RUNNING), name), L"");
    policy_.Report(LoadText(IDS_COMMAND_RUN), name, RowToList);
    log_.Write(kLogEntryLevel, Format(LoadText(IDS_COMMAND_LOG_LINE).c_str(), LoadText(IDS_COMMAND_RUN).c_str(),
                                      name.c_str(), line.program.c_str(), line.parameters.c_str()));

    const ToolExit exit = RunToolAndWait(line.program, line.parameters, command->window);
    std::wstring shortText, longText;
    switch (exit.outcome) {
        case ToolExit::Exited:
            if (exit.exitCode == 0) return 0;
            [[fallthrough]];
        case ToolExit::NoExitCode:
            shortText = longText = Format(LoadText(IDS_COMMAND_EXIT_ERROR).c_str(), name.c_str(),
                                          static_cast<int>(exit.exitCode));
            break;
        case ToolExit::WaitFailed:
            shortText = LoadText(IDS_COMMAND_ERROR);
            longText = WithoutFinalBreak(SystemErrorText(exit.error));
            break;
        case ToolExit::NotStarted:
            shortText = LoadText(IDS_COMMAND_START_FAILED);
            longText = Format(LoadText(IDS_COMMAND_START_ERROR).c_str(), name.c_str(),
                              WithoutFinalBreak(SystemErrorText(exit.error)).c_str());
            break;
    }
    const bool ignore = slot == 1 || command->onError == 1;
    const std::wstring caption = LoadText(IDS_COMMAND_ERROR);
    policy_.Raise({LevelSkipped, longText, shortText, caption, MB_TOPMOST | MB_ICONEXCLAMATION,
                   ignore ? IDIGNORE : IDABORT, false, ignore});
    policy_.Report(LoadText(IDS_ERROR), caption + L": " + shortText, RowToList);
    return slot == 0 && ignore ? 0 : 1;
}

namespace {

unsigned __stdcall BatchThread(void* argument) {
    MirrorBatch& batch = *static_cast<MirrorBatch*>(argument);
    try {
        MirrorWorker worker(batch);
        return static_cast<unsigned>(worker.Run());
    } catch (...) {
        // Out of memory or the like outside a setting: the window must not
        // stay in a run, and no setting may stay "running" in the store.
        batch.result = 0;
        batch.worstLevel = LevelFatal;
        batch.cleanCompletion = false;
        batch.end = BatchEnd::Aborted;
        batch.progress.EndBatch();
        try {
            for (FolderSetting& setting : *batch.settings) {
                if (setting.Errors != ErrorsRunning) continue;
                setting.Errors = 1;
                setting.status.failed = 1;
            }
            if (batch.startedAutomatically) batch.options->exitCode = ExitAborted;
            batch.host->StoreRunResults();
            batch.host->SetStatus(EndStatusText(batch).c_str(), L"");
        } catch (...) {
        }
        batch.running = false;
        try {
            batch.host->EnableClose(true);
            if (batch.options->AutoExitWhenError && batch.startedAutomatically &&
                AfterChoice::Unpack(batch.afterChoice).Closing()) {
                batch.options->powerActionAtExit = false;
                batch.closePosted = true;
                batch.host->PostClose();
            }
        } catch (...) {
        }
        batch.workerActive = false;
        return 0;
    }
}

}  // namespace

bool StartBatch(MirrorBatch& batch) {
    if (!batch.host || !batch.settings || !batch.options) return false;
    bool idle = false;
    if (!batch.workerActive.compare_exchange_strong(idle, true)) return false;
    batch.running = true;
    batch.currentIndex = 0;
    batch.cancelRequested = false;
    batch.result = 1;
    batch.worstLevel = 0;
    batch.cleanCompletion = false;
    batch.endAutomaticState = false;
    // The previous worker cleared workerActive on its way out; only its return is left.
    JoinBatch(batch);
    const uintptr_t thread = _beginthreadex(nullptr, 0, BatchThread, &batch, 0, nullptr);
    if (!thread) {
        batch.running = false;
        batch.workerActive = false;
        return false;
    }
    batch.thread = reinterpret_cast<HANDLE>(thread);
    return true;
}

void JoinBatch(MirrorBatch& batch) {
    if (!batch.thread) return;
    WaitForSingleObject(batch.thread, INFINITE);
    CloseHandle(batch.thread);
    batch.thread = nullptr;
}

}  // namespace tandrel
