#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/ErrorPolicy.h"
#include "engine/FolderListing.h"
#include "engine/RunProgress.h"

namespace tandrel {

// What a setting asks of each copy.
struct CopyRules {
    // Read the partial copy back from the disk and compare it with the source.
    bool verify = false;
    // Creation and last-access time too, not only the last-write time.
    bool allTimes = false;
};

// One attempt at copying one file, with no question asked: the walk's
// FileOps wraps it in the error policy, each copy thread of the pool has one
// of its own. Through a partial copy beside the destination and one rename;
// the destination's old content stays until the new one is complete and
// checked. A source that changes while it is read is copied once more
// (copiedAgain remembers it across attempts).
class FileCopier {
public:
    // cancel: 中止, looked at during and after the data; progress: where the
    // bytes of the copy under way are shown (none on the pool's threads).
    explicit FileCopier(const std::atomic<bool>& cancel, RunProgress* progress = nullptr)
        : cancel_(cancel), progress_(progress) {}
    ~FileCopier();
    FileCopier(const FileCopier&) = delete;
    FileCopier& operator=(const FileCopier&) = delete;

    void SetProgress(RunProgress* progress) { progress_ = progress; }

    struct Outcome {
        enum class Kind { Done, Failed, Stopped } kind = Kind::Done;
        // A failure's question, as the error policy asks it.
        ErrorCall problem;
        // The bytes now in place.
        std::uint64_t copied = 0;
    };
    // destinationMissing: the check found nothing there, so no old copy
    // needs to be kept, flushed for or unprotected. listed: what the listing
    // said of the source. A cancelled copy leaves nothing behind.
    Outcome Copy(const std::wstring& source, const std::wstring& destination, bool destinationMissing,
                 const FindEntry* listed, const CopyRules& rules, bool& copiedAgain);

    // Creation, last-access and last-write time; false when they could not be set.
    static bool CopyTimes(const std::wstring& source, const std::wstring& destination);

private:
    enum class Result { Done, Failed, Changed, Mismatch, Cancelled };
    struct Progress;
    static DWORD CALLBACK OnProgress(LARGE_INTEGER total, LARGE_INTEGER transferred, LARGE_INTEGER streamSize,
                                     LARGE_INTEGER streamTransferred, DWORD stream, DWORD reason, HANDLE from,
                                     HANDLE to, void* data);
    // A piece of a copy has arrived: shown, and the copy goes on unless a
    // test's seam fails it or 中止 was chosen.
    bool Progressed(Progress& copy, std::uint64_t transferred);
    // The system's copy of the source into a new partial copy beside the
    // destination, then the checks: changed since the run looked, Verify.
    Result CopyToPartial(const std::wstring& source, const std::wstring& destination, const FindEntry* listed,
                         const CopyRules& rules, std::wstring& partial, std::uint64_t& copied, DWORD& error);
    // Reads the partial copy back past the cache and compares it with the
    // source, read again.
    Result Verify(const std::wstring& source, const std::wstring& partial, DWORD& error);
    // Verify's two buffers, allocated once and aligned for reads past the cache.
    char* Buffer(int which);
    // reason: the row's text where the system's error would not say why.
    static bool PutInPlace(const std::wstring& partial, const std::wstring& destination, bool destinationMissing,
                           bool flushed, DWORD& error, std::wstring& reason);
    void Shown(std::uint64_t bytes) {
        if (progress_) progress_->Copying(bytes);
    }

    const std::atomic<bool>& cancel_;
    RunProgress* progress_;
    void* buffers_ = nullptr;
};

}  // namespace tandrel
