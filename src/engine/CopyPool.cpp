#include "engine/CopyPool.h"

#include <new>
#include <utility>

#include "platform/Handle.h"

namespace tandrel {

struct CopyPool::Item {
    Job job;
    Then then;
    enum class State { Waiting, Copying, Done, Dropped } state = State::Waiting;
    FileCopier::Outcome outcome;
};

struct CopyPool::Shared {
    explicit Shared(const std::atomic<bool>& cancelFlag) : cancel(cancelFlag) {}
    const std::atomic<bool>& cancel;
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    // Jobs no thread has begun, oldest first.
    std::deque<std::shared_ptr<Item>> waiting;
    bool quit = false;

    // Under the lock: 中止 drops every job not begun.
    void DropWaiting() {
        for (const std::shared_ptr<Item>& item : waiting) item->state = Item::State::Dropped;
        waiting.clear();
    }
};

namespace {

// How often the walk, waiting for a copy, looks at 中止.
constexpr DWORD kCancelLook = 50;

}  // namespace

CopyPool::CopyPool(unsigned threads, const std::atomic<bool>& cancel) : shared_(std::make_unique<Shared>(cancel)) {
    for (unsigned i = 0; i < threads; ++i) {
        if (HANDLE thread = CreateThread(nullptr, 0, Run, shared_.get(), 0, nullptr)) threads_.push_back(thread);
    }
}

CopyPool::~CopyPool() {
    {
        ExclusiveLock one(shared_->lock);
        shared_->quit = true;
        shared_->DropWaiting();
    }
    WakeAllConditionVariable(&shared_->changed);
    for (HANDLE thread : threads_) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}

DWORD WINAPI CopyPool::Run(void* data) {
    Shared& pool = *static_cast<Shared*>(data);
    FileCopier copier(pool.cancel);
    ExclusiveLock one(pool.lock);
    for (;;) {
        while (!pool.quit && pool.waiting.empty()) SleepConditionVariableSRW(&pool.changed, &pool.lock, INFINITE, 0);
        if (pool.quit) return 0;
        const std::shared_ptr<Item> item = std::move(pool.waiting.front());
        pool.waiting.pop_front();
        item->state = Item::State::Copying;
        FileCopier::Outcome outcome;
        {
            ReleaseSRWLockExclusive(&pool.lock);
            try {
                bool copiedAgain = false;
                const Job& job = item->job;
                outcome = copier.Copy(job.source, job.destination, job.destinationMissing,
                                      job.listed ? &*job.listed : nullptr, job.rules, copiedAgain);
            } catch (...) {
                // Out of memory: the walk copies it again in its own way.
                outcome.kind = FileCopier::Outcome::Kind::Failed;
            }
            AcquireSRWLockExclusive(&pool.lock);
        }
        item->outcome = std::move(outcome);
        item->state = Item::State::Done;
        WakeAllConditionVariable(&pool.changed);
    }
}

void CopyPool::Add(Job job, Then then) {
    auto item = std::make_shared<Item>();
    item->job = std::move(job);
    item->then = std::move(then);
    out_.push_back(item);
    {
        ExclusiveLock one(shared_->lock);
        if (shared_->cancel.load()) {
            item->state = Item::State::Dropped;
        } else {
            shared_->waiting.push_back(std::move(item));
        }
    }
    WakeAllConditionVariable(&shared_->changed);
}

void CopyPool::Finish(size_t keep) {
    if (finishing_) return;
    finishing_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{finishing_};
    while (out_.size() > keep) {
        const std::shared_ptr<Item> item = out_.front();
        {
            ExclusiveLock one(shared_->lock);
            for (;;) {
                if (shared_->cancel.load()) shared_->DropWaiting();
                if (item->state == Item::State::Done || item->state == Item::State::Dropped) break;
                SleepConditionVariableSRW(&shared_->changed, &shared_->lock, kCancelLook, 0);
            }
        }
        out_.pop_front();
        item->then(item->state == Item::State::Done ? &item->outcome : nullptr);
    }
}

}  // namespace tandrel
