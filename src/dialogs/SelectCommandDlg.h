#pragma once
#include "framework/Window.h"
#include "model/CommandList.h"

namespace tandrel {

// Dialog 169: picks one entry of the global command list. The lines are
// those of the command-list page ("%d: %s"); the selected entry's name,
// program and parameters show read-only, its window state in a disabled
// list.
class CDlgSelectCommand : public Dialog {
public:
    explicit CDlgSelectCommand(const CommandList& commands);
    // The chosen entry, or none on Cancel or without a selection.
    const CommandEntry* Choose(HWND owner);

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code) override;

private:
    int Selected() const;
    void ShowEntry();

    const CommandList& commands_;
    int chosen_ = -1;
};

}  // namespace tandrel
