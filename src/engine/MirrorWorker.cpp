#include "engine/MirrorWorker.h"
#include "engine/Restore.h"

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

}  // namespace

MirrorWorker::MirrorWorker(MirrorBatch& batch)
    : batch_(batch),
      options_(*batch.options),
      log_(*batch.options, batch.testMode),
      policy_(batch, log_),
      ops_(policy_),
      exec_(ops_, batch.testMode),
      statusBackup_(LoadText(IDS_STATUS_BACKUP)),
      statusMirror_(LoadText(IDS_STATUS_MIRROR)) {
    // Rows, questions and operations keep the walk's order: the copies
    // still out on the copy threads are taken before any of them.
    const auto takeCopies = [this] {
        if (copyPool_) copyPool_->Finish();
    };
    policy_.SetBeforeOutput(takeCopies);
    exec_.SetBeforeCarry(takeCopies);
}

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
    counts.moved = work_->status.moved;
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
               number(counts.updated).c_str(), number(counts.moved).c_str(), number(counts.deleted).c_str(), number(counts.errors).c_str(),
               ByteSizeText(counts.bytes).c_str(), ElapsedText(seconds).c_str());
    policy_.Report(RowAction::Summary, text, RowToList);
    // Also in a log of errors only: it says how many there were.
    log_.Write(kLogHeaderLevel, Format(LoadText(IDS_LOG_SUMMARY).c_str(), text.c_str()));
}

int MirrorWorker::RunSettings(int result) {
    std::vector<FolderSetting>& settings = *batch_.settings;
    int number = 0;
    batch_.restoreNewer = 0;
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
        result = RunSetting(setting, index, ++number, start);
    }
    return result;
}

void MirrorWorker::StartSetting(FolderSetting& setting, size_t index, int number, std::time_t start) {
    std::vector<FolderSetting>& settings = *batch_.settings;
    setting.testFlag = batch_.testMode;
    setting.status = RunStatus{};
    // The time left goes by what the setting and those after it took last
    // time in a run of this kind; one without such a run leaves it unknown.
    const bool test = batch_.testMode;
    std::int64_t later = 0;
    for (const size_t next : SelectedSettings(start)) {
        if (next <= index) continue;
        const FolderSetting& s = settings[next];
        const std::int64_t files = test ? s.LastTestFiles : s.LastFiles;
        later = later < 0 || files <= 0 ? -1 : later + (test ? s.LastTestSeconds : s.LastSeconds);
    }
    batch_.progress.StartSetting(number, test ? setting.LastTestFiles : setting.LastFiles,
                                 test ? setting.LastTestSeconds : setting.LastSeconds, later);
    examined_ = 0;
    plannedBytes_ = 0;
    ResetCopies();
    // The run works on a copy: date folders and drives found by label
    // must not end up in the stored setting.
    stored_ = &setting;
    work_ = batch_.restore ? RestoreWork(setting, batch_.restoreTarget, batch_.restoreSource, batch_.restoreOverwrite)
                           : setting;
    FolderSetting& work = *work_;
    current_ = &work;
    policy_.SetSetting(&work);
    ops_.SetSetting(work);
    ops_.SetRoomReported(batch_.testMode && work.Mirroring && work.BackupType == 1);
    confirmDelete_ = work.DeleteConf;
    exec_.KeepEverything(batch_.restore);
}

bool MirrorWorker::OpenSetting(FolderSetting& work, std::time_t start) {
    if (const LogClearing own = log_.ClearOwnLog(work); own.failure && !batch_.logOffMode) {
        policy_.ShowPlainBox(own.failure->text, own.failure->caption, own.failure->flags);
    }
    if (const auto failure = log_.Open(work, start)) {
        if (!batch_.logOffMode) policy_.ShowPlainBox(failure->text, failure->caption, failure->flags);
        policy_.RaiseLevel(LevelFatal);
        return false;
    }
    if (const FilterBuildResult built = filters_.Build(work, options_); !built.ok) {
        if (!batch_.logOffMode) {
            policy_.Raise(
                {LevelError, built.body, built.title, built.caption, kStyleFatal, ErrorDecision::Ignore, false, {}});
            policy_.AddErrorRow();
        }
        policy_.RaiseLevel(LevelFatal);
        return false;
    }
    if (batch_.restore) filters_.OnlyPaths(batch_.restoreFiles);
    return true;
}

bool MirrorWorker::PlaceDateFolder(const FolderSetting& setting, FolderSetting& work, std::time_t start) {
    storedBackup_ = setting.Backup;
    dateSuffix_.clear();
    if (!work.MakeDateDir) return true;
    const std::wstring base = ExpandEnvironment(setting.Backup);
    // Without a base folder the checks report the backup as invalid.
    work.Backup = base.empty() ? std::wstring() : DatedBackupFolder(setting, start);
    const bool ok = base.empty() || (!work.Backup.empty() && LiesBelow(work.Backup, base));
    if (ok && work.Backup.size() > base.size()) dateSuffix_ = work.Backup.substr(base.size());
    return ok;
}

int MirrorWorker::RunSetting(FolderSetting& setting, size_t index, int number, std::time_t start) {
    EngineHost& host = *batch_.host;
    StartSetting(setting, index, number, start);
    const ULONGLONG startTick = GetTickCount64();
    FolderSetting& work = *work_;
    if (!OpenSetting(work, start)) {
        setting.status.failed = 1;
        return 0;
    }
    setting.Errors = ErrorsRunning;
    host.SettingRunState(setting, SettingMark::Selected);
    NoteUnsavedSettings();
    setting.Errors = work.Errors = 0;

    const std::wstring header = Format(LoadText(IDS_ROW_HEADER).c_str(), work.Name.c_str());
    const int dashWidth = host.MeasureReportText(L"-");
    const int dashes = dashWidth > 0 ? host.MeasureReportText(header) / dashWidth : 30;
    const std::wstring dashLine(static_cast<size_t>(std::max(dashes, 0)), L'-');

    const bool dateFolderOk = PlaceDateFolder(setting, work, start);
    log_.WriteHeader(work.Name, ExpandEnvironment(work.Master), ExpandEnvironment(work.Backup));
    policy_.Report(batch_.testMode ? RowAction::TestStart : RowAction::Start, header, RowToList);
    host.RunState(RunPhase::Working);

    SettingOutcome outcome;
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
    if (proceed) outcome.end = Process(work);
    if (outcome.end == SettingEnd::Aborted) {
        host.RunState(RunPhase::Stopped);
        policy_.Report(RowAction::Abort, L"", RowToList);
        policy_.ShowPlainBox(LoadText(IDS_ABORTED), LoadText(IDS_ABORT_CAPTION), MB_TOPMOST | MB_ICONEXCLAMATION);
        outcome.result = 0;
    } else {
        outcome.noErrors = outcome.end == SettingEnd::Completed && work.Errors == 0;
    }
    outcome.afterStop = RunCommand(work, 1, outcome.noErrors, start) == 1;
    host.RunState(RunPhase::CommandsDone);
    outcome.seconds = static_cast<std::int64_t>((GetTickCount64() - startTick) / 1000);
    return EndSetting(setting, work, outcome, start, dashLine);
}

int MirrorWorker::EndSetting(FolderSetting& setting, FolderSetting& work, const SettingOutcome& outcome,
                             std::time_t start, const std::wstring& dashLine) {
    const bool afterStop = outcome.afterStop;
    int result = outcome.result;
    const RunCounts counts = SettingCounts();
    ReportSummary(counts, outcome.seconds);
    batchDone_ += counts;
    if (!afterStop && result == 1) {
        policy_.Report(RowAction::End, dashLine, RowToList);
        if (batch_.restore) {
            // The backup's times and figures are not those of a restore.
        } else if (!batch_.testMode) {
            work.LastExec = static_cast<std::int64_t>(start);
            if (outcome.noErrors) work.LastCleanExec = work.LastExec;
            if (outcome.end == SettingEnd::Completed) {
                work.LastFiles = counts.examined;
                work.LastSeconds = outcome.seconds;
            }
        } else if (outcome.end == SettingEnd::Completed) {
            work.LastTestFiles = counts.examined;
            work.LastTestSeconds = outcome.seconds;
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
    const bool doneAutomatically = batch_.autoOnly && !afterStop && result == 1;
    batch_.host->SettingRunState(setting, doneAutomatically ? SettingMark::DoneAutomatically : SettingMark::Selected);
    if (afterStop || result == 0) {
        result = 0;
        policy_.RaiseLevel(LevelNotice);
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
            batch_.host->SettingRunState(setting, SettingMark::Selected);
            policy_.Report(RowAction::Abort, L"", RowToList);
        }
    } catch (...) {
    }
    stored_ = nullptr;
    work_.reset();
}

DeleteChoice MirrorWorker::ConfirmDelete(const DeleteConfirmation& file) {
    if (policy_.Attended() && !policy_.suppressMessages()) return batch_.host->ConfirmDelete(file);
    // Nobody may be asked: the file stays, and the setting says so.
    const std::wstring text = LoadText(IDS_DELETE_UNCONFIRMED);
    const std::wstring caption = LoadText(IDS_DELETE_CONFIRM_CAPTION);
    policy_.Raise({LevelError, file.path + L"\r\n\r\n" + text + L"\r\n", text, caption, kStyleFatal,
                   ErrorDecision::Ignore, false, true});
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
    policy_.Report(RowAction::Command, name, RowToList);
    log_.Write(kLogEntryLevel, Format(LoadText(IDS_COMMAND_LOG_LINE).c_str(), RowActionText(RowAction::Command).c_str(),
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
                   ignore ? ErrorDecision::Ignore : ErrorDecision::Abort, false, ignore});
    policy_.Report(RowAction::Error, caption + L": " + shortText, RowToList);
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
