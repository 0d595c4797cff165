// Times the clean-up of a history folder: listing its run folders, choosing
// the old ones by their names and removing them with their manifests.
//   history_bench [runs]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/History.h"

using namespace tandrel;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void Write(const std::wstring& path, const char* text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? _wtoi(argv[1]) : 1000;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"history_bench." + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(root.c_str(), nullptr);
    // One run an hour, going back from now, each with a file and its manifest.
    const std::time_t now = std::time(nullptr);
    for (int n = 0; n < runs; ++n) {
        const std::wstring name = HistoryRunName(now - static_cast<std::time_t>(n) * 3600);
        CreateDirectoryW((root + name).c_str(), nullptr);
        Write(root + name + L"\\f.txt", "f");
        Write(root + name + L".manifest", "Tandrel\tbench\r\ndeleted\t1\t-\tf.txt\r\n");
    }
    const auto start = std::chrono::steady_clock::now();
    bool ok = false;
    const std::vector<HistoryRun> listed = ListHistoryRuns(root, ok);
    // Ten days, at least ten runs: the ten newest stay beside the younger ones.
    const std::vector<HistoryRun> expired = ExpiredRuns(listed, 10, 10, now);
    const double choose = Seconds(start);
    const auto removing = std::chrono::steady_clock::now();
    size_t removed = 0;
    for (const HistoryRun& run : expired) removed += RemoveHistoryRun(root, run.name);
    const double remove = Seconds(removing);
    std::printf("%zu run folders listed, %zu chosen to go in %.3f s; removed %zu in %.3f s\n", listed.size(),
                expired.size(), choose, removed, remove);
    for (const HistoryRun& run : ListHistoryRuns(root, ok)) RemoveHistoryRun(root, run.name);
    RemoveDirectoryW(root.c_str());
    return ok ? 0 : 1;
}
