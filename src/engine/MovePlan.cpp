#include "engine/MovePlan.h"

#include <algorithm>
#include <unordered_map>

#include "engine/FolderPlan.h"
#include "platform/Strings.h"

namespace tandrel {

namespace {

// How many files of one side share a name and size, and the last of them.
struct Group {
    size_t count = 0;
    size_t index = 0;
};

std::wstring KeyOf(const FindEntry& entry) {
    return FoldCase(entry.name) + L'|' + std::to_wstring(entry.size);
}

std::unordered_map<std::wstring, Group> Grouped(const std::vector<MoveSide>& side) {
    std::unordered_map<std::wstring, Group> groups;
    groups.reserve(side.size());
    for (size_t i = 0; i < side.size(); ++i) {
        Group& group = groups[KeyOf(side[i].entry)];
        ++group.count;
        group.index = i;
    }
    return groups;
}

}  // namespace

std::vector<std::pair<size_t, size_t>> MatchMoves(const std::vector<MoveSide>& created,
                                                  const std::vector<MoveSide>& doomed, const FolderSetting& setting) {
    std::vector<std::pair<size_t, size_t>> moves;
    if (created.empty() || doomed.empty()) return moves;
    const std::unordered_map<std::wstring, Group> gone = Grouped(doomed);
    const std::unordered_map<std::wstring, Group> made = Grouped(created);
    for (const auto& [key, group] : made) {
        const auto match = gone.find(key);
        if (group.count != 1 || match == gone.end() || match->second.count != 1) continue;
        const FindEntry& master = created[group.index].entry;
        const FindEntry& backup = doomed[match->second.index].entry;
        if (master.IsFolder() || backup.IsFolder() || master.IsLink() || backup.IsLink()) continue;
        // The backup file as the copy pass would judge it in the master's
        // place: nothing to copy, at most the letter case the move gives.
        const FileAction action =
            DecideMasterFile(master, FilterOutcome::Target, Counterpart::File, &backup, setting).action;
        if (action == FileAction::None || action == FileAction::CaseRename) moves.emplace_back(group.index, match->second.index);
    }
    std::sort(moves.begin(), moves.end());
    return moves;
}

}  // namespace tandrel
