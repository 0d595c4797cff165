#include "dialogs/HistoryRestoreDlg.h"

#include <commctrl.h>

#include "engine/TargetFilter.h"
#include "framework/Background.h"
#include "framework/DataExchange.h"
#include "framework/DialogFont.h"
#include "framework/ListView.h"
#include "platform/Figures.h"
#include "platform/Messages.h"
#include "platform/Pickers.h"
#include "platform/Strings.h"
#include "resource_dialogs.h"

namespace tandrel {

namespace {

// "YYYY-MM-DD hhmmss[ n]" as a date and time to read.
std::wstring RunText(const std::wstring& name) {
    if (name.size() < 17) return name;
    return name.substr(0, 13) + L":" + name.substr(13, 2) + L":" + name.substr(15);
}

void Columns(HWND list, const std::vector<std::pair<unsigned, int>>& columns) {
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    int index = 0;
    for (const auto& [text, width] : columns) {
        listview::AddColumn(list, index, LoadText(text), width, index == 0 ? LVCFMT_LEFT : LVCFMT_RIGHT);
        ++index;
    }
}

}  // namespace

CDlgHistoryRestore::CDlgHistoryRestore(std::wstring history)
    : Dialog(IDD_HISTORY_RESTORE), history_(std::move(history)) {}

bool CDlgHistoryRestore::Choose(HWND owner, HistoryRestore& choice) {
    if (RunDialogInUserFont(*this, owner) != IDOK) return false;
    choice = chosen_;
    return true;
}

bool CDlgHistoryRestore::OnInit() {
    Columns(Item(IDC_HR_RUNS), {{IDS_HR_COLUMN_RUN, 220}, {IDS_HR_COLUMN_COUNT, 90}, {IDS_HR_COLUMN_SIZE, 120}});
    Columns(Item(IDC_HR_FILES), {{IDS_HR_COLUMN_PATH, 250}, {IDS_HR_COLUMN_KIND, 60}, {IDS_HR_COLUMN_SIZE, 80},
                                 {IDS_HR_COLUMN_TIME, 140}});
    SetRadio(Handle(), IDC_HR_TO_MASTER, IDC_HR_TO_FOLDER, 0);
    EnableTarget();
    SetItemText(IDC_HR_STATUS, LoadText(IDS_HR_READING));
    EnableWindow(Item(IDC_HR_RESTORE_FILES), FALSE);
    EnableWindow(Item(IDC_HR_RESTORE_RUN), FALSE);
    // The history may lie on a slow share: the window is not held for it.
    PostWhenDone<Read>(Handle(), kRead, 0, [history = history_] {
        Read read;
        read.runs = ReadHistory(history, read.ok);
        return read;
    });
    return true;
}

INT_PTR CDlgHistoryRestore::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRead) {
        ShowRuns(TakePosted<Read>(lParam));
        return TRUE;
    }
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_HR_RUNS && header->code == LVN_ITEMCHANGED &&
            (reinterpret_cast<const NMLISTVIEW*>(lParam)->uChanged & LVIF_STATE)) {
            ShowFiles();
        }
        return FALSE;
    }
    return Dialog::HandleMessage(message, wParam, lParam);
}

void CDlgHistoryRestore::ShowRuns(std::unique_ptr<Read> read) {
    read_ = std::move(read);
    HWND list = Item(IDC_HR_RUNS);
    for (size_t i = 0; i < read_->runs.size(); ++i) {
        const HistoryRunContents& run = read_->runs[i];
        const int row = listview::InsertRow(list, static_cast<int>(i), RunText(run.run.name));
        listview::SetText(list, row, 1, std::to_wstring(run.entries.size()));
        listview::SetText(list, row, 2, ByteSizeText(run.bytes));
    }
    EnableWindow(Item(IDC_HR_RESTORE_RUN), !read_->runs.empty());
    if (!read_->runs.empty()) {
        listview::SetSelected(list, 0, true);
        listview::SetFocused(list, 0);
    }
    ShowFiles();
}

const HistoryRunContents* CDlgHistoryRestore::SelectedRun() const {
    if (!read_) return nullptr;
    const std::vector<int> rows = listview::SelectedRows(Item(IDC_HR_RUNS));
    if (rows.empty() || static_cast<size_t>(rows[0]) >= read_->runs.size()) return nullptr;
    return &read_->runs[static_cast<size_t>(rows[0])];
}

void CDlgHistoryRestore::ShowFiles() {
    if (!read_) return;
    HWND list = Item(IDC_HR_FILES);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list);
    shown_.clear();
    const HistoryRunContents* run = SelectedRun();
    // Names only, as the target lists match them: a plain word is found
    // anywhere in the name, wildcards are taken as they are.
    const std::wstring typed = GetText(Handle(), IDC_HR_FILTER);
    TargetMatcher matcher;
    const bool filtered = typed.find_first_not_of(L" ;") != std::wstring::npos &&
                          BuildFileList(matcher, typed.find_first_of(L"*?") == std::wstring::npos
                                                     ? L"*" + typed + L"*"
                                                     : typed);
    if (run) {
        for (const HistoryEntry& entry : run->entries) {
            if (filtered && MatchFile(matcher, entry.path, ListMode::Include) != FilterOutcome::Target) continue;
            const int row = listview::InsertRow(list, static_cast<int>(shown_.size()), entry.path);
            listview::SetText(list, row, 1, LoadText(entry.overwritten ? IDS_HR_OVERWRITTEN : IDS_HR_DELETED));
            listview::SetText(list, row, 2, ByteSizeText(entry.size));
            listview::SetText(list, row, 3, entry.time);
            shown_.push_back(&entry);
        }
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    EnableWindow(Item(IDC_HR_RESTORE_FILES), !shown_.empty());
    std::wstring status;
    if (!read_->ok) {
        status = Format(LoadText(IDS_HR_UNREADABLE).c_str(), history_.c_str());
    } else if (read_->runs.empty()) {
        status = Format(LoadText(IDS_HR_EMPTY).c_str(), history_.c_str());
    } else {
        status = Format(LoadText(IDS_HR_SHOWN).c_str(), run ? static_cast<int>(run->entries.size()) : 0,
                        static_cast<int>(shown_.size()), history_.c_str());
    }
    SetItemText(IDC_HR_STATUS, status);
}

void CDlgHistoryRestore::EnableTarget() {
    const bool elsewhere = GetRadio(Handle(), IDC_HR_TO_MASTER, IDC_HR_TO_FOLDER) == 1;
    EnableWindow(Item(IDC_HR_FOLDER), elsewhere);
    EnableWindow(Item(IDC_HR_BROWSE), elsewhere);
}

bool CDlgHistoryRestore::Finish(bool wholeRun) {
    const HistoryRunContents* run = SelectedRun();
    if (!run) return false;
    HistoryRestore choice;
    choice.run = history_ + run->run.name;
    if (!wholeRun) {
        for (int row : listview::SelectedRows(Item(IDC_HR_FILES))) {
            if (static_cast<size_t>(row) < shown_.size()) choice.files.push_back(shown_[static_cast<size_t>(row)]->path);
        }
        if (choice.files.empty()) {
            ShowMessageIds(Handle(), IDS_HR_NO_FILES, IDS_HR_CAPTION, MB_ICONINFORMATION);
            return false;
        }
    }
    if (GetRadio(Handle(), IDC_HR_TO_MASTER, IDC_HR_TO_FOLDER) == 1) {
        choice.target = GetText(Handle(), IDC_HR_FOLDER);
        if (choice.target.find_first_not_of(L' ') == std::wstring::npos) {
            ShowMessageIds(Handle(), IDS_HR_NO_TARGET, IDS_HR_CAPTION, MB_ICONINFORMATION);
            SetFocus(Item(IDC_HR_FOLDER));
            return false;
        }
    }
    chosen_ = std::move(choice);
    End(IDOK);
    return true;
}

bool CDlgHistoryRestore::OnCommand(int id, int code) {
    switch (id) {
        case IDC_HR_FILTER:
            if (code == EN_CHANGE) ShowFiles();
            return true;
        case IDC_HR_TO_MASTER:
        case IDC_HR_TO_FOLDER:
            EnableTarget();
            return true;
        case IDC_HR_BROWSE: {
            std::wstring folder = GetText(Handle(), IDC_HR_FOLDER);
            if (PickFolder(Handle(), folder, IDS_HR_PICK)) SetItemText(IDC_HR_FOLDER, folder);
            return true;
        }
        case IDC_HR_RESTORE_FILES:
        case IDC_HR_RESTORE_RUN:
            Finish(id == IDC_HR_RESTORE_RUN);
            return true;
        case IDOK:
            // Enter restores what is selected, as the first button does.
            Finish(false);
            return true;
        default:
            return Dialog::OnCommand(id, code);
    }
}

bool ChooseHistoryRestore(HWND owner, const std::wstring& history, HistoryRestore& choice) {
    CDlgHistoryRestore dialog(history);
    return dialog.Choose(owner, choice);
}

}  // namespace tandrel
