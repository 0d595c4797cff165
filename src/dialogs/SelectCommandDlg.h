#pragma once
#include "framework/Window.h"
#include "model/CommandList.h"

namespace tandrel {

// Dialog 169: picks one entry of the global command list, shown by display
// name.
class CDlgSelectCommand : public Dialog {
public:
    explicit CDlgSelectCommand(const CommandList& commands);
    // The chosen entry, or none on Cancel or without a selection.
    const CommandEntry* Choose(HWND owner);

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code) override;

private:
    const CommandList& commands_;
    int chosen_ = -1;
};

}  // namespace tandrel
