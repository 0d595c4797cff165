#pragma once
#include <functional>
#include <string>

#include "model/AppState.h"

namespace tandrel {

// The settings file for a name and extension: the program's own base name
// and ".ini" when they are empty, in the program's folder unless the name is
// absolute, without a second extension, as a normalised full path. Also sets
// options.exeDirectory.
std::wstring ResolveIniPath(AppState& options, const std::wstring& name, const std::wstring& extension);

// The full, long, case-folded name of a settings file: one text for every
// spelling of the same file.
std::wstring SettingsFileIdentity(const std::wstring& iniPath);

// Settles INI file or registry at start. On the very first run (no settings
// file, no stored choice) asks whether to go on; false (with noSave set)
// when the user declines, and the program is to end without writing
// anything. A settings file that is there but cannot be read is no first
// run: it sets settingsReadError instead.
bool ChooseStorage(AppState& options);

// Loads the settings from where ChooseStorage settled them. A settings file
// in the ANSI code page, or the file named by oldIniPath, is first converted
// into a fresh UTF-16 settings file; a current file in another encoding
// (UTF-8, UTF-16 big-endian or without its mark) is written back as UTF-16
// with every line kept. A file that is replaced is kept as a dated ".bak"
// copy beside it, and nothing is replaced when that copy cannot be made.
// Nothing is converted from, or written into, a file that could not be read.
void OpenSettings(AppState& options);

// Tells the user, once, that the settings file could not be read and that
// changes made now will not be saved.
void ReportUnreadSettings(const AppState& options);

// Moves the settings to the other store when the user changed the choice
// and the registry is allowed. applySheetValues puts the options sheet's
// values into options; they are saved to the store being left, then every
// project's folder settings, the options, layout and project list are
// written into the new store in one batch, and only then is the choice
// recorded.
bool SwitchStorage(AppState& options, bool toRegistry, const std::function<void()>& applySheetValues = {});

}  // namespace tandrel
