// Times saving and loading folder settings in a UTF-16 INI file.
//   settings_bench [settings per project] [projects] [--old]
// With --old the same sections also go through the system's profile
// functions section by section, as the store did before it kept the file as
// one document, and both figures are printed side by side.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "settings/IniFile.h"
#include "settings/SettingsStore.h"

using namespace tandrel;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct Figures {
    double save = 0, load = 0, one = 0;
};

// The former way: every section read whole and written whole through the
// profile functions, which rewrite the file each time.
Figures ProfileFunctions(const std::wstring& from, const std::wstring& file) {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, "\xFF\xFE", 2, &written, nullptr);
    CloseHandle(h);
    std::vector<std::pair<std::wstring, std::wstring>> blocks;
    for (const std::wstring& section : ini::SectionNames(from)) {
        std::wstring block;
        for (const auto& [key, value] : ini::ReadSection(from, section)) block += key + L"=" + value.value_or(L"") + L'\0';
        blocks.emplace_back(section, block + L'\0');
    }
    std::vector<wchar_t> buffer(1 << 16);
    Figures f;
    auto start = std::chrono::steady_clock::now();
    for (const auto& [section, block] : blocks) {
        GetPrivateProfileSectionW(section.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
        WritePrivateProfileSectionW(section.c_str(), block.c_str(), file.c_str());
    }
    f.save = Seconds(start);
    start = std::chrono::steady_clock::now();
    for (const auto& [section, block] : blocks)
        GetPrivateProfileSectionW(section.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
    f.load = Seconds(start);
    const auto& [section, block] = blocks[blocks.size() / 2];
    start = std::chrono::steady_clock::now();
    GetPrivateProfileSectionW(section.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
    WritePrivateProfileSectionW(section.c_str(), block.c_str(), file.c_str());
    f.one = Seconds(start);
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const int perProject = argc > 1 ? std::atoi(argv[1]) : 200;
    const int projectCount = argc > 2 ? std::atoi(argv[2]) : 1;
    const bool old = argc > 3 && std::strcmp(argv[3], "--old") == 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring base = std::wstring(temp) + L"tandrel-bench-" + std::to_wstring(GetCurrentProcessId());
    AppState options;
    options.Reset(L"0.400");
    options.iniPath = base + L".ini";
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

    // One save per project, as the project editor and a conversion do.
    Figures now;
    auto start = std::chrono::steady_clock::now();
    for (int p = 0; p < projectCount; ++p) {
        if (!SaveProjectSettings(options, settings, commands, p, -1, PartAll)) {
            std::printf("save failed\n");
            return 1;
        }
    }
    now.save = Seconds(start);

    // Loaded from a copy, so the file is read and parsed as at start-up.
    AppState cold = options;
    cold.iniPath = base + L"-copy.ini";
    CopyFileW(options.iniPath.c_str(), cold.iniPath.c_str(), FALSE);
    start = std::chrono::steady_clock::now();
    int loaded = 0;
    for (int p = 0; p < projectCount; ++p) {
        std::vector<FolderSetting> back;
        CommandList backCommands;
        loaded += LoadProjectSettings(cold, back, backCommands, p);
    }
    now.load = Seconds(start);

    // An edit stores one setting of a file that holds all of them.
    settings[static_cast<size_t>(perProject / 2)].Name = L"変更した設定";
    start = std::chrono::steady_clock::now();
    const bool oneSaved = SaveProjectSettings(options, settings, commands, 0, perProject / 2, PartAll);
    now.one = Seconds(start);

    // A run's end rewrites only LastExec and Errors of every setting.
    start = std::chrono::steady_clock::now();
    SaveProjectSettings(options, settings, commands, 0, -1, PartResult);
    const double results = Seconds(start);

    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(options.iniPath.c_str(), GetFileExInfoStandard, &data);
    std::printf("settings: %d x %d projects, file %lu KiB\n", perProject, projectCount, data.nFileSizeLow / 1024);
    if (old) {
        const Figures before = ProfileFunctions(options.iniPath, base + L"-old.ini");
        DeleteFileW((base + L"-old.ini").c_str());
        std::printf("                     one document   profile functions\n");
        std::printf("save all:            %8.3f s      %8.3f s\n", now.save, before.save);
        std::printf("load all:            %8.3f s      %8.3f s\n", now.load, before.load);
        std::printf("store one setting:   %8.3f s      %8.3f s\n", now.one, before.one);
    } else {
        std::printf("save all:            %8.3f s\n", now.save);
        std::printf("load all:            %8.3f s (%d settings)\n", now.load, loaded);
        std::printf("store one setting:   %8.3f s\n", now.one);
    }
    std::printf("save results:        %8.3f s\n", results);
    DeleteFileW(options.iniPath.c_str());
    DeleteFileW(cold.iniPath.c_str());
    return loaded == perProject * projectCount && oneSaved ? 0 : 1;
}
