// The target page of the folder-setting sheet: the folder and file patterns
// a run takes or leaves, system files, the date and the size limit.
#include "dialogs/DefinePages.h"

#include <commctrl.h>

#include <algorithm>
#include <ctime>

#include "dialogs/DialogSupport.h"
#include "framework/DataExchange.h"
#include "platform/DateFormat.h"
#include "platform/Messages.h"
#include "platform/Strings.h"
#include "resource_dialogs.h"

namespace tandrel {

namespace {

std::vector<std::wstring> ListItems(HWND list) {
    std::vector<std::wstring> items;
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::wstring text(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        text.resize(static_cast<size_t>(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
        items.push_back(text);
    }
    return items;
}

bool ListHolds(HWND list, const std::wstring& text) {
    for (const auto& item : ListItems(list)) {
        if (EqualsNoCase(item, text)) return true;
    }
    return false;
}

void AddUnique(HWND list, const std::wstring& text) {
    if (!text.empty() && !ListHolds(list, text)) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

}  // namespace

std::vector<std::wstring> MissingParents(const std::wstring& folder, const std::vector<std::wstring>& items) {
    std::vector<std::wstring> missing;
    for (size_t i = 1; i < folder.size(); ++i) {
        if (folder[i] != L'\\') continue;
        const std::wstring prefix = folder.substr(0, i);
        bool present = false;
        for (const auto& item : items) present = present || EqualsNoCase(item, prefix);
        if (!present) missing.push_back(prefix);
    }
    return missing;
}

// "ターゲット指定"

CDlgDefTarget::CDlgDefTarget(DefineContext& context, const CDlgDefMain& main)
    : CDefPage(IDD_DEF_TARGET, context), main_(main) {}

void CDlgDefTarget::Load() {
    HWND h = Handle();
    const FolderSetting& s = Setting();
    const bool foldersIgnored = s.TargetType == 1 || s.TargetType == 2;
    const bool filesIgnored = s.TargetType == 1 || s.TargetType == 3;
    SetRadio(h, IDC_TG_FOLDER_PROCESS, IDC_TG_FOLDER_IGNORE, foldersIgnored ? 1 : 0);
    SetRadio(h, IDC_TG_FILE_PROCESS, IDC_TG_FILE_IGNORE, filesIgnored ? 1 : 0);
    for (int list : {IDC_TG_FOLDER_LIST, IDC_TG_FILE_LIST}) {
        SendDlgItemMessageW(h, list, LB_SETHORIZONTALEXTENT, 1024, 0);
        for (const auto& item : SplitList(list == IDC_TG_FOLDER_LIST ? s.TargetDirectory : s.TargetFile)) {
            SendDlgItemMessageW(h, list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        }
    }
    LoadFields(h, s, TargetPageFields());
    SetRadio(h, IDC_TG_DATE_ALL, IDC_TG_DATE_SINCE_LAST, s.TargetDateType >= 0 && s.TargetDateType <= 2 ? s.TargetDateType : 0);
    if (s.TargetDate != 0) {
        // The picker shows the local day of the stored moment.
        const std::time_t t = s.TargetDate;
        std::tm local{};
        if (localtime_s(&local, &t) == 0) {
            SYSTEMTIME st{};
            st.wYear = static_cast<WORD>(local.tm_year + 1900);
            st.wMonth = static_cast<WORD>(local.tm_mon + 1);
            st.wDay = static_cast<WORD>(local.tm_mday);
            SendDlgItemMessageW(h, IDC_TG_DATE_PICKER, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
        }
    }
    SetSpin(h, IDC_TG_SIZE_SPIN, 0, 32767);
    SetText(h, IDC_TG_SIZE_NUMBER, std::to_wstring(s.TargetFileSize.number));
    for (unsigned text : {IDS_UNIT_BYTES, IDS_UNIT_KB, IDS_UNIT_MB, IDS_UNIT_GB}) AddComboItem(h, IDC_TG_SIZE_UNIT, LoadText(text));
    SetComboIndex(h, IDC_TG_SIZE_UNIT, s.TargetFileSize.unit <= 3 ? s.TargetFileSize.unit : -1);

    AcceptDrops(Item(IDC_TG_FOLDER_LIST), [this](const std::vector<std::wstring>& p) { DropFolders(p); });
    AcceptDrops(Item(IDC_TG_FILE_LIST), [this](const std::vector<std::wstring>& p) { DropFiles(p); });
    AddAnchors(AnchorMoveY, {IDC_TG_FOLDER_ADD, IDC_TG_FOLDER_DELETE, IDC_TG_FOLDER_EDIT, IDC_TG_IGNORE_SYSTEM,
                             IDC_TG_DELETE_IGNORED, IDC_TG_DATE_ALL, IDC_TG_DATE_GIVEN, IDC_TG_DATE_SINCE_LAST,
                             IDC_TG_DATE_PICKER, IDC_TG_DATE_AFTER, IDC_TG_SIZE_SKIP, IDC_TG_SIZE_NUMBER,
                             IDC_TG_SIZE_SPIN, IDC_TG_SIZE_UNIT});
    AddAnchors(AnchorMoveY | AnchorStretchX, {IDC_TG_DATE_GROUP, IDC_TG_SIZE_GROUP});
    AddAnchors(AnchorOwnRule, {IDC_TG_FILE_PROCESS, IDC_TG_FILE_IGNORE});
    AddAnchors(AnchorMoveY | AnchorOwnRule, {IDC_TG_FILE_ADD, IDC_TG_FILE_DELETE, IDC_TG_FILE_EDIT});
    AddAnchors(AnchorStretchY | AnchorOwnRule,
               {IDC_TG_FOLDER_GROUP, IDC_TG_FILE_GROUP, IDC_TG_FOLDER_LIST, IDC_TG_FILE_LIST});
    UpdateEnabling();
}

void CDlgDefTarget::OwnLayout(int width, int, int, int, RECT& r, ResizeAnchor& a) {
    const int centre = width / 2;
    const int initialCentre = InitialWidth() / 2;
    if (a.id == IDC_TG_FOLDER_GROUP || a.id == IDC_TG_FOLDER_LIST) {
        r.right = centre - (initialCentre - a.initial.right);
    } else if (a.id == IDC_TG_FILE_GROUP || a.id == IDC_TG_FILE_LIST) {
        r.left = centre + (a.initial.left - initialCentre);
        r.right = width - (InitialWidth() - a.initial.right);
    } else {
        const int w = r.right - r.left;
        r.left = centre + (a.initial.left - initialCentre);
        r.right = r.left + w;
    }
}

void CDlgDefTarget::UpdateEnabling() {
    HWND h = Handle();
    EnableItem(IDC_TG_DATE_PICKER, GetCheck(h, IDC_TG_DATE_GIVEN));
    EnableItems({IDC_TG_SIZE_NUMBER, IDC_TG_SIZE_SPIN, IDC_TG_SIZE_UNIT}, GetCheck(h, IDC_TG_SIZE_SKIP));
}

bool CDlgDefTarget::FolderProcessMode() const { return GetCheck(Handle(), IDC_TG_FOLDER_PROCESS); }

int CDlgDefTarget::AddFolder(const std::wstring& folder, int presetAnswer) {
    HWND list = Item(IDC_TG_FOLDER_LIST);
    int answer = 0;
    if (FolderProcessMode()) {
        const std::vector<std::wstring> missing = MissingParents(folder, ListItems(list));
        if (!missing.empty()) {
            answer = presetAnswer;
            if (!answer) {
                std::wstring parents;
                for (const auto& p : missing) parents += L"\r\n" + p;
                answer = ShowMessageFormat(Handle(), IDS_TARGET_PARENTS_ASK, IDS_TARGET_FOLDER,
                                           MB_YESNOCANCEL | MB_ICONQUESTION, folder, &parents);
            }
            if (answer == IDCANCEL) return answer;
            if (answer == IDYES) {
                for (const auto& p : missing) AddUnique(list, p);
            }
        }
    }
    AddUnique(list, folder);
    return answer;
}

void CDlgDefTarget::AddFolderFromDialog(const std::wstring& old) {
    if (!context_.prompts.folder) return;
    TargetFolderChoice choice;
    choice.pattern = old;
    const bool adding = old.empty();
    if (!context_.prompts.folder(Handle(), main_.MasterFolder(), adding && FolderProcessMode(), choice)) return;
    HWND list = Item(IDC_TG_FOLDER_LIST);
    if (!adding) {
        const LRESULT at = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(old.c_str()));
        if (at != LB_ERR) SendMessageW(list, LB_DELETESTRING, at, 0);
    }
    const int answer = AddFolder(choice.pattern, adding && choice.addParents ? IDYES : 0);
    if (answer == IDCANCEL) {
        // Cancelled edits keep the pattern that was there.
        if (!adding) AddUnique(list, old);
        return;
    }
    if (adding && choice.addSubfolders) {
        const std::wstring& f = choice.pattern;
        if (f.size() < 2 || f.compare(f.size() - 2, 2, L"\\*") != 0) {
            AddUnique(list, f.back() == L'\\' ? f + L"*" : f + L"\\*");
        }
    }
}

void CDlgDefTarget::AddFileFromDialog(const std::wstring& old) {
    if (!context_.prompts.file) return;
    std::wstring pattern = old;
    if (!context_.prompts.file(Handle(), main_.MasterFolder(), pattern)) return;
    HWND list = Item(IDC_TG_FILE_LIST);
    if (!old.empty()) {
        const LRESULT at = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(old.c_str()));
        if (at != LB_ERR) SendMessageW(list, LB_DELETESTRING, at, 0);
    }
    AddUnique(list, pattern);
}

void CDlgDefTarget::EditSelected(int listId) {
    HWND list = Item(listId);
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    if (count <= 0) return;
    int caret = static_cast<int>(SendMessageW(list, LB_GETCARETINDEX, 0, 0));
    if (caret < 0 || caret >= count) caret = 0;
    SendMessageW(list, LB_SETSEL, FALSE, -1);
    SendMessageW(list, LB_SETSEL, TRUE, caret);
    const std::wstring old = ListItems(list)[static_cast<size_t>(caret)];
    if (listId == IDC_TG_FOLDER_LIST) {
        AddFolderFromDialog(old);
    } else {
        AddFileFromDialog(old);
    }
}

void CDlgDefTarget::DropFolders(const std::vector<std::wstring>& paths) {
    int answer = 0;
    for (const auto& path : paths) {
        const std::wstring folder =
            ListEntryFor(ConvertDroppedPath(path, DropForm::FolderOnly, main_.MasterFolder(), true));
        if (folder.empty()) continue;
        const int given = AddFolder(folder, answer);
        if (given == IDCANCEL) return;
        if (given) answer = given;
    }
}

void CDlgDefTarget::DropFiles(const std::vector<std::wstring>& paths) {
    for (const auto& path : paths) {
        AddUnique(Item(IDC_TG_FILE_LIST), ListEntryFor(ConvertDroppedPath(path, DropForm::FileNameOnly)));
    }
}

bool CDlgDefTarget::Save() {
    HWND h = Handle();
    FolderSetting& s = Setting();
    const bool foldersIgnored = GetCheck(h, IDC_TG_FOLDER_IGNORE);
    const bool filesIgnored = GetCheck(h, IDC_TG_FILE_IGNORE);
    s.TargetType = foldersIgnored ? (filesIgnored ? 1 : 2) : (filesIgnored ? 3 : 0);
    s.TargetDirectory = JoinList(ListItems(Item(IDC_TG_FOLDER_LIST)));
    s.TargetFile = JoinList(ListItems(Item(IDC_TG_FILE_LIST)));
    SaveFields(h, s, TargetPageFields());
    s.TargetDateType = std::max(0, GetRadio(h, IDC_TG_DATE_ALL, IDC_TG_DATE_SINCE_LAST));
    if (s.TargetDateType == 1) {
        SYSTEMTIME st{};
        if (SendDlgItemMessageW(h, IDC_TG_DATE_PICKER, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) == GDT_VALID) {
            const std::time_t t = LocalTimeOf(st.wYear, st.wMonth, st.wDay);
            if (t != static_cast<std::time_t>(-1)) s.TargetDate = static_cast<std::int64_t>(t);
        }
    }
    s.TargetFileSize.number = std::max(0, ParseLeadingInt(GetText(h, IDC_TG_SIZE_NUMBER)));
    // A unit the list does not offer (TB) stays as it was.
    const int unit = GetComboIndex(h, IDC_TG_SIZE_UNIT);
    if (unit >= 0) s.TargetFileSize.unit = unit;
    return true;
}

bool CDlgDefTarget::OnCommand(int id, int code) {
    HWND h = Handle();
    switch (id) {
        case IDC_TG_FOLDER_ADD:
            AddFolderFromDialog({});
            return true;
        case IDC_TG_FILE_ADD:
            AddFileFromDialog({});
            return true;
        case IDC_TG_FOLDER_EDIT:
        case IDC_TG_FILE_EDIT:
            EditSelected(id == IDC_TG_FOLDER_EDIT ? IDC_TG_FOLDER_LIST : IDC_TG_FILE_LIST);
            return true;
        case IDC_TG_FOLDER_LIST:
        case IDC_TG_FILE_LIST:
            if (code == LBN_DBLCLK) EditSelected(id);
            return true;
        case IDC_TG_FOLDER_DELETE:
        case IDC_TG_FILE_DELETE: {
            HWND list = Item(id == IDC_TG_FOLDER_DELETE ? IDC_TG_FOLDER_LIST : IDC_TG_FILE_LIST);
            // From the end, so the positions still to go stay valid.
            for (int i = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)) - 1; i >= 0; --i) {
                if (SendMessageW(list, LB_GETSEL, i, 0) > 0) SendMessageW(list, LB_DELETESTRING, i, 0);
            }
            return true;
        }
        case IDC_TG_DATE_SINCE_LAST:
            if (code == BN_CLICKED) {
                UpdateEnabling();
                ShowMessageIds(h, IDS_SINCE_LAST_WARNING, IDS_TARGET_SPEC, MB_OK | MB_ICONEXCLAMATION);
            }
            return true;
        case IDC_TG_DATE_ALL:
        case IDC_TG_DATE_GIVEN:
        case IDC_TG_SIZE_SKIP:
            UpdateEnabling();
            return true;
        default:
            return false;
    }
}

}  // namespace tandrel
