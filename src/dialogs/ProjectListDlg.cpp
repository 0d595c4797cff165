#include "dialogs/ProjectListDlg.h"

#include <algorithm>

#include "dialogs/ProjectCopyDlg.h"
#include "dialogs/ProjectNameDlg.h"
#include "framework/DialogFont.h"
#include "platform/Messages.h"
#include "platform/Strings.h"
#include "resource_dialogs.h"

namespace tandrel {

namespace {

constexpr int kSelectionButtons[] = {IDC_PL_RENAME, IDC_PL_UP, IDC_PL_DOWN, IDC_PL_DELETE, IDC_PL_COPY};

}  // namespace

CDlgProjectList::CDlgProjectList(EditedProjects& edited, int active, std::wstring face, int pointSize)
    : Dialog(IDD_PROJECT_LIST), edited_(edited), active_(active), face_(std::move(face)), pointSize_(pointSize) {}

bool CDlgProjectList::Run(HWND owner) {
    return RunDialogWithFont(*this, owner, face_, pointSize_) == IDOK;
}

bool CDlgProjectList::OnInit() {
    const int active = std::clamp(active_, 0, std::max(Count() - 1, 0));
    Rebuild({active}, active);
    return true;
}

bool CDlgProjectList::OnCommand(int id, int code) {
    switch (id) {
        case IDC_PL_LIST:
            if (code == LBN_DBLCLK && !Selection().empty()) Rename();
            if (code == LBN_SELCHANGE) EnableButtons();
            return true;
        case IDC_PL_RENAME: Rename(); return true;
        case IDC_PL_ADD: Add(); return true;
        case IDC_PL_DELETE: Delete(); return true;
        case IDC_PL_CLEAR: Clear(); return true;
        case IDC_PL_UP: Move(-1); return true;
        case IDC_PL_DOWN: Move(1); return true;
        case IDC_PL_COPY: Copy(); return true;
        default: return Dialog::OnCommand(id, code);
    }
}

std::vector<int> CDlgProjectList::Selection() const {
    HWND list = Item(IDC_PL_LIST);
    const int count = static_cast<int>(SendMessageW(list, LB_GETSELCOUNT, 0, 0));
    if (count <= 0) return {};
    std::vector<int> rows(static_cast<size_t>(count));
    const int got = static_cast<int>(SendMessageW(list, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(rows.data())));
    rows.resize(static_cast<size_t>(std::max(got, 0)));
    std::sort(rows.begin(), rows.end());
    return rows;
}

int CDlgProjectList::Caret() const {
    const int caret = static_cast<int>(SendDlgItemMessageW(Handle(), IDC_PL_LIST, LB_GETCARETINDEX, 0, 0));
    return caret >= 0 && caret < Count() ? caret : -1;
}

std::vector<int> CDlgProjectList::Targets() const {
    std::vector<int> rows = Selection();
    if (rows.empty() && Caret() >= 0) rows.push_back(Caret());
    return rows;
}

int CDlgProjectList::SingleRow() {
    const int caret = Caret();
    if (caret >= 0) Rebuild({caret}, caret);
    return caret;
}

void CDlgProjectList::Rebuild(std::vector<int> selected, int caret) {
    HWND list = Item(IDC_PL_LIST);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    const std::wstring format = LoadText(IDS_PROJECT_DISPLAY);
    for (int p = 0; p < Count(); ++p) {
        const std::wstring text = edited_.projects.DisplayText(p, format);
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    std::erase_if(selected, [this](int row) { return row < 0 || row >= Count(); });
    caret = std::clamp(caret, 0, std::max(Count() - 1, 0));
    if (selected.empty() && Count() > 0) selected.push_back(caret);
    for (int row : selected) SendMessageW(list, LB_SETSEL, TRUE, row);
    if (Count() > 0) SendMessageW(list, LB_SETCARETINDEX, caret, FALSE);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    EnableButtons();
}

void CDlgProjectList::EnableButtons() {
    const bool any = !Selection().empty();
    for (int id : kSelectionButtons) EnableWindow(Item(id), any);
}

void CDlgProjectList::Rename() {
    const int row = SingleRow();
    if (row < 0) return;
    CDlgProjectName dialog(edited_.projects.Name(row));
    if (!dialog.Ask(Handle(), face_, pointSize_)) return;
    edited_.projects.Rename(row, dialog.Name());
    Rebuild({row}, row);
}

void CDlgProjectList::Add() {
    const std::wstring caption = LoadText(IDS_PROJECT_ADD);
    if (edited_.projects.Full()) {
        ShowMessage(Handle(), LoadText(IDS_PROJECT_LIMIT), caption, MB_ICONEXCLAMATION);
        return;
    }
    CDlgProjectName dialog(L"", caption);
    if (!dialog.Ask(Handle(), face_, pointSize_)) return;
    const std::vector<int> selected = Selection();
    edited_.projects.Add(dialog.Name());
    Rebuild(selected, Count() - 1);
}

void CDlgProjectList::Delete() {
    const std::vector<int> rows = Targets();
    if (rows.empty()) return;
    if (ShowMessageIds(Handle(), IDS_PROJECT_DELETE_ASK, IDS_PROJECT_DELETE, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    const std::vector<int> selected = Selection();
    const int caret = RemoveProjects(edited_.projects, rows);
    Rebuild(selected, caret);
}

void CDlgProjectList::Clear() {
    const std::vector<int> rows = Targets();
    if (rows.empty()) return;
    if (ShowMessageIds(Handle(), IDS_PROJECT_CLEAR_ASK, IDS_PROJECT_CLEAR, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    for (int row : rows) edited_.projects.Clear(row);
    Rebuild(rows, Caret());
}

void CDlgProjectList::Move(int step) {
    const std::vector<int> rows = Targets();
    if (rows.empty()) return;
    int caret = Caret();
    const std::vector<int> moved = MoveProjects(edited_.projects, rows, step);
    // The caret follows its project when that one moved.
    const auto at = std::find(rows.begin(), rows.end(), caret);
    if (at != rows.end()) caret = moved[static_cast<size_t>(at - rows.begin())];
    Rebuild(moved, caret);
}

void CDlgProjectList::Copy() {
    const int row = SingleRow();
    if (row < 0) return;
    const int destination = CDlgProjectCopy(edited_.projects, row).Run(Handle(), face_, pointSize_);
    if (destination >= 0) Rebuild({row}, destination);
}

bool EditProjectList(HWND owner, AppState& options) {
    // Reading and writing every project can take seconds.
    const HCURSOR arrow = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    EditedProjects edited = ReadProjectsForEditing(options);
    SetCursor(arrow);
    const FontSlot& font = options.fonts[FontDialog];
    CDlgProjectList dialog(edited, options.ActiveProject, font.face, font.face.empty() ? 0 : (font.size + 5) / 10);
    if (!dialog.Run(owner)) return false;
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    const bool saved = CommitProjectList(options, std::move(edited));
    SetCursor(previous);
    if (!saved) ShowMessageIds(owner, IDS_PROJECT_LIST_NOT_SAVED, IDS_PROJECT_LIST_EDIT, MB_ICONHAND);
    return true;
}

}  // namespace tandrel
