#include "dialogs/ProjectList.h"

#include <algorithm>

#include "platform/Strings.h"
#include "resource_dialogs.h"
#include "settings/ProfileStore.h"
#include "settings/SettingsStore.h"

namespace tandrel {

EditedProjects ReadProjectsForEditing(AppState& options) {
    EditedProjects edited;
    for (int p = 0; p < options.projects.Count(); ++p) {
        edited.projects.Add(options.projects.Name(p));
        Project& project = edited.projects.At(p);
        edited.storedCounts.push_back(LoadProjectSettings(options, project.settings, project.commands, p));
    }
    return edited;
}

std::vector<int> MoveProjects(ProjectCollection& projects, const std::vector<int>& selected, int step) {
    std::vector<int> rows = selected;
    const int count = projects.Count();
    // Walking from the end the projects move towards keeps a packed block in place.
    const int first = step < 0 ? 0 : static_cast<int>(rows.size()) - 1;
    const int last = step < 0 ? static_cast<int>(rows.size()) : -1;
    const int along = step < 0 ? 1 : -1;
    int edge = step < 0 ? 0 : count - 1;
    for (int k = first; k != last; k += along) {
        int& row = rows[static_cast<size_t>(k)];
        if (row == edge) {
            edge -= step;
            continue;
        }
        projects.Swap(row, row + step);
        row += step;
        edge = row - step;
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

int RemoveProjects(ProjectCollection& projects, const std::vector<int>& rows) {
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) projects.Remove(*row);
    if (projects.Empty() || rows.empty()) return 0;
    return std::min(rows.front(), projects.Count() - 1);
}

bool CommitProjectList(AppState& options, EditedProjects edited) {
    // Projects read while the file could not be read hold no settings.
    if (ProjectListLock(options)) return false;
    ProjectCollection& projects = edited.projects;
    if (projects.Empty()) projects.Add(LoadText(IDS_DEFAULT_PROJECT));
    // The whole list reaches the settings file in one write or not at all.
    StoreBatch batch(options);
    bool ok = true;
    for (int p = 0; ok && p < static_cast<int>(edited.storedCounts.size()); ++p) {
        const int stored = edited.storedCounts[static_cast<size_t>(p)];
        // A number that now holds fewer settings would keep the old ones
        // beyond its count; they go with the rest and are written anew.
        if (projects.Valid(p) && !projects.At(p).settings.empty() &&
            static_cast<int>(projects.At(p).settings.size()) >= stored)
            continue;
        ok = DeleteProjectKeys(options, stored, p);
    }
    for (int p = 0; ok && p < projects.Count(); ++p) {
        const Project& project = projects.At(p);
        ok = SaveProjectSettings(options, project.settings, project.commands, p, -1, PartAll);
    }
    // The program keeps only the names; the settings stay in the store.
    for (int p = 0; p < projects.Count(); ++p) {
        projects.At(p).settings.clear();
        projects.At(p).commands.Clear();
    }
    ProjectCollection previous = std::move(options.projects);
    const int previousActive = options.ActiveProject;
    options.projects = std::move(projects);
    if (!options.projects.Valid(options.ActiveProject)) options.ActiveProject = 0;
    ok = ok && SaveOptions(options, GroupProjects) && batch.Commit();
    if (!ok) {
        options.projects = std::move(previous);
        options.ActiveProject = previousActive;
    }
    return ok;
}

}  // namespace tandrel
