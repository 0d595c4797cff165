// Runs the mirroring engine alone, without a window: one folder setting
// (master, backup, mirroring on, every other option at its default) as an
// automatic update run, to its end. What the engine would tell the window is
// only counted; boxes are answered OK / no, deletions confirmed.
//   engine_driver <master folder> <backup folder> [--verify] [--cancel-after MS] [--workers N]
// Prints the counts, the bytes copied and the process's own peak working
// set; exit code 0 when the setting finished without an error. --verify turns the setting's Verify
// on; --cancel-after cancels the run as 中止 does after MS milliseconds and
// prints how long the engine took from there to its end; --workers sets
// 同時コピー数 (1 to 32; without it 自動).
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "engine/MirrorWorker.h"
#include "settings/SettingsStore.h"

using namespace tandrel;

namespace {

class CountingHost : public EngineHost {
public:
    void SetStatus(const wchar_t*, const wchar_t*) override { ++statuses; }
    void AddReportRow(const ReportRow&) override { ++rows; }
    int MeasureReportText(const std::wstring& text) override { return static_cast<int>(text.size()) * 7; }
    void SettingRunState(FolderSetting& setting, SettingMark state) override {
        setting.runSelection = static_cast<std::uint8_t>(state);
    }
    void RunState(RunPhase) override {}
    void EnableClose(bool) override {}
    void ClearReport() override {}
    int ShowMessageBox(const std::wstring&, const std::wstring&, UINT style) override {
        ++boxes;
        if (style & MB_ABORTRETRYIGNORE) return IDIGNORE;
        if ((style & MB_TYPEMASK) == MB_YESNO || (style & MB_TYPEMASK) == MB_YESNOCANCEL) return IDNO;
        return IDOK;
    }
    bool IsCtrlDown() override { return false; }
    DeleteChoice ConfirmDelete(const DeleteConfirmation&) override { return DeleteChoice::Delete; }
    void StoreRunResults() override {}
    void PostClose() override {}

    long statuses = 0, rows = 0, boxes = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool verify = false;
    DWORD cancelAfter = 0;
    int workers = 0;
    for (int i = 3; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--verify") == 0) {
            verify = true;
        } else if (std::wcscmp(argv[i], L"--cancel-after") == 0 && i + 1 < argc) {
            cancelAfter = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (std::wcscmp(argv[i], L"--workers") == 0 && i + 1 < argc) {
            workers = static_cast<int>(std::wcstol(argv[++i], nullptr, 10));
            if (workers < 1 || workers > kMaxParallelCopies) argc = 0;
        } else {
            argc = 0;
        }
    }
    if (argc < 3) {
        std::fputs("usage: engine_driver <master folder> <backup folder> [--verify] [--cancel-after MS] [--workers N]\n",
                   stderr);
        return 2;
    }
    // The options a settings file without keys gives (system names included).
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    AppState options;
    options.Reset(L"0.400");
    options.iniPath = std::wstring(temp) + L"tandrel-engine-driver-none.ini";
    LoadOptions(options, GroupVersion | GroupSheet);
    options.loaded = true;
    options.ParallelCopies = workers;

    std::vector<FolderSetting> settings(1);
    FolderSetting& setting = settings[0];
    setting.Reset(L"bench");
    setting.Master = argv[1];
    setting.Backup = argv[2];
    setting.Mirroring = true;
    setting.Verify = verify;

    CountingHost host;
    CommandList commands;
    MirrorBatch batch;
    batch.testMode = false;
    batch.autoOnly = true;
    batch.startedAutomatically = true;
    batch.settings = &settings;
    batch.commands = &commands;
    batch.options = &options;
    batch.host = &host;
    batch.running = true;
    if (!StartBatch(batch)) {
        std::fputs("engine_driver: the worker did not start\n", stderr);
        return 2;
    }
    const ULONGLONG start = GetTickCount64();
    ULONGLONG cancelled = 0;
    while (batch.running) {
        Sleep(1);
        if (cancelAfter && !cancelled && GetTickCount64() - start >= cancelAfter) {
            cancelled = GetTickCount64();
            batch.cancelRequested = true;
        }
    }
    if (cancelled) {
        std::printf("cancelled after %llu ms; the run ended %llu ms later\n",
                    static_cast<unsigned long long>(cancelled - start),
                    static_cast<unsigned long long>(GetTickCount64() - cancelled));
    }

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("created %d, updated %d, deleted %d, errors %d, moved %d, copied %llu bytes, rows %ld, "
                "status texts %ld, boxes %ld, peak working set %llu KiB\n",
                setting.status.created, setting.status.updated, setting.status.deleted, setting.Errors,
                setting.status.moved, static_cast<unsigned long long>(batch.progress.Read().batch.bytes), host.rows,
                host.statuses, host.boxes, static_cast<unsigned long long>(memory.PeakWorkingSetSize / 1024));
    return batch.result == 1 && setting.Errors == 0 ? 0 : 1;
}
