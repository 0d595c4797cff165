#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/ErrorPolicy.h"
#include "engine/FaultSeam.h"
#include "engine/FileCopy.h"
#include "engine/FolderListing.h"
#include "engine/RunProgress.h"

namespace tandrel {

// Results of a folder check.
constexpr int FolderExists = 0, FolderMissing = 1, FolderIsFile = 2, FolderNotReady = 3, FolderCheckError = 4;
// Results of a file check.
constexpr int FileExists = 0, FileMissing = 1, FileIsFolder = 2, FileCheckError = 4;

// Hands one double-null-terminated path list to the recycle bin; 0 on
// success, else the shell's error code.
using RecycleSender = std::function<int(const std::wstring& paths)>;
int SendToRecycleBin(const std::wstring& paths);

// Whether the system accepts the characters of a file or folder name.
bool NameAccepted(const std::wstring& name);

// Whether the shell, which takes plain paths, would act on exactly this
// entry: it drops trailing dots and spaces of names, takes device names for
// devices, and refuses a path of MAX_PATH characters or more.
bool ShellAddressable(const std::wstring& path);

// Whether a test's seam makes the name another entry's short name, which
// the system refuses to create as taken.
bool StagedAsTaken(const std::wstring& path);

// The attributes of the entry of this very name: a name that reaches
// another entry through its short name finds nothing.
DWORD NamedAttributes(const std::wstring& path);

// A failure that a network share may get over on the next attempt.
bool NetworkFailure(DWORD error);

// What a removal says and counts, each once the entry has left the disk:
// a direct deletion reports before and counts after it; the recycle bin
// does both when its batch was taken.
struct Removal {
    std::function<void()> report;
    std::function<void()> gone;
};

// What a listing of the other tree already says about a name: unset means
// ask the file system, a null entry means not there.
using KnownEntry = std::optional<const FindEntry*>;

// Every change a run makes on disk, and every check that decides one, with
// the error policy around it. A test run never reaches the changing ones
// (the executor reports them instead); its checks run as in an update run.
class FileOps {
public:
    explicit FileOps(ErrorPolicy& policy);
    FileOps(const FileOps&) = delete;
    FileOps& operator=(const FileOps&) = delete;

    // The options of the setting being processed; its copied bytes start at 0.
    void SetSetting(const FolderSetting& setting) {
        setting_ = &setting;
        copiedBytes_ = 0;
    }
    // Where the bytes of a copy under way are shown.
    void SetProgress(RunProgress* progress) { copier_.SetProgress(progress); }
    // Bytes of the setting's copies that took their place; a copy thread's
    // are added when the walk takes its result.
    std::uint64_t copiedBytes() const { return copiedBytes_; }
    void CountCopied(std::uint64_t bytes) { copiedBytes_ += bytes; }
    // What the setting asks of each copy.
    CopyRules Rules() const;
    void SetDeletePass(bool deletePass) { deletePass_ = deletePass; }
    // In a copy pass before a deletion pass, an entry of the other kind in
    // the backup is no conflict yet: the checks say what is there, and the
    // deletion pass may make room.
    void SetConflictsLater(bool later) { conflictsLater_ = later; }
    // A test run's copy pass after its deletion pass: that pass only said
    // what it would remove, so an entry of the other kind counts as gone.
    void SetRoomReported(bool reported) { roomReported_ = reported; }

    // Through a partial copy beside the destination and one rename; the
    // destination's old content stays until the new one is complete and
    // checked. destinationMissing: the check found nothing there, so no old
    // copy needs to be kept, flushed for or unprotected. listed: what the
    // listing said of the source; a source that differs from it, or that
    // changes while it is read, is copied once more, and is an error when
    // it changes again. With the setting's Verify the partial copy is read
    // back from the disk and compared with the source. A cancelled copy
    // returns false and leaves nothing behind, without an error.
    bool Copy(const std::wstring& source, const std::wstring& destination, bool destinationMissing = false,
              const FindEntry* listed = nullptr);
    // A partial copy that an interrupted run left behind; quietly.
    static void RemovePartial(const std::wstring& path);
    bool Delete(const std::wstring& path, const Removal& removal = {});
    // folder ends in a backslash. A rename that changes letter case only
    // goes through an intermediate name: some file systems take a direct
    // one as done without doing it.
    bool Rename(const std::wstring& folder, const std::wstring& oldName, const std::wstring& newName);
    bool CreateFolder(const std::wstring& path);
    // A backup file moved to another place in the backup, never over an
    // entry there. Quiet: whoever asks copies instead when it fails.
    bool Move(const std::wstring& from, const std::wstring& to);
    // A folder that still holds entries the pass keeps is never handed to
    // the recycle bin, which would take them along.
    bool RemoveFolder(const std::wstring& path, bool holdsKept = false, const Removal& removal = {});
    // False, with the error said, when the entry cannot go where the
    // setting sends it (a path the recycle bin's shell would misread).
    bool MayRemove(const std::wstring& path, bool folder);
    // A removal that may not be made, for the reason of reasonId: an error
    // row, and false.
    bool RefuseRemoval(const std::wstring& path, bool folder, unsigned reasonId);
    // Into the history folder (HistoryOps.cpp): a backup file moved there
    // (a rename, else a verified copy and then the deletion), or, before an
    // update replaces it, linked there (else a verified copy). False, with
    // the error said, when it could not be; the file then stays as it was.
    bool MoveIntoHistory(const std::wstring& path, const std::wstring& target);
    bool LinkIntoHistory(const std::wstring& path, const std::wstring& target);
    // Creation, last-access and last-write time; no question on failure.
    static bool CopyTimes(const std::wstring& source, const std::wstring& destination) {
        return FileCopier::CopyTimes(source, destination);
    }

    int CheckFolder(const std::wstring& path, KnownEntry known = std::nullopt);
    int CheckFile(const std::wstring& path, KnownEntry known = std::nullopt);
    // A file where a folder is to go (folder) or the other way round that
    // the run could not resolve.
    void ReportConflict(const std::wstring& path, bool folder);
    // Reads a folder again while its listing fails with a network error and
    // the setting asks for retries, as the checks do. Returns the text of the
    // retries made when the listing still fails; one that came back is
    // logged as a notice.
    std::wstring RetryListing(const std::wstring& folder, FolderListing& listing);
    // False when a name that a listing of the folder returned holds
    // characters the file system refuses.
    bool CheckListedName(const std::wstring& folder, const std::wstring& name);

    // Deletions of a deletion pass go to the recycle bin in batches.
    void BeginRecycling(int capacity, bool wait);
    bool EndRecycling();
    bool Recycling() const { return recycling_; }
    void SetRecycleSender(RecycleSender sender) { sender_ = std::move(sender); }

private:
    int Check(const std::wstring& path, bool folder, KnownEntry known);
    // The entry's attributes read on their own; a check's result where that
    // alone decides it (not found, not ready, failed and said), else -1.
    int LookUp(const std::wstring& target, bool folder, const std::wstring& checkName, DWORD& attributes);
    int Conflict(const std::wstring& path, bool folder, const std::wstring& checkName);
    bool ReportBadName(const std::wstring& path);
    bool RemoveEntry(const std::wstring& path, bool folder, const Removal& removal);
    bool RefuseRecycling(const std::wstring& path, bool folder);
    void ReportCheckError(int level, const std::wstring& body, const std::wstring& detail, const std::wstring& title);
    bool AddToRecycleBin(const std::wstring& path, const Removal& removal);
    bool FlushRecycleBin(const std::wstring& filledBy);
    static ErrorCall Question(int level, const std::wstring& body, const std::wstring& detail, unsigned captionId);
    static ErrorCall Question(int level, const std::wstring& body, DWORD error, unsigned captionId);
    bool Fail(int level, const std::wstring& body, const std::wstring& detail, unsigned captionId);
    // What one attempt of an operation came to; a failure carries its
    // question (a check's or listing's its system error), a stop (中止
    // during a copy, an answer a check had without the entry) ends the
    // operation quietly.
    struct Attempt {
        enum class Result { Done, Failed, Stopped } result = Result::Done;
        ErrorCall question;
        DWORD error = 0;
        static Attempt Done() { return {}; }
        static Attempt Stopped() { return {Result::Stopped, {}, 0}; }
        static Attempt Failed(ErrorCall question) { return {Result::Failed, std::move(question), 0}; }
        static Attempt Failed(DWORD error) { return {Result::Failed, {}, error}; }
    };
    // A check or listing asks no question about its failure: one the
    // network may get over is tried again as often as the setting says,
    // and a later success is logged as a notice naming what failed.
    struct NetworkRetries {
        std::wstring what, title;
        // The failed attempts a retry followed, and the last one's error.
        int made = 0;
        DWORD error = 0;
        // "(retries n)" once there were some.
        std::wstring Text() const;
    };
    // Every operation tries again through here: a changing one for as long
    // as the error policy's answer to its failure is Retry, a check or
    // listing (network) as NetworkRetries says. The fault a test stages at
    // point comes before each attempt (0 without one; a copy stages its own
    // at the steps they stand for, a listing at its read).
    bool Retrying(std::optional<FaultPoint> point, const std::wstring& path,
                  const std::function<Attempt(DWORD fault)>& attempt, NetworkRetries* network = nullptr);
    void NoteResolvedByRetry(const NetworkRetries& network, const std::wstring& path);

    ErrorPolicy& policy_;
    const FolderSetting* setting_ = nullptr;
    bool deletePass_ = false;
    bool conflictsLater_ = false;
    bool roomReported_ = false;
    // The pass's deletions are meant for the recycle bin; recycling_: they
    // are queued for it.
    bool toRecycleBin_ = false;
    bool recycling_ = false;
    int recycleCapacity_ = 200;
    bool recycleWait_ = false;
    struct Queued {
        std::wstring path;
        Removal removal;
    };
    std::vector<Queued> recycleBatch_;
    RecycleSender sender_ = SendToRecycleBin;
    FileCopier copier_;
    std::uint64_t copiedBytes_ = 0;
};

}  // namespace tandrel
