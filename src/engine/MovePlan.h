#pragma once
#include <cstddef>
#include <string>
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

// Which of the new master files are the doomed backup files under another
// path: the same name (but for letter case), the same size, and times the
// copy pass would take for the same, so that after the move the backup is
// what a copy would have made. Only unique matches: a name and size that
// two files share on either side is copied as usual. Pairs of indexes
// (created, doomed), in the order of created.
std::vector<std::pair<size_t, size_t>> MatchMoves(const std::vector<MoveSide>& created,
                                                  const std::vector<MoveSide>& doomed, const FolderSetting& setting);

// The most files each side of the search keeps; beyond that new files are
// copied at once.
constexpr size_t kMoveSearchLimit = 200000;

}  // namespace tandrel
