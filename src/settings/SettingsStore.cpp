#include "settings/SettingsStore.h"

#include <algorithm>
#include <utility>

#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource_settings.h"
#include "settings/IniFile.h"
#include "settings/ProfileStore.h"

namespace tandrel {

namespace {

constexpr unsigned kStartGroups = GroupVersion | GroupLayout | GroupProjects | GroupSheet;

// The key lists below are walked by a Loader, which reads every value with
// its default, and by a Saver, which writes them in list order. One list per
// record keeps both directions in step.
class Loader {
public:
    static constexpr bool kLoading = true;
    Loader(const ProfileStore& store, std::wstring section) : reader_(store, std::move(section)) {}
    void Text(const std::wstring& key, std::wstring& value, const std::wstring& defaultValue) {
        value = reader_.ReadString(key, defaultValue);
    }
    void Number(const std::wstring& key, int& value, int defaultValue) { value = reader_.ReadInt(key, defaultValue); }
    template <class T>
    void Wide(const std::wstring& key, T& value, T defaultValue) {
        value = static_cast<T>(reader_.ReadInt64(key, defaultValue));
    }
    void Flag(const std::wstring& key, bool& value, bool defaultValue) {
        value = reader_.ReadInt(key, defaultValue ? 1 : 0) != 0;
    }

private:
    SectionReader reader_;
};

class Saver {
public:
    static constexpr bool kLoading = false;
    Saver(ProfileStore& store, std::wstring section) : writer_(store, std::move(section)) {}
    void Text(const std::wstring& key, const std::wstring& value, const std::wstring&) { writer_.WriteString(key, value); }
    void Number(const std::wstring& key, int value, int) { writer_.WriteInt(key, value); }
    template <class T>
    void Wide(const std::wstring& key, T value, T) { writer_.WriteInt64(key, value); }
    void Flag(const std::wstring& key, bool value, bool) { writer_.WriteInt(key, value ? 1 : 0); }
    bool Commit() { return writer_.Commit(); }

private:
    SectionWriter writer_;
};

#define TANDREL_KEY(kind, field) v.kind(L"" #field, s.field, d.field)

template <class V, class S>
void VisitSetting(V& v, S& s, const FolderSetting& d, unsigned parts) {
    if (parts & PartResult) {
        TANDREL_KEY(Wide, LastExec);
        // Absent in older files: the last run, as it was counted then.
        v.Wide(L"LastCleanExec", s.LastCleanExec, s.LastExec);
        TANDREL_KEY(Wide, LastFiles);
        TANDREL_KEY(Wide, LastSeconds);
        TANDREL_KEY(Wide, LastTestFiles);
        TANDREL_KEY(Wide, LastTestSeconds);
        TANDREL_KEY(Number, Errors);
    }
    if (parts & PartAutoExec) TANDREL_KEY(Flag, AutoExec);
    if (!(parts & PartDefinition)) return;
    TANDREL_KEY(Text, Name);
    TANDREL_KEY(Text, Master);
    TANDREL_KEY(Text, Backup);
    TANDREL_KEY(Text, VolumeMaster);
    TANDREL_KEY(Text, Volume);
    TANDREL_KEY(Flag, Mirroring);
    TANDREL_KEY(Number, BackupType);
    TANDREL_KEY(Flag, DeleteConf);
    TANDREL_KEY(Flag, DeleteRecycleBin);
    TANDREL_KEY(Flag, DeleteGuard);
    TANDREL_KEY(Number, DeleteGuardPercent);
    TANDREL_KEY(Number, DeleteGuardFiles);
    TANDREL_KEY(Flag, DeleteHistory);
    TANDREL_KEY(Text, HistoryDir);
    TANDREL_KEY(Number, HistoryDays);
    TANDREL_KEY(Number, HistoryMinRuns);
    TANDREL_KEY(Flag, Overwrite);
    TANDREL_KEY(Flag, OverwriteAlways);
    TANDREL_KEY(Flag, SubDir);
    TANDREL_KEY(Flag, SkipIfFolderNotExist);
    TANDREL_KEY(Flag, CheckVolumeMaster);
    TANDREL_KEY(Flag, CheckVolume);
    TANDREL_KEY(Flag, VolErrorSkip);
    TANDREL_KEY(Flag, ExecIfDetectMediaVol);
    TANDREL_KEY(Flag, DetectDriveByVolumeMaster);
    TANDREL_KEY(Flag, DetectDriveByVolumeBackup);
    TANDREL_KEY(Flag, Verify);
    TANDREL_KEY(Flag, NtfsToFat);
    TANDREL_KEY(Number, LeaveTime);
    TANDREL_KEY(Flag, ErrorLeave);
    TANDREL_KEY(Flag, CopyLockedFile);
    TANDREL_KEY(Flag, ErrorNetPathRetry);
    TANDREL_KEY(Number, NetPathRetryCount);
    TANDREL_KEY(Flag, CheckFileName);
    TANDREL_KEY(Flag, CopyFileTimeAll);
    TANDREL_KEY(Flag, CopyFolderTime);
    TANDREL_KEY(Flag, RenameCapital);
    TANDREL_KEY(Flag, ShowSkipFile);
    TANDREL_KEY(Flag, MakeDateDir);
    TANDREL_KEY(Text, BackupDateDir);
    TANDREL_KEY(Number, TargetType);
    TANDREL_KEY(Text, TargetFile);
    TANDREL_KEY(Text, TargetDirectory);
    TANDREL_KEY(Flag, IgnoreSystemFiles);
    TANDREL_KEY(Flag, DeleteIgnoreTarget);
    TANDREL_KEY(Flag, SkipTargetFileSize);
    std::wstring size = s.TargetFileSize.Format();
    v.Text(L"TargetFileSize", size, L"");
    if constexpr (V::kLoading) s.TargetFileSize = TargetFileSize::Parse(size);
    TANDREL_KEY(Number, TargetDateType);
    TANDREL_KEY(Wide, TargetDate);
    TANDREL_KEY(Flag, OutputLog);
    TANDREL_KEY(Flag, OutputErrorOnly);
    TANDREL_KEY(Flag, OutputSkipLog);
    TANDREL_KEY(Flag, ClearLog);
    TANDREL_KEY(Flag, WriteLogImmediately);
    TANDREL_KEY(Text, LogFileName);
    TANDREL_KEY(Number, ScheduleType);
    TANDREL_KEY(Number, ScheduleTime);
}

#undef TANDREL_KEY

// Slot n of a folder setting's commands; the defaults are those of an
// absent command.
template <class V, class E>
void VisitCommandSlot(V& v, E& e, int n) {
    const std::wstring i = std::to_wstring(n);
    v.Number(L"CommandType" + i, e.type, n);
    v.Flag(L"CommandEnable" + i, e.enable, false);
    v.Text(L"CommandName" + i, e.name, L"");
    v.Text(L"CommandPath" + i, e.path, L"");
    v.Text(L"CommandParam" + i, e.param, L"");
    v.Number(L"CommandWindow" + i, e.window, 0);
    v.Number(L"CommandOnMode" + i, e.onMode, 0);
    v.Number(L"CommandOnError" + i, e.onError, 0);
}

template <class V, class E>
void VisitGlobalCommand(V& v, E& e, int k) {
    const std::wstring i = std::to_wstring(k);
    v.Text(L"ExecToolName" + i, e.name, L"");
    v.Text(L"ExecToolPath" + i, e.path, L"");
    v.Text(L"ExecToolParam" + i, e.param, L"");
    v.Number(L"ExecToolWindow" + i, e.window, 0);
    v.Number(L"ExecToolAction" + i, e.action, 0);
    v.Flag(L"ExecToolVisible" + i, e.visible, false);
}

template <class V, class O>
void VisitVersionGroup(V& v, O& o) {
    v.Text(L"IniVersion", o.IniVersion, o.programVersion);
    v.Flag(L"MinimizeOnTrayOnly", o.MinimizeOnTrayOnly, false);
    v.Flag(L"AutoExitWhenError", o.AutoExitWhenError, false);
}

// Everything the options sheet edits, in the order it is stored.
template <class V, class O>
void VisitSheetGroup(V& v, O& o) {
    v.Text(L"IgnoreSystemFolderNames", o.IgnoreSystemFolderNames, LoadText(IDS_ALL_SYSTEM_FOLDERS));
    v.Text(L"IgnoreSystemFileNames", o.IgnoreSystemFileNames, LoadText(IDS_ALL_SYSTEM_FILES));
    v.Number(L"RecycleBinFileCount", o.RecycleBinFileCount, 200);
    v.Flag(L"CheckRecycleBin", o.CheckRecycleBin, true);
    v.Flag(L"ExecIfDetectMedia", o.ExecIfDetectMedia, false);
    int media = AppState::EncodeDetectMediaAction(o.DetectMediaAction);
    v.Number(L"DetectMediaAction", media, AppState::EncodeDetectMediaAction(1));
    if constexpr (V::kLoading) o.DetectMediaAction = AppState::DecodeDetectMediaAction(media);
    v.Flag(L"OutputLog", o.OutputLog, false);
    v.Text(L"LogFileName", o.LogFileName, L"");
    v.Flag(L"OutputErrorOnly", o.OutputErrorOnly, false);
    v.Flag(L"OutputSkipLog", o.OutputSkipLog, true);
    v.Flag(L"ClearLog", o.ClearLog, false);
    v.Flag(L"WriteLogImmediately", o.WriteLogImmediately, false);
    v.Number(L"ParallelCopies", o.ParallelCopies, 0);
    // A count out of range is no choice: the program's own stands.
    if constexpr (V::kLoading) {
        if (o.ParallelCopies < 0 || o.ParallelCopies > kMaxParallelCopies) o.ParallelCopies = 0;
    }
    const std::wstring dateFormat = LoadText(IDS_DEFAULT_DATE_FORMAT);
    v.Text(L"FormatFolderSetResult", o.FormatFolderSetResult, dateFormat);
    v.Text(L"FormatReportFileTime", o.FormatReportFileTime, dateFormat);
    for (int slot = 0; slot < FontSlotCount; ++slot) {
        v.Text(std::wstring(L"FontName") + kFontSlotNames[slot], o.fonts[slot].face, L"");
        v.Number(std::wstring(L"FontSize") + kFontSlotNames[slot], o.fonts[slot].size, 0);
    }
    v.Text(L"CompareToolName", o.CompareToolName, L"");
    v.Text(L"CompareToolPath", o.CompareToolPath, LoadText(IDS_COMPARE_DEFAULT));
    v.Text(L"CompareToolParam", o.CompareToolParam, LoadText(IDS_COMPARE_PARAM));
    v.Text(L"LogViewToolName", o.LogViewToolName, L"");
    v.Text(L"LogViewToolPath", o.LogViewToolPath, LoadText(IDS_LOGVIEW_DEFAULT));
    v.Text(L"LogViewToolParam", o.LogViewToolParam, LoadText(IDS_LOGVIEW_PARAM));
    int count = o.commands.Count();
    v.Number(L"ExecToolCount", count, 1);
    if constexpr (V::kLoading) {
        o.commands.Clear();
        count = std::clamp(count, 0, kMaxGlobalCommands);
        for (int k = 0; k < count; ++k) {
            CommandEntry entry;
            entry.enable = true;
            VisitGlobalCommand(v, entry, k);
            entry.id = o.commands.NextId();
            o.commands.Append(entry);
        }
    } else {
        for (int k = 0; k < count; ++k) VisitGlobalCommand(v, o.commands.At(k), k);
    }
}

// A project's stored folder-setting count, within the per-project limit.
int StoredSettingCount(ProfileStore& store, int project) {
    return std::clamp(store.ReadInt(kOptionsSection, ListCountKey(project), 0), 0, kMaxSettingsPerProject);
}

void LoadProjectList(AppState& o, ProfileStore& store) {
    o.projects.ClearAll();
    if (o.ActiveProject == -1) o.ActiveProject = store.ReadInt(kOptionsSection, L"ActiveProject", 0);
    const int count =
        std::clamp(store.ReadInt(kOptionsSection, L"ProjectCount", kDefaultProjectCount), 1, kMaxProjects);
    for (int p = 0; p < count; ++p) {
        const std::wstring defaultName = p == 0 ? LoadText(IDS_DEFAULT_PROJECT) : std::wstring();
        o.projects.Add(store.ReadString(OptionsSection(p), L"ProjectName", defaultName));
    }
    if (o.ActiveProject < 0 || o.ActiveProject >= o.projects.Count()) o.ActiveProject = 0;
}

bool SaveProjectList(AppState& o, ProfileStore& store) {
    if (!SetProjectCount(o, o.projects.Count())) return false;
    for (int p = 0; p < o.projects.Count(); ++p) {
        const std::wstring& name = o.projects.Name(p);
        // A nameless project without settings leaves nothing behind.
        const bool vacant = p >= 1 && name.empty() && StoredSettingCount(store, p) == 0;
        const bool ok = vacant ? store.DeleteSection(OptionsSection(p))
                               : store.WriteString(OptionsSection(p), L"ProjectName", name);
        if (!ok) return false;
    }
    return true;
}

bool SaveOptionGroups(AppState& o, unsigned groups);

// A fresh AppState holding the given groups of another.
AppState WorkingCopy(const AppState& from, unsigned groups) {
    AppState copy;
    copy.Reset(from.programVersion);
    copy.CopyFrom(from, groups);
    return copy;
}

}  // namespace

void LoadAtStart(AppState& o) {
    if (o.iniForced) o.useRegistry = false;
    if (o.noSave) {
        if (o.ActiveProject == -1) o.ActiveProject = 0;
        o.MainWindow = Rect{0, 0, 640, 480};
        o.useRegistry = false;
        o.FolderSettingDialog = Rect{};
        LoadOptions(o, GroupVersion);
        o.projects.ClearAll();
        for (int p = 0; p < kDefaultProjectCount; ++p) o.projects.Add(LoadText(IDS_DEFAULT_PROJECT));
        ProfileStore store(o);
        store.ReadWidths(L"", o.SetupList, kDefaultSetupListWidths);
        store.ReadWidths(L"", o.ReportList, kDefaultReportListWidths);
    } else {
        LoadOptions(o, kStartGroups);
    }
    o.loaded = true;
}

void LoadOptions(AppState& o, unsigned groups) {
    ProfileStore store(o);
    if (groups & GroupVersion) {
        Loader v(store, kOptionsSection);
        VisitVersionGroup(v, o);
    }
    if (groups & GroupLayout) {
        store.ReadRect(L"MainWindow", o.MainWindow);
        store.ReadRect(L"FolderSettingDialog", o.FolderSettingDialog);
        store.ReadWidths(L"SetupList", o.SetupList, kDefaultSetupListWidths);
        store.ReadWidths(L"ReportList", o.ReportList, kDefaultReportListWidths);
        o.DivideY = store.ReadInt(kOptionsSection, L"DivideY", 192);
    }
    if (groups & GroupProjects) LoadProjectList(o, store);
    if (groups & GroupSettings) {
        for (int p = 0; p < o.projects.Count(); ++p) {
            Project& project = o.projects.At(p);
            LoadProjectSettings(o, project.settings, project.commands, p);
        }
    }
    if (groups & GroupSheet) {
        Loader v(store, kOptionsSection);
        VisitSheetGroup(v, o);
        if (o.CompareToolName.empty()) o.CompareToolName = BaseNameOf(o.CompareToolPath);
        if (o.LogViewToolName.empty()) o.LogViewToolName = BaseNameOf(o.LogViewToolPath);
    }
}

bool SaveOptions(AppState& o, unsigned groups) {
    StoreBatch batch(o);
    if (!SaveOptionGroups(o, groups)) return false;
    return batch.Commit();
}

namespace {

bool SaveOptionGroups(AppState& o, unsigned groups) {
    // A /logoff start made up its options, layout and project list: the
    // stored ones stay, and changes live in memory only.
    if (o.noSave) groups &= GroupSettings;
    // The file always records its last writer.
    o.IniVersion = o.programVersion;
    ProfileStore store(o);
    if (groups & GroupVersion) {
        Saver v(store, kOptionsSection);
        VisitVersionGroup(v, std::as_const(o));
        if (!v.Commit()) return false;
    }
    if (groups & GroupLayout) {
        const bool ok = store.WriteRect(L"MainWindow", o.MainWindow) &&
                        store.WriteRect(L"FolderSettingDialog", o.FolderSettingDialog) &&
                        store.WriteWidths(L"SetupList", o.SetupList) &&
                        store.WriteWidths(L"ReportList", o.ReportList) &&
                        store.WriteInt(kOptionsSection, L"DivideY", o.DivideY);
        if (!ok) return false;
    }
    if ((groups & GroupProjects) && !SaveProjectList(o, store)) return false;
    if (groups & GroupSettings) {
        for (int p = 0; p < o.projects.Count(); ++p) {
            const Project& project = o.projects.At(p);
            if (!SaveProjectSettings(o, project.settings, project.commands, p, -1, PartAll)) return false;
        }
    }
    if (groups & GroupSheet) {
        Saver v(store, kOptionsSection);
        VisitSheetGroup(v, std::as_const(o));
        if (!v.Commit()) return false;
    }
    return true;
}

}  // namespace

unsigned long CheckStoreReadable(AppState& o) {
    if (o.useRegistry) return ERROR_SUCCESS;
    const unsigned long error = ini::ReadError(o.iniPath);
    if (error == ERROR_SUCCESS) o.settingsFileSeen = o.iniPath;
    // There before and gone now (an editor saving by rename, "del" and
    // "copy"): it cannot be read, it is not empty.
    const bool taken = error == ERROR_FILE_NOT_FOUND && EqualsNoCase(o.settingsFileSeen, o.iniPath);
    if (error != ERROR_SUCCESS && (error != ERROR_FILE_NOT_FOUND || taken) && !o.settingsReadError)
        o.settingsReadError = error;
    return error;
}

int LoadProjectSettings(AppState& o, std::vector<FolderSetting>& settings, CommandList& commands, int project) {
    CheckStoreReadable(o);
    ProfileStore store(o);
    const int count = StoredSettingCount(store, project);
    commands.Clear();
    FolderSetting defaults;
    defaults.Reset(LoadText(IDS_NEW_SETTING));
    settings.assign(static_cast<size_t>(count), defaults);
    for (int i = 0; i < count; ++i) {
        FolderSetting& s = settings[static_cast<size_t>(i)];
        Loader v(store, SettingSection(project, i));
        VisitSetting(v, s, defaults, PartAll);
        s.NetPathRetryCount = std::max(s.NetPathRetryCount, 1);
        s.DeleteGuardPercent = std::clamp(s.DeleteGuardPercent, 0, 100);
        s.DeleteGuardFiles = std::max(s.DeleteGuardFiles, 0);
        s.HistoryDays = std::clamp(s.HistoryDays, 0, 3650);
        s.HistoryMinRuns = std::clamp(s.HistoryMinRuns, 1, 9999);
        s.Errors = std::max(s.Errors, static_cast<int>(ErrorsNeverRun));
        for (int n = 0; n < 2; ++n) {
            CommandEntry entry;
            VisitCommandSlot(v, entry, n);
            // A slot whose stored type names the other slot has no command.
            entry.id = commands.NextId();
            if (entry.type == n) {
                commands.Append(entry);
                s.commandIds[n] = entry.id;
            }
        }
        s.ClearRunState();
    }
    return count;
}

bool SaveSetting(AppState& o, const FolderSetting& setting, const CommandList& commands, int project, int index,
                 unsigned parts) {
    ProfileStore store(o);
    Saver v(store, SettingSection(project, index));
    // The saver ignores defaults, so the record stands in for them.
    VisitSetting(v, setting, setting, parts);
    if (parts & PartDefinition) {
        for (int n = 0; n < 2; ++n) {
            CommandEntry entry;
            commands.CopyInto(entry, setting.commandIds[n], n);
            VisitCommandSlot(v, std::as_const(entry), n);
        }
    }
    return v.Commit();
}

bool SaveProjectSettings(AppState& o, const std::vector<FolderSetting>& settings, const CommandList& commands,
                         int project, int index, unsigned parts) {
    const int count = std::min(static_cast<int>(settings.size()), kMaxSettingsPerProject);
    StoreBatch batch(o);
    bool ok = true;
    int first = 0, end = count;
    if (index < 0) {
        ProfileStore store(o);
        // Project 0 always states its count; the others drop the key when empty.
        ok = (count > 0 || project == 0) ? store.WriteInt(kOptionsSection, ListCountKey(project), count)
                                          : store.DeleteKey(kOptionsSection, ListCountKey(project));
    } else if (!o.dirtyOrder) {
        // A reordering waits for the next save, which then writes every setting.
        if (index >= count) return false;
        first = index;
        end = index + 1;
    }
    for (int i = first; ok && i < end; ++i) ok = SaveSetting(o, settings[static_cast<size_t>(i)], commands, project, i, parts);
    ok = ok && batch.Commit();
    if (ok) o.dirtyOrder = false;
    return ok;
}

bool DeleteProjectKeys(AppState& o, int count, int project) {
    StoreBatch batch(o);
    ProfileStore store(o);
    bool ok = true;
    // The stored names are the project list, which a /logoff start keeps.
    if (!o.noSave)
        ok = project >= 1 ? store.DeleteSection(OptionsSection(project)) : store.DeleteKey(kOptionsSection, L"ProjectName");
    ok = ok && store.DeleteKey(kOptionsSection, ListCountKey(project));
    for (int i = 0; ok && i < count; ++i) ok = store.DeleteSection(SettingSection(project, i));
    return ok && batch.Commit();
}

bool SetProjectCount(AppState& o, int count) {
    if (o.ActiveProject >= count) o.ActiveProject = -1;
    if (o.noSave) return true;
    StoreBatch batch(o);
    ProfileStore store(o);
    return store.WriteInt(kOptionsSection, L"ActiveProject", o.ActiveProject) &&
           store.WriteInt(kOptionsSection, L"ProjectCount", count) && batch.Commit();
}

bool RecordStorageChoice(AppState& o) {
    StoreBatch batch(o);
    ProfileStore store(o);
    const int chosen = o.useRegistry ? 1 : 0;
    bool iniValuePresent = true;
    if (o.registryAllowed) {
        iniValuePresent = store.ReadInt(kSaveSection, kSaveRegistoryKey, -1, true) != -1;
        if ((RegistryStorageChoice(o) != -1 || o.useRegistry) &&
            !store.WriteRegistryInt(kSaveSection, kSaveRegistoryKey, chosen))
            return false;
    }
    if ((iniValuePresent || !o.useRegistry) && !store.WriteInt(kSaveSection, kSaveRegistoryKey, chosen, true))
        return false;
    return batch.Commit();
}

bool SaveAtExit(AppState& o) {
    if (o.noSave || !o.loaded || o.settingsReadError) return true;
    StoreBatch batch(o);
    return RecordStorageChoice(o) && SaveOptionGroups(o, kStartGroups) && batch.Commit();
}

unsigned ProjectListLock(const AppState& o) {
    if (o.settingsReadError) return IDS_LOCKED_UNREAD;
    if (o.noSave) return IDS_LOCKED_BY_LOGOFF;
    return 0;
}

unsigned OptionsNotKept(const AppState& o) {
    if (o.noSave) return IDS_NOT_KEPT_BY_LOGOFF;
    if (o.settingsReadError || o.settingsWriteError) return IDS_NOT_KEPT_UNSAVED;
    return 0;
}

bool ExportSettings(const AppState& options, const std::wstring& file) {
    AppState source = WorkingCopy(options, GroupAll & ~GroupSettings);
    // What cannot be read now would be exported as empty.
    CheckStoreReadable(source);
    if (source.settingsReadError) return false;
    // What was never loaded is read now.
    if (ProjectListLock(options)) {
        source.ActiveProject = -1;
        LoadOptions(source, kStartGroups);
    }
    LoadOptions(source, GroupSettings);
    if (source.settingsReadError) return false;
    AppState target = WorkingCopy(source, GroupAll);
    target.iniPath = file;
    target.useRegistry = false;
    target.registryAllowed = false;
    target.noSave = false;
    // Written whole or not at all.
    ini::Batch batch(file);
    if (!ProfileStore(target).EnsureIniFile(true)) return false;
    return SaveAtExit(target) && SaveOptions(target, GroupSettings) && batch.Commit();
}

bool IsSettingsFile(const std::wstring& file) {
    if (ini::ReadError(file) != 0) return false;
    AppState probe;
    probe.Reset(L"");
    probe.iniPath = file;
    ProfileStore store(probe);
    for (const wchar_t* key : {L"IniVersion", L"ProjectCount", L"ListCount"}) {
        if (store.ReadString(kOptionsSection, key, L"").size() > 0) return true;
    }
    for (const std::wstring& name : ini::SectionNames(file)) {
        // "Define 0" or "Project\003\Define12"
        std::wstring rest = name;
        if (StartsWithNoCase(rest, L"Project\\") && rest.size() > 12 && rest[11] == L'\\') rest = rest.substr(12);
        if (StartsWithNoCase(rest, L"Define") && rest.size() > 6 &&
            rest.find_first_not_of(L" 0123456789", 6) == std::wstring::npos && rest.back() != L' ')
            return true;
    }
    return false;
}

ImportResult ImportSettings(AppState& options, const std::wstring& file, bool newerConfirmed,
                            std::wstring* fileVersion) {
    // Another program's file, or one that cannot be read, would read as
    // empty settings and replace everything.
    if (ProjectListLock(options) || !IsSettingsFile(file)) return ImportFailed;
    const AppState before = WorkingCopy(options, GroupAll);
    AppState target = WorkingCopy(options, GroupAll & ~GroupSettings);
    target.useRegistry = false;
    // A file that could not be written is not tried again.
    target.settingsWriteError = options.settingsWriteError;
    if (!options.useRegistry) target.settingsFileSeen = options.settingsFileSeen;

    AppState source;
    source.Reset(L"");
    source.iniPath = file;
    LoadOptions(source, GroupVersion);
    if (!newerConfirmed && CompareVersions(options.programVersion, source.IniVersion) < 0) {
        if (fileVersion) *fileVersion = source.IniVersion;
        return ImportNeedsConfirmation;
    }
    LoadAtStart(source);
    LoadOptions(source, GroupSettings);
    if (source.settingsReadError) return ImportFailed;

    // Everything reaches the settings file in one write, or nothing does.
    bool ok = true;
    {
        StoreBatch batch(target);
        // Setting sections beyond a project's new count may stay: the count
        // key bounds every load.
        ProfileStore store(target);
        for (int p = 0; ok && p < options.projects.Count(); ++p)
            ok = DeleteProjectKeys(target, StoredSettingCount(store, p), p);
        if (ok) {
            target.CopyFrom(source, GroupAll & ~GroupLocation);
            target.loaded = true;
            ok = SaveAtExit(target) && SaveOptions(target, GroupAll);
        }
        ok = ok && batch.Commit();
    }
    options.settingsWriteError = target.settingsWriteError;
    if (ok) {
        options.settingsFileSeen = options.iniPath;
        options.useRegistry = false;
        // A crash before the exit save must not bring the registry back.
        RecordStorageChoice(options);
        LoadAtStart(options);
        return ImportDone;
    }
    options.CopyFrom(before, GroupAll);
    return ImportFailed;
}

}  // namespace tandrel
