#pragma once
#include <string>

#include "model/GlobalOptions.h"

namespace tandrel {

// The settings file for a name and extension: the program's own base name
// and ".ini" when they are empty, in the program's folder unless the name is
// absolute, without a second extension. Also sets options.exeDirectory.
std::wstring ResolveIniPath(GlobalOptions& options, const std::wstring& name, const std::wstring& extension);

}  // namespace tandrel
