// The walk of a pass through the two trees, folder by folder, and the
// deletion plan the copy pass makes on its way. Each folder of both trees is
// listed once; the other side's listing answers the per-file questions,
// and the file system is asked per file only where that listing could not
// be read.
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

void MirrorWorker::ReportListFailure(const std::wstring& folder, DWORD error, const std::wstring& consequence,
                                     const std::wstring& retries) {
    const std::wstring system = WithoutFinalBreak(SystemErrorText(error));
    std::wstring body = Format(LoadText(IDS_PATH_AND_TEXT).c_str(), (folder + retries).c_str(), system.c_str());
    if (!consequence.empty()) body += L"\r\n\r\n" + consequence;
    policy_.Raise({DeletionPass() ? LevelSkipped : LevelError, body,
                   Format(LoadText(IDS_LIST_DETAIL).c_str(), folder.c_str(), system.c_str()) + retries,
                   LoadText(IDS_LIST_FAILED), kStyleFatal, ErrorDecision::Ignore, false, {}});
    policy_.CountError();
    policy_.AddErrorRow();
}

void MirrorWorker::ReportCaseTwin(const std::wstring& relative, const std::wstring& kept, const std::wstring& twin) {
    const std::wstring keptRel = relative + kept, twinRel = relative + twin;
    policy_.Raise({LevelError,
                   Format(LoadText(IDS_CASE_TWIN_BODY).c_str(), (masterRoot_ + keptRel).c_str(),
                          (masterRoot_ + twinRel).c_str()),
                   Format(LoadText(IDS_CASE_TWIN_DETAIL).c_str(), keptRel.c_str(), twinRel.c_str()),
                   LoadText(IDS_CASE_TWIN), kStyleFatal, ErrorDecision::Ignore, false, {}});
    policy_.CountError();
    policy_.AddErrorRow();
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
        // Not entered in this pass: a link, or a folder that replaces a
        // backup file after the deletion pass, which lists it then; nor
        // yet a new folder held back to the end of the pass.
        if (known && *known && ((*known)->IsLink() || !(*known)->IsFolder())) continue;
        if (HoldsNewFolder(known)) continue;
        if (!IsKept(folder + entry.name + L"\\")) ahead.push_back(folder + entry.name + L"\\");
        if (pass_->removalDepth == 0 && known && *known && (*known)->IsFolder() && !IsKept(backupRoot_ + rel + L"\\")) {
            ahead.push_back(backupRoot_ + rel + L"\\");
        }
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
    if (!counterpart && !DeletionPass()) counterpartLink = LinkOnDisk(backupRoot_ + relative);
    if (entry.IsLink() || counterpartLink) {
        // The copy pass says so once; the deletion pass only for a link it
        // alone meets.
        if (!DeletionPass() || !(counterpart && *counterpart)) {
            policy_.Report(RowAction::Skip, Format(LoadText(IDS_LINK_SKIPPED).c_str(), relative.c_str()),
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
    if (std::any_of(pass_->ancestors.begin(), pass_->ancestors.end(), isAncestor)) {
        policy_.Report(RowAction::Skip, Format(LoadText(IDS_LOOP_SKIPPED).c_str(), relative.c_str()),
                       RowToList | RowToLog);
        return false;
    }
    // The other tree's root under another name (a second drive letter, a
    // short name, a share) is never walked as part of this one.
    if (DeletionPass()) return !self.Is(masterId_);
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
    pass_->walkedPaired = false;
    if (batch_.cancelRequested) return false;
    if (DeletionPass() && pass_->removalDepth == 0 && plan.visit == PlannedFolder::Visit::Through) {
        return WalkThrough(folder, relative, plan);
    }
    // Inside a folder being removed the master is never asked; inside one
    // the copy pass has just created (or, in a test run, would create) the
    // backup holds nothing.
    const bool askOther = pass_->removalDepth == 0 && !(relative.empty() && backupRootPending_);
    const std::wstring otherFolder = (DeletionPass() ? masterRoot_ : backupRoot_) + relative;
    // Both sides are read at once, the other one on a thread of the pool,
    // unless both were read ahead already.
    // A listing read already for this folder is not read again.
    FolderListing own, otherListing;
    const bool ownKept = TakeKept(folder, own);
    const bool otherKept = askOther && !DeletionPass() && TakeKept(otherFolder, otherListing);
    // The listing of a moved folder serves the deletion pass too, which
    // walks the folder afterwards.
    if (otherKept && pass_->placing) kept_.emplace(FoldCase(otherFolder), otherListing);
    const std::wstring ownOnDisk = ownKept ? folder : BackupOnDisk(folder);
    const std::wstring otherOnDisk = DeletionPass() ? otherFolder : BackupOnDisk(otherFolder);
    if (askOther && !otherKept) pool_.Ahead({otherOnDisk});
    // 中止 while a listing is awaited ends the walk, whatever the read does.
    if ((!ownKept && !pool_.Take(ownOnDisk, own)) || (askOther && !otherKept && !pool_.Take(otherOnDisk, otherListing))) {
        pool_.Drop(folder, otherFolder);
        return false;
    }
    // Whatever was read ahead below this folder is not wanted once it is done.
    struct Drop {
        ListingPool& pool;
        const std::wstring &own, &other;
        ~Drop() { pool.Drop(own, other); }
    } drop{pool_, folder, otherFolder};
    const FolderListing* other = nullptr;
    if (!ListingsRead(folder, own, otherFolder, otherListing, askOther, other)) {
        kept = true;
        return true;
    }
    // Nothing in a backup root that holds nothing can have moved.
    if (relative.empty() && !DeletionPass() && other && other->entries().empty()) pass_->findMoves = false;
    FolderVisit visit{folder, relative, own, other, kept};
    if (relative.empty() && filters_.FolderOutcome(L"") == FilterOutcome::NotListed) {
        (DeletionPass() && current_->DeleteIgnoreTarget ? visit.rootNotListed : visit.skipFiles) = true;
    }
    // The copy pass plans the deletion pass where it has both listings; the
    // backup folder each sub-folder was compared with, by backup entry.
    visit.planHere = pass_->planning && pass_->removalDepth == 0 && askOther && other;
    // The backup's files for the guard: read by the copy pass where it
    // plans, by the deletion pass where nothing was planned.
    if (visit.planHere) guardSeen_ += FilesIn(*other);
    if (DeletionPass() && plan.visit == PlannedFolder::Visit::Whole) guardSeen_ += FilesIn(own);
    visit.walkedWith.assign(visit.planHere ? other->entries().size() : 0, nullptr);
    // Master names that differ in letter case only land on one backup entry.
    if (const FolderListing* master = DeletionPass() ? other : &own) visit.twins.emplace(*master);

    if (DeletionPass()) RemovePartials(folder, own);
    if (!DeletionPass() && current_->SubDir) visit.askAgainAt = ListAhead(folder, relative, own, other, 0);
    if (!WalkFiles(visit) || !WalkSubFolders(visit, plan)) return false;
    if (visit.planHere) PlanDeletions(relative, *visit.twins, *other, visit.walkedWith);
    if (visit.changed) ++changedFolderCount_;
    pass_->walkedPaired = visit.planHere;
    return true;
}

bool MirrorWorker::ListingsRead(const std::wstring& folder, FolderListing& own, const std::wstring& otherFolder,
                                FolderListing& otherListing, bool askOther, const FolderListing*& other) {
    if (!own.ok()) {
        if (const std::wstring retries = ops_.RetryListing(folder, own); !own.ok()) {
            ReportListFailure(folder, own.error(), L"", retries);
            return false;
        }
    }
    if (!askOther) {
        if (!DeletionPass()) other = &otherListing;
        return true;
    }
    const std::wstring retries = ops_.RetryListing(otherFolder, otherListing);
    if (otherListing.ok()) {
        other = &otherListing;
        if (!DeletionPass()) RemovePartials(otherFolder, otherListing);
    } else if (DeletionPass()) {
        // A master folder that cannot be read (a pulled stick, a lost
        // share) says nothing about what it lacks: nothing in here is
        // deleted, and for the root the pass ends here.
        ReportListFailure(otherFolder, otherListing.error(), LoadText(IDS_MASTER_UNREAD), retries);
        return false;
    }
    // A backup folder that could not be listed, even as "not found", is
    // asked per entry: only a folder known to be new is empty.
    return true;
}

bool MirrorWorker::Passable(FolderVisit& visit, const FindEntry& entry, KnownEntry& counterpart) {
    if (current_->CheckFileName && !ops_.CheckListedName(visit.folder, entry.name)) {
        visit.kept = true;
        return false;
    }
    if (!DeletionPass()) {
        // A name that differs from a kept master name in letter case only.
        const FindEntry* keptTwin = visit.twins->KeptOf(entry);
        if (keptTwin) ReportCaseTwin(visit.relative, keptTwin->name, entry.name);
        return keptTwin == nullptr;
    }
    // The deletion pass: the master entry a backup entry was backed up from.
    if (!visit.other) return true;
    bool leave = false;
    counterpart = visit.twins->Counterpart(visit.own, entry, leave);
    if (leave) visit.kept = true;
    return !leave;
}

bool MirrorWorker::WalkFiles(FolderVisit& visit) {
    if (visit.skipFiles) {
        if (DeletionPass()) visit.kept = true;
        return true;
    }
    // The copy pass hands small copies to the copy threads meanwhile; they
    // are reported before the walk goes on into the sub-folders.
    pooling_ = !DeletionPass();
    for (const FindEntry& entry : visit.own.entries()) {
        if (entry.IsFolder()) continue;
        if (batch_.cancelRequested) break;
        KnownEntry counterpart;
        if (!Passable(visit, entry, counterpart)) continue;
        if (!DeletionPass()) {
            visit.changed |= CopyFileDecision(entry, visit.relative, visit.other);
        } else {
            visit.changed |= DeleteFileDecision(entry, visit.relative, counterpart, visit.rootNotListed, visit.kept);
        }
    }
    FinishCopies();
    return !batch_.cancelRequested;
}

bool MirrorWorker::WalkSubFolders(FolderVisit& visit, const PlannedFolder& plan) {
    if (!current_->SubDir) {
        if (DeletionPass()) visit.kept = true;
        return true;
    }
    // The plan's folders come in the listing's order, mostly; the others
    // and the unplanned ones are found by name, built at the first need.
    size_t nextPlanned = 0;
    std::unordered_map<std::wstring, const PlannedFolder*> plannedExact, plannedFolded;
    const auto planOf = [&](const FindEntry& entry) -> const PlannedFolder* {
        if (plan.visit == PlannedFolder::Visit::Whole || pass_->removalDepth > 0) return &PlannedFolder::Everything();
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
    const std::vector<FindEntry>& entries = visit.own.entries();
    for (const FindEntry& entry : entries) {
        if (!entry.IsFolder()) continue;
        if (batch_.cancelRequested) return false;
        if (const size_t index = static_cast<size_t>(&entry - entries.data()); index == visit.askAgainAt) {
            visit.askAgainAt = ListAhead(visit.folder, visit.relative, visit.own, visit.other, index);
        }
        KnownEntry counterpart;
        if (!Passable(visit, entry, counterpart)) continue;
        bool ok = true;
        if (DeletionPass()) {
            ok = DeleteFolder(entry, visit.folder, visit.relative, counterpart, visit.kept, planOf(entry));
        } else {
            const FindEntry* paired = nullptr;
            ok = CopyFolder(entry, visit.folder, visit.relative, visit.other, 0, visit.planHere ? &paired : nullptr);
            if (paired) visit.walkedWith[static_cast<size_t>(paired - visit.other->entries().data())] = &entry;
        }
        if (!ok) return false;
    }
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

bool MirrorWorker::IsMasterRoot(const FindEntry& folder, const std::wstring& path) const {
    if (EqualsNoCase(path + L"\\", masterRoot_)) return true;
    if (!masterId_ || (folder.fileId && folder.fileId != masterId_->file)) return false;
    return IdentityOf(path) == masterId_;
}

std::wstring MirrorWorker::BackupOnDisk(const std::wstring& folder) const {
    if (!batch_.testMode) return folder;
    for (const auto& [to, from] : movedFolders_) {
        const std::wstring moved = backupRoot_ + to + L"\\";
        if (folder.size() >= moved.size() && EqualsNoCase(folder.substr(0, moved.size()), moved)) {
            return backupRoot_ + from + L"\\" + folder.substr(moved.size());
        }
    }
    return folder;
}

bool MirrorWorker::HoldsNewFile() const {
    const PassState& state = *pass_;
    if (!state.findMoves || state.placing) return false;
    // Until the backup shows something to delete, only a few.
    const bool candidates = !state.doomed.empty() || !state.doomedFolders.empty();
    return state.created.size() < (candidates ? kHeldLimit : kHeldWithoutCandidates);
}

bool MirrorWorker::HoldsNewFolder(KnownEntry known) const {
    const PassState& state = *pass_;
    return state.findMoves && !state.placing && known && !*known && state.newFolders.size() < kHeldLimit;
}

void MirrorWorker::NoteDoomedIn(const std::wstring& top) {
    const FolderSetting& work = *current_;
    PassState& state = *pass_;
    std::vector<std::wstring> folders{top}, seen;
    // Its folders are candidates only when every listing below it is kept:
    // the walk of a moved folder reads them at its new place.
    bool whole = true;
    while (!folders.empty() && !batch_.cancelRequested) {
        if (keptEntries_ >= kCandidateLimit) {
            whole = false;
            break;
        }
        const std::wstring relative = std::move(folders.back());
        folders.pop_back();
        // What cannot be read now is read again by the deletion pass, which
        // deletes or keeps as it finds; it is only not looked for here.
        FolderListing listing;
        if (!pool_.Take(backupRoot_ + relative, listing)) return;
        if (!listing.ok()) {
            whole = false;
            continue;
        }
        // A folder that keeps anything (the filters leave it out, a link,
        // a name the system refuses) is not removed, so it cannot move.
        for (const FindEntry& entry : listing.entries()) {
            if (entry.IsLink() || (work.CheckFileName && !NameAccepted(entry.name))) {
                whole = false;
                continue;
            }
            const std::wstring rel = relative + entry.name;
            if (entry.IsFolder()) {
                if (work.SubDir && !IsHistoryFolder(backupRoot_ + rel) && !IsMasterRoot(entry, backupRoot_ + rel) &&
                    DecideBackupFolder(filters_.FolderOutcome(rel), true, Counterpart::Missing, false, work).action ==
                        FolderAction::Remove) {
                    folders.push_back(rel + L"\\");
                } else {
                    whole = false;
                }
            } else if (DecideBackupFile(filters_.FileOutcome(rel), true, Counterpart::Missing, work).action ==
                       FileAction::Delete) {
                state.doomed.push_back({rel, entry});
            } else {
                whole = false;
            }
        }
        seen.push_back(relative);
        Keep(backupRoot_ + relative, std::move(listing));
    }
    if (whole) state.doomedFolders.insert(state.doomedFolders.end(), seen.begin(), seen.end());
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
            // While moves are looked for, every file the pass would delete.
            if (skipFiles || (list && !pass_->findMoves)) continue;
            // The deletion pass reports a name the system refuses.
            if (work.CheckFileName && !NameAccepted(entry.name)) {
                list = true;
                continue;
            }
            bool leave = false;
            const FindEntry* counterpart = master.Counterpart(backup, entry, leave);
            if (leave) continue;
            const Counterpart kind = !counterpart              ? Counterpart::Missing
                                     : counterpart->IsFolder() ? Counterpart::Folder
                                                               : Counterpart::File;
            // The deletion pass's own decision; the filter is asked only
            // where its answer can change it.
            const bool gone = kind != Counterpart::File;
            if (!rootNotListed && !gone && !work.DeleteIgnoreTarget) continue;
            const FilterOutcome outcome = rootNotListed                          ? FilterOutcome::NotListed
                                          : gone && work.DeleteIgnoreTarget ? FilterOutcome::Target
                                                                            : filters_.FileOutcome(relative + entry.name);
            const bool deleted = DecideBackupFile(outcome, false, kind, work).action == FileAction::Delete;
            list |= deleted;
            if (deleted && pass_->findMoves && kind == Counterpart::Missing && !entry.IsLink() &&
                keptEntries_ + pass_->doomed.size() < kCandidateLimit) {
                pass_->doomed.push_back({relative + entry.name, entry});
            }
            continue;
        }
        if (!work.SubDir) continue;
        if (work.CheckFileName && !NameAccepted(entry.name)) {
            list = true;
            continue;
        }
        if (EqualsNoCase(backupRoot_ + relative + entry.name + L"\\", masterRoot_)) continue;
        if (IsHistoryFolder(backupRoot_ + relative + entry.name)) continue;
        bool leave = false;
        const FindEntry* counterpart = master.Counterpart(backup, entry, leave);
        if (leave) continue;
        if (entry.IsLink() || (counterpart && counterpart->IsLink())) {
            // A link only the backup has gets its row from the deletion pass.
            list |= !counterpart;
            continue;
        }
        // So does a folder that is one of those it is in.
        const std::vector<std::uint64_t>& above = pass_->backupPathIds;
        if (entry.fileId && std::find(above.begin(), above.end(), entry.fileId) != above.end()) {
            list = true;
            continue;
        }
        if (!IsTarget(filters_.FolderOutcome(relative + entry.name))) {
            list |= work.DeleteIgnoreTarget;
            continue;
        }
        if (!counterpart || !counterpart->IsFolder()) {
            list = true;
            // A folder the master lacks goes as a whole: its files may have
            // moved elsewhere (a renamed folder).
            if (!counterpart && pass_->findMoves && !IsMasterRoot(entry, backupRoot_ + relative + entry.name)) {
                NoteDoomedIn(relative + entry.name + L"\\");
            }
        } else if (walkedWith[i] != counterpart) {
            // Not compared here with the master folder the deletion pass
            // will pair it with (a loop, a listing that failed, a twin):
            // that pass looks at everything in it.
            plan_.MarkWhole(entry.name, i);
        }
    }
    if (list) plan_.Mark(PlannedFolder::Visit::List);
}

}  // namespace tandrel
