// The checks before the passes of a setting: drives by label, volume
// labels, both folders, and the backup folder's creation.
#include "engine/MirrorWorker.h"

#include "platform/Drives.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource_engine.h"

namespace tandrel {

namespace {

std::wstring SideName(int side) {
    return LoadText(side == SideMaster ? IDS_SIDE_MASTER : side == SideBackup ? IDS_SIDE_BACKUP : IDS_SIDE_BOTH);
}

}  // namespace

bool MirrorWorker::LiesBelow(const std::wstring& path, const std::wstring& folder) {
    const std::wstring inner = FullFolder(path), outer = FullFolder(folder);
    return !outer.empty() && inner.size() > outer.size() && EqualsNoCase(inner.substr(0, outer.size()), outer);
}

void MirrorWorker::Fatal(unsigned titleId, const std::wstring& body, unsigned captionId) {
    const ErrorCall call{LevelFatal, body, LoadText(titleId), LoadText(captionId),
                         kStyleFatal, ErrorDecision::Abort, false, {}};
    if (batch_.logOffMode) {
        // No one is there to read a box; the batch still ends.
        policy_.Note(call);
        batch_.cancelRequested = false;
        return;
    }
    policy_.Raise(call);
}

void MirrorWorker::DetectDrives(FolderSetting& work, VolumeFailures& failures) {
    policy_.SetStatus(LoadText(IDS_DETECTING_DRIVE), L"");
    DriveDetector detector(work);
    detector.Detect(true, SideBoth);
    for (int side = SideMaster; side <= SideBackup; ++side) {
        const DriveDetector::Side& s = detector.side(side);
        const std::wstring name = SideName(side);
        switch (s.status) {
            case DriveFound:
                policy_.Report(RowAction::Drive,
                               Format(LoadText(IDS_ERROR_ROW_TEXT).c_str(), name.c_str(), s.foundRoots.c_str()),
                               RowToList);
                log_.WriteDriveDetection(name, s.label, s.foundRoots);
                break;
            case DriveNotFound:
                failures[side] = Format(LoadText(IDS_SIDE_NOT_FOUND).c_str(), name.c_str(), s.label.c_str());
                break;
            case DriveAmbiguous:
                failures[side] = Format(LoadText(IDS_SIDE_AMBIGUOUS).c_str(), name.c_str(), s.label.c_str());
                break;
            case DriveListError:
                failures[side] = Format(LoadText(IDS_SIDE_DETECT_ERROR).c_str(), name.c_str(), s.label.c_str(),
                                        WithoutFinalBreak(s.errorText).c_str());
                break;
            default:
                break;
        }
    }
}

void MirrorWorker::CheckLabels(const FolderSetting& work, VolumeFailures& failures) {
    const bool wanted[2] = {work.CheckVolumeMaster, work.CheckVolume};
    const std::wstring* labels[2] = {&work.VolumeMaster, &work.Volume};
    for (int side = SideMaster; side <= SideBackup; ++side) {
        if (!wanted[side]) continue;
        const std::wstring root = PathRoot(ExpandEnvironment(side == SideMaster ? work.Master : work.Backup));
        const std::wstring actual = VolumeLabel(root);
        if (EqualsNoCase(actual, *labels[side])) continue;
        const std::wstring name = SideName(side);
        if (actual.empty() && GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES) {
            failures[side] =
                Format(LoadText(IsRemovableRoot(root) ? IDS_SIDE_NO_MEDIA : IDS_SIDE_NO_LABEL).c_str(), name.c_str());
        } else {
            failures[side] =
                Format(LoadText(IDS_SIDE_MISMATCH).c_str(), name.c_str(), labels[side]->c_str(), actual.c_str());
        }
    }
}

bool MirrorWorker::CheckVolumes(FolderSetting& work, bool& aborted) {
    aborted = false;
    const bool detect = work.DetectDriveByVolumeMaster || work.DetectDriveByVolumeBackup;
    const bool check = work.CheckVolumeMaster || work.CheckVolume;
    if (!detect && !check) return true;
    const FolderSetting original = work;
    for (;;) {
        // Each try starts from the stored paths: the medium may have moved.
        work.Master = original.Master;
        work.Backup = original.Backup;
        VolumeFailures failures;
        bool labelKind = false;
        if (detect) DetectDrives(work, failures);
        if (failures[0].empty() && failures[1].empty() && check) {
            labelKind = true;
            CheckLabels(work, failures);
        }
        if (failures[0].empty() && failures[1].empty()) return true;

        const int side = failures[0].empty() ? SideBackup : failures[1].empty() ? SideMaster : SideBoth;
        const std::wstring sideWord = SideName(side);
        const std::wstring first = Format(LoadText(labelKind ? IDS_LABEL_FIRST_LINE : IDS_DRIVE_FIRST_LINE).c_str(),
                                          work.Name.c_str());
        const bool closingAuto = options_.AutoExitWhenError || AfterChoice::Unpack(batch_.afterChoice).Closing();
        const std::wstring masterRoot = PathRoot(ExpandEnvironment(work.Master));
        const bool hint = !work.VolErrorSkip && IsRemovableRoot(masterRoot) && (!batch_.startedAutomatically || !closingAuto);
        ErrorCall call;
        call.level = LevelSkipped;
        call.body = first + (hint ? LoadText(IDS_MEDIA_RETRY_HINT) : L"") + failures[0] + failures[1];
        call.title = Format(LoadText(labelKind ? IDS_LABEL_TITLE : IDS_DRIVE_TITLE).c_str(), sideWord.c_str());
        call.detail = call.title;
        call.title = LoadText(labelKind ? IDS_LABEL_CAPTION : IDS_DRIVE_DETECT_ERROR);
        call.style = work.VolErrorSkip ? kStyleFatal : kStyleChoices;
        call.defaultAnswer = work.VolErrorSkip ? ErrorDecision::Ignore : ErrorDecision::Abort;
        call.silentIgnore = work.SkipIfFolderNotExist;
        const ErrorDecision answer = policy_.Raise(call);
        if (answer == ErrorDecision::Retry) continue;
        work.Errors = ErrorsSkipped;
        policy_.AddErrorRow();
        aborted = answer == ErrorDecision::Abort;
        return false;
    }
}

MirrorWorker::SettingEnd MirrorWorker::FolderProblem(FolderSetting& work, bool master, bool invalid) {
    if (work.SkipIfFolderNotExist) {
        const std::wstring text = LoadText(master ? IDS_MASTER_MISSING : IDS_BACKUP_MISSING);
        const std::wstring caption = LoadText(IDS_FOLDER_CHECK_ERROR);
        if (log_.skipLines()) {
            policy_.Raise(
                {LevelSkipped, text + L"\r\n", text, caption, kStyleFatal, ErrorDecision::Ignore, false, true});
        }
        if (work.ShowSkipFile) {
            policy_.Report(RowAction::Skip,
                           Format(LoadText(IDS_ERROR_ROW_TEXT).c_str(), caption.c_str(), text.c_str()), RowToList);
        }
        work.Errors = ErrorsSkipped;
        return batch_.cancelRequested ? SettingEnd::Aborted : SettingEnd::Skipped;
    }
    if (invalid) {
        const unsigned id = master ? IDS_MASTER_INVALID : IDS_BACKUP_INVALID;
        Fatal(id, LoadText(id) + L"\r\n", IDS_FOLDER_SETTING_ERROR);
    } else {
        Fatal(IDS_MASTER_MISSING, LoadText(IDS_MASTER_MISSING) + L"\r\n", IDS_FOLDER_CHECK_ERROR);
    }
    policy_.AddErrorRow();
    return SettingEnd::Aborted;
}

MirrorWorker::SettingEnd MirrorWorker::Process(FolderSetting& work) {
    bool aborted = false;
    if (!CheckVolumes(work, aborted)) return aborted ? SettingEnd::Aborted : SettingEnd::Skipped;

    ops_.SetDeletePass(false);
    masterRoot_ = work.Master.empty() ? std::wstring() : FullFolder(work.Master);
    int masterState = masterRoot_.empty() ? FolderCheckError : ops_.CheckFolder(masterRoot_);
    if (masterState != FolderExists) {
        return FolderProblem(work, true, masterState == FolderCheckError || masterState == FolderIsFile);
    }
    backupRoot_ = work.Backup.empty() ? std::wstring() : FullFolder(work.Backup);
    const int backupState = backupRoot_.empty() ? FolderCheckError : ops_.CheckFolder(backupRoot_);
    if (backupState != FolderExists) {
        if (work.SkipIfFolderNotExist && BackupMissingForSkip(work, backupState)) return FolderProblem(work, false, true);
        if (backupState != FolderMissing) return FolderProblem(work, false, true);
    }
    // On the drive the label found, as the date folder is.
    backupBase_ = work.MakeDateDir ? FullFolder(BaseBackup(work)) : backupRoot_;
    // By identity too: a second drive letter, a short name or a share must
    // not make the master look like a folder of the backup.
    masterId_ = IdentityOf(masterRoot_);
    backupId_ = backupState == FolderExists ? IdentityOf(backupRoot_) : std::nullopt;
    backupBaseId_ = backupBase_.empty() ? std::nullopt : IdentityOf(backupBase_);
    backupRootPending_ = false;
    if (EqualsNoCase(masterRoot_, backupRoot_) || (masterId_ && masterId_ == backupId_)) {
        Fatal(IDS_SAME_FOLDER, LoadText(IDS_SAME_FOLDER) + L"\r\n", IDS_FOLDER_SETTING_ERROR);
        policy_.AddErrorRow();
        return SettingEnd::Aborted;
    }
    if (backupState == FolderMissing) {
        if (batch_.cancelRequested) return SettingEnd::Aborted;
        backupRootPending_ = batch_.testMode;
        const std::wstring folder = FolderOf(backupRoot_, true);
        policy_.Report(RowAction::FolderCreate, L"..\\" + FileNameOf(folder), RowToList);
        log_.WriteEntry(RowAction::FolderCreate, L".");
        if (!exec_.Carry(Operation::On(OperationKind::CreateFolder, backupRoot_))) {
            Fatal(IDS_BACKUP_CREATE_TITLE, LoadText(IDS_BACKUP_CREATE_BODY), IDS_MKDIR_FAILED);
            policy_.AddErrorRow();
            return SettingEnd::Aborted;
        }
        backupId_ = IdentityOf(backupRoot_);
    }
    if (!BeginHistory(work, work.HistoryDir.empty() ? std::wstring() : FullFolder(work.HistoryDir))) {
        return SettingEnd::Aborted;
    }
    const bool completed = RunPasses();
    EndHistory(work, completed && !batch_.cancelRequested && work.Errors == 0);
    return completed && !batch_.cancelRequested ? SettingEnd::Completed : SettingEnd::Aborted;
}

}  // namespace tandrel
