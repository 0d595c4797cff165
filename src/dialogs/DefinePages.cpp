#include "dialogs/DefinePages.h"

#include <commctrl.h>

#include <ctime>
#include <memory>

#include "dialogs/DialogSupport.h"
#include "dialogs/SelectCommandDlg.h"
#include "framework/Background.h"
#include "framework/DataExchange.h"
#include "platform/Drives.h"
#include "platform/Environment.h"
#include "platform/LogFiles.h"
#include "platform/Messages.h"
#include "platform/Paths.h"
#include "platform/Pickers.h"
#include "platform/Strings.h"
#include "resource.h"

namespace tandrel {

void SetSpin(HWND page, int spin, int low, int high) {
    SendDlgItemMessageW(page, spin, UDM_SETRANGE32, low, high);
}

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

std::wstring ReadVolumeLabel(const std::wstring& folder) {
    const std::wstring root = PathRoot(ExpandEnvironment(folder));
    return root.empty() ? std::wstring() : VolumeLabel(root);
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

std::wstring BackupWithMasterName(const std::wstring& master, const std::wstring& backup) {
    std::wstring m = master;
    while (!m.empty() && m.back() == L'\\') m.pop_back();
    if (m.empty() || backup.empty()) return backup;
    // A drive or share root has no name of its own to carry over.
    if (m.size() <= 2 || (IsUncPath(m) && UncDepth(m) <= 2)) return backup;
    const size_t cut = m.find_last_of(L"\\:");
    if (cut == std::wstring::npos || cut + 1 >= m.size()) return backup;
    const std::wstring name = m.substr(cut + 1);
    std::wstring b = backup;
    while (b.size() > 1 && b.back() == L'\\') b.pop_back();
    const size_t bcut = b.find_last_of(L"\\:");
    const std::wstring last = bcut == std::wstring::npos ? b : b.substr(bcut + 1);
    if (EqualsNoCase(last, name)) return backup;
    return b + L"\\" + name;
}

// "一般"

CDlgDefMain::CDlgDefMain(DefineContext& context) : CDefPage(IDD_DEF_MAIN, context) {}

std::wstring CDlgDefMain::MasterFolder() const {
    return Handle() ? GetText(Handle(), IDC_DM_MASTER) : context_.setting.Master;
}

void CDlgDefMain::Load() {
    HWND h = Handle();
    const FolderSetting& s = Setting();
    SetText(h, IDC_DM_NAME, s.Name);
    SetText(h, IDC_DM_MASTER, s.Master);
    SetText(h, IDC_DM_BACKUP, s.Backup);
    SetCheck(h, IDC_DM_SKIP_MISSING, s.SkipIfFolderNotExist);
    SetCheck(h, IDC_DM_DETECT_MASTER, s.DetectDriveByVolumeMaster);
    SetCheck(h, IDC_DM_DETECT_BACKUP, s.DetectDriveByVolumeBackup);
    SetCheck(h, IDC_DM_CHECK_MASTER, s.CheckVolumeMaster);
    SetCheck(h, IDC_DM_CHECK_BACKUP, s.CheckVolume);
    SetText(h, IDC_DM_LABEL_MASTER, s.VolumeMaster);
    SetText(h, IDC_DM_LABEL_BACKUP, s.Volume);
    SetCheck(h, IDC_DM_VOL_SKIP, s.VolErrorSkip);
    SetCheck(h, IDC_DM_MEDIA, s.ExecIfDetectMediaVol);
    SetCheck(h, IDC_DM_AUTO, s.AutoExec);
    MakeDropEdit(Item(IDC_DM_MASTER), DropForm::FolderOnly);
    MakeDropEdit(Item(IDC_DM_BACKUP), DropForm::FolderOnly);
    AddAnchors(AnchorStretchX, {IDC_DM_NAME, IDC_DM_FOLDER_GROUP, IDC_DM_MASTER, IDC_DM_BACKUP, IDC_DM_COPY_NAME,
                                IDC_DM_LABEL_GROUP, IDC_DM_LABEL_MASTER, IDC_DM_LABEL_BACKUP});
    AddAnchors(AnchorMoveX, {IDC_DM_MASTER_BROWSE, IDC_DM_BACKUP_BROWSE, IDC_DM_GET_MASTER, IDC_DM_GET_BACKUP});
    UpdateVolumeSide(0);
    UpdateVolumeSide(1);
}

bool CDlgDefMain::Save() {
    HWND h = Handle();
    FolderSetting& s = Setting();
    s.Name = GetText(h, IDC_DM_NAME);
    s.Master = GetText(h, IDC_DM_MASTER);
    s.Backup = GetText(h, IDC_DM_BACKUP);
    s.SkipIfFolderNotExist = GetCheck(h, IDC_DM_SKIP_MISSING);
    s.DetectDriveByVolumeMaster = GetCheck(h, IDC_DM_DETECT_MASTER);
    s.DetectDriveByVolumeBackup = GetCheck(h, IDC_DM_DETECT_BACKUP);
    s.CheckVolumeMaster = GetCheck(h, IDC_DM_CHECK_MASTER);
    s.CheckVolume = GetCheck(h, IDC_DM_CHECK_BACKUP);
    s.VolumeMaster = GetText(h, IDC_DM_LABEL_MASTER);
    s.Volume = GetText(h, IDC_DM_LABEL_BACKUP);
    s.VolErrorSkip = GetCheck(h, IDC_DM_VOL_SKIP);
    s.ExecIfDetectMediaVol = GetCheck(h, IDC_DM_MEDIA);
    s.AutoExec = GetCheck(h, IDC_DM_AUTO);
    return true;
}

namespace {

// The label of a folder typed on the page is read once typing pauses, and
// off the window thread: a share that does not answer holds the reader for
// the network's time-out, never the sheet.
constexpr UINT kLabelTimerBase = 0x4C00;
constexpr UINT kLabelPause = 400;
const int kDetect[2] = {IDC_DM_DETECT_MASTER, IDC_DM_DETECT_BACKUP};
const int kCheck[2] = {IDC_DM_CHECK_MASTER, IDC_DM_CHECK_BACKUP};
const int kFolder[2] = {IDC_DM_MASTER, IDC_DM_BACKUP};
const int kLabel[2] = {IDC_DM_LABEL_MASTER, IDC_DM_LABEL_BACKUP};
const int kGet[2] = {IDC_DM_GET_MASTER, IDC_DM_GET_BACKUP};

}  // namespace

void CDlgDefMain::ReadLabel(int side) {
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    ++generation_[side];
    pending_[side] = false;
    KillTimer(Handle(), kLabelTimerBase + side);
    SetText(Handle(), kLabel[side], ReadVolumeLabel(GetText(Handle(), kFolder[side])));
    SetCursor(previous);
}

bool CDlgDefMain::Wanted(int side) const {
    HWND h = Handle();
    return (GetCheck(h, kDetect[side]) || GetCheck(h, kCheck[side])) && GetText(h, kLabel[side]).empty();
}

void CDlgDefMain::StartLabelRead(int side) {
    KillTimer(Handle(), kLabelTimerBase + side);
    const unsigned generation = ++generation_[side];
    pending_[side] = true;
    const std::wstring folder = GetText(Handle(), kFolder[side]);
    PostWhenDone<std::wstring>(Handle(), WM_TANDREL_LABEL_READ, MAKEWPARAM(side, generation & 0xFFFF),
                               [folder] { return ReadVolumeLabel(folder); });
}

void CDlgDefMain::TakeLabel(int side, unsigned generation, const std::wstring& label) {
    if (generation != (generation_[side] & 0xFFFF) || !pending_[side]) return;
    pending_[side] = false;
    if (Wanted(side)) SetText(Handle(), kLabel[side], label);
}

INT_PTR CDlgDefMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && (wParam == kLabelTimerBase || wParam == kLabelTimerBase + 1)) {
        const int side = static_cast<int>(wParam - kLabelTimerBase);
        KillTimer(Handle(), wParam);
        if (Wanted(side)) {
            StartLabelRead(side);
        } else {
            pending_[side] = false;
        }
        return TRUE;
    }
    if (message == WM_TANDREL_LABEL_READ) {
        const std::unique_ptr<std::wstring> label = TakePosted<std::wstring>(lParam);
        TakeLabel(LOWORD(wParam) ? 1 : 0, HIWORD(wParam), *label);
        return TRUE;
    }
    return CDefPage::HandleMessage(message, wParam, lParam);
}

bool CDlgDefMain::OnApply() {
    // A label still being read is read now: OK stores what the page would
    // have shown.
    for (int side = 0; side < 2; ++side) {
        if (pending_[side] && Wanted(side)) ReadLabel(side);
        pending_[side] = false;
    }
    return CDefPage::OnApply();
}

void CDlgDefMain::UpdateVolumeSide(int side, bool typed) {
    HWND h = Handle();
    const int other = 1 - side;
    const bool on = GetCheck(h, kDetect[side]) || GetCheck(h, kCheck[side]);
    EnableItem(kLabel[side], on);
    EnableItem(kGet[side], on);
    if (on) {
        EnableItem(IDC_DM_VOL_SKIP, true);
        if (!GetText(h, kLabel[side]).empty()) return;
        if (typed) {
            // Each keystroke starts the pause again.
            ++generation_[side];
            pending_[side] = true;
            SetTimer(h, kLabelTimerBase + side, kLabelPause, nullptr);
        } else {
            StartLabelRead(side);
        }
    } else {
        EnableItem(IDC_DM_VOL_SKIP, GetCheck(h, kDetect[other]) || GetCheck(h, kCheck[other]));
    }
}

bool CDlgDefMain::OnCommand(int id, int code) {
    HWND h = Handle();
    switch (id) {
        case IDC_DM_MASTER_BROWSE:
        case IDC_DM_BACKUP_BROWSE: {
            const int edit = id == IDC_DM_MASTER_BROWSE ? IDC_DM_MASTER : IDC_DM_BACKUP;
            std::wstring path = GetText(h, edit);
            if (PickFolder(h, path, id == IDC_DM_MASTER_BROWSE ? IDS_PICK_MASTER_FOLDER : IDS_PICK_BACKUP_FOLDER)) {
                SetText(h, edit, path);
            }
            return true;
        }
        case IDC_DM_COPY_NAME:
            SetText(h, IDC_DM_BACKUP, BackupWithMasterName(GetText(h, IDC_DM_MASTER), GetText(h, IDC_DM_BACKUP)));
            return true;
        case IDC_DM_GET_MASTER:
            ReadLabel(0);
            return true;
        case IDC_DM_GET_BACKUP:
            ReadLabel(1);
            return true;
        case IDC_DM_DETECT_MASTER:
        case IDC_DM_CHECK_MASTER:
            UpdateVolumeSide(0);
            return true;
        case IDC_DM_DETECT_BACKUP:
        case IDC_DM_CHECK_BACKUP:
            UpdateVolumeSide(1);
            return true;
        case IDC_DM_MASTER:
        case IDC_DM_BACKUP:
            if (code == EN_CHANGE && !loading_) UpdateVolumeSide(id == IDC_DM_MASTER ? 0 : 1, true);
            return true;
        default:
            return false;
    }
}

// "動作設定"

CDlgDefMode::CDlgDefMode(DefineContext& context) : CDefPage(IDD_DEF_MODE, context) {}

void CDlgDefMode::Load() {
    HWND h = Handle();
    const FolderSetting& s = Setting();
    SetCheck(h, IDC_MO_SUBDIR, s.SubDir);
    SetCheck(h, IDC_MO_OVERWRITE, s.Overwrite);
    SetCheck(h, IDC_MO_OVERWRITE_ALWAYS, s.OverwriteAlways);
    SetCheck(h, IDC_MO_DATE_DIR, s.MakeDateDir);
    SetText(h, IDC_MO_DATE_DIR_EDIT, s.BackupDateDir);
    SetCheck(h, IDC_MO_VERIFY, s.Verify);
    SetCheck(h, IDC_MO_MIRRORING, s.Mirroring);
    AddComboItem(h, IDC_MO_ORDER, LoadText(IDS_ORDER_BACKUP_FIRST));
    AddComboItem(h, IDC_MO_ORDER, LoadText(IDS_ORDER_MIRROR_FIRST));
    SetComboIndex(h, IDC_MO_ORDER, s.BackupType == 1 ? 1 : 0);
    SetCheck(h, IDC_MO_DELETE_CONF, s.DeleteConf);
    SetCheck(h, IDC_MO_RECYCLE, s.DeleteRecycleBin);
    SetCheck(h, IDC_MO_TOLERANCE, s.NtfsToFat);
    SetSpin(h, IDC_MO_LEAVE_SPIN, 1, 999);
    SetText(h, IDC_MO_LEAVE_TIME, std::to_wstring(s.LeaveTime));
    SetCheck(h, IDC_MO_CREATION_TIME, s.CopyFileTimeAll);
    SetCheck(h, IDC_MO_FOLDER_TIME, s.CopyFolderTime);
    SetCheck(h, IDC_MO_CHECK_NAME, s.CheckFileName);
    SetCheck(h, IDC_MO_RENAME_CASE, s.RenameCapital);
    SetCheck(h, IDC_MO_ERROR_LEAVE, s.ErrorLeave);
    SetCheck(h, IDC_MO_LOCKED, s.CopyLockedFile);
    // Shadow copies are not offered: the stored choice is shown and kept.
    EnableItem(IDC_MO_LOCKED, false);
    SetCheck(h, IDC_MO_RETRY, s.ErrorNetPathRetry);
    SetSpin(h, IDC_MO_RETRY_SPIN, 1, 99);
    SetText(h, IDC_MO_RETRY_COUNT, std::to_wstring(s.NetPathRetryCount));
    SetCheck(h, IDC_MO_SHOW_SKIP, s.ShowSkipFile);
    AddAnchors(AnchorStretchX, {IDC_MO_GROUP_BACKUP, IDC_MO_GROUP_MIRROR, IDC_MO_GROUP_TIME, IDC_MO_GROUP_OTHER,
                                IDC_MO_DATE_DIR_EDIT});
    AddAnchors(AnchorMoveX, {IDC_MO_DATE_HINT});
    UpdateEnabling();
}

void CDlgDefMode::UpdateEnabling() {
    HWND h = Handle();
    const bool mirroring = GetCheck(h, IDC_MO_MIRRORING);
    EnableItems({IDC_MO_ORDER, IDC_MO_DELETE_CONF, IDC_MO_RECYCLE}, mirroring);
    EnableItems({IDC_MO_LEAVE_TIME, IDC_MO_LEAVE_SPIN, IDC_MO_PLUS_MINUS, IDC_MO_SECONDS},
                GetCheck(h, IDC_MO_TOLERANCE));
    EnableItems({IDC_MO_RETRY_COUNT, IDC_MO_RETRY_SPIN, IDC_MO_TIMES}, GetCheck(h, IDC_MO_RETRY));
    const bool dated = GetCheck(h, IDC_MO_DATE_DIR);
    EnableItem(IDC_MO_DATE_DIR_EDIT, dated);
    if (dated && GetText(h, IDC_MO_DATE_DIR_EDIT).empty()) SetText(h, IDC_MO_DATE_DIR_EDIT, LoadText(IDS_DEFAULT_DATE_DIR));
}

bool CDlgDefMode::Save() {
    HWND h = Handle();
    FolderSetting& s = Setting();
    // A disabled number keeps its old value; only an editable one is checked.
    int leave = s.LeaveTime, retry = s.NetPathRetryCount;
    if (GetCheck(h, IDC_MO_TOLERANCE) && !ValidateIntField(h, IDC_MO_LEAVE_TIME, 1, 999, leave)) return false;
    if (GetCheck(h, IDC_MO_RETRY) && !ValidateIntField(h, IDC_MO_RETRY_COUNT, 1, 99, retry)) return false;
    s.LeaveTime = leave;
    s.NetPathRetryCount = retry;
    s.SubDir = GetCheck(h, IDC_MO_SUBDIR);
    s.Overwrite = GetCheck(h, IDC_MO_OVERWRITE);
    s.OverwriteAlways = GetCheck(h, IDC_MO_OVERWRITE_ALWAYS);
    s.MakeDateDir = GetCheck(h, IDC_MO_DATE_DIR);
    s.BackupDateDir = GetText(h, IDC_MO_DATE_DIR_EDIT);
    s.Verify = GetCheck(h, IDC_MO_VERIFY);
    s.Mirroring = GetCheck(h, IDC_MO_MIRRORING);
    s.BackupType = GetComboIndex(h, IDC_MO_ORDER) == 1 ? 1 : 0;
    s.DeleteConf = GetCheck(h, IDC_MO_DELETE_CONF);
    s.DeleteRecycleBin = GetCheck(h, IDC_MO_RECYCLE);
    s.NtfsToFat = GetCheck(h, IDC_MO_TOLERANCE);
    s.CopyFileTimeAll = GetCheck(h, IDC_MO_CREATION_TIME);
    s.CopyFolderTime = GetCheck(h, IDC_MO_FOLDER_TIME);
    s.CheckFileName = GetCheck(h, IDC_MO_CHECK_NAME);
    s.RenameCapital = GetCheck(h, IDC_MO_RENAME_CASE);
    s.ErrorLeave = GetCheck(h, IDC_MO_ERROR_LEAVE);
    s.ErrorNetPathRetry = GetCheck(h, IDC_MO_RETRY);
    s.ShowSkipFile = GetCheck(h, IDC_MO_SHOW_SKIP);
    return true;
}

bool CDlgDefMode::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return false;
    switch (id) {
        case IDC_MO_MIRRORING:
        case IDC_MO_TOLERANCE:
        case IDC_MO_RETRY:
        case IDC_MO_DATE_DIR:
            UpdateEnabling();
            return true;
        default:
            return false;
    }
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
    SetCheck(h, IDC_TG_IGNORE_SYSTEM, s.IgnoreSystemFiles);
    SetCheck(h, IDC_TG_DELETE_IGNORED, s.DeleteIgnoreTarget);
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
    SetCheck(h, IDC_TG_SIZE_SKIP, s.SkipTargetFileSize);
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
    s.IgnoreSystemFiles = GetCheck(h, IDC_TG_IGNORE_SYSTEM);
    s.DeleteIgnoreTarget = GetCheck(h, IDC_TG_DELETE_IGNORED);
    s.TargetDateType = std::max(0, GetRadio(h, IDC_TG_DATE_ALL, IDC_TG_DATE_SINCE_LAST));
    if (s.TargetDateType == 1) {
        SYSTEMTIME st{};
        if (SendDlgItemMessageW(h, IDC_TG_DATE_PICKER, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) == GDT_VALID) {
            std::tm local{};
            local.tm_year = st.wYear - 1900;
            local.tm_mon = st.wMonth - 1;
            local.tm_mday = st.wDay;
            local.tm_isdst = -1;
            const std::time_t t = std::mktime(&local);
            if (t != static_cast<std::time_t>(-1)) s.TargetDate = static_cast<std::int64_t>(t);
        }
    }
    s.SkipTargetFileSize = GetCheck(h, IDC_TG_SIZE_SKIP);
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

// "ログファイル"

CDlgDefLog::CDlgDefLog(DefineContext& context) : CDefPage(IDD_DEF_LOG, context) {}

void CDlgDefLog::Load() {
    HWND h = Handle();
    const FolderSetting& s = Setting();
    SetCheck(h, IDC_LG_OUTPUT, s.OutputLog);
    SetText(h, IDC_LG_FILE, s.LogFileName);
    SetCheck(h, IDC_LG_IMMEDIATE, s.WriteLogImmediately);
    SetCheck(h, IDC_LG_ERROR_ONLY, s.OutputErrorOnly);
    SetCheck(h, IDC_LG_SKIP_LOG, s.OutputSkipLog);
    SetCheck(h, IDC_LG_CLEAR, s.ClearLog);
    MakeDropEdit(Item(IDC_LG_FILE), DropForm::Plain);
    AddAnchors(AnchorStretchX, {IDC_LG_FILE});
    AddAnchors(AnchorMoveX, {IDC_LG_BROWSE, IDC_LG_DELETE_NOW});
    UpdateEnabling();
}

void CDlgDefLog::UpdateEnabling() {
    HWND h = Handle();
    const bool on = GetCheck(h, IDC_LG_OUTPUT);
    EnableItems({IDC_LG_FILE_LABEL, IDC_LG_FILE, IDC_LG_BROWSE, IDC_LG_HINT, IDC_LG_HINT2, IDC_LG_IMMEDIATE,
                 IDC_LG_ERROR_ONLY, IDC_LG_CLEAR},
                on);
    EnableItem(IDC_LG_SKIP_LOG, on && !GetCheck(h, IDC_LG_ERROR_ONLY));
    EnableItem(IDC_LG_DELETE_NOW,
               on && AnyLogExists(GetText(h, IDC_LG_FILE), ActiveProjectOf(*context_.options)));
}

void CDlgDefLog::DeleteNow() {
    HWND h = Handle();
    const std::wstring pattern = GetText(h, IDC_LG_FILE);
    const ProjectSlot project = ActiveProjectOf(*context_.options);
    ConfirmAndDeleteLogs(h, [&](bool countOnly) { return DeleteLogsForPattern(pattern, project, countOnly); });
    UpdateEnabling();
}

bool CDlgDefLog::Save() {
    HWND h = Handle();
    FolderSetting& s = Setting();
    s.OutputLog = GetCheck(h, IDC_LG_OUTPUT);
    s.LogFileName = GetText(h, IDC_LG_FILE);
    s.WriteLogImmediately = GetCheck(h, IDC_LG_IMMEDIATE);
    s.OutputErrorOnly = GetCheck(h, IDC_LG_ERROR_ONLY);
    s.OutputSkipLog = GetCheck(h, IDC_LG_SKIP_LOG);
    s.ClearLog = GetCheck(h, IDC_LG_CLEAR);
    return true;
}

bool CDlgDefLog::OnCommand(int id, int code) {
    HWND h = Handle();
    switch (id) {
        case IDC_LG_OUTPUT:
        case IDC_LG_ERROR_ONLY:
            UpdateEnabling();
            return true;
        case IDC_LG_FILE:
            if (code == EN_KILLFOCUS) UpdateEnabling();
            return true;
        case IDC_LG_BROWSE: {
            std::wstring path = GetText(h, IDC_LG_FILE);
            if (PickFile(h, path, path, IDS_PICK_LOG_TITLE, IDS_PICK_LOG_FILTER, IDS_PICK_LOG_EXT, true)) {
                SetText(h, IDC_LG_FILE, path);
            }
            UpdateEnabling();
            return true;
        }
        case IDC_LG_DELETE_NOW:
            DeleteNow();
            return true;
        default:
            return false;
    }
}

// "スケジュール"

CDlgDefSchedule::CDlgDefSchedule(DefineContext& context) : CDefPage(IDD_DEF_SCHEDULE, context) {}

void CDlgDefSchedule::Load() {
    HWND h = Handle();
    const FolderSetting& s = Setting();
    SetRadio(h, IDC_SC_EVERY, IDC_SC_HOURS, s.ScheduleType >= 0 && s.ScheduleType <= 2 ? s.ScheduleType : 0);
    SetSpin(h, IDC_SC_HOURS_SPIN, 1, 240);
    SetText(h, IDC_SC_HOURS_EDIT, std::to_wstring(s.ScheduleTime));
    AddAnchors(AnchorStretchX, {IDC_SC_GROUP});
    UpdateEnabling();
}

void CDlgDefSchedule::UpdateEnabling() {
    EnableItems({IDC_SC_HOURS_EDIT, IDC_SC_HOURS_SPIN}, GetCheck(Handle(), IDC_SC_HOURS));
}

bool CDlgDefSchedule::Save() {
    HWND h = Handle();
    FolderSetting& s = Setting();
    const int type = std::max(0, GetRadio(h, IDC_SC_EVERY, IDC_SC_HOURS));
    int hours = s.ScheduleTime;
    if (type == ScheduleAfterHours && !ValidateIntField(h, IDC_SC_HOURS_EDIT, 1, 240, hours)) return false;
    s.ScheduleType = type;
    s.ScheduleTime = hours;
    return true;
}

bool CDlgDefSchedule::OnCommand(int id, int code) {
    if (code == BN_CLICKED && id >= IDC_SC_EVERY && id <= IDC_SC_HOURS) {
        UpdateEnabling();
        return true;
    }
    return false;
}

// "コマンド"

namespace {
constexpr int kBlock[2] = {IDC_CM_BEFORE, IDC_CM_AFTER};
}

CDlgDefCommand::CDlgDefCommand(DefineContext& context) : CDefPage(IDD_DEF_COMMAND, context) {}

void CDlgDefCommand::Load() {
    HWND h = Handle();
    for (int slot = 0; slot < 2; ++slot) {
        const int b = kBlock[slot];
        const CommandEntry& c = context_.commands[slot];
        SetCheck(h, b + CM_ENABLE, c.enable);
        SetText(h, b + CM_NAME, c.name);
        SetText(h, b + CM_PATH, c.path);
        SetText(h, b + CM_PARAM, c.param);
        for (unsigned text : {IDS_WINDOW_NORMAL, IDS_WINDOW_MINIMIZED, IDS_WINDOW_MAXIMIZED, IDS_WINDOW_HIDDEN}) {
            AddComboItem(h, b + CM_WINDOW, LoadText(text));
        }
        SetComboIndex(h, b + CM_WINDOW, c.window >= 0 && c.window <= 3 ? c.window : 0);
        SetCheck(h, b + CM_ON_MODE, c.onMode != 0);
        SetCheck(h, b + CM_ON_ERROR, c.onError != 0);
        for (int part : {CM_NAME, CM_PATH, CM_PARAM}) MakeDropEdit(Item(b + part), DropForm::Plain);
        AddAnchors(AnchorStretchX, {b + CM_GROUP, b + CM_NAME, b + CM_PATH, b + CM_PARAM});
        AddAnchors(AnchorMoveX, {b + CM_SELECT, b + CM_BROWSE});
        UpdateEnabling(slot);
    }
}

void CDlgDefCommand::UpdateEnabling(int slot) {
    const int b = kBlock[slot];
    const bool on = GetCheck(Handle(), b + CM_ENABLE);
    for (int part = CM_NAME; part <= CM_WINDOW_LABEL; ++part) {
        if (part != CM_GROUP) EnableItem(b + part, on);
    }
}

bool CDlgDefCommand::Save() {
    HWND h = Handle();
    for (int slot = 0; slot < 2; ++slot) {
        const int b = kBlock[slot];
        CommandEntry& c = context_.commands[slot];
        c.enable = GetCheck(h, b + CM_ENABLE);
        c.name = GetText(h, b + CM_NAME);
        c.path = GetText(h, b + CM_PATH);
        c.param = GetText(h, b + CM_PARAM);
        c.window = std::max(0, GetComboIndex(h, b + CM_WINDOW));
        c.onMode = GetCheck(h, b + CM_ON_MODE) ? 1 : 0;
        c.onError = GetCheck(h, b + CM_ON_ERROR) ? 1 : 0;
    }
    return true;
}

bool CDlgDefCommand::OnCommand(int id, int code) {
    HWND h = Handle();
    const int slot = id >= IDC_CM_AFTER ? 1 : 0;
    const int b = kBlock[slot];
    if (id < IDC_CM_BEFORE || id > IDC_CM_AFTER + CM_WINDOW_LABEL || code != BN_CLICKED) return false;
    switch (id - b) {
        case CM_ENABLE:
            UpdateEnabling(slot);
            return true;
        case CM_BROWSE: {
            std::wstring path = GetText(h, b + CM_PATH);
            if (PickFile(h, path, path, IDS_PICK_PROGRAM_TITLE, IDS_PICK_EXE_FILTER, IDS_PICK_EXE_EXT, false)) {
                SetText(h, b + CM_PATH, path);
            }
            return true;
        }
        case CM_SELECT: {
            CDlgSelectCommand select(context_.options->commands);
            const CommandEntry* chosen = select.Choose(h);
            if (chosen) {
                SetText(h, b + CM_NAME, chosen->DisplayName());
                SetText(h, b + CM_PATH, chosen->path);
                SetText(h, b + CM_PARAM, chosen->param);
                SetComboIndex(h, b + CM_WINDOW, chosen->window >= 0 && chosen->window <= 3 ? chosen->window : 0);
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace tandrel
