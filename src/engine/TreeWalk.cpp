// The passes over the two trees and the decision for every file and folder.
// Each folder of both trees is listed once; the other side's listing answers
// the per-file questions, and the file system is asked per file only where
// that listing could not be read.
#include <algorithm>
#include <cstdlib>

#include "engine/MirrorWorker.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource.h"

namespace tandrel {

namespace {

enum class Comparison { Same, MasterNewer, BackupNewer, SameTimeDifferentSize, BackupTimeInvalid };

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

// The backup entry read on its own, for when its folder could not be listed.
std::optional<FindEntry> ReadEntry(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW(LongPath(path).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return std::nullopt;
    FindClose(find);
    return EntryOf(data);
}

bool IsTarget(FilterOutcome outcome) {
    return outcome == FilterOutcome::Target || outcome == FilterOutcome::NoDecision;
}

}  // namespace

bool MirrorWorker::RunPasses() {
    FolderSetting& work = *current_;
    const auto pass = [&](bool deletion) {
        deletePass_ = deletion;
        ops_.SetDeletePass(deletion);
        bool kept = false;
        ancestors_.clear();
        if (!deletion) {
            if (masterId_) ancestors_.push_back({masterRoot_, masterId_->file, masterId_});
            return Walk(masterRoot_, L"", kept);
        }
        // Nothing to delete in a folder that is not there yet.
        if (backupRootPending_) return true;
        if (const auto id = IdentityOf(backupRoot_)) ancestors_.push_back({backupRoot_, id->file, id});
        if (work.DeleteRecycleBin) ops_.BeginRecycling(options_.RecycleBinFileCount, options_.CheckRecycleBin);
        const bool ok = Walk(backupRoot_, L"", kept);
        ops_.EndRecycling();
        deletePass_ = false;
        ops_.SetDeletePass(false);
        return ok;
    };
    bool completed = false;
    if (work.BackupType == 0) {
        completed = pass(false) && (!work.Mirroring || pass(true));
    } else if (work.BackupType == 1) {
        completed = (!work.Mirroring || pass(true)) && pass(false);
    }
    if (changedFolderCount_ > 0) {
        if (work.CopyFolderTime) ops_.CopyTimes(masterRoot_, backupRoot_);
        --changedFolderCount_;
    }
    return completed;
}

void MirrorWorker::ReportListFailure(const std::wstring& folder, DWORD error, const std::wstring& consequence) {
    const std::wstring system = WithoutFinalBreak(SystemErrorText(error));
    std::wstring body = Format(LoadText(IDS_PATH_AND_TEXT).c_str(), folder.c_str(), system.c_str());
    if (!consequence.empty()) body += L"\r\n\r\n" + consequence;
    policy_.Raise({deletePass_ ? LevelSkipped : LevelError, body,
                   Format(LoadText(IDS_LIST_DETAIL).c_str(), folder.c_str(), system.c_str()), LoadText(IDS_LIST_FAILED),
                   kStyleFatal, IDIGNORE, false, {}});
    policy_.CountError();
    policy_.AddErrorRow();
}

void MirrorWorker::RemovePartials(const std::wstring& folder, const FolderListing& listing) {
    for (const std::wstring& name : listing.partials()) ops_.RemovePartial(folder + name);
}

bool MirrorWorker::WalkFolder::Is(const std::optional<FileIdentity>& other) {
    if (!other || other->file != file) return false;
    if (!whole) whole = IdentityOf(path);
    return whole == other;
}

bool MirrorWorker::MayEnter(const FindEntry& entry, const FolderListing* other, const std::wstring& path,
                            const std::wstring& relative, std::optional<WalkFolder>& identity) {
    const KnownEntry counterpart = Lookup(other, entry.name);
    const bool counterpartLink = counterpart && *counterpart && (*counterpart)->IsLink();
    if (entry.IsLink() || counterpartLink) {
        // The copy pass says so once; the deletion pass only for a link it
        // alone meets.
        if (!deletePass_ || !(counterpart && *counterpart)) {
            policy_.Report(LoadText(IDS_ROW_SKIP), Format(LoadText(IDS_LINK_SKIPPED).c_str(), relative.c_str()),
                           RowToList | RowToLog);
        }
        return false;
    }
    const std::optional<std::uint64_t> file = FileIdOf(path);
    if (!file) return true;
    identity = WalkFolder{path, *file, std::nullopt};
    WalkFolder& self = *identity;
    const auto isAncestor = [&](WalkFolder& ancestor) {
        if (ancestor.file != self.file) return false;
        if (!ancestor.whole) ancestor.whole = IdentityOf(ancestor.path);
        return self.Is(ancestor.whole);
    };
    if (std::any_of(ancestors_.begin(), ancestors_.end(), isAncestor)) {
        policy_.Report(LoadText(IDS_ROW_SKIP), Format(LoadText(IDS_LOOP_SKIPPED).c_str(), relative.c_str()),
                       RowToList | RowToLog);
        return false;
    }
    // The other tree's root under another name (a second drive letter, a
    // short name, a share) is never walked as part of this one.
    if (deletePass_) return !self.Is(masterId_);
    return !self.Is(backupId_) && !self.Is(backupBaseId_);
}

KnownEntry MirrorWorker::Lookup(const FolderListing* other, const std::wstring& name) const {
    if (!other) return std::nullopt;
    return other->Find(name);
}

unsigned MirrorWorker::SkipFlags() const {
    return (current_->ShowSkipFile ? RowToList : 0u) | (log_.skipLines() ? RowToLog : 0u);
}

bool MirrorWorker::Walk(const std::wstring& folder, const std::wstring& relative, bool& kept) {
    if (batch_.cancelRequested) return false;
    const FolderSetting& work = *current_;
    bool skipFiles = false, rootNotListed = false;
    if (relative.empty() && filters_.FolderOutcome(L"") == FilterOutcome::NotListed) {
        if (deletePass_ && work.DeleteIgnoreTarget) {
            rootNotListed = true;
        } else {
            skipFiles = true;
        }
    }

    // Inside a folder being removed the master is never asked.
    const bool askOther = !(deletePass_ && removalDepth_ > 0);
    const std::wstring otherFolder = (deletePass_ ? masterRoot_ : backupRoot_) + relative;
    // Both sides are read at once: the other one on the lister's thread.
    FolderListing own, otherListing;
    bool ownRead = false;
    if (askOther) {
        lister_.Start(otherFolder, otherListing);
        // The lister writes into otherListing: it is waited for even when
        // reading this side throws.
        struct Join {
            FolderLister& lister;
            ~Join() { lister.Wait(); }
        } join{lister_};
        ownRead = own.Read(folder);
    } else {
        ownRead = own.Read(folder);
    }
    if (!ownRead) {
        ReportListFailure(folder, own.error(), L"");
        kept = true;
        return true;
    }
    const FolderListing* other = nullptr;
    if (askOther) {
        if (otherListing.ok()) {
            other = &otherListing;
            if (!deletePass_) RemovePartials(otherFolder, otherListing);
        } else if (deletePass_) {
            // A master folder that cannot be read (a pulled stick, a lost
            // share) says nothing about what it lacks: nothing in here is
            // deleted, and for the root the pass ends here.
            ReportListFailure(otherFolder, otherListing.error(), LoadText(IDS_MASTER_UNREAD));
            kept = true;
            return true;
        } else if (otherListing.error() == ERROR_PATH_NOT_FOUND || otherListing.error() == ERROR_FILE_NOT_FOUND) {
            // A backup folder that is not there (a test run does not create
            // it) holds nothing; only the deletion pass must never conclude
            // that from a failed listing.
            other = &otherListing;
        }
    }

    if (deletePass_) RemovePartials(folder, own);

    bool changed = false;
    if (!skipFiles) {
        for (const FindEntry& entry : own.entries()) {
            if (entry.IsFolder()) continue;
            if (batch_.cancelRequested) return false;
            if (work.CheckFileName && !ops_.CheckListedName(folder, entry.name)) {
                kept = true;
                continue;
            }
            const bool did = deletePass_ ? DeleteFileDecision(entry, relative, other, rootNotListed)
                                         : CopyFileDecision(entry, relative, other);
            changed |= did;
            if (deletePass_ && !did) kept = true;
        }
    } else if (deletePass_) {
        kept = true;
    }

    if (work.SubDir) {
        for (const FindEntry& entry : own.entries()) {
            if (!entry.IsFolder()) continue;
            if (batch_.cancelRequested) return false;
            if (work.CheckFileName && !ops_.CheckListedName(folder, entry.name)) {
                kept = true;
                continue;
            }
            const bool ok = deletePass_ ? DeleteFolder(entry, folder, relative, other, kept)
                                        : CopyFolder(entry, folder, relative, other);
            if (!ok) return false;
        }
    } else if (deletePass_) {
        kept = true;
    }
    if (changed) ++changedFolderCount_;
    return true;
}

bool MirrorWorker::CaseRename(const std::wstring& backupFolder, const std::wstring& onDisk,
                              const std::wstring& masterName, std::optional<std::uint64_t> size) {
    if (onDisk.size() != masterName.size() || onDisk == masterName) return false;
    const std::wstring relative = (backupFolder + masterName).substr(backupRoot_.size());
    policy_.Report(LoadText(IDS_ROW_RENAME), relative, RowToList | RowToLog, std::nullopt, std::nullopt, size);
    if (ops_.Rename(backupFolder, onDisk, masterName)) Bump(current_->status.renamed);
    return true;
}

void MirrorWorker::RaiseTimeError(const std::wstring& path, unsigned textId) {
    const std::wstring text = LoadText(textId);
    policy_.Raise({LevelSkipped, Format(LoadText(IDS_PATH_AND_TEXT).c_str(), path.c_str(), text.c_str()), text,
                   LoadText(IDS_TIME_CHECK), MB_TOPMOST | MB_ICONINFORMATION, IDIGNORE, false, {}});
    policy_.CountError();
    policy_.AddErrorRow();
}

bool MirrorWorker::CopyFileDecision(const FindEntry& entry, const std::wstring& relative, const FolderListing* other) {
    FolderSetting& work = *current_;
    const std::wstring rel = relative + entry.name;
    const std::wstring masterPath = masterRoot_ + rel, backupPath = backupRoot_ + rel;
    policy_.SetStatus(LoadText(IDS_STATUS_BACKUP), rel);
    if (!IsTarget(filters_.FileOutcome(rel))) return false;

    const std::optional<std::int64_t> masterSeconds = FileTimeSeconds(entry.write);
    if (!masterSeconds) {
        RaiseTimeError(masterPath, IDS_TIME_INVALID);
        return false;
    }
    if (SkipsForDate(work, *masterSeconds)) return false;

    const KnownEntry known = Lookup(other, entry.name);
    const int state = ops_.CheckFile(backupPath, known);
    if (state == FileCheckError) return false;
    const std::optional<FILETIME> masterTime = ShownTime(&entry);
    const bool tooLarge = SkipsForSize(work, entry.size);

    if (state == FileMissing) {
        if (tooLarge) {
            policy_.Report(LoadText(IDS_ROW_SKIP), rel, SkipFlags(), masterTime, std::nullopt, entry.size);
            return false;
        }
        policy_.Report(LoadText(IDS_ROW_CREATE), rel, RowToList | RowToLog, masterTime, std::nullopt, entry.size);
        if (ops_.Copy(masterPath, backupPath, true)) Bump(work.status.created);
        return true;
    }

    std::optional<FindEntry> backup;
    if (known && *known) {
        backup = **known;
    } else {
        backup = ReadEntry(backupPath);
    }
    const std::optional<FILETIME> backupTime = ShownTime(backup ? &*backup : nullptr);
    if (tooLarge) {
        policy_.Report(LoadText(IDS_ROW_SKIP), rel, RowToList | RowToLog, masterTime, backupTime, entry.size);
        return false;
    }

    Comparison comparison = Comparison::BackupTimeInvalid;
    const std::optional<std::int64_t> backupSeconds = backup ? FileTimeSeconds(backup->write) : std::nullopt;
    if (backupSeconds) {
        const std::int64_t difference = *masterSeconds - *backupSeconds;
        const bool differ = work.NtfsToFat ? std::llabs(difference) > work.LeaveTime : difference != 0;
        if (differ) {
            comparison = difference > 0 ? Comparison::MasterNewer : Comparison::BackupNewer;
        } else {
            comparison = entry.size == backup->size ? Comparison::Same : Comparison::SameTimeDifferentSize;
        }
    }
    const std::wstring backupFolder = FolderOf(backupPath);
    const std::wstring onDisk = backup ? backup->name : entry.name;
    bool copy = false;
    switch (comparison) {
        case Comparison::MasterNewer:
        case Comparison::SameTimeDifferentSize:
            copy = true;
            break;
        case Comparison::Same:
            if (work.OverwriteAlways) {
                copy = true;
                break;
            }
            return work.RenameCapital && CaseRename(backupFolder, onDisk, entry.name, entry.size);
        case Comparison::BackupNewer:
            if (work.Overwrite) {
                copy = true;
                break;
            }
            if (work.RenameCapital && CaseRename(backupFolder, onDisk, entry.name, entry.size)) return true;
            policy_.Report(LoadText(IDS_ROW_SKIP), rel, RowToList | RowToLog, masterTime, backupTime, entry.size);
            return false;
        case Comparison::BackupTimeInvalid:
            RaiseTimeError(backupPath, IDS_BACKUP_TIME_INVALID);
            policy_.Report(LoadText(IDS_ROW_SKIP), rel, RowToList | RowToLog, masterTime, backupTime, entry.size);
            return false;
    }
    if (copy) {
        policy_.Report(LoadText(IDS_ROW_UPDATE), rel, RowToList | RowToLog, masterTime, backupTime, entry.size);
        if (ops_.Copy(masterPath, backupPath)) Bump(work.status.updated);
        if (work.RenameCapital) CaseRename(backupFolder, onDisk, entry.name, entry.size);
    }
    return true;
}

bool MirrorWorker::DeleteFileDecision(const FindEntry& entry, const std::wstring& relative, const FolderListing* other,
                                      bool rootNotListed) {
    FolderSetting& work = *current_;
    const std::wstring rel = relative + entry.name;
    const std::wstring backupPath = backupRoot_ + rel;
    policy_.SetStatus(LoadText(IDS_STATUS_MIRROR), rel);
    const FilterOutcome outcome = rootNotListed ? FilterOutcome::NotListed : filters_.FileOutcome(rel);

    bool remove = false;
    if (removalDepth_ > 0) {
        remove = IsTarget(outcome) || (outcome == FilterOutcome::Excluded && work.DeleteIgnoreTarget);
    } else if (IsTarget(outcome)) {
        const int state = ops_.CheckFile(masterRoot_ + rel, Lookup(other, entry.name));
        if (state == FileCheckError) return false;
        remove = state == FileMissing || state == FileIsFolder;
    } else {
        remove = work.DeleteIgnoreTarget;
    }
    if (!remove) return false;

    const std::optional<FILETIME> backupTime = ShownTime(&entry);
    if (!batch_.testMode && confirmDelete_) {
        EngineHost& host = *batch_.host;
        host.RunState(8);
        host.SetStatus((LoadText(IDS_STATUS_WAITING) + LoadText(IDS_STATUS_MIRROR)).c_str(), rel.c_str());
        const DeleteChoice choice = ConfirmDelete({backupPath, TimeText(entry.write), entry.size});
        host.RunState(1);
        policy_.SetStatus(LoadText(IDS_STATUS_MIRROR), rel);
        switch (choice) {
            case DeleteChoice::Delete:
                break;
            case DeleteChoice::DeleteAll:
                confirmDelete_ = false;
                break;
            case DeleteChoice::Skip:
                policy_.Report(LoadText(IDS_ROW_SKIP), rel, SkipFlags(), std::nullopt, backupTime, entry.size);
                return false;
            case DeleteChoice::Abort:
                batch_.cancelRequested = true;
                return false;
        }
    }
    FolderSetting* setting = &work;
    const std::uint64_t size = entry.size;
    ops_.Delete(backupPath,
                {[this, rel, backupTime, size] {
                     policy_.Report(LoadText(IDS_ROW_DELETE), rel, RowToList | RowToLog, std::nullopt, backupTime, size);
                 },
                 [setting] { Bump(setting->status.deleted); }});
    return true;
}

bool MirrorWorker::CopyFolder(const FindEntry& entry, const std::wstring& folder, const std::wstring& relative,
                              const FolderListing* other) {
    const FolderSetting& work = *current_;
    const std::wstring rel = relative + entry.name;
    if (!IsTarget(filters_.FolderOutcome(rel))) return true;
    const std::wstring masterPath = folder + entry.name;
    // A backup folder inside the master is not backed up into itself, nor
    // are the earlier date folders beside it.
    if (EqualsNoCase(masterPath + L"\\", backupRoot_) || EqualsNoCase(masterPath + L"\\", backupBase_)) return true;
    std::optional<WalkFolder> identity;
    if (!MayEnter(entry, other, masterPath, rel, identity)) return true;
    const std::wstring backupPath = backupRoot_ + rel;
    const KnownEntry known = Lookup(other, entry.name);
    const int state = ops_.CheckFolder(backupPath, known);
    bool created = false;
    if (state == FolderMissing) {
        if (batch_.cancelRequested) return false;
        policy_.Report(LoadText(IDS_ROW_FOLDER_CREATE), rel, RowToList | RowToLog);
        ops_.CreateFolder(backupPath);
        created = true;
        ++changedFolderCount_;
    } else if (state == FolderExists) {
        if (work.RenameCapital) {
            std::optional<FindEntry> onDisk;
            if (known && *known) {
                onDisk = **known;
            } else {
                onDisk = ReadEntry(backupPath);
            }
            if (onDisk && CaseRename(FolderOf(backupPath), onDisk->name, entry.name, std::nullopt)) ++changedFolderCount_;
        }
    } else {
        return true;
    }
    if (created) ++removalDepth_;
    bool kept = false;
    if (identity) ancestors_.push_back(std::move(*identity));
    const bool ok = Walk(masterPath + L"\\", rel + L"\\", kept);
    if (identity) ancestors_.pop_back();
    if (created) --removalDepth_;
    if (!ok) return false;
    if (changedFolderCount_ > 0) {
        if (work.CopyFolderTime) ops_.CopyTimes(masterPath, backupPath);
        --changedFolderCount_;
    }
    return true;
}

bool MirrorWorker::DeleteFolder(const FindEntry& entry, const std::wstring& folder, const std::wstring& relative,
                                const FolderListing* other, bool& kept) {
    const FolderSetting& work = *current_;
    const std::wstring rel = relative + entry.name;
    const std::wstring backupPath = folder + entry.name;
    // A link is not walked: removing through it would remove what it points
    // to, which is not part of this backup. Nor is a master inside the backup.
    std::optional<WalkFolder> identity;
    if (EqualsNoCase(backupPath + L"\\", masterRoot_) ||
        !MayEnter(entry, removalDepth_ > 0 ? nullptr : other, backupPath, rel, identity)) {
        kept = true;
        return true;
    }
    bool marked = false;
    if (!IsTarget(filters_.FolderOutcome(rel))) {
        if (!work.DeleteIgnoreTarget) {
            kept = true;
            return true;
        }
        marked = true;
    } else if (removalDepth_ == 0) {
        const int state = ops_.CheckFolder(masterRoot_ + rel, Lookup(other, entry.name));
        marked = state == FolderMissing || state == FolderIsFile;
    }
    if (marked) ++removalDepth_;
    bool keptInside = false;
    if (identity) ancestors_.push_back(std::move(*identity));
    const bool ok = Walk(backupPath + L"\\", rel + L"\\", keptInside);
    if (identity) ancestors_.pop_back();
    bool removed = false;
    if (ok && removalDepth_ > 0) {
        policy_.SetStatus(LoadText(IDS_STATUS_MIRROR), rel);
        removed = ops_.RemoveFolder(
            backupPath, keptInside,
            {[this, rel] { policy_.Report(LoadText(IDS_ROW_FOLDER_DELETE), rel, RowToList | RowToLog); }, {}});
        ++changedFolderCount_;
    }
    if (marked) --removalDepth_;
    if (!removed) kept = true;
    return ok;
}

}  // namespace tandrel
