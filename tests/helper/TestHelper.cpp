// Stands in for a user's command in tests.
//   tandrel_test_helper [exit=N] [marker=PATH] [append=PATH] [sleep=MS] [wait=PATH]
// Writes its arguments into the marker file (UTF-8, one per line), adds a
// line to the file named by append (one line per start), sleeps, waits
// until the file named by wait exists (two minutes at most), then exits
// with N.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int wmain(int argc, wchar_t** argv) {
    int exitCode = 0;
    DWORD sleepMs = 0;
    std::wstring marker, wait, append;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a.rfind(L"exit=", 0) == 0) exitCode = _wtoi(a.c_str() + 5);
        else if (a.rfind(L"marker=", 0) == 0) marker = a.substr(7);
        else if (a.rfind(L"sleep=", 0) == 0) sleepMs = static_cast<DWORD>(_wtoi(a.c_str() + 6));
        else if (a.rfind(L"wait=", 0) == 0) wait = a.substr(5);
        else if (a.rfind(L"append=", 0) == 0) append = a.substr(7);
    }
    if (!marker.empty()) {
        std::string text;
        for (int i = 1; i < argc; ++i) {
            const int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
            std::string s(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
            WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, s.data(), n, nullptr, nullptr);
            text += s + "\r\n";
        }
        HANDLE f = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            CloseHandle(f);
        }
    }
    if (!append.empty()) {
        HANDLE f = CreateFileW(append.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(f, "run\r\n", 5, &written, nullptr);
            CloseHandle(f);
        }
    }
    if (sleepMs) Sleep(sleepMs);
    for (int waited = 0; !wait.empty() && waited < 120000 && GetFileAttributesW(wait.c_str()) == INVALID_FILE_ATTRIBUTES;
         waited += 20) {
        Sleep(20);
    }
    return exitCode;
}
