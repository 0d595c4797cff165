#pragma once
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/CommandUI.h"
#include "framework/Window.h"
#include "model/AppState.h"
#include "ui/AfterCompletion.h"
#include "ui/Fonts.h"
#include "ui/TandrelView.h"
#include "ui/TaskbarProgress.h"
#include "ui/ViewFrame.h"

namespace tandrel {

// The main window: menu, toolbar, the control bar with the project selector
// and the after-completion list, the status line, and the view.
class CMainFrame : public Window, public ViewFrame {
public:
    static constexpr const wchar_t* kClassName = L"TandrelMainFrame";

    explicit CMainFrame(AppState& options);
    ~CMainFrame() override;

    // Opens the About box; set by the application, which knows the versions.
    std::function<void(HWND)> showAbout;

    // Creates the window at the stored placement (the system's when any
    // coordinate of it is zero).
    bool Create(const std::wstring& title);
    // The view's initial update: lists, fonts, tray icon, automatic run.
    void InitialUpdate();
    // Accelerators, the control bar's keyboard and the mouse wheel; true
    // when the message was used up.
    bool PreTranslateMessage(MSG& msg);
    // The window is a list box of the control bar, or inside one, with its
    // drop-down open.
    bool DroppedDownInBar(HWND window) const;

    void SetTitle(const std::wstring& title) { SetWindowTextW(Handle(), title.c_str()); }
    std::wstring StatusText() const;
    // The progress pane beside the status text (a run's counts, bytes and
    // times); an empty text leaves the status text alone in the line.
    void ShowProgress(const std::wstring& text) override;
    std::wstring ProgressText() const;
    TaskbarButton& Taskbar() override { return taskbar_; }
    // How often the taskbar button was made to flash for a box that waited.
    int Flashes() const { return flashes_; }

    // The one place that says which command is enabled, checked or renamed.
    CommandState QueryCommand(UINT id, bool mainMenu = true) const override;
    void UpdateCommandUI();
    // Asks for UpdateCommandUI when the message loop is next idle.
    void RequestCommandUpdate() override { commandUpdate_.Request(); }
    // The message loop has nothing waiting: command states, then the runs
    // that waited for a quiet moment.
    void OnIdle();
    // A modal window of the program is open: a dialog or box of the window
    // thread, or one of another thread that disabled the window.
    bool ModalOpen() const override;
    // A menu (the window's or a popup) is being shown.
    bool InMenu() const override { return menuDepth_ > 0; }
    // The status and detail texts the status line keeps.
    std::pair<std::wstring, std::wstring> KeptStatus() const override { return {status_, detail_}; }
    // Whether a start with this show command goes to the tray (a shortcut
    // set to "minimised", or the startup information saying so).
    static bool StartsMinimised(int showCommand);
    void FillProjectSelector() override;
    void FillAfterCompletion() override;
    void ApplyFonts() override;
    // The window's rectangle into MainWindow unless minimised or maximised.
    void RememberPlacement() override;
    // MainWindow back onto the window (after an import).
    void ApplyStoredPlacement() override;
    // Shows the window again (tray icon, "メイン画面を表示").
    void Restore() override;

    CTandrelView& View() { return *view_; }
    HWND Toolbar() const { return toolbar_; }
    HWND ControlBar() const { return bar_; }
    HWND StatusBar() const { return statusBar_; }
    // The dots per inch of the screen the window is on.
    int Scaled(int size) const override { return ScaleToDpi(size, dpi_); }
    HWND FrameWindow() const override { return Handle(); }

protected:
    bool OnCreate(const CREATESTRUCTW& create) override;
    void OnDestroy() override;
    void OnClose(LPARAM tag) override;
    void OnSize(UINT type, int width, int height) override;
    void OnMove(int x, int y) override;
    void OnSetFocus(HWND previous) override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    LRESULT OnNotify(NMHDR& header) override;
    bool OnSysCommand(UINT command, LPARAM where) override;
    void OnInitMenuPopup(HMENU popup, UINT index, bool windowMenu) override;
    void OnMenuSelect(UINT item, UINT flags, HMENU menu) override;
    void OnEnterMenuLoop(bool popup) override;
    void OnExitMenuLoop(bool popup) override;
    void OnDropFiles(HDROP drop) override;
    LRESULT OnDeviceChange(UINT event, LPARAM data) override;
    bool OnQueryEndSession() override;
    void OnEndSession(bool ending) override;
    void OnDpiChanged(UINT dpi, const RECT& suggested) override;
    void OnSettingChange(UINT action, const wchar_t* area) override;
    void OnSysColorChange() override;
    // The program's own messages and the taskbar's return.
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateToolbar();
    // Images and button size of the toolbar for the window's scale.
    void SizeToolbar();
    // A change of the system's settings or colours, passed to the controls.
    void ForwardSystemChange(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControlBar();
    void SelectAfterCompletion();
    void LayoutControlBar();
    // Tab and Shift+Tab step through the control bar's controls and the two
    // lists; F6 and Shift+F6 step between the three panes.
    void MoveFocus(bool forward, bool byPane);
    void ShowStatus(const wchar_t* status, const wchar_t* detail);
    void LayoutStatusParts();
    // A box of the run waits: the button flashes unless the window is in front.
    void OnWaiting(bool waiting);
    // A command's prompt in the status line instead of the status, and back.
    void ShowPrompt(UINT id);
    void EndPrompt();
    void Layout();

    AppState& options_;
    std::unique_ptr<CTandrelView> view_;
    HWND toolbar_ = nullptr;
    HWND bar_ = nullptr;
    HWND statusBar_ = nullptr;
    HWND afterTip_ = nullptr;
    HACCEL accelerators_ = nullptr;
    HIMAGELIST images_ = nullptr;
    HIMAGELIST disabledImages_ = nullptr;
    std::vector<std::wstring> buttonTexts_;
    OwnedFont toolbarFont_;
    UINT dpi_ = 96;
    UINT taskbarCreated_ = 0;
    std::vector<AfterCompletionEntry> afterEntries_;
    std::wstring afterTipText_;
    std::wstring status_, detail_;
    std::wstring shownStatus_;
    bool prompting_ = false;
    int menuDepth_ = 0;
    bool busyAtLastIdle_ = false;
    // The worker's close button state, and a close that came while the
    // worker was leaving after it had turned the button on again.
    bool closeOn_ = true;
    bool closeWhenFree_ = false;
    int progressWidth_ = 0;
    int flashes_ = 0;
    TaskbarButton taskbar_;
    FontChoice defaultFont_;
    OwnedFont barFont_, statusFont_;
    int barWidth_ = 0, barHeight_ = 24;
    IdleCommandUpdate commandUpdate_{[this] { UpdateCommandUI(); }};
};

}  // namespace tandrel
