#include "model/CommandList.h"

#include <utility>

namespace tandrel {

std::wstring CommandEntry::DisplayName() const {
    if (!name.empty()) return name;
    const auto cut = path.find_last_of(L"\\/:");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

int CommandList::Append(const CommandEntry& entry) {
    entries_.push_back(entry);
    if (entry.id > largestId_) largestId_ = entry.id;
    return static_cast<int>(entries_.size()) - 1;
}

int CommandList::Store(CommandEntry entry) {
    if (entry.id >= 0) {
        if (CommandEntry* existing = Find(entry.id)) {
            *existing = std::move(entry);
            return existing->id;
        }
        Append(entry);
        return entry.id;
    }
    entry.id = NextId();
    Append(entry);
    return entry.id;
}

const CommandEntry* CommandList::Find(int id) const {
    if (id < 0) return nullptr;
    for (const auto& e : entries_) {
        if (e.id == id) return &e;
    }
    return nullptr;
}

CommandEntry* CommandList::Find(int id) {
    return const_cast<CommandEntry*>(static_cast<const CommandList*>(this)->Find(id));
}

bool CommandList::CopyInto(CommandEntry& out, int id, int slot) const {
    if (const CommandEntry* e = Find(id)) {
        out = *e;
        return true;
    }
    out = CommandEntry{};
    out.type = slot;
    return false;
}

bool CommandList::Remove(int id) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->id == id) {
            entries_.erase(it);
            return true;
        }
    }
    return false;
}

void CommandList::Clear() {
    entries_.clear();
    largestId_ = -1;
}

void CommandList::Swap(int i, int j) {
    if (i < 0 || j < 0 || i >= Count() || j >= Count()) return;
    std::swap(entries_[static_cast<size_t>(i)], entries_[static_cast<size_t>(j)]);
}

}  // namespace tandrel
