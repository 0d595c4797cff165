#pragma once
#include <string>

#include "model/GlobalOptions.h"

namespace tandrel {

// The version a settings file without IniVersion counts as.
constexpr const wchar_t* kUnversionedIni = L"0.350";
constexpr const wchar_t* kDefaultRegistryKey = L"Software\\ORRELIN\\Tandrel Unicode";

// The application's state: its stored options and what the process knows
// of itself, of its settings store and of this run, which is never stored.
// Code that needs only the options takes a GlobalOptions.
struct AppState : GlobalOptions {
    std::wstring exeDirectory;
    std::wstring programVersion;
    // Registry profile root under HKEY_CURRENT_USER (tests point it elsewhere).
    std::wstring registryKey = kDefaultRegistryKey;
    bool registryAllowed = false;
    bool loaded = false;
    // The settings file exists but could not be read when it was needed (at
    // start, or for a project's settings later; the system's error code):
    // nothing is written to it while the program runs.
    unsigned long settingsReadError = 0;
    // The settings file could not be written (the system's error code): the
    // user has been told once, and nothing more is written to it this run.
    unsigned long settingsWriteError = 0;
    // The settings file (its path) that was there when it was read or last
    // written: missing at a save, it was taken away meanwhile and is not
    // made anew.
    std::wstring settingsFileSeen;
    bool autoStart = false;
    bool startIconic = false;
    bool noSave = false;
    int exitCode = 0;
    bool powerActionAtExit = false;
    int runMode = RunModeNothing;
    int afterAction = 0;
    int commandIndex = 0;
    bool oldTargetSetting = false;
    bool iniForced = false;
    bool dirtyOrder = false;

    // The state at program start, before anything is read. An empty version
    // counts as the oldest versioned file.
    void Reset(const std::wstring& version);
    // Copies the given groups of options from other, and what describes the
    // program rather than its settings: whether they were loaded, the
    // program's folder and the registry key.
    void CopyFrom(const AppState& other, unsigned groups);
    using GlobalOptions::CopyFrom;
};

}  // namespace tandrel
