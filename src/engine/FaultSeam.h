#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace tandrel {

struct FindEntry;
struct Operation;

// The places where tests stage a failing disk: a folder listing, a copy (its
// data is written, then it fails), the rename that puts a copy in place, an
// existence check and a deletion. Two more let a test change files while a
// copy runs: Progress after each piece of a copy's data (path: the master
// file), Written once the data is in its partial file and before it is
// checked (path: the partial file). Flush: a copy's data written through
// to the disk before it replaces an old copy or is verified (path: the
// partial file). Query: each question of a listing read through the
// folder's handle (path: the folder). Create, Rename and Recycle: before
// each attempt to make a folder, to rename an entry (path: its old name) and
// to hand a batch to the recycle bin (path: the entry that filled it).
enum class FaultPoint { List, Copy, Replace, Check, Delete, Progress, Written, Flush, Query, Create, Rename, Recycle };

// Replaced by tests; the product installs none, so each operation pays one
// pointer test.
class FaultSeam {
public:
    virtual ~FaultSeam() = default;
    // The system error the operation on that path fails with; 0 lets it run.
    // Paths are full, folders of listings end in a backslash.
    virtual DWORD Fail(FaultPoint point, const std::wstring& path) = 0;
    // May change what a successful listing returned.
    virtual void Listed(const std::wstring& folder, std::vector<FindEntry>& entries) {
        (void)folder;
        (void)entries;
    }
    // Called before each listing is read, on the thread that reads it and
    // without the lock the other calls share: it may block, as a share that
    // no longer answers blocks a read.
    virtual void Reading(const std::wstring& folder) { (void)folder; }
    // The long name of the entry in the same folder whose short (8.3) name
    // is the last name of path, as a volume that makes short names would
    // resolve it; empty for none. Wine makes no short names for Unix files.
    virtual std::wstring ShortNameHolder(const std::wstring& path) {
        (void)path;
        return {};
    }
    // Each change on disk a run made, in order, once it succeeded; in a
    // test run each one it reported instead.
    virtual void Carried(const Operation& operation) { (void)operation; }
};

// Installs the seam for the whole process; null removes it.
void SetFaultSeam(FaultSeam* seam);
FaultSeam* CurrentFaultSeam();

// A seam is called by one thread at a time (the walk lists the other tree
// and copies small files on threads of their own), so that it may keep
// counts without a lock.
DWORD CallSeamFail(FaultSeam& seam, FaultPoint point, const std::wstring& path);
void CallSeamListed(FaultSeam& seam, const std::wstring& folder, std::vector<FindEntry>& entries);
std::wstring CallSeamShortNameHolder(FaultSeam& seam, const std::wstring& path);
void CallSeamCarried(FaultSeam& seam, const Operation& operation);

inline DWORD InjectedFault(FaultPoint point, const std::wstring& path) {
    FaultSeam* seam = CurrentFaultSeam();
    return seam ? CallSeamFail(*seam, point, path) : 0;
}

}  // namespace tandrel
