#include "model/AppState.h"

namespace tandrel {

void AppState::Reset(const std::wstring& version) {
    // Keep what describes the program itself rather than its settings.
    const std::wstring exeDir = exeDirectory;
    const std::wstring ini = iniPath;
    const std::wstring key = registryKey;
    *this = AppState{};
    programVersion = version.empty() ? std::wstring(kUnversionedIni) : version;
    IniVersion = programVersion;
    exeDirectory = exeDir;
    iniPath = ini;
    registryKey = key;
}

void AppState::CopyFrom(const AppState& o, unsigned groups) {
    if (this == &o) return;
    GlobalOptions::CopyFrom(o, groups);
    loaded = o.loaded;
    exeDirectory = o.exeDirectory;
    registryKey = o.registryKey;
}

}  // namespace tandrel
