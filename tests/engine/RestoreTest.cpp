// A restore from the backup copies back what the master lacks or has older,
// and no option of the setting makes it delete, rename or overwrite a newer
// file.
#include <gtest/gtest.h>

#include "StagedFaults.h"
#include "engine/Executor.h"
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

}  // namespace
}  // namespace tandrel
