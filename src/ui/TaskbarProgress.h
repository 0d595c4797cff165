#pragma once
#include <windows.h>

#include "engine/RunProgress.h"

struct ITaskbarList3;

namespace tandrel {

// What the window's taskbar button shows of a run.
enum class TaskbarState { None, Normal, Indeterminate, Paused, Error };

// Paused while a box waits for the user, error once an error was counted,
// normal with a value once the time left can be told, else indeterminate.
TaskbarState TaskbarStateOf(bool running, bool waiting, const ProgressFigures& figures);

// The taskbar button's progress; silent where the shell offers none.
class TaskbarButton {
public:
    TaskbarButton() = default;
    ~TaskbarButton();
    TaskbarButton(const TaskbarButton&) = delete;
    TaskbarButton& operator=(const TaskbarButton&) = delete;

    void Show(HWND window, TaskbarState state, const ProgressFigures& figures);
    TaskbarState state() const { return state_; }

private:
    ITaskbarList3* list_ = nullptr;
    bool tried_ = false;
    bool comStarted_ = false;
    TaskbarState state_ = TaskbarState::None;
};

}  // namespace tandrel
