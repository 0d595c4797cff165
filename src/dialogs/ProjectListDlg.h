#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "dialogs/ProjectList.h"
#include "framework/Window.h"
#include "model/AppState.h"

namespace tandrel {

// Dialog 151: edits a complete copy of the project list; nothing reaches
// the store before OK.
class CDlgProjectList : public Dialog {
public:
    CDlgProjectList(EditedProjects& edited, int active, std::wstring face, int pointSize);
    bool Run(HWND owner);

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code) override;

private:
    int Count() const { return edited_.projects.Count(); }
    std::vector<int> Selection() const;
    int Caret() const;
    // The selected rows, or the caret row when none is selected.
    std::vector<int> Targets() const;
    // The caret row alone selected; -1 when the list is empty.
    int SingleRow();
    void Rebuild(std::vector<int> selected, int caret);
    void EnableButtons();
    void Rename();
    void Add();
    void Delete();
    void Clear();
    void Move(int step);
    void Copy();

    EditedProjects& edited_;
    int active_;
    std::wstring face_;
    int pointSize_;
};

// The project-list editor on the projects in the store; OK stores the
// edited list and makes it the program's. True when confirmed.
bool EditProjectList(HWND owner, AppState& options);

}  // namespace tandrel
