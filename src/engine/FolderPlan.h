#pragma once
#include <cstdint>

#include "engine/FolderListing.h"
#include "engine/TargetFilter.h"
#include "model/FolderSetting.h"

namespace tandrel {

// The decisions of a pass on one entry, made from what the two listings say
// and the setting alone: nothing here reads the disk. Where a listing cannot
// answer, the decision says so (Check), the walk asks the disk and decides
// again with the answer; then it carries the decision out.

// What is known of the other tree's entry of the same name.
enum class Counterpart : std::uint8_t {
    Unknown,     // not asked yet: the decision is Check
    Missing,     // nothing of that name
    File,        // a file
    Folder,      // a folder
    Unreadable,  // the check failed and said so
};

enum class FileAction : std::uint8_t {
    Check,       // the other side must be asked first
    None,        // nothing to do, and nothing to say
    Create,      // the backup has no such file
    Update,      // the backup's file is replaced; reason says why
    CaseRename,  // the backup's file only gets the master's spelling
    Skip,        // left as it is, with a reason (some are said in a row)
    Replace,     // the backup holds a folder there: after the deletion pass
    Delete,      // the deletion pass removes the backup's file
};

enum class UpdateReason : std::uint8_t { None, Newer, DifferentSize, Always, BackupNewer };

enum class SkipReason : std::uint8_t {
    None,
    NotTarget,          // the filters leave it out: no row
    MasterTimeInvalid,  // an error about the master's time
    OutsideDates,       // the date filter leaves it out: no row
    TooLarge,           // the size filter leaves the backup's file as it is
    TooLargeNew,        // the size filter leaves it uncopied: a row as skips are shown
    BackupNewer,        // Overwrite is off
    BackupTimeInvalid,  // an error about the backup's time
    BackupUnreadable,   // the check said so already
    Kept,               // the deletion pass keeps it
};

struct FileDecision {
    FileAction action = FileAction::None;
    UpdateReason update = UpdateReason::None;
    SkipReason skip = SkipReason::None;
    // After an update: the backup's spelling differs from the master's and
    // the setting gives it the master's.
    bool renameCase = false;

    // Whether the folder changes (its times are copied afterwards).
    bool Changes() const {
        return action == FileAction::Create || action == FileAction::Update || action == FileAction::CaseRename;
    }
    bool operator==(const FileDecision&) const = default;
};

bool IsTarget(FilterOutcome outcome);

// The copy pass on a master file. backup: the backup's entry when the
// counterpart is a file and it could be read; null makes its time invalid.
FileDecision DecideMasterFile(const FindEntry& master, FilterOutcome outcome, Counterpart counterpart,
                              const FindEntry* backup, const FolderSetting& setting);

// The deletion pass on a backup file. insideRemoved: it lies in a folder
// being removed, where the master is not asked. master: what the master
// holds of its name.
FileDecision DecideBackupFile(FilterOutcome outcome, bool insideRemoved, Counterpart master,
                              const FolderSetting& setting);

enum class FolderAction : std::uint8_t {
    Check,    // the other side must be asked first
    None,     // nothing to do in there
    Create,   // the copy pass creates the backup folder, then fills it
    Enter,    // walked into: the backup folder is there (copy pass) or the
              // plan has something in it (deletion pass)
    Replace,  // the backup holds a file there: after the deletion pass
    Remove,   // the deletion pass empties the backup folder and removes it
    Skip,     // left as it is, with a reason
};

struct FolderDecision {
    FolderAction action = FolderAction::None;
    SkipReason skip = SkipReason::None;
    bool operator==(const FolderDecision&) const = default;
};

// The copy pass on a master folder the walk may enter. backup: what the
// backup holds of its name.
FolderDecision DecideMasterFolder(FilterOutcome outcome, Counterpart backup);

// The deletion pass on a backup folder the walk may enter. insideRemoved:
// it lies in a folder being removed; master: what the master holds of its
// name; planned: the copy pass planned something to delete in there.
FolderDecision DecideBackupFolder(FilterOutcome outcome, bool insideRemoved, Counterpart master, bool planned,
                                  const FolderSetting& setting);

// Whether a rename to the master's letter case is due: the same name but
// for letter case.
bool CaseDiffers(const std::wstring& onDisk, const std::wstring& master);

}  // namespace tandrel
