// The decisions on single entries of a pass, carried out: files copied,
// updated, renamed or deleted, folders created, entered and removed.
#include <algorithm>

#include "engine/FolderPlan.h"
#include "engine/MirrorWorker.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource_engine.h"

namespace tandrel {

namespace {

std::optional<FILETIME> ShownTime(const FindEntry* entry) {
    if (!entry || !TimesValid(*entry)) return std::nullopt;
    return entry->write;
}

std::wstring TimeText(const FILETIME& time) {
    FILETIME local;
    SYSTEMTIME t;
    if (!FileTimeSeconds(time) || !FileTimeToLocalFileTime(&time, &local) || !FileTimeToSystemTime(&local, &t)) {
        return LoadText(IDS_NO_TIME);
    }
    return Format(L"%04d/%02d/%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

// The backup entry read on its own, for when its folder could not be
// listed; never another entry reached through its short name.
std::optional<FindEntry> ReadEntry(const std::wstring& path) {
    DWORD error = 0;
    return ReadNamedEntry(path, error);
}

// What a folder check found, as the plan takes it.
Counterpart OfFolderCheck(int state) {
    switch (state) {
        case FolderExists: return Counterpart::Folder;
        case FolderMissing: return Counterpart::Missing;
        case FolderIsFile: return Counterpart::File;
        default: return Counterpart::Unreadable;
    }
}

}  // namespace

bool MirrorWorker::PutReplacementsInPlace(const Replacements& pending) {
    for (const Replacement& replacement : pending) {
        if (batch_.cancelRequested) return false;
        const FindEntry& entry = replacement.entry;
        if (!replacement.cleared) {
            ops_.ReportConflict(backupRoot_ + replacement.relative, entry.IsFolder());
            continue;
        }
        const std::wstring relative = replacement.relative.substr(0, replacement.relative.size() - entry.name.size());
        // The deletion pass has just emptied that place.
        const FolderListing nothing;
        if (!entry.IsFolder()) {
            CopyFileDecision(entry, relative, &nothing, IDS_REPLACED_FOLDER);
            continue;
        }
        // The walk goes on from the master folders above, for its loop checks.
        pass_->ancestors.clear();
        if (masterId_) pass_->ancestors.push_back({masterRoot_, masterId_->file, masterId_});
        for (size_t end = relative.find(L'\\'); end != std::wstring::npos; end = relative.find(L'\\', end + 1)) {
            const std::wstring path = masterRoot_ + relative.substr(0, end);
            if (const auto id = FileIdOf(path)) pass_->ancestors.push_back({path, *id, std::nullopt});
        }
        if (!CopyFolder(entry, masterRoot_ + relative, relative, &nothing, IDS_REPLACED_FILE)) return false;
    }
    return true;
}

bool MirrorWorker::CaseRename(const std::wstring& backupFolder, const std::wstring& onDisk,
                              const std::wstring& masterName, std::optional<std::uint64_t> size, bool* renamed) {
    if (onDisk.size() != masterName.size() || onDisk == masterName) return false;
    const std::wstring relative = (backupFolder + masterName).substr(backupRoot_.size());
    policy_.Report(RowAction::Rename, relative, RowToList | RowToLog, std::nullopt, std::nullopt, size);
    if (exec_.Carry(Operation::Rename(backupFolder, onDisk, masterName))) {
        Bump(current_->status.renamed);
        if (renamed) *renamed = !batch_.testMode;
    }
    return true;
}

void MirrorWorker::Copied(std::int32_t& counter, std::uint64_t size) {
    Bump(counter);
    if (batch_.testMode) plannedBytes_ += size;
    PublishProgress();
}

bool MirrorWorker::MoveInBackup(const MoveSide& to, const MoveSide& from) {
    if (!exec_.Carry(Operation::On(OperationKind::Move, backupRoot_ + to.relative, backupRoot_ + from.relative))) {
        return false;
    }
    policy_.Report(RowAction::Move, Format(LoadText(IDS_MOVE_PATHS).c_str(), to.relative.c_str(), from.relative.c_str()),
                   RowToList | RowToLog, ShownTime(&to.entry), ShownTime(&from.entry), to.entry.size);
    Bump(current_->status.moved);
    movedAway_.insert(FoldCase(from.relative));
    pass_->folderMatcher.Touched(from.relative);
    PublishProgress();
    return true;
}

bool MirrorWorker::MoveFolderInBackup(const std::wstring& to, const std::wstring& from) {
    if (!exec_.Carry(Operation::On(OperationKind::Move, backupRoot_ + to, backupRoot_ + from))) return false;
    policy_.Report(RowAction::Move, Format(LoadText(IDS_MOVE_PATHS).c_str(), to.c_str(), from.c_str()),
                   RowToList | RowToLog);
    Bump(current_->status.moved);
    movedFolders_.emplace_back(to, from);
    movedTo_.insert(FoldCase(to));
    movedFrom_.insert(FoldCase(from));
    PublishProgress();
    return true;
}

void MirrorWorker::RaiseTimeError(const std::wstring& path, unsigned textId) {
    const std::wstring text = LoadText(textId);
    policy_.Raise({LevelSkipped, Format(LoadText(IDS_PATH_AND_TEXT).c_str(), path.c_str(), text.c_str()), text,
                   LoadText(IDS_TIME_CHECK), MB_TOPMOST | MB_ICONINFORMATION, ErrorDecision::Ignore, false, {}});
    policy_.CountError();
    policy_.AddErrorRow();
}

bool MirrorWorker::CopyFileDecision(const FindEntry& entry, const std::wstring& relative, const FolderListing* other,
                                    unsigned replacedId) {
    FolderSetting& work = *current_;
    // Full paths only for a file that is acted on or asked about.
    const std::wstring rel = relative + entry.name;
    policy_.SetStatus(statusBackup_, rel);
    PublishProgress();
    const FilterOutcome outcome = filters_.FileOutcome(rel);
    FileDecision decision = DecideMasterFile(entry, outcome, Counterpart::Unknown, nullptr, work);
    if (decision.skip == SkipReason::NotTarget) return false;
    ++examined_;
    if (decision.action != FileAction::Check) return CarryOutFile(decision, entry, rel, nullptr, replacedId);

    const KnownEntry known = Lookup(other, entry.name);
    const std::wstring backupPath = backupRoot_ + rel;
    const int state = ops_.CheckFile(backupPath, known);
    // The listing's entry, or one read on its own where there was none.
    std::optional<FindEntry> read;
    const FindEntry* backup = nullptr;
    Counterpart counterpart = Counterpart::Unreadable;
    if (state == FileMissing) {
        counterpart = Counterpart::Missing;
    } else if (state == FileIsFolder) {
        counterpart = Counterpart::Folder;
    } else if (state == FileExists) {
        counterpart = Counterpart::File;
        if (!(known && *known)) read = ReadEntry(backupPath);
        backup = known && *known ? *known : read ? &*read : nullptr;
    }
    decision = DecideMasterFile(entry, outcome, counterpart, backup, work);
    return CarryOutFile(decision, entry, rel, backup, replacedId);
}

bool MirrorWorker::CarryOutFile(const FileDecision& decision, const FindEntry& entry, const std::wstring& rel,
                                const FindEntry* backup, unsigned replacedId) {
    FolderSetting& work = *current_;
    const std::wstring backupPath = backupRoot_ + rel;
    const std::optional<FILETIME> masterTime = ShownTime(&entry);
    const std::optional<FILETIME> backupTime = ShownTime(backup);
    const auto caseRename = [&] {
        return CaseRename(FolderOf(backupPath), backup ? backup->name : entry.name, entry.name, entry.size);
    };
    switch (decision.action) {
        case FileAction::Check:
        case FileAction::None:
        case FileAction::Delete:
            return false;
        case FileAction::Replace:
            Defer(entry, rel.substr(0, rel.size() - entry.name.size()));
            return false;
        case FileAction::Create:
            // It may be a backup file that the master moved: held back
            // until the copy pass knows them all, or matched now.
            if (!replacedId && HoldsNewFile()) {
                pass_->created.push_back({rel, entry});
                return true;
            }
            if (!replacedId && pass_->placing && MovedHere(entry, rel)) return true;
            CarryCopy(Operation::Copy(masterRoot_ + rel, backupPath, true, &entry), work.status.created,
                      {RowAction::Create, replacedId ? Format(LoadText(replacedId).c_str(), rel.c_str()) : rel,
                       masterTime, std::nullopt, entry.size});
            return true;
        case FileAction::CaseRename:
            caseRename();
            return true;
        case FileAction::Update:
            CarryCopy(Operation::Copy(masterRoot_ + rel, backupPath, false, &entry), work.status.updated,
                      {RowAction::Update, rel, masterTime, backupTime, entry.size});
            if (decision.renameCase) caseRename();
            return true;
        case FileAction::Skip:
            break;
    }
    switch (decision.skip) {
        case SkipReason::MasterTimeInvalid:
            RaiseTimeError(masterRoot_ + rel, IDS_TIME_INVALID);
            return false;
        case SkipReason::BackupTimeInvalid:
            RaiseTimeError(backupPath, IDS_BACKUP_TIME_INVALID);
            break;
        case SkipReason::TooLargeNew:
            policy_.Report(RowAction::Skip, rel, SkipFlags(), masterTime, std::nullopt, entry.size);
            return false;
        case SkipReason::BackupNewer:
            if (batch_.restore) ++batch_.restoreNewer;
            break;
        case SkipReason::TooLarge:
            break;
        default:
            return false;
    }
    policy_.Report(RowAction::Skip, rel, RowToList | RowToLog, masterTime, backupTime, entry.size);
    return false;
}

bool MirrorWorker::DeleteFileDecision(const FindEntry& entry, const std::wstring& relative, KnownEntry counterpart,
                                      bool rootNotListed, bool& kept) {
    FolderSetting& work = *current_;
    const std::wstring rel = relative + entry.name;
    const std::wstring backupPath = backupRoot_ + rel;
    // Moved to a new master file's place (in a test run: would be).
    if (!movedAway_.empty() && movedAway_.count(FoldCase(rel))) return false;
    policy_.SetStatus(statusMirror_, rel);
    PublishProgress();
    const FilterOutcome outcome = rootNotListed ? FilterOutcome::NotListed : filters_.FileOutcome(rel);
    FileDecision decision = DecideBackupFile(outcome, pass_->removalDepth > 0, Counterpart::Unknown, work);
    if (decision.action == FileAction::Check) {
        const int state = ops_.CheckFile(masterRoot_ + rel, counterpart);
        const Counterpart master = state == FileMissing    ? Counterpart::Missing
                                   : state == FileIsFolder ? Counterpart::Folder
                                   : state == FileExists   ? Counterpart::File
                                                           : Counterpart::Unreadable;
        decision = DecideBackupFile(outcome, false, master, work);
    }
    if (decision.action != FileAction::Delete) {
        kept = true;
        return false;
    }

    const std::optional<FILETIME> backupTime = ShownTime(&entry);
    if (!batch_.testMode && confirmDelete_) {
        EngineHost& host = *batch_.host;
        host.RunState(RunPhase::Stopped);
        host.SetStatus((LoadText(IDS_STATUS_WAITING) + LoadText(IDS_STATUS_MIRROR)).c_str(), rel.c_str());
        const DeleteChoice choice = ConfirmDelete({backupPath, TimeText(entry.write), entry.size});
        host.RunState(RunPhase::Working);
        policy_.SetStatus(LoadText(IDS_STATUS_MIRROR), rel);
        switch (choice) {
            case DeleteChoice::Delete:
                break;
            case DeleteChoice::DeleteAll:
                confirmDelete_ = false;
                break;
            case DeleteChoice::Skip:
                policy_.Report(RowAction::Skip, rel, SkipFlags(), std::nullopt, backupTime, entry.size);
                kept = true;
                return false;
            case DeleteChoice::Abort:
                batch_.cancelRequested = true;
                kept = true;
                return false;
        }
    }
    FolderSetting* setting = &work;
    const std::uint64_t size = entry.size;
    // A deletion that failed or was refused leaves the file, and its folder.
    if (!exec_.Carry(Operation::On(OperationKind::Delete, backupPath),
                     {[this, rel, backupTime, size] {
                          policy_.Report(RowAction::Delete, rel, RowToList | RowToLog, std::nullopt, backupTime,
                                         size);
                      },
                      [this, setting, rel] {
                          Bump(setting->status.deleted);
                          Cleared(rel);
                      }})) {
        kept = true;
    }
    return true;
}

bool MirrorWorker::CopyFolder(const FindEntry& entry, const std::wstring& folder, const std::wstring& relative,
                              const FolderListing* other, unsigned replacedId, const FindEntry** paired) {
    const std::wstring rel = relative + entry.name;
    const FilterOutcome outcome = filters_.FolderOutcome(rel);
    if (DecideMasterFolder(outcome, Counterpart::Unknown).action != FolderAction::Check) return true;
    const std::wstring masterPath = folder + entry.name;
    // A backup folder inside the master is not backed up into itself, nor
    // are the earlier date folders beside it.
    if (EqualsNoCase(masterPath + L"\\", backupRoot_) || EqualsNoCase(masterPath + L"\\", backupBase_)) return true;
    // Nor is a master folder that would land on the history folder.
    if (IsHistoryFolder(backupRoot_ + rel)) {
        policy_.Report(RowAction::Skip, rel, RowToList | RowToLog);
        return true;
    }
    std::optional<WalkFolder> identity;
    const KnownEntry known = Lookup(other, entry.name);
    if (!MayEnter(entry, known, masterPath, rel, identity)) return true;
    const std::wstring backupPath = backupRoot_ + rel;
    const FolderDecision decision = DecideMasterFolder(outcome, OfFolderCheck(ops_.CheckFolder(backupPath, known)));
    if (decision.action == FolderAction::Create && !replacedId) {
        // It may be a backup folder that the master moved.
        if (HoldsNewFolder(known)) {
            pass_->newFolders.push_back({rel, entry});
            return true;
        }
        if (pass_->placing && known && !*known) {
            if (const std::optional<size_t> match = MatchFolder(masterPath + L"\\")) {
                return PlaceFolder(entry, folder, relative, match);
            }
        }
    }
    // The backup folder's name on disk once a case rename is done: the
    // deletion pass finds it by that name.
    bool renamed = false;
    switch (decision.action) {
        case FolderAction::Create:
            if (batch_.cancelRequested) return false;
            policy_.Report(RowAction::FolderCreate,
                           replacedId ? Format(LoadText(replacedId).c_str(), rel.c_str()) : rel, RowToList | RowToLog);
            // A folder that could not be made is not walked: its one error
            // stands for everything inside.
            if (!exec_.Carry(Operation::On(OperationKind::CreateFolder, backupPath))) return !batch_.cancelRequested;
            ++changedFolderCount_;
            break;
        case FolderAction::Enter:
            renamed = current_->RenameCapital && RenameFolderCase(entry, backupPath, known);
            break;
        case FolderAction::Replace:
            Defer(entry, relative);
            return true;
        default:
            return true;
    }
    const bool created = decision.action == FolderAction::Create;
    // The backup folder this one is compared with, for the plan.
    const FindEntry* backupEntry = paired && !created && known ? *known : nullptr;
    if (backupEntry) {
        plan_.Enter(renamed ? entry.name : backupEntry->name,
                    static_cast<size_t>(backupEntry - other->entries().data()));
        pass_->backupPathIds.push_back(backupEntry->fileId);
    }
    const bool ok = WalkInto(masterPath, rel, identity, created);
    if (backupEntry) {
        if (pass_->walkedPaired) *paired = backupEntry;
        plan_.Leave();
        pass_->backupPathIds.pop_back();
    }
    if (!ok) return false;
    if (changedFolderCount_ > 0) {
        if (current_->CopyFolderTime) exec_.Carry(Operation::On(OperationKind::CopyTimes, backupPath, masterPath));
        --changedFolderCount_;
    }
    return true;
}

bool MirrorWorker::RenameFolderCase(const FindEntry& entry, const std::wstring& backupPath, KnownEntry known) {
    std::optional<FindEntry> onDisk;
    if (known && *known) {
        onDisk = **known;
    } else {
        onDisk = ReadEntry(backupPath);
    }
    bool renamed = false;
    if (onDisk && CaseRename(FolderOf(backupPath), onDisk->name, entry.name, std::nullopt, &renamed)) {
        ++changedFolderCount_;
    }
    return renamed;
}

bool MirrorWorker::WalkInto(const std::wstring& path, const std::wstring& rel, std::optional<WalkFolder>& identity,
                            bool removing, bool* kept, const PlannedFolder& plan) {
    if (removing) ++pass_->removalDepth;
    if (identity) pass_->ancestors.push_back(std::move(*identity));
    bool keptInside = false;
    const bool ok = Walk(path + L"\\", rel + L"\\", kept ? *kept : keptInside, plan);
    if (identity) pass_->ancestors.pop_back();
    if (removing) --pass_->removalDepth;
    return ok;
}

bool MirrorWorker::DeleteFolder(const FindEntry& entry, const std::wstring& folder, const std::wstring& relative,
                                KnownEntry counterpart, bool& kept, const PlannedFolder* plan) {
    const std::wstring rel = relative + entry.name;
    const std::wstring backupPath = folder + entry.name;
    const bool insideRemoved = pass_->removalDepth > 0;
    // A folder moved in the backup is walked at its new place by itself;
    // at its old one (still there in a test run) nothing is left.
    if (!movedFrom_.empty() && movedFrom_.count(FoldCase(rel))) return true;
    if (!movedTo_.empty() && movedTo_.count(FoldCase(rel))) {
        kept = true;
        return true;
    }
    // A link is not walked: removing through it would remove what it points
    // to, which is not part of this backup. Nor is a master inside the backup.
    std::optional<WalkFolder> identity;
    if (EqualsNoCase(backupPath + L"\\", masterRoot_) || IsHistoryFolder(backupPath) ||
        !MayEnter(entry, insideRemoved ? KnownEntry() : counterpart, backupPath, rel, identity)) {
        kept = true;
        return true;
    }
    const FilterOutcome outcome = filters_.FolderOutcome(rel);
    const bool planned = plan != nullptr;
    FolderDecision decision = DecideBackupFolder(outcome, insideRemoved, Counterpart::Unknown, planned, *current_);
    if (decision.action == FolderAction::Check) {
        const Counterpart master = OfFolderCheck(ops_.CheckFolder(masterRoot_ + rel, counterpart));
        decision = DecideBackupFolder(outcome, false, master, planned, *current_);
    }
    if (decision.action == FolderAction::Skip) kept = true;
    if (decision.action != FolderAction::Enter && decision.action != FolderAction::Remove) return true;
    const bool remove = decision.action == FolderAction::Remove;
    bool keptInside = false;
    const bool ok = WalkInto(backupPath, rel, identity, remove, &keptInside,
                             remove || !plan ? PlannedFolder::Everything() : *plan);
    bool removed = false;
    if (ok && (remove || insideRemoved)) {
        policy_.SetStatus(LoadText(IDS_STATUS_MIRROR), rel);
        // Named by its place in the backup, also where a test run reads a
        // moved folder at its old one.
        removed = exec_.Carry(
            Operation::RemoveFolder(backupRoot_ + rel, keptInside),
            {[this, rel] { policy_.Report(RowAction::FolderDelete, rel, RowToList | RowToLog); },
             [this, rel] { Cleared(rel); }});
        ++changedFolderCount_;
    }
    if (!removed) kept = true;
    return ok;
}

}  // namespace tandrel
