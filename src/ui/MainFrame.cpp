#include "ui/MainFrame.h"

#include <commctrl.h>
#include <dbt.h>
#include <windowsx.h>

#include <algorithm>

#include "platform/Strings.h"
#include "resource_ui.h"
#include "settings/SettingsStore.h"
#include "ui/UserMessages.h"

namespace tandrel {

namespace {

constexpr int kToolbarButtonWidth = 48;

// The toolbar's image strips for a scale: 20 pixels up to 149 %, 30 up to
// 174 %, 40 beyond (no strip is stretched on the screen).
struct ToolbarImages {
    int size, normal, disabled;
};
ToolbarImages ToolbarImagesFor(UINT dpi) {
    if (dpi >= 168) return {40, IDB_TOOLBAR_40, IDB_TOOLBAR_DISABLED_40};
    if (dpi >= 144) return {30, IDB_TOOLBAR_30, IDB_TOOLBAR_DISABLED_30};
    return {20, IDB_TOOLBAR, IDB_TOOLBAR_DISABLED};
}

struct ToolbarButton {
    int command;
    int image;
    unsigned text;
};
// Command 0 is a separator.
constexpr ToolbarButton kButtons[] = {
    {ID_SETTING_ADD, 0, IDS_TB_ADD},       {ID_SETTING_DELETE, 1, IDS_TB_DELETE}, {ID_SETTING_EDIT, 2, IDS_TB_EDIT},
    {ID_OPEN_LOG, 3, IDS_TB_LOG},          {0, 0, 0},                             {ID_SETTING_UP, 9, IDS_TB_UP},
    {ID_SETTING_DOWN, 10, IDS_TB_DOWN},    {0, 0, 0},                             {ID_RUN_TEST, 4, IDS_TB_TEST},
    {ID_RUN_ALL_TEST, 5, IDS_TB_ALL_TEST}, {ID_RUN_UPDATE, 6, IDS_TB_UPDATE},     {ID_RUN_ALL_UPDATE, 7, IDS_TB_ALL_UPDATE},
    {ID_RUN_CANCEL, 8, IDS_TB_CANCEL},
};

HIMAGELIST LoadToolbarImages(int bitmap, int size) {
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 13, 0);
    HBITMAP image = static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(bitmap), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (image) {
        ImageList_AddMasked(list, image, RGB(255, 0, 255));
        DeleteObject(image);
    }
    return list;
}

// The line of a command's string: 0 the status prompt, 1 the tool tip.
std::wstring CommandTextLine(UINT id, int line) {
    const std::wstring text = LoadText(id);
    const size_t cut = text.find(L'\n');
    if (line == 0) return text.substr(0, cut);
    return cut == std::wstring::npos ? std::wstring() : text.substr(cut + 1);
}

bool IsSubMenuOf(HMENU menu, HMENU popup) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        HMENU sub = GetSubMenu(menu, i);
        if (sub && (sub == popup || IsSubMenuOf(sub, popup))) return true;
    }
    return false;
}

INT_PTR CALLBACK ControlBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND) {
        SendMessageW(GetParent(bar), message, wParam, lParam);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

CMainFrame::CMainFrame(AppState& options)
    : options_(options), taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {}

CMainFrame::~CMainFrame() {
    if (images_) ImageList_Destroy(images_);
    if (disabledImages_) ImageList_Destroy(disabledImages_);
}

bool CMainFrame::Create(const std::wstring& title) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    accelerators_ = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    const Rect& stored = options_.MainWindow;
    const bool placed = stored.left != 0 && stored.top != 0 && stored.right != 0 && stored.bottom != 0;
    const RECT r = FindOnScreen({stored.left, stored.top, stored.right, stored.bottom});
    return Window::Create(kClassName, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0,
                          placed ? r.left : CW_USEDEFAULT, placed ? r.top : CW_USEDEFAULT,
                          placed ? r.right - r.left : CW_USEDEFAULT, placed ? r.bottom - r.top : CW_USEDEFAULT, nullptr,
                          menu, icon);
}

void CMainFrame::OnIdle() {
    // The worker leaves its after-completion step without a message: the
    // commands it held back come back on the next idle turn.
    if (view_ && view_->Busy() != busyAtLastIdle_) {
        busyAtLastIdle_ = view_->Busy();
        RequestCommandUpdate();
    }
    commandUpdate_.OnIdle();
    if (closeWhenFree_ && view_ && !view_->Busy()) {
        closeWhenFree_ = false;
        PostMessageW(Handle(), WM_CLOSE, 0, 0);
        return;
    }
    if (view_) view_->ServeWaitingRuns();
}

bool CMainFrame::ModalOpen() const {
    if (!Handle()) return false;
    if (!IsWindowEnabled(Handle())) return true;
    bool open = false;
    EnumThreadWindows(
        GetWindowThreadProcessId(Handle(), nullptr),
        [](HWND window, LPARAM found) -> BOOL {
            wchar_t name[16] = {};
            GetClassNameW(window, name, 16);
            if (IsWindowVisible(window) && wcscmp(name, L"#32770") == 0) {
                *reinterpret_cast<bool*>(found) = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&open));
    return open;
}

void CMainFrame::InitialUpdate() {
    view_->OnInitialUpdate();
    UpdateCommandUI();
}

void CMainFrame::MoveFocus(bool forward, bool byPane) {
    // Panes in order; the control bar's entries are its enabled tab stops.
    std::vector<std::vector<HWND>> panes(1);
    for (HWND child = GetWindow(bar_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) && IsWindowVisible(child) && IsWindowEnabled(child))
            panes[0].push_back(child);
    }
    panes.push_back({view_->SetupList().Handle()});
    panes.push_back({view_->ReportList().Handle()});
    std::erase_if(panes, [](const std::vector<HWND>& pane) { return pane.empty(); });
    if (panes.empty()) return;
    const HWND focus = GetFocus();
    int pane = -1, entry = 0;
    for (int p = 0; p < static_cast<int>(panes.size()) && pane < 0; ++p) {
        for (int e = 0; e < static_cast<int>(panes[p].size()); ++e) {
            if (focus == panes[p][e] || IsChild(panes[p][e], focus)) {
                pane = p;
                entry = e;
                break;
            }
        }
    }
    const int count = static_cast<int>(panes.size());
    HWND next = nullptr;
    if (pane < 0) {
        // From anywhere else the keyboard starts at the setting list.
        next = view_->SetupList().Handle();
    } else if (byPane) {
        next = panes[(pane + (forward ? 1 : count - 1)) % count].front();
    } else if (forward) {
        next = entry + 1 < static_cast<int>(panes[pane].size()) ? panes[pane][entry + 1]
                                                                : panes[(pane + 1) % count].front();
    } else {
        next = entry > 0 ? panes[pane][entry - 1] : panes[(pane + count - 1) % count].back();
    }
    SetFocus(next);
}

bool CMainFrame::DroppedDownInBar(HWND window) const {
    // The focus is on the list's box, or on the edit field inside it.
    for (HWND w = window; w && w != bar_ && IsChild(bar_, w); w = GetParent(w)) {
        wchar_t name[16] = {};
        GetClassNameW(w, name, 16);
        if (_wcsicmp(name, L"ComboBox") == 0) return SendMessageW(w, CB_GETDROPPEDSTATE, 0, 0) != 0;
    }
    return false;
}

bool CMainFrame::PreTranslateMessage(MSG& msg) {
    if (msg.message == WM_KEYDOWN && (msg.wParam == VK_TAB || msg.wParam == VK_F6) && view_ &&
        !(GetKeyState(VK_CONTROL) & 0x8000) && (msg.hwnd == Handle() || IsChild(Handle(), msg.hwnd))) {
        MoveFocus(!(GetKeyState(VK_SHIFT) & 0x8000), msg.wParam == VK_F6);
        return true;
    }
    if (msg.message == WM_MOUSEWHEEL && view_) {
        // The list under the mouse scrolls, not the one with the focus.
        const POINT at{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
        HWND under = WindowFromPoint(at);
        if (under && GetParent(under) == view_->Handle()) msg.hwnd = under;
    }
    // An open drop-down of the control bar takes its own keys (Esc closes
    // it): the shortcuts, Esc among them for 中止, are not meant then.
    if (msg.message == WM_KEYDOWN && DroppedDownInBar(msg.hwnd)) return false;
    if (accelerators_ && TranslateAcceleratorW(Handle(), accelerators_, &msg)) return true;
    return bar_ && IsDialogMessageW(bar_, &msg);
}

std::wstring CMainFrame::StatusText() const {
    wchar_t buffer[1024] = {};
    SendMessageW(statusBar_, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

std::wstring CMainFrame::ProgressText() const {
    if (progressWidth_ == 0) return {};
    wchar_t buffer[1024] = {};
    SendMessageW(statusBar_, SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

void CMainFrame::ShowProgress(const std::wstring& text) {
    int width = 0;
    if (!text.empty()) {
        HDC dc = GetDC(statusBar_);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(statusBar_, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(statusBar_, dc);
        // The pane grows with its text and does not shrink back while a
        // run goes on, so the status text beside it does not jitter.
        width = std::max(progressWidth_, static_cast<int>(size.cx) + 4 * GetSystemMetrics(SM_CXEDGE) +
                                             GetSystemMetrics(SM_CXVSCROLL));
    }
    if (width != progressWidth_) {
        progressWidth_ = width;
        LayoutStatusParts();
    }
    if (width > 0) SendMessageW(statusBar_, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(text.c_str()));
}

void CMainFrame::LayoutStatusParts() {
    if (!statusBar_) return;
    if (progressWidth_ == 0) {
        int whole = -1;
        SendMessageW(statusBar_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&whole));
        return;
    }
    RECT client{};
    GetClientRect(statusBar_, &client);
    // The status text keeps at least a third of the line.
    const int statusWidth = std::max(static_cast<int>(client.right) - progressWidth_, static_cast<int>(client.right) / 3);
    int parts[2] = {statusWidth, -1};
    SendMessageW(statusBar_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
}

void CMainFrame::OnWaiting(bool waiting) {
    if (waiting && GetForegroundWindow() != Handle()) {
        FLASHWINFO flash{sizeof flash, Handle(), FLASHW_TRAY | FLASHW_TIMERNOFG, 0, 0};
        FlashWindowEx(&flash);
        ++flashes_;
    }
    if (view_) view_->ShowProgress(true);
}

CommandState CMainFrame::QueryCommand(UINT id, bool mainMenu) const {
    if (view_) {
        if (std::optional<CommandState> state = view_->QueryCommand(id, mainMenu)) return *state;
    }
    const bool idle = !view_ || !view_->Running();
    CommandState state;
    switch (id) {
        case ID_PROJECT_SELECT: state.enabled = idle; break;
        case ID_AFTER_EXIT: state.checked = AfterActionChecked(options_, RunModeExit); break;
        case ID_AFTER_SHUTDOWN: state.checked = AfterActionChecked(options_, RunModeShutdown); break;
    }
    return state;
}

void CMainFrame::UpdateCommandUI() {
    if (!toolbar_) return;
    view_->HoldSelection(true);
    UpdateToolbarCommands(toolbar_, [this](UINT id) { return QueryCommand(id); });
    view_->HoldSelection(false);
    const bool idle = !view_->Running();
    EnableWindow(GetDlgItem(bar_, IDC_PROJECT_COMBO), idle);
    EnableWindow(GetDlgItem(bar_, IDC_PROJECT_EDIT), QueryCommand(ID_PROJECT_EDIT).enabled);
    EnableWindow(GetDlgItem(bar_, IDC_AFTER_LIST), !options_.autoStart);
}

void CMainFrame::FillProjectSelector() {
    HWND combo = GetDlgItem(bar_, IDC_PROJECT_COMBO);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    const std::wstring format = LoadText(IDS_PROJECT_DISPLAY);
    for (int p = 0; p < options_.projects.Count(); ++p) {
        const std::wstring text = options_.projects.DisplayText(p, format);
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    if (!options_.projects.Valid(options_.ActiveProject)) options_.ActiveProject = 0;
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(options_.ActiveProject), 0);
}

void CMainFrame::FillAfterCompletion() {
    afterEntries_ = AfterCompletionEntries(options_);
    HWND combo = GetDlgItem(bar_, IDC_AFTER_LIST);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const AfterCompletionEntry& entry : afterEntries_)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.text.c_str()));
    SelectAfterCompletion();
}

void CMainFrame::SelectAfterCompletion() {
    afterTipText_ = ApplyAfterCompletion(options_, afterEntries_);
    // A running worker takes the new choice whole, never half of it.
    if (view_) view_->Batch().afterChoice = AfterChoice::Of(options_).Pack();
    HWND combo = GetDlgItem(bar_, IDC_AFTER_LIST);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(options_.runMode), 0);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = bar_;
    tool.uId = reinterpret_cast<UINT_PTR>(combo);
    tool.lpszText = afterTipText_.data();
    SendMessageW(afterTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CMainFrame::ApplyFonts() {
    barFont_.Apply(bar_, EffectiveFont(options_.fonts[FontProjectList], defaultFont_), dpi_, true);
    LayoutControlBar();
    // On a screen of another scale than the system's, a control's own font would stay at the system's.
    const bool ownScale = dpi_ != GetDpiForSystem();
    const FontSlot& status = options_.fonts[FontStatusBar];
    if (status.IsSet() || statusFont_.Custom() || ownScale)
        statusFont_.Apply(statusBar_, EffectiveFont(status, defaultFont_), dpi_);
    Layout();
    view_->ApplyListFonts(defaultFont_, dpi_);
}

void CMainFrame::LayoutControlBar() {
    HDC dc = GetDC(bar_);
    HGDIOBJ old = SelectObject(dc, barFont_.Get());
    const auto textSize = [dc](const std::wstring& text) {
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return size;
    };
    const auto windowText = [](HWND window) {
        std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
        text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
        return text;
    };
    const auto widestEntry = [&](HWND combo) {
        LONG widest = 0;
        const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            std::wstring text(static_cast<size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
            SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
            text.resize(wcslen(text.c_str()));
            widest = std::max(widest, textSize(text).cx);
        }
        return widest;
    };
    const auto comboHeight = [](HWND combo) {
        RECT r{};
        GetWindowRect(combo, &r);
        const int height = r.bottom - r.top;
        return height + (height & 1);
    };
    const int scroll = GetSystemMetricsForDpi(SM_CXVSCROLL, dpi_);
    HWND projectLabel = GetDlgItem(bar_, IDC_PROJECT_LABEL), projects = GetDlgItem(bar_, IDC_PROJECT_COMBO),
         edit = GetDlgItem(bar_, IDC_PROJECT_EDIT), afterLabel = GetDlgItem(bar_, IDC_AFTER_LABEL),
         after = GetDlgItem(bar_, IDC_AFTER_LIST);
    struct Part {
        HWND window;
        SIZE size;
        bool label;
    };
    Part parts[] = {
        {projectLabel, textSize(windowText(projectLabel)), true},
        {projects, {std::max(textSize(L"WWWWWWWWWWWWWWWWWWWW").cx, widestEntry(projects)) + scroll + Scaled(6), comboHeight(projects)}, false},
        {edit, {textSize(windowText(edit)).cx, comboHeight(projects) + Scaled(2)}, false},
        {afterLabel, textSize(windowText(afterLabel)), true},
        {after, {widestEntry(after) + scroll + Scaled(6), comboHeight(after)}, false},
    };
    SelectObject(dc, old);
    ReleaseDC(bar_, dc);

    int height = Scaled(24);
    for (Part& part : parts) {
        part.size.cx = std::clamp<LONG>(part.size.cx, Scaled(68), Scaled(400));
        part.size.cy = std::min<LONG>(part.size.cy, Scaled(64));
        height = std::max<int>(height, part.size.cy);
    }
    const int gap = Scaled(4);
    int x = gap;
    for (const Part& part : parts) {
        // A combo box's window height is that of its closed box; its list drops below.
        const bool combo = part.window == projects || part.window == after;
        const int y = (height - part.size.cy + gap) / 2;
        MoveWindow(part.window, x, y, part.size.cx, combo ? part.size.cy + Scaled(200) : part.size.cy, FALSE);
        x += part.label ? part.size.cx - gap : part.size.cx + gap;
    }
    if (x != barWidth_ || height != barHeight_) {
        barWidth_ = x;
        barHeight_ = height;
        MoveWindow(GetDlgItem(bar_, IDC_BAR_BACKGROUND), 0, 0, barWidth_, barHeight_ + gap, FALSE);
        Layout();
    }
    InvalidateRect(bar_, nullptr, TRUE);
}

void CMainFrame::Layout() {
    if (!toolbar_ || !statusBar_ || !view_) return;
    RECT client{};
    GetClientRect(Handle(), &client);
    SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
    SendMessageW(statusBar_, WM_SIZE, 0, 0);
    LayoutStatusParts();
    RECT r{};
    GetWindowRect(toolbar_, &r);
    const int toolbarHeight = r.bottom - r.top;
    GetWindowRect(statusBar_, &r);
    const int statusHeight = r.bottom - r.top;
    const int barHeight = barHeight_ + Scaled(4);
    MoveWindow(bar_, 0, toolbarHeight, client.right, barHeight, TRUE);
    const int top = toolbarHeight + barHeight;
    MoveWindow(view_->Handle(), 0, top, client.right, std::max(0, static_cast<int>(client.bottom) - top - statusHeight),
               TRUE);
}

void CMainFrame::CreateToolbar() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    toolbar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                               WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP, 0, 0, 0, 0, Handle(),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDW_TOOLBAR)), instance, nullptr);
    SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    buttonTexts_.clear();
    buttonTexts_.reserve(std::size(kButtons));
    std::vector<TBBUTTON> buttons;
    for (const ToolbarButton& b : kButtons) {
        TBBUTTON button{};
        if (b.command == 0) {
            button.fsStyle = BTNS_SEP;
        } else {
            buttonTexts_.push_back(LoadText(b.text));
            button.iBitmap = b.image;
            button.idCommand = b.command;
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON;
            button.iString = reinterpret_cast<INT_PTR>(buttonTexts_.back().c_str());
        }
        buttons.push_back(button);
    }
    SendMessageW(toolbar_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    SizeToolbar();
}

void CMainFrame::SizeToolbar() {
    const ToolbarImages strips = ToolbarImagesFor(dpi_);
    HIMAGELIST images = LoadToolbarImages(strips.normal, strips.size);
    HIMAGELIST disabled = LoadToolbarImages(strips.disabled, strips.size);
    SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    SendMessageW(toolbar_, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(disabled));
    if (images_) ImageList_Destroy(images_);
    if (disabledImages_) ImageList_Destroy(disabledImages_);
    images_ = images;
    disabledImages_ = disabled;
    // The icon-title font sizes the buttons (the toolbar's own, at the window's scale).
    LOGFONTW iconFont{};
    SystemParametersInfoForDpi(SPI_GETICONTITLELOGFONT, sizeof iconFont, &iconFont, 0, dpi_);
    HFONT font = CreateFontIndirectW(&iconFont);
    if (dpi_ != GetDpiForSystem() || toolbarFont_.Custom()) {
        const int points = MulDiv(std::abs(static_cast<int>(iconFont.lfHeight)), 720, static_cast<int>(dpi_));
        toolbarFont_.Apply(toolbar_, {iconFont.lfFaceName, points}, dpi_);
    }
    const int height = std::abs(static_cast<int>(iconFont.lfHeight)) + strips.size + Scaled(12);
    // Wider faces than the usual Japanese UI font would cut the labels short.
    int width = Scaled(kToolbarButtonWidth);
    HDC dc = GetDC(toolbar_);
    HGDIOBJ old = SelectObject(dc, font);
    for (const std::wstring& text : buttonTexts_) {
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        width = std::max(width, static_cast<int>(size.cx) + Scaled(8));
    }
    SelectObject(dc, old);
    ReleaseDC(toolbar_, dc);
    DeleteObject(font);
    SendMessageW(toolbar_, TB_SETBITMAPSIZE, 0, MAKELPARAM(strips.size, strips.size));
    SendMessageW(toolbar_, TB_SETBUTTONSIZE, 0, MAKELPARAM(width, height));
    SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
}

void CMainFrame::OnDpiChanged(UINT dpi, const RECT& suggested) {
    const UINT old = dpi_;
    dpi_ = dpi;
    view_->ScaleChanged(old, dpi_);
    SizeToolbar();
    // The bar is laid out anew from its font.
    barWidth_ = 0;
    ApplyFonts();
    SetWindowPos(Handle(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
}

void CMainFrame::CreateControlBar() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    bar_ = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_CONTROL_BAR), Handle(), ControlBarProc, 0);
    ShowWindow(bar_, SW_SHOW);
    afterTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, bar_, nullptr, instance, nullptr);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = bar_;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(bar_, IDC_AFTER_LIST));
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(afterTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CMainFrame::RememberPlacement() {
    if (IsIconic(Handle()) || IsZoomed(Handle())) return;
    RECT r{};
    GetWindowRect(Handle(), &r);
    options_.MainWindow = Rect{r.left, r.top, r.right, r.bottom};
}

void CMainFrame::ApplyStoredPlacement() {
    const Rect& stored = options_.MainWindow;
    if (stored.left == 0 || stored.top == 0 || stored.right == 0 || stored.bottom == 0) return;
    if (IsIconic(Handle()) || IsZoomed(Handle())) return;
    const RECT r = FindOnScreen({stored.left, stored.top, stored.right, stored.bottom});
    SetWindowPos(Handle(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CMainFrame::StartsMinimised(int showCommand) {
    if (showCommand == SW_SHOWDEFAULT) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        GetStartupInfoW(&startup);
        if (startup.dwFlags & STARTF_USESHOWWINDOW) showCommand = startup.wShowWindow;
    }
    return showCommand == SW_SHOWMINIMIZED || showCommand == SW_MINIMIZE || showCommand == SW_SHOWMINNOACTIVE ||
           showCommand == SW_FORCEMINIMIZE;
}

void CMainFrame::Restore() {
    ShowWindow(Handle(), IsIconic(Handle()) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(Handle());
}

void CMainFrame::ShowStatus(const wchar_t* status, const wchar_t* detail) {
    std::wstring text;
    if (!status && !detail) {
        text = LoadText(IDS_IDLE_TEXT);
    } else {
        if (status) status_ = status;
        if (detail) detail_ = detail;
        text = status_ + L" " + detail_;
    }
    shownStatus_ = text;
    // A prompt on screen stays until the menu closes or the mouse leaves.
    if (prompting_) return;
    SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
    UpdateWindow(statusBar_);
}

void CMainFrame::ShowPrompt(UINT id) {
    const std::wstring why = QueryCommand(id).prompt;
    const std::wstring prompt = why.empty() ? CommandTextLine(id, 0) : why;
    prompting_ = true;
    SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(prompt.c_str()));
}

void CMainFrame::EndPrompt() {
    if (!prompting_) return;
    prompting_ = false;
    SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(shownStatus_.c_str()));
}

bool CMainFrame::OnCommand(UINT id, UINT code, HWND control) {
    if (control && GetParent(control) == bar_) {
        if (id == IDC_PROJECT_COMBO && code == CBN_SELCHANGE) {
            view_->SwitchProject(static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0)));
            RequestCommandUpdate();
        } else if (id == IDC_AFTER_LIST && code == CBN_SELCHANGE) {
            options_.runMode = static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
            SelectAfterCompletion();
        } else if (id == IDC_PROJECT_EDIT && code == BN_CLICKED) {
            view_->OnCommand(ID_PROJECT_EDIT);
        }
        return true;
    }
    // Toolbar buttons arrive with the toolbar as the control; other
    // controls' notifications are not commands.
    if (control && control != toolbar_) return false;
    if (!QueryCommand(id).enabled) return true;
    if (view_ && view_->OnCommand(id)) return true;
    switch (id) {
        case ID_PROJECT_SELECT: SetFocus(GetDlgItem(bar_, IDC_PROJECT_COMBO)); return true;
        case ID_AFTER_EXIT: ToggleAfterAction(options_, RunModeExit); SelectAfterCompletion(); return true;
        case ID_AFTER_SHUTDOWN: ToggleAfterAction(options_, RunModeShutdown); SelectAfterCompletion(); return true;
        case ID_APP_ABOUT: if (showAbout) showAbout(Handle()); return true;
        case ID_APP_EXIT: PostMessageW(Handle(), WM_CLOSE, 0, 0); return true;
        case ID_TRAY_SHOW: Restore(); return true;
    }
    return false;
}

LRESULT CMainFrame::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        if (view_) view_->Tray().Add(view_->Handle());
        return 0;
    }
    switch (message) {
        case WM_TANDREL_STATUS:
            ShowStatus(reinterpret_cast<const wchar_t*>(wParam), reinterpret_cast<const wchar_t*>(lParam));
            return 0;
        case WM_TANDREL_TOOL_ENDED: {
            // The end of the batch as it went, not only "finished".
            const std::wstring finished = view_ ? EndStatusText(view_->Batch()) : LoadText(IDS_FINISHED);
            ShowStatus(finished.c_str(), L"");
            if (options_.afterAction == RunModeExit || options_.afterAction == RunModeHibernate ||
                options_.afterAction == RunModeShutdown)
                PostMessageW(Handle(), WM_CLOSE, 0, 0);
            return 0;
        }
        case WM_TANDREL_RUN_STATE:
            return 0;
        case WM_TANDREL_WAITING:
            OnWaiting(wParam != 0);
            return 0;
        case WM_TANDREL_AUTO_ENDED:
            // The after-completion action may be chosen again.
            options_.autoStart = false;
            UpdateCommandUI();
            return 0;
        case WM_TANDREL_CLOSE_MENU:
            closeOn_ = wParam != 0;
            EnableMenuItem(GetSystemMenu(Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND | (wParam ? MF_ENABLED : MF_GRAYED));
            RequestCommandUpdate();
            return 0;
    }
    return Default();
}

bool CMainFrame::OnCreate(const CREATESTRUCTW&) {
    dpi_ = WindowDpi(Handle());
    CreateToolbar();
    CreateControlBar();
    statusBar_ = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                                 Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDW_STATUS_BAR)),
                                 GetModuleHandleW(nullptr), nullptr);
    ShowStatus(nullptr, nullptr);
    view_ = std::make_unique<CTandrelView>(options_, *this);
    if (!view_->Create(Handle())) return false;
    FillAfterCompletion();
    defaultFont_ = SystemCaptionFont();
    LayoutControlBar();
    Layout();
    return true;
}

void CMainFrame::OnSize(UINT, int, int) {
    Layout();
    RememberPlacement();
}

void CMainFrame::OnMove(int, int) {
    RememberPlacement();
}

void CMainFrame::OnSetFocus(HWND) {
    if (view_) SetFocus(view_->Handle());
}

bool CMainFrame::OnSysCommand(UINT command, LPARAM) {
    if ((command & 0xFFF0) == SC_MINIMIZE && options_.MinimizeOnTrayOnly) {
        ShowWindow(Handle(), SW_HIDE);
        return true;
    }
    return false;
}

void CMainFrame::OnInitMenuPopup(HMENU popup, UINT, bool windowMenu) {
    // Popups of the lists and the tray were prepared by their owners.
    if (!windowMenu && IsSubMenuOf(GetMenu(Handle()), popup))
        UpdateMenuCommands(popup, [this](UINT id) { return QueryCommand(id); });
}

void CMainFrame::OnMenuSelect(UINT item, UINT flags, HMENU) {
    if (flags != 0xFFFF && !(flags & (MF_POPUP | MF_SEPARATOR))) ShowPrompt(item);
}

void CMainFrame::OnEnterMenuLoop(bool) {
    ++menuDepth_;
}

void CMainFrame::OnExitMenuLoop(bool) {
    menuDepth_ = std::max(menuDepth_ - 1, 0);
    EndPrompt();
}

LRESULT CMainFrame::OnDeviceChange(UINT event, LPARAM data) {
    // A volume arrived, or a medium in a drive that was there (not a network drive).
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (event == DBT_DEVICEARRIVAL && header && header->dbch_devicetype == DBT_DEVTYP_VOLUME && view_) {
        const auto* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(data);
        if (!(volume->dbcv_flags & DBTF_NET)) view_->MediaArrived(volume->dbcv_unitmask);
    }
    return TRUE;
}

LRESULT CMainFrame::OnNotify(NMHDR& header) {
    if (header.hwndFrom == toolbar_ && header.code == TBN_HOTITEMCHANGE) {
        // The button under the mouse says what it does, as a menu item does.
        const auto& hot = reinterpret_cast<const NMTBHOTITEM&>(header);
        if ((hot.dwFlags & HICF_LEAVING) || hot.idNew <= 0) {
            EndPrompt();
        } else {
            ShowPrompt(static_cast<UINT>(hot.idNew));
        }
        return 0;
    }
    if (header.code == TTN_GETDISPINFOW &&
        header.hwndFrom == reinterpret_cast<HWND>(SendMessageW(toolbar_, TB_GETTOOLTIPS, 0, 0))) {
        static std::wstring tip;
        tip = CommandTextLine(static_cast<UINT>(header.idFrom), 1);
        reinterpret_cast<NMTTDISPINFOW&>(header).lpszText = tip.data();
    }
    return 0;
}

void CMainFrame::OnDropFiles(HDROP drop) {
    SendMessageW(view_->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
}

void CMainFrame::OnClose(LPARAM tag) {
    // The worker still uses the settings and the windows; it ends
    // first. Its own close (a closing after-completion action) comes
    // when it no longer needs either.
    if (view_ && view_->Busy() && tag != kCloseFromRun) {
        // The step is over and the worker only leaves: the close
        // happens as soon as it has.
        if (closeOn_ && view_->Finishing()) {
            closeWhenFree_ = true;
            return;
        }
        // The close button is off meanwhile; a close from elsewhere
        // (the taskbar) is told why nothing happens, until the
        // step's next status.
        if (view_->Finishing()) {
            const std::wstring why = LoadText(IDS_CLOSE_WAITS);
            SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(why.c_str()));
        }
        return;
    }
    DestroyWindow(Handle());
}

bool CMainFrame::OnQueryEndSession() {
    // Nobody will answer a box any more: the run stops without asking.
    if (view_ && view_->Running()) view_->EndSession(false);
    return true;
}

void CMainFrame::OnEndSession(bool ending) {
    // The process may end without another message: store now.
    if (!view_) return;
    if (!ending) {
        view_->Host().AnswerBoxesUnasked(false);
        return;
    }
    view_->EndSession(true);
    RememberPlacement();
    SaveAtExit(options_);
}

void CMainFrame::OnSettingChange(UINT action, const wchar_t* area) {
    ForwardSystemChange(WM_SETTINGCHANGE, action, reinterpret_cast<LPARAM>(area));
    if (action == SPI_SETNONCLIENTMETRICS || action == SPI_SETICONTITLELOGFONT) {
        defaultFont_ = SystemCaptionFont();
        ApplyFonts();
    }
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

void CMainFrame::OnSysColorChange() {
    ForwardSystemChange(WM_SYSCOLORCHANGE, 0, 0);
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

void CMainFrame::ForwardSystemChange(UINT message, WPARAM wParam, LPARAM lParam) {
    // Only top-level windows hear of it; the common controls below
    // take their colours and metrics from it.
    const MSG change{Handle(), message, wParam, lParam, 0, {}};
    EnumChildWindows(
        Handle(),
        [](HWND child, LPARAM m) -> BOOL {
            const MSG* c = reinterpret_cast<const MSG*>(m);
            SendMessageW(child, c->message, c->wParam, c->lParam);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&change));
}

void CMainFrame::OnDestroy() {
    barFont_.Reset();
    statusFont_.Reset();
    PostQuitMessage(0);
}

}  // namespace tandrel
