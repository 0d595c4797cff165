#include "dialogs/TargetDialogs.h"

#include <algorithm>

#include "dialogs/DialogSupport.h"
#include "framework/DataExchange.h"
#include "framework/DialogFont.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/Pickers.h"
#include "platform/Strings.h"
#include "resource_dialogs.h"

namespace tandrel {

TargetPrompts TargetPrompts::Dialogs() {
    return {PromptTargetFolder, PromptTargetFile};
}

CTargetPatternDlg::CTargetPatternDlg(int templateId, const std::wstring& master, std::wstring pattern)
    : Dialog(templateId), master_(ExpandEnvironment(master)), pattern_(std::move(pattern)) {}

bool CTargetPatternDlg::Ask(HWND owner) {
    return RunDialogInUserFont(*this, owner) == IDOK;
}

bool CTargetPatternDlg::OnInit() {
    SetItemText(IDC_TARGET_PATTERN, pattern_);
    // An unchanged pattern is nothing to confirm.
    EnableWindow(Item(IDOK), FALSE);
    HWND edit = Item(IDC_TARGET_PATTERN);
    AcceptDrops(edit, [this, edit](const std::vector<std::wstring>& paths) {
        if (paths.empty()) return;
        const std::wstring text = FromPath(paths[0]);
        if (!text.empty()) SetWindowTextW(edit, text.c_str());
    });
    return true;
}

bool CTargetPatternDlg::OnCommand(int id, int code) {
    switch (id) {
        case IDC_TARGET_PATTERN:
            if (code == EN_CHANGE) EnableWindow(Item(IDOK), GetWindowTextLengthW(Item(IDC_TARGET_PATTERN)) > 0);
            return true;
        case IDC_TARGET_BROWSE: {
            std::wstring path;
            // The choice replaces the pattern even when it gives none.
            if (code == BN_CLICKED && Browse(path)) SetItemText(IDC_TARGET_PATTERN, FromPath(path));
            return true;
        }
        case IDOK:
            // Enter reaches here even while the button is disabled: an empty
            // or unchanged pattern is nothing to confirm.
            if (!IsWindowEnabled(Item(IDOK))) return true;
            pattern_ = GetText(Handle(), IDC_TARGET_PATTERN);
            if (pattern_.empty()) return true;
            OnOk();
            End(IDOK);
            return true;
        default:
            return Dialog::OnCommand(id, code);
    }
}

CTargetFolderDlg::CTargetFolderDlg(const std::wstring& master, bool processMode, const std::wstring& pattern)
    : CTargetPatternDlg(IDD_TARGET_FOLDER, master, pattern), processMode_(processMode) {}

bool CTargetFolderDlg::OnInit() {
    CTargetPatternDlg::OnInit();
    HWND h = Handle();
    if (processMode_) {
        SetText(h, IDC_TARGET_NOTE, GetText(h, IDC_TARGET_NOTE) + LoadText(IDS_TARGET_PROCESS_NOTE));
        SetCheck(h, IDC_TARGET_ADD_PARENTS, true);
    } else {
        ShowWindow(Item(IDC_TARGET_ADD_PARENTS), SW_HIDE);
        ShowWindow(Item(IDC_TARGET_ADD_SUBFOLDERS), SW_HIDE);
    }
    return true;
}

std::wstring CTargetFolderDlg::FromPath(const std::wstring& path) const { return TargetFolderPattern(path, master_); }

bool CTargetFolderDlg::Browse(std::wstring& path) {
    path = TargetBrowseStart(master_, GetText(Handle(), IDC_TARGET_PATTERN));
    return PickFolder(Handle(), path, IDS_PICK_TARGET_FOLDERS);
}

void CTargetFolderDlg::OnOk() {
    // Hidden boxes add nothing.
    addParents_ = processMode_ && GetCheck(Handle(), IDC_TARGET_ADD_PARENTS);
    addSubfolders_ = processMode_ && GetCheck(Handle(), IDC_TARGET_ADD_SUBFOLDERS);
}

CTargetFileDlg::CTargetFileDlg(const std::wstring& master, const std::wstring& pattern)
    : CTargetPatternDlg(IDD_TARGET_FILE, master, pattern) {}

std::wstring CTargetFileDlg::FromPath(const std::wstring& path) const {
    return ListEntryFor(ConvertDroppedPath(path, DropForm::FileNameOnly));
}

bool CTargetFileDlg::Browse(std::wstring& path) {
    path = GetText(Handle(), IDC_TARGET_PATTERN);
    return PickFile(Handle(), path, master_, IDS_PICK_TARGET_FILES, IDS_PICK_ALL_FILTER, IDS_PICK_ALL_EXT, false);
}

std::wstring TargetBrowseStart(const std::wstring& master, const std::wstring& pattern) {
    std::wstring base = master;
    while (!base.empty() && base.back() == L'\\') base.pop_back();
    if (!base.empty() && !pattern.empty() && IsDirectory(base + L"\\" + pattern)) return base + L"\\" + pattern;
    return master;
}

std::wstring TargetFolderPattern(const std::wstring& path, const std::wstring& master) {
    return ListEntryFor(ConvertDroppedPath(path, DropForm::FolderOnly, master, true));
}

bool PromptTargetFolder(HWND owner, const std::wstring& master, bool processMode, TargetFolderChoice& choice) {
    CTargetFolderDlg dialog(master, processMode, choice.pattern);
    if (!dialog.Ask(owner)) return false;
    choice.pattern = dialog.Pattern();
    choice.addParents = dialog.AddParents();
    choice.addSubfolders = dialog.AddSubfolders();
    return true;
}

bool PromptTargetFile(HWND owner, const std::wstring& master, std::wstring& pattern) {
    CTargetFileDlg dialog(master, pattern);
    if (!dialog.Ask(owner)) return false;
    pattern = dialog.Pattern();
    return true;
}

}  // namespace tandrel
