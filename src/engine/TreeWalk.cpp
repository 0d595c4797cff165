// The passes over the two trees and the decision for every file and folder.
// Each folder of both trees is listed once; the other side's listing answers
// the per-file questions, and the file system is asked per file only where
// that listing could not be read.
#include <algorithm>
#include <cstdlib>
#include <unordered_map>

#include "engine/FaultSeam.h"
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

// A backup entry that no listing described: a reparse point is a link
// unless its tag, read as a listing reads it, says otherwise.
bool LinkOnDisk(const std::wstring& path) {
    DWORD error = 0;
    std::wstring heldBy;
    if (const std::optional<FindEntry> entry = ReadNamedEntry(path, error, &heldBy)) return entry->IsLink();
    // Nothing of this name; the other entry is not looked into.
    if (!heldBy.empty()) return false;
    const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

bool MirrorWorker::RunPasses() {
    FolderSetting& work = *current_;
    replacements_.clear();
    pool_.WatchCancel(batch_.cancelRequested);
    // After the last pass no read ahead holds a folder open while the
    // setting's after-command runs (a script that ejects the backup).
    struct Settled {
        ListingPool& pool;
        ~Settled() { pool.Settle(); }
    } settled{pool_};
    const auto pass = [&](bool deletion) {
        // Whatever the last pass left being read ahead is not waited on by
        // anyone: it must not hold a folder open into this one.
        pool_.Settle();
        deletePass_ = deletion;
        ops_.SetDeletePass(deletion);
        bool kept = false;
        ancestors_.clear();
        if (!deletion) {
            ops_.SetConflictsLater(work.Mirroring && work.BackupType == 0);
            // The deletion pass that follows visits only what this pass plans.
            planning_ = work.Mirroring && work.BackupType == 0 && !backupRootPending_;
            plan_.Reset();
            backupPathIds_.assign(1, backupId_ ? backupId_->file : 0);
            if (masterId_) ancestors_.push_back({masterRoot_, masterId_->file, masterId_});
            const bool ok = Walk(masterRoot_, L"", kept);
            if (planning_ && !walkedPaired_) plan_.Mark(PlannedFolder::Visit::Whole);
            planning_ = false;
            ops_.SetConflictsLater(false);
            return ok;
        }
        // Nothing to delete in a folder that is not there yet.
        if (backupRootPending_) return true;
        if (const auto id = IdentityOf(backupRoot_)) ancestors_.push_back({backupRoot_, id->file, id});
        if (work.DeleteRecycleBin) ops_.BeginRecycling(options_.RecycleBinFileCount, options_.CheckRecycleBin);
        // Before a copy pass there is no plan: everything is looked at.
        const bool ok =
            Walk(backupRoot_, L"", kept, work.BackupType == 0 ? plan_.root() : PlannedFolder::Everything());
        plan_.Reset();
        ops_.EndRecycling();
        deletePass_ = false;
        ops_.SetDeletePass(false);
        return ok && PutReplacementsInPlace();
    };
    bool completed = false;
    if (work.BackupType == 0) {
        completed = pass(false) && (!work.Mirroring || pass(true));
    } else if (work.BackupType == 1) {
        completed = (!work.Mirroring || pass(true)) && pass(false);
    }
    if (changedFolderCount_ > 0) {
        if (work.CopyFolderTime) exec_.Carry(Operation::On(OperationKind::CopyTimes, backupRoot_, masterRoot_));
        --changedFolderCount_;
    }
    return completed;
}

void MirrorWorker::ReportListFailure(const std::wstring& folder, DWORD error, const std::wstring& consequence,
                                     const std::wstring& retries) {
    const std::wstring system = WithoutFinalBreak(SystemErrorText(error));
    std::wstring body = Format(LoadText(IDS_PATH_AND_TEXT).c_str(), (folder + retries).c_str(), system.c_str());
    if (!consequence.empty()) body += L"\r\n\r\n" + consequence;
    policy_.Raise({deletePass_ ? LevelSkipped : LevelError, body,
                   Format(LoadText(IDS_LIST_DETAIL).c_str(), folder.c_str(), system.c_str()) + retries,
                   LoadText(IDS_LIST_FAILED), kStyleFatal, IDIGNORE, false, {}});
    policy_.CountError();
    policy_.AddErrorRow();
}

void MirrorWorker::ReportCaseTwin(const std::wstring& relative, const std::wstring& kept, const std::wstring& twin) {
    const std::wstring keptRel = relative + kept, twinRel = relative + twin;
    policy_.Raise({LevelError,
                   Format(LoadText(IDS_CASE_TWIN_BODY).c_str(), (masterRoot_ + keptRel).c_str(),
                          (masterRoot_ + twinRel).c_str()),
                   Format(LoadText(IDS_CASE_TWIN_DETAIL).c_str(), keptRel.c_str(), twinRel.c_str()),
                   LoadText(IDS_CASE_TWIN), kStyleFatal, IDIGNORE, false, {}});
    policy_.CountError();
    policy_.AddErrorRow();
}

void MirrorWorker::Defer(const FindEntry& entry, const std::wstring& relative) {
    replacements_.push_back({relative + entry.name, entry, false});
}

void MirrorWorker::Cleared(const std::wstring& relative) {
    for (Replacement& replacement : replacements_) {
        if (EqualsNoCase(replacement.relative, relative)) replacement.cleared = true;
    }
}

bool MirrorWorker::PutReplacementsInPlace() {
    std::vector<Replacement> pending;
    pending.swap(replacements_);
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
        ancestors_.clear();
        if (masterId_) ancestors_.push_back({masterRoot_, masterId_->file, masterId_});
        for (size_t end = relative.find(L'\\'); end != std::wstring::npos; end = relative.find(L'\\', end + 1)) {
            const std::wstring path = masterRoot_ + relative.substr(0, end);
            if (const auto id = FileIdOf(path)) ancestors_.push_back({path, *id, std::nullopt});
        }
        if (!CopyFolder(entry, masterRoot_ + relative, relative, &nothing, IDS_REPLACED_FILE)) return false;
    }
    return true;
}

size_t MirrorWorker::ListAhead(const std::wstring& folder, const std::wstring& relative, const FolderListing& own,
                               const FolderListing* other, size_t from) {
    // The sub-folders the walk will enter, as far as the listings tell, in
    // its order; a folder the copy pass creates is not listed in the backup.
    // A few at a time: the walk asks again half-way through them.
    constexpr size_t kFolders = 64;
    std::vector<std::wstring> ahead;
    size_t again = kNoMoreAhead, count = 0;
    const std::vector<FindEntry>& entries = own.entries();
    for (size_t i = from; i < entries.size() && count < kFolders; ++i) {
        const FindEntry& entry = entries[i];
        if (!entry.IsFolder() || entry.IsLink() || !NameAccepted(entry.name)) continue;
        const std::wstring rel = relative + entry.name;
        if (!IsTarget(filters_.FolderOutcome(rel))) continue;
        const KnownEntry known = Lookup(other, entry.name);
        if (known && *known && (*known)->IsLink()) continue;
        ahead.push_back(folder + entry.name + L"\\");
        if (removalDepth_ == 0 && known && *known && (*known)->IsFolder()) ahead.push_back(backupRoot_ + rel + L"\\");
        if (++count == kFolders / 2) again = i;
    }
    pool_.Ahead(ahead);
    return count == kFolders ? again : kNoMoreAhead;
}

void MirrorWorker::RemovePartials(const std::wstring& folder, const FolderListing& listing) {
    for (const std::wstring& name : listing.partials()) {
        exec_.Carry(Operation::On(OperationKind::RemovePartial, folder + name));
    }
}

bool MirrorWorker::WalkFolder::Is(const std::optional<FileIdentity>& other) {
    if (!other || other->file != file) return false;
    if (!whole) whole = IdentityOf(path);
    return whole == other;
}

bool MirrorWorker::MayEnter(const FindEntry& entry, KnownEntry counterpart, const std::wstring& path,
                            const std::wstring& relative, std::optional<WalkFolder>& identity) {
    bool counterpartLink = counterpart && *counterpart && (*counterpart)->IsLink();
    // The backup could not be listed: its entry is read on its own, never
    // taken for a folder because the file system says "folder".
    if (!counterpart && !deletePass_) counterpartLink = LinkOnDisk(backupRoot_ + relative);
    if (entry.IsLink() || counterpartLink) {
        // The copy pass says so once; the deletion pass only for a link it
        // alone meets.
        if (!deletePass_ || !(counterpart && *counterpart)) {
            policy_.Report(LoadText(IDS_ROW_SKIP), Format(LoadText(IDS_LINK_SKIPPED).c_str(), relative.c_str()),
                           RowToList | RowToLog);
        }
        return false;
    }
    // The listing's id, else a question of its own.
    const std::optional<std::uint64_t> file = entry.fileId ? std::optional<std::uint64_t>(entry.fileId) : FileIdOf(path);
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

bool MirrorWorker::Walk(const std::wstring& folder, const std::wstring& relative, bool& kept,
                        const PlannedFolder& plan) {
    walkedPaired_ = false;
    if (batch_.cancelRequested) return false;
    if (deletePass_ && removalDepth_ == 0 && plan.visit == PlannedFolder::Visit::Through) {
        return WalkThrough(folder, relative, plan);
    }
    const FolderSetting& work = *current_;
    bool skipFiles = false, rootNotListed = false;
    if (relative.empty() && filters_.FolderOutcome(L"") == FilterOutcome::NotListed) {
        if (deletePass_ && work.DeleteIgnoreTarget) {
            rootNotListed = true;
        } else {
            skipFiles = true;
        }
    }

    // Inside a folder being removed the master is never asked; inside one
    // the copy pass has just created (or, in a test run, would create) the
    // backup holds nothing.
    const bool askOther = removalDepth_ == 0 && !(relative.empty() && backupRootPending_);
    const std::wstring otherFolder = (deletePass_ ? masterRoot_ : backupRoot_) + relative;
    // Both sides are read at once, the other one on a thread of the pool,
    // unless both were read ahead already.
    FolderListing own, otherListing;
    if (askOther) pool_.Ahead({otherFolder});
    // 中止 while a listing is awaited ends the walk, whatever the read does.
    if (!pool_.Take(folder, own) || (askOther && !pool_.Take(otherFolder, otherListing))) {
        pool_.Drop(folder, otherFolder);
        return false;
    }
    // Whatever was read ahead below this folder is not wanted once it is done.
    struct Drop {
        ListingPool& pool;
        const std::wstring &own, &other;
        ~Drop() { pool.Drop(own, other); }
    } drop{pool_, folder, otherFolder};
    if (!own.ok()) {
        if (const std::wstring retries = ops_.RetryListing(folder, own); !own.ok()) {
            ReportListFailure(folder, own.error(), L"", retries);
            kept = true;
            return true;
        }
    }
    const FolderListing* other = nullptr;
    if (!askOther) {
        if (!deletePass_) other = &otherListing;
    } else {
        const std::wstring retries = ops_.RetryListing(otherFolder, otherListing);
        if (otherListing.ok()) {
            other = &otherListing;
            if (!deletePass_) RemovePartials(otherFolder, otherListing);
        } else if (deletePass_) {
            // A master folder that cannot be read (a pulled stick, a lost
            // share) says nothing about what it lacks: nothing in here is
            // deleted, and for the root the pass ends here.
            ReportListFailure(otherFolder, otherListing.error(), LoadText(IDS_MASTER_UNREAD), retries);
            kept = true;
            return true;
        }
        // A backup folder that could not be listed, even as "not found", is
        // asked per entry: only a folder known to be new is empty.
    }
    // The copy pass plans the deletion pass where it has both listings; the
    // backup folder each sub-folder was compared with, by backup entry.
    const bool planHere = planning_ && removalDepth_ == 0 && askOther && other;
    std::vector<const FindEntry*> walkedWith(planHere ? other->entries().size() : 0, nullptr);

    // Master names that differ in letter case only land on one backup entry.
    std::optional<TwinGroups> twins;
    if (const FolderListing* master = deletePass_ ? other : &own) twins.emplace(*master);
    const auto caseTwin = [&](const FindEntry& entry) {
        const FindEntry* keptTwin = deletePass_ ? nullptr : twins->KeptOf(entry);
        if (keptTwin) ReportCaseTwin(relative, keptTwin->name, entry.name);
        return keptTwin != nullptr;
    };
    // The deletion pass: the master entry a backup entry was backed up from.
    const auto counterpartOf = [&](const FindEntry& entry, bool& leave) -> KnownEntry {
        leave = false;
        if (!other) return std::nullopt;
        return twins->Counterpart(own, entry, leave);
    };

    if (deletePass_) RemovePartials(folder, own);
    size_t askAgainAt = kNoMoreAhead;
    if (!deletePass_ && work.SubDir) askAgainAt = ListAhead(folder, relative, own, other, 0);

    bool changed = false;
    if (!skipFiles) {
        for (const FindEntry& entry : own.entries()) {
            if (entry.IsFolder()) continue;
            if (batch_.cancelRequested) return false;
            if (work.CheckFileName && !ops_.CheckListedName(folder, entry.name)) {
                kept = true;
                continue;
            }
            if (caseTwin(entry)) continue;
            if (!deletePass_) {
                changed |= CopyFileDecision(entry, relative, other);
                continue;
            }
            bool leave = false;
            const KnownEntry counterpart = counterpartOf(entry, leave);
            if (leave) {
                kept = true;
                continue;
            }
            changed |= DeleteFileDecision(entry, relative, counterpart, rootNotListed, kept);
        }
    } else if (deletePass_) {
        kept = true;
    }

    // The plan's folders come in the listing's order, mostly; the others
    // and the unplanned ones are found by name, built at the first need.
    size_t nextPlanned = 0;
    std::unordered_map<std::wstring, const PlannedFolder*> plannedExact, plannedFolded;
    const auto planOf = [&](const FindEntry& entry) -> const PlannedFolder* {
        if (plan.visit == PlannedFolder::Visit::Whole || removalDepth_ > 0) return &PlannedFolder::Everything();
        const std::vector<PlannedFolder>& children = plan.children;
        if (children.empty()) return nullptr;
        if (nextPlanned < children.size() && children[nextPlanned].name == entry.name) return &children[nextPlanned++];
        if (plannedExact.empty()) {
            for (const PlannedFolder& child : children) {
                plannedExact.emplace(child.name, &child);
                plannedFolded.emplace(FoldCase(child.name), &child);
            }
        }
        if (const auto exact = plannedExact.find(entry.name); exact != plannedExact.end()) return exact->second;
        const auto folded = plannedFolded.find(FoldCase(entry.name));
        return folded != plannedFolded.end() ? folded->second : nullptr;
    };
    if (work.SubDir) {
        for (const FindEntry& entry : own.entries()) {
            if (!entry.IsFolder()) continue;
            if (batch_.cancelRequested) return false;
            if (const size_t index = static_cast<size_t>(&entry - own.entries().data()); index == askAgainAt) {
                askAgainAt = ListAhead(folder, relative, own, other, index);
            }
            if (work.CheckFileName && !ops_.CheckListedName(folder, entry.name)) {
                kept = true;
                continue;
            }
            if (caseTwin(entry)) continue;
            bool ok = true;
            if (deletePass_) {
                bool leave = false;
                const KnownEntry counterpart = counterpartOf(entry, leave);
                if (leave) {
                    kept = true;
                    continue;
                }
                ok = DeleteFolder(entry, folder, relative, counterpart, kept, planOf(entry));
            } else {
                const FindEntry* paired = nullptr;
                ok = CopyFolder(entry, folder, relative, other, 0, planHere ? &paired : nullptr);
                if (paired) walkedWith[static_cast<size_t>(paired - other->entries().data())] = &entry;
            }
            if (!ok) return false;
        }
    } else if (deletePass_) {
        kept = true;
    }
    if (planHere) PlanDeletions(relative, *twins, *other, walkedWith);
    if (changed) ++changedFolderCount_;
    walkedPaired_ = planHere;
    return true;
}

bool MirrorWorker::WalkThrough(const std::wstring& folder, const std::wstring& relative, const PlannedFolder& plan) {
    for (const PlannedFolder& child : plan.children) {
        if (batch_.cancelRequested) return false;
        // Read again: the copy pass saw it a while ago.
        const std::wstring backupPath = folder + child.name;
        DWORD error = InjectedFault(FaultPoint::Check, backupPath);
        std::optional<FindEntry> entry;
        if (!error) entry = ReadNamedEntry(backupPath, error);
        if (!entry) {
            // Gone since: nothing left to delete there.
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
                ReportListFailure(backupPath + L"\\", error, L"");
            }
            continue;
        }
        if (!entry->IsFolder()) continue;
        const std::wstring masterPath = masterRoot_ + relative + entry->name;
        const std::optional<FindEntry> master = ReadNamedEntry(masterPath, error);
        KnownEntry counterpart;
        if (master) {
            counterpart = &*master;
        } else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            // Only a listing of its parent may say that it is gone.
            const int state = ops_.CheckFolder(masterPath);
            if (state == FolderNotReady) ReportListFailure(masterPath + L"\\", ERROR_NOT_READY, LoadText(IDS_MASTER_UNREAD));
            if (state == FolderNotReady || state == FolderCheckError) continue;
            if (state == FolderMissing) counterpart = nullptr;
        } else {
            ReportListFailure(masterPath + L"\\", error, LoadText(IDS_MASTER_UNREAD));
            continue;
        }
        bool kept = false;
        if (!DeleteFolder(*entry, folder, relative, counterpart, kept, &child)) return false;
    }
    return true;
}

void MirrorWorker::PlanDeletions(const std::wstring& relative, const TwinGroups& master, const FolderListing& backup,
                                 const std::vector<const FindEntry*>& walkedWith) {
    const FolderSetting& work = *current_;
    // As the deletion pass treats the root's files when the folder filter
    // does not list the root.
    bool skipFiles = false, rootNotListed = false;
    if (relative.empty() && filters_.FolderOutcome(L"") == FilterOutcome::NotListed) {
        (work.DeleteIgnoreTarget ? rootNotListed : skipFiles) = true;
    }
    // The deletion pass pairs backup entries with the kept names of twin
    // groups only where it has the master's listing.
    bool list = master.any();
    const std::vector<FindEntry>& entries = backup.entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        const FindEntry& entry = entries[i];
        if (!entry.IsFolder()) {
            if (skipFiles || list) continue;
            // The deletion pass reports a name the system refuses.
            if (work.CheckFileName && !NameAccepted(entry.name)) {
                list = true;
                continue;
            }
            bool leave = false;
            const FindEntry* counterpart = master.Counterpart(backup, entry, leave);
            if (leave) continue;
            const bool gone = !counterpart || counterpart->IsFolder();
            if (rootNotListed || (gone && work.DeleteIgnoreTarget)) {
                list = true;
            } else if (gone || work.DeleteIgnoreTarget) {
                // Deleted as a target the master lacks, or as a non-target.
                list = IsTarget(filters_.FileOutcome(relative + entry.name)) == gone;
            }
            continue;
        }
        if (!work.SubDir) continue;
        if (work.CheckFileName && !NameAccepted(entry.name)) {
            list = true;
            continue;
        }
        if (EqualsNoCase(backupRoot_ + relative + entry.name + L"\\", masterRoot_)) continue;
        bool leave = false;
        const FindEntry* counterpart = master.Counterpart(backup, entry, leave);
        if (leave) continue;
        if (entry.IsLink() || (counterpart && counterpart->IsLink())) {
            // A link only the backup has gets its row from the deletion pass.
            list |= !counterpart;
            continue;
        }
        // So does a folder that is one of those it is in.
        if (entry.fileId && std::find(backupPathIds_.begin(), backupPathIds_.end(), entry.fileId) != backupPathIds_.end()) {
            list = true;
            continue;
        }
        if (!IsTarget(filters_.FolderOutcome(relative + entry.name))) {
            list |= work.DeleteIgnoreTarget;
            continue;
        }
        if (!counterpart || !counterpart->IsFolder()) {
            list = true;
        } else if (walkedWith[i] != counterpart) {
            // Not compared here with the master folder the deletion pass
            // will pair it with (a loop, a listing that failed, a twin):
            // that pass looks at everything in it.
            plan_.MarkWhole(entry.name, i);
        }
    }
    if (list) plan_.Mark(PlannedFolder::Visit::List);
}

bool MirrorWorker::CaseRename(const std::wstring& backupFolder, const std::wstring& onDisk,
                              const std::wstring& masterName, std::optional<std::uint64_t> size, bool* renamed) {
    if (onDisk.size() != masterName.size() || onDisk == masterName) return false;
    const std::wstring relative = (backupFolder + masterName).substr(backupRoot_.size());
    policy_.Report(LoadText(IDS_ROW_RENAME), relative, RowToList | RowToLog, std::nullopt, std::nullopt, size);
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

void MirrorWorker::RaiseTimeError(const std::wstring& path, unsigned textId) {
    const std::wstring text = LoadText(textId);
    policy_.Raise({LevelSkipped, Format(LoadText(IDS_PATH_AND_TEXT).c_str(), path.c_str(), text.c_str()), text,
                   LoadText(IDS_TIME_CHECK), MB_TOPMOST | MB_ICONINFORMATION, IDIGNORE, false, {}});
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
            policy_.Report(LoadText(IDS_ROW_CREATE),
                           replacedId ? Format(LoadText(replacedId).c_str(), rel.c_str()) : rel,
                           RowToList | RowToLog, masterTime, std::nullopt, entry.size);
            if (exec_.Carry(Operation::Copy(masterRoot_ + rel, backupPath, true, &entry))) {
                Copied(work.status.created, entry.size);
            }
            return true;
        case FileAction::CaseRename:
            caseRename();
            return true;
        case FileAction::Update:
            policy_.Report(LoadText(IDS_ROW_UPDATE), rel, RowToList | RowToLog, masterTime, backupTime, entry.size);
            if (exec_.Carry(Operation::Copy(masterRoot_ + rel, backupPath, false, &entry))) {
                Copied(work.status.updated, entry.size);
            }
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
            policy_.Report(LoadText(IDS_ROW_SKIP), rel, SkipFlags(), masterTime, std::nullopt, entry.size);
            return false;
        case SkipReason::TooLarge:
        case SkipReason::BackupNewer:
            break;
        default:
            return false;
    }
    policy_.Report(LoadText(IDS_ROW_SKIP), rel, RowToList | RowToLog, masterTime, backupTime, entry.size);
    return false;
}

bool MirrorWorker::DeleteFileDecision(const FindEntry& entry, const std::wstring& relative, KnownEntry counterpart,
                                      bool rootNotListed, bool& kept) {
    FolderSetting& work = *current_;
    const std::wstring rel = relative + entry.name;
    const std::wstring backupPath = backupRoot_ + rel;
    policy_.SetStatus(statusMirror_, rel);
    PublishProgress();
    const FilterOutcome outcome = rootNotListed ? FilterOutcome::NotListed : filters_.FileOutcome(rel);
    FileDecision decision = DecideBackupFile(outcome, removalDepth_ > 0, Counterpart::Unknown, work);
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
                          policy_.Report(LoadText(IDS_ROW_DELETE), rel, RowToList | RowToLog, std::nullopt, backupTime,
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
    const FolderSetting& work = *current_;
    const std::wstring rel = relative + entry.name;
    if (!IsTarget(filters_.FolderOutcome(rel))) return true;
    const std::wstring masterPath = folder + entry.name;
    // A backup folder inside the master is not backed up into itself, nor
    // are the earlier date folders beside it.
    if (EqualsNoCase(masterPath + L"\\", backupRoot_) || EqualsNoCase(masterPath + L"\\", backupBase_)) return true;
    std::optional<WalkFolder> identity;
    const KnownEntry known = Lookup(other, entry.name);
    if (!MayEnter(entry, known, masterPath, rel, identity)) return true;
    const std::wstring backupPath = backupRoot_ + rel;
    const int state = ops_.CheckFolder(backupPath, known);
    bool created = false;
    // The backup folder's name on disk once a case rename is done: the
    // deletion pass finds it by that name.
    bool renamed = false;
    if (state == FolderMissing) {
        if (batch_.cancelRequested) return false;
        policy_.Report(LoadText(IDS_ROW_FOLDER_CREATE),
                       replacedId ? Format(LoadText(replacedId).c_str(), rel.c_str()) : rel, RowToList | RowToLog);
        // A folder that could not be made is not walked: its one error
        // stands for everything inside.
        if (!exec_.Carry(Operation::On(OperationKind::CreateFolder, backupPath))) return !batch_.cancelRequested;
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
            if (onDisk && CaseRename(FolderOf(backupPath), onDisk->name, entry.name, std::nullopt, &renamed)) {
                ++changedFolderCount_;
            }
        }
    } else {
        if (state == FolderIsFile) Defer(entry, relative);
        return true;
    }
    if (created) ++removalDepth_;
    // The backup folder this one is compared with, for the plan.
    const FindEntry* backupEntry = paired && !created && known ? *known : nullptr;
    if (backupEntry) {
        plan_.Enter(renamed ? entry.name : backupEntry->name,
                    static_cast<size_t>(backupEntry - other->entries().data()));
        backupPathIds_.push_back(backupEntry->fileId);
    }
    bool kept = false;
    if (identity) ancestors_.push_back(std::move(*identity));
    const bool ok = Walk(masterPath + L"\\", rel + L"\\", kept);
    if (identity) ancestors_.pop_back();
    if (backupEntry) {
        if (walkedPaired_) *paired = backupEntry;
        plan_.Leave();
        backupPathIds_.pop_back();
    }
    if (created) --removalDepth_;
    if (!ok) return false;
    if (changedFolderCount_ > 0) {
        if (work.CopyFolderTime) exec_.Carry(Operation::On(OperationKind::CopyTimes, backupPath, masterPath));
        --changedFolderCount_;
    }
    return true;
}

bool MirrorWorker::DeleteFolder(const FindEntry& entry, const std::wstring& folder, const std::wstring& relative,
                                KnownEntry counterpart, bool& kept, const PlannedFolder* plan) {
    const FolderSetting& work = *current_;
    const std::wstring rel = relative + entry.name;
    const std::wstring backupPath = folder + entry.name;
    // A link is not walked: removing through it would remove what it points
    // to, which is not part of this backup. Nor is a master inside the backup.
    std::optional<WalkFolder> identity;
    if (EqualsNoCase(backupPath + L"\\", masterRoot_) ||
        !MayEnter(entry, removalDepth_ > 0 ? KnownEntry() : counterpart, backupPath, rel, identity)) {
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
        const int state = ops_.CheckFolder(masterRoot_ + rel, counterpart);
        marked = state == FolderMissing || state == FolderIsFile;
    }
    // The copy pass found nothing to delete in there.
    if (!marked && removalDepth_ == 0 && !plan) return true;
    if (marked) ++removalDepth_;
    bool keptInside = false;
    if (identity) ancestors_.push_back(std::move(*identity));
    const bool ok =
        Walk(backupPath + L"\\", rel + L"\\", keptInside, marked || !plan ? PlannedFolder::Everything() : *plan);
    if (identity) ancestors_.pop_back();
    bool removed = false;
    if (ok && removalDepth_ > 0) {
        policy_.SetStatus(LoadText(IDS_STATUS_MIRROR), rel);
        removed = exec_.Carry(
            Operation::RemoveFolder(backupPath, keptInside),
            {[this, rel] { policy_.Report(LoadText(IDS_ROW_FOLDER_DELETE), rel, RowToList | RowToLog); },
             [this, rel] { Cleared(rel); }});
        ++changedFolderCount_;
    }
    if (marked) --removalDepth_;
    if (!removed) kept = true;
    return ok;
}

}  // namespace tandrel
