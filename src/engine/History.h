#pragma once
#include <windows.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "engine/FileOps.h"
#include "model/FolderSetting.h"
#include "platform/Handle.h"

namespace tandrel {

class ErrorPolicy;

// The history folder of a setting whose backup folder (without its date
// folder) is base, both full and ending in a backslash: beside the backup
// folder as "<name>.履歴", or inside it as "Tandrel履歴" for a drive root
// or a base of date folders.
std::wstring DefaultHistoryFolder(const std::wstring& base, bool dateFolders);

// A run folder's name: its start in local time, "YYYY-MM-DD hhmmss".
std::wstring HistoryRunName(std::time_t start);

// Keeps what a run removes from the backup: each file in the run's folder
// of the history at its place below the backup root, and a line for it in
// the run's manifest ("<run>.manifest" beside the folder: listing the
// history tells the runs and their manifests without reading the runs).
// A test run reports the rows and touches nothing.
class HistoryKeeper {
public:
    HistoryKeeper(FileOps& ops, ErrorPolicy& policy) : ops_(ops), policy_(policy) {}
    // Nothing is made until the first entry comes.
    void Begin(const std::wstring& root, const std::wstring& backupRoot, const std::wstring& settingName,
               std::time_t start, bool testRun);
    void End();
    bool active() const { return !root_.empty(); }
    const std::wstring& root() const { return root_; }
    // A backup file the mirror deletes: moved into the history; false (said)
    // when it stays in the backup.
    bool Removed(const std::wstring& path, const Removal& removal);
    // A backup file an update overwrites: kept in the history first; false
    // (said) when it could not be, and the update must leave it.
    bool Overwritten(const std::wstring& path);

private:
    enum class Kind { Deleted, Overwritten };
    bool Keep(const std::wstring& path, Kind kind);
    std::wstring TargetOf(const std::wstring& relative);
    void Record(const std::wstring& relative, Kind kind, const WIN32_FILE_ATTRIBUTE_DATA& data);

    FileOps& ops_;
    ErrorPolicy& policy_;
    std::wstring root_, backupRoot_, settingName_, runName_;
    bool testRun_ = false;
    bool runMade_ = false;
    UniqueHandle manifest_;
};

// The run folders of a history, by their names; ok false when the folder
// could not be listed (a missing one has none). Manifests whose run folder
// is gone (a kill between the two removals) go to orphans when asked for.
struct HistoryRun {
    std::wstring name;
    std::time_t start = 0;
};
std::vector<HistoryRun> ListHistoryRuns(const std::wstring& root, bool& ok,
                                        std::vector<std::wstring>* orphans = nullptr);
// Those that go: older than days (0: any), beyond the minRuns newest.
std::vector<HistoryRun> ExpiredRuns(std::vector<HistoryRun> runs, int days, int minRuns, std::time_t now);
// A run's folder, then its manifest; false when something of it stays.
bool RemoveHistoryRun(const std::wstring& root, const std::wstring& name);

// The setting keeps a history, or kept one where it says.
bool KeepsHistory(const FolderSetting& setting);
// Where the history of a setting is, its backup folder (without a date
// folder) being found at backup: its HistoryDir, or the default folder.
std::wstring HistoryFolderOf(const FolderSetting& setting, const std::wstring& backup);

// One file of a run, as its manifest lists it.
struct HistoryEntry {
    std::wstring path;  // relative to the backup folder, as in the run folder
    bool overwritten = false;
    std::uint64_t size = 0;
    std::wstring time;  // the backup file's last write, local, as written
};
// A run with what its manifest says; a run folder without a manifest (a
// kill before its first line) lists nothing.
struct HistoryRunContents {
    HistoryRun run;
    std::vector<HistoryEntry> entries;
    std::uint64_t bytes = 0;
};
// What the user chose to restore from a history.
struct HistoryRestore {
    std::wstring run;                 // the run folder, full
    std::vector<std::wstring> files;  // relative paths; empty: the whole run
    std::wstring target;              // empty: the master folder
};
// The lines of a manifest, each path once (its last line); ok false when
// the manifest is there but could not be read.
std::vector<HistoryEntry> ReadHistoryManifest(const std::wstring& path, bool& ok);
// The runs of a history, newest first, from its listing and the manifests
// alone: no run folder is read.
std::vector<HistoryRunContents> ReadHistory(const std::wstring& root, bool& ok);

}  // namespace tandrel
