// The pool of threads that read folders ahead of the walk.
#include <algorithm>
#include <deque>
#include <memory>
#include <unordered_set>

#include "engine/FaultSeam.h"
#include "engine/FolderListing.h"
#include "platform/Handle.h"
#include "platform/Paths.h"
#include "platform/Strings.h"

namespace tandrel {

struct ListingPool::Request {
    std::wstring folder;
    FolderListing listing;
    enum class State { Waiting, Reading, Done } state = State::Waiting;
};

struct ListingPool::Shared {
    Shared(size_t readAhead, size_t most) : window(readAhead), capacity(most) {}
    const size_t window, capacity;
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    // Folders the walk waits for, first in line.
    std::deque<std::shared_ptr<Request>> wanted;
    // Folders asked for ahead, in the order the walk will take them, with
    // an index by name so that a folder not asked for costs no search.
    std::deque<std::shared_ptr<Request>> queue;
    std::unordered_set<std::wstring> asked;
    unsigned reading = 0;
    bool quit = false;

    // Under the lock: the first request a thread of the pool may read.
    std::shared_ptr<Request> NextToRead() {
        if (!wanted.empty()) {
            std::shared_ptr<Request> request = std::move(wanted.front());
            wanted.pop_front();
            return request;
        }
        const size_t ahead = std::min(queue.size(), window);
        for (size_t i = 0; i < ahead; ++i) {
            if (queue[i]->state == Request::State::Waiting) return queue[i];
        }
        return nullptr;
    }
    // Under the lock: the request for folder, taken out of the queue; none
    // when it was not asked for.
    std::shared_ptr<Request> Unqueue(const std::wstring& folder) {
        if (!asked.count(folder)) return nullptr;
        // The walk asks for what lies near the front.
        const auto at = std::find_if(queue.begin(), queue.end(), [&](const auto& r) { return r->folder == folder; });
        if (at == queue.end()) return nullptr;
        std::shared_ptr<Request> request = std::move(*at);
        queue.erase(at);
        asked.erase(folder);
        return request;
    }
};

namespace {

// Leaves a lock for the length of a scope and takes it again.
class Unlocked {
public:
    explicit Unlocked(SRWLOCK& lock) : lock_(lock) { ReleaseSRWLockExclusive(&lock_); }
    ~Unlocked() { AcquireSRWLockExclusive(&lock_); }
    Unlocked(const Unlocked&) = delete;
    Unlocked& operator=(const Unlocked&) = delete;

private:
    SRWLOCK& lock_;
};

// How often a wait looks at 中止.
constexpr DWORD kCancelLook = 50;

}  // namespace

void ListingPool::ReadInto(FolderListing& listing, const std::wstring& folder) {
    try {
        listing.Read(folder);
    } catch (...) {
        // Out of memory: a listing that failed, never an empty one.
        listing.entries_.clear();
        listing.ok_ = false;
        listing.error_ = ERROR_NOT_ENOUGH_MEMORY;
    }
}

ListingPool::ListingPool(unsigned threads, size_t window, size_t capacity)
    : shared_(std::make_shared<Shared>(window, std::max(capacity, window))) {
    for (unsigned i = 0; i < threads; ++i) {
        // Each thread holds the shared state; without threads the walk
        // reads everything itself.
        auto* hold = new std::shared_ptr<Shared>(shared_);
        if (HANDLE thread = CreateThread(nullptr, 0, Run, hold, 0, nullptr)) {
            threads_.push_back(thread);
        } else {
            delete hold;
        }
    }
}

ListingPool::~ListingPool() {
    bool busy = false;
    {
        ExclusiveLock one(shared_->lock);
        shared_->quit = true;
        shared_->wanted.clear();
        shared_->queue.clear();
        busy = shared_->reading > 0;
    }
    WakeAllConditionVariable(&shared_->changed);
    for (HANDLE thread : threads_) {
        // A thread still in a read (only after 中止) ends when it returns.
        if (!busy) WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}

void ListingPool::Ahead(const std::vector<std::wstring>& folders) {
    if (threads_.empty() || folders.empty()) return;
    Shared& pool = *shared_;
    {
        ExclusiveLock one(pool.lock);
        std::vector<std::shared_ptr<Request>> first;
        first.reserve(folders.size());
        for (const std::wstring& folder : folders) {
            if (pool.asked.count(folder)) {
                std::shared_ptr<Request> asked = pool.Unqueue(folder);
                // Named twice in this call: it is in first already.
                if (!asked) continue;
                first.push_back(std::move(asked));
            } else {
                first.push_back(std::make_shared<Request>());
                first.back()->folder = folder;
            }
            pool.asked.insert(folder);
        }
        pool.queue.insert(pool.queue.begin(), first.begin(), first.end());
        // What the walk wants last is forgotten first; it is read when the
        // walk gets there.
        while (pool.queue.size() > pool.capacity) {
            pool.asked.erase(pool.queue.back()->folder);
            pool.queue.pop_back();
        }
    }
    WakeAllConditionVariable(&pool.changed);
}

bool ListingPool::Take(const std::wstring& folder, FolderListing& listing) {
    Shared& pool = *shared_;
    std::shared_ptr<Request> request;
    {
        ExclusiveLock one(pool.lock);
        request = pool.Unqueue(folder);
        if (!threads_.empty() && (!request || request->state == Request::State::Waiting)) {
            // Not begun: first in line for the next free thread.
            if (!request) {
                request = std::make_shared<Request>();
                request->folder = folder;
            }
            pool.wanted.push_back(request);
        }
        if (request) WakeAllConditionVariable(&pool.changed);
        while (request && request->state != Request::State::Done) {
            if (Cancelled()) {
                // Whoever reads it, nobody waits for it.
                listing = FolderListing();
                listing.error_ = ERROR_CANCELLED;
                return false;
            }
            SleepConditionVariableSRW(&pool.changed, &pool.lock, kCancelLook, 0);
        }
    }
    // Another folder may be read ahead in its place.
    WakeAllConditionVariable(&pool.changed);
    if (request) {
        listing = std::move(request->listing);
    } else {
        ReadInto(listing, folder);
    }
    return true;
}

void ListingPool::Drop(const std::wstring& own, const std::wstring& other) {
    const auto below = [](const std::wstring& folder, const std::wstring& prefix) {
        return folder.size() > prefix.size() && folder.compare(0, prefix.size(), prefix) == 0;
    };
    Shared& pool = *shared_;
    {
        ExclusiveLock one(pool.lock);
        // Folders asked for below these were asked for after every folder
        // still waiting elsewhere, so they lead the queue. One being read is
        // let go by its thread when it is read.
        while (!pool.queue.empty() && (below(pool.queue.front()->folder, own) || below(pool.queue.front()->folder, other))) {
            pool.asked.erase(pool.queue.front()->folder);
            pool.queue.pop_front();
        }
    }
    WakeAllConditionVariable(&pool.changed);
}

void ListingPool::Settle() {
    Shared& pool = *shared_;
    ExclusiveLock one(pool.lock);
    pool.wanted.clear();
    pool.queue.clear();
    pool.asked.clear();
    while (pool.reading > 0) {
        if (Cancelled()) {
            // The run is being stopped: a read that hangs (a share that no
            // longer answers) is asked to stop and not waited for.
            for (HANDLE thread : threads_) CancelSynchronousIo(thread);
            return;
        }
        SleepConditionVariableSRW(&pool.changed, &pool.lock, kCancelLook, 0);
    }
}

size_t ListingPool::queued() const {
    ExclusiveLock one(shared_->lock);
    return shared_->queue.size();
}

DWORD WINAPI ListingPool::Run(void* hold) {
    const std::shared_ptr<Shared> shared = std::move(*static_cast<std::shared_ptr<Shared>*>(hold));
    delete static_cast<std::shared_ptr<Shared>*>(hold);
    Shared& pool = *shared;
    ExclusiveLock one(pool.lock);
    for (;;) {
        std::shared_ptr<Request> request;
        while (!pool.quit && !(request = pool.NextToRead())) {
            SleepConditionVariableSRW(&pool.changed, &pool.lock, INFINITE, 0);
        }
        if (pool.quit) break;
        request->state = Request::State::Reading;
        ++pool.reading;
        {
            Unlocked reading(pool.lock);
            ReadInto(request->listing, request->folder);
        }
        --pool.reading;
        request->state = Request::State::Done;
        WakeAllConditionVariable(&pool.changed);
    }
    return 0;
}

}  // namespace tandrel
