#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "model/CommandList.h"
#include "model/FolderSetting.h"
#include "model/GlobalOptions.h"

namespace tandrel {

// What the target folder dialog answers: the pattern and its two boxes.
struct TargetFolderChoice {
    std::wstring pattern;
    bool addParents = false;
    bool addSubfolders = false;
};
// The target folder dialog: choice.pattern comes in (empty when adding) and
// goes out; processMode is true when adding to a "処理対象" list.
using TargetFolderPrompt =
    std::function<bool(HWND owner, const std::wstring& master, bool processMode, TargetFolderChoice& choice)>;
// The target file dialog: the pattern in and out.
using TargetFilePrompt = std::function<bool(HWND owner, const std::wstring& master, std::wstring& pattern)>;
// Installs the dialogs the target page asks for its patterns; without them
// its add and edit buttons do nothing.
void SetTargetPrompts(TargetFolderPrompt folder, TargetFilePrompt file);

// The help service: topic and anchor of the page shown.
using HelpRequest = std::function<void(int topic, int anchor)>;

// Shows the folder-setting sheet for the setting, in the user's dialog font
// and at the size it had last time. On OK the setting takes the edits (its
// run status cleared), both commands are stored in the project's command list
// (a new command gets a new id) and the sheet's size goes to the options;
// with isNew the "created" message follows. On Cancel nothing changes.
bool EditFolderSetting(HWND owner, GlobalOptions& options, FolderSetting& setting, CommandList& commands,
                       bool isNew, const HelpRequest& help = {});

}  // namespace tandrel
