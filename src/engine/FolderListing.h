#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
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
// questions about the other tree cost no system call each.
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
    friend class FolderLister;
    bool ok_ = false;
    DWORD error_ = 0;
    std::vector<FindEntry> entries_;
    std::vector<std::wstring> partials_;
    // Built when first needed: a folder's own listing is only walked, never
    // asked by name, and names mostly match exactly, so the folded index
    // (a case mapping per entry) is built only when one does not.
    mutable bool indexed_ = false, foldIndexed_ = false;
    mutable std::unordered_map<std::wstring, size_t> exact_, folded_;
};

// Reads one folder at a time on a thread of its own, so that the walk reads
// the other tree's folder while it reads its own: the two listings then
// take about as long as the slower one. The listing is the same as one read
// in place, failures included.
class FolderLister {
public:
    FolderLister() = default;
    ~FolderLister();
    FolderLister(const FolderLister&) = delete;
    FolderLister& operator=(const FolderLister&) = delete;
    // Begins reading folder into listing, which must stay until Wait().
    void Start(const std::wstring& folder, FolderListing& listing);
    // Until the listing begun last has been read.
    void Wait();

private:
    static DWORD WINAPI Run(void* self);
    static void ReadInto(FolderListing& listing, const std::wstring& folder);

    HANDLE thread_ = nullptr;
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
    std::wstring folder_;
    FolderListing* asked_ = nullptr;
    bool done_ = true;
    bool quit_ = false;
};

FindEntry EntryOf(const WIN32_FIND_DATAW& data);

// Upper case by the system's table, as the file system compares names.
std::wstring FoldCase(const std::wstring& text);

// Seconds since 1970 of a file time; empty when it has no valid time of day
// (before 1970 or beyond the year 3000).
std::optional<std::int64_t> FileTimeSeconds(const FILETIME& time);
// All three times valid: only then are they shown in a row.
bool TimesValid(const FindEntry& entry);

}  // namespace tandrel
