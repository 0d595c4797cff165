// Times saving and loading folder settings in a UTF-16 INI file.
//   settings_bench [settings per project] [projects]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "settings/SettingsStore.h"

using namespace tandrel;

namespace {
double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}
}  // namespace

int main(int argc, char** argv) {
    const int perProject = argc > 1 ? std::atoi(argv[1]) : 200;
    const int projectCount = argc > 2 ? std::atoi(argv[2]) : 1;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GlobalOptions options;
    options.Reset(L"0.400");
    options.iniPath = std::wstring(temp) + L"tandrel-bench-" + std::to_wstring(GetCurrentProcessId()) + L".ini";
    options.loaded = true;

    std::vector<FolderSetting> settings(static_cast<size_t>(perProject));
    CommandList commands;
    for (int i = 0; i < perProject; ++i) {
        FolderSetting& s = settings[static_cast<size_t>(i)];
        s.Reset(L"設定 " + std::to_wstring(i));
        s.Master = L"C:\\マスター\\フォルダ" + std::to_wstring(i);
        s.Backup = L"E:\\バックアップ\\フォルダ" + std::to_wstring(i);
        s.TargetFile = L"*.bak;*.tmp;~*";
        CommandEntry before;
        before.path = L"C:\\tools\\before.exe";
        s.commandIds[0] = commands.Store(before);
    }

    auto start = std::chrono::steady_clock::now();
    for (int p = 0; p < projectCount; ++p) {
        if (!SaveProjectSettings(options, settings, commands, p, -1, PartAll)) {
            std::printf("save failed\n");
            return 1;
        }
    }
    const double save = Seconds(start);

    start = std::chrono::steady_clock::now();
    int loaded = 0;
    for (int p = 0; p < projectCount; ++p) {
        std::vector<FolderSetting> back;
        CommandList backCommands;
        loaded += LoadProjectSettings(options, back, backCommands, p);
    }
    const double load = Seconds(start);

    // A run's end rewrites only LastExec and Errors of every setting.
    start = std::chrono::steady_clock::now();
    SaveProjectSettings(options, settings, commands, 0, -1, PartResult);
    const double results = Seconds(start);

    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(options.iniPath.c_str(), GetFileExInfoStandard, &data);
    DeleteFileW(options.iniPath.c_str());
    std::printf("settings: %d x %d projects, file %lu KiB\n", perProject, projectCount, data.nFileSizeLow / 1024);
    std::printf("save all:      %.3f s\n", save);
    std::printf("load all:      %.3f s (%d settings)\n", load, loaded);
    std::printf("save results:  %.3f s\n", results);
    return loaded == perProject * projectCount ? 0 : 1;
}
