#include "app/PowerActions.h"

#include <windows.h>

namespace tandrel {

bool SystemPowerActions::EnableShutdownPrivilege() {
    HANDLE token = nullptr;
    // Without a token the attempt goes ahead; the system refuses if it must.
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return true;
    TOKEN_PRIVILEGES privileges{};
    LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    SetLastError(0);
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    const bool ok = GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return ok;
}

void SystemPowerActions::Hibernate() {
    SetSystemPowerState(FALSE, FALSE);
}

void SystemPowerActions::ShutDown() {
    ExitWindowsEx(EWX_POWEROFF, 0);
}

}  // namespace tandrel
