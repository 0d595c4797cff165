#include "engine/FaultSeam.h"

#include <atomic>

#include "platform/Handle.h"

namespace tandrel {

namespace {
std::atomic<FaultSeam*> installed{nullptr};
SRWLOCK seamLock = SRWLOCK_INIT;
}  // namespace

DWORD CallSeamFail(FaultSeam& seam, FaultPoint point, const std::wstring& path) {
    ExclusiveLock one(seamLock);
    return seam.Fail(point, path);
}

void CallSeamListed(FaultSeam& seam, const std::wstring& folder, std::vector<FindEntry>& entries) {
    ExclusiveLock one(seamLock);
    seam.Listed(folder, entries);
}

std::wstring CallSeamShortNameHolder(FaultSeam& seam, const std::wstring& path) {
    ExclusiveLock one(seamLock);
    return seam.ShortNameHolder(path);
}

void CallSeamCarried(FaultSeam& seam, const Operation& operation) {
    ExclusiveLock one(seamLock);
    seam.Carried(operation);
}

void SetFaultSeam(FaultSeam* seam) {
    installed.store(seam);
}

FaultSeam* CurrentFaultSeam() {
    return installed.load(std::memory_order_relaxed);
}

}  // namespace tandrel
