#include "engine/FaultSeam.h"

#include <atomic>

namespace tandrel {

namespace {
std::atomic<FaultSeam*> installed{nullptr};
SRWLOCK seamLock = SRWLOCK_INIT;

class Exclusive {
public:
    Exclusive() { AcquireSRWLockExclusive(&seamLock); }
    ~Exclusive() { ReleaseSRWLockExclusive(&seamLock); }
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;
};
}  // namespace

DWORD CallSeamFail(FaultSeam& seam, FaultPoint point, const std::wstring& path) {
    Exclusive one;
    return seam.Fail(point, path);
}

void CallSeamListed(FaultSeam& seam, const std::wstring& folder, std::vector<FindEntry>& entries) {
    Exclusive one;
    seam.Listed(folder, entries);
}

void SetFaultSeam(FaultSeam* seam) {
    installed.store(seam);
}

FaultSeam* CurrentFaultSeam() {
    return installed.load(std::memory_order_relaxed);
}

}  // namespace tandrel
