#include "dialogs/AboutDlg.h"

#include "dialogs/DialogSupport.h"
#include "framework/DialogFont.h"
#include "platform/Strings.h"
#include "resource_dialogs.h"

namespace tandrel {

CAboutDlg::CAboutDlg(std::wstring fileVersion) : Dialog(IDD_ABOUTBOX), fileVersion_(std::move(fileVersion)) {}

std::wstring CAboutDlg::VersionText(const std::wstring& fileVersion) {
    return LoadText(IDS_APP_TITLE) + L" Ver." + fileVersion + LoadText(IDS_BUILD_W2K);
}

void CAboutDlg::Show(HWND owner, const GlobalOptions& options) {
    UseDialogFontOf(options);
    RunDialogInUserFont(*this, owner);
}

bool CAboutDlg::OnInit() {
    SetItemText(IDC_ABOUT_TEXT, VersionText(fileVersion_));
    // The separator is an etched line: two pixels high, as wide as drawn.
    HWND separator = Item(IDC_ABOUT_SEPARATOR);
    RECT r{};
    GetWindowRect(separator, &r);
    SetWindowPos(separator, nullptr, 0, 0, r.right - r.left, 2, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

}  // namespace tandrel
