#pragma once
#include <array>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/CopyPool.h"
#include "engine/DeletionGuard.h"
#include "engine/DeletionPlan.h"
#include "engine/ErrorPolicy.h"
#include "engine/Executor.h"
#include "engine/FileOps.h"
#include "engine/FolderListing.h"
#include "engine/FolderPlan.h"
#include "engine/History.h"
#include "engine/MovePlan.h"
#include "engine/MirrorBatch.h"
#include "engine/RunLog.h"
#include "engine/TargetFilter.h"
#include "platform/ToolLaunch.h"

namespace tandrel {

// Runs one batch on the worker thread: the settings one after the other,
// each through its pre-flight checks, its passes over the two trees and its
// commands. Talks to the window only through the batch's host.
class MirrorWorker {
public:
    explicit MirrorWorker(MirrorBatch& batch);
    // 1 when every processed setting finished, 0 when the batch stopped.
    int Run();

    // Tests hand the deletions meant for the recycle bin to a recorder.
    void SetRecycleSender(RecycleSender sender) { ops_.SetRecycleSender(std::move(sender)); }

private:
    struct WalkFolder;
    struct Replacement;
    using Replacements = std::vector<Replacement>;
    enum class SettingEnd { Completed, Skipped, Aborted };
    // How a setting's run went, for its end.
    struct SettingOutcome {
        SettingEnd end = SettingEnd::Aborted;
        int result = 1;
        bool noErrors = false;
        bool afterStop = false;
        std::int64_t seconds = 0;
    };

    bool Selected(const FolderSetting& setting, std::time_t now) const;
    // Pre-flight checks, then the passes.
    SettingEnd Process(FolderSetting& work);
    // false when the volume cycle failed; aborted tells whether by Abort.
    bool CheckVolumes(FolderSetting& work, bool& aborted);
    // What is wrong with each side's drive (master, backup); empty when
    // nothing is.
    using VolumeFailures = std::array<std::wstring, 2>;
    // The drives found by their labels, the setting's paths moved onto them.
    void DetectDrives(FolderSetting& work, VolumeFailures& failures);
    // The labels the setting expects on its drives.
    void CheckLabels(const FolderSetting& work, VolumeFailures& failures);
    SettingEnd FolderProblem(FolderSetting& work, bool master, bool invalid);
    void Fatal(unsigned titleId, const std::wstring& body, unsigned captionId);
    bool RunPasses();
    // The settings one after the other; the batch's overall result.
    int RunSettings(int result);
    // One setting from its start to its stored results; 1 when the batch
    // goes on, 0 when it stops.
    int RunSetting(FolderSetting& setting, size_t index, int number, std::time_t start);
    // Its progress figures and the working copy the run uses.
    void StartSetting(FolderSetting& setting, size_t index, int number, std::time_t start);
    // Its log and filters; false (said and raised) when it cannot run.
    bool OpenSetting(FolderSetting& work, std::time_t start);
    // Today's date folder; false when it would not lie below the backup.
    bool PlaceDateFolder(const FolderSetting& setting, FolderSetting& work, std::time_t start);
    // The summary, the results stored back and counted for the batch.
    int EndSetting(FolderSetting& setting, FolderSetting& work, const SettingOutcome& outcome, std::time_t start,
                   const std::wstring& dashLine);
    // An exception left the loop: the setting in progress ends as failed.
    void SettingBrokeOff();
    // End of the batch: results stored and the run over before anything
    // that may close the program or wait for a person.
    void FinishBatch(int result, std::time_t batchStart);
    void AfterCompletion(bool clean, bool automatic, std::time_t batchStart);
    // The after-completion command did not end with 0: the exit code, the
    // status line, a report row and the batch's log say which and how.
    void AfterCommandFailed(const std::wstring& name, const ToolExit& exit, std::time_t batchStart);
    // The box that tells how the batch ended.
    void ShowEndBox();
    // The settings of the batch that the selection and the schedule take.
    std::vector<size_t> SelectedSettings(std::time_t now) const;
    // The counts of the setting in progress, and what the window is shown.
    RunCounts SettingCounts() const;
    void PublishProgress();
    // The summary row and log line at the end of a setting.
    void ReportSummary(const RunCounts& counts, std::int64_t seconds);
    // Posts the close; only a closing after-completion action itself may
    // hibernate or shut down at exit.
    void CloseProgram(bool powerAction);
    // Only a run that may end the program ends the automatic state.
    void EndAutomaticState();
    // The worst outcome seen so far, as the exit code of a command-line run.
    void RaiseExitCode(int code);
    // A settings file that stopped being written: once per batch into the
    // log, and the exit code says errors.
    void NoteUnsavedSettings();
    // Asks about a deletion when someone may be asked; otherwise the
    // deletion is refused as an error.
    DeleteChoice ConfirmDelete(const DeleteConfirmation& file);
    // With MakeDateDir and SkipIfFolderNotExist the base backup folder
    // decides, since today's date folder is made by the run.
    bool BackupMissingForSkip(const FolderSetting& work, int backupState);
    // Whether path names a folder strictly inside folder once both are made
    // full paths (which drops trailing dots and spaces and resolves "..").
    static bool LiesBelow(const std::wstring& path, const std::wstring& folder);
    // The working copy's backup folder without its date folder.
    std::wstring BaseBackup(const FolderSetting& work) const;
    // What the placeholders of commands see: the backup folder above the
    // date folder (%b), and how the setting ended (%r).
    FolderSetting ForCommands(const FolderSetting& work, bool failed) const;
    // The command of a setting's slot (0 before, 1 after): -1 not run,
    // 0 ran or its failure is ignored, 1 stop.
    int RunCommand(const FolderSetting& work, int slot, bool noErrors, std::time_t start);

    // One folder of a pass; false when the batch was cancelled. kept tells
    // the caller that something stays behind in the folder. plan: how far
    // the deletion pass looks into it.
    bool Walk(const std::wstring& folder, const std::wstring& relative, bool& kept,
              const PlannedFolder& plan = PlannedFolder::Everything());
    // One folder of a pass while the walk is in it: both listings and what
    // the walk learns of them.
    struct FolderVisit {
        FolderVisit(const std::wstring& inFolder, const std::wstring& inRelative, const FolderListing& ownListing,
                    const FolderListing* otherListing, bool& keptFlag)
            : folder(inFolder), relative(inRelative), own(ownListing), other(otherListing), kept(keptFlag) {}
        const std::wstring& folder;
        const std::wstring& relative;
        const FolderListing& own;
        const FolderListing* other;
        // Something stays behind in the folder.
        bool& kept;
        std::optional<TwinGroups> twins;
        bool skipFiles = false, rootNotListed = false;
        // The copy pass plans the deletion pass here; the backup folder each
        // sub-folder was compared with, by backup entry.
        bool planHere = false;
        std::vector<const FindEntry*> walkedWith;
        size_t askAgainAt = static_cast<size_t>(-1);
        bool changed = false;
    };
    // The folder's listing and the other tree's, each read again while a
    // network error says so; false (said) when what was read decides
    // nothing in here. other: the other tree's, where it says something.
    bool ListingsRead(const std::wstring& folder, FolderListing& own, const std::wstring& otherFolder,
                      FolderListing& otherListing, bool askOther, const FolderListing*& other);
    // Whether the walk decides on an entry at all: a name the system
    // accepts, not a letter-case twin of a kept master name, in the deletion
    // pass paired with the master entry it was backed up from.
    bool Passable(FolderVisit& visit, const FindEntry& entry, KnownEntry& counterpart);
    bool WalkFiles(FolderVisit& visit);
    bool WalkSubFolders(FolderVisit& visit, const PlannedFolder& plan);
    // The deletion pass on its way down to the planned folders below one
    // that has nothing to delete: their entries are read on their own.
    bool WalkThrough(const std::wstring& folder, const std::wstring& relative, const PlannedFolder& plan);
    // The copy pass, at the end of a folder it compared with both listings:
    // what the deletion pass will find to do there, as the plan says.
    void PlanDeletions(const std::wstring& relative, const TwinGroups& master, const FolderListing& backup,
                       const std::vector<const FindEntry*>& walkedWith);
    // The files and folders the deletion pass will delete in a backup
    // folder the master lacks (relative ends in a backslash), noted as moves
    // may come from them; their listings are kept for that pass.
    void NoteDoomedIn(const std::wstring& relative);
    // Whether the copy pass holds a new master file or folder back until
    // its end, where it knows what the backup would lose.
    bool HoldsNewFile() const;
    bool HoldsNewFolder(KnownEntry known) const;
    // The master's root under whatever name: nothing in it is ever doomed.
    bool IsMasterRoot(const FindEntry& folder, const std::wstring& path) const;
    // The decisions on one entry. replacedId: the entry takes the place of
    // one of the other kind that the deletion pass removed; the text that
    // says so in its row.
    bool CopyFileDecision(const FindEntry& entry, const std::wstring& relative, const FolderListing* other,
                          unsigned replacedId = 0);
    // Carries out the copy pass's decision on a master file; whether the
    // folder changed. backup: the backup's entry, where it was read.
    bool CarryOutFile(const FileDecision& decision, const FindEntry& entry, const std::wstring& rel,
                      const FindEntry* backup, unsigned replacedId);
    // Whether the folder changed; kept tells that the file stays.
    // counterpart: the master's entry it was backed up from, as far as known.
    bool DeleteFileDecision(const FindEntry& entry, const std::wstring& relative, KnownEntry counterpart,
                            bool rootNotListed, bool& kept);
    // paired: the backup folder the walk compared with this one, both
    // listed; null when it was not.
    bool CopyFolder(const FindEntry& entry, const std::wstring& folder, const std::wstring& relative,
                    const FolderListing* other, unsigned replacedId = 0, const FindEntry** paired = nullptr);
    // The backup folder gets the master's letter case where they differ;
    // whether the disk has the new spelling.
    bool RenameFolderCase(const FindEntry& entry, const std::wstring& backupPath, KnownEntry known);
    // Walks a folder the pass decided to enter (removing: one it created
    // or removes), as one of the folders the walk is inside.
    bool WalkInto(const std::wstring& path, const std::wstring& rel, std::optional<WalkFolder>& identity,
                  bool removing, bool* kept = nullptr, const PlannedFolder& plan = PlannedFolder::Everything());
    // counterpart: the master's entry of that name, as far as known. plan:
    // the folder's plan, null when the plan has nothing in it (then it is
    // entered only to be removed).
    bool DeleteFolder(const FindEntry& entry, const std::wstring& folder, const std::wstring& relative,
                      KnownEntry counterpart, bool& kept, const PlannedFolder* plan);
    // Gives the backup entry the master's letter case; true when the two
    // spellings differ. renamed: set when the disk has the new spelling.
    bool CaseRename(const std::wstring& backupFolder, const std::wstring& onDisk, const std::wstring& masterName,
                    std::optional<std::uint64_t> size, bool* renamed = nullptr);
    KnownEntry Lookup(const FolderListing* other, const std::wstring& name) const;
    // Whether the walk goes into a sub-folder: never through a link on
    // either side, into one of its own ancestors or into the other tree's
    // root. identity is the sub-folder's when it could be read.
    bool MayEnter(const FindEntry& entry, KnownEntry counterpart, const std::wstring& path,
                  const std::wstring& relative, std::optional<WalkFolder>& identity);
    // The folder list error, naming the folder, the system's reason and
    // the network retries made.
    void ReportListFailure(const std::wstring& folder, DWORD error, const std::wstring& consequence,
                           const std::wstring& retries = {});
    // A master name that differs from a kept one in letter case only.
    void ReportCaseTwin(const std::wstring& relative, const std::wstring& kept, const std::wstring& twin);
    // A master entry that the backup holds as the other kind, before the
    // deletion pass; the deletion pass says when it removed that entry.
    void Defer(const FindEntry& entry, const std::wstring& relative);
    void Cleared(const std::wstring& relative);
    // After the deletion pass, in a copy pass of their own: the deferred
    // entries where there is room now, the conflict error where there is not.
    bool PutReplacementsInPlace(const Replacements& pending);
    void RemovePartials(const std::wstring& folder, const FolderListing& listing);
    // At the end of the copy pass (Passes.cpp): the folders and files it
    // held back, each moved from the backup entry it matches or else
    // copied; false when cancelled.
    bool PlaceHeld();
    // A new master folder: moved from the backup folder it matches and
    // walked as an existing one, else created. masterFolder: its parent.
    bool PlaceFolder(const FindEntry& entry, const std::wstring& masterFolder, const std::wstring& relative,
                     std::optional<size_t> match);
    // Whether the backup folder `from`, moved to `to` (both relative, no
    // final backslash), becomes by the walk what a copy would have made:
    // below it no file of both that the walk would leave as it is, no kind
    // changed, no master folder that cannot be read. The master's listings
    // read for it are kept for the walk.
    bool MoveAgrees(const std::wstring& to, const std::wstring& from);
    // The backup folder a new master folder was, by their files; none when
    // nothing is left to match (the master folder is then not listed here).
    std::optional<size_t> MatchFolder(const std::wstring& masterPath);
    // In the copy pass's last stretch: a new master file moved from the
    // doomed backup file it is, where there is one.
    bool MovedHere(const FindEntry& entry, const std::wstring& rel);
    // Whether the backup entry is now at the new one's place (said, counted).
    bool MoveInBackup(const MoveSide& to, const MoveSide& from);
    bool MoveFolderInBackup(const std::wstring& to, const std::wstring& from);
    // The deletion pass in the folders moved in the backup: the master
    // lacks some of what they hold.
    bool WalkMovedFolders();
    // Listings read already, kept for the walk that needs them next (by
    // the folder's path): taken once.
    bool TakeKept(const std::wstring& folder, FolderListing& listing);
    // Keeps a folder's listing for later and counts its entries against
    // the limit of what is kept.
    const FolderListing& Keep(const std::wstring& folder, FolderListing listing);
    bool IsKept(const std::wstring& folder) const;
    // The kept listings of a backup folder and below under its new path.
    void MoveKept(const std::wstring& from, const std::wstring& to);
    // Where a backup folder is read: in a test run, below a folder it would
    // have moved, at the old place.
    std::wstring BackupOnDisk(const std::wstring& folder) const;
    // The copy pass asks for the listings of the sub-folders it will enter,
    // on both sides, before it goes through the folder's files: some of
    // them from the entry at `from` on. Returns the entry at which to ask
    // for the next ones, kNoMoreAhead when none are left.
    static constexpr size_t kNoMoreAhead = static_cast<size_t>(-1);
    size_t ListAhead(const std::wstring& folder, const std::wstring& relative, const FolderListing& own,
                     const FolderListing* other, size_t from);
    // The deletion pass's held removals carried out, unless the guard on
    // mass deletion stops them; false when the batch was cancelled.
    bool CarryHeldRemovals();
    bool GuardAllowsRemovals();
    // The history of a setting that keeps one (History.cpp): false (said)
    // when its folder may not be used; at the end the old runs go when
    // the run was clean.
    bool BeginHistory(const FolderSetting& work, const std::wstring& chosen);
    void EndHistory(const FolderSetting& work, bool clean);
    // The history folder where the walk meets it inside the backup.
    // (Also a restore's: the backup's own history where it would land.)
    bool IsHistoryFolder(const std::wstring& backupPath) const;
    // A restore (Restore.cpp): where the history kept inside the backup
    // would land in the folder restored into.
    void NoteRestoredHistory();
    unsigned SkipFlags() const;
    void RaiseTimeError(const std::wstring& path, unsigned textId);
    // A copy took its place: counted, and its bytes shown.
    void Copied(std::int32_t& counter, std::uint64_t size);
    // A master file copied onto the backup (WalkCopies.cpp): its row (to
    // the list and the log), then the copy, counted in counter once in place. While the copy pass walks
    // a folder's files, a small one goes to the copy threads and is reported
    // when the walk takes its result.
    void CarryCopy(const Operation& copy, std::int32_t& counter, ReportRow row);
    // The copies of the folder's files all reported; none go to the threads
    // after this until the next folder's files.
    void FinishCopies();
    // A new setting starts without copy threads; they are made at its first
    // small copy, as many as the options or the folders' places say.
    void ResetCopies();

    MirrorBatch& batch_;
    const AppState& options_;
    // The stored setting in progress and its working copy; kept here so an
    // exception can still end the setting.
    FolderSetting* stored_ = nullptr;
    std::optional<FolderSetting> work_;
    std::optional<FolderSetting> lastCompleted_;
    // "\" + today's date folder name, when the working copy has one.
    std::wstring dateSuffix_;
    int exitCode_ = 0;
    RunLog log_;
    ErrorPolicy policy_;
    FileOps ops_;
    Executor exec_;
    TargetFilters filters_;
    FolderSetting* current_ = nullptr;
    std::wstring masterRoot_, backupRoot_;
    // The backup folder as stored, above its date folder.
    std::wstring storedBackup_, backupBase_;
    bool unsavedNoted_ = false;
    int changedFolderCount_ = 0;
    // A folder the walk is inside: its file id at once, its whole identity
    // only when an id agrees with another folder's.
    struct WalkFolder {
        std::wstring path;
        std::uint64_t file = 0;
        std::optional<FileIdentity> whole;
        bool Is(const std::optional<FileIdentity>& other);
    };
    // A master entry that the backup holds as the other kind: the copy pass
    // defers it, the deletion pass may clear its place, and afterwards it
    // is put there or reported as a conflict.
    struct Replacement {
        std::wstring relative;
        FindEntry entry;
        bool cleared = false;
    };
    // What one pass over the trees keeps while it walks. It lives on the
    // stack of RunPasses for that pass only; pass_ points to it meanwhile.
    struct PassState {
        explicit PassState(bool deletionPass) : deletion(deletionPass) {}
        const bool deletion;
        // The copy pass plans the deletion pass that follows it.
        bool planning = false;
        // How many of the folders the walk is inside are being removed (in
        // the deletion pass) or were just created (in the copy pass).
        int removalDepth = 0;
        // The folders the walk is inside, root first.
        std::vector<WalkFolder> ancestors;
        Replacements replacements;
        // The copy pass compared the folder it just walked with both listings.
        bool walkedPaired = false;
        // The backup folders the copy pass is in, by file id (0 unknown),
        // root first: the deletion pass says when one repeats them.
        std::vector<std::uint64_t> backupPathIds;
        // The copy pass looks for entries moved on the master: it holds back
        // new files and folders and notes the backup files and folders the
        // deletion pass would delete.
        bool findMoves = false;
        std::vector<MoveSide> created, doomed, newFolders;
        std::vector<std::wstring> doomedFolders;
        // Its last stretch, where it places what it held: the candidates are
        // all known, so each new entry is matched at once.
        bool placing = false;
        MoveIndex moveIndex;
        FolderMatcher folderMatcher;
    };
    // Points the worker at a pass's state for as long as the pass runs.
    class PassScope;
    PassState* pass_ = nullptr;
    bool DeletionPass() const { return pass_ && pass_->deletion; }
    // Reads the folders of both trees ahead of the walk.
    ListingPool pool_;
    // Filled by the copy pass when a deletion pass follows it.
    DeletionPlan plan_;
    // The backup files moved away by the copy pass (by folded relative
    // path): the deletion pass has nothing to delete there.
    std::unordered_set<std::wstring> movedAway_;
    // The backup folders moved (relative, no final backslash): to, from.
    // The deletion pass walks each at its new place once, by itself.
    std::vector<std::pair<std::wstring, std::wstring>> movedFolders_;
    std::unordered_set<std::wstring> movedTo_, movedFrom_;
    std::unordered_map<std::wstring, FolderListing> kept_;
    size_t keptEntries_ = 0;
    // The deletion pass's removals while the guard holds them, and the
    // backup files the passes saw, each once.
    HeldRemovals held_;
    std::int64_t guardSeen_ = 0;
    HistoryKeeper history_{ops_, policy_};
    std::wstring restoredHistory_;
    // The roots by identity, whatever path names them.
    std::optional<FileIdentity> masterId_, backupId_, backupBaseId_;
    // A test run's backup root that the update run would create: it holds
    // nothing to delete.
    bool backupRootPending_ = false;
    bool confirmDelete_ = false;
    // The setting's master files the copy pass compared, and in a test run
    // the bytes its copies would move.
    std::int64_t examined_ = 0;
    std::uint64_t plannedBytes_ = 0;
    // The counts of the batch's finished settings.
    RunCounts batchDone_;
    // The setting's copy threads, none while one copy at a time is wanted;
    // copyWorkers_ 0 until the setting's first small copy decides.
    std::unique_ptr<CopyPool> copyPool_;
    unsigned copyWorkers_ = 0;
    // The walk is among a folder's files in the copy pass.
    bool pooling_ = false;
    // The status texts of the passes, loaded once: they go out per file.
    const std::wstring statusBackup_, statusMirror_;
};

}  // namespace tandrel
