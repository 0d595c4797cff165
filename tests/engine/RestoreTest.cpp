// A restore from the backup copies back what the master lacks or has older,
// and no option of the setting makes it delete, rename or overwrite a newer
// file.
#include <gtest/gtest.h>

#include <map>

#include "StagedFaults.h"
#include "engine/Executor.h"
#include "engine/History.h"
#include "engine/Restore.h"

namespace tandrel {
namespace {

using test::Batch;
using test::FileExists;
using test::HasRow;
using test::MakeFolders;
using test::Pair;
using test::ReadBytes;
using test::TempDir;
using test::Utf8;
using test::WriteBytes;

bool HasRowText(const test::RecordingHost& host, const std::wstring& text) {
    for (const std::wstring& row : host.RowTexts()) {
        if (row.find(text) != std::wstring::npos) return true;
    }
    return false;
}

// A master backed up, then damaged: a.txt and sub\ deleted, c.txt saved
// over since (newer), x.txt new, and a folder "k" where the backup has a
// file "k".
struct Damaged {
    TempDir temp;
    std::wstring m = temp / L"m", b = temp / L"b";
    Damaged() {
        MakeFolders(temp.Path(), {L"m", L"m\\k", L"b\\sub\\deep", L"b\\Tandrel履歴\\2020-01-01 000000"});
        WriteBytes(b + L"\\a.txt", "a");
        WriteBytes(b + L"\\sub\\deep\\b.txt", "b");
        WriteBytes(b + L"\\c.txt", "old c");
        test::Age(b + L"\\c.txt", 3600);
        WriteBytes(m + L"\\c.txt", "new c");
        WriteBytes(b + L"\\older.txt", "backup's");
        WriteBytes(m + L"\\older.txt", "master's old");
        test::Age(m + L"\\older.txt", 3600);
        WriteBytes(m + L"\\x.txt", "x");
        WriteBytes(m + L"\\k\\in k.txt", "k");
        WriteBytes(b + L"\\k", "file k");
        WriteBytes(b + L"\\Tandrel履歴\\2020-01-01 000000\\h.txt", "h");
    }
    // Every option that deletes, renames or narrows is on.
    FolderSetting Setting() const {
        FolderSetting s = Pair(m, b);
        s.Mirroring = true;
        s.Overwrite = true;
        s.OverwriteAlways = true;
        s.DeleteIgnoreTarget = true;
        s.DeleteHistory = true;
        s.HistoryDir = b + L"\\Tandrel履歴";
        s.DeleteGuard = false;
        s.TargetType = 0;
        s.TargetFile = L"*.none";
        s.BackupType = 1;
        return s;
    }
    void ExpectMasterRestored(const std::wstring& into) const {
        EXPECT_EQ(ReadBytes(into + L"\\a.txt"), "a");
        EXPECT_EQ(ReadBytes(into + L"\\sub\\deep\\b.txt"), "b");
        EXPECT_EQ(ReadBytes(into + L"\\older.txt"), "backup's");
        // The backup's own history stays where it is.
        EXPECT_FALSE(FileExists(into + L"\\Tandrel履歴"));
    }
};

TEST(RestoreTest, RestoresMissingAndOlderFilesAndNeverDeletesOrOverwritesNewer) {
    Damaged trees;
    Batch run;
    run.settings = {trees.Setting()};
    run.batch.restore = true;

    // First what it would do, touching nothing.
    EXPECT_EQ(run.Run(true), 1);
    EXPECT_TRUE(HasRow(run, L"作成 a.txt"));
    EXPECT_TRUE(HasRow(run, L"作成 sub\\deep\\b.txt"));
    EXPECT_TRUE(HasRow(run, L"更新 older.txt"));
    EXPECT_FALSE(HasRow(run, L"更新 c.txt"));
    EXPECT_FALSE(FileExists(trees.m + L"\\a.txt"));

    EXPECT_EQ(run.Run(false), 1);
    trees.ExpectMasterRestored(trees.m);
    EXPECT_EQ(ReadBytes(trees.m + L"\\c.txt"), "new c");
    EXPECT_EQ(ReadBytes(trees.m + L"\\x.txt"), "x");
    EXPECT_EQ(ReadBytes(trees.m + L"\\k\\in k.txt"), "k");
    // The backup is read, never written.
    EXPECT_EQ(ReadBytes(trees.b + L"\\c.txt"), "old c");
    EXPECT_FALSE(FileExists(trees.b + L"\\x.txt"));
    EXPECT_FALSE(FileExists(trees.temp / L"b.履歴"));
    EXPECT_FALSE(FileExists(trees.temp / L"m.履歴"));
    // The folder in the way of a file is refused, and says so.
    EXPECT_TRUE(HasRow(run, L"エラー "));
    EXPECT_GT(run.settings[0].Errors, 0);
    // A restore is no backup run: the setting's last run stays.
    EXPECT_EQ(run.settings[0].LastExec, 0);
    EXPECT_EQ(run.settings[0].LastCleanExec, 0);
    EXPECT_EQ(run.settings[0].Name, L"設定");

    // Again: nothing left to do.
    run.settings[0].Errors = 0;
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_FALSE(HasRow(run, L"作成 "));
    EXPECT_FALSE(HasRow(run, L"更新 "));
}

TEST(RestoreTest, RestoresIntoAChosenFolderLeavingTheMaster) {
    Damaged trees;
    Batch run;
    run.settings = {trees.Setting()};
    run.settings[0].ErrorLeave = true;
    run.batch.restore = true;
    run.batch.restoreTarget = trees.temp / L"elsewhere";
    EXPECT_EQ(run.Run(false), 1);
    trees.ExpectMasterRestored(trees.temp / L"elsewhere");
    EXPECT_EQ(ReadBytes(trees.temp / L"elsewhere\\k"), "file k");
    EXPECT_FALSE(FileExists(trees.m + L"\\a.txt"));
    EXPECT_EQ(ReadBytes(trees.m + L"\\older.txt"), "master's old");
}

TEST(RestoreTest, TheRestoredSettingRunsBackwardsWithNothingThatRemoves) {
    FolderSetting s = Pair(L"C:\\m", L"D:\\b");
    s.DetectDriveByVolumeMaster = true;
    s.VolumeMaster = L"MASTER";
    s.CheckVolume = true;
    s.Volume = L"BACKUP";
    s.MakeDateDir = true;
    s.DeleteRecycleBin = true;
    s.RenameCapital = true;
    s.TargetDateType = 1;
    s.commandIds[0] = 3;
    const FolderSetting home = RestoreWork(s, L"");
    EXPECT_EQ(home.Master, L"D:\\b");
    EXPECT_EQ(home.Backup, L"C:\\m");
    EXPECT_TRUE(home.CheckVolumeMaster);
    EXPECT_EQ(home.VolumeMaster, L"BACKUP");
    EXPECT_TRUE(home.DetectDriveByVolumeBackup);
    EXPECT_EQ(home.Volume, L"MASTER");
    EXPECT_FALSE(home.Mirroring || home.MakeDateDir || home.DeleteRecycleBin || home.RenameCapital ||
                 home.Overwrite || home.OverwriteAlways);
    EXPECT_EQ(home.TargetDateType, 0);
    EXPECT_EQ(home.commandIds[0], -1);
    // From a run of the history: that folder is read, as it was found.
    const FolderSetting run = RestoreWork(s, L"", L"D:\\b.履歴\\2026-01-01 000000", true);
    EXPECT_EQ(run.Master, L"D:\\b.履歴\\2026-01-01 000000");
    EXPECT_EQ(run.Name, L"設定 (履歴から復元)");
    EXPECT_FALSE(run.DetectDriveByVolumeMaster || run.CheckVolumeMaster);
    EXPECT_TRUE(run.Overwrite);
    EXPECT_EQ(run.Backup, L"C:\\m");
    const FolderSetting away = RestoreWork(s, L"E:\\x");
    EXPECT_EQ(away.Backup, L"E:\\x");
    EXPECT_FALSE(away.DetectDriveByVolumeBackup);
    EXPECT_EQ(away.Volume, L"");
}

// Whatever a walk asks of it during a restore, the executor removes and
// renames nothing, and each refusal is an error row.
TEST(RestoreTest, TheExecutorOfARestoreRefusesEveryRemovalAndRename) {
    TempDir temp;
    MakeFolders(temp.Path(), {L"folder"});
    WriteBytes(temp / L"file.txt", "f");
    WriteBytes(temp / L"Name.txt", "n");
    test::RecordingHost host;
    AppState options;
    MirrorBatch batch;
    batch.host = &host;
    batch.options = &options;
    FolderSetting setting;
    setting.Errors = 0;
    setting.ErrorLeave = true;
    RunLog log(options, false);
    ErrorPolicy policy(batch, log);
    policy.SetSetting(&setting);
    FileOps ops(policy);
    ops.SetSetting(setting);
    Executor exec(ops, false);
    exec.KeepEverything(true);
    EXPECT_FALSE(exec.Carry(Operation::On(OperationKind::Delete, temp / L"file.txt")));
    EXPECT_FALSE(exec.Carry(Operation::RemoveFolder(temp / L"folder", false)));
    EXPECT_FALSE(exec.Carry(Operation::Rename(temp.Path() + L"\\", L"Name.txt", L"name.txt")));
    EXPECT_TRUE(FileExists(temp / L"file.txt"));
    EXPECT_TRUE(FileExists(temp / L"folder"));
    EXPECT_EQ(test::DiskName(temp / L"Name.txt"), L"Name.txt");
    EXPECT_EQ(setting.Errors, 3);
    EXPECT_TRUE(HasRowText(host, L"復元では削除も名前の変更もしません"));
    // Copies and new folders go on.
    EXPECT_TRUE(exec.Carry(Operation::Copy(temp / L"file.txt", temp / L"copy.txt", true, nullptr)));
    EXPECT_EQ(ReadBytes(temp / L"copy.txt"), "f");
}

// Every file below folder with its content, by relative path.
std::map<std::wstring, std::string> Tree(const std::wstring& folder, const std::wstring& relative = L"") {
    std::map<std::wstring, std::string> files;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\" + relative + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            files.merge(Tree(folder, relative + name + L"\\"));
        } else {
            files[relative + name] = ReadBytes(folder + L"\\" + relative + name);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return files;
}

// A backup run with a history took a.txt (overwritten: the master's is
// newer) and sub\b.txt, gone\c.txt (deleted in the master) into a run
// folder; then the master is restored from it.
struct WithHistory : test::Edited {
    std::wstring run;
    Batch backup;
    WithHistory() {
        backup.settings = {Setting()};
        backup.settings[0].Mirroring = true;
        EXPECT_EQ(backup.Run(false), 1);
        bool ok = false;
        const std::vector<HistoryRunContents> runs = ReadHistory(history + L"\\", ok);
        EXPECT_TRUE(ok);
        if (runs.size() == 1) run = history + L"\\" + runs[0].run.name;
    }
    int Restore(bool test, std::vector<std::wstring> files, bool overwrite = false, const std::wstring& target = {}) {
        backup.batch.restore = true;
        backup.batch.restoreSource = run;
        backup.batch.restoreFiles = std::move(files);
        backup.batch.restoreOverwrite = overwrite;
        backup.batch.restoreTarget = target;
        return backup.Run(test);
    }
};

TEST(RestoreTest, TheHistoryListsItsRunsFromTheManifests) {
    WithHistory trees;
    bool ok = false;
    const std::vector<HistoryRunContents> runs = ReadHistory(trees.history + L"\\", ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].bytes, 15u);
    std::map<std::wstring, bool> entries;
    for (const HistoryEntry& entry : runs[0].entries) entries[entry.path] = entry.overwritten;
    EXPECT_EQ(entries, (std::map<std::wstring, bool>{{L"a.txt", true}, {L"gone\\c.txt", false}, {L"sub\\b.txt", false}}));

    // A line cut short by a kill is no entry; a path listed twice counts once.
    const std::wstring manifest = trees.history + L"\\2020-01-01 000000.manifest";
    MakeFolders(trees.history, {L"2020-01-01 000000", L"2019-01-01 000000"});
    WriteBytes(manifest, Utf8(L"Tandrel\t設定\r\ndeleted\t4\t2019-12-31 10:00:00\tx.txt\r\n"
                              L"overwritten\t6\t2019-12-31 11:00:00\tX.TXT\r\ndeleted\t9\t2019-12"));
    const std::vector<HistoryRunContents> three = ReadHistory(trees.history + L"\\", ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[1].run.name, L"2020-01-01 000000");
    ASSERT_EQ(three[1].entries.size(), 1u);
    EXPECT_EQ(three[1].entries[0].path, L"X.TXT");
    EXPECT_TRUE(three[1].entries[0].overwritten);
    EXPECT_EQ(three[1].bytes, 6u);
    EXPECT_EQ(three[1].entries[0].time, L"2019-12-31 11:00:00");
    // A run folder whose manifest never came lists nothing.
    EXPECT_TRUE(three[2].entries.empty());
}

TEST(RestoreTest, ChosenFilesOfAHistoryRunComeBackAndNewerOnesOnlyWhenAllowed) {
    WithHistory trees;
    ASSERT_FALSE(trees.run.empty());
    const std::map<std::wstring, std::string> kept = Tree(trees.history);
    ASSERT_EQ(kept.size(), 4u);

    // Two of the three, named in another case: a test run shows them only.
    EXPECT_EQ(trees.Restore(true, {L"SUB\\b.txt", L"gone\\c.txt"}), 1);
    EXPECT_EQ(test::Sorted(trees.backup.Changes()),
              (test::Rows{L"フォルダ作成 gone", L"作成 gone\\c.txt", L"作成 sub\\b.txt"}));
    EXPECT_FALSE(FileExists(trees.m + L"\\gone"));
    EXPECT_EQ(trees.Restore(false, {L"SUB\\b.txt", L"gone\\c.txt"}), 1);
    EXPECT_EQ(ReadBytes(trees.m + L"\\sub\\b.txt"), "old b");
    EXPECT_EQ(ReadBytes(trees.m + L"\\gone\\c.txt"), "old c");
    EXPECT_EQ(ReadBytes(trees.m + L"\\a.txt"), "new a");
    EXPECT_EQ(trees.backup.batch.restoreNewer, 0);

    // The whole run: the newer a.txt in the master is left and counted.
    EXPECT_EQ(trees.Restore(false, {}), 1);
    EXPECT_EQ(trees.backup.batch.restoreNewer, 1);
    EXPECT_TRUE(HasRow(trees.backup, L"スキップ a.txt"));
    EXPECT_EQ(ReadBytes(trees.m + L"\\a.txt"), "new a");
    // Once the user says so, it is overwritten.
    EXPECT_EQ(trees.Restore(false, {L"a.txt"}, true), 1);
    EXPECT_EQ(ReadBytes(trees.m + L"\\a.txt"), "old a");

    // Into another folder: that file only, the master untouched.
    const std::wstring elsewhere = trees.temp / L"elsewhere";
    EXPECT_EQ(trees.Restore(false, {L"gone\\c.txt"}, false, elsewhere), 1);
    EXPECT_EQ(Tree(elsewhere), (std::map<std::wstring, std::string>{{L"gone\\c.txt", "old c"}}));

    // Nothing of the history was moved, changed or removed; the backup
    // kept what it had, and no new run of the history was made.
    EXPECT_EQ(Tree(trees.history), kept);
    EXPECT_EQ(Tree(trees.b), (std::map<std::wstring, std::string>{{L"a.txt", "new a"}}));
    EXPECT_EQ(trees.backup.settings[0].Errors, 0);
}

}  // namespace
}  // namespace tandrel
