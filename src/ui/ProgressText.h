#pragma once
#include <string>

#include "engine/RunProgress.h"

namespace tandrel {

// The progress pane's line: 「設定 2/5　作成 3 (12)　更新 …　1.50 MB　0:42　残り 1:10」.
// The counts are the setting's, the batch's in parentheses when the batch
// runs more than one setting; the time is the batch's.
std::wstring ProgressLine(const ProgressFigures& figures);

}  // namespace tandrel
