#include "engine/FaultSeam.h"

#include <atomic>

namespace tandrel {

namespace {
std::atomic<FaultSeam*> installed{nullptr};
}

void SetFaultSeam(FaultSeam* seam) {
    installed.store(seam);
}

FaultSeam* CurrentFaultSeam() {
    return installed.load(std::memory_order_relaxed);
}

}  // namespace tandrel
