#include "settings/SettingsLocation.h"

#include <optional>
#include <utility>
#include <vector>

#include "platform/Environment.h"
#include "platform/Messages.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource_settings.h"
#include "settings/IniDocument.h"
#include "settings/IniFile.h"
#include "settings/ProfileStore.h"
#include "settings/SettingsStore.h"

namespace tandrel {

namespace {

// Projects an older settings file can hold; only these are carried over.
constexpr int kConvertedProjects = 32;

// Relative in the shell's sense: neither rooted ("\x", "\\server") nor
// carrying a drive ("C:x").
bool IsRelative(const std::wstring& path) {
    if (!path.empty() && (path[0] == L'\\' || path[0] == L'/')) return false;
    return !(path.size() >= 2 && path[1] == L':');
}

// The profile functions look for a relative name in the Windows folder,
// while the user meant the current one. With always, absolute names are
// normalised too ("/" and "..").
std::wstring FullPath(const std::wstring& path, bool always = false) {
    if (path.empty() || (!always && !IsRelative(path))) return path;
    return ini::NormalisedPath(path);
}

std::wstring BackupPath(const std::wstring& iniPath) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return iniPath + Format(L".%04d%02d%02d%02d%02d%02d.bak", now.wYear, now.wMonth, now.wDay, now.wHour,
                            now.wMinute, now.wSecond);
}

// Writes the settings loaded from source into the freshly emptied file at
// options.iniPath: options and project list, then the folder settings of the
// projects an older file can hold.
bool ConvertInto(AppState& o, const std::wstring& source) {
    const std::wstring target = o.iniPath;
    // The converted file replaces the old one in one write.
    ini::Batch batch(target);
    if (!ProfileStore(o).EnsureIniFile(true) || !SaveAtExit(o)) return false;
    const int active = o.ActiveProject;
    std::vector<FolderSetting> settings;
    CommandList commands;
    for (int p = 0; p < kConvertedProjects; ++p) {
        o.iniPath = source;
        LoadProjectSettings(o, settings, commands, p);
        o.iniPath = target;
        if (!SaveProjectSettings(o, settings, commands, p, -1, PartAll)) return false;
    }
    o.ActiveProject = active;
    // Trailing projects without settings are dropped from the list.
    ProfileStore store(o);
    int last = kConvertedProjects - 1;
    for (int p = kMaxProjects - 1; p >= kConvertedProjects; --p) {
        if (store.ReadInt(kOptionsSection, ListCountKey(p), 0) > 0) {
            last = p;
            break;
        }
        if (!DeleteProjectKeys(o, 0, p)) return false;
    }
    return SetProjectCount(o, last + 1) && batch.Commit();
}

// Whether two names reach one file: compared as files where both exist
// (another letter case, "..", "/" or a short name all reach the same one),
// else as full paths.
bool SameFile(const std::wstring& a, const std::wstring& b) {
    const auto idA = IdentityOf(FullPath(a, true)), idB = IdentityOf(FullPath(b, true));
    if (idA && idB) return *idA == *idB;
    return EqualsNoCase(FullPath(a, true), FullPath(b, true));
}

}  // namespace

std::wstring ResolveIniPath(AppState& options, const std::wstring& name, const std::wstring& extension) {
    const PathParts program = SplitPath(ModulePath());
    options.exeDirectory = program.drive + program.directory;
    const std::wstring base = name.empty() ? program.baseName : name;
    std::wstring ext = extension.empty() ? std::wstring(L".ini") : extension;
    if (base.size() >= ext.size() && EqualsNoCase(base.substr(base.size() - ext.size()), ext)) ext.clear();
    const std::wstring folder = IsRelative(base) ? options.exeDirectory : std::wstring();
    // "..", "/", a rooted name without drive: the file system and the
    // long-path form need the plain full name.
    return FullPath(folder + base + ext, true);
}

std::wstring SettingsFileIdentity(const std::wstring& iniPath) {
    std::wstring path = FullPath(iniPath, true);
    // A short name of an existing file becomes its long one.
    const DWORD size = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (size > 0) {
        std::wstring longName(size, L'\0');
        const DWORD n = GetLongPathNameW(path.c_str(), longName.data(), size);
        if (n > 0 && n < size) path = longName.substr(0, n);
    }
    return FoldName(path);
}

bool ChooseStorage(AppState& o) {
    o.useRegistry = false;
    // With these switches the command line has settled it: the INI file.
    const bool settled = o.noSave || o.iniForced;
    int choice = -1;
    if (o.registryAllowed) RecoverRegistry(o);
    if (!settled) {
        choice = o.registryAllowed ? RegistryStorageChoice(o) : -1;
        if (choice == -1) choice = ProfileStore(o).ReadInt(kSaveSection, kSaveRegistoryKey, -1, true);
        // Without the switch the INI file is used whatever was stored.
        o.useRegistry = o.registryAllowed && choice == 1;
        if (o.useRegistry) return true;
    }
    // Only a missing file is a first run; one that cannot be read is not.
    if (CheckStoreReadable(o) != ERROR_FILE_NOT_FOUND || settled || choice != -1) return true;
    const int answer = ShowMessage(nullptr, LoadText(IDS_FIRST_RUN), LoadText(IDS_APP_TITLE),
                                   MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
    if (answer == IDCANCEL) {
        o.noSave = true;
        return false;
    }
    // An installation of the older program leaves its settings beside us.
    if (answer == IDOK) o.oldIniPath = o.exeDirectory + LoadText(IDS_OLD_INI_NAME);
    return true;
}

void OpenSettings(AppState& o) {
    CheckStoreReadable(o);
    if (o.useRegistry || o.settingsReadError) {
        LoadAtStart(o);
        return;
    }
    const std::wstring newPath = o.iniPath;
    const std::wstring oldPath = FullPath(o.oldIniPath);
    // A missing old file means there is nothing to convert from; with noSave
    // nothing may be written, and a conversion writes the whole file.
    const bool convertOld = !oldPath.empty() && !SameFile(oldPath, newPath) && FileExists(oldPath) && !o.noSave;
    std::wstring source;
    std::wstring backup;
    if (FileExists(newPath)) {
        LoadAtStart(o);
        const std::optional<ini::Encoding> encoding = ini::EncodingOf(newPath);
        const bool ansi = encoding == ini::Encoding::Ansi;
        if (!convertOld && (!encoding || encoding == ini::Encoding::Utf16 || o.noSave)) return;
        // Without a copy the old file would be lost: keep using it as it is.
        backup = BackupPath(newPath);
        if (!CopyFileW(LongPath(newPath).c_str(), LongPath(backup).c_str(), FALSE)) {
            ReportIniFileError(backup, GetLastError());
            return;
        }
        // A current file an editor saved in another encoding only changes
        // its encoding: every project and line stays.
        if (!convertOld && !ansi) {
            ini::Reencode(newPath, ini::Encoding::Utf16);
            return;
        }
        source = backup;
    }
    if (convertOld) {
        o.iniPath = oldPath;
        LoadAtStart(o);
        o.iniPath = newPath;
        source = oldPath;
    }
    if (source.empty()) {
        LoadAtStart(o);
        return;
    }
    if (!ConvertInto(o, source)) {
        // The user has been told; put the replaced file back and go on with
        // the settings in memory.
        if (!backup.empty()) CopyFileW(LongPath(backup).c_str(), LongPath(newPath).c_str(), FALSE);
        return;
    }
    LoadAtStart(o);
    ShowMessageFormat(nullptr, IDS_INI_CONVERTED, IDS_INI_OPEN, MB_OK | MB_ICONINFORMATION, source, &o.iniPath);
}

void ReportUnreadSettings(const AppState& o) {
    if (o.settingsReadError) ShowSettingsNotice(o, IDS_INI_UNREADABLE);
}

bool SwitchStorage(AppState& o, bool toRegistry, const std::function<void()>& applySheetValues) {
    if (!o.registryAllowed || toRegistry == o.useRegistry) return true;
    // Every project keeps its own command list, with ids of its own.
    std::vector<Project> projects(static_cast<size_t>(o.projects.Count()));
    for (int p = 0; p < o.projects.Count(); ++p)
        LoadProjectSettings(o, projects[p].settings, projects[p].commands, p);
    if (applySheetValues) applySheetValues();
    // Settings that could not be read are moved nowhere; the sheet's values
    // live in memory only.
    if (o.settingsReadError) return false;
    if (!SaveOptions(o, GroupVersion | GroupSheet)) return false;
    // Reload only: a conversion made at start must not run a second time.
    const std::wstring oldIni = std::exchange(o.oldIniPath, o.iniPath);
    OpenSettings(o);
    o.oldIniPath = oldIni;
    o.useRegistry = toRegistry;
    // Every group reaches the new store in one batch before the choice is
    // recorded: a program ended before its exit save must not start next
    // time on the new store's defaults. A failure leaves the settings where
    // they were, and the choice with them.
    bool ok = true;
    {
        StoreBatch batch(o);
        for (int p = 0; ok && p < static_cast<int>(projects.size()); ++p)
            ok = SaveProjectSettings(o, projects[p].settings, projects[p].commands, p, -1, PartAll);
        ok = ok && SaveOptions(o, GroupVersion | GroupLayout | GroupProjects | GroupSheet) && batch.Commit();
    }
    if (ok) {
        // The file is no longer the settings; it may come and go.
        if (toRegistry) o.settingsFileSeen.clear();
        RecordStorageChoice(o);
        return true;
    }
    o.useRegistry = !toRegistry;
    return false;
}

}  // namespace tandrel
