#pragma once
// Whole batches against real folders, for the engine tests.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/MirrorWorker.h"
#include "RecordingHost.h"
#include "TestSupport.h"

namespace tandrel::test {

using Rows = std::vector<std::wstring>;

// Files come in the file system's order.
inline Rows Sorted(Rows rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Sets a file's last-write time to now minus the given seconds.
inline void Age(const std::wstring& path, int seconds) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart -= static_cast<ULONGLONG>(seconds) * 10000000ULL;
    const FILETIME when{t.LowPart, t.HighPart};
    SetFileTime(file, nullptr, nullptr, &when);
    CloseHandle(file);
}

inline std::wstring DiskName(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return {};
    FindClose(find);
    return data.cFileName;
}

inline FolderSetting Pair(const std::wstring& master, const std::wstring& backup, const wchar_t* name = L"設定") {
    FolderSetting s;
    s.Name = name;
    s.Master = master;
    s.Backup = backup;
    s.runSelection = 1;
    return s;
}

// One batch over the given settings, run to its end on the worker thread.
struct Batch {
    RecordingHost host;
    AppState options;
    std::vector<FolderSetting> settings;
    CommandList commands;
    MirrorBatch batch;
    // When set, deletions meant for the recycle bin go here, and the batch
    // runs on the test's own thread, where its worker can be reached.
    RecycleSender recycleBin;
    // Off: the test has set batch.afterChoice itself.
    bool handOverChoice = true;

    int Run(bool test) {
        host.rows.clear();
        host.boxes.clear();
        host.confirmations.clear();
        batch.testMode = test;
        batch.settings = &settings;
        batch.options = &options;
        batch.commands = &commands;
        batch.host = &host;
        // As the window hands over its choice at the start of a run.
        if (handOverChoice) batch.afterChoice = AfterChoice::Of(options).Pack();
        host.running = &batch.running;
        if (recycleBin) {
            batch.running = true;
            batch.workerActive = true;
            batch.cancelRequested = false;
            MirrorWorker worker(batch);
            worker.SetRecycleSender(recycleBin);
            worker.Run();
        } else {
            if (!StartBatch(batch)) return -1;
            // The after-completion action runs after the batch has ended.
            EXPECT_TRUE(WaitUntil([&] { return !batch.workerActive; }));
        }
        EXPECT_FALSE(batch.running);
        EXPECT_FALSE(batch.workerActive);
        return batch.result;
    }
    // The rows between a setting's start and end, without them and
    // without the setting's summary.
    Rows Changes() const {
        Rows out;
        for (const std::wstring& row : host.RowTexts()) {
            if (row.rfind(L"開始", 0) != 0 && row.rfind(L"テスト開始", 0) != 0 && row.rfind(L"終了", 0) != 0 &&
                row.rfind(L"集計", 0) != 0) {
                out.push_back(row);
            }
        }
        return out;
    }
};

// a.txt changed in the master, sub\b.txt deleted there, gone\ removed.
struct Edited {
    TempDir temp;
    std::wstring m = temp / L"m", b = temp / L"b", history = temp / L"b.履歴";
    Edited() {
        MakeFolders(temp.Path(), {L"m\\sub", L"b\\sub", L"b\\gone"});
        WriteBytes(b + L"\\a.txt", "old a");
        Age(b + L"\\a.txt", 3600);
        WriteBytes(m + L"\\a.txt", "new a");
        WriteBytes(b + L"\\sub\\b.txt", "old b");
        WriteBytes(b + L"\\gone\\c.txt", "old c");
    }
    FolderSetting Setting() const {
        FolderSetting s = Pair(m, b);
        s.DeleteHistory = true;
        return s;
    }
};

}  // namespace tandrel::test
