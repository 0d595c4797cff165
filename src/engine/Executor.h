#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "engine/FileOps.h"

namespace tandrel {

class HeldRemovals;
class HistoryKeeper;

// The kinds of change a pass makes on disk.
enum class OperationKind : std::uint8_t {
    Copy,           // a master file onto the backup (created or updated)
    CreateFolder,   // a backup folder
    Delete,         // a backup file
    RemoveFolder,   // a backup folder, emptied before
    CaseRename,     // a backup entry given the master's letter case
    CopyTimes,      // a folder's times from the master's
    RemovePartial,  // a partial copy an interrupted run left behind
    Move,           // a backup file to the place of a new master file
};

// One change, as the walk decided it.
struct Operation {
    OperationKind kind = OperationKind::Copy;
    std::wstring path;    // the backup entry; for a case rename the folder holding it
    std::wstring source;  // the master entry of a copy or of times; a rename's old name; a move's backup file
    std::wstring name;    // a rename's new name
    bool destinationMissing = false;
    const FindEntry* listed = nullptr;
    bool holdsKept = false;

    // Of a path alone, or with the master entry it comes from.
    static Operation On(OperationKind kind, std::wstring path, std::wstring source = {}) {
        Operation operation;
        operation.kind = kind;
        operation.path = std::move(path);
        operation.source = std::move(source);
        return operation;
    }
    static Operation Copy(std::wstring source, std::wstring destination, bool destinationMissing,
                          const FindEntry* listed) {
        Operation operation = On(OperationKind::Copy, std::move(destination), std::move(source));
        operation.destinationMissing = destinationMissing;
        operation.listed = listed;
        return operation;
    }
    static Operation Rename(std::wstring folder, std::wstring oldName, std::wstring newName) {
        Operation operation = On(OperationKind::CaseRename, std::move(folder), std::move(oldName));
        operation.name = std::move(newName);
        return operation;
    }
    static Operation RemoveFolder(std::wstring path, bool holdsKept) {
        Operation operation = On(OperationKind::RemoveFolder, std::move(path));
        operation.holdsKept = holdsKept;
        return operation;
    }
};

// Carries the walk's operations out through FileOps. A test run goes the
// same way up to here and reports each operation as done without touching
// the disk: what it shows is what an update run would attempt.
class Executor {
public:
    Executor(FileOps& ops, bool testRun) : ops_(ops), testRun_(testRun) {}
    // False when the operation failed or was refused; removal: what a
    // deletion says and counts once its entry has left the disk.
    bool Carry(const Operation& operation, const Removal& removal = {});
    bool testRun() const { return testRun_; }
    // Whether a copy thread may carry the operation out: a copy, never in a
    // test run (which touches nothing), nor an overwrite that the history
    // must keep first.
    bool Poolable(const Operation& operation) const {
        return operation.kind == OperationKind::Copy && !testRun_ && !(history_ && !operation.destinationMissing);
    }
    // A copy a copy thread carried out, told as Carry tells its own.
    static void Carried(const Operation& operation);
    // Called before each operation: the copies still out on the copy
    // threads are taken first, so operations keep the walk's order.
    void SetBeforeCarry(std::function<void()> hook) { beforeCarry_ = std::move(hook); }
    // While set, deletions and folder removals go there instead of to the
    // disk, and count as done.
    void Hold(HeldRemovals* held) { held_ = held; }
    // While set, a deleted or overwritten backup file goes there first.
    void SetHistory(HistoryKeeper* history) { history_ = history; }
    // While set (a restore), no entry is deleted, removed or renamed: each
    // such operation is refused with an error row.
    void KeepEverything(bool keep) { keep_ = keep; }

private:
    bool Perform(const Operation& operation, const Removal& removal);

    FileOps& ops_;
    const bool testRun_;
    HeldRemovals* held_ = nullptr;
    HistoryKeeper* history_ = nullptr;
    bool keep_ = false;
    std::function<void()> beforeCarry_;
};

}  // namespace tandrel
