#include "engine/Restore.h"

#include "engine/MirrorWorker.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource_engine.h"

namespace tandrel {

FolderSetting RestoreWork(const FolderSetting& setting, const std::wstring& target) {
    FolderSetting work = setting;
    work.Name = Format(LoadText(IDS_RESTORE_NAME).c_str(), setting.Name.c_str());
    const bool toMaster = target.empty();
    work.Master = setting.Backup;
    work.Backup = toMaster ? setting.Master : target;
    work.DetectDriveByVolumeMaster = setting.DetectDriveByVolumeBackup;
    work.CheckVolumeMaster = setting.CheckVolume;
    work.VolumeMaster = setting.Volume;
    // A chosen folder is not on the master's drive.
    work.DetectDriveByVolumeBackup = toMaster && setting.DetectDriveByVolumeMaster;
    work.CheckVolume = toMaster && setting.CheckVolumeMaster;
    work.Volume = toMaster ? setting.VolumeMaster : std::wstring();
    work.MakeDateDir = false;
    work.Mirroring = false;
    work.BackupType = 0;
    work.DeleteConf = false;
    work.DeleteRecycleBin = false;
    work.DeleteHistory = false;
    work.DeleteIgnoreTarget = false;
    work.Overwrite = false;
    work.OverwriteAlways = false;
    // No tolerance: a master file a second newer is newer.
    work.NtfsToFat = false;
    work.RenameCapital = false;
    work.CopyFolderTime = false;
    // Everything the backup holds comes back, whatever the filters let
    // through since; the system names stay out.
    work.TargetType = 1;
    work.TargetDirectory.clear();
    work.TargetFile.clear();
    work.TargetDateType = 0;
    work.SkipTargetFileSize = false;
    work.commandIds[0] = work.commandIds[1] = -1;
    return work;
}

void MirrorWorker::NoteRestoredHistory() {
    restoredHistory_.clear();
    if (!batch_.restore || !stored_) return;
    // A history kept inside the backup (a drive root) is no part of what
    // comes back.
    const FolderSetting& setting = *stored_;
    const std::wstring history = setting.HistoryDir.empty() ? DefaultHistoryFolder(masterRoot_, false)
                                                            : FullFolder(setting.HistoryDir);
    if (LiesBelow(history, masterRoot_)) restoredHistory_ = backupRoot_ + history.substr(masterRoot_.size());
}

}  // namespace tandrel
