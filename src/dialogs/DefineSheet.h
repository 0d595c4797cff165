#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "model/CommandList.h"
#include "model/FolderSetting.h"
#include "dialogs/TargetDialogs.h"
#include "model/AppState.h"

namespace tandrel {

// The help service: topic and anchor of the page shown.
using HelpRequest = std::function<void(int topic, int anchor)>;

// Shows the folder-setting sheet for the setting, in the user's dialog font
// and at the size it had last time. On OK the setting takes the edits (its
// run status cleared), both commands are stored in the project's command list
// (a new command gets a new id) and the sheet's size goes to the options;
// with isNew the "created" message follows. On Cancel nothing changes. The
// target page asks its patterns through prompts (the real dialogs are
// TargetPrompts::Dialogs()).
bool EditFolderSetting(HWND owner, AppState& options, FolderSetting& setting, CommandList& commands,
                       bool isNew, const TargetPrompts& prompts, const HelpRequest& help = {});

}  // namespace tandrel
