// The view's commands that start other programs: the shell on folders and
// files, the log viewer, the compare tool and the manual.
#include "ui/TandrelView.h"

#include <ctime>

#include "platform/DateFormat.h"
#include "platform/Drives.h"
#include "platform/Environment.h"
#include "platform/LogFiles.h"
#include "platform/Messages.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "platform/ToolLaunch.h"
#include "platform/WaitCursor.h"
#include "resource_ui.h"
#include "ui/UserMessages.h"

namespace tandrel {

void CTandrelView::OpenFolders(int side) {
    const std::vector<int> rows = Selected();
    if (rows.empty()) return;
    const bool master = side == SideMaster;
    if (rows.size() > 1 && AskYesNo(FrameHandle(), master ? IDS_OPEN_MASTER_ASK : IDS_OPEN_BACKUP_ASK,
                                     LoadText(master ? IDS_OPEN_MASTER_CAPTION : IDS_OPEN_BACKUP_CAPTION),
                                     rows.size()) != IDYES)
        return;
    WaitCursor wait;
    const HWND frame = FrameHandle();
    // A run's status comes back afterwards; only an idle window goes idle.
    const auto [runStatus, runDetail] = frame_.KeptStatus();
    const StatusTextSink status = [frame](const std::wstring& text) {
        SendMessageW(frame, WM_TANDREL_STATUS, reinterpret_cast<WPARAM>(text.c_str()), 0);
    };
    for (int row : rows) {
        const std::wstring path = DetectDriveForOpen(settings_[static_cast<size_t>(row)], side, frame, status);
        if (path.empty()) break;
        openInShell(Handle(), path);
    }
    if (Running()) {
        SendMessageW(frame, WM_TANDREL_STATUS, reinterpret_cast<WPARAM>(runStatus.c_str()),
                     reinterpret_cast<LPARAM>(runDetail.c_str()));
    } else {
        SendMessageW(frame, WM_TANDREL_STATUS, 0, 0);
    }
}

bool CTandrelView::OpenLog(const std::wstring& name, const FolderSetting* setting) {
    const ProjectSlot project = ActiveProjectOf(options_);
    const std::wstring file = FindNewestLog(name, project);
    if (file.empty()) {
        ShowMessageIds(FrameHandle(), IDS_LOG_NOT_FOUND, IDS_LOG_OPEN, MB_ICONHAND);
        return false;
    }
    if (options_.LogViewToolPath.empty()) {
        openInShell(Handle(), file);
        return true;
    }
    const std::wstring param = options_.LogViewToolParam.empty() ? LoadText(IDS_LOGVIEW_PARAM) : options_.LogViewToolParam;
    const ToolCommandLine line =
        ExpandToolCommandLine(options_.LogViewToolPath, param, project, file, setting, std::time(nullptr));
    if (LaunchTool(line.program, line.parameters, WindowNormal, false)) return true;
    const std::wstring error = LastErrorText();
    ShowMessageFormat(FrameHandle(), IDS_LOGVIEW_FAILED, IDS_LOG_OPEN, MB_ICONHAND, options_.LogViewToolPath, &error);
    return false;
}

void CTandrelView::OpenLogs() {
    const std::vector<int> rows = Selected();
    if (rows.size() > 1 &&
        AskYesNo(FrameHandle(), IDS_OPEN_LOGS_ASK, LoadText(IDS_OPEN_LOGS_CAPTION), rows.size()) != IDYES)
        return;
    WaitCursor wait;
    if (rows.empty()) {
        if (options_.OutputLog) OpenLog(options_.LogFileName, nullptr);
        return;
    }
    bool globalOpened = false;
    for (int row : rows) {
        const FolderSetting& s = settings_[static_cast<size_t>(row)];
        if (s.OutputLog) {
            OpenLog(s.LogFileName, &s);
        } else if (options_.OutputLog && !globalOpened) {
            OpenLog(options_.LogFileName, &s);
            globalOpened = true;
        }
    }
}

void CTandrelView::CompareTool() {
    if (options_.CompareToolPath.empty()) {
        ShowMessageIds(FrameHandle(), IDS_COMPARE_NOT_SET, IDS_COMPARE_START, MB_ICONEXCLAMATION);
        return;
    }
    const std::vector<int> rows = Selected();
    if (rows.empty()) return;
    if (rows.size() > 1) {
        const std::wstring caption = Format(LoadText(IDS_COMPARE_CAPTION).c_str(), options_.CompareToolName.c_str());
        if (AskYesNo(FrameHandle(), IDS_COMPARE_ASK, caption, rows.size(), &options_.CompareToolName) != IDYES) return;
    }
    for (int row : rows) {
        const ToolCommandLine line =
            ExpandToolCommandLine(options_.CompareToolPath, options_.CompareToolParam, ActiveProjectOf(options_), L"",
                                  &settings_[static_cast<size_t>(row)], std::time(nullptr));
        LaunchTool(line.program, line.parameters, WindowNormal, false);
    }
}

void CTandrelView::ShowHelp(int page, int anchor) {
    WaitCursor wait;
    const PathParts program = SplitPath(ModulePath());
    const std::wstring base = program.drive + program.directory + program.baseName;
    bool shown = false;
    for (const wchar_t* extension : {L".chm", L".mhtml", L".mhtm", L".mht", L".html", L".htm", L".txt"}) {
        const std::wstring file = base + extension;
        if (GetFileAttributesW(LongPath(file).c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        if (std::wstring(extension) == L".chm") {
            std::wstring topic = file;
            if (page >= 0) {
                topic += anchor >= 0 ? Format(L"::html/Zelk_%02d.html#%02d", page, anchor)
                                     : Format(L"::html/Zelk_%02d.html", page);
            }
            using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
            if (HMODULE help = LoadLibraryW(L"hhctrl.ocx")) {
                auto show = reinterpret_cast<HtmlHelpFunction>(
                    reinterpret_cast<void*>(GetProcAddress(help, "HtmlHelpW")));
                constexpr UINT kDisplayTopic = 0;
                shown = show && show(GetDesktopWindow(), topic.c_str(), kDisplayTopic, 0) != nullptr;
            }
        } else {
            shown = openInShell(Handle(), file);
        }
        break;
    }
    if (!shown) ShowMessageIds(FrameHandle(), IDS_HELP_NOT_FOUND, IDS_HELP_ERROR, MB_ICONHAND);
}

}  // namespace tandrel
