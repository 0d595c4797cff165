#include "ProgramCopy.h"

#include "resource.h"

namespace tandrel::test {

ProgramCopy::ProgramCopy(bool withSettings, const std::wstring& moreSettings) {
    exe_ = dir_ / L"Tandrel.exe";
    CopyFileW((BuildFolder() + L"Tandrel.exe").c_str(), exe_.c_str(), FALSE);
    if (!withSettings) return;
    const std::wstring ini = L"\xFEFF[Save]\r\nSaveRegistory=0\r\n" + moreSettings;
    std::string bytes(reinterpret_cast<const char*>(ini.data()), ini.size() * 2);
    WriteBytes(dir_ / L"Tandrel.ini", bytes);
}

HANDLE ProgramCopy::Start(const std::wstring& args, int show) {
    std::wstring commandLine = L"\"" + exe_ + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (show >= 0) {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = static_cast<WORD>(show);
    }
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, dir_.Path().c_str(),
                        &si, &pi)) {
        return nullptr;
    }
    CloseHandle(pi.hThread);
    started_.push_back(pi.hProcess);
    return pi.hProcess;
}

std::wstring ProgramCopy::Settings() const {
    return ReadUtf16File(dir_ / L"Tandrel.ini");
}

ProgramCopy::~ProgramCopy() {
    for (HANDLE process : started_) {
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 1);
        CloseHandle(process);
    }
}

HWND WaitForWindow(const std::wstring& title, Place where) {
    HWND window = nullptr;
    WaitUntil(
        "the main window", [&] { return (window = FindWindowW(L"TandrelMainFrame", title.c_str())) != nullptr; },
        kPatience, 20, where);
    return window;
}

HWND WaitForWindowOf(HANDLE process, Place where) {
    HWND found = nullptr;
    WaitUntil("the program's main window to show", [&] {
        for (HWND w = FindWindowExW(nullptr, nullptr, L"TandrelMainFrame", nullptr); w;
             w = FindWindowExW(nullptr, w, L"TandrelMainFrame", nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            // Shown once its start-up is over.
            if (owner == GetProcessId(process) && IsWindowVisible(w)) {
                found = w;
                return true;
            }
        }
        return false;
    }, kPatience, 20, where);
    return found;
}

bool WaitVisible(HWND window, Place where) {
    return WaitUntil("the window to show", [&] { return IsWindowVisible(window) != FALSE; }, kPatience, 20, where);
}

DWORD ExitCodeWithin(HANDLE process, Place where) {
    return WaitForExit(process, "the program", where);
}

std::wstring BoxText(HWND box) {
    std::wstring text;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM param) -> BOOL {
            wchar_t cls[32] = {};
            GetClassNameW(child, cls, 32);
            if (lstrcmpiW(cls, L"Static") == 0) *reinterpret_cast<std::wstring*>(param) += WindowText(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

HWND WaitForBox(const std::wstring& caption, Place where) {
    HWND box = nullptr;
    WaitUntil(
        "the message box", [&] { return (box = FindWindowW(L"#32770", caption.c_str())) != nullptr; }, kPatience, 100,
        where);
    return box;
}

HWND FindControl(HWND window, int id) {
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (GetDlgCtrlID(child) != s->id) return TRUE;
            s->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring WindowText(HWND window) {
    wchar_t buffer[4096] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL, kPatience, &copied);
    return buffer;
}

}  // namespace tandrel::test
