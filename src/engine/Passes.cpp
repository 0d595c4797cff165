// The passes of a setting over the two trees, each with a state of its own,
// and what one pass hands on to the next: the deletion plan, and the master
// entries the backup holds as the other kind, for the deletion pass to make
// room for.
#include <algorithm>
#include <utility>

#include "engine/MirrorWorker.h"
#include "platform/Paths.h"
#include "platform/Strings.h"

namespace tandrel {

class MirrorWorker::PassScope {
public:
    PassScope(MirrorWorker& worker, PassState& state) : worker_(worker) {
        worker_.pass_ = &state;
        worker_.ops_.SetDeletePass(state.deletion);
    }
    ~PassScope() {
        worker_.pass_ = nullptr;
        worker_.ops_.SetDeletePass(false);
    }
    PassScope(const PassScope&) = delete;
    PassScope& operator=(const PassScope&) = delete;

private:
    MirrorWorker& worker_;
};

bool MirrorWorker::RunPasses() {
    FolderSetting& work = *current_;
    pool_.WatchCancel(batch_.cancelRequested);
    // After the last pass no read ahead holds a folder open while the
    // setting's after-command runs (a script that ejects the backup).
    struct Settled {
        ListingPool& pool;
        ~Settled() { pool.Settle(); }
    } settled{pool_};
    // What the copy pass deferred, handed to the deletion pass that may
    // make room for it, then put in place.
    Replacements deferred;
    const auto copyPass = [&] {
        // Whatever the last pass left being read ahead is not waited on by
        // anyone: it must not hold a folder open into this one.
        pool_.Settle();
        PassState state(false);
        const PassScope scope(*this, state);
        ops_.SetConflictsLater(work.Mirroring && work.BackupType == 0);
        // The deletion pass that follows visits only what this pass plans.
        state.planning = work.Mirroring && work.BackupType == 0 && !backupRootPending_;
        plan_.Reset();
        state.backupPathIds.assign(1, backupId_ ? backupId_->file : 0);
        if (masterId_) state.ancestors.push_back({masterRoot_, masterId_->file, masterId_});
        // The deletion pass that follows knows what it will delete where
        // this pass plans it; a backup root that is new holds nothing to
        // move (the walk says so of an empty one).
        state.findMoves = state.planning;
        bool kept = false;
        bool ok = Walk(masterRoot_, L"", kept);
        if (state.planning && !state.walkedPaired) plan_.Mark(PlannedFolder::Visit::Whole);
        if (ok) ok = PlaceHeld();
        ops_.SetConflictsLater(false);
        deferred = std::move(state.replacements);
        return ok;
    };
    const auto deletionPass = [&] {
        pool_.Settle();
        // Nothing to delete in a folder that is not there yet.
        if (backupRootPending_) return true;
        PassState state(true);
        bool ok = false;
        {
            const PassScope scope(*this, state);
            state.replacements = std::move(deferred);
            if (const auto id = IdentityOf(backupRoot_)) state.ancestors.push_back({backupRoot_, id->file, id});
            if (work.DeleteRecycleBin && !work.DeleteHistory) {
                ops_.BeginRecycling(options_.RecycleBinFileCount, options_.CheckRecycleBin);
            }
            if (work.DeleteGuard) exec_.Hold(&held_);
            // Before a copy pass there is no plan: everything is looked at.
            bool kept = false;
            ok = Walk(backupRoot_, L"", kept, work.BackupType == 0 ? plan_.root() : PlannedFolder::Everything());
            plan_.Reset();
            if (ok) ok = WalkMovedFolders();
            kept_.clear();
            keptEntries_ = 0;
            // A walk that was stopped deletes nothing it held.
            if (ok) {
                ok = CarryHeldRemovals();
            } else {
                exec_.Hold(nullptr);
                held_.Take();
            }
            ops_.EndRecycling();
        }
        if (!ok) return false;
        PassState replacing(false);
        const PassScope scope(*this, replacing);
        return PutReplacementsInPlace(state.replacements);
    };
    bool completed = false;
    guardSeen_ = 0;
    movedAway_.clear();
    movedFolders_.clear();
    movedTo_.clear();
    movedFrom_.clear();
    kept_.clear();
    keptEntries_ = 0;
    exec_.Hold(nullptr);
    held_.Take();
    if (work.BackupType == 0) {
        completed = copyPass() && (!work.Mirroring || deletionPass());
    } else if (work.BackupType == 1) {
        completed = (!work.Mirroring || deletionPass()) && copyPass();
    }
    if (changedFolderCount_ > 0) {
        if (work.CopyFolderTime) exec_.Carry(Operation::On(OperationKind::CopyTimes, backupRoot_, masterRoot_));
        --changedFolderCount_;
    }
    return completed;
}

bool MirrorWorker::PlaceHeld() {
    PassState& state = *pass_;
    if (!state.findMoves) return true;
    // From here on every new entry is matched as it comes: the plan is
    // complete, and nothing more is planned.
    state.placing = true;
    state.planning = false;
    state.moveIndex = MoveIndex(state.doomed);
    for (const std::wstring& folder : state.doomedFolders) {
        FolderListing* listing = nullptr;
        if (const auto kept = kept_.find(FoldCase(backupRoot_ + folder)); kept != kept_.end()) listing = &kept->second;
        if (listing) state.folderMatcher.Add(folder, listing->entries());
    }
    // The folders that got entries: a new one changes its folder's time,
    // which the walk copied from the master before.
    std::vector<std::wstring> folders;
    const auto changed = [&](const MoveSide& side) {
        const std::wstring folder = side.relative.substr(0, side.relative.size() - side.entry.name.size());
        if (!folder.empty() && (folders.empty() || folders.back() != folder)) folders.push_back(folder);
    };
    // Folders first, by their best matches, since a folder that moves
    // takes its files along.
    std::vector<FolderListing> listings(state.newFolders.size());
    std::vector<const std::vector<FindEntry>*> files(state.newFolders.size(), nullptr);
    if (!state.folderMatcher.empty()) {
        for (size_t i = 0; i < state.newFolders.size(); ++i) {
            const std::wstring path = masterRoot_ + state.newFolders[i].relative + L"\\";
            if (!pool_.Take(path, listings[i])) return false;
            if (listings[i].ok()) files[i] = &listings[i].entries();
        }
    }
    const std::vector<std::optional<size_t>> matches = state.folderMatcher.MatchAll(files, *current_);
    for (size_t i = 0; i < matches.size(); ++i) {
        if (matches[i]) state.moveIndex.DropBelow(state.folderMatcher.folder(*matches[i]));
    }
    for (size_t i = 0; i < state.newFolders.size(); ++i) {
        if (batch_.cancelRequested) return false;
        const MoveSide& folder = state.newFolders[i];
        // The walk takes the listing read for the match.
        const std::wstring path = masterRoot_ + folder.relative + L"\\";
        if (!state.folderMatcher.empty()) Keep(path, std::move(listings[i]));
        const std::wstring parent = folder.relative.substr(0, folder.relative.size() - folder.entry.name.size());
        if (!PlaceFolder(folder.entry, masterRoot_ + parent, parent, matches[i])) return false;
        changed(folder);
    }
    const std::vector<std::pair<size_t, size_t>> moves = MatchMoves(state.created, state.moveIndex, *current_);
    auto move = moves.begin();
    for (size_t i = 0; i < state.created.size(); ++i) {
        if (batch_.cancelRequested) return false;
        const MoveSide& file = state.created[i];
        policy_.SetStatus(statusBackup_, file.relative);
        bool moved = false;
        if (move != moves.end() && move->first == i) moved = MoveInBackup(file, state.moveIndex[(move++)->second]);
        // A move that failed leaves the backup file to the deletion pass.
        if (!moved) CarryOutFile({FileAction::Create}, file.entry, file.relative, nullptr, 0);
        changed(file);
    }
    if (current_->CopyFolderTime) {
        std::sort(folders.begin(), folders.end());
        folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
        for (const std::wstring& folder : folders) {
            const std::wstring rel = folder.substr(0, folder.size() - 1);
            exec_.Carry(Operation::On(OperationKind::CopyTimes, backupRoot_ + rel, masterRoot_ + rel));
        }
    }
    state.created.clear();
    state.newFolders.clear();
    return true;
}

bool MirrorWorker::PlaceFolder(const FindEntry& entry, const std::wstring& masterFolder, const std::wstring& relative,
                               std::optional<size_t> match) {
    PassState& state = *pass_;
    const std::wstring rel = relative + entry.name;
    if (match) {
        const std::wstring from = state.folderMatcher.folder(*match);
        const std::wstring old = from.substr(0, from.size() - 1);
        if (MoveAgrees(rel, old) && MoveFolderInBackup(rel, old)) {
            MoveKept(backupRoot_ + from, backupRoot_ + rel + L"\\");
            // Walked as any folder the backup has; its times are the
            // master's afterwards, as a new one's would be.
            // Also inside a folder this pass created.
            std::optional<WalkFolder> identity;
            const int depth = std::exchange(state.removalDepth, 0);
            const bool ok = WalkInto(masterFolder + entry.name, rel, identity, false);
            state.removalDepth = depth;
            if (!ok) return false;
            if (current_->CopyFolderTime) {
                exec_.Carry(Operation::On(OperationKind::CopyTimes, backupRoot_ + rel, masterFolder + entry.name));
            }
            if (changedFolderCount_ > 0) --changedFolderCount_;
            return true;
        }
        // Not moved: its files may still be moved one by one.
        state.moveIndex.RestoreBelow(from);
    }
    return CopyFolder(entry, masterFolder, relative, nullptr);
}

bool MirrorWorker::MoveAgrees(const std::wstring& to, const std::wstring& from) {
    // Below both, each ending in a backslash.
    std::vector<std::wstring> folders{L""};
    while (!folders.empty()) {
        const std::wstring below = std::move(folders.back());
        folders.pop_back();
        const auto backup = kept_.find(FoldCase(backupRoot_ + from + L"\\" + below));
        if (backup == kept_.end()) return false;
        // By reference: an insertion may move the table, not its listings.
        const FolderListing& backupListing = backup->second;
        const std::wstring masterPath = masterRoot_ + to + L"\\" + below;
        const FolderListing* masterListing = nullptr;
        if (const auto master = kept_.find(FoldCase(masterPath)); master != kept_.end()) {
            masterListing = &master->second;
        } else {
            FolderListing listing;
            if (!pool_.Take(masterPath, listing)) return false;
            masterListing = &Keep(masterPath, std::move(listing));
        }
        if (!masterListing->ok()) return false;
        for (const FindEntry& entry : masterListing->entries()) {
            const FindEntry* old = backupListing.Find(entry.name);
            if (!old) continue;
            if (entry.IsFolder() != old->IsFolder() || entry.IsLink() || old->IsLink()) return false;
            if (entry.IsFolder()) {
                if (current_->SubDir) folders.push_back(below + entry.name + L"\\");
                continue;
            }
            const FileDecision decision = DecideMasterFile(entry, filters_.FileOutcome(to + L"\\" + below + entry.name),
                                                           Counterpart::File, old, *current_);
            if (decision.action == FileAction::Skip && decision.skip != SkipReason::NotTarget) return false;
        }
    }
    return true;
}

std::optional<size_t> MirrorWorker::MatchFolder(const std::wstring& masterPath) {
    PassState& state = *pass_;
    if (state.folderMatcher.empty()) return std::nullopt;
    FolderListing listing;
    if (!pool_.Take(masterPath, listing)) return std::nullopt;
    std::optional<size_t> match;
    if (listing.ok()) match = state.folderMatcher.Match(listing.entries(), *current_);
    if (match) state.moveIndex.DropBelow(state.folderMatcher.folder(*match));
    Keep(masterPath, std::move(listing));
    return match;
}

bool MirrorWorker::MovedHere(const FindEntry& entry, const std::wstring& rel) {
    PassState& state = *pass_;
    const std::optional<size_t> doomed = state.moveIndex.Find(entry, *current_);
    if (!doomed) return false;
    state.moveIndex.Take(*doomed);
    return MoveInBackup({rel, entry}, state.moveIndex[*doomed]);
}

bool MirrorWorker::WalkMovedFolders() {
    for (const auto& moved : movedFolders_) {
        const std::wstring& to = moved.first;
        if (batch_.cancelRequested) return false;
        // Mostly from the listings the copy pass kept; a test run reads
        // the others where the folder still is.
        const std::wstring path = backupRoot_ + to;
        std::optional<WalkFolder> identity;
        bool kept = false;
        if (!WalkInto(path, to, identity, false, &kept)) return false;
    }
    return true;
}

const FolderListing& MirrorWorker::Keep(const std::wstring& folder, FolderListing listing) {
    keptEntries_ += listing.entries().size();
    FolderListing& kept = kept_[FoldCase(folder)];
    kept = std::move(listing);
    return kept;
}

bool MirrorWorker::TakeKept(const std::wstring& folder, FolderListing& listing) {
    if (kept_.empty()) return false;
    const auto kept = kept_.find(FoldCase(folder));
    if (kept == kept_.end()) return false;
    listing = std::move(kept->second);
    kept_.erase(kept);
    return true;
}

bool MirrorWorker::IsKept(const std::wstring& folder) const {
    return !kept_.empty() && kept_.count(FoldCase(folder)) > 0;
}

void MirrorWorker::MoveKept(const std::wstring& from, const std::wstring& to) {
    const std::wstring folded = FoldCase(from);
    std::vector<std::wstring> keys;
    for (const auto& [key, listing] : kept_) {
        if (key.compare(0, folded.size(), folded) == 0) keys.push_back(key);
    }
    // Moved by node: what points into a listing stays valid.
    for (const std::wstring& key : keys) {
        auto node = kept_.extract(key);
        node.key() = FoldCase(to) + key.substr(folded.size());
        kept_.insert(std::move(node));
    }
}

void MirrorWorker::Defer(const FindEntry& entry, const std::wstring& relative) {
    pass_->replacements.push_back({relative + entry.name, entry, false});
}

void MirrorWorker::Cleared(const std::wstring& relative) {
    for (Replacement& replacement : pass_->replacements) {
        if (EqualsNoCase(replacement.relative, relative)) replacement.cleared = true;
    }
}

}  // namespace tandrel
