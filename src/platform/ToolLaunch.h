#pragma once
#include <windows.h>

#include <ctime>
#include <optional>
#include <string>

#include "model/FolderSetting.h"
#include "platform/DateFormat.h"

namespace tandrel {

// Posted to the main window when a waited-for tool has ended (the frame's
// WM_TANDREL_TOOL_ENDED).
constexpr UINT kToolEndedMessage = WM_USER + 0x6A;

// The setting's expanded Backup, and with MakeDateDir its date folder below
// it, named by BackupDateDir (or "%Y%m%d") at the given time (default now).
// Empty when the date folder's name cannot be formed: a run must then not
// fall back to the backup folder itself, where mirroring would delete the
// older date folders.
std::wstring DatedBackupFolder(const FolderSetting& setting, std::optional<std::time_t> time = std::nullopt);

struct ToolCommandLine {
    std::wstring program;
    std::wstring parameters;
};
// Expands environment variables in both; in the parameters also %f (the
// file, when given), the setting's %m %b%B %b %B %t %r %c (when given) and
// the project's %0p %p %P, in that order.
ToolCommandLine ExpandToolCommandLine(const std::wstring& program, const std::wstring& parameters,
                                      const ProjectSlot& project, const std::wstring& file = {},
                                      const FolderSetting* setting = nullptr,
                                      std::optional<std::time_t> time = std::nullopt);

// The show command of a command's window mode (0 normal, 1 minimized,
// 2 maximized, 3 hidden).
int ShowCommandOf(int windowMode);

// Opens the program through the shell (empty parameters: none). With wait,
// returns only when it has ended and then posts kToolEndedMessage to
// notifyWindow (when given). False when the shell could not start it;
// GetLastError then tells why. Shows no message itself.
bool LaunchTool(const std::wstring& program, const std::wstring& parameters, int windowMode, bool wait,
                HWND notifyWindow = nullptr);

struct ToolExit {
    enum Outcome { NotStarted, WaitFailed, NoExitCode, Exited };
    Outcome outcome = NotStarted;
    unsigned long exitCode = 0;
    // The system error of NotStarted and WaitFailed.
    unsigned long error = 0;
};
// Opens the program through the shell, waits for it without time limit and
// reads its exit code.
ToolExit RunToolAndWait(const std::wstring& program, const std::wstring& parameters, int windowMode);

}  // namespace tandrel
