#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Paths.h"

namespace tandrel {

// One entry of a folder as the listing returned it.
struct FindEntry {
    std::wstring name;
    DWORD attributes = 0;
    FILETIME creation{}, access{}, write{};
    std::uint64_t size = 0;
    // The reparse tag when attributes say reparse point.
    DWORD reparseTag = 0;
    // The file id the listing gave; 0 when it gave none.
    std::uint64_t fileId = 0;

    bool IsFolder() const { return attributes & FILE_ATTRIBUTE_DIRECTORY; }
    // A link (symbolic link, junction, mount point, or a reparse point of a
    // kind not known to keep its data in place): entering it leaves the
    // tree. Cloud placeholders and deduplicated folders are ordinary.
    bool IsLink() const;
};

// Copies are written under a name of the form "~tandrel-0123abcd.partial"
// beside their destination and renamed into place; such names are never
// user files.
std::wstring PartialCopyName(unsigned number);
bool IsPartialCopyName(const std::wstring& name);

// The file id alone (IdentityOf, in platform/Paths.h, gives the whole). A folder's volume serial number can cost a thousand
// times more than its id (Wine asks its mount manager each time), so the
// walk compares ids and asks for the whole identity only when two agree.
std::optional<std::uint64_t> FileIdOf(const std::wstring& path);

// The entries of one folder, read with one listing, so that per-file
// questions about the other tree cost no system call each. The listing is
// read through the folder's handle in the form that carries each entry's
// file id, so that entering a sub-folder needs no question of its own;
// where the file system refuses that form, with FindFirstFileExW.
class FolderListing {
public:
    // folder ends in a backslash. False (and error() set) when it cannot be
    // listed; an empty folder is a success.
    bool Read(const std::wstring& folder);
    bool ok() const { return ok_; }
    DWORD error() const { return error_; }
    const std::vector<FindEntry>& entries() const { return entries_; }
    // The entry the system would open under that name: the exact spelling
    // first (a case-sensitive file system can hold both), else ignoring case.
    const FindEntry* Find(const std::wstring& name) const;
    // Names of partial copies the listing held back from entries().
    const std::vector<std::wstring>& partials() const { return partials_; }
    // Entries whose names differ only in letter case from another's (a
    // case-sensitive share or folder holds such): a backup that ignores case
    // can take one of each group, the name that sorts first. Indexes into
    // entries().
    struct CaseTwin {
        size_t kept, twin;
    };
    std::vector<CaseTwin> CaseTwins() const;

private:
    friend class ListingPool;
    enum class HandleRead { Done, Failed, Refused };
    HandleRead ReadByHandle(const std::wstring& folder);
    bool ReadByFind(const std::wstring& folder);
    // Keeps an entry the listing returned; partial copies apart.
    void Take(FindEntry&& entry);

    bool ok_ = false;
    DWORD error_ = 0;
    std::vector<FindEntry> entries_;
    std::vector<std::wstring> partials_;
    // Open-addressing tables of entry numbers (index + 1, 0 free) by name
    // and by name in upper case, built when first asked: names mostly
    // match exactly, so the folded one is often never needed.
    const std::vector<std::uint32_t>& ExactIndex() const;
    const std::vector<std::uint32_t>& FoldedIndex() const;
    // The first entry (by index) whose name equals this one in upper case.
    const FindEntry* FindFolded(const std::wstring& name) const;
    mutable std::vector<std::uint32_t> exact_, folded_;
};

// The master names of one folder that differ only in letter case. The copy
// pass backs up the kept name of each group (the twins are errors), into
// the backup entry that name reaches; the deletion pass pairs that backup
// entry with the kept name, never with a twin, whose contents differ.
class TwinGroups {
public:
    explicit TwinGroups(const FolderListing& master);
    bool any() const { return !kept_.empty(); }
    // The kept name of a twin's group; null for a kept name or a name
    // without twins.
    const FindEntry* KeptOf(const FindEntry& masterEntry) const;
    // The master entry a backup entry is paired with (null: none). leave:
    // the backup entry belongs to a group but is not where its copy went
    // (a backup that tells case apart holds it beside that one): nothing of
    // it or in it is decided.
    const FindEntry* Counterpart(const FolderListing& backup, const FindEntry& entry, bool& leave) const;

private:
    const FolderListing& master_;
    // By master index: the kept entry of its group, null outside groups;
    // empty when the folder has no groups.
    std::vector<const FindEntry*> kept_;
};

// Reads folders on a small pool of threads, ahead of the walk and in the
// order the walk will want them, so that the walk seldom waits for a
// listing, the two trees are read at once, and 中止 is heard while a read
// hangs. A listing read ahead is the one the walk would have read in place,
// failures included, and a folder is read once. Only the first `window`
// folders asked for are read ahead, and at most `capacity` are remembered
// (the latest asked, which the walk wants first), so one wide folder cannot
// fill the memory with requests.
class ListingPool {
public:
    explicit ListingPool(unsigned threads = 2, size_t window = 8, size_t capacity = 512);
    ~ListingPool();
    ListingPool(const ListingPool&) = delete;
    ListingPool& operator=(const ListingPool&) = delete;
    // Waiting for a listing, and for a settled pool, ends when this is set.
    void WatchCancel(const std::atomic<bool>& cancel) { cancel_ = &cancel; }
    // These folders, in this order, before every folder asked for earlier
    // (the walk goes depth first); one asked for already moves up.
    void Ahead(const std::vector<std::wstring>& folders);
    // The listing of folder: the one read ahead, else read now by a thread
    // of the pool (in place when the pool has none). False, with a listing
    // that failed with ERROR_CANCELLED, when 中止 came first.
    bool Take(const std::wstring& folder, FolderListing& listing);
    // The walk has left a folder and its counterpart in the other tree:
    // what lies below them is not wanted any more.
    void Drop(const std::wstring& own, const std::wstring& other);
    // Nothing asked for any more, and until no thread of the pool holds a
    // folder open: a pass begins on a disk none of them is reading. After
    // 中止 the reads under way are cancelled and not waited for.
    void Settle();
    // Folders asked for and not yet taken.
    size_t queued() const;

private:
    struct Request;
    struct Shared;
    static DWORD WINAPI Run(void* shared);
    static void ReadInto(FolderListing& listing, const std::wstring& folder);
    bool Cancelled() const { return cancel_ && cancel_->load(); }

    std::vector<HANDLE> threads_;
    // Shared with the threads, which outlive the pool while a read that
    // nobody waits for any more hangs.
    std::shared_ptr<Shared> shared_;
    const std::atomic<bool>* cancel_ = nullptr;
};

FindEntry EntryOf(const WIN32_FIND_DATAW& data);

// A lookup by name also reaches an entry whose short (8.3) name that is:
// another file. A name is only ever matched by an entry's own long name.
bool OwnName(const std::wstring& wanted, const std::wstring& found);
// Whether a lookup of the path's last name may land on another entry
// through its short name: such names hold a "~" (and a test's seam may say
// so of any name).
bool MayReachShortName(const std::wstring& path);
// The path a lookup of this path reaches: itself, or the entry a test's
// seam says holds the name as its short name.
std::wstring ResolvedByName(const std::wstring& path);
// The entry of this very name, read on its own. None (error set) when
// there is none, or when the name reaches another entry through its short
// name: then heldBy gets that entry's long name and error is "not found".
std::optional<FindEntry> ReadNamedEntry(const std::wstring& path, DWORD& error, std::wstring* heldBy = nullptr);

// Upper case by the system's table, one UTF-16 unit at a time, as the file
// system compares names.
wchar_t FoldChar(wchar_t c);
std::wstring FoldCase(const std::wstring& text);

// Seconds since 1970 of a file time; empty when it has no valid time of day
// (before 1970 or beyond the year 3000).
std::optional<std::int64_t> FileTimeSeconds(const FILETIME& time);
// All three times valid: only then are they shown in a row.
bool TimesValid(const FindEntry& entry);

}  // namespace tandrel
