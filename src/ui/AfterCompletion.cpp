#include "ui/AfterCompletion.h"

#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource_ui.h"

namespace tandrel {

namespace {
// Command-list indices an after-completion command may have.
constexpr int kMaxAfterCommand = 99;

bool IsExitAction(int action) {
    return action == RunModeExit || action == RunModeHibernate || action == RunModeShutdown;
}
}  // namespace

std::vector<AfterCompletionEntry> AfterCompletionEntries(AppState& o) {
    std::vector<AfterCompletionEntry> entries;
    for (unsigned id : {IDS_AFTER_NOTHING, IDS_AFTER_MESSAGE, IDS_AFTER_EXIT, IDS_AFTER_HIBERNATE, IDS_AFTER_SHUTDOWN})
        entries.push_back({LoadText(id), -1});
    int chosenLine = -1;
    for (int k = 0; k < o.commands.Count(); ++k) {
        const CommandEntry& c = o.commands.At(k);
        if (c.path.empty() || !c.visible) continue;
        if (o.runMode >= RunModeCommand && k == o.commandIndex) chosenLine = static_cast<int>(entries.size());
        entries.push_back({c.name.empty() ? BaseNameOf(c.path) : c.name, k});
    }
    // Lines of commands move when the list changes: follow the command, and
    // never let another command take over its line.
    if (o.runMode >= RunModeCommand) o.runMode = chosenLine >= 0 ? chosenLine : RunModeNothing;
    return entries;
}

std::wstring ApplyAfterCompletion(AppState& o, const std::vector<AfterCompletionEntry>& entries) {
    if (o.runMode < 0 || o.runMode >= static_cast<int>(entries.size())) o.runMode = RunModeNothing;
    o.afterAction = 0;
    if (o.runMode < RunModeCommand) return {};
    o.commandIndex = entries[static_cast<size_t>(o.runMode)].command;
    if (o.commandIndex < 0 || o.commandIndex > kMaxAfterCommand || o.commandIndex >= o.commands.Count() ||
        o.commands.At(o.commandIndex).path.empty()) {
        o.runMode = RunModeNothing;
        return {};
    }
    const CommandEntry& command = o.commands.At(o.commandIndex);
    if (IsExitAction(command.action)) o.afterAction = command.action;
    return command.path;
}

bool AfterActionChecked(const AppState& o, int mode) {
    return o.runMode == mode || o.afterAction == mode;
}

void ToggleAfterAction(AppState& o, int mode) {
    o.runMode = o.runMode == mode ? RunModeNothing : mode;
}

}  // namespace tandrel
