#pragma once
#include <string>
#include <vector>

#include "model/AppState.h"

namespace tandrel {

struct CommandLineResult {
    // The name given by "ini=" (empty when none or empty).
    std::wstring iniName;
    // No "ini=" was given: the title carries no file name.
    bool defaultIniName = true;
};

// Applies the switches of the arguments (the program itself not included)
// to the start-up state. Unknown arguments are ignored.
CommandLineResult ParseCommandLine(const std::vector<std::wstring>& args, AppState& options);

// The arguments of the process's command line, without the program.
std::vector<std::wstring> ProcessArguments();

}  // namespace tandrel
