#include "engine/DeletionPlan.h"

#include <algorithm>

namespace tandrel {

const PlannedFolder& PlannedFolder::Everything() {
    static const PlannedFolder everything{L"", 0, Visit::Whole, {}};
    return everything;
}

void DeletionPlan::Reset() {
    root_ = PlannedFolder{};
    path_.clear();
}

void DeletionPlan::Enter(const std::wstring& name, size_t order) {
    path_.push_back({name, order, nullptr});
}

void DeletionPlan::Leave() {
    if (path_.empty()) return;
    if (PlannedFolder* node = path_.back().node) {
        // Planned in the master's order, visited in the backup's.
        std::sort(node->children.begin(), node->children.end(),
                  [](const PlannedFolder& a, const PlannedFolder& b) { return a.order < b.order; });
    }
    path_.pop_back();
}

PlannedFolder* DeletionPlan::Current() {
    PlannedFolder* node = &root_;
    for (Step& step : path_) {
        if (!step.node) {
            // A folder planned before (its own walk marked it) keeps its node.
            auto& children = node->children;
            const auto same = std::find_if(children.rbegin(), children.rend(),
                                           [&](const PlannedFolder& child) { return child.order == step.order; });
            if (same != children.rend()) {
                step.node = &*same;
            } else {
                children.push_back({step.name, step.order, PlannedFolder::Visit::Through, {}});
                step.node = &children.back();
            }
        }
        node = step.node;
    }
    return node;
}

void DeletionPlan::Mark(PlannedFolder::Visit visit) {
    PlannedFolder* node = Current();
    node->visit = std::max(node->visit, visit);
    // A folder walked whole needs no plan inside.
    if (node->visit == PlannedFolder::Visit::Whole) node->children.clear();
}

void DeletionPlan::MarkWhole(const std::wstring& name, size_t order) {
    Enter(name, order);
    Mark(PlannedFolder::Visit::Whole);
    Leave();
}

size_t DeletionPlan::size() const {
    size_t count = 0;
    std::vector<const PlannedFolder*> open{&root_};
    while (!open.empty()) {
        const PlannedFolder* node = open.back();
        open.pop_back();
        ++count;
        for (const PlannedFolder& child : node->children) open.push_back(&child);
    }
    return count;
}

}  // namespace tandrel
