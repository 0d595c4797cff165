#include "dialogs/SelectCommandDlg.h"

#include <algorithm>

#include "dialogs/OptPages.h"
#include "framework/DataExchange.h"
#include "framework/DialogFont.h"
#include "platform/Strings.h"
#include "resource_dialogs.h"

namespace tandrel {

CDlgSelectCommand::CDlgSelectCommand(const CommandList& commands)
    : Dialog(IDD_SELECT_COMMAND), commands_(commands) {}

const CommandEntry* CDlgSelectCommand::Choose(HWND owner) {
    chosen_ = -1;
    if (RunDialogInUserFont(*this, owner) != IDOK) return nullptr;
    return chosen_ >= 0 && chosen_ < commands_.Count() ? &commands_.At(chosen_) : nullptr;
}

int CDlgSelectCommand::Selected() const {
    const int i = static_cast<int>(SendDlgItemMessageW(Handle(), IDC_SELECT_LIST, LB_GETCURSEL, 0, 0));
    return i >= 0 && i < commands_.Count() ? i : -1;
}

bool CDlgSelectCommand::OnInit() {
    HWND h = Handle();
    for (int i = 0; i < commands_.Count(); ++i) {
        SendDlgItemMessageW(h, IDC_SELECT_LIST, LB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(command_list_edit::Line(commands_, i).c_str()));
    }
    for (unsigned text : {IDS_WINDOW_NORMAL, IDS_WINDOW_MINIMIZED, IDS_WINDOW_MAXIMIZED, IDS_WINDOW_HIDDEN}) {
        AddComboItem(h, IDC_SELECT_WINDOW, LoadText(text));
    }
    EnableWindow(Item(IDC_SELECT_WINDOW), FALSE);
    SendDlgItemMessageW(h, IDC_SELECT_LIST, LB_SETCURSEL, 0, 0);
    ShowEntry();
    return true;
}

void CDlgSelectCommand::ShowEntry() {
    HWND h = Handle();
    const int i = Selected();
    const CommandEntry shown = i >= 0 ? commands_.At(i) : CommandEntry{};
    SetText(h, IDC_SELECT_NAME, shown.name);
    SetText(h, IDC_SELECT_PATH, shown.path);
    SetText(h, IDC_SELECT_PARAM, shown.param);
    SetComboIndex(h, IDC_SELECT_WINDOW, i >= 0 ? std::clamp(shown.window, 0, 3) : -1);
}

bool CDlgSelectCommand::OnCommand(int id, int code) {
    if (id == IDC_SELECT_LIST && code == LBN_SELCHANGE) {
        ShowEntry();
        return true;
    }
    if (id == IDOK || (id == IDC_SELECT_LIST && code == LBN_DBLCLK)) {
        chosen_ = Selected();
        End(IDOK);
        return true;
    }
    return Dialog::OnCommand(id, code);
}

}  // namespace tandrel
