#include "engine/Executor.h"

#include "engine/DeletionGuard.h"
#include "engine/FaultSeam.h"
#include "engine/History.h"
#include "resource_engine.h"

namespace tandrel {

bool Executor::Carry(const Operation& operation, const Removal& removal) {
    if (beforeCarry_) beforeCarry_();
    if (keep_ && (operation.kind == OperationKind::Delete || operation.kind == OperationKind::RemoveFolder ||
                  operation.kind == OperationKind::CaseRename || operation.kind == OperationKind::Move)) {
        const std::wstring path = operation.kind == OperationKind::CaseRename ? operation.path + operation.source
                                  : operation.kind == OperationKind::Move     ? operation.source
                                                                              : operation.path;
        return ops_.RefuseRemoval(path, operation.kind == OperationKind::RemoveFolder, IDS_RESTORE_KEEPS);
    }
    if (held_ && (operation.kind == OperationKind::Delete || operation.kind == OperationKind::RemoveFolder)) {
        held_->Add(operation, removal);
        return true;
    }
    const bool done = Perform(operation, removal);
    if (done) Carried(operation);
    return done;
}

void Executor::Carried(const Operation& operation) {
    if (FaultSeam* seam = CurrentFaultSeam()) CallSeamCarried(*seam, operation);
}

bool Executor::Perform(const Operation& operation, const Removal& removal) {
    const bool removing = operation.kind == OperationKind::Delete || operation.kind == OperationKind::RemoveFolder;
    // Into the history first: what could not be put there stays as it is.
    if (history_ && operation.kind == OperationKind::Delete) return history_->Removed(operation.path, removal);
    if (history_ && operation.kind == OperationKind::Copy && !operation.destinationMissing &&
        !history_->Overwritten(operation.path)) {
        return false;
    }
    if (testRun_) {
        // A removal the update run would refuse is refused here too.
        if (removing && !ops_.MayRemove(operation.path, operation.kind == OperationKind::RemoveFolder)) return false;
        if (removal.report) removal.report();
        if (removal.gone) removal.gone();
        return true;
    }
    switch (operation.kind) {
        case OperationKind::Copy:
            return ops_.Copy(operation.source, operation.path, operation.destinationMissing, operation.listed);
        case OperationKind::CreateFolder:
            return ops_.CreateFolder(operation.path);
        case OperationKind::Delete:
            return ops_.Delete(operation.path, removal);
        case OperationKind::RemoveFolder:
            return ops_.RemoveFolder(operation.path, operation.holdsKept, removal);
        case OperationKind::CaseRename:
            return ops_.Rename(operation.path, operation.source, operation.name);
        case OperationKind::CopyTimes:
            return FileOps::CopyTimes(operation.source, operation.path);
        case OperationKind::Move:
            return ops_.Move(operation.source, operation.path);
        case OperationKind::RemovePartial:
            FileOps::RemovePartial(operation.path);
            return true;
    }
    return false;
}

}  // namespace tandrel
