#pragma once
#include <string>

#include "model/FolderSetting.h"

namespace tandrel {

// The setting a restore from the backup runs: the backup as its master and
// the master (or target, when given) as its backup, so the engine copies
// back what is missing or older there. Nothing of the setting may make it
// delete, rename or overwrite a newer file: no mirroring, no date folders,
// no history or recycle bin, no overwrite of newer files, no filters that
// narrow or delete, no commands, and the drives found by label trade sides.
FolderSetting RestoreWork(const FolderSetting& setting, const std::wstring& target);

}  // namespace tandrel
