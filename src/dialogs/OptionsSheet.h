#pragma once
#include <windows.h>

#include <functional>

#include "dialogs/DefineSheet.h"
#include "model/AppState.h"

namespace tandrel {

// Called after edited options were taken over and stored, by OK or by Apply;
// storageMoved when the folder settings now live in the other store.
using OptionsApplied = std::function<void(bool storageMoved)>;

// Shows the options sheet on a copy of the options, in the user's dialog
// font. OK and Apply take the copy over (TakeOverOptions); an Apply that
// changed the dialog font reopens the sheet on the same page so the font
// shows. True when options were taken over, also by an Apply before Cancel.
// mayTakeOver is asked after OK closed the sheet: false drops the edits.
bool EditOptions(HWND owner, AppState& options, const HelpRequest& help = {},
                 const OptionsApplied& applied = {}, const std::function<bool()>& mayTakeOver = {});

// Copies what the sheet edits from edited into options and stores it; when
// the registry is allowed and toRegistry differs from the store in use, the
// folder settings move to the other store first. False when a write failed.
bool TakeOverOptions(AppState& options, const GlobalOptions& edited, bool toRegistry, bool& storageMoved);

}  // namespace tandrel
