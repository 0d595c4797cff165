#include "MainWindowFixture.h"

#include <commctrl.h>

#include <atomic>
#include <thread>

#include "framework/ListView.h"
#include "settings/SettingsStore.h"

namespace tandrel::test {

MainWindowTest::~MainWindowTest() {
    if (frame) {
        // A real worker ends before the window and its batch go.
        PumpUntil([&] { return !View().Batch().workerActive; });
        JoinBatch(View().Batch());
        View().Batch().running = false;
    }
    frame.reset();
}

void MainWindowTest::Open(const std::wstring& ini, const std::function<void(AppState&)>& prepare) {
    const std::string bytes = "\xFF\xFE" + std::string(reinterpret_cast<const char*>(ini.data()), ini.size() * 2);
    ASSERT_TRUE(WriteBytes(iniPath, bytes));
    options.Reset(L"0.400");
    options.iniPath = options.oldIniPath = iniPath;
    options.exeDirectory = dir.Path() + L"\\";
    options.registryKey = L"Software\\TandrelTest\\gui";
    LoadAtStart(options);
    if (prepare) prepare(options);
    frame = std::make_unique<CMainFrame>(options);
    ASSERT_TRUE(frame->Create(L"Tandrel Unicode"));
    View().startBatch = [this](MirrorBatch& batch) {
        started.push_back(&batch);
        return true;
    };
    frame->InitialUpdate();
    ShowWindow(frame->Handle(), SW_SHOWNORMAL);
    Pump();
}

void MainWindowTest::Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (frame && frame->Handle() && frame->PreTranslateMessage(msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        // The queue is empty: what the program's own loop does then.
        if (frame && frame->Handle()) frame->OnIdle();
        if (ms) Sleep(10);
    } while (GetTickCount() - start < ms);
}

bool MainWindowTest::PumpUntil(const std::function<bool()>& condition, DWORD deadlineMs,
                               Place where) {
    return WaitUntil(
        "the window to get there",
        [&] {
            Pump();
            return condition();
        },
        deadlineMs, 10, where);
}

void MainWindowTest::OnWorker(const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    // The worker holds this function's locals: a worker that never ends
    // cannot be left behind, so the test program ends instead of hanging.
    if (!PumpUntil([&] { return done.load(); })) GiveUp("the worker to end");
    worker.join();
    Pump();
}

void MainWindowTest::ClickToolbar(UINT id) {
    HWND toolbar = frame->Toolbar();
    const int index = static_cast<int>(SendMessageW(toolbar, TB_COMMANDTOINDEX, id, 0));
    RECT r{};
    ASSERT_TRUE(SendMessageW(toolbar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r))) << id;
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageW(toolbar, WM_MOUSEMOVE, 0, at);
    SendMessageW(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(toolbar, WM_LBUTTONUP, 0, at);
    Pump();
}

void MainWindowTest::Command(UINT id) {
    SendMessageW(frame->Handle(), WM_COMMAND, id, 0);
    Pump();
}

std::wstring MainWindowTest::Cell(HWND list, int row, int column) {
    return listview::Text(list, row, column);
}

std::vector<std::wstring> MainWindowTest::Column(HWND list, int column) {
    std::vector<std::wstring> texts;
    for (int row = 0; row < listview::RowCount(list); ++row) texts.push_back(Cell(list, row, column));
    return texts;
}

void MainWindowTest::Select(const std::vector<int>& rows) {
    listview::SetSelected(SetupList(), -1, false);
    for (int row : rows) listview::SetSelected(SetupList(), row, true);
    Pump();
}

bool MainWindowTest::Checked(int row) {
    return ((SendMessageW(SetupList(), LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

std::wstring MainWindowTest::Stored(const std::wstring& section, const std::wstring& key) {
    return IniValue(ReadUtf16File(iniPath), section, key);
}

FILETIME FileTimeOf(std::time_t t) {
    ULARGE_INTEGER ticks{};
    ticks.QuadPart = static_cast<unsigned long long>(t) * 10000000ull + 116444736000000000ull;
    return FILETIME{ticks.LowPart, ticks.HighPart};
}

std::wstring SettingsText(int count, const std::wstring& firstExtra) {
    std::wstring text = L"[Save]\r\nSaveRegistory=0\r\n[Options]\r\nListCount=" + std::to_wstring(count) +
                        L"\r\nProjectCount=2\r\nProject\\001\\ListCount=1\r\n"
                        L"[Project\\001\\]\r\nProjectName=別\r\n"
                        L"[Project\\001\\Define 0]\r\nName=P1\r\nMaster=D:\\p\r\n"
                        L"[Define 0]\r\nName=A\r\nMaster=C:\\a\r\nBackup=E:\\a\r\nCommandType0=0\r\n"
                        L"CommandPath0=before.exe\r\n" + firstExtra +
                        L"[Define 1]\r\nName=B\r\nMaster=C:\\b\r\nBackup=E:\\b\r\nAutoExec=0\r\nErrors=3\r\n"
                        L"[Define 2]\r\nName=C\r\nMaster=C:\\c\r\nBackup=E:\\c\r\n";
    for (int i = 3; i < count; ++i) {
        text += L"[Define " + std::to_wstring(i) + L"]\r\nName=" + std::wstring(1, static_cast<wchar_t>(L'A' + i)) +
                L"\r\n";
    }
    return text;
}

}  // namespace tandrel::test
