#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/Executor.h"

namespace tandrel {

struct FolderSetting;
class FolderListing;

// The removals of a deletion pass, held until the pass has seen them all:
// a pass that would empty most of the backup (a master emptied by mistake,
// a drive under the wrong letter) is stopped before its first deletion.
class HeldRemovals {
public:
    struct Held {
        Operation operation;
        Removal removal;
    };
    void Add(const Operation& operation, const Removal& removal);
    // The held removals in the order the pass decided them; none held after.
    std::vector<Held> Take();
    // Files among them (folders are not counted: they hold the files).
    std::int64_t files() const { return files_; }
    bool empty() const { return held_.empty(); }

private:
    std::vector<Held> held_;
    std::int64_t files_ = 0;
};

// How much of the backup a deletion pass would remove.
struct DeletionShare {
    std::int64_t deletions = 0;
    // The backup's files the run saw, at least the deletions.
    std::int64_t backupFiles = 0;

    int Percent() const;
    // More than the setting's share and more than its number of files.
    bool Trips(const FolderSetting& setting) const;
    // The backup's files as the texts give them.
    std::wstring Whole() const;
};

// Files (not folders) in a listing.
std::int64_t FilesIn(const FolderListing& listing);

}  // namespace tandrel
