#include "engine/RunProgress.h"

#include <algorithm>

namespace tandrel {

RunCounts& RunCounts::operator+=(const RunCounts& other) {
    examined += other.examined;
    created += other.created;
    updated += other.updated;
    moved += other.moved;
    deleted += other.deleted;
    errors += other.errors;
    bytes += other.bytes;
    return *this;
}

void RunProgress::Slots::Store(const RunCounts& counts) {
    constexpr auto relaxed = std::memory_order_relaxed;
    examined.store(counts.examined, relaxed);
    created.store(counts.created, relaxed);
    updated.store(counts.updated, relaxed);
    moved.store(counts.moved, relaxed);
    deleted.store(counts.deleted, relaxed);
    errors.store(counts.errors, relaxed);
    bytes.store(counts.bytes, relaxed);
}

RunCounts RunProgress::Slots::Load() const {
    constexpr auto relaxed = std::memory_order_relaxed;
    RunCounts counts;
    counts.examined = examined.load(relaxed);
    counts.created = created.load(relaxed);
    counts.updated = updated.load(relaxed);
    counts.moved = moved.load(relaxed);
    counts.deleted = deleted.load(relaxed);
    counts.errors = errors.load(relaxed);
    counts.bytes = bytes.load(relaxed);
    return counts;
}

void RunProgress::StartBatch(int settingCount) {
    setting_.Store({});
    batch_.Store({});
    copying_ = 0;
    settingNumber_ = 0;
    expectedFiles_ = 0;
    expectedSeconds_ = 0;
    laterSeconds_ = -1;
    const ULONGLONG now = GetTickCount64();
    batchStart_ = now;
    settingStart_ = now;
    batchEnd_ = 0;
    settingCount_ = settingCount;
}

void RunProgress::EndBatch() {
    batchEnd_ = std::max<ULONGLONG>(GetTickCount64(), 1);
}

void RunProgress::StartSetting(int number, std::int64_t expectedFiles, std::int64_t expectedSeconds,
                               std::int64_t laterSeconds) {
    setting_.Store({});
    copying_ = 0;
    expectedFiles_ = expectedFiles;
    expectedSeconds_ = expectedSeconds;
    laterSeconds_ = laterSeconds;
    settingStart_ = GetTickCount64();
    settingNumber_ = number;
    // A setting the count at the start did not foresee (the schedule's day
    // turned meanwhile) still shows a number that is not beyond the count.
    if (number > settingCount_) settingCount_ = number;
}

void RunProgress::Publish(const RunCounts& setting, const RunCounts& batch) {
    setting_.Store(setting);
    batch_.Store(batch);
    // A finished copy's bytes are in the counts now.
    copying_.store(0, std::memory_order_relaxed);
}

ProgressFigures RunProgress::Read() const {
    ProgressFigures figures;
    figures.settingNumber = settingNumber_;
    figures.settingCount = settingCount_;
    figures.setting = setting_.Load();
    figures.batch = batch_.Load();
    figures.copying = copying_;
    figures.setting.bytes += figures.copying;
    figures.batch.bytes += figures.copying;
    const ULONGLONG end = batchEnd_;
    const ULONGLONG now = end ? end : GetTickCount64();
    figures.elapsedMs = now - std::min<ULONGLONG>(now, batchStart_);
    const std::uint64_t settingMs = now - std::min<ULONGLONG>(now, settingStart_);
    if (figures.settingNumber > 0 && !end) {
        figures.secondsLeft =
            SecondsLeft(figures.setting.examined, expectedFiles_, expectedSeconds_, settingMs, laterSeconds_);
    }
    return figures;
}

std::optional<std::int64_t> SecondsLeft(std::int64_t examined, std::int64_t expectedFiles,
                                        std::int64_t expectedSeconds, std::uint64_t settingMs,
                                        std::int64_t laterSeconds) {
    if (expectedFiles <= 0 || laterSeconds < 0) return std::nullopt;
    const double spent = static_cast<double>(settingMs) / 1000.0;
    double current = 0;
    if (examined <= 0 || settingMs < 1000) {
        current = std::max(0.0, static_cast<double>(expectedSeconds) - spent);
    } else {
        // The deletion pass follows the copy pass: a setting whose files are
        // all compared is not taken for done.
        const double done = std::min(static_cast<double>(examined) / static_cast<double>(expectedFiles), 0.95);
        current = spent * (1.0 - done) / done;
    }
    return static_cast<std::int64_t>(current + 0.5) + laterSeconds;
}

}  // namespace tandrel
