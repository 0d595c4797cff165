#include "engine/MirrorWorker.h"

#include <process.h>

#include <algorithm>

#include "platform/Environment.h"
#include "platform/Strings.h"
#include "platform/ToolLaunch.h"
#include "resource.h"

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

MirrorWorker::MirrorWorker(MirrorBatch& batch)
    : batch_(batch),
      options_(*batch.options),
      log_(*batch.options, batch.testMode),
      policy_(batch, log_),
      ops_(policy_, batch.testMode) {}

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
    std::vector<FolderSetting>& settings = *batch_.settings;
    std::optional<FolderSetting> lastCompleted;

    for (size_t index = 0; result == 1 && index < settings.size(); ++index) {
        FolderSetting& setting = settings[index];
        const std::time_t start = std::time(nullptr);
        batch_.currentIndex = static_cast<int>(index);
        if (!Selected(setting, start)) continue;

        setting.testFlag = batch_.testMode;
        setting.status = RunStatus{};
        // The run works on a copy: date folders and drives found by label
        // must not end up in the stored setting.
        FolderSetting work = setting;
        current_ = &work;
        policy_.SetSetting(&work);
        ops_.SetSetting(work);
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
        setting.Errors = work.Errors = 0;

        const std::wstring header = Format(LoadText(IDS_ROW_HEADER).c_str(), work.Name.c_str());
        const int dashWidth = host.MeasureReportText(L"-");
        const int dashes = dashWidth > 0 ? host.MeasureReportText(header) / dashWidth : 30;
        const std::wstring dashLine(static_cast<size_t>(std::max(dashes, 0)), L'-');

        storedBackup_ = setting.Backup;
        bool dateFolderOk = true;
        if (work.MakeDateDir) {
            work.Backup = DatedBackupFolder(setting, start);
            dateFolderOk = !work.Backup.empty();
        }
        log_.WriteHeader(work.Name, ExpandEnvironment(work.Master), ExpandEnvironment(work.Backup));
        policy_.Report(LoadText(batch_.testMode ? IDS_ROW_TEST_START : IDS_ROW_START), header, RowToList);
        host.RunState(1);

        bool noErrors = false;
        bool proceed = RunCommand(work, 0, true, start) != 1;
        if (proceed && !dateFolderOk) {
            // Without its date folder the run would mirror into the backup
            // folder itself and delete the older date folders.
            Fatal(IDS_DATE_FOLDER_INVALID, LoadText(IDS_DATE_FOLDER_INVALID) + L"\r\n", IDS_FOLDER_SETTING_ERROR);
            policy_.AddErrorRow();
            proceed = false;
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
        if (!afterStop && result == 1) {
            policy_.Report(LoadText(IDS_ROW_END), dashLine, RowToList);
            if (!batch_.testMode) work.LastExec = static_cast<std::int64_t>(start);
        }
        log_.Close();
        setting.Errors = work.Errors;
        setting.LastExec = work.LastExec;
        setting.status = work.status;
        if (result == 0 || afterStop) setting.status.failed = 1;
        if (!afterStop && result == 1) lastCompleted = work;
        policy_.SetSetting(nullptr);
        current_ = nullptr;
        host.SettingRunState(setting, batch_.autoOnly && !afterStop && result == 1 ? 2 : 1);
        if (afterStop) {
            result = 0;
            policy_.RaiseLevel(LevelNotice);
        } else if (result == 0) {
            policy_.RaiseLevel(LevelNotice);
        }
    }

    // A setting that ended the batch early leaves no pointer to its copy.
    policy_.SetSetting(nullptr);
    current_ = nullptr;
    policy_.SetStatus(LoadText(IDS_STATUS_DONE), L"");
    log_.Close();
    host.EnableClose(true);
    batch_.result = result;
    batch_.worstLevel = policy_.worstLevel();
    SetCleanCompletion(!batch_.cancelRequested && !batch_.testMode && result == 1);
    host.StoreRunResults();
    AfterCompletion(lastCompleted ? &*lastCompleted : nullptr, batchStart);
    batch_.workerActive = false;
    batch_.running = false;
    return result;
}

void MirrorWorker::SetCleanCompletion(bool clean) {
    batch_.cleanCompletion = clean;
    // A closing after-completion action hibernates or shuts down at exit
    // only after a clean run; set before any WM_CLOSE is posted.
    if (batch_.options) batch_.options->powerActionAtExit = clean;
}

void MirrorWorker::AfterCompletion(const FolderSetting* lastCompleted, std::time_t batchStart) {
    EngineHost& host = *batch_.host;
    const int action = options_.runMode;
    if (!batch_.cleanCompletion) {
        if (options_.AutoExitWhenError && batch_.startedAutomatically && (Closing(action) || Closing(options_.afterAction))) {
            host.PostClose();
        }
        return;
    }
    if (action == RunModeMessage) {
        policy_.ShowPlainBox(LoadText(IDS_BACKUP_DONE), LoadText(IDS_BACKUP_DONE_CAPTION), MB_TOPMOST | MB_ICONINFORMATION);
        return;
    }
    if (Closing(action)) {
        host.PostClose();
        return;
    }
    const CommandList& commands = options_.commands;
    const int index = options_.commandIndex;
    if (action < RunModeCommand || index < 0 || index >= std::min(commands.Count(), 100) ||
        commands.At(index).path.empty()) {
        batch_.endAutomaticState = true;
        return;
    }
    const CommandEntry& command = commands.At(index);
    policy_.SetStatus(InsertArgs(LoadText(IDS_COMMAND_RUNNING), command.DisplayName()), L"");
    const ToolCommandLine line = ExpandToolCommandLine(command.path, command.param, ActiveProjectOf(options_), {},
                                                       lastCompleted, batchStart);
    if (Closing(options_.afterAction)) {
        const bool ran = LaunchTool(line.program, line.parameters, command.window, true);
        if (ran) {
            host.PostClose();
            return;
        }
        policy_.SetStatus(LoadText(IDS_STATUS_DONE), L"");
        if (!options_.AutoExitWhenError) {
            SetCleanCompletion(false);
            batch_.endAutomaticState = true;
        }
        return;
    }
    LaunchTool(line.program, line.parameters, command.window, false);
    policy_.SetStatus(LoadText(IDS_STATUS_DONE), L"");
    batch_.endAutomaticState = true;
}

int MirrorWorker::RunCommand(const FolderSetting& work, int slot, bool noErrors, std::time_t start) {
    if (!batch_.commands) return -1;
    const CommandEntry* command = batch_.commands->Find(work.commandIds[slot]);
    if (!command || !command->enable || command->path.empty()) return -1;
    if (batch_.testMode && command->onMode != 1) return -1;
    if (!noErrors && command->onError != 1) return -1;

    const std::wstring name = command->DisplayName();
    const ToolCommandLine line =
        ExpandToolCommandLine(command->path, command->param, ActiveProjectOf(options_), {}, &work, start);
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
        // Out of memory or the like: the window must not stay in a run.
        batch.result = 0;
        batch.worstLevel = LevelFatal;
        batch.cleanCompletion = false;
        try {
            batch.host->EnableClose(true);
        } catch (...) {
        }
        batch.running = false;
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
    const uintptr_t thread = _beginthreadex(nullptr, 0, BatchThread, &batch, 0, nullptr);
    if (!thread) {
        batch.running = false;
        batch.workerActive = false;
        return false;
    }
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

}  // namespace tandrel
