#pragma once
// The program's private window messages.
#include <windows.h>

#include "platform/ToolLaunch.h"

namespace tandrel {

// To the frame: status line. wParam status text, lParam detail text (wide
// strings); a null pointer keeps the previous text, both null show the idle text.
constexpr UINT WM_TANDREL_STATUS = WM_USER + 0x65;
// To the view: tray icon callback; lParam the mouse message.
constexpr UINT WM_TANDREL_TRAY = WM_USER + 0x66;
// To the view: toggle AutoExec of list row wParam.
constexpr UINT WM_TANDREL_TOGGLE_AUTO = WM_USER + 0x67;
// To the view: a setting starts (wParam 1) or ends (2) in a run; lParam the
// setting. wParam 0 restores the list from the records.
constexpr UINT WM_TANDREL_SETTING_RUN = WM_USER + 0x68;
// To the frame: a waited-for tool or command has ended.
// (LaunchTool posts it after waiting, so the value lives beside it.)
constexpr UINT WM_TANDREL_TOOL_ENDED = kToolEndedMessage;
// To the frame: run state (1 working, 4 message box, 8 aborted, 0 finished).
constexpr UINT WM_TANDREL_RUN_STATE = WM_USER + 0x6B;
// To the frame: wParam 0 greys the system menu's Close, 1 enables it.
constexpr UINT WM_TANDREL_CLOSE_MENU = WM_USER + 0x6C;
// To the view: store LastExec and Errors of every setting of the project.
constexpr UINT WM_TANDREL_STORE_RESULTS = WM_USER + 0x70;
// To the frame: the automatic state of a command-line start is over.
constexpr UINT WM_TANDREL_AUTO_ENDED = WM_USER + 0x72;
// Messages to the subclassed report list live in the WM_APP range: the
// WM_USER range belongs to the control's own class.
// To the report list: lParam a text; returns its width in the list's font.
constexpr UINT WM_TANDREL_MEASURE = WM_APP + 0x71;
// To the report list: drop every row (sent by the worker at a run's start).
constexpr UINT WM_TANDREL_REPORT_CLEAR = WM_APP + 0x72;
// To the view: show the kept report rows and status text; wParam 0 starts
// the refresh timer, 1 refreshes at once.
constexpr UINT WM_TANDREL_REFRESH = WM_USER + 0x73;
// To the frame: a box of the run opens (wParam 1) or was answered (0).
constexpr UINT WM_TANDREL_WAITING = WM_USER + 0x7C;
// Posted to the view: the settings file is no longer saved this run; wParam
// the notice's text id. Posted, so that no worker waits on the box.
constexpr UINT WM_TANDREL_SETTINGS_NOTICE = WM_USER + 0x7E;
// To the view: the labels of arrived drives were read. wParam the drives'
// unit mask, lParam the volumes (taken with TakePosted).
constexpr UINT WM_TANDREL_MEDIA_READ = WM_USER + 0x74;

// lParam of the WM_CLOSE that a run's closing after-completion action posts:
// the frame takes it also while the worker is finishing, since the worker
// is done with the windows and the settings by then.
constexpr LPARAM kCloseFromRun = 0x52554E;

}  // namespace tandrel
