// The copy pass's copies: one at a time on the walk's thread, or, for the
// small files of a folder, on the copy threads while the walk decides on the
// next files. Either way the walk reports each copy in its own order.
#include <algorithm>

#include "engine/MirrorWorker.h"
#include "platform/Drives.h"

namespace tandrel {

namespace {

// Larger files go one at a time: several at once would only move a disk's
// head between them, and a share is kept busy by one.
constexpr std::uint64_t kPooledSize = std::uint64_t{8} << 20;
// Copies out at once per thread: the walk reports the oldest while the
// threads copy the later ones.
constexpr size_t kOutPerThread = 4;

}  // namespace

void MirrorWorker::ResetCopies() {
    copyPool_.reset();
    copyWorkers_ = 0;
    pooling_ = false;
}

void MirrorWorker::FinishCopies() {
    pooling_ = false;
    if (copyPool_) copyPool_->Finish();
}

void MirrorWorker::CarryCopy(const Operation& copy, std::int32_t& counter, ReportRow row) {
    const std::uint64_t size = copy.listed ? copy.listed->size : 0;
    const auto report = [this](const ReportRow& line) {
        policy_.Report(line.action, line.path, RowToList | RowToLog, line.masterTime, line.backupTime, line.size);
    };
    const bool small = pooling_ && copy.listed && size <= kPooledSize && exec_.Poolable(copy);
    if (small && copyWorkers_ == 0) {
        const int chosen = options_.ParallelCopies;
        copyWorkers_ = static_cast<unsigned>(chosen > 0 ? std::min(chosen, kMaxParallelCopies)
                                                        : DefaultCopyWorkers(masterRoot_, backupRoot_));
        if (copyWorkers_ > 1) copyPool_ = std::make_unique<CopyPool>(copyWorkers_, batch_.cancelRequested);
    }
    if (!small || !copyPool_) {
        report(row);
        if (exec_.Carry(copy)) Copied(counter, size);
        return;
    }
    CopyPool::Job job{copy.source, copy.path, copy.destinationMissing, *copy.listed, ops_.Rules()};
    // The listing's entry stays while the walk is among the folder's files,
    // and the walk takes every result before it leaves them.
    copyPool_->Add(std::move(job), [this, copy, &counter, row = std::move(row), report,
                                    size](const FileCopier::Outcome* outcome) {
        // Not begun, or stopped by 中止: nothing happened, nothing is said.
        if (!outcome || (outcome->kind != FileCopier::Outcome::Kind::Done && batch_.cancelRequested)) return;
        report(row);
        if (outcome->kind == FileCopier::Outcome::Kind::Done) {
            ops_.CountCopied(outcome->copied);
            Executor::Carried(copy);
            Copied(counter, size);
            return;
        }
        // A copy that failed goes the one-at-a-time way: its retries, its
        // question and its error row, as if no thread had tried it.
        if (exec_.Carry(copy)) Copied(counter, size);
    });
    copyPool_->Finish(kOutPerThread * copyPool_->threads());
}

}  // namespace tandrel
