#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace tandrel {

// What a command looks like right now. An empty text keeps the item's own,
// an empty prompt the command's own status-line prompt.
struct CommandState {
    bool enabled = true;
    bool checked = false;
    // Checked items of a group show a bullet instead of a check mark.
    bool radio = false;
    std::wstring text;
    // Says why a command is not offered.
    std::wstring prompt;
};
// Answers for every command id; one function decides, menus and toolbars follow.
using CommandQuery = std::function<CommandState(UINT id)>;

// Enables, checks and renames the command items of a menu and its submenus.
void UpdateMenuCommands(HMENU menu, const CommandQuery& query);
// Shows the first popup of a menu resource at a screen point, its items
// enabled as query says; the chosen command goes to target as WM_COMMAND.
void TrackCommandPopup(int menuId, POINT at, HWND target, const CommandQuery& query);
// Enables the command buttons of a toolbar.
void UpdateToolbarCommands(HWND toolbar, const CommandQuery& query);

// Command states follow the program's state once the message loop has
// nothing else to do, however many changes asked for it meanwhile: a
// thousand selection changes cost one update, not a thousand.
class IdleCommandUpdate {
public:
    explicit IdleCommandUpdate(std::function<void()> update) : update_(std::move(update)) {}
    void Request() { pending_ = true; }
    // Runs the update when one was asked for; true when it ran.
    bool OnIdle();

private:
    std::function<void()> update_;
    bool pending_ = false;
};

// GetMessageW that first calls idle when no message is waiting.
BOOL GetMessageAfterIdle(MSG& msg, const std::function<void()>& idle);

}  // namespace tandrel
