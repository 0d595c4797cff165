#include "dialogs/ProjectNameDlg.h"

#include "framework/DataExchange.h"
#include "framework/DialogFont.h"
#include "resource_dialogs.h"

namespace tandrel {

CDlgProjectName::CDlgProjectName(std::wstring name, std::wstring caption)
    : Dialog(IDD_PROJECT_NAME), name_(std::move(name)), caption_(std::move(caption)) {}

bool CDlgProjectName::Ask(HWND owner, const std::wstring& face, int pointSize) {
    return RunDialogWithFont(*this, owner, face, pointSize) == IDOK;
}

bool CDlgProjectName::OnInit() {
    if (!caption_.empty()) SetWindowTextW(Handle(), caption_.c_str());
    SendDlgItemMessageW(Handle(), IDC_PN_NAME, EM_LIMITTEXT, kMaxName, 0);
    SetText(Handle(), IDC_PN_NAME, name_);
    SetFocus(Item(IDC_PN_NAME));
    SendDlgItemMessageW(Handle(), IDC_PN_NAME, EM_SETSEL, 0, -1);
    // The focus is set here, so the system must not move it.
    return false;
}

bool CDlgProjectName::OnCommand(int id, int code) {
    if (id == IDOK) name_ = GetText(Handle(), IDC_PN_NAME);
    return Dialog::OnCommand(id, code);
}

}  // namespace tandrel
