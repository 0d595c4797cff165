#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/FolderListing.h"
#include "model/FolderSetting.h"

namespace tandrel {

// A file of one side of a possible move: a master file the copy pass would
// create in the backup, or a backup file the deletion pass would delete.
struct MoveSide {
    std::wstring relative;  // below the setting's root, with the name
    FindEntry entry;
};

// The doomed backup files by name and size. A master file is one of them
// when exactly one has its name (but for letter case) and size and the copy
// pass would take its times for the master's, so that after the move the
// backup is what a copy would have made. Each is taken once.
class MoveIndex {
public:
    MoveIndex() = default;
    explicit MoveIndex(const std::vector<MoveSide>& doomed);
    std::optional<size_t> Find(const FindEntry& master, const FolderSetting& setting) const;
    void Take(size_t index) { taken_[index] = true; }
    // Nothing below the folder (ending in a backslash) is a candidate any
    // more: it moves as a whole. Back, when it does not move after all.
    void DropBelow(const std::wstring& folder) { MarkBelow(folder, true); }
    void RestoreBelow(const std::wstring& folder) { MarkBelow(folder, false); }
    const MoveSide& operator[](size_t index) const { return (*doomed_)[index]; }

private:
    struct Group {
        size_t count = 0;
        size_t index = 0;
    };
    void MarkBelow(const std::wstring& folder, bool dropped);

    const std::vector<MoveSide>* doomed_ = nullptr;
    std::unordered_map<std::wstring, Group> groups_;
    std::vector<bool> taken_, dropped_;
};

// Which of the new master files are doomed backup files under another path.
// Only unique matches: a name and size that two new files share are
// copied as usual. Pairs of indexes (created, doomed), in the order of
// created; the doomed ones are taken.
std::vector<std::pair<size_t, size_t>> MatchMoves(const std::vector<MoveSide>& created, MoveIndex& index,
                                                  const FolderSetting& setting);

// The backup folders the deletion pass would remove, as old places of new
// master folders. A master folder was one of them when at least 9 in 10 of
// the files of the one with fewer files, and at least one, are in both
// with the same name, size and time, and none of the same name is one the
// copy pass would leave as it is (newer, too large): moved, the folder then
// becomes what a copy would have made. The best share wins, then the most
// files; each is used once, and none below or above one that moved.
class FolderMatcher {
public:
    // folder: relative, ending in a backslash; files: its listing.
    void Add(const std::wstring& folder, const std::vector<FindEntry>& entries);
    bool empty() const { return folders_.empty(); }
    const std::wstring& folder(size_t index) const { return folders_[index].relative; }
    // For each master folder (its files), the folder it was, if any: best
    // pairs first, each side used once.
    std::vector<std::optional<size_t>> MatchAll(const std::vector<const std::vector<FindEntry>*>& masters,
                                                const FolderSetting& setting);
    std::optional<size_t> Match(const std::vector<FindEntry>& master, const FolderSetting& setting);
    // A file below it moved away: it no longer holds what it held.
    void Touched(const std::wstring& fileRelative);

private:
    struct Candidate {
        std::wstring relative;
        size_t files = 0;
        bool used = false;
    };
    struct Score {
        size_t master = 0, candidate = 0, matched = 0, smaller = 0;
        bool operator<(const Score& other) const;
    };
    std::vector<Score> Scores(size_t master, const std::vector<FindEntry>& files,
                              const FolderSetting& setting) const;
    void Use(size_t index);

    std::vector<Candidate> folders_;
    // Name (letter case aside) → the candidates' files of that name.
    std::unordered_map<std::wstring, std::vector<std::pair<size_t, const FindEntry*>>> files_;
};

// What the copy pass holds back at most, and without any backup entry to
// delete seen so far; beyond that new entries are copied at once.
constexpr size_t kHeldLimit = 10000;
constexpr size_t kHeldWithoutCandidates = 1000;
// The most backup entries noted as candidates, listings kept included.
constexpr size_t kCandidateLimit = 100000;

}  // namespace tandrel
