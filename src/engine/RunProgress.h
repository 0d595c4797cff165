#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>

namespace tandrel {

// The counts of a setting or of a batch.
struct RunCounts {
    std::int64_t examined = 0;  // master files the copy pass compared
    std::int64_t created = 0;
    std::int64_t updated = 0;
    std::int64_t moved = 0;  // backup files moved to a new master file's place
    std::int64_t deleted = 0;
    std::int64_t errors = 0;
    std::uint64_t bytes = 0;  // copied, in an update run; to be copied, in a test run

    RunCounts& operator+=(const RunCounts& other);
};

// What the window shows of a running batch, read at one moment.
struct ProgressFigures {
    int settingNumber = 0;  // 1-based among the settings the batch runs
    int settingCount = 0;
    RunCounts setting, batch;
    // Bytes of the file being copied, already in setting and batch.
    std::uint64_t copying = 0;
    std::uint64_t elapsedMs = 0;
    // Seconds left, when the previous runs of the settings tell them.
    std::optional<std::int64_t> secondsLeft;
};

// A running batch's progress. The worker stores plain values as it goes;
// the window loads them on its own clock. Nothing waits, no figure is
// exact against another at one instant, and each is true on its own.
class RunProgress {
public:
    // Worker side.
    void StartBatch(int settingCount);
    // expectedFiles and expectedSeconds: what the setting's previous run
    // found and took (0 when unknown); laterSeconds: what the settings after
    // it took last time, -1 when one of them is unknown.
    void StartSetting(int number, std::int64_t expectedFiles, std::int64_t expectedSeconds,
                      std::int64_t laterSeconds);
    // The counts, a finished copy's bytes among them.
    void Publish(const RunCounts& setting, const RunCounts& batch);
    // The file being copied has this many bytes on their way.
    void Copying(std::uint64_t bytes) { copying_.store(bytes, std::memory_order_relaxed); }
    // The batch is over: its time stands still and nothing is left.
    void EndBatch();

    // Window side.
    ProgressFigures Read() const;
    bool Started() const { return settingCount_.load(std::memory_order_relaxed) > 0; }

private:
    struct Slots {
        std::atomic<std::int64_t> examined{0}, created{0}, updated{0}, moved{0}, deleted{0}, errors{0};
        std::atomic<std::uint64_t> bytes{0};
        void Store(const RunCounts& counts);
        RunCounts Load() const;
    };
    std::atomic<int> settingNumber_{0}, settingCount_{0};
    Slots setting_, batch_;
    std::atomic<std::uint64_t> copying_{0};
    std::atomic<ULONGLONG> batchStart_{0}, settingStart_{0};
    // The tick the batch ended at, 0 while it goes on.
    std::atomic<ULONGLONG> batchEnd_{0};
    std::atomic<std::int64_t> expectedFiles_{0}, expectedSeconds_{0}, laterSeconds_{-1};
};

// The estimate of seconds left: the current setting's part from how far its
// copy pass is against the files its previous run examined (before the
// first file, what that run took), plus what the settings after it took
// last time. None while the current setting or a later one has no previous
// run to go by.
std::optional<std::int64_t> SecondsLeft(std::int64_t examined, std::int64_t expectedFiles,
                                        std::int64_t expectedSeconds, std::uint64_t settingMs,
                                        std::int64_t laterSeconds);

}  // namespace tandrel
