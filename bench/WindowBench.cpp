// Times what the window does at the scale of a large run, each beside a
// floor timed in the same process: a worker that sends 100,000 rows and
// statuses (floor: the same rows kept in a plain vector), the copy of those
// rows (floor: the same text built from that vector and put on the
// clipboard), selecting 1,000 folder settings, and typing a share's name
// into the folder-setting sheet. The window tests assert what happens; this
// program says how fast.
//
//   window_bench.exe [rows]
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/DefineSheet.h"
#include "framework/ListView.h"
#include "resource_app.h"
#include "settings/SettingsStore.h"
#include "ui/MainFrame.h"
#include "ui/UserMessages.h"

using namespace tandrel;

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Pump(CMainFrame& frame) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (frame.PreTranslateMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    frame.OnIdle();
}

int statusMessages = 0;
LRESULT CALLBACK CountStatus(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && reinterpret_cast<CWPSTRUCT*>(lParam)->message == WM_TANDREL_STATUS) ++statusMessages;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::wstring SettingsText(int count) {
    std::wstring text = L"\xFEFF[Save]\r\nSaveRegistory=0\r\n[Options]\r\nListCount=" + std::to_wstring(count) + L"\r\n";
    for (int i = 0; i < count; ++i) {
        const std::wstring n = std::to_wstring(i);
        text += L"[Define " + n + L"]\r\nName=S" + n + L"\r\nMaster=C:\\m" + n + L"\r\nBackup=E:\\b" + n + L"\r\n";
    }
    return text;
}

// A main window on a settings file of its own in the temporary folder.
struct Window {
    AppState options;
    std::unique_ptr<CMainFrame> frame;

    explicit Window(int settings) {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        const std::wstring folder = std::wstring(temp) + L"tandrel-window-bench\\";
        CreateDirectoryW(folder.c_str(), nullptr);
        const std::wstring ini = folder + L"Tandrel.ini", text = SettingsText(settings);
        HANDLE file = CreateFileW(ini.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size() * 2), &written, nullptr);
        CloseHandle(file);
        options.Reset(L"0.400");
        options.iniPath = options.oldIniPath = ini;
        options.exeDirectory = folder;
        LoadAtStart(options);
        frame = std::make_unique<CMainFrame>(options);
        frame->Create(L"Tandrel Unicode");
        frame->View().startBatch = [](MirrorBatch&) { return true; };
        frame->InitialUpdate();
        ShowWindow(frame->Handle(), SW_SHOWNORMAL);
        Pump(*frame);
    }
    ~Window() {
        frame.reset();
        DeleteFileW(options.iniPath.c_str());
    }
};

void RowsAndCopy(int rows) {
    Window window(3);
    CMainFrame& frame = *window.frame;
    HWND report = frame.View().ReportList().Handle();
    const auto path = [](int i) { return L"folder\\file" + std::to_wstring(i) + L".txt"; };

    // Floor: the same rows, kept without a window.
    auto start = Clock::now();
    std::vector<ReportRow> kept;
    for (int i = 0; i < rows; ++i) kept.push_back({RowAction::Create, path(i), FILETIME{}, {}, static_cast<std::uint64_t>(i)});
    const double floorRows = Since(start);

    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, CountStatus, nullptr, GetCurrentThreadId());
    statusMessages = 0;
    double workerSeconds = 0;
    std::atomic<bool> done{false};
    start = Clock::now();
    std::thread worker([&] {
        EngineHost& host = frame.View().Host();
        const auto begin = Clock::now();
        for (int i = 0; i < rows; ++i) {
            const std::wstring p = path(i);
            host.SetStatus(L"更新中", p.c_str());
            host.AddReportRow({RowAction::Create, p, FILETIME{}, {}, static_cast<std::uint64_t>(i)});
        }
        workerSeconds = Since(begin);
        done = true;
    });
    while (!done || listview::RowCount(report) < rows) {
        Pump(frame);
        Sleep(5);
    }
    worker.join();
    const double shownSeconds = Since(start);
    UnhookWindowsHookEx(hook);
    std::printf("%d rows from the worker: worker %.3f s (floor %.3f s, %.2fx), all shown after %.3f s, "
                "%d status repaints (%.1f per second)\n",
                rows, workerSeconds, floorRows, workerSeconds / floorRows, shownSeconds, statusMessages,
                statusMessages / shownSeconds);

    // Floor: the same tab-separated text put on the clipboard directly.
    start = Clock::now();
    std::wstring text;
    for (const ReportRow& row : kept) text += RowActionText(row.action) + L"\t" + row.path + L"\t\t\t\r\n";
    if (OpenClipboard(frame.Handle())) {
        EmptyClipboard();
        HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
        memcpy(GlobalLock(data), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(data);
        SetClipboardData(CF_UNICODETEXT, data);
        CloseClipboard();
    }
    const double floorCopy = Since(start);
    start = Clock::now();
    SendMessageW(frame.Handle(), WM_COMMAND, ID_EDIT_COPY, 0);
    const double copySeconds = Since(start);
    std::printf("copy of %d rows: %.3f s (floor %.3f s, %.2fx)\n", rows, copySeconds, floorCopy,
                copySeconds / floorCopy);
}

void SelectAll(int settings) {
    Window window(settings);
    CMainFrame& frame = *window.frame;
    const auto start = Clock::now();
    SendMessageW(frame.Handle(), WM_COMMAND, ID_SELECT_ALL, 0);
    Pump(frame);
    const double seconds = Since(start);
    std::printf("select all of %d settings (with the command update): %.3f s\n", settings, seconds);
}

// Typing a share's name one character at a time into the general page; the
// label read it causes runs off the window thread.
void Typing() {
    AppState options;
    options.Reset(L"0.400");
    FolderSetting setting;
    setting.Reset(L"設定");
    setting.DetectDriveByVolumeMaster = true;
    CommandList commands;
    const std::wstring share = L"\\\\192.0.2.1\\share\\data\\folder";
    double seconds = -1;
    std::thread driver([&] {
        HWND sheet = nullptr;
        for (int i = 0; i < 6000 && !sheet; ++i, Sleep(20)) {
            sheet = FindWindowW(L"#32770", L"フォルダ設定");
            if (sheet && !PropSheet_GetCurrentPageHwnd(sheet)) sheet = nullptr;
        }
        if (!sheet) return;
        HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        const auto start = Clock::now();
        std::wstring typed;
        for (wchar_t c : share) {
            typed += c;
            SetDlgItemTextW(page, IDC_DM_MASTER, typed.c_str());
        }
        seconds = Since(start);
        PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    });
    EditFolderSetting(nullptr, options, setting, commands, false, {});
    driver.join();
    std::printf("typing %zu characters of a share's name into the folder box: %.3f s\n", share.size(), seconds);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int rows = argc > 1 ? _wtoi(argv[1]) : 100000;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    RowsAndCopy(rows);
    SelectAll(1000);
    Typing();
    return 0;
}
