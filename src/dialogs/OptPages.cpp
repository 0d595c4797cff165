#include "dialogs/OptPages.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <set>
#include <vector>

#include "dialogs/DialogSupport.h"
#include "platform/LogFiles.h"
#include "framework/DataExchange.h"
#include "platform/DateFormat.h"
#include "platform/Messages.h"
#include "platform/Paths.h"
#include "platform/Pickers.h"
#include "platform/Strings.h"
#include "resource_dialogs.h"

namespace tandrel {

namespace {

constexpr int kSizes[] = {6, 8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28};
constexpr int kActionCodes[] = {RunModeNothing, RunModeExit, RunModeHibernate, RunModeShutdown};
// A larger size is no font anyone can read and would overflow in tenths.
constexpr int kLargestPointSize = 999;

std::wstring LowerCase(std::wstring text) {
    if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring ComboItem(HWND combo, int index) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

// Whether some project's name of the pattern has a log, trying the
// projects in order.
bool AnyProjectHasLogs(const std::wstring& pattern, const ProjectCollection& projects) {
    for (int p = 0; p < projects.Count(); ++p) {
        if (AnyLogExists(pattern, {&projects, p})) return true;
    }
    return false;
}

int CALLBACK CollectFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM data) {
    if (font->lfFaceName[0] != L'@') reinterpret_cast<std::set<std::wstring>*>(data)->insert(font->lfFaceName);
    return 1;
}

using OptionField = FieldBinding<GlobalOptions>;
using O = GlobalOptions;

// The registry switch, the media action and the count are not plain fields.
constexpr OptionField kEnvironmentFields[] = {
    {IDC_OE_TRAY_ONLY, &O::MinimizeOnTrayOnly},
    {IDC_OE_NO_ERROR_BOX, &O::AutoExitWhenError},
    {IDC_OE_MEDIA, &O::ExecIfDetectMedia},
    {IDC_OE_LOG, &O::OutputLog},
    {IDC_OE_LOG_FILE, &O::LogFileName},
    {IDC_OE_LOG_IMMEDIATE, &O::WriteLogImmediately},
    {IDC_OE_LOG_ERROR_ONLY, &O::OutputErrorOnly},
    {IDC_OE_LOG_SKIP, &O::OutputSkipLog},
    {IDC_OE_LOG_CLEAR, &O::ClearLog},
    {IDC_OE_SYSTEM_FOLDERS, &O::IgnoreSystemFolderNames},
    {IDC_OE_SYSTEM_FILES, &O::IgnoreSystemFileNames},
    {IDC_OE_RECYCLE_WAIT, &O::CheckRecycleBin},
};

constexpr OptionField kFontFields[] = {
    {IDC_OF_SETUP_DATE, &O::FormatFolderSetResult},
    {IDC_OF_REPORT_DATE, &O::FormatReportFileTime},
};

constexpr OptionField kToolFields[] = {
    {IDC_OT_COMPARE_NAME, &O::CompareToolName},  {IDC_OT_COMPARE_PATH, &O::CompareToolPath},
    {IDC_OT_COMPARE_PARAM, &O::CompareToolParam}, {IDC_OT_VIEWER_NAME, &O::LogViewToolName},
    {IDC_OT_VIEWER_PATH, &O::LogViewToolPath},    {IDC_OT_VIEWER_PARAM, &O::LogViewToolParam},
};

// The window and action lists are not plain fields.
constexpr FieldBinding<CommandEntry> kCommandEntryFields[] = {
    {IDC_OC_NAME, &CommandEntry::name},
    {IDC_OC_PATH, &CommandEntry::path},
    {IDC_OC_PARAM, &CommandEntry::param},
    {IDC_OC_VISIBLE, &CommandEntry::visible},
};

}  // namespace

std::span<const FieldBinding<GlobalOptions>> EnvironmentPageFields() { return kEnvironmentFields; }
std::span<const FieldBinding<GlobalOptions>> FontPageFields() { return kFontFields; }
std::span<const FieldBinding<GlobalOptions>> ToolsPageFields() { return kToolFields; }
std::span<const FieldBinding<CommandEntry>> CommandListEntryFields() { return kCommandEntryFields; }

std::wstring ProposeCompareParameters(const std::wstring& program) {
    const std::wstring name = LowerCase(SplitPath(program).baseName);
    if (name.empty()) return {};
    if (name == L"windiff") return LoadText(IDS_WINDIFF_PARAM);
    if (name == L"winmergeu") return LoadText(IDS_WINMERGE_PARAM);
    return LoadText(IDS_COMPARE_PARAM);
}

std::wstring ProposeViewerParameters(const std::wstring& program) {
    return FileNameOf(program).empty() ? std::wstring() : LoadText(IDS_LOGVIEW_PARAM);
}

namespace command_list_edit {

std::wstring Line(const CommandList& commands, int i) {
    return Format(LoadText(IDS_PROJECT_DISPLAY).c_str(), i + 1, commands.At(i).DisplayName().c_str());
}

bool Add(CommandList& commands) {
    if (commands.Count() > kAddLimit) return false;
    CommandEntry entry;
    entry.name = Format(LoadText(IDS_NEW_COMMAND).c_str(), commands.Count() + 1);
    entry.visible = true;
    // Loaded entries are enabled; a new one is like them.
    entry.enable = true;
    entry.id = commands.NextId();
    commands.Append(entry);
    return true;
}

int Remove(CommandList& commands, int i) {
    if (i < 0 || i >= commands.Count()) return commands.Empty() ? -1 : 0;
    commands.Remove(commands.At(i).id);
    return std::min(i, commands.Count() - 1);
}

int Move(CommandList& commands, int i, int step) {
    const int j = i + step;
    if (i < 0 || i >= commands.Count() || j < 0 || j >= commands.Count()) return i;
    commands.Swap(i, j);
    return j;
}

int ActionIndex(int action) {
    for (int i = 0; i < 4; ++i) {
        if (kActionCodes[i] == action) return i;
    }
    return 0;
}

int ActionCode(int index) { return index >= 0 && index < 4 ? kActionCodes[index] : RunModeNothing; }

}  // namespace command_list_edit

INT_PTR COptPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == PSN_APPLY) {
        // OK sends the same notification as Apply, told apart by its lParam.
        const bool closing = reinterpret_cast<const PSHNOTIFY*>(lParam)->lParam != 0;
        const INT_PTR result = CFormPage::HandleMessage(message, wParam, lParam);
        if (GetWindowLongPtrW(Handle(), DWLP_MSGRESULT) == PSNRET_NOERROR && context_.pageApplied) {
            context_.pageApplied(*this, closing);
        }
        return result;
    }
    return CFormPage::HandleMessage(message, wParam, lParam);
}

void COptPage::MarkChanged() const {
    if (!loading_) PropSheet_Changed(GetParent(Handle()), Handle());
}

// "全般"

CDlgOptEnvironment::CDlgOptEnvironment(OptionsContext& context) : COptPage(IDD_OPT_ENVIRONMENT, context) {}

void CDlgOptEnvironment::Load() {
    HWND h = Handle();
    const GlobalOptions& o = Options();
    SetCheck(h, IDC_OE_REGISTRY, context_.toRegistry);
    EnableItem(IDC_OE_REGISTRY, context_.current && context_.current->registryAllowed);
    for (int id : {IDC_OE_SYSTEM_FOLDERS, IDC_OE_SYSTEM_FILES}) SendDlgItemMessageW(h, id, EM_LIMITTEXT, 32000, 0);
    LoadFields(h, o, EnvironmentPageFields());
    for (unsigned text : {IDS_MEDIA_TEST_ASK, IDS_MEDIA_UPDATE_ASK, IDS_MEDIA_TEST, IDS_MEDIA_UPDATE}) {
        AddComboItem(h, IDC_OE_MEDIA_ACTION, LoadText(text));
    }
    SetComboIndex(h, IDC_OE_MEDIA_ACTION, std::clamp(o.DetectMediaAction, 1, 4) - 1);
    // 自動 first, then the counts: an item's index is the stored value.
    AddComboItem(h, IDC_OE_PARALLEL, LoadText(IDS_PARALLEL_AUTO));
    for (int n = 1; n <= kMaxParallelCopies; ++n) AddComboItem(h, IDC_OE_PARALLEL, std::to_wstring(n));
    SetComboIndex(h, IDC_OE_PARALLEL, std::clamp(o.ParallelCopies, 0, kMaxParallelCopies));
    MakeDropEdit(Item(IDC_OE_LOG_FILE), DropForm::Plain);
    SetSpin(h, IDC_OE_RECYCLE_SPIN, 1, INT_MAX);
    SetText(h, IDC_OE_RECYCLE_COUNT, std::to_wstring(o.RecycleBinFileCount));
    UpdateEnabling();
}

void CDlgOptEnvironment::UpdateEnabling() {
    HWND h = Handle();
    EnableItem(IDC_OE_MEDIA_ACTION, GetCheck(h, IDC_OE_MEDIA));
    const bool on = GetCheck(h, IDC_OE_LOG);
    EnableItems({IDC_OE_LOG_FILE_LABEL, IDC_OE_LOG_FILE, IDC_OE_LOG_BROWSE, IDC_OE_LOG_HINT, IDC_OE_LOG_HINT2,
                 IDC_OE_LOG_IMMEDIATE, IDC_OE_LOG_ERROR_ONLY, IDC_OE_LOG_CLEAR},
                on);
    EnableItem(IDC_OE_LOG_SKIP, on && !GetCheck(h, IDC_OE_LOG_ERROR_ONLY));
    bool logs = false;
    if (on && context_.current) {
        logs = AnyProjectHasLogs(GetText(h, IDC_OE_LOG_FILE), context_.current->projects);
    }
    EnableItem(IDC_OE_LOG_DELETE_NOW, logs);
}

void CDlgOptEnvironment::DeleteLogsNow() {
    HWND h = Handle();
    if (!context_.current) return;
    const std::wstring pattern = GetText(h, IDC_OE_LOG_FILE);
    const ProjectCollection& projects = context_.current->projects;
    ConfirmAndDeleteLogs(h, [&](bool countOnly) { return DeleteLogsAllProjects(pattern, projects, countOnly); });
    UpdateEnabling();
}

bool CDlgOptEnvironment::Save() {
    HWND h = Handle();
    GlobalOptions& o = Options();
    int count = o.RecycleBinFileCount;
    if (!ValidateIntField(h, IDC_OE_RECYCLE_COUNT, 1, INT_MAX, count)) return false;
    o.RecycleBinFileCount = count;
    context_.toRegistry = GetCheck(h, IDC_OE_REGISTRY);
    o.DetectMediaAction = std::max(GetComboIndex(h, IDC_OE_MEDIA_ACTION), 0) + 1;
    o.ParallelCopies = std::clamp(GetComboIndex(h, IDC_OE_PARALLEL), 0, kMaxParallelCopies);
    SaveFields(h, o, EnvironmentPageFields());
    return true;
}

bool CDlgOptEnvironment::OnCommand(int id, int code) {
    HWND h = Handle();
    switch (id) {
        case IDC_OE_REGISTRY:
            if (code != BN_CLICKED) return false;
            ShowMessageIds(h, GetCheck(h, id) ? IDS_TO_REGISTRY : IDS_TO_INI, IDS_STORE_CHANGE,
                           MB_OK | MB_ICONINFORMATION);
            MarkChanged();
            return true;
        case IDC_OE_MEDIA:
        case IDC_OE_LOG:
        case IDC_OE_LOG_ERROR_ONLY:
            if (code != BN_CLICKED) return false;
            UpdateEnabling();
            MarkChanged();
            return true;
        case IDC_OE_LOG_FILE:
            if (code == EN_KILLFOCUS) UpdateEnabling();
            if (code == EN_CHANGE) MarkChanged();
            return true;
        case IDC_OE_LOG_BROWSE: {
            std::wstring path = GetText(h, IDC_OE_LOG_FILE);
            if (PickFile(h, path, path, IDS_PICK_LOG_TITLE, IDS_PICK_LOG_FILTER, IDS_PICK_LOG_EXT, true)) {
                SetText(h, IDC_OE_LOG_FILE, path);
            }
            UpdateEnabling();
            return true;
        }
        case IDC_OE_LOG_DELETE_NOW:
            DeleteLogsNow();
            return true;
        case IDC_OE_SYSTEM_DEFAULT:
            SetText(h, IDC_OE_SYSTEM_FOLDERS, LoadText(IDS_ALL_SYSTEM_FOLDERS));
            SetText(h, IDC_OE_SYSTEM_FILES, LoadText(IDS_ALL_SYSTEM_FILES));
            return true;
        case IDC_OE_MEDIA_ACTION:
        case IDC_OE_PARALLEL:
            if (code == CBN_SELCHANGE) MarkChanged();
            return true;
        case IDC_OE_SYSTEM_FOLDERS:
        case IDC_OE_SYSTEM_FILES:
        case IDC_OE_RECYCLE_COUNT:
            if (code == EN_CHANGE) MarkChanged();
            return true;
        case IDC_OE_TRAY_ONLY:
        case IDC_OE_NO_ERROR_BOX:
        case IDC_OE_LOG_IMMEDIATE:
        case IDC_OE_LOG_SKIP:
        case IDC_OE_LOG_CLEAR:
        case IDC_OE_RECYCLE_WAIT:
            if (code == BN_CLICKED) MarkChanged();
            return true;
        default:
            return false;
    }
}

// "表示設定"

CDlgOptFont::CDlgOptFont(OptionsContext& context) : COptPage(IDD_OPT_FONT, context) {}

void CDlgOptFont::Load() {
    HWND h = Handle();
    LoadFields(h, Options(), FontPageFields());
    for (unsigned text : {IDS_PLACE_DIALOG, IDS_PLACE_TOOLBAR, IDS_PLACE_PROJECTS, IDS_PLACE_SETUP_LIST,
                          IDS_PLACE_REPORT_LIST, IDS_PLACE_STATUS_BAR}) {
        AddComboItem(h, IDC_OF_PLACE, LoadText(text));
    }
    SetComboIndex(h, IDC_OF_PLACE, 0);
    const std::wstring standard = LoadText(IDS_FONT_STANDARD);
    {
        HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        std::set<std::wstring> faces;
        LOGFONTW wanted{};
        wanted.lfCharSet = SHIFTJIS_CHARSET;
        HDC dc = GetDC(h);
        EnumFontFamiliesExW(dc, &wanted, CollectFace, reinterpret_cast<LPARAM>(&faces), 0);
        ReleaseDC(h, dc);
        AddComboItem(h, IDC_OF_FACE, standard);
        for (const auto& face : faces) AddComboItem(h, IDC_OF_FACE, face);
        SetCursor(previous);
    }
    AddComboItem(h, IDC_OF_SIZE, standard);
    for (int size : kSizes) AddComboItem(h, IDC_OF_SIZE, std::to_wstring(size));
    SetText(h, IDC_OF_NOTE, GetText(h, IDC_OF_NOTE) + LoadText(IDS_W2K_TOOLBAR_FONT));
    place_ = 0;
    ShowPlace();
}

void CDlgOptFont::ShowPlace() {
    HWND h = Handle();
    const FontSlot& slot = Options().fonts[static_cast<size_t>(place_)];
    const std::wstring standard = LoadText(IDS_FONT_STANDARD);
    const bool wasLoading = std::exchange(loading_, true);
    SetText(h, IDC_OF_FACE, slot.face.empty() ? standard : slot.face);
    SetText(h, IDC_OF_SIZE, slot.size == 0 ? standard : std::to_wstring(slot.size / 10));
    loading_ = wasLoading;
}

void CDlgOptFont::TakeFace(bool fromList) {
    HWND combo = Item(IDC_OF_FACE);
    std::wstring face = fromList ? ComboItem(combo, GetComboIndex(Handle(), IDC_OF_FACE)) : GetText(Handle(), IDC_OF_FACE);
    if (face == LoadText(IDS_FONT_STANDARD)) face.clear();
    Options().fonts[static_cast<size_t>(place_)].face = face;
    MarkChanged();
}

void CDlgOptFont::TakeSize(bool fromList) {
    HWND combo = Item(IDC_OF_SIZE);
    const std::wstring text = fromList ? ComboItem(combo, GetComboIndex(Handle(), IDC_OF_SIZE)) : GetText(Handle(), IDC_OF_SIZE);
    const int points = std::clamp(ParseLeadingInt(text), 0, kLargestPointSize);
    Options().fonts[static_cast<size_t>(place_)].size = points * 10;
    MarkChanged();
}

bool CDlgOptFont::Save() {
    SaveFields(Handle(), Options(), FontPageFields());
    return true;
}

bool CDlgOptFont::OnCommand(int id, int code) {
    HWND h = Handle();
    auto& fonts = Options().fonts;
    switch (id) {
        case IDC_OF_SETUP_DATE:
        case IDC_OF_REPORT_DATE:
            if (code == EN_CHANGE) MarkChanged();
            return true;
        case IDC_OF_DATE_DEFAULT:
            SetText(h, IDC_OF_SETUP_DATE, LoadText(IDS_DEFAULT_DATE_FORMAT));
            SetText(h, IDC_OF_REPORT_DATE, LoadText(IDS_DEFAULT_DATE_FORMAT));
            return true;
        case IDC_OF_PLACE:
            if (code == CBN_SELCHANGE) {
                place_ = std::clamp(GetComboIndex(h, IDC_OF_PLACE), 0, FontSlotCount - 1);
                ShowPlace();
            }
            return true;
        case IDC_OF_FACE:
        case IDC_OF_SIZE:
            if (loading_ || (code != CBN_SELCHANGE && code != CBN_EDITCHANGE)) return true;
            if (id == IDC_OF_FACE) {
                TakeFace(code == CBN_SELCHANGE);
            } else {
                TakeSize(code == CBN_SELCHANGE);
            }
            return true;
        case IDC_OF_ALL_SAME:
            std::fill(fonts.begin(), fonts.end(), fonts[static_cast<size_t>(place_)]);
            MarkChanged();
            return true;
        case IDC_OF_ALL_STANDARD:
            std::fill(fonts.begin(), fonts.end(), FontSlot{});
            ShowPlace();
            MarkChanged();
            return true;
        default:
            return false;
    }
}

// "外部ツール設定"

CDlgOptTools::CDlgOptTools(OptionsContext& context) : COptPage(IDD_OPT_TOOLS, context) {}

void CDlgOptTools::Load() {
    HWND h = Handle();
    LoadFields(h, Options(), ToolsPageFields());
    for (const FieldBinding<GlobalOptions>& field : ToolsPageFields()) MakeDropEdit(Item(field.control), DropForm::Plain);
}

bool CDlgOptTools::Save() {
    SaveFields(Handle(), Options(), ToolsPageFields());
    return true;
}

bool CDlgOptTools::OnCommand(int id, int code) {
    HWND h = Handle();
    const bool compare = id == IDC_OT_COMPARE_BROWSE || id == IDC_OT_COMPARE_PROPOSE;
    const int pathId = compare ? IDC_OT_COMPARE_PATH : IDC_OT_VIEWER_PATH;
    const int paramId = compare ? IDC_OT_COMPARE_PARAM : IDC_OT_VIEWER_PARAM;
    switch (id) {
        case IDC_OT_COMPARE_BROWSE:
        case IDC_OT_VIEWER_BROWSE: {
            std::wstring path = GetText(h, pathId);
            if (PickFile(h, path, path, compare ? IDS_PICK_COMPARE_TITLE : IDS_PICK_LOGVIEW_TITLE,
                         IDS_PICK_EXE_FILTER, IDS_PICK_EXE_EXT, false)) {
                SetText(h, pathId, path);
            }
            return true;
        }
        case IDC_OT_COMPARE_PROPOSE:
        case IDC_OT_VIEWER_PROPOSE: {
            const std::wstring path = GetText(h, pathId);
            const std::wstring params = compare ? ProposeCompareParameters(path) : ProposeViewerParameters(path);
            if (!params.empty()) SetText(h, paramId, params);
            return true;
        }
        default:
            if (code == EN_CHANGE) MarkChanged();
            return code == EN_CHANGE;
    }
}

// "コマンドリスト"

CDlgOptCommandList::CDlgOptCommandList(OptionsContext& context) : COptPage(IDD_OPT_COMMAND_LIST, context) {}

void CDlgOptCommandList::Load() {
    HWND h = Handle();
    for (unsigned text : {IDS_WINDOW_NORMAL, IDS_WINDOW_MINIMIZED, IDS_WINDOW_MAXIMIZED, IDS_WINDOW_HIDDEN}) {
        AddComboItem(h, IDC_OC_WINDOW, LoadText(text));
    }
    for (unsigned text : {IDS_AFTER_NOTHING, IDS_AFTER_EXIT, IDS_AFTER_HIBERNATE, IDS_AFTER_SHUTDOWN}) {
        AddComboItem(h, IDC_OC_ACTION, LoadText(text));
    }
    for (int id : {IDC_OC_NAME, IDC_OC_PATH, IDC_OC_PARAM}) MakeDropEdit(Item(id), DropForm::Plain);
    FillList(Options().commands.Empty() ? -1 : 0);
}

void CDlgOptCommandList::FillList(int select) {
    HWND list = Item(IDC_OC_LIST);
    const CommandList& commands = Options().commands;
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < commands.Count(); ++i) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(command_list_edit::Line(commands, i).c_str()));
    }
    SendMessageW(list, LB_SETCURSEL, select, 0);
    ShowEntry();
}

void CDlgOptCommandList::ShowEntry() {
    HWND h = Handle();
    const int i = static_cast<int>(SendDlgItemMessageW(h, IDC_OC_LIST, LB_GETCURSEL, 0, 0));
    const bool any = i >= 0 && i < Options().commands.Count();
    const CommandEntry shown = any ? Options().commands.At(i) : CommandEntry{};
    const bool wasLoading = std::exchange(loading_, true);
    LoadFields(h, shown, CommandListEntryFields());
    SetComboIndex(h, IDC_OC_WINDOW, any ? std::clamp(shown.window, 0, 3) : -1);
    SetComboIndex(h, IDC_OC_ACTION, any ? command_list_edit::ActionIndex(shown.action) : -1);
    loading_ = wasLoading;
    UpdateEnabling();
}

void CDlgOptCommandList::WriteBack() {
    HWND h = Handle();
    HWND list = Item(IDC_OC_LIST);
    const int i = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
    if (loading_ || i < 0 || i >= Options().commands.Count()) return;
    CommandEntry& e = Options().commands.At(i);
    SaveFields(h, e, CommandListEntryFields());
    e.window = std::max(0, GetComboIndex(h, IDC_OC_WINDOW));
    e.action = command_list_edit::ActionCode(GetComboIndex(h, IDC_OC_ACTION));
    SendMessageW(list, LB_DELETESTRING, i, 0);
    SendMessageW(list, LB_INSERTSTRING, i,
                 reinterpret_cast<LPARAM>(command_list_edit::Line(Options().commands, i).c_str()));
    SendMessageW(list, LB_SETCURSEL, i, 0);
    MarkChanged();
}

void CDlgOptCommandList::UpdateEnabling() {
    const int i = static_cast<int>(SendDlgItemMessageW(Handle(), IDC_OC_LIST, LB_GETCURSEL, 0, 0));
    const int count = Options().commands.Count();
    const bool any = i >= 0 && i < count;
    EnableItems({IDC_OC_DELETE, IDC_OC_NAME, IDC_OC_PATH, IDC_OC_BROWSE, IDC_OC_PARAM, IDC_OC_WINDOW,
                 IDC_OC_VISIBLE, IDC_OC_ACTION},
                any);
    EnableItem(IDC_OC_UP, any && i > 0);
    EnableItem(IDC_OC_DOWN, any && i < count - 1);
}

bool CDlgOptCommandList::OnCommand(int id, int code) {
    HWND h = Handle();
    CommandList& commands = Options().commands;
    const int i = static_cast<int>(SendDlgItemMessageW(h, IDC_OC_LIST, LB_GETCURSEL, 0, 0));
    switch (id) {
        case IDC_OC_LIST:
            if (code == LBN_SELCHANGE) ShowEntry();
            return true;
        case IDC_OC_ADD:
            if (!command_list_edit::Add(commands)) {
                ShowMessageIds(h, IDS_TOOL_LIMIT, IDS_TOOL_SETTING_ERROR, MB_OK | MB_ICONSTOP);
                return true;
            }
            FillList(commands.Count() - 1);
            MarkChanged();
            return true;
        case IDC_OC_DELETE:
            if (i < 0) return true;
            FillList(command_list_edit::Remove(commands, i));
            MarkChanged();
            return true;
        case IDC_OC_UP:
        case IDC_OC_DOWN: {
            const int moved = command_list_edit::Move(commands, i, id == IDC_OC_UP ? -1 : 1);
            if (moved == i) return true;
            FillList(moved);
            MarkChanged();
            return true;
        }
        case IDC_OC_BROWSE: {
            std::wstring path = GetText(h, IDC_OC_PATH);
            if (PickFile(h, path, path, IDS_PICK_PROGRAM_TITLE, IDS_PICK_EXE_FILTER, IDS_PICK_EXE_EXT, false)) {
                SetText(h, IDC_OC_PATH, path);
            }
            return true;
        }
        case IDC_OC_NAME:
        case IDC_OC_PATH:
        case IDC_OC_PARAM:
            if (code == EN_CHANGE) WriteBack();
            return true;
        case IDC_OC_WINDOW:
        case IDC_OC_ACTION:
            if (code == CBN_SELCHANGE) WriteBack();
            return true;
        case IDC_OC_VISIBLE:
            if (code == BN_CLICKED) WriteBack();
            return true;
        default:
            return false;
    }
}

}  // namespace tandrel
