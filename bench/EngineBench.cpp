// Times whole update runs over a tree of small files: the first copy into an
// empty backup, a run with nothing to do, and a run that replaces every file.
//   engine_bench [files] [folders]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/MirrorWorker.h"
#include "platform/Paths.h"

using namespace tandrel;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Answers everything and shows nothing.
class QuietHost : public EngineHost {
public:
    void SetStatus(const wchar_t*, const wchar_t*) override {}
    void AddReportRow(const ReportRow&) override { ++rows; }
    int MeasureReportText(const std::wstring& text) override { return static_cast<int>(text.size()); }
    void SettingRunState(FolderSetting& setting, int state) override { setting.runSelection = static_cast<std::uint8_t>(state); }
    void RunState(int) override {}
    void EnableClose(bool) override {}
    void ClearReport() override {}
    int ShowMessageBox(const std::wstring&, const std::wstring&, UINT) override { return IDIGNORE; }
    bool IsCtrlDown() override { return false; }
    DeleteChoice ConfirmDelete(const DeleteConfirmation&) override { return DeleteChoice::Delete; }
    void StoreRunResults() override {}
    void PostClose() override {}
    int rows = 0;
};

void WriteFileOf(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

void RemoveAll(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveAll(folder + L"\\" + name);
            } else {
                DeleteFileW((folder + L"\\" + name).c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int folders = argc > 2 ? std::atoi(argv[2]) : 100;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring base = std::wstring(temp) + L"tandrel-engine-bench-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring master = base + L"\\master", backup = base + L"\\backup";
    for (int f = 0; f < folders; ++f) CreateDirectoryTree(master + L"\\folder" + std::to_wstring(f));
    for (int i = 0; i < files; ++i) {
        WriteFileOf(master + L"\\folder" + std::to_wstring(i % folders) + L"\\file" + std::to_wstring(i) + L".txt",
                    std::string(100 + i % 900, 'x'));
    }

    QuietHost host;
    GlobalOptions options;
    std::vector<FolderSetting> settings(1);
    settings[0].Name = L"bench";
    settings[0].Master = master;
    settings[0].Backup = backup;
    settings[0].runSelection = 1;
    CommandList commands;
    MirrorBatch batch;
    batch.settings = &settings;
    batch.options = &options;
    batch.commands = &commands;
    batch.host = &host;
    const auto run = [&](const char* what) {
        host.rows = 0;
        const auto start = std::chrono::steady_clock::now();
        if (!StartBatch(batch)) return;
        while (batch.running) Sleep(5);
        std::printf("%-28s %8.2f s  %6d rows  %d errors\n", what, Seconds(start), host.rows, settings[0].Errors);
    };
    std::printf("%d files in %d folders\n", files, folders);
    run("first copy");
    run("nothing to do");
    // Every master file newer: each backup file is replaced.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG ticks = ((ULONGLONG{now.dwHighDateTime} << 32) | now.dwLowDateTime) + 36000000000ULL;
    const FILETIME later{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    for (int i = 0; i < files; ++i) {
        const std::wstring path =
            master + L"\\folder" + std::to_wstring(i % folders) + L"\\file" + std::to_wstring(i) + L".txt";
        HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFileTime(file, nullptr, nullptr, &later);
        CloseHandle(file);
    }
    run("replace every file");
    RemoveAll(base);
    return 0;
}
