#pragma once
#include <windows.h>

#include <string>
#include <utility>

#include "framework/CommandUI.h"
#include "ui/TaskbarProgress.h"

namespace tandrel {

// What the view asks of the window it lives in; the main frame answers.
// The view's boxes are owned by that window, its menus' commands and its
// status texts (WM_TANDREL_STATUS) are sent to it.
class ViewFrame {
public:
    virtual HWND FrameWindow() const = 0;
    // The command's state as menus, toolbar and lists show it (mainMenu:
    // the wording of the main menu rather than of a popup).
    virtual CommandState QueryCommand(UINT id, bool mainMenu) const = 0;
    // Command states follow once the message loop is idle.
    virtual void RequestCommandUpdate() = 0;
    // A modal window of the program is open.
    virtual bool ModalOpen() const = 0;
    // A menu is being shown.
    virtual bool InMenu() const = 0;
    // The run's line in the progress pane (empty: no pane).
    virtual void ShowProgress(const std::wstring& text) = 0;
    virtual TaskbarButton& Taskbar() = 0;
    // The status and detail texts the status line keeps.
    virtual std::pair<std::wstring, std::wstring> KeptStatus() const = 0;
    // The project selector and the after-completion list filled anew from the options.
    virtual void FillProjectSelector() = 0;
    virtual void FillAfterCompletion() = 0;
    // The fonts of the options applied to the bars and the lists.
    virtual void ApplyFonts() = 0;
    // A size at 96 dots per inch at the window's scale.
    virtual int Scaled(int size) const = 0;
    // The window's rectangle into the options, and back onto the window.
    virtual void RememberPlacement() = 0;
    virtual void ApplyStoredPlacement() = 0;
    // Shows the window again (from the tray).
    virtual void Restore() = 0;

protected:
    // Never owned through the interface.
    ~ViewFrame() = default;
};

}  // namespace tandrel
