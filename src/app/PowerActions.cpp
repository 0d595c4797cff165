#include "app/PowerActions.h"

#include <windows.h>

namespace tandrel {

unsigned long SystemPowerActions::EnableShutdownPrivilege() {
    HANDLE token = nullptr;
    // Without a token the attempt goes ahead; the system refuses if it must.
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return 0;
    TOKEN_PRIVILEGES privileges{};
    LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    SetLastError(0);
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    const DWORD error = GetLastError();
    CloseHandle(token);
    return error;
}

unsigned long SystemPowerActions::Hibernate() {
    if (SetSystemPowerState(FALSE, FALSE)) return 0;
    const DWORD error = GetLastError();
    return error ? error : ERROR_NOT_SUPPORTED;
}

unsigned long SystemPowerActions::ShutDown() {
    if (ExitWindowsEx(EWX_POWEROFF, 0)) return 0;
    const DWORD error = GetLastError();
    return error ? error : ERROR_NOT_SUPPORTED;
}

void SystemPowerActions::Tell(const std::wstring& text, const std::wstring& caption) {
    // The window is gone: the box stands on its own, in front.
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONHAND | MB_TOPMOST | MB_SETFOREGROUND);
}

}  // namespace tandrel
