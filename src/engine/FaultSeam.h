#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace tandrel {

struct FindEntry;

// The places where tests stage a failing disk: a folder listing, a copy (its
// data is written, then it fails), the rename that puts a copy in place, an
// existence check and a deletion. Two more let a test change files while a
// copy runs: Progress after each piece of a copy's data (path: the master
// file), Written once the data is in its partial file and before it is
// checked (path: the partial file).
enum class FaultPoint { List, Copy, Replace, Check, Delete, Progress, Written };

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
};

// Installs the seam for the whole process; null removes it.
void SetFaultSeam(FaultSeam* seam);
FaultSeam* CurrentFaultSeam();

// A seam is called by one thread at a time (the walk lists the other tree
// on a thread of its own), so that it may keep counts without a lock.
DWORD CallSeamFail(FaultSeam& seam, FaultPoint point, const std::wstring& path);
void CallSeamListed(FaultSeam& seam, const std::wstring& folder, std::vector<FindEntry>& entries);

inline DWORD InjectedFault(FaultPoint point, const std::wstring& path) {
    FaultSeam* seam = CurrentFaultSeam();
    return seam ? CallSeamFail(*seam, point, path) : 0;
}

}  // namespace tandrel
