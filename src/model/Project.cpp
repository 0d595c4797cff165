#include "model/Project.h"

#include <map>
#include <utility>

namespace tandrel {

bool ProjectCollection::Add(const std::wstring& name) {
    if (Full()) return false;
    Project p;
    p.name = name;
    projects_.push_back(std::move(p));
    return true;
}

bool ProjectCollection::Rename(int i, const std::wstring& name) {
    if (!Valid(i)) return false;
    At(i).name = name;
    return true;
}

bool ProjectCollection::Remove(int i) {
    if (!Valid(i)) return false;
    projects_.erase(projects_.begin() + i);
    return true;
}

bool ProjectCollection::Clear(int i) {
    if (!Valid(i)) return false;
    At(i) = Project{};
    return true;
}

bool ProjectCollection::Copy(int dest, int src, bool append) {
    if (!Valid(dest) || !Valid(src)) return false;
    if (dest == src) return true;
    const Project& from = At(src);
    Project& to = At(dest);
    to.name = from.name;
    if (!append) {
        to.settings = from.settings;
        to.commands = from.commands;
        return true;
    }
    std::map<int, int> newIds;
    for (const CommandEntry& entry : from.commands.Entries()) {
        CommandEntry copy = entry;
        copy.id = -1;
        newIds[entry.id] = to.commands.Store(copy);
    }
    for (const FolderSetting& setting : from.settings) {
        if (static_cast<int>(to.settings.size()) >= kMaxSettingsPerProject) break;
        FolderSetting copy = setting;
        for (int& id : copy.commandIds) {
            const auto found = newIds.find(id);
            id = found == newIds.end() ? -1 : found->second;
        }
        to.settings.push_back(std::move(copy));
    }
    return true;
}

bool ProjectCollection::Swap(int i, int j) {
    if (!Valid(i) || !Valid(j)) return false;
    std::swap(projects_[static_cast<size_t>(i)], projects_[static_cast<size_t>(j)]);
    return true;
}

std::wstring ProjectCollection::DisplayText(int i, const std::wstring& format) const {
    // The format holds "%d" then "%s"; only those two are filled.
    std::wstring out;
    bool numberDone = false;
    for (size_t k = 0; k < format.size(); ++k) {
        if (format[k] == L'%' && k + 1 < format.size()) {
            const wchar_t code = format[k + 1];
            if (code == L'd' && !numberDone) {
                out += std::to_wstring(i + 1);
                numberDone = true;
                ++k;
                continue;
            }
            if (code == L's') {
                out += Valid(i) ? Name(i) : std::wstring();
                ++k;
                continue;
            }
            if (code == L'%') {
                out += L'%';
                ++k;
                continue;
            }
        }
        out += format[k];
    }
    return out;
}

}  // namespace tandrel
