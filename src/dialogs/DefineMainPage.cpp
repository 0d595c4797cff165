// The general page of the folder-setting sheet: name, folders and volume labels.
#include "dialogs/DefinePages.h"

#include <memory>

#include "dialogs/DialogSupport.h"
#include "framework/Background.h"
#include "framework/DataExchange.h"
#include "platform/Drives.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/Pickers.h"
#include "platform/Strings.h"
#include "resource_dialogs.h"

namespace tandrel {

namespace {

std::wstring ReadVolumeLabel(const std::wstring& folder) {
    const std::wstring root = PathRoot(ExpandEnvironment(folder));
    return root.empty() ? std::wstring() : VolumeLabel(root);
}

}  // namespace

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
    LoadFields(h, s, MainPageFields());
    MakeDropEdit(Item(IDC_DM_MASTER), DropForm::FolderOnly);
    MakeDropEdit(Item(IDC_DM_BACKUP), DropForm::FolderOnly);
    AddAnchors(AnchorStretchX, {IDC_DM_NAME, IDC_DM_FOLDER_GROUP, IDC_DM_MASTER, IDC_DM_BACKUP, IDC_DM_COPY_NAME,
                                IDC_DM_LABEL_GROUP, IDC_DM_LABEL_MASTER, IDC_DM_LABEL_BACKUP});
    AddAnchors(AnchorMoveX, {IDC_DM_MASTER_BROWSE, IDC_DM_BACKUP_BROWSE, IDC_DM_GET_MASTER, IDC_DM_GET_BACKUP});
    UpdateVolumeSide(0);
    UpdateVolumeSide(1);
}

bool CDlgDefMain::Save() {
    SaveFields(Handle(), Setting(), MainPageFields());
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

}  // namespace tandrel
