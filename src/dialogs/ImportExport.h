#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "model/AppState.h"
#include "settings/SettingsStore.h"

namespace tandrel {

// What the import and export commands need from the main window.
struct TransferHooks {
    // Shows a status text; null returns the status line to its idle text.
    std::function<void(const wchar_t* text)> status;
    // Runs after an import reached the store (done or failed), before its
    // message box.
    std::function<void(ImportResult result)> imported;
    // Asked once the file is picked and every question answered, before
    // anything is written: false leaves the settings as they are.
    std::function<bool()> mayImport;
    // Asks for the file; PickFile in the program folder when empty.
    std::function<bool(HWND owner, std::wstring& path, bool save)> pickFile;
};

// Replaces every folder setting with those of an INI file the user picks,
// after asking; a newer file version is asked about too. True when the
// settings were replaced.
bool ImportFolderSettings(HWND owner, AppState& options, const TransferHooks& hooks);
// Writes every folder setting into an INI file the user picks.
bool ExportFolderSettings(HWND owner, const AppState& options, const TransferHooks& hooks);

}  // namespace tandrel
