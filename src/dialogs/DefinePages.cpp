#include "dialogs/DefinePages.h"

#include "dialogs/DialogSupport.h"
#include "dialogs/SelectCommandDlg.h"
#include "framework/DataExchange.h"
#include "platform/Environment.h"
#include "platform/LogFiles.h"
#include "platform/Messages.h"
#include "platform/Paths.h"
#include "platform/Pickers.h"
#include "platform/Strings.h"
#include "resource_dialogs.h"

namespace tandrel {

namespace {

using SettingField = FieldBinding<FolderSetting>;
using S = FolderSetting;

constexpr SettingField kMainFields[] = {
    {IDC_DM_NAME, &S::Name},
    {IDC_DM_MASTER, &S::Master},
    {IDC_DM_BACKUP, &S::Backup},
    {IDC_DM_SKIP_MISSING, &S::SkipIfFolderNotExist},
    {IDC_DM_DETECT_MASTER, &S::DetectDriveByVolumeMaster},
    {IDC_DM_DETECT_BACKUP, &S::DetectDriveByVolumeBackup},
    {IDC_DM_CHECK_MASTER, &S::CheckVolumeMaster},
    {IDC_DM_CHECK_BACKUP, &S::CheckVolume},
    {IDC_DM_LABEL_MASTER, &S::VolumeMaster},
    {IDC_DM_LABEL_BACKUP, &S::Volume},
    {IDC_DM_VOL_SKIP, &S::VolErrorSkip},
    {IDC_DM_MEDIA, &S::ExecIfDetectMediaVol},
    {IDC_DM_AUTO, &S::AutoExec},
};

// The numbers, the order and the locked-file choice are not plain fields.
constexpr SettingField kModeFields[] = {
    {IDC_MO_SUBDIR, &S::SubDir},
    {IDC_MO_OVERWRITE, &S::Overwrite},
    {IDC_MO_OVERWRITE_ALWAYS, &S::OverwriteAlways},
    {IDC_MO_DATE_DIR, &S::MakeDateDir},
    {IDC_MO_DATE_DIR_EDIT, &S::BackupDateDir},
    {IDC_MO_VERIFY, &S::Verify},
    {IDC_MO_MIRRORING, &S::Mirroring},
    {IDC_MO_DELETE_CONF, &S::DeleteConf},
    {IDC_MO_HISTORY_DIR, &S::HistoryDir},
    {IDC_MO_GUARD, &S::DeleteGuard},
    {IDC_MO_TOLERANCE, &S::NtfsToFat},
    {IDC_MO_CREATION_TIME, &S::CopyFileTimeAll},
    {IDC_MO_FOLDER_TIME, &S::CopyFolderTime},
    {IDC_MO_CHECK_NAME, &S::CheckFileName},
    {IDC_MO_RENAME_CASE, &S::RenameCapital},
    {IDC_MO_ERROR_LEAVE, &S::ErrorLeave},
    {IDC_MO_RETRY, &S::ErrorNetPathRetry},
    {IDC_MO_SHOW_SKIP, &S::ShowSkipFile},
};

constexpr SettingField kTargetFields[] = {
    {IDC_TG_IGNORE_SYSTEM, &S::IgnoreSystemFiles},
    {IDC_TG_DELETE_IGNORED, &S::DeleteIgnoreTarget},
    {IDC_TG_SIZE_SKIP, &S::SkipTargetFileSize},
};

constexpr SettingField kLogFields[] = {
    {IDC_LG_OUTPUT, &S::OutputLog},
    {IDC_LG_FILE, &S::LogFileName},
    {IDC_LG_IMMEDIATE, &S::WriteLogImmediately},
    {IDC_LG_ERROR_ONLY, &S::OutputErrorOnly},
    {IDC_LG_SKIP_LOG, &S::OutputSkipLog},
    {IDC_LG_CLEAR, &S::ClearLog},
};

// Offsets in a command's block; the window list is not a plain field.
constexpr FieldBinding<CommandEntry> kCommandFields[] = {
    {CM_ENABLE, &CommandEntry::enable},
    {CM_NAME, &CommandEntry::name},
    {CM_PATH, &CommandEntry::path},
    {CM_PARAM, &CommandEntry::param},
    {CM_ON_MODE, &CommandEntry::onMode},
    {CM_ON_ERROR, &CommandEntry::onError},
};

// A history folder in the master would be backed up, and as the backup
// folder itself mirrored away. Empty: the default beside the backup.
bool HistoryFolderAllowed(const std::wstring& chosen, const std::wstring& master, const std::wstring& backup) {
    if (chosen.empty()) return true;
    const std::wstring folder = FullFolder(chosen), masterFolder = FullFolder(master);
    if (folder.empty()) return false;
    if (!masterFolder.empty() && StartsWithNoCase(folder, masterFolder)) return false;
    return !EqualsNoCase(folder, FullFolder(backup));
}

}  // namespace

std::span<const FieldBinding<FolderSetting>> MainPageFields() { return kMainFields; }
std::span<const FieldBinding<FolderSetting>> ModePageFields() { return kModeFields; }
std::span<const FieldBinding<FolderSetting>> TargetPageFields() { return kTargetFields; }
std::span<const FieldBinding<FolderSetting>> LogPageFields() { return kLogFields; }
std::span<const FieldBinding<CommandEntry>> CommandPageFields() { return kCommandFields; }

// "動作設定"

CDlgDefMode::CDlgDefMode(DefineContext& context) : CDefPage(IDD_DEF_MODE, context) {}

void CDlgDefMode::Load() {
    HWND h = Handle();
    const FolderSetting& s = Setting();
    LoadFields(h, s, ModePageFields());
    AddComboItem(h, IDC_MO_ORDER, LoadText(IDS_ORDER_BACKUP_FIRST));
    AddComboItem(h, IDC_MO_ORDER, LoadText(IDS_ORDER_MIRROR_FIRST));
    SetComboIndex(h, IDC_MO_ORDER, s.BackupType == 1 ? 1 : 0);
    SetSpin(h, IDC_MO_LEAVE_SPIN, 1, 999);
    SetText(h, IDC_MO_LEAVE_TIME, std::to_wstring(s.LeaveTime));
    SetCheck(h, IDC_MO_LOCKED, s.CopyLockedFile);
    // Shadow copies are not offered: the stored choice is shown and kept.
    EnableItem(IDC_MO_LOCKED, false);
    SetSpin(h, IDC_MO_RETRY_SPIN, 1, 99);
    SetText(h, IDC_MO_RETRY_COUNT, std::to_wstring(s.NetPathRetryCount));
    SetText(h, IDC_MO_GUARD_PERCENT, std::to_wstring(s.DeleteGuardPercent));
    // One choice for what the mirror removes; the history wins over a
    // recycle bin an older version stored beside it.
    SetCheck(h, IDC_MO_HISTORY, s.DeleteHistory);
    SetCheck(h, IDC_MO_RECYCLE, s.DeleteRecycleBin && !s.DeleteHistory);
    SetCheck(h, IDC_MO_REMOVE_PLAIN, !s.DeleteRecycleBin && !s.DeleteHistory);
    SetText(h, IDC_MO_HISTORY_DAYS, std::to_wstring(s.HistoryDays));
    SetText(h, IDC_MO_HISTORY_RUNS, std::to_wstring(s.HistoryMinRuns));
    SetText(h, IDC_MO_GUARD_FILES, std::to_wstring(s.DeleteGuardFiles));
    AddAnchors(AnchorStretchX, {IDC_MO_GROUP_BACKUP, IDC_MO_GROUP_MIRROR, IDC_MO_GROUP_TIME, IDC_MO_GROUP_OTHER,
                                IDC_MO_DATE_DIR_EDIT});
    AddAnchors(AnchorMoveX, {IDC_MO_DATE_HINT});
    UpdateEnabling();
}

void CDlgDefMode::UpdateEnabling() {
    HWND h = Handle();
    const bool mirroring = GetCheck(h, IDC_MO_MIRRORING);
    EnableItems({IDC_MO_ORDER, IDC_MO_DELETE_CONF, IDC_MO_REMOVE_PLAIN, IDC_MO_RECYCLE, IDC_MO_HISTORY, IDC_MO_GUARD},
                mirroring);
    EnableItems({IDC_MO_HISTORY_LABEL, IDC_MO_HISTORY_DIR, IDC_MO_HISTORY_DAYS_LABEL, IDC_MO_HISTORY_DAYS,
                 IDC_MO_HISTORY_DAYS_UNIT, IDC_MO_HISTORY_RUNS, IDC_MO_HISTORY_RUNS_UNIT},
                mirroring && GetCheck(h, IDC_MO_HISTORY));
    EnableItems({IDC_MO_GUARD_PERCENT, IDC_MO_GUARD_AND, IDC_MO_GUARD_FILES, IDC_MO_GUARD_FILES_LABEL},
                mirroring && GetCheck(h, IDC_MO_GUARD));
    EnableItems({IDC_MO_LEAVE_TIME, IDC_MO_LEAVE_SPIN, IDC_MO_PLUS_MINUS, IDC_MO_SECONDS},
                GetCheck(h, IDC_MO_TOLERANCE));
    EnableItems({IDC_MO_RETRY_COUNT, IDC_MO_RETRY_SPIN, IDC_MO_TIMES}, GetCheck(h, IDC_MO_RETRY));
    const bool dated = GetCheck(h, IDC_MO_DATE_DIR);
    EnableItem(IDC_MO_DATE_DIR_EDIT, dated);
    if (dated && GetText(h, IDC_MO_DATE_DIR_EDIT).empty()) SetText(h, IDC_MO_DATE_DIR_EDIT, LoadText(IDS_DEFAULT_DATE_DIR));
}

bool CDlgDefMode::Save() {
    HWND h = Handle();
    FolderSetting& s = Setting();
    // A disabled number keeps its old value; only an editable one is checked.
    int leave = s.LeaveTime, retry = s.NetPathRetryCount;
    int guardPercent = s.DeleteGuardPercent, guardFiles = s.DeleteGuardFiles;
    if (GetCheck(h, IDC_MO_TOLERANCE) && !ValidateIntField(h, IDC_MO_LEAVE_TIME, 1, 999, leave)) return false;
    if (GetCheck(h, IDC_MO_RETRY) && !ValidateIntField(h, IDC_MO_RETRY_COUNT, 1, 99, retry)) return false;
    const bool mirroring = GetCheck(h, IDC_MO_MIRRORING);
    if (mirroring && GetCheck(h, IDC_MO_GUARD) &&
        (!ValidateIntField(h, IDC_MO_GUARD_PERCENT, 0, 100, guardPercent) ||
         !ValidateIntField(h, IDC_MO_GUARD_FILES, 0, 999999, guardFiles))) {
        return false;
    }
    int historyDays = s.HistoryDays, historyRuns = s.HistoryMinRuns;
    const bool history = GetCheck(h, IDC_MO_HISTORY);
    if (mirroring && history &&
        (!ValidateIntField(h, IDC_MO_HISTORY_DAYS, 0, 3650, historyDays) ||
         !ValidateIntField(h, IDC_MO_HISTORY_RUNS, 1, 9999, historyRuns))) {
        return false;
    }
    if (mirroring && history && !HistoryFolderAllowed(GetText(h, IDC_MO_HISTORY_DIR), s.Master, s.Backup)) {
        ShowMessage(h, LoadText(IDS_HISTORY_DIR_INVALID), LoadText(IDS_APP_TITLE), MB_OK | MB_ICONEXCLAMATION);
        SetFocus(GetDlgItem(h, IDC_MO_HISTORY_DIR));
        return false;
    }
    s.LeaveTime = leave;
    s.NetPathRetryCount = retry;
    s.DeleteGuardPercent = guardPercent;
    s.DeleteGuardFiles = guardFiles;
    s.HistoryDays = historyDays;
    s.HistoryMinRuns = historyRuns;
    s.DeleteHistory = history;
    // Chosen with the history, the recycle bin stays as stored for older versions.
    if (!history) s.DeleteRecycleBin = GetCheck(h, IDC_MO_RECYCLE);
    s.BackupType = GetComboIndex(h, IDC_MO_ORDER) == 1 ? 1 : 0;
    SaveFields(h, s, ModePageFields());
    return true;
}

bool CDlgDefMode::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return false;
    switch (id) {
        case IDC_MO_MIRRORING:
        case IDC_MO_GUARD:
        case IDC_MO_REMOVE_PLAIN:
        case IDC_MO_RECYCLE:
        case IDC_MO_HISTORY:
        case IDC_MO_TOLERANCE:
        case IDC_MO_RETRY:
        case IDC_MO_DATE_DIR:
            UpdateEnabling();
            return true;
        default:
            return false;
    }
}

// "ログファイル"

CDlgDefLog::CDlgDefLog(DefineContext& context) : CDefPage(IDD_DEF_LOG, context) {}

void CDlgDefLog::Load() {
    HWND h = Handle();
    const FolderSetting& s = Setting();
    LoadFields(h, s, LogPageFields());
    MakeDropEdit(Item(IDC_LG_FILE), DropForm::Plain);
    AddAnchors(AnchorStretchX, {IDC_LG_FILE});
    AddAnchors(AnchorMoveX, {IDC_LG_BROWSE, IDC_LG_DELETE_NOW});
    UpdateEnabling();
}

void CDlgDefLog::UpdateEnabling() {
    HWND h = Handle();
    const bool on = GetCheck(h, IDC_LG_OUTPUT);
    EnableItems({IDC_LG_FILE_LABEL, IDC_LG_FILE, IDC_LG_BROWSE, IDC_LG_HINT, IDC_LG_HINT2, IDC_LG_IMMEDIATE,
                 IDC_LG_ERROR_ONLY, IDC_LG_CLEAR},
                on);
    EnableItem(IDC_LG_SKIP_LOG, on && !GetCheck(h, IDC_LG_ERROR_ONLY));
    EnableItem(IDC_LG_DELETE_NOW,
               on && AnyLogExists(GetText(h, IDC_LG_FILE), ActiveProjectOf(*context_.options)));
}

void CDlgDefLog::DeleteNow() {
    HWND h = Handle();
    const std::wstring pattern = GetText(h, IDC_LG_FILE);
    const ProjectSlot project = ActiveProjectOf(*context_.options);
    ConfirmAndDeleteLogs(h, [&](bool countOnly) { return DeleteLogsForPattern(pattern, project, countOnly); });
    UpdateEnabling();
}

bool CDlgDefLog::Save() {
    SaveFields(Handle(), Setting(), LogPageFields());
    return true;
}

bool CDlgDefLog::OnCommand(int id, int code) {
    HWND h = Handle();
    switch (id) {
        case IDC_LG_OUTPUT:
        case IDC_LG_ERROR_ONLY:
            UpdateEnabling();
            return true;
        case IDC_LG_FILE:
            if (code == EN_KILLFOCUS) UpdateEnabling();
            return true;
        case IDC_LG_BROWSE: {
            std::wstring path = GetText(h, IDC_LG_FILE);
            if (PickFile(h, path, path, IDS_PICK_LOG_TITLE, IDS_PICK_LOG_FILTER, IDS_PICK_LOG_EXT, true)) {
                SetText(h, IDC_LG_FILE, path);
            }
            UpdateEnabling();
            return true;
        }
        case IDC_LG_DELETE_NOW:
            DeleteNow();
            return true;
        default:
            return false;
    }
}

// "スケジュール"

CDlgDefSchedule::CDlgDefSchedule(DefineContext& context) : CDefPage(IDD_DEF_SCHEDULE, context) {}

void CDlgDefSchedule::Load() {
    HWND h = Handle();
    const FolderSetting& s = Setting();
    SetRadio(h, IDC_SC_EVERY, IDC_SC_HOURS, s.ScheduleType >= 0 && s.ScheduleType <= 2 ? s.ScheduleType : 0);
    SetSpin(h, IDC_SC_HOURS_SPIN, 1, 240);
    SetText(h, IDC_SC_HOURS_EDIT, std::to_wstring(s.ScheduleTime));
    AddAnchors(AnchorStretchX, {IDC_SC_GROUP});
    UpdateEnabling();
}

void CDlgDefSchedule::UpdateEnabling() {
    EnableItems({IDC_SC_HOURS_EDIT, IDC_SC_HOURS_SPIN}, GetCheck(Handle(), IDC_SC_HOURS));
}

bool CDlgDefSchedule::Save() {
    HWND h = Handle();
    FolderSetting& s = Setting();
    const int type = std::max(0, GetRadio(h, IDC_SC_EVERY, IDC_SC_HOURS));
    int hours = s.ScheduleTime;
    if (type == ScheduleAfterHours && !ValidateIntField(h, IDC_SC_HOURS_EDIT, 1, 240, hours)) return false;
    s.ScheduleType = type;
    s.ScheduleTime = hours;
    return true;
}

bool CDlgDefSchedule::OnCommand(int id, int code) {
    if (code == BN_CLICKED && id >= IDC_SC_EVERY && id <= IDC_SC_HOURS) {
        UpdateEnabling();
        return true;
    }
    return false;
}

// "コマンド"

namespace {
constexpr int kBlock[2] = {IDC_CM_BEFORE, IDC_CM_AFTER};
}

CDlgDefCommand::CDlgDefCommand(DefineContext& context) : CDefPage(IDD_DEF_COMMAND, context) {}

void CDlgDefCommand::Load() {
    HWND h = Handle();
    for (int slot = 0; slot < 2; ++slot) {
        const int b = kBlock[slot];
        const CommandEntry& c = context_.commands[slot];
        LoadFields(h, c, CommandPageFields(), b);
        for (unsigned text : {IDS_WINDOW_NORMAL, IDS_WINDOW_MINIMIZED, IDS_WINDOW_MAXIMIZED, IDS_WINDOW_HIDDEN}) {
            AddComboItem(h, b + CM_WINDOW, LoadText(text));
        }
        SetComboIndex(h, b + CM_WINDOW, c.window >= 0 && c.window <= 3 ? c.window : 0);
        for (int part : {CM_NAME, CM_PATH, CM_PARAM}) MakeDropEdit(Item(b + part), DropForm::Plain);
        AddAnchors(AnchorStretchX, {b + CM_GROUP, b + CM_NAME, b + CM_PATH, b + CM_PARAM});
        AddAnchors(AnchorMoveX, {b + CM_SELECT, b + CM_BROWSE});
        UpdateEnabling(slot);
    }
}

void CDlgDefCommand::UpdateEnabling(int slot) {
    const int b = kBlock[slot];
    const bool on = GetCheck(Handle(), b + CM_ENABLE);
    for (int part = CM_NAME; part <= CM_WINDOW_LABEL; ++part) {
        if (part != CM_GROUP) EnableItem(b + part, on);
    }
}

bool CDlgDefCommand::Save() {
    HWND h = Handle();
    for (int slot = 0; slot < 2; ++slot) {
        const int b = kBlock[slot];
        CommandEntry& c = context_.commands[slot];
        SaveFields(h, c, CommandPageFields(), b);
        c.window = std::max(0, GetComboIndex(h, b + CM_WINDOW));
    }
    return true;
}

bool CDlgDefCommand::OnCommand(int id, int code) {
    HWND h = Handle();
    const int slot = id >= IDC_CM_AFTER ? 1 : 0;
    const int b = kBlock[slot];
    if (id < IDC_CM_BEFORE || id > IDC_CM_AFTER + CM_WINDOW_LABEL || code != BN_CLICKED) return false;
    switch (id - b) {
        case CM_ENABLE:
            UpdateEnabling(slot);
            return true;
        case CM_BROWSE: {
            std::wstring path = GetText(h, b + CM_PATH);
            if (PickFile(h, path, path, IDS_PICK_PROGRAM_TITLE, IDS_PICK_EXE_FILTER, IDS_PICK_EXE_EXT, false)) {
                SetText(h, b + CM_PATH, path);
            }
            return true;
        }
        case CM_SELECT: {
            CDlgSelectCommand select(context_.options->commands);
            const CommandEntry* chosen = select.Choose(h);
            if (chosen) {
                SetText(h, b + CM_NAME, chosen->DisplayName());
                SetText(h, b + CM_PATH, chosen->path);
                SetText(h, b + CM_PARAM, chosen->param);
                SetComboIndex(h, b + CM_WINDOW, chosen->window >= 0 && chosen->window <= 3 ? chosen->window : 0);
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace tandrel
