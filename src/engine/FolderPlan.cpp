#include "engine/FolderPlan.h"

#include <cstdlib>

namespace tandrel {

namespace {

FileDecision Skip(SkipReason reason) {
    return {FileAction::Skip, UpdateReason::None, reason, false};
}

FileDecision Update(UpdateReason reason, bool renameCase) {
    return {FileAction::Update, reason, SkipReason::None, renameCase};
}

}  // namespace

bool IsTarget(FilterOutcome outcome) {
    return outcome == FilterOutcome::Target || outcome == FilterOutcome::NoDecision;
}

bool CaseDiffers(const std::wstring& onDisk, const std::wstring& master) {
    return onDisk.size() == master.size() && onDisk != master && FoldCase(onDisk) == FoldCase(master);
}

FileDecision DecideMasterFile(const FindEntry& master, FilterOutcome outcome, Counterpart counterpart,
                              const FindEntry* backup, const FolderSetting& setting) {
    if (!IsTarget(outcome)) return Skip(SkipReason::NotTarget);
    const std::optional<std::int64_t> masterSeconds = FileTimeSeconds(master.write);
    if (!masterSeconds) return Skip(SkipReason::MasterTimeInvalid);
    if (SkipsForDate(setting, *masterSeconds)) return Skip(SkipReason::OutsideDates);
    const bool tooLarge = SkipsForSize(setting, master.size);
    switch (counterpart) {
        case Counterpart::Unknown:
            return {FileAction::Check, UpdateReason::None, SkipReason::None, false};
        case Counterpart::Unreadable:
            return Skip(SkipReason::BackupUnreadable);
        case Counterpart::Folder:
            return {FileAction::Replace, UpdateReason::None, SkipReason::None, false};
        case Counterpart::Missing:
            if (tooLarge) return Skip(SkipReason::TooLargeNew);
            return {FileAction::Create, UpdateReason::None, SkipReason::None, false};
        case Counterpart::File:
            break;
    }
    if (tooLarge) return Skip(SkipReason::TooLarge);
    const std::optional<std::int64_t> backupSeconds = backup ? FileTimeSeconds(backup->write) : std::nullopt;
    if (!backupSeconds) return Skip(SkipReason::BackupTimeInvalid);
    const bool renameCase = setting.RenameCapital && CaseDiffers(backup->name, master.name);
    const std::int64_t difference = *masterSeconds - *backupSeconds;
    // A FAT backup keeps times in two-second steps: within the tolerance the
    // times are the same.
    const bool differ = setting.NtfsToFat ? std::llabs(difference) > setting.LeaveTime : difference != 0;
    if (differ && difference > 0) return Update(UpdateReason::Newer, renameCase);
    if (differ) {
        if (setting.Overwrite) return Update(UpdateReason::BackupNewer, renameCase);
        if (renameCase) return {FileAction::CaseRename, UpdateReason::None, SkipReason::None, false};
        return Skip(SkipReason::BackupNewer);
    }
    if (master.size != backup->size) return Update(UpdateReason::DifferentSize, renameCase);
    if (setting.OverwriteAlways) return Update(UpdateReason::Always, renameCase);
    if (renameCase) return {FileAction::CaseRename, UpdateReason::None, SkipReason::None, false};
    return {};
}

FileDecision DecideBackupFile(FilterOutcome outcome, bool insideRemoved, Counterpart master,
                              const FolderSetting& setting) {
    constexpr FileDecision remove{FileAction::Delete, UpdateReason::None, SkipReason::None, false};
    if (insideRemoved) {
        return IsTarget(outcome) || (outcome == FilterOutcome::Excluded && setting.DeleteIgnoreTarget)
                   ? remove
                   : Skip(SkipReason::Kept);
    }
    if (!IsTarget(outcome)) return setting.DeleteIgnoreTarget ? remove : Skip(SkipReason::Kept);
    switch (master) {
        case Counterpart::Unknown:
            return {FileAction::Check, UpdateReason::None, SkipReason::None, false};
        case Counterpart::Missing:
        case Counterpart::Folder:
            return remove;
        case Counterpart::File:
        case Counterpart::Unreadable:
            break;
    }
    return Skip(SkipReason::Kept);
}

FolderDecision DecideMasterFolder(FilterOutcome outcome, Counterpart backup) {
    if (!IsTarget(outcome)) return {FolderAction::Skip, SkipReason::NotTarget};
    switch (backup) {
        case Counterpart::Unknown: return {FolderAction::Check, SkipReason::None};
        case Counterpart::Missing: return {FolderAction::Create, SkipReason::None};
        case Counterpart::Folder: return {FolderAction::Enter, SkipReason::None};
        case Counterpart::File: return {FolderAction::Replace, SkipReason::None};
        case Counterpart::Unreadable: break;
    }
    return {FolderAction::Skip, SkipReason::BackupUnreadable};
}

FolderDecision DecideBackupFolder(FilterOutcome outcome, bool insideRemoved, Counterpart master, bool planned,
                                  const FolderSetting& setting) {
    constexpr FolderDecision remove{FolderAction::Remove, SkipReason::None};
    if (!IsTarget(outcome)) {
        return setting.DeleteIgnoreTarget ? remove : FolderDecision{FolderAction::Skip, SkipReason::Kept};
    }
    if (insideRemoved) return remove;
    switch (master) {
        case Counterpart::Unknown: return {FolderAction::Check, SkipReason::None};
        case Counterpart::Missing:
        case Counterpart::File: return remove;
        case Counterpart::Folder:
        case Counterpart::Unreadable: break;
    }
    // What the master holds says nothing against the backup's folder: only
    // what the copy pass planned in there is looked at.
    return {planned ? FolderAction::Enter : FolderAction::None, SkipReason::None};
}

}  // namespace tandrel
