#include "dialogs/SelectCommandDlg.h"

#include "framework/DialogFont.h"
#include "framework/PropertySheet.h"
#include "resource.h"

namespace tandrel {

CDlgSelectCommand::CDlgSelectCommand(const CommandList& commands)
    : Dialog(IDD_SELECT_COMMAND), commands_(commands) {}

const CommandEntry* CDlgSelectCommand::Choose(HWND owner) {
    chosen_ = -1;
    if (RunDialogWithFont(*this, owner, CBPropertySheet::FontFace(), CBPropertySheet::FontSize()) != IDOK) {
        return nullptr;
    }
    return chosen_ >= 0 && chosen_ < commands_.Count() ? &commands_.At(chosen_) : nullptr;
}

bool CDlgSelectCommand::OnInit() {
    for (const CommandEntry& e : commands_.Entries()) {
        SendDlgItemMessageW(Handle(), IDC_SELECT_LIST, LB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(e.DisplayName().c_str()));
    }
    SendDlgItemMessageW(Handle(), IDC_SELECT_LIST, LB_SETCURSEL, 0, 0);
    return true;
}

bool CDlgSelectCommand::OnCommand(int id, int code) {
    if (id == IDOK || (id == IDC_SELECT_LIST && code == LBN_DBLCLK)) {
        chosen_ = static_cast<int>(SendDlgItemMessageW(Handle(), IDC_SELECT_LIST, LB_GETCURSEL, 0, 0));
        End(IDOK);
        return true;
    }
    return Dialog::OnCommand(id, code);
}

}  // namespace tandrel
