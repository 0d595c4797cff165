#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tandrel {

// A backup folder the deletion pass must look at, and the way down to it.
struct PlannedFolder {
    enum class Visit : std::uint8_t {
        Through,  // nothing to delete here: only the way to the folders below
        List,     // listed again, both sides; only planned sub-folders entered
        Whole,    // walked as if there were no plan, everything below too
    };
    std::wstring name;  // as the backup's listing spells it
    size_t order = 0;   // its place in that listing
    Visit visit = Visit::Through;
    std::vector<PlannedFolder> children;  // in listing order

    // A folder without a plan: the deletion pass walks all of it.
    static const PlannedFolder& Everything();
};

// What the copy pass saw that the deletion pass needs: the backup folders
// holding something the master lacks or has as the other kind, and those
// the copy pass could not compare with both listings. The deletion pass
// visits only these, so a tree without differences is read once, and the
// plan grows with the differences, not with the tree.
class DeletionPlan {
public:
    // An empty plan: the deletion pass has nothing to visit.
    void Reset();
    // The copy pass goes into a backup folder of the one it is in (order:
    // the folder's place in that listing) and comes out of it again.
    void Enter(const std::wstring& name, size_t order);
    void Leave();
    // The folder the copy pass is in must be visited so (a stronger visit
    // stays).
    void Mark(PlannedFolder::Visit visit);
    // A sub-folder of it is walked whole.
    void MarkWhole(const std::wstring& name, size_t order);
    const PlannedFolder& root() const { return root_; }
    // Folders the plan holds, the root included.
    size_t size() const;

private:
    struct Step {
        std::wstring name;
        size_t order = 0;
        PlannedFolder* node = nullptr;  // null until something below is planned
    };
    PlannedFolder* Current();

    PlannedFolder root_;
    // The folders the copy pass is in, below the root. A node on this path
    // is the last child its parent got, so growing a parent's children
    // never moves a node the path points to.
    std::vector<Step> path_;
};

}  // namespace tandrel
