#pragma once
#include <string>
#include <vector>

#include "model/AppState.h"

namespace tandrel {

// One line of the list "更新終了後(&A):"; command is the index in the global
// command list, -1 for the five fixed actions.
struct AfterCompletionEntry {
    std::wstring text;
    int command = -1;
};

// The five fixed actions, then every visible global command with a program.
// A chosen command keeps its line when the list changes; one that is no
// longer listed falls back to "何もしない".
std::vector<AfterCompletionEntry> AfterCompletionEntries(AppState& options);
// Takes runMode as chosen: keeps it inside the list and derives commandIndex
// and afterAction. Returns the chosen command's program (the tool tip).
std::wstring ApplyAfterCompletion(AppState& options, const std::vector<AfterCompletionEntry>& entries);
// The menu toggles of "プログラム終了" (RunModeExit) and "シャットダウン".
bool AfterActionChecked(const AppState& options, int mode);
void ToggleAfterAction(AppState& options, int mode);

}  // namespace tandrel
