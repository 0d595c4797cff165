#include "platform/ToolLaunch.h"

#include <objbase.h>
#include <shellapi.h>

#include "platform/Environment.h"
#include "platform/Strings.h"
#include "platform/WaitCursor.h"

namespace tandrel {

namespace {

// The shell may hand the request to extensions that need COM on this
// thread; worker threads have none of their own.
class ComScope {
public:
    ComScope() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComScope() {
        if (ok_) CoUninitialize();
    }

private:
    bool ok_;
};

// The process handle is null when the shell started nothing it could hand
// back (a document opened by a running program).
bool ShellOpen(const std::wstring& program, const std::wstring& parameters, int windowMode, HANDLE* process) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI | (process ? SEE_MASK_NOCLOSEPROCESS : 0);
    info.lpVerb = L"open";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.nShow = ShowCommandOf(windowMode);
    BOOL ok = FALSE;
    DWORD error = 0;
    {
        ComScope com;
        ok = ShellExecuteExW(&info);
        error = GetLastError();
    }
    if (!ok) {
        // Leaving COM may overwrite the reason the caller reports.
        SetLastError(error);
        return false;
    }
    if (process) *process = info.hProcess;
    return true;
}

}  // namespace

std::wstring DatedBackupFolder(const FolderSetting& setting, std::optional<std::time_t> time) {
    std::wstring folder = ExpandEnvironment(setting.Backup);
    if (!setting.MakeDateDir) return folder;
    const std::wstring pattern = setting.BackupDateDir.empty() ? L"%Y%m%d" : setting.BackupDateDir;
    const std::wstring name = FormatLocalTime(pattern, time ? *time : std::time(nullptr));
    if (name.empty()) return {};
    return folder + L"\\" + name;
}

ToolCommandLine ExpandToolCommandLine(const std::wstring& program, const std::wstring& parameters,
                                      const ProjectSlot& project, const std::wstring& file,
                                      const FolderSetting* setting, std::optional<std::time_t> time) {
    ToolCommandLine line{ExpandEnvironment(program), ExpandEnvironment(parameters)};
    std::wstring& p = line.parameters;
    if (!file.empty() && p.find(L"%f") != std::wstring::npos) ReplaceAll(p, L"%f", QuoteIfSpaced(ExpandEnvironment(file)));
    if (setting) {
        const std::wstring master = QuoteIfSpaced(ExpandEnvironment(setting->Master));
        const std::wstring dated = QuoteIfSpaced(DatedBackupFolder(*setting, time));
        const std::wstring backup = QuoteIfSpaced(ExpandEnvironment(setting->Backup));
        const std::wstring test = std::to_wstring(setting->testFlag);
        const std::wstring failed = std::to_wstring(setting->status.failed);
        const std::wstring changes = std::to_wstring(setting->status.Changes());
        // "%b%B" before "%b" and "%B", or the pair would never be seen.
        ReplaceAll(p, L"%m", master);
        ReplaceAll(p, L"%b%B", dated);
        ReplaceAll(p, L"%b", backup);
        ReplaceAll(p, L"%B", setting->BackupDateDir);
        ReplaceAll(p, L"%t", test);
        ReplaceAll(p, L"%r", failed);
        ReplaceAll(p, L"%c", changes);
    }
    p = ExpandProjectPlaceholders(std::move(p), project, false);
    return line;
}

int ShowCommandOf(int windowMode) {
    switch (windowMode) {
        case 1:
            return SW_MINIMIZE;
        case 2:
            return SW_MAXIMIZE;
        case 3:
            return SW_HIDE;
        default:
            return SW_SHOWNORMAL;
    }
}

bool LaunchTool(const std::wstring& program, const std::wstring& parameters, int windowMode, bool wait,
                HWND notifyWindow) {
    WaitCursor cursor;
    HANDLE process = nullptr;
    if (!ShellOpen(program, parameters, windowMode, wait ? &process : nullptr)) return false;
    if (wait) {
        if (process) {
            WaitForSingleObject(process, INFINITE);
            CloseHandle(process);
        }
        if (notifyWindow) PostMessageW(notifyWindow, kToolEndedMessage, 0, 0);
    }
    return true;
}

ToolExit RunToolAndWait(const std::wstring& program, const std::wstring& parameters, int windowMode) {
    ToolExit result;
    HANDLE process = nullptr;
    if (!ShellOpen(program, parameters, windowMode, &process)) {
        result.error = GetLastError();
        return result;
    }
    if (!process) {
        result.outcome = ToolExit::NoExitCode;
        return result;
    }
    DWORD code = 0;
    if (WaitForSingleObject(process, INFINITE) == WAIT_FAILED) {
        result.outcome = ToolExit::WaitFailed;
        result.error = GetLastError();
    } else if (!GetExitCodeProcess(process, &code)) {
        result.outcome = ToolExit::NoExitCode;
    } else {
        result.outcome = ToolExit::Exited;
        result.exitCode = code;
    }
    CloseHandle(process);
    return result;
}

}  // namespace tandrel
