#pragma once
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/FileCopy.h"

namespace tandrel {

// A few threads that copy small files while the walk goes on. The walk adds
// each copy with what is to follow once it is done, and takes the results
// back in the order it added them, on its own thread: rows, counts, errors
// and retries are the walk's, in the walk's order. The threads ask nothing
// and report nothing; each copies through a FileCopier of its own, the same
// code the walk copies with.
class CopyPool {
public:
    struct Job {
        std::wstring source, destination;
        bool destinationMissing = false;
        // What the listing said of the source.
        std::optional<FindEntry> listed;
        CopyRules rules;
    };
    // Called on the walk's thread with what came of the job: null when 中止
    // came before it began.
    using Then = std::function<void(const FileCopier::Outcome* outcome)>;

    // cancel: 中止; once it is set no job begins any more.
    CopyPool(unsigned threads, const std::atomic<bool>& cancel);
    // Waits for the copies under way (each ends with its file); those not
    // begun are dropped without their Then.
    ~CopyPool();
    CopyPool(const CopyPool&) = delete;
    CopyPool& operator=(const CopyPool&) = delete;

    unsigned threads() const { return static_cast<unsigned>(threads_.size()); }
    void Add(Job job, Then then);
    // Takes the results of the oldest jobs, each with its Then, until no more
    // than keep are out. A call from within a Then returns at once: the
    // jobs after it stay out, to be taken in their order.
    void Finish(size_t keep = 0);
    size_t out() const { return out_.size(); }

private:
    struct Item;
    struct Shared;
    static DWORD WINAPI Run(void* shared);

    std::unique_ptr<Shared> shared_;
    std::vector<HANDLE> threads_;
    // Every job added and not yet taken, oldest first.
    std::deque<std::shared_ptr<Item>> out_;
    bool finishing_ = false;
};

}  // namespace tandrel
