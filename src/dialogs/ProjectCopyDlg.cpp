#include "dialogs/ProjectCopyDlg.h"

#include <algorithm>

#include "framework/DataExchange.h"
#include "framework/DialogFont.h"
#include "platform/Messages.h"
#include "platform/Strings.h"
#include "resource_dialogs.h"

namespace tandrel {

CDlgProjectCopy::CDlgProjectCopy(ProjectCollection& projects, int source)
    : Dialog(IDD_PROJECT_COPY), projects_(projects), source_(source) {}

int CDlgProjectCopy::Run(HWND owner, const std::wstring& face, int pointSize) {
    destination_ = -1;
    return RunDialogWithFont(*this, owner, face, pointSize) == IDOK ? destination_ : -1;
}

bool CDlgProjectCopy::OnInit() {
    const std::wstring format = LoadText(IDS_PROJECT_DISPLAY);
    SetItemText(IDC_PC_SOURCE, projects_.DisplayText(source_, format));
    for (int p = 0; p < projects_.Count(); ++p) AddComboItem(Handle(), IDC_PC_DEST, projects_.DisplayText(p, format));
    SetComboIndex(Handle(), IDC_PC_DEST, std::min(source_ + 1, projects_.Count() - 1));
    SetRadio(Handle(), IDC_PC_OVERWRITE, IDC_PC_APPEND, 0);
    return true;
}

bool CDlgProjectCopy::OnCommand(int id, int code) {
    if (id != IDOK) return Dialog::OnCommand(id, code);
    const int destination = GetComboIndex(Handle(), IDC_PC_DEST);
    if (destination == source_) {
        ShowMessageIds(Handle(), IDS_COPY_SAME, IDS_PROJECT_COPY, MB_ICONSTOP);
        return true;
    }
    if (!projects_.Copy(destination, source_, GetRadio(Handle(), IDC_PC_OVERWRITE, IDC_PC_APPEND) == 1)) return true;
    ShowMessageIds(Handle(), IDS_PROJECT_COPIED, IDS_PROJECT_COPY, MB_ICONINFORMATION);
    destination_ = destination;
    End(IDOK);
    return true;
}

}  // namespace tandrel
