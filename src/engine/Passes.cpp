// The passes of a setting over the two trees, each with a state of its own,
// and what one pass hands on to the next: the deletion plan, and the master
// entries the backup holds as the other kind, for the deletion pass to make
// room for.
#include <algorithm>

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
        // this pass plans it. Held back in a test run for a backup root
        // still to be made too, so that its rows come as the update's do.
        state.findMoves = work.Mirroring && work.BackupType == 0;
        bool kept = false;
        bool ok = Walk(masterRoot_, L"", kept);
        if (state.planning && !state.walkedPaired) plan_.Mark(PlannedFolder::Visit::Whole);
        if (ok) ok = PlaceNewFiles();
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

bool MirrorWorker::PlaceNewFiles() {
    PassState& state = *pass_;
    state.findMoves = false;
    const std::vector<std::pair<size_t, size_t>> moves = MatchMoves(state.created, state.doomed, *current_);
    auto move = moves.begin();
    // The folders that got files: a new file changes its folder's time,
    // which the walk copied from the master before.
    std::vector<std::wstring> folders;
    for (size_t i = 0; i < state.created.size(); ++i) {
        if (batch_.cancelRequested) return false;
        const MoveSide& file = state.created[i];
        policy_.SetStatus(statusBackup_, file.relative);
        bool moved = false;
        if (move != moves.end() && move->first == i) moved = MoveInBackup(file, state.doomed[(move++)->second]);
        // A move that failed leaves the backup file to the deletion pass.
        if (!moved) CarryOutFile({FileAction::Create}, file.entry, file.relative, nullptr, 0);
        const std::wstring folder = file.relative.substr(0, file.relative.size() - file.entry.name.size());
        if (!folder.empty() && (folders.empty() || folders.back() != folder)) folders.push_back(folder);
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
    state.doomed.clear();
    return true;
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
