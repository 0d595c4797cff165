#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace tandrel {

// Size limit of the target filter: a number and a unit (0 bytes, 1 KB, 2 MB,
// 3 GB, 4 TB), stored as one text such as "10MB".
struct TargetFileSize {
    int number = 0;
    int unit = 0;

    static TargetFileSize Parse(const std::wstring& text);
    std::wstring Format() const;
    // The limit in bytes (0 when none is set); none when it lies beyond
    // 64 bits.
    std::optional<std::uint64_t> Bytes() const;
};

// Counters of the current or last run of one folder setting; never stored.
struct RunStatus {
    std::uint8_t failed = 0;
    std::int32_t created = 0;
    std::int32_t updated = 0;
    std::int32_t deleted = 0;
    std::int32_t renamed = 0;
    std::int32_t moved = 0;

    // Files created + files updated + files moved + items deleted.
    std::int32_t Changes() const { return created + updated + moved + deleted; }
};

// ScheduleType values.
enum ScheduleKind { ScheduleEveryRun = 0, ScheduleOncePerDay = 1, ScheduleAfterHours = 2 };

// One master/backup pair with every option that governs its run. Fields that
// are stored carry their INI key as name; the initializers are the values a
// missing key gives.
struct FolderSetting {
    std::wstring Name;
    std::wstring Master;
    std::wstring Backup;
    bool SkipIfFolderNotExist = false;
    bool DetectDriveByVolumeMaster = false;
    bool DetectDriveByVolumeBackup = false;
    bool CheckVolumeMaster = false;
    bool CheckVolume = false;
    std::wstring VolumeMaster;
    std::wstring Volume;
    bool VolErrorSkip = false;
    bool ExecIfDetectMediaVol = false;
    bool AutoExec = true;
    bool SubDir = true;
    bool Overwrite = true;
    bool OverwriteAlways = false;
    bool MakeDateDir = false;
    std::wstring BackupDateDir;
    bool Verify = false;
    bool Mirroring = true;
    int BackupType = 0;
    bool DeleteConf = false;
    bool DeleteRecycleBin = false;
    // A deletion pass that would remove more than DeleteGuardPercent of the
    // backup's files and more than DeleteGuardFiles files waits for a yes;
    // unattended it deletes nothing.
    bool DeleteGuard = true;
    int DeleteGuardPercent = 50;
    int DeleteGuardFiles = 100;
    // What the mirror deletes or overwrites in the backup is moved into a
    // history folder (empty HistoryDir: beside the backup folder), one
    // folder per run; runs older than HistoryDays go, the HistoryMinRuns
    // newest stay. Takes the place of the recycle bin.
    bool DeleteHistory = false;
    std::wstring HistoryDir;
    int HistoryDays = 30;
    int HistoryMinRuns = 10;
    bool NtfsToFat = true;
    int LeaveTime = 2;
    bool CopyFileTimeAll = false;
    bool CopyFolderTime = false;
    bool CheckFileName = false;
    bool RenameCapital = true;
    bool ErrorLeave = false;
    bool CopyLockedFile = false;
    bool ErrorNetPathRetry = false;
    int NetPathRetryCount = 3;
    bool ShowSkipFile = true;
    int TargetType = 1;
    std::wstring TargetDirectory;
    std::wstring TargetFile;
    bool IgnoreSystemFiles = true;
    bool DeleteIgnoreTarget = false;
    int TargetDateType = 0;
    std::int64_t TargetDate = 0;
    bool SkipTargetFileSize = false;
    tandrel::TargetFileSize TargetFileSize;
    bool OutputLog = false;
    std::wstring LogFileName;
    bool WriteLogImmediately = false;
    bool OutputErrorOnly = false;
    bool OutputSkipLog = true;
    bool ClearLog = false;
    int ScheduleType = ScheduleEveryRun;
    int ScheduleTime = 1;
    // Ids of the before-run (slot 0) and after-run (slot 1) commands in the
    // project's CommandList; -1 = no command.
    int commandIds[2] = {-1, -1};
    int Errors = -1;
    std::uint8_t runSelection = 0;
    std::uint8_t testFlag = 0;
    std::int64_t LastExec = 0;
    // Start of the last update run that finished the setting without an
    // error: "changed since the last backup" counts from here, so a file
    // whose copy failed, or that changed before a skipped run, is not lost.
    std::int64_t LastCleanExec = 0;
    // What the last update run that went through the whole setting
    // examined and how long it took: the window's estimate of the time left
    // goes by them (0 unknown).
    std::int64_t LastFiles = 0;
    std::int64_t LastSeconds = 0;
    // The same of the last test run: a test copies nothing and takes its own time.
    std::int64_t LastTestFiles = 0;
    std::int64_t LastTestSeconds = 0;
    RunStatus status;

    // Every field to its default; the name to the given text (the string
    // table's name for a new setting).
    void Reset(const std::wstring& defaultName);
    // Clears what belongs to a run only: selection, mode and counters.
    void ClearRunState();
};

// Errors values.
enum ErrorsCode { ErrorsNeverRun = -1, ErrorsRunning = -2, ErrorsSkipped = -3 };

}  // namespace tandrel
