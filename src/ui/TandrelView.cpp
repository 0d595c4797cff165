#include "ui/TandrelView.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>

#include "framework/Control.h"
#include "framework/ListView.h"
#include "platform/Drives.h"
#include "platform/WaitCursor.h"
#include "platform/Messages.h"
#include "platform/Pickers.h"
#include "platform/Strings.h"
#include "platform/ToolLaunch.h"
#include "resource_ui.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsStore.h"
#include "ui/ListTexts.h"
#include "ui/UserMessages.h"

namespace tandrel {

namespace {

constexpr UINT kAnimationPeriodMs = 500;

// Puts the text on the clipboard as Unicode text.
bool CopyToClipboard(HWND owner, const std::wstring& text) {
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool ok = false;
    if (memory) {
        if (void* data = GlobalLock(memory)) {
            memcpy(data, text.c_str(), bytes);
            GlobalUnlock(memory);
            ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        // The clipboard owns the memory only once it took it.
        if (!ok) GlobalFree(memory);
    }
    CloseClipboard();
    return ok;
}

void ForgetLastTotals(FolderSetting& setting) {
    setting.LastFiles = setting.LastSeconds = 0;
    setting.LastTestFiles = setting.LastTestSeconds = 0;
}

bool ShellOpen(HWND, const std::wstring& path) {
    return LaunchTool(path, L"", WindowNormal, false);
}

}  // namespace

int CTandrelView::AskYesNo(HWND owner, unsigned textId, const std::wstring& caption, size_t count,
                           const std::wstring* second) {
    return ShowMessageFormatCaption(owner, textId, caption, MB_ICONQUESTION | MB_YESNO, std::to_wstring(count), second);
}

CTandrelView::CTandrelView(AppState& options, ViewFrame& frame)
    : startBatch(StartBatch),
      openInShell(ShellOpen),
      readLabels(ReadArrivedLabels),
      pickFolder(PickFolder),
      options_(options),
      frame_(frame),
      divider_(options.DivideY),
      setupList_(options.SetupList, AppState().SetupList),
      reportList_(options.ReportList, AppState().ReportList),
      runs_(*this, options, frame, settings_, commands_, setupList_, reportList_, tray_) {}

CTandrelView::~CTandrelView() = default;

bool CTandrelView::Create(HWND parent) {
    if (!Window::Create(kClassName, L"", WS_CHILD | WS_VISIBLE, WS_EX_ACCEPTFILES, 0, 0, 0, 0, parent, nullptr))
        return false;
    return setupList_.Handle() && reportList_.Handle();
}

HWND CTandrelView::FrameHandle() const {
    return frame_.FrameWindow();
}

void CTandrelView::OnInitialUpdate() {
    if (!initialised_) {
        tray_.Add(Handle());
        frame_.FillProjectSelector();
        DragAcceptFiles(Handle(), TRUE);
        initialised_ = true;
    }
    SetTimer(Handle(), kAnimationTimer, kAnimationPeriodMs, nullptr);
    SetDivider(options_.DivideY);
    Layout();
    LoadActiveProject();
    options_.powerActionAtExit = false;
    runs_.ScheduleAutoStart();
}

void CTandrelView::LoadActiveProject() {
    const bool wasReadable = !options_.settingsReadError;
    LoadProjectSettings(options_, settings_, commands_, options_.ActiveProject);
    // The file could not be read just now: nothing is saved from here on.
    if (wasReadable && options_.settingsReadError && !options_.autoStart) ReportUnreadSettings(options_);
    Refill();
}

void CTandrelView::Refill(int scrollTo) {
    setupList_.SetDateFormat(options_.FormatFolderSetResult);
    setupList_.Fill(settings_, scrollTo);
    frame_.ApplyFonts();
    UpdateCommands();
}

void CTandrelView::RefreshDateFormat() {
    Refill();
}

void CTandrelView::SwitchProject(int project) {
    if (Running() || project == options_.ActiveProject) return;
    WaitCursor wait;
    if (options_.dirtyOrder) StoreAll();
    options_.ActiveProject = project;
    LoadActiveProject();
}

bool CTandrelView::Store(int index, unsigned parts) {
    // A pending reordering is only stored when every key moves with it.
    if (options_.dirtyOrder) parts = PartAll;
    return SaveProjectSettings(options_, settings_, commands_, options_.ActiveProject, index, parts);
}

bool CTandrelView::StoreAll(unsigned parts) {
    return Store(-1, parts);
}

std::vector<int> CTandrelView::Selected() const {
    if (heldSelection_) return *heldSelection_;
    std::vector<int> rows = listview::SelectedRows(setupList_.Handle());
    // Rows and records are kept in step; a stray row is never acted on.
    std::erase_if(rows, [this](int row) { return row >= static_cast<int>(settings_.size()); });
    return rows;
}

std::optional<CommandState> CTandrelView::QueryCommand(UINT id, bool mainMenu) const {
    const bool idle = !Running();
    // The worker's after-completion step still reads the batch and the options.
    const bool free = !Busy();
    // Reached through the tray icon also while a dialog of the program is open.
    const bool unblocked = free && !frame_.ModalOpen();
    const std::vector<int> selected = Selected();
    const bool any = !selected.empty();
    const int count = static_cast<int>(settings_.size());
    CommandState state;
    switch (id) {
        case ID_SETTING_ADD: state.enabled = idle && count < kMaxSettingsPerProject; break;
        case ID_SETTING_DELETE:
        case ID_SETTING_EDIT:
        case ID_SETTING_DUPLICATE: state.enabled = idle && any; break;
        case ID_RUN_TEST:
        case ID_RUN_UPDATE: state.enabled = free && any; break;
        case ID_SETTING_UP: state.enabled = idle && any && selected.front() > 0; break;
        case ID_SETTING_DOWN: state.enabled = idle && any && selected.back() < count - 1; break;
        case ID_RUN_ALL_TEST:
        case ID_RUN_ALL_UPDATE: state.enabled = free && count > 0; break;
        case ID_RUN_CANCEL: state.enabled = Running() && !runs_.CancelPending(); break;
        case ID_RESTORE_BACKUP:
            state.enabled = free && selected.size() == 1;
            if (selected.size() > 1) state.prompt = LoadText(IDS_RESTORE_ONE);
            break;
        case ID_OPEN_MASTER:
        case ID_OPEN_BACKUP: state.enabled = any; break;
        case ID_OPEN_LOG: {
            bool ownLog = false;
            for (int row : selected) ownLog = ownLog || settings_[static_cast<size_t>(row)].OutputLog;
            state.enabled = idle && (options_.OutputLog || ownLog);
            break;
        }
        case ID_COMPARE_TOOL:
            state.enabled = idle && any;
            state.text = CompareToolMenuText(options_, mainMenu);
            break;
        case ID_PROJECT_EDIT:
        case ID_IMPORT:
            // Either would write a project list that was never read.
            if (const unsigned lock = ProjectListLock(options_)) {
                state.enabled = false;
                state.prompt = LoadText(lock);
                break;
            }
            state.enabled = id == ID_IMPORT ? unblocked : idle;
            break;
        case ID_SETTING_SELECT:
        case ID_SELECT_ALL:
        case ID_EXPORT: state.enabled = idle; break;
        case ID_OPTIONS:
            state.enabled = unblocked;
            if (const unsigned why = OptionsNotKept(options_)) state.prompt = LoadText(why);
            break;
        case ID_APP_EXIT: state.enabled = unblocked; break;
        case ID_REPORT_CLEAR: state.enabled = idle; break;
        case ID_HELP_MANUAL:
        case ID_TRAY_SHOW: break;
        case ID_EDIT_COPY: state.enabled = reportList_.RowCount() > 0; break;
        case ID_MEDIA_ENABLE:
            if (const unsigned why = OptionsNotKept(options_)) state.prompt = LoadText(why);
            break;
        case ID_MEDIA_NONE:
        case ID_MEDIA_TEST_ASK:
        case ID_MEDIA_UPDATE_ASK:
        case ID_MEDIA_TEST:
        case ID_MEDIA_UPDATE:
            if (const unsigned why = OptionsNotKept(options_)) state.prompt = LoadText(why);
            state.radio = true;
            state.checked = id == (options_.ExecIfDetectMedia
                                       ? static_cast<UINT>(ID_MEDIA_NONE + options_.DetectMediaAction)
                                       : static_cast<UINT>(ID_MEDIA_NONE));
            break;
        default: return std::nullopt;
    }
    return state;
}

bool CTandrelView::OnCommand(UINT id) {
    const std::optional<CommandState> state = QueryCommand(id);
    if (!state) return false;
    if (!state->enabled) return true;
    switch (id) {
        case ID_SETTING_ADD: AddSetting(L"", L""); break;
        case ID_SETTING_DELETE: Delete(); break;
        case ID_SETTING_EDIT: Edit(); break;
        case ID_SETTING_DUPLICATE: Duplicate(); break;
        case ID_SETTING_UP: Move(-1); break;
        case ID_SETTING_DOWN: Move(1); break;
        case ID_MEDIA_ENABLE:
        case ID_MEDIA_NONE:
        case ID_MEDIA_TEST_ASK:
        case ID_MEDIA_UPDATE_ASK:
        case ID_MEDIA_TEST:
        case ID_MEDIA_UPDATE: ChooseMediaAction(id); break;
        case ID_RUN_TEST: StartRun(true, false); break;
        case ID_RUN_ALL_TEST: StartRun(true, true); break;
        case ID_RUN_UPDATE: StartRun(false, false); break;
        case ID_RUN_ALL_UPDATE: StartRun(false, true); break;
        case ID_RUN_CANCEL: Cancel(); break;
        case ID_RESTORE_BACKUP: RestoreFromBackup(); break;
        case ID_OPEN_MASTER: OpenFolders(SideMaster); break;
        case ID_OPEN_BACKUP: OpenFolders(SideBackup); break;
        case ID_OPEN_LOG: OpenLogs(); break;
        case ID_COMPARE_TOOL: CompareTool(); break;
        case ID_SETTING_SELECT: SelectRows(false); break;
        case ID_SELECT_ALL: SelectRows(true); break;
        case ID_PROJECT_EDIT: EditProjects(); break;
        case ID_OPTIONS: EditOptions(); break;
        case ID_IMPORT: ImportSettings(); break;
        case ID_EXPORT: ExportSettings(); break;
        case ID_HELP_MANUAL: ShowHelp(); break;
        case ID_REPORT_CLEAR: reportList_.Clear(); break;
        case ID_EDIT_COPY: CopyToClipboard(Handle(), reportList_.RowsAsText()); break;
        default: return false;
    }
    UpdateCommands();
    return true;
}

void CTandrelView::UpdateCommands() {
    frame_.RequestCommandUpdate();
}

void CTandrelView::HoldSelection(bool hold) {
    heldSelection_.reset();
    if (hold) heldSelection_ = Selected();
}

void CTandrelView::MarkSelection() {
    for (FolderSetting& s : settings_) s.runSelection = 0;
    for (int row : Selected()) settings_[static_cast<size_t>(row)].runSelection = 1;
}

void CTandrelView::AddSetting(const std::wstring& master, const std::wstring& backup) {
    if (Running() || !dialogs.editSetting || settings_.size() >= static_cast<size_t>(kMaxSettingsPerProject))
        return;
    FolderSetting setting;
    setting.Reset(LoadText(IDS_NEW_SETTING));
    if (!master.empty()) setting.Master = master;
    if (!backup.empty()) setting.Backup = backup;
    CommandList commands = commands_;
    Rect placement = options_.FolderSettingDialog;
    if (!dialogs.editSetting(FrameHandle(), setting, commands, placement) || !MayApplyDialog(IDS_FOLDER_SETTING)) return;
    settings_.push_back(setting);
    commands_ = std::move(commands);
    setupList_.AddRow(settings_.back());
    options_.FolderSettingDialog = placement;
    StoreAll();
    ShowMessageFormat(FrameHandle(), IDS_SETTING_CREATED, IDS_SETTING_CREATE, MB_ICONINFORMATION, setting.Name);
}

void CTandrelView::Edit() {
    const std::vector<int> rows = Selected();
    if (rows.empty() || !dialogs.editSetting) return;
    const int row = rows.front();
    FolderSetting setting = settings_[static_cast<size_t>(row)];
    CommandList commands = commands_;
    Rect placement = options_.FolderSettingDialog;
    if (!dialogs.editSetting(FrameHandle(), setting, commands, placement) || !MayApplyDialog(IDS_FOLDER_SETTING)) return;
    const FolderSetting& before = settings_[static_cast<size_t>(row)];
    // Other folders are another tree: the last run's totals say nothing of it.
    if (setting.Master != before.Master || setting.Backup != before.Backup) ForgetLastTotals(setting);
    settings_[static_cast<size_t>(row)] = setting;
    commands_ = std::move(commands);
    setupList_.UpdateRow(row, setting);
    options_.FolderSettingDialog = placement;
    Store(row, PartAll);
}

void CTandrelView::Delete() {
    const std::vector<int> rows = Selected();
    if (rows.empty()) return;
    const std::wstring caption = LoadText(IDS_DELETE_CAPTION);
    const int answer = rows.size() == 1
                           ? ShowMessageFormatCaption(FrameHandle(), IDS_DELETE_ONE_ASK, caption,
                                                      MB_ICONQUESTION | MB_YESNO,
                                                      settings_[static_cast<size_t>(rows.front())].Name)
                           : AskYesNo(FrameHandle(), IDS_DELETE_MANY_ASK, caption, rows.size());
    if (answer != IDYES || !MayApplyDialog(IDS_DELETE_CAPTION)) return;
    setupList_.suppressNotify = true;
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        const FolderSetting& s = settings_[static_cast<size_t>(*it)];
        for (int id : s.commandIds) commands_.Remove(id);
        settings_.erase(settings_.begin() + *it);
        SendMessageW(setupList_.Handle(), LVM_DELETEITEM, static_cast<WPARAM>(*it), 0);
    }
    setupList_.suppressNotify = false;
    StoreAll();
}

void CTandrelView::Duplicate() {
    const std::vector<int> rows = Selected();
    if (rows.empty()) return;
    if (rows.size() > 1 &&
        AskYesNo(FrameHandle(), IDS_DUPLICATE_ASK, LoadText(IDS_DUPLICATE_CAPTION), rows.size()) != IDYES)
        return;
    const std::wstring copyName = LoadText(IDS_COPY_NAME);
    for (int row : rows) {
        if (settings_.size() >= static_cast<size_t>(kMaxSettingsPerProject)) break;
        FolderSetting copy = settings_[static_cast<size_t>(row)];
        copy.Name = Format(copyName.c_str(), copy.Name.c_str());
        copy.runSelection = 0;
        // The copy has not run yet.
        ForgetLastTotals(copy);
        for (int slot = 0; slot < 2; ++slot) {
            CommandEntry entry;
            commands_.CopyInto(entry, copy.commandIds[slot], slot);
            entry.id = -1;
            copy.commandIds[slot] = commands_.Store(entry);
        }
        settings_.push_back(copy);
        setupList_.AddRow(settings_.back());
    }
    StoreAll();
}

void CTandrelView::Move(int step) {
    std::vector<int> rows = Selected();
    if (rows.empty()) return;
    MarkSelection();
    if (step > 0) std::reverse(rows.begin(), rows.end());
    for (int row : rows) {
        const int to = row + step;
        std::swap(settings_[static_cast<size_t>(row)], settings_[static_cast<size_t>(to)]);
    }
    options_.dirtyOrder = true;
    Refill(rows.front() + step);
}

void CTandrelView::SelectRows(bool all) {
    HWND list = setupList_.Handle();
    SetFocus(list);
    if (listview::RowCount(list) == 0) return;
    if (all) {
        listview::SetSelected(list, -1, true);
    } else if (!Selected().empty()) {
        return;
    } else {
        listview::SetSelected(list, 0, true);
    }
    listview::SetFocused(list, 0);
}

void CTandrelView::EditProjects() {
    if (options_.dirtyOrder) StoreAll();
    if (!dialogs.editProjects || !dialogs.editProjects(FrameHandle())) return;
    frame_.FillProjectSelector();
    LoadActiveProject();
}

void CTandrelView::EditOptions() {
    if (!dialogs.editOptions) return;
    const std::wstring format = options_.FormatFolderSetResult;
    WaitCursor wait;
    if (!dialogs.editOptions(FrameHandle())) return;
    frame_.FillAfterCompletion();
    if (options_.FormatFolderSetResult != format) Refill();
    frame_.ApplyFonts();
}

void CTandrelView::ImportSettings() {
    if (options_.dirtyOrder) StoreAll();
    // The view is reloaded by ShowImported, before the closing message box.
    if (dialogs.importSettings) dialogs.importSettings(FrameHandle());
}

void CTandrelView::ShowImported(bool done) {
    if (done) {
        frame_.ApplyStoredPlacement();
        SetDivider(options_.DivideY);
        Layout();
        setupList_.ApplyWidths();
        reportList_.ApplyWidths();
    }
    frame_.FillProjectSelector();
    frame_.FillAfterCompletion();
    LoadActiveProject();
}

void CTandrelView::ExportSettings() {
    if (options_.dirtyOrder) StoreAll();
    if (dialogs.exportSettings) dialogs.exportSettings(FrameHandle());
}

bool CTandrelView::MayApplyDialog(unsigned caption) {
    if (!Busy()) return true;
    ShowMessageIds(FrameHandle(), IDS_RUNNING_NO_CHANGE, caption, MB_ICONHAND);
    return false;
}

void CTandrelView::ChooseMediaAction(UINT id) {
    if (id == ID_MEDIA_ENABLE) {
        options_.ExecIfDetectMedia = !options_.ExecIfDetectMedia;
    } else {
        options_.ExecIfDetectMedia = id != ID_MEDIA_NONE;
        if (id != ID_MEDIA_NONE) options_.DetectMediaAction = static_cast<int>(id - ID_MEDIA_NONE);
    }
    SaveOptions(options_, GroupSheet);
}

void CTandrelView::ToggleAutoExec(int row) {
    if (row < 0 || row >= static_cast<int>(settings_.size())) return;
    FolderSetting& s = settings_[static_cast<size_t>(row)];
    if (Running()) {
        ShowMessageIds(FrameHandle(), IDS_RUNNING_NO_CHANGE, IDS_AUTO_CHANGE, MB_ICONHAND);
        setupList_.UpdateRow(row, s);
        return;
    }
    s.AutoExec = !s.AutoExec;
    // The list already shows the click; a toggle queued behind another keeps them in step.
    setupList_.UpdateRow(row, s);
    Store(row, PartAutoExec);
}

void CTandrelView::SettingRunState(int state, FolderSetting* setting) {
    if (state == 0) {
        setupList_.Resynchronise(settings_);
        return;
    }
    auto it = std::find_if(settings_.begin(), settings_.end(), [setting](const FolderSetting& s) { return &s == setting; });
    if (it == settings_.end()) return;
    const int row = static_cast<int>(it - settings_.begin());
    it->runSelection = static_cast<std::uint8_t>(state);
    HWND list = setupList_.Handle();
    setupList_.suppressNotify = true;
    if (state == 1) {
        setupList_.currentRow = row;
        listview::SetSelected(list, row, true);
        listview::SetFocused(list, row);
        SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
    } else {
        setupList_.currentRow = -1;
        listview::SetSelected(list, row, false);
    }
    setupList_.suppressNotify = false;
    setupList_.UpdateResult(row, *it);
    Store(row, PartAll);
}

void CTandrelView::ApplyListFonts(const FontChoice& fallback, UINT dpi) {
    // On a screen of another scale than the system's, the lists' own font would stay at the system's.
    const bool ownScale = dpi != GetDpiForSystem();
    const FontSlot& setup = options_.fonts[FontSetupList];
    if (setup.IsSet() || setupList_.HasCustomFont() || ownScale) setupList_.ApplyFont(EffectiveFont(setup, fallback), dpi);
    const FontSlot& report = options_.fonts[FontReportList];
    if (report.IsSet() || reportList_.HasCustomFont() || ownScale)
        reportList_.ApplyFont(EffectiveFont(report, fallback), dpi);
    setupList_.FitDefaults(dpi);
    reportList_.FitDefaults(dpi);
}

void CTandrelView::ScaleChanged(UINT from, UINT to) {
    divider_ = MulDiv(divider_, static_cast<int>(to), static_cast<int>(from));
    options_.DivideY = divider_;
    setupList_.ScaleWidths(from, to);
    reportList_.ScaleWidths(from, to);
}

LRESULT CTandrelView::OnNotify(NMHDR& header) {
    if (header.hwndFrom == reportList_.Handle()) {
        if (header.code == LVN_GETDISPINFOW) reportList_.OnGetDispInfo(reinterpret_cast<NMLVDISPINFOW&>(header));
        return 0;
    }
    if (header.hwndFrom != setupList_.Handle()) return 0;
    switch (header.code) {
        case LVN_GETDISPINFOW:
            setupList_.OnGetDispInfo(reinterpret_cast<NMLVDISPINFOW&>(header), settings_);
            return 0;
        case LVN_ITEMCHANGED: {
            if (setupList_.suppressNotify) return 0;
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if (Running()) {
                // The records lead during a run: the list is put back.
                PostMessageW(Handle(), WM_TANDREL_SETTING_RUN, 0, 0);
                return 0;
            }
            const int row = setupList_.ToggledRow(change);
            if (row >= 0) PostMessageW(Handle(), WM_TANDREL_TOGGLE_AUTO, static_cast<WPARAM>(row), 0);
            UpdateCommands();
            return 0;
        }
        case NM_RETURN:
        case NM_DBLCLK:
            PostMessageW(FrameHandle(), WM_COMMAND, ID_SETTING_EDIT, 0);
            return 0;
    }
    return 0;
}

void CTandrelView::OnDropFiles(HDROP drop) {
    const std::vector<std::wstring> paths = TakeDroppedFiles(drop);
    if (paths.empty()) return;
    AddSetting(paths[0], paths.size() > 1 ? paths[1] : L"");
    UpdateCommands();
}

void CTandrelView::OnTray(WPARAM wParam, LPARAM lParam) {
    // The low word is the event in both protocols of the shell.
    switch (LOWORD(lParam)) {
        case WM_LBUTTONDBLCLK:
        case NIN_KEYSELECT:
            frame_.Restore();
            break;
        case WM_CONTEXTMENU:
            if (tray_.Version4()) ShowTrayMenu({GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)});
            break;
        case WM_RBUTTONDOWN:
            // The newer protocol follows the button with WM_CONTEXTMENU.
            if (!tray_.Version4()) {
                POINT at{};
                GetCursorPos(&at);
                ShowTrayMenu(at);
            }
            break;
    }
}

void CTandrelView::ShowTrayMenu(POINT at) {
    // A menu of a window in front closes when the user clicks elsewhere.
    SetForegroundWindow(Handle());
    TrackCommandPopup(IDR_TRAY_POPUP, at, FrameHandle(), [this](UINT id) { return frame_.QueryCommand(id, false); });
    SetForegroundWindow(Handle());
    PostMessageW(Handle(), WM_NULL, 0, 0);
}

void CTandrelView::OnTimer(UINT_PTR id) {
    if (id == kAnimationTimer) {
        tray_.Tick(Running());
        UpdateCommands();
        ServeWaitingRuns();
    } else {
        runs_.OnTimer(id);
    }
}

void CTandrelView::OnDestroy() {
    KillTimer(Handle(), kAnimationTimer);
    runs_.Stop();
    frame_.RememberPlacement();
    tray_.Remove();
    StoreAll();
}

bool CTandrelView::OnCreate(const CREATESTRUCTW&) {
    setupList_.Create(Handle());
    reportList_.Create(Handle());
    setupList_.commandTarget = FrameHandle();
    setupList_.commandQuery = [this](UINT id) { return frame_.QueryCommand(id, false); };
    reportList_.commandTarget = FrameHandle();
    reportList_.commandQuery = setupList_.commandQuery;
    runs_.Create();
    return true;
}

void CTandrelView::OnSize(UINT, int width, int height) {
    if (width != 0 || height != 0) {
        SetDivider(divider_);
        Layout();
    }
}

void CTandrelView::OnSetFocus(HWND) {
    SetFocus(setupList_.Handle());
}

bool CTandrelView::OnCommand(UINT id, UINT code, HWND control) {
    // Menus opened by the view send to the frame; anything else lands here.
    SendMessageW(FrameHandle(), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
    return true;
}

LRESULT CTandrelView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TANDREL_TRAY:
            OnTray(wParam, lParam);
            return 0;
        case WM_TANDREL_TOGGLE_AUTO:
            ToggleAutoExec(static_cast<int>(wParam));
            return 0;
        case WM_TANDREL_SETTING_RUN:
            SettingRunState(static_cast<int>(wParam), reinterpret_cast<FolderSetting*>(lParam));
            return 0;
        case WM_TANDREL_REFRESH:
            runs_.OnRefresh(wParam);
            return 0;
        case WM_TANDREL_STORE_RESULTS:
            StoreAll(PartResult);
            return 0;
        case WM_TANDREL_SETTINGS_NOTICE:
            // Nobody watches an automatic run: its log and exit code tell.
            if (!options_.autoStart) ShowSettingsNotice(options_, static_cast<unsigned>(wParam));
            return 0;
        case WM_TANDREL_MEDIA_READ:
            runs_.OnMediaRead(wParam, lParam);
            return 0;
    }
    return Default();
}

}  // namespace tandrel
