#pragma once
#include <vector>

#include "model/AppState.h"
#include "model/Project.h"

namespace tandrel {

// The list the project editor works on: every project with its folder
// settings and commands read from the store, and how many settings each
// project had stored when it was read.
struct EditedProjects {
    ProjectCollection projects;
    std::vector<int> storedCounts;
};

EditedProjects ReadProjectsForEditing(AppState& options);

// Moves the selected rows (ascending) one place up (step -1) or down (+1).
// Rows packed against that end with the selected rows before them stay;
// returns the rows the moved projects occupy afterwards.
std::vector<int> MoveProjects(ProjectCollection& projects, const std::vector<int>& selected, int step);

// Removes the given rows (ascending); returns the row the caret goes to.
int RemoveProjects(ProjectCollection& projects, const std::vector<int>& rows);

// Stores the edited list and makes it the program's: the stored entries of
// every old number left without settings go, an empty list gets the default
// project, every project is written under its new number, and the active
// index falls back to 0 when it is out of range. False when a write failed.
bool CommitProjectList(AppState& options, EditedProjects edited);

}  // namespace tandrel
