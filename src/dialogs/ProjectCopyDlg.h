#pragma once
#include <string>

#include "framework/Window.h"
#include "model/Project.h"

namespace tandrel {

// Dialog 150: copies one project onto another of the list, overwriting or
// appending, and says so.
class CDlgProjectCopy : public Dialog {
public:
    CDlgProjectCopy(ProjectCollection& projects, int source);
    // The destination after a copy; -1 on Cancel.
    int Run(HWND owner, const std::wstring& face, int pointSize);

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code) override;

private:
    ProjectCollection& projects_;
    int source_;
    int destination_ = -1;
};

}  // namespace tandrel
