// What the mirror deletes or overwrites in the backup goes into the history
// folder, one folder per run with its manifest; what cannot go there stays in
// the backup; old runs go only after a clean run.
#include <gtest/gtest.h>

#include <ctime>
#include <random>
#include <set>

#include "StagedFaults.h"
#include "engine/History.h"
#include "platform/Strings.h"

namespace tandrel {
namespace {

using test::Batch;
using test::CountRows;
using test::Edited;
using test::FileExists;
using test::HasRow;
using test::MakeFolders;
using test::Pair;
using test::ReadBytes;
using test::StagedFaults;
using test::TempDir;
using test::Utf8;
using test::WriteBytes;

bool RowHas(const Batch& run, const std::wstring& action, const std::wstring& text) {
    for (const ReportRow& row : run.host.rows) {
        if (RowActionText(row.action) == action && row.path.find(text) != std::wstring::npos) return true;
    }
    return false;
}

// The run folders below a history folder, by name.
std::vector<std::wstring> RunFolders(const std::wstring& history) {
    bool ok = false;
    std::vector<std::wstring> names;
    for (const HistoryRun& run : ListHistoryRuns(history + L"\\", ok)) names.push_back(run.name);
    std::sort(names.begin(), names.end());
    return names;
}


TEST(HistoryTest, DeletedAndOverwrittenFilesGoIntoTheRunFolderWithAManifest) {
    Edited trees;
    Batch run;
    run.settings = {trees.Setting()};

    // A test run lists the moves as rows of their own and touches nothing.
    EXPECT_EQ(run.Run(true), 1);
    EXPECT_TRUE(HasRow(run, L"履歴へ移動 a.txt (上書き)"));
    EXPECT_TRUE(HasRow(run, L"履歴へ移動 sub\\b.txt"));
    EXPECT_TRUE(HasRow(run, L"履歴へ移動 gone\\c.txt"));
    EXPECT_FALSE(FileExists(trees.history));
    EXPECT_EQ(ReadBytes(trees.b + L"\\sub\\b.txt"), "old b");

    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.settings[0].Errors, 0);
    EXPECT_EQ(ReadBytes(trees.b + L"\\a.txt"), "new a");
    EXPECT_FALSE(FileExists(trees.b + L"\\sub\\b.txt"));
    EXPECT_FALSE(FileExists(trees.b + L"\\gone"));
    EXPECT_EQ(CountRows(run, L"履歴へ移動"), 3);
    const std::vector<std::wstring> runs = RunFolders(trees.history);
    ASSERT_EQ(runs.size(), 1u);
    const std::wstring folder = trees.history + L"\\" + runs[0];
    EXPECT_EQ(ReadBytes(folder + L"\\a.txt"), "old a");
    EXPECT_EQ(ReadBytes(folder + L"\\sub\\b.txt"), "old b");
    EXPECT_EQ(ReadBytes(folder + L"\\gone\\c.txt"), "old c");
    const std::string manifest = ReadBytes(folder + L".manifest");
    EXPECT_EQ(manifest.rfind(Utf8(L"Tandrel\t設定\r\n"), 0), 0u) << manifest;
    EXPECT_NE(manifest.find("overwritten\t5\t"), std::string::npos) << manifest;
    EXPECT_NE(manifest.find(Utf8(L"\tsub\\b.txt\r\n")), std::string::npos) << manifest;
    EXPECT_NE(manifest.find(Utf8(L"deleted\t5\t")), std::string::npos) << manifest;

    // A run that removes nothing makes no run folder.
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(RunFolders(trees.history).size(), 1u);
}

TEST(HistoryTest, WhatCannotGoIntoTheHistoryStaysInTheBackup) {
    Edited trees;
    StagedFaults faults;
    // The history lies on another volume for b.txt, and refuses a.txt and c.txt.
    faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
        if (point != FaultPoint::Rename) return 0;
        if (path.ends_with(L"b.txt")) return ERROR_NOT_SAME_DEVICE;
        if (path.ends_with(L"a.txt") || path.ends_with(L"c.txt")) return ERROR_ACCESS_DENIED;
        return 0;
    };
    Batch run;
    run.settings = {trees.Setting()};
    run.settings[0].ErrorLeave = true;
    EXPECT_EQ(run.Run(false), 1);
    // a.txt, c.txt, and gone\ that keeps c.txt.
    EXPECT_EQ(run.settings[0].Errors, 3);
    EXPECT_EQ(CountRows(run, L"エラー"), 3);
    EXPECT_TRUE(HasRow(run, L"エラー 履歴への移動に失敗: "));
    // Neither deleted nor overwritten instead.
    EXPECT_EQ(ReadBytes(trees.b + L"\\a.txt"), "old a");
    EXPECT_EQ(ReadBytes(trees.b + L"\\gone\\c.txt"), "old c");
    // Copied, read back, then deleted.
    EXPECT_FALSE(FileExists(trees.b + L"\\sub\\b.txt"));
    const std::vector<std::wstring> runs = RunFolders(trees.history);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(ReadBytes(trees.history + L"\\" + runs[0] + L"\\sub\\b.txt"), "old b");
    EXPECT_FALSE(FileExists(trees.history + L"\\" + runs[0] + L"\\sub\\b.txt.partial"));
}

TEST(HistoryTest, AHistoryFolderInsideTheBackupIsNoPartOfTheMirror) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeFolders(temp.Path(), {L"m\\keep", L"b\\keep\\2020-01-01 000000"});
    WriteBytes(b + L"\\keep\\2020-01-01 000000\\x.txt", "kept");
    WriteBytes(m + L"\\keep\\in master.txt", "m");
    WriteBytes(b + L"\\old.txt", "old");
    Batch run;
    run.settings = {Pair(m, b)};
    FolderSetting& s = run.settings[0];
    s.DeleteHistory = true;
    s.HistoryDir = b + L"\\keep";
    s.HistoryMinRuns = 5;
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(ReadBytes(b + L"\\keep\\2020-01-01 000000\\x.txt"), "kept");
    EXPECT_FALSE(FileExists(b + L"\\keep\\in master.txt"));
    EXPECT_TRUE(HasRow(run, L"スキップ keep"));
    EXPECT_FALSE(FileExists(b + L"\\old.txt"));
    EXPECT_EQ(RunFolders(b + L"\\keep").size(), 2u);
}

TEST(HistoryTest, DateFoldersOnADriveFoundByLabelKeepTheirHistoryOnThatDrive) {
    test::TestDrive e(L'E'), f(L'F');
    e.SetLabel(L"TANDREL_BK");
    f.SetLabel(L"OTHER");
    test::RemoveTree(L"E:\\dated");
    test::RemoveTree(L"F:\\dated");
    TempDir temp;
    const std::wstring m = temp / L"m";
    MakeFolders(temp.Path(), {L"m"});
    WriteBytes(m + L"\\a.txt", "a");
    WriteBytes(m + L"\\b.txt", "b");
    Batch run;
    // Stored on F:, found on E: by its label.
    run.settings = {Pair(m, L"F:\\dated")};
    FolderSetting& s = run.settings[0];
    s.DetectDriveByVolumeBackup = true;
    s.Volume = L"TANDREL_BK";
    s.MakeDateDir = true;
    s.BackupDateDir = L"D";
    s.DeleteHistory = true;
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(ReadBytes(L"E:\\dated\\D\\b.txt"), "b");
    DeleteFileW((m + L"\\b.txt").c_str());
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_FALSE(FileExists(L"E:\\dated\\D\\b.txt"));
    const std::vector<std::wstring> runs = RunFolders(L"E:\\dated\\Tandrel履歴");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(ReadBytes(L"E:\\dated\\Tandrel履歴\\" + runs[0] + L"\\b.txt"), "b");
    EXPECT_FALSE(FileExists(L"F:\\dated"));
    test::RemoveTree(L"E:\\dated");
}

TEST(HistoryTest, AHistoryFolderInTheMasterOrAsTheBackupIsRefused) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeFolders(temp.Path(), {L"m", L"b"});
    WriteBytes(m + L"\\new.txt", "new");
    WriteBytes(b + L"\\old.txt", "old");
    for (const std::wstring& chosen : {m + L"\\history", m, b, temp.Path()}) {
        SCOPED_TRACE(Utf8(chosen));
        Batch run;
        run.settings = {Pair(m, b)};
        run.settings[0].DeleteHistory = true;
        run.settings[0].HistoryDir = chosen;
        EXPECT_EQ(run.Run(false), 0);
        EXPECT_TRUE(RowHas(run, L"エラー", L"履歴フォルダには、マスター側フォルダやその中"));
        EXPECT_EQ(ReadBytes(b + L"\\old.txt"), "old");
        EXPECT_FALSE(FileExists(b + L"\\new.txt"));
    }
}

TEST(HistoryTest, OldRunsGoAfterACleanRunOnlyKeepingTheNewest) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b", history = temp / L"b.履歴";
    MakeFolders(temp.Path(), {L"m", L"b"});
    const std::time_t now = std::time(nullptr);
    // Runs 40, 35, 20 and 1 days old, each with a file and its manifest.
    std::vector<std::wstring> names;
    for (const int days : {40, 35, 20, 1}) {
        const std::wstring name = HistoryRunName(now - static_cast<std::time_t>(days) * 86400);
        names.push_back(name);
        MakeFolders(history, {name.c_str()});
        WriteBytes(history + L"\\" + name + L"\\f.txt", "f");
        WriteBytes(history + L"\\" + name + L".manifest", "Tandrel\tx\r\n");
    }
    // What a kill may leave: a run folder without its manifest, a manifest
    // whose folder went; a read-only file goes all the same. Other files stay.
    DeleteFileW((history + L"\\" + names[1] + L".manifest").c_str());
    const std::wstring orphan = history + L"\\2019-01-01 000000.manifest";
    WriteBytes(orphan, "Tandrel\tx\r\n");
    WriteBytes(history + L"\\notes.manifest", "mine");
    SetFileAttributesW((history + L"\\" + names[0] + L"\\f.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    Batch run;
    run.settings = {Pair(m, b)};
    FolderSetting& s = run.settings[0];
    s.DeleteHistory = true;
    s.HistoryDays = 30;
    s.HistoryMinRuns = 1;

    // A run with an error judges nothing old, nor a manifest an orphan.
    {
        StagedFaults faults;
        faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
            return point == FaultPoint::List && path == b + L"\\" ? ERROR_ACCESS_DENIED : 0;
        };
        EXPECT_EQ(run.Run(false), 1);
        EXPECT_GT(run.settings[0].Errors, 0);
        EXPECT_EQ(RunFolders(history).size(), 4u);
        EXPECT_TRUE(FileExists(orphan));
    }
    // Older than 30 days go; the younger stay beyond the one kept by count.
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.settings[0].Errors, 0);
    EXPECT_EQ(RunFolders(history), (std::vector<std::wstring>{names[2], names[3]}));
    EXPECT_FALSE(FileExists(history + L"\\" + names[0] + L".manifest"));
    EXPECT_TRUE(FileExists(history + L"\\" + names[2] + L".manifest"));
    EXPECT_FALSE(FileExists(orphan));
    EXPECT_EQ(ReadBytes(history + L"\\notes.manifest"), "mine");

    // By count only: the newest stays.
    s.HistoryDays = 0;
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(RunFolders(history), (std::vector<std::wstring>{names[3]}));

    // At least the newest runs stay, however old.
    EXPECT_EQ(ExpiredRuns({{L"a", now - 90 * 86400}, {L"b", now - 80 * 86400}}, 30, 2, now).size(), 0u);
}

// A file of set A or B, large enough that its copy takes a moment.
std::string SetContent(const std::wstring& set, int n) {
    std::string content = Utf8(set);
    content += std::to_string(n);
    content.append(4000, 'x');
    return content;
}

// The master switches between two sets of 20 files; every run moves the
// other set into the history, across volumes: copied, read back, deleted.
void MirrorTwoSetsForEver(const std::wstring& m, const std::wstring& b) {
    StagedFaults otherVolume;
    otherVolume.fail = [](FaultPoint point, const std::wstring&, int) -> DWORD {
        return point == FaultPoint::Rename ? ERROR_NOT_SAME_DEVICE : 0;
    };
    Batch run;
    run.settings = {Pair(m, b)};
    run.settings[0].DeleteHistory = true;
    run.settings[0].HistoryMinRuns = 9999;
    run.settings[0].DeleteGuard = false;
    for (unsigned round = 0;; ++round) {
        const wchar_t* now = round % 2 ? L"B" : L"A";
        const wchar_t* gone = round % 2 ? L"A" : L"B";
        for (int n = 0; n < 20; ++n) {
            DeleteFileW(test::NumberedFile(m + L"\\" + gone, n).c_str());
            MakeFolders(m, {now});
            WriteBytes(test::NumberedFile(m + L"\\" + now, n), SetContent(now, n));
        }
        RemoveDirectoryW((m + L"\\" + gone).c_str());
        run.Run(false);
    }
}

TEST(HistoryKillChild, DISABLED_MirrorsIntoTheHistoryForEver) {
    wchar_t root[MAX_PATH] = {};
    ASSERT_NE(GetEnvironmentVariableW(L"TANDREL_KILL_FOLDER", root, MAX_PATH), 0u);
    MirrorTwoSetsForEver(std::wstring(root) + L"\\m", std::wstring(root) + L"\\b");
}

// Contents of the files below a folder, partial copies left out.
void Contents(const std::wstring& folder, std::set<std::string>& out) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Contents(folder + L"\\" + name, out);
        } else if (!name.ends_with(L".partial")) {
            out.insert(ReadBytes(folder + L"\\" + name));
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

TEST(HistoryTest, AKillDuringMovesIntoTheHistoryLosesNothing) {
    TempDir temp;
    const std::wstring b = temp / L"b", history = temp / L"b.履歴";
    // The backup holds the first set from the start.
    std::set<std::string> held;
    for (int n = 0; n < 20; ++n) {
        MakeFolders(temp.Path(), {L"b\\A"});
        const std::string content = SetContent(L"A", n);
        WriteBytes(test::NumberedFile(b + L"\\A", n), content);
        held.insert(content);
    }
    ASSERT_TRUE(SetEnvironmentVariableW(L"TANDREL_KILL_FOLDER", temp.Path().c_str()));
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    for (int round = 0; round < 4; ++round) {
        HANDLE child = test::StartChild(L"HistoryKillChild.DISABLED_MirrorsIntoTheHistoryForEver");
        ASSERT_NE(child, nullptr);
        // Once the history holds more than before, kill it at a moment of chance.
        std::set<std::string> before;
        Contents(history, before);
        test::WaitUntil("a move into the history", [&] {
            std::set<std::string> now;
            Contents(history, now);
            return now.size() > before.size();
        }, test::kPatience, 5);
        Sleep(std::uniform_int_distribution<DWORD>(0, 200)(random));
        TerminateProcess(child, 9);
        test::WaitForExit(child, "the killed child");
        CloseHandle(child);

        std::set<std::string> kept;
        Contents(b, kept);
        Contents(history, kept);
        for (const std::string& content : held) {
            EXPECT_TRUE(kept.count(content) > 0) << content.substr(0, 3) << ", round " << round << ", seed " << seed;
        }
        // What the backup holds now was held too.
        Contents(b, held);
    }
    SetEnvironmentVariableW(L"TANDREL_KILL_FOLDER", nullptr);
}

}  // namespace
}  // namespace tandrel
