#pragma once
#include <string>
#include <vector>

#include "model/CommandList.h"
#include "model/FolderSetting.h"

namespace tandrel {

constexpr int kMaxSettingsPerProject = 1000;
constexpr int kMaxProjects = 1000;
// Projects created when the settings name no count.
constexpr int kDefaultProjectCount = 32;

// A named list of folder settings with the commands they refer to by id.
struct Project {
    std::wstring name;
    std::vector<FolderSetting> settings;
    CommandList commands;
};

// The ordered project list; a project's number is its position.
class ProjectCollection {
public:
    int Count() const { return static_cast<int>(projects_.size()); }
    bool Empty() const { return projects_.empty(); }
    bool Full() const { return Count() >= kMaxProjects; }

    // Appends a project with no settings; false when the list is full.
    bool Add(const std::wstring& name);
    bool Rename(int i, const std::wstring& name);
    bool Remove(int i);
    // Empties project i in place: no name, no settings, no commands.
    bool Clear(int i);
    void ClearAll() { projects_.clear(); }
    // Copies src onto dest, taking its name. Overwrite replaces dest's
    // settings and commands; append adds copies after dest's own (up to the
    // per-project limit) with commands under new ids, so each copied setting
    // keeps pointing at the copy of its own command.
    bool Copy(int dest, int src, bool append);
    bool Swap(int i, int j);

    const std::wstring& Name(int i) const { return projects_[static_cast<size_t>(i)].name; }
    // "%d: %s" of the 1-based number and the name, from the given format.
    std::wstring DisplayText(int i, const std::wstring& format) const;

    bool Valid(int i) const { return i >= 0 && i < Count(); }
    Project& At(int i) { return projects_[static_cast<size_t>(i)]; }
    const Project& At(int i) const { return projects_[static_cast<size_t>(i)]; }

private:
    std::vector<Project> projects_;
};

}  // namespace tandrel
