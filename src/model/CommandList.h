#pragma once
#include <string>
#include <vector>

namespace tandrel {

// Window modes of a launched command.
enum CommandWindowMode { WindowNormal = 0, WindowMinimized = 1, WindowMaximized = 2, WindowHidden = 3 };

// One external command: a folder setting's before/after command or an entry
// of the global command list.
struct CommandEntry {
    std::wstring name;
    std::wstring path;
    std::wstring param;
    int window = WindowNormal;
    // After-completion code of a global command: 0, 2, 3 or 4.
    int action = 0;
    bool visible = false;
    bool enable = false;
    // Slot of a folder setting's command: 0 before, 1 after.
    int type = 0;
    int id = -1;
    int onMode = 0;
    int onError = 0;

    // The name, or the file-name part of the path when the name is empty.
    std::wstring DisplayName() const;
};

// Ordered, owning list of commands with ids unique within the list.
class CommandList {
public:
    int NextId() const { return largestId_ + 1; }
    int Count() const { return static_cast<int>(entries_.size()); }
    bool Empty() const { return entries_.empty(); }

    // Stores a copy, keeping its id; returns its position.
    int Append(const CommandEntry& entry);
    // A negative id gets the next id and is appended; otherwise the entry
    // with that id is overwritten (appended when there is none). Returns the id.
    int Store(CommandEntry entry);
    const CommandEntry* Find(int id) const;
    CommandEntry* Find(int id);
    // Copies the entry with that id into out; an unknown id leaves out empty
    // with its type set to the slot. Returns whether the id was found.
    bool CopyInto(CommandEntry& out, int id, int slot) const;
    bool Remove(int id);
    void Clear();
    void Swap(int i, int j);

    const CommandEntry& At(int i) const { return entries_[static_cast<size_t>(i)]; }
    CommandEntry& At(int i) { return entries_[static_cast<size_t>(i)]; }
    const std::vector<CommandEntry>& Entries() const { return entries_; }

private:
    std::vector<CommandEntry> entries_;
    int largestId_ = -1;
};

}  // namespace tandrel
