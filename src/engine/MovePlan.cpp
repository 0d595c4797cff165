#include "engine/MovePlan.h"

#include <algorithm>
#include <tuple>

#include "engine/FolderPlan.h"
#include "platform/Strings.h"

namespace tandrel {

namespace {

std::wstring KeyOf(const FindEntry& entry) {
    return FoldCase(entry.name) + L'|' + std::to_wstring(entry.size);
}

bool PlainFile(const FindEntry& entry) {
    return !entry.IsFolder() && !entry.IsLink();
}

// The backup file as the copy pass would judge it in the master's place:
// nothing to copy, at most the letter case the move gives.
bool SameFile(const FindEntry& master, const FindEntry& backup, const FolderSetting& setting) {
    if (!PlainFile(master) || !PlainFile(backup)) return false;
    const FileAction action = DecideMasterFile(master, FilterOutcome::Target, Counterpart::File, &backup, setting).action;
    return action == FileAction::None || action == FileAction::CaseRename;
}

bool Below(const std::wstring& path, const std::wstring& folder) {
    return path.size() > folder.size() && EqualsNoCase(path.substr(0, folder.size()), folder);
}

}  // namespace

MoveIndex::MoveIndex(const std::vector<MoveSide>& doomed)
    : doomed_(&doomed), taken_(doomed.size(), false), dropped_(doomed.size(), false) {
    groups_.reserve(doomed.size());
    for (size_t i = 0; i < doomed.size(); ++i) {
        Group& group = groups_[KeyOf(doomed[i].entry)];
        ++group.count;
        group.index = i;
    }
}

std::optional<size_t> MoveIndex::Find(const FindEntry& master, const FolderSetting& setting) const {
    if (!doomed_) return std::nullopt;
    const auto group = groups_.find(KeyOf(master));
    if (group == groups_.end() || group->second.count != 1) return std::nullopt;
    if (taken_[group->second.index] || dropped_[group->second.index]) return std::nullopt;
    if (!SameFile(master, (*doomed_)[group->second.index].entry, setting)) return std::nullopt;
    return group->second.index;
}

void MoveIndex::MarkBelow(const std::wstring& folder, bool dropped) {
    if (!doomed_) return;
    for (size_t i = 0; i < doomed_->size(); ++i) {
        if (Below((*doomed_)[i].relative, folder)) dropped_[i] = dropped;
    }
}

std::vector<std::pair<size_t, size_t>> MatchMoves(const std::vector<MoveSide>& created, MoveIndex& index,
                                                  const FolderSetting& setting) {
    std::vector<std::pair<size_t, size_t>> moves;
    std::unordered_map<std::wstring, size_t> made;
    made.reserve(created.size());
    for (const MoveSide& side : created) ++made[KeyOf(side.entry)];
    for (size_t i = 0; i < created.size(); ++i) {
        if (made[KeyOf(created[i].entry)] != 1) continue;
        if (const std::optional<size_t> doomed = index.Find(created[i].entry, setting)) {
            index.Take(*doomed);
            moves.emplace_back(i, *doomed);
        }
    }
    return moves;
}

bool FolderMatcher::Score::operator<(const Score& other) const {
    // Better first: the larger share, then more files, then walk order.
    const auto share = matched * other.smaller, otherShare = other.matched * smaller;
    if (share != otherShare) return share > otherShare;
    return std::tie(other.matched, master, candidate) < std::tie(matched, other.master, other.candidate);
}

void FolderMatcher::Add(const std::wstring& folder, const std::vector<FindEntry>& entries) {
    const size_t index = folders_.size();
    Candidate candidate{folder, 0, false};
    for (const FindEntry& entry : entries) {
        if (!PlainFile(entry)) continue;
        ++candidate.files;
        files_[FoldCase(entry.name)].emplace_back(index, &entry);
    }
    folders_.push_back(std::move(candidate));
}

std::vector<FolderMatcher::Score> FolderMatcher::Scores(size_t master, const std::vector<FindEntry>& files,
                                                        const FolderSetting& setting) const {
    std::unordered_map<size_t, size_t> matched;
    std::unordered_map<size_t, bool> vetoed;
    size_t count = 0;
    for (const FindEntry& entry : files) {
        if (!PlainFile(entry)) continue;
        ++count;
        const auto same = files_.find(FoldCase(entry.name));
        if (same == files_.end()) continue;
        for (const auto& [candidate, backup] : same->second) {
            // A used candidate's listing may be gone: it is not looked at.
            if (folders_[candidate].used) continue;
            const FileAction action =
                DecideMasterFile(entry, FilterOutcome::Target, Counterpart::File, backup, setting).action;
            if (action == FileAction::None || action == FileAction::CaseRename) {
                ++matched[candidate];
            } else if (action != FileAction::Update) {
                // A file the walk would leave as it is (newer, too large):
                // a copy into a new folder would have replaced it.
                vetoed[candidate] = true;
            }
        }
    }
    std::vector<Score> scores;
    for (const auto& [candidate, hits] : matched) {
        const size_t smaller = std::min(count, folders_[candidate].files);
        if (!vetoed[candidate] && hits >= 1 && hits * 10 >= smaller * 9) {
            scores.push_back({master, candidate, hits, smaller});
        }
    }
    return scores;
}

void FolderMatcher::Use(size_t index) {
    const std::wstring& moved = folders_[index].relative;
    for (Candidate& candidate : folders_) {
        if (EqualsNoCase(candidate.relative, moved) || Below(candidate.relative, moved) ||
            Below(moved, candidate.relative)) {
            candidate.used = true;
        }
    }
}

std::vector<std::optional<size_t>> FolderMatcher::MatchAll(const std::vector<const std::vector<FindEntry>*>& masters,
                                                           const FolderSetting& setting) {
    std::vector<std::optional<size_t>> result(masters.size());
    std::vector<Score> scores;
    for (size_t i = 0; i < masters.size(); ++i) {
        if (!masters[i]) continue;
        const std::vector<Score> own = Scores(i, *masters[i], setting);
        scores.insert(scores.end(), own.begin(), own.end());
    }
    std::sort(scores.begin(), scores.end());
    for (const Score& score : scores) {
        if (result[score.master] || folders_[score.candidate].used) continue;
        result[score.master] = score.candidate;
        Use(score.candidate);
    }
    return result;
}

std::optional<size_t> FolderMatcher::Match(const std::vector<FindEntry>& master, const FolderSetting& setting) {
    std::vector<Score> scores = Scores(0, master, setting);
    if (scores.empty()) return std::nullopt;
    const Score best = *std::min_element(scores.begin(), scores.end());
    Use(best.candidate);
    return best.candidate;
}

void FolderMatcher::Touched(const std::wstring& fileRelative) {
    for (Candidate& candidate : folders_) {
        if (Below(fileRelative, candidate.relative)) candidate.used = true;
    }
}

}  // namespace tandrel
