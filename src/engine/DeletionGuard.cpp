// The guard on mass deletion: the deletion pass's removals are held, counted
// against the backup's files, and carried out, asked about or refused.
#include "engine/DeletionGuard.h"

#include <algorithm>

#include "engine/FolderListing.h"
#include "engine/MirrorWorker.h"
#include "platform/Strings.h"
#include "resource_engine.h"

namespace tandrel {

void HeldRemovals::Add(const Operation& operation, const Removal& removal) {
    if (operation.kind == OperationKind::Delete) ++files_;
    held_.push_back({operation, removal});
}

std::vector<HeldRemovals::Held> HeldRemovals::Take() {
    std::vector<Held> taken;
    taken.swap(held_);
    files_ = 0;
    return taken;
}

int DeletionShare::Percent() const {
    const std::int64_t whole = std::max(backupFiles, deletions);
    return whole > 0 ? static_cast<int>(deletions * 100 / whole) : 0;
}

bool DeletionShare::Trips(const FolderSetting& setting) const {
    if (!setting.DeleteGuard || deletions <= setting.DeleteGuardFiles) return false;
    const std::int64_t whole = std::max(backupFiles, deletions);
    return deletions * 100 > static_cast<std::int64_t>(setting.DeleteGuardPercent) * whole;
}

std::wstring DeletionShare::Whole() const {
    return std::to_wstring(std::max(backupFiles, deletions));
}

std::int64_t FilesIn(const FolderListing& listing) {
    return std::count_if(listing.entries().begin(), listing.entries().end(),
                         [](const FindEntry& entry) { return !entry.IsFolder(); });
}

bool MirrorWorker::GuardAllowsRemovals() {
    const DeletionShare share{held_.files(), guardSeen_};
    if (!share.Trips(*current_)) return true;
    const std::wstring whole = share.Whole(), count = std::to_wstring(share.deletions),
                       percent = std::to_wstring(share.Percent());
    const std::wstring figures =
        Format(LoadText(IDS_GUARD_FIGURES).c_str(), whole.c_str(), count.c_str(), percent.c_str());
    const bool someoneThere = policy_.Attended() && !policy_.suppressMessages();
    if (someoneThere && batch_.testMode) {
        // What the update run will ask before it deletes; listed as it would delete.
        policy_.Report(RowAction::Confirm, Format(LoadText(IDS_GUARD_TEST).c_str(), figures.c_str()), RowToList);
        return true;
    }
    if (someoneThere) {
        EngineHost& host = *batch_.host;
        host.RunState(RunPhase::Asking);
        host.SetStatus((LoadText(IDS_STATUS_WAITING) + statusMirror_).c_str(), L"");
        const int answer = host.ShowMessageBox(
            Format(LoadText(IDS_GUARD_ASK).c_str(), whole.c_str(), count.c_str(), percent.c_str()),
            LoadText(IDS_GUARD_CAPTION), MB_TOPMOST | MB_ICONWARNING | MB_YESNO | MB_DEFBUTTON2);
        host.RunState(RunPhase::Working);
        if (answer == IDYES) return true;
        policy_.Report(RowAction::Skip, Format(LoadText(IDS_GUARD_DECLINED).c_str(), figures.c_str()),
                       RowToList | RowToLog);
        return false;
    }
    // Nobody may be asked: nothing is deleted, and the setting ends with an error.
    const std::wstring title = LoadText(IDS_GUARD_STOPPED);
    policy_.Raise({LevelError, figures + L"\r\n\r\n" + LoadText(IDS_GUARD_UNASKED) + L"\r\n", figures, title,
                   kStyleFatal, ErrorDecision::Ignore, false, true});
    policy_.CountError();
    policy_.AddErrorRow();
    return false;
}

bool MirrorWorker::CarryHeldRemovals() {
    exec_.Hold(nullptr);
    if (held_.empty() || !GuardAllowsRemovals()) {
        held_.Take();
        return !batch_.cancelRequested;
    }
    for (const HeldRemovals::Held& held : held_.Take()) {
        if (batch_.cancelRequested) return false;
        const std::wstring& path = held.operation.path;
        policy_.SetStatus(statusMirror_, path.size() > backupRoot_.size() ? path.substr(backupRoot_.size()) : path);
        exec_.Carry(held.operation, held.removal);
        PublishProgress();
    }
    return !batch_.cancelRequested;
}

}  // namespace tandrel
