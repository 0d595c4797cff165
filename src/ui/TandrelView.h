#pragma once
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/MirrorBatch.h"
#include "framework/CommandUI.h"
#include "framework/Window.h"
#include "model/AppState.h"
#include "settings/SettingsStore.h"
#include "ui/MediaDetection.h"
#include "ui/ReportListCtrl.h"
#include "ui/RunControl.h"
#include "ui/SetupListCtrl.h"
#include "ui/TrayIcon.h"
#include "ui/ViewFrame.h"
#include "ui/WindowEngineHost.h"

namespace tandrel {

// The dialogs the view opens, supplied by whoever builds them. An empty
// hook leaves its command without visible effect.
struct ViewDialogs {
    // The folder-setting sheet on a setting and a copy of the project's
    // commands, at a placement it updates; true on OK.
    std::function<bool(HWND owner, FolderSetting& setting, CommandList& commands, Rect& placement)> editSetting;
    // The project list; true when confirmed (the active project may change).
    std::function<bool(HWND owner)> editProjects;
    // The options sheet; true when changed options were taken over and stored.
    std::function<bool(HWND owner)> editOptions;
    // Import and export of the whole settings; import answers whether the
    // stored settings were replaced.
    std::function<bool(HWND owner)> importSettings;
    std::function<void(HWND owner)> exportSettings;
};

// The single view of the main frame: it owns the active project's folder
// settings and their commands, shows them in the setting list, carries the
// commands on them and hosts the report list; its runs are its RunControl's.
class CTandrelView : public Window {
public:
    static constexpr const wchar_t* kClassName = L"TandrelView";
    static constexpr UINT_PTR kAnimationTimer = 1000;
    static constexpr UINT_PTR kAutoStartTimer = RunControl::kAutoStartTimer;

    CTandrelView(AppState& options, ViewFrame& frame);
    ~CTandrelView() override;

    bool Create(HWND parent);
    // Fills the lists from the active project; the first call also adds the
    // tray icon and accepts dropped files. Schedules the automatic run.
    void OnInitialUpdate();
    // Carries out one of the view's commands (nothing when it is disabled);
    // false when the id is not the view's.
    bool OnCommand(UINT id);
    // State of one of the view's commands; empty when the id is not the view's.
    std::optional<CommandState> QueryCommand(UINT id, bool mainMenu = true) const;

    // The run control's, for the frame and the application.
    bool Running() const { return runs_.Running(); }
    bool Busy() const { return runs_.Busy(); }
    bool Finishing() const { return runs_.Finishing(); }
    bool Quiet() const { return runs_.Quiet(); }
    void ServeWaitingRuns() { runs_.ServeWaitingRuns(); }
    void MediaArrived(DWORD drives) { runs_.MediaArrived(drives); }
    // After a dialog: whether its result may still change the settings
    // (the user is told why not, under the caption, when a run began meanwhile).
    bool MayApplyDialog(unsigned caption);
    // While held, the selection is read once instead of by every query.
    void HoldSelection(bool hold);
    // Reloads the active project's settings and fills the list.
    void LoadActiveProject();
    // After an import, done or failed: the store's settings are shown again
    // (with the imported layout when done), before the import says so.
    void ShowImported(bool done);
    // Selector change: stores a pending reordering, then loads the project.
    void SwitchProject(int project);
    // Stores every setting of the project with the given parts.
    bool StoreAll(unsigned parts = PartAll);
    void StartRun(bool test, bool allSettings, RunOrigin origin = RunOrigin::User) {
        runs_.StartRun(test, allSettings, origin);
    }
    void Cancel() { runs_.Cancel(); }
    void ShowProgress(bool now) { runs_.ShowProgress(now); }
    bool ProgressFollowsRun() const { return runs_.ProgressFollowsRun(); }
    void EndSession(bool final) { runs_.EndSession(final); }
    // runSelection of every setting from the list's selection.
    void MarkSelection();
    // The Add command with folders given (a drop).
    void AddSetting(const std::wstring& master, const std::wstring& backup);
    // Divider position by the rule that keeps both panes usable.
    void SetDivider(int y);
    int Divider() const { return divider_; }
    void Layout();
    void ApplyListFonts(const FontChoice& fallback, UINT dpi);
    // The window moved to a screen of another scale: the divider and the
    // user's column widths follow.
    void ScaleChanged(UINT from, UINT to);
    // The format of the result column changed: the list is filled again.
    void RefreshDateFormat();
    // Shows the help file (page and anchor -1: no topic).
    void ShowHelp(int page = -1, int anchor = -1);

    const std::vector<FolderSetting>& Settings() const { return settings_; }
    const CommandList& Commands() const { return commands_; }
    CSetupListCtrl& SetupList() { return setupList_; }
    CReportListCtrl& ReportList() { return reportList_; }
    MirrorBatch& Batch() { return runs_.Batch(); }
    CWindowEngineHost& Host() { return runs_.Host(); }
    TrayIcon& Tray() { return tray_; }

    ViewDialogs dialogs;
    // Starts the worker for a filled batch; the engine's StartBatch.
    std::function<bool(MirrorBatch&)> startBatch;
    // Opens a folder or file through the shell (also the manual).
    std::function<bool(HWND owner, const std::wstring& path)> openInShell;
    // Reads the labels of arrived drives, on a thread of its own; the
    // platform's ReadArrivedLabels.
    std::function<std::vector<ArrivedVolume>(DWORD drives)> readLabels;
    // Asks for a folder (the platform's PickFolder); false when cancelled.
    std::function<bool(HWND owner, std::wstring& path, unsigned titleId)> pickFolder;

protected:
    bool OnCreate(const CREATESTRUCTW& create) override;
    void OnDestroy() override;
    void OnSize(UINT type, int width, int height) override;
    void OnSetFocus(HWND previous) override;
    void OnPaint() override;
    bool OnEraseBackground(HDC) override { return true; }
    void OnTimer(UINT_PTR id) override;
    // Commands of the view's menus go on to the frame.
    bool OnCommand(UINT id, UINT code, HWND control) override;
    LRESULT OnNotify(NMHDR& header) override;
    void OnDropFiles(HDROP drop) override;
    // The divider's cursor and its dragging.
    bool OnSetCursor(HWND window, UINT hitTest, UINT mouseMessage) override;
    void OnLButtonDown(UINT keys, POINT at) override;
    void OnMouseMove(UINT keys, POINT at) override;
    void OnLButtonUp(UINT keys, POINT at) override;
    void OnCaptureChanged(HWND gaining) override;
    // The program's own messages.
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool Store(int index, unsigned parts);
    std::vector<int> Selected() const;
    void Refill(int scrollTo = -1);
    void Edit();
    void Delete();
    void Duplicate();
    void Move(int step);
    void SelectRows(bool all);
    void OpenFolders(int side);
    void OpenLogs();
    bool OpenLog(const std::wstring& name, const FolderSetting* setting);
    void CompareTool();
    // The selected setting's backup copied back (TandrelViewRestore.cpp).
    void RestoreFromBackup();
    void EditProjects();
    void EditOptions();
    void ImportSettings();
    void ExportSettings();
    void ToggleAutoExec(int row);
    void ChooseMediaAction(UINT id);
    void SettingRunState(int state, FolderSetting* setting);
    void OnTray(WPARAM wParam, LPARAM lParam);
    void ShowTrayMenu(POINT at);
    void DrawDragFeedback();
    void UpdateCommands();
    HWND FrameHandle() const;
    // A yes-or-no question about a number of settings (the text's first insert).
    static int AskYesNo(HWND owner, unsigned textId, const std::wstring& caption, size_t count,
                        const std::wstring* second = nullptr);
    // A size at 96 dots per inch at the window's scale.
    int Scaled(int size) const;

    AppState& options_;
    ViewFrame& frame_;
    std::vector<FolderSetting> settings_;
    CommandList commands_;
    int divider_ = 0;
    bool dragging_ = false;
    CSetupListCtrl setupList_;
    CReportListCtrl reportList_;
    TrayIcon tray_;
    // After the records and lists it runs over, which outlive it.
    RunControl runs_;
    bool initialised_ = false;
    std::optional<std::vector<int>> heldSelection_;
};

}  // namespace tandrel
