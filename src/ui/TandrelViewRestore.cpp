// The restore of a setting from its backup: where to, then the runs.
#include "platform/Messages.h"
#include "platform/Strings.h"
#include "resource_ui.h"
#include "ui/TandrelView.h"

namespace tandrel {

void CTandrelView::RestoreFromBackup() {
    const std::vector<int> rows = Selected();
    if (rows.size() != 1 || Busy()) return;
    const FolderSetting& setting = settings_[static_cast<size_t>(rows[0])];
    // Which date folder to take back is the user's call, not ours.
    if (setting.MakeDateDir) {
        ShowMessageIds(FrameHandle(), IDS_RESTORE_DATE_FOLDERS, IDS_RESTORE_CAPTION, MB_ICONEXCLAMATION);
        return;
    }
    const int answer = ShowMessageFormat(FrameHandle(), IDS_RESTORE_WHERE, IDS_RESTORE_CAPTION,
                                         MB_YESNOCANCEL | MB_ICONQUESTION, setting.Name, &setting.Master);
    std::wstring target;
    if (answer == IDNO) {
        target = setting.Master;
        if (!pickFolder(FrameHandle(), target, IDS_RESTORE_PICK) || target.empty()) return;
    } else if (answer != IDYES) {
        return;
    }
    runs_.StartRestore(rows[0], target);
}

}  // namespace tandrel
