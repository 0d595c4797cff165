#include <gtest/gtest.h>

#include <algorithm>

#include "engine/MirrorWorker.h"
#include "EngineRun.h"
#include "RecordingHost.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

using test::FileExists;
using test::ReadBytes;
using test::RecordingHost;
using test::TempDir;
using test::WriteBytes;
using test::Age;
using test::Batch;
using test::DiskName;
using test::Pair;
using test::Rows;
using test::Sorted;

bool Contains(const std::vector<std::wstring>& rows, const std::wstring& row) {
    return std::find(rows.begin(), rows.end(), row) != rows.end();
}

TEST(MirrorWorkerTest, TestRunReportsExactlyWhatTheUpdateRunThenDoes) {
    TempDir temp;
    const std::wstring m = temp / L"master", b = temp / L"backup";
    for (const wchar_t* dir : {L"master", L"master\\new", L"master\\keep", L"backup", L"backup\\keep", L"backup\\gone",
                               L"backup\\gone\\deep"}) {
        ASSERT_TRUE(CreateDirectoryW((temp / dir).c_str(), nullptr));
    }
    WriteBytes(m + L"\\added.txt", "a");
    WriteBytes(m + L"\\changed.txt", "new!");
    WriteBytes(m + L"\\same.txt", "s");
    WriteBytes(m + L"\\Case.txt", "c");
    WriteBytes(m + L"\\new\\inner.txt", "i");
    WriteBytes(m + L"\\keep\\k.txt", "k");
    WriteBytes(b + L"\\changed.txt", "old");
    WriteBytes(b + L"\\same.txt", "s");
    WriteBytes(b + L"\\case.txt", "c");
    WriteBytes(b + L"\\keep\\k.txt", "k");
    WriteBytes(b + L"\\orphan.txt", "o");
    WriteBytes(b + L"\\gone\\deep\\x.txt", "x");
    Age(b + L"\\changed.txt", 3600);
    for (const wchar_t* same : {L"\\same.txt", L"\\keep\\k.txt"}) {
        Age(m + same, 100);
        Age(b + same, 100);
    }
    Age(m + L"\\Case.txt", 50);
    Age(b + L"\\case.txt", 50);

    Batch run;
    run.settings = {Pair(m, b)};
    EXPECT_EQ(run.Run(true), 1);
    const Rows dry = run.Changes();
    EXPECT_EQ(ReadBytes(b + L"\\changed.txt"), "old");
    EXPECT_TRUE(FileExists(b + L"\\gone\\deep\\x.txt"));
    EXPECT_EQ(DiskName(b + L"\\case.txt"), L"case.txt");
    EXPECT_EQ(run.settings[0].LastExec, 0);
    // A test run never leads to hibernation or shutdown.
    EXPECT_FALSE(run.options.powerActionAtExit);
    const Rows expected = {L"作成 added.txt",        L"更新 changed.txt",      L"リネーム Case.txt",
                           L"フォルダ作成 new",       L"作成 new\\inner.txt",   L"削除 orphan.txt",
                           L"削除 gone\\deep\\x.txt", L"フォルダ削除 gone\\deep", L"フォルダ削除 gone"};
    EXPECT_EQ(Sorted(dry), Sorted(expected));

    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.Changes(), dry);
    EXPECT_EQ(ReadBytes(b + L"\\changed.txt"), "new!");
    EXPECT_EQ(ReadBytes(b + L"\\new\\inner.txt"), "i");
    EXPECT_EQ(DiskName(b + L"\\case.txt"), L"Case.txt");
    EXPECT_FALSE(FileExists(b + L"\\orphan.txt"));
    EXPECT_FALSE(FileExists(b + L"\\gone"));
    EXPECT_EQ(run.settings[0].Errors, 0);
    EXPECT_EQ(run.settings[0].status.created, 2);
    EXPECT_EQ(run.settings[0].status.deleted, 2);
    EXPECT_NE(run.settings[0].LastExec, 0);
    EXPECT_TRUE(run.batch.cleanCompletion);
    // "何もしない" chosen: a later exit must not power anything off.
    EXPECT_FALSE(run.options.powerActionAtExit);
    EXPECT_EQ(run.host.stores, 2);

    // Nothing left to do.
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.Changes(), Rows{});
    EXPECT_EQ(run.host.RowTexts().front().rfind(L"開始 --------------- 設定 ---------------", 0), 0u);
    EXPECT_EQ(run.host.RowTexts().back(), L"終了 " + std::wstring(34, L'-'));
}

TEST(MirrorWorkerTest, TimeToleranceOverwriteAndPassOptions) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    CreateDirectoryW(m.c_str(), nullptr);
    CreateDirectoryW(b.c_str(), nullptr);
    CreateDirectoryW((m + L"\\sub").c_str(), nullptr);
    WriteBytes(m + L"\\sub\\s.txt", "s");
    const struct {
        const wchar_t* name;
        int masterAge, backupAge;
    } files[] = {{L"two.txt", 100, 102}, {L"three.txt", 100, 103}, {L"newer.txt", 100, 50}};
    for (const auto& f : files) {
        WriteBytes(m + L"\\" + f.name, "same");
        WriteBytes(b + L"\\" + f.name, "same");
        Age(m + L"\\" + f.name, f.masterAge);
        Age(b + L"\\" + f.name, f.backupAge);
    }
    WriteBytes(b + L"\\only.txt", "o");

    Batch run;
    run.settings = {Pair(m, b)};
    FolderSetting& s = run.settings[0];
    s.Overwrite = false;
    s.Mirroring = false;
    s.SubDir = false;
    run.Run(true);
    EXPECT_EQ(Sorted(run.Changes()), Sorted({L"更新 three.txt", L"スキップ newer.txt"}));

    s.NtfsToFat = false;
    run.Run(true);
    EXPECT_EQ(Sorted(run.Changes()), Sorted({L"更新 two.txt", L"更新 three.txt", L"スキップ newer.txt"}));

    // Mirroring first, then the copy pass, into sub-folders too.
    s.NtfsToFat = true;
    s.Overwrite = true;
    s.Mirroring = true;
    s.SubDir = true;
    s.BackupType = 1;
    run.Run(true);
    const Rows rows = run.Changes();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], L"削除 only.txt");
    EXPECT_EQ(Sorted(rows), Sorted({L"削除 only.txt", L"更新 three.txt", L"更新 newer.txt", L"フォルダ作成 sub",
                                    L"作成 sub\\s.txt"}));
}

TEST(MirrorWorkerTest, FolderProblemsSkipOrEndTheBatch) {
    TempDir temp;
    const std::wstring m = temp / L"m";
    CreateDirectoryW(m.c_str(), nullptr);
    WriteBytes(m + L"\\f.txt", "f");

    Batch run;
    run.settings = {Pair(temp / L"none", temp / L"b1", L"A"), Pair(m, temp / L"b2\\deeper", L"B")};
    EXPECT_EQ(run.Run(false), 0);
    ASSERT_EQ(run.host.boxes.size(), 2u);
    EXPECT_EQ(run.host.boxes[0].text, L"マスター側のフォルダが存在しません。");
    EXPECT_EQ(run.host.boxes[0].caption, L"フォルダ存在チェックエラー");
    EXPECT_EQ(run.host.boxes[1].text, L"処理が中断されました。");
    EXPECT_FALSE(FileExists(temp / L"b2"));
    EXPECT_EQ(run.settings[1].Errors, -1);
    EXPECT_EQ(run.batch.worstLevel, 4);

    // Skipped quietly, and the next setting creates its backup folder.
    run.settings[0].SkipIfFolderNotExist = true;
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_TRUE(run.host.boxes.empty());
    EXPECT_EQ(run.settings[0].Errors, -3);
    EXPECT_EQ(ReadBytes(temp / L"b2\\deeper\\f.txt"), "f");
    const Rows rows = run.host.RowTexts();
    EXPECT_NE(std::find(rows.begin(), rows.end(), L"スキップ フォルダ存在チェックエラー: マスター側のフォルダが存在しません。"),
              rows.end());
    EXPECT_NE(std::find(rows.begin(), rows.end(), L"フォルダ作成 ..\\deeper"), rows.end());

    // The same folder in another spelling.
    run.settings = {Pair(m, temp / L"M")};
    EXPECT_EQ(run.Run(true), 0);
    EXPECT_EQ(run.host.boxes[0].caption, L"フォルダ設定エラー");
    EXPECT_EQ(run.host.boxes[0].text, L"マスターとバックアップのフォルダが同じです。");
}

TEST(MirrorWorkerTest, DateFolderAndBackupInsideMaster) {
    TempDir temp;
    const std::wstring m = temp / L"m";
    CreateDirectoryW(m.c_str(), nullptr);
    WriteBytes(m + L"\\f.txt", "f");
    Batch run;
    run.settings = {Pair(m, m + L"\\bak")};
    run.settings[0].MakeDateDir = true;
    run.settings[0].BackupDateDir = L"D%Y";
    EXPECT_EQ(run.Run(true), 1);
    EXPECT_FALSE(FileExists(m + L"\\bak"));
    EXPECT_EQ(run.Run(false), 1);
    const std::wstring dated = m + L"\\bak\\D" + std::to_wstring(1900 + [] {
        std::time_t now = std::time(nullptr);
        std::tm t{};
        localtime_s(&t, &now);
        return t.tm_year;
    }());
    EXPECT_EQ(ReadBytes(dated + L"\\f.txt"), "f");
    EXPECT_FALSE(FileExists(dated + L"\\bak"));
    EXPECT_EQ(run.settings[0].Backup, m + L"\\bak");
    // The second run of the day finds everything in place.
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.Changes(), Rows{});
}

TEST(MirrorWorkerTest, DeleteConfirmationAnswers) {
    TempDir temp;
    for (const wchar_t* dir : {L"m", L"b1", L"b2"}) CreateDirectoryW((temp / dir).c_str(), nullptr);
    for (const wchar_t* file : {L"b1\\1.txt", L"b1\\2.txt", L"b1\\3.txt", L"b2\\4.txt", L"b2\\5.txt"}) {
        WriteBytes(temp / file, "12345");
    }
    Batch run;
    run.settings = {Pair(temp / L"m", temp / L"b1"), Pair(temp / L"m", temp / L"b2")};
    for (FolderSetting& s : run.settings) s.DeleteConf = true;
    run.host.deleteAnswers = {DeleteChoice::Skip, DeleteChoice::DeleteAll, DeleteChoice::Abort};
    EXPECT_EQ(run.Run(false), 0);
    // Skip keeps one; "all" deletes the rest of that setting unasked; the
    // next setting asks again.
    ASSERT_EQ(run.host.confirmations.size(), 3u);
    EXPECT_EQ(run.host.confirmations[0].size, 5u);
    EXPECT_EQ(run.host.confirmations[0].timeText.size(), 19u);
    int left = 0;
    for (const wchar_t* file : {L"b1\\1.txt", L"b1\\2.txt", L"b1\\3.txt"}) left += FileExists(temp / file);
    EXPECT_EQ(left, 1);
    EXPECT_TRUE(FileExists(temp / L"b2\\4.txt"));
    EXPECT_TRUE(FileExists(temp / L"b2\\5.txt"));
    const Rows rows = run.host.RowTexts();
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[rows.size() - 2], L"中止 ");
    // The setting's summary follows the row that says it stopped.
    EXPECT_EQ(rows.back().rfind(L"集計 ", 0), 0u);
}

TEST(MirrorWorkerTest, ScheduleGateAppliesToAutomaticRunsOnly) {
    TempDir temp;
    CreateDirectoryW((temp / L"m").c_str(), nullptr);
    Batch run;
    run.settings = {Pair(temp / L"m", temp / L"b")};
    FolderSetting& s = run.settings[0];
    s.ScheduleType = ScheduleAfterHours;
    s.ScheduleTime = 24;
    s.LastExec = static_cast<std::int32_t>(std::time(nullptr) - (23 * 3600 + 59 * 60));
    run.batch.startedAutomatically = true;
    run.batch.autoOnly = true;
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_TRUE(run.host.rows.empty());
    EXPECT_FALSE(FileExists(temp / L"b"));
    run.batch.startedAutomatically = false;
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_TRUE(FileExists(temp / L"b"));
    EXPECT_EQ(run.host.settingStates.back(), 2);
}

TEST(MirrorWorkerTest, CommandsBeforeAndAfter) {
    TempDir temp;
    CreateDirectoryW((temp / L"m").c_str(), nullptr);
    WriteBytes(temp / L"m\\f.txt", "f");
    Batch run;
    CommandEntry before;
    before.path = test::HelperPath();
    before.param = L"exit=1";
    before.name = L"前";
    before.enable = true;
    before.onError = 1;
    before.id = 0;
    run.commands.Append(before);
    run.settings = {Pair(temp / L"m", temp / L"b", L"A"), Pair(temp / L"m", temp / L"c", L"B")};
    for (FolderSetting& s : run.settings) s.commandIds[0] = 0;

    // Its failure ignored: an error row, no box, the settings run.
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_TRUE(run.host.boxes.empty());
    const Rows rows = run.host.RowTexts();
    EXPECT_NE(std::find(rows.begin(), rows.end(), L"エラー コマンドエラー: 前 コマンドがエラーを返しました(戻り値 1)。"),
              rows.end());
    EXPECT_TRUE(FileExists(temp / L"c\\f.txt"));

    // Not ignored: the box, and the batch ends before any setting is processed.
    run.commands.At(0).onError = 0;
    test::RemoveTree(temp / L"b");
    test::RemoveTree(temp / L"c");
    EXPECT_EQ(run.Run(false), 0);
    ASSERT_GE(run.host.boxes.size(), 1u);
    EXPECT_EQ(run.host.boxes[0].caption, L"コマンドエラー");
    EXPECT_FALSE(FileExists(temp / L"b"));
    EXPECT_FALSE(FileExists(temp / L"c"));
}

}  // namespace
}  // namespace tandrel

namespace tandrel {
namespace {

using test::Batch;
using test::Pair;
using test::Rows;

TEST(MirrorWorkerTest, VolumeLabelsDecideWhereAndWhetherASettingRuns) {
    test::TestDrive e(L'E'), f(L'F');
    e.SetLabel(L"TANDREL_BK");
    f.SetLabel(L"OTHER");
    TempDir temp;
    CreateDirectoryW((temp / L"m").c_str(), nullptr);
    WriteBytes(temp / L"m\\f.txt", "f");
    test::RemoveTree(L"E:\\vol");
    test::RemoveTree(L"F:\\vol");

    Batch run;
    run.settings = {Pair(temp / L"m", L"F:\\vol", L"A"), Pair(temp / L"m", L"F:\\vol", L"B")};
    FolderSetting& a = run.settings[0];
    a.DetectDriveByVolumeBackup = true;
    a.Volume = L"tandrel_bk";
    FolderSetting& b = run.settings[1];
    b.CheckVolume = true;
    b.VolErrorSkip = true;
    b.Volume = L"WRONG";
    EXPECT_EQ(run.Run(false), 1);
    // Found on E:, while the stored setting keeps F:.
    EXPECT_EQ(ReadBytes(L"E:\\vol\\f.txt"), "f");
    EXPECT_EQ(a.Backup, L"F:\\vol");
    const Rows rows = run.host.RowTexts();
    EXPECT_NE(std::find(rows.begin(), rows.end(), L"ドライブ判別 バックアップ側: E:\\"), rows.end());
    // The mismatch informs and skips; the batch goes on.
    ASSERT_EQ(run.host.boxes.size(), 1u);
    EXPECT_EQ(run.host.boxes[0].caption, L"ボリュームラベルの不一致");
    EXPECT_EQ(run.host.boxes[0].text,
              L"フォルダ設定「B」のボリュームラベルが設定されている内容と一致しません。\r\n\r\n【バックアップ側】\r\n"
              L"設定されている内容: \"WRONG\"\r\n実際のボリュームラベル: \"OTHER\"");
    EXPECT_EQ(b.Errors, -3);
    EXPECT_FALSE(FileExists(L"F:\\vol"));
    test::RemoveTree(L"E:\\vol");
}

TEST(MirrorWorkerTest, UpdateRunLogsWhatItDidTestRunLogsNothing) {
    TempDir temp;
    CreateDirectoryW((temp / L"m").c_str(), nullptr);
    WriteBytes(temp / L"m\\ファイル.txt", "f");
    Batch run;
    run.options.OutputLog = true;
    run.options.LogFileName = temp / L"run.log";
    run.settings = {Pair(temp / L"m", temp / L"b")};
    run.Run(true);
    EXPECT_FALSE(FileExists(temp / L"run.log"));
    run.Run(false);
    const std::string log = ReadBytes(temp / L"run.log");
    EXPECT_NE(log.find(test::Utf8(L"設定名称　　　：設定\r\n")), std::string::npos);
    EXPECT_NE(log.find(test::Utf8(L"フォルダ作成 \".\"\r\n作成 \"ファイル.txt\"\r\n")), std::string::npos) << log;
}

}  // namespace
}  // namespace tandrel

namespace tandrel {
namespace {

// Today's folder of the pattern "D%Y" below base. A test takes it before
// and after the run: a run across New Year uses one of the two.
std::wstring YearFolder(const std::wstring& base) {
    std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_s(&t, &now);
    return base + L"\\D" + std::to_wstring(1900 + t.tm_year);
}

// A small tree for the end-of-run cases.
struct SmallTree {
    TempDir temp;
    std::wstring m = temp / L"m", b = temp / L"b";
    SmallTree() {
        CreateDirectoryW(m.c_str(), nullptr);
        WriteBytes(m + L"\\f.txt", "f");
    }
};

TEST(BatchEndTest, TheRunIsOverBeforeAnyClosingActionAndOnlyThatClosePowersOff) {
    SmallTree tree;
    Batch run;
    run.settings = {Pair(tree.m, tree.b)};
    run.batch.startedAutomatically = true;
    run.batch.autoOnly = true;

    // /shutdown: results stored, running cleared, then the close that may power off.
    run.options.runMode = RunModeShutdown;
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.host.closes, 1);
    EXPECT_FALSE(run.host.runningAtClose);
    EXPECT_EQ(run.host.stores, 1);
    EXPECT_TRUE(run.options.powerActionAtExit);
    EXPECT_EQ(run.options.exitCode, ExitAllFine);

    // "何もしない", then shutdown chosen for next time: the next exit is a plain one.
    run.options.runMode = RunModeNothing;
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.host.closes, 1);
    EXPECT_FALSE(run.options.powerActionAtExit);
    EXPECT_EQ(run.host.automaticEnds, 1);
    // Once the choice is given back the window may close: a close then is
    // kept until the worker has left, never dropped.
    EXPECT_TRUE(run.host.closeOnAtAutomaticEnd);

    // The completion box is open while the window is no longer in a run.
    run.options.runMode = RunModeMessage;
    EXPECT_EQ(run.Run(false), 1);
    ASSERT_EQ(run.host.boxes.size(), 1u);
    EXPECT_EQ(run.host.boxes[0].caption, L"バックアップ完了");
    EXPECT_FALSE(run.host.boxes[0].running);
    EXPECT_FALSE(run.options.powerActionAtExit);

    // A test run triggers nothing.
    run.options.runMode = RunModeShutdown;
    EXPECT_EQ(run.Run(true), 1);
    EXPECT_EQ(run.host.closes, 1);
    EXPECT_FALSE(run.options.powerActionAtExit);

    // An unattended run that failed still closes, without powering off.
    run.options.AutoExitWhenError = true;
    run.settings[0].Master = tree.temp / L"gone";
    EXPECT_EQ(run.Run(false), 0);
    EXPECT_EQ(run.host.closes, 2);
    EXPECT_FALSE(run.host.runningAtClose);
    EXPECT_TRUE(run.host.boxes.empty());
    EXPECT_FALSE(run.options.powerActionAtExit);
    EXPECT_EQ(run.options.exitCode, ExitAborted);
}

TEST(BatchEndTest, AfterCompletionCommand) {
    SmallTree tree;
    Batch run;
    run.settings = {Pair(tree.m, tree.b)};
    run.batch.startedAutomatically = true;

    // Chosen but gone: the box says so and the automatic state ends.
    run.options.runMode = RunModeCommand;
    run.options.commandIndex = 0;
    EXPECT_EQ(run.Run(false), 1);
    ASSERT_EQ(run.host.boxes.size(), 1u);
    EXPECT_EQ(run.host.boxes[0].text, L"更新完了後実行ツールが設定されていません。\r\n外部ツール設定でツールを設定して下さい。");
    EXPECT_EQ(run.host.boxes[0].caption, L"外部ツールの起動");
    EXPECT_EQ(run.host.automaticEnds, 1);
    EXPECT_EQ(run.options.exitCode, ExitErrors);

    // A follow-up shutdown whose command cannot start: the program still
    // closes when it is to end on errors too, but never powers off; else
    // the automatic state ends.
    CommandEntry command;
    command.path = tree.temp / L"missing.exe";
    command.id = 0;
    command.action = RunModeShutdown;
    run.options.commands.Append(command);
    run.options.afterAction = RunModeShutdown;
    run.options.AutoExitWhenError = true;
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.host.closes, 1);
    EXPECT_FALSE(run.options.powerActionAtExit);
    EXPECT_EQ(run.options.exitCode, ExitErrors);

    run.options.AutoExitWhenError = false;
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.host.closes, 1);
    EXPECT_FALSE(run.batch.cleanCompletion);
    EXPECT_EQ(run.host.automaticEnds, 2);

    // It runs, is waited for, and then the program closes; its %b%B is
    // today's date folder below the stored backup folder.
    run.settings[0].MakeDateDir = true;
    run.settings[0].BackupDateDir = L"D%Y";
    const std::wstring marker = tree.temp / L"after.txt";
    run.options.commands.At(0).path = test::HelperPath();
    run.options.commands.At(0).param = L"marker=" + marker + L" d=%b%B";
    const std::wstring yearBefore = YearFolder(tree.b);
    EXPECT_EQ(run.Run(false), 1);
    const std::wstring yearAfter = YearFolder(tree.b);
    EXPECT_EQ(run.host.closes, 2);
    EXPECT_TRUE(run.options.powerActionAtExit);
    const auto markerText = [&](const std::wstring& year) { return test::Utf8(L"marker=" + marker + L"\r\nd=" + year + L"\r\n"); };
    const std::string seen = ReadBytes(marker);
    EXPECT_TRUE(seen == markerText(yearBefore) || seen == markerText(yearAfter)) << seen;
}

// The batch's last status text.
std::wstring LastStatus(const RecordingHost& host) {
    return host.statuses.empty() ? L"" : host.statuses.back();
}

TEST(BatchEndTest, AFailedAfterCompletionCommandHasNoFollowUpAndSaysWhichAndHow) {
    SmallTree tree;
    Batch run;
    run.settings = {Pair(tree.m, tree.b)};
    run.batch.startedAutomatically = true;
    const std::wstring log = tree.temp / L"run.log";
    run.options.OutputLog = true;
    run.options.LogFileName = log;
    CommandEntry command;
    command.name = L"検証";
    command.path = test::HelperPath();
    command.param = L"exit=1";
    command.action = RunModeExit;
    run.options.commands.Append(command);
    run.options.runMode = RunModeCommand;
    run.options.commandIndex = 0;
    run.options.afterAction = RunModeExit;
    const std::wstring failure = L"更新終了後のコマンドが失敗しました: 検証 コマンドがエラーを返しました(戻り値 1)。";

    // Attended: the program stays, and the status line, a row and the log say so.
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.host.closes, 0);
    EXPECT_FALSE(run.options.powerActionAtExit);
    EXPECT_FALSE(run.batch.cleanCompletion);
    EXPECT_EQ(run.options.exitCode, ExitErrors);
    EXPECT_EQ(run.batch.end, BatchEnd::Errors);
    EXPECT_EQ(LastStatus(run.host), failure + L"|");
    EXPECT_EQ(EndStatusText(run.batch), failure);
    EXPECT_TRUE(Contains(run.host.RowTexts(), L"エラー " + failure));
    EXPECT_NE(ReadBytes(log).find(test::Utf8(failure)), std::string::npos) << ReadBytes(log);
    EXPECT_EQ(run.host.automaticEnds, 1);

    // Unattended, to end on errors too: it ends, without the machine's power action.
    run.options.AutoExitWhenError = true;
    run.options.exitCode = 0;
    run.options.afterAction = RunModeShutdown;
    run.options.commands.At(0).action = RunModeShutdown;
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.host.closes, 1);
    EXPECT_FALSE(run.options.powerActionAtExit);
    EXPECT_EQ(run.options.exitCode, ExitErrors);

    // A command without follow-up that cannot start: not waited for, still told.
    run.options.AutoExitWhenError = false;
    run.options.afterAction = 0;
    run.options.commands.At(0).action = 0;
    run.options.commands.At(0).path = tree.temp / L"missing.exe";
    run.options.exitCode = 0;
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.options.exitCode, ExitErrors);
    EXPECT_EQ(LastStatus(run.host).rfind(L"更新終了後のコマンドが失敗しました: 検証 コマンドを実行できませんでした(", 0), 0u)
        << test::Utf8(LastStatus(run.host));
    EXPECT_EQ(run.batch.end, BatchEnd::Errors);

    // The same command ending with 0: the follow-up, and the run stays clean.
    run.options.commands.At(0).path = test::HelperPath();
    run.options.commands.At(0).param = L"exit=0";
    run.options.commands.At(0).action = RunModeShutdown;
    run.options.afterAction = RunModeShutdown;
    run.options.exitCode = 0;
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.host.closes, 2);
    EXPECT_TRUE(run.options.powerActionAtExit);
    EXPECT_EQ(run.options.exitCode, ExitAllFine);
    EXPECT_EQ(run.batch.end, BatchEnd::Clean);
    EXPECT_EQ(EndStatusText(run.batch), L"終了しました");
}

TEST(BatchEndTest, TheAfterCompletionChoiceIsTheOneHandedOverWhole) {
    SmallTree tree;
    Batch run;
    run.settings = {Pair(tree.m, tree.b)};
    run.handOverChoice = false;
    // The window's fields halfway through a change: the worker goes by the
    // value handed over, here "何もしない".
    run.options.runMode = RunModeShutdown;
    run.batch.afterChoice = AfterChoice{RunModeNothing, 0, -1}.Pack();
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.host.closes, 0);
    EXPECT_FALSE(run.options.powerActionAtExit);

    // Changed during the run: the end takes the new choice.
    run.options.runMode = RunModeNothing;
    run.host.onRow = [&run](const ReportRow& row) {
        if (row.action == RowAction::Start) run.batch.afterChoice = AfterChoice{RunModeShutdown, 0, -1}.Pack();
    };
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.host.closes, 1);
    EXPECT_TRUE(run.options.powerActionAtExit);
}

// A host whose first call of the batch fails as memory running out would.
class BrokenHost : public RecordingHost {
public:
    void ClearReport() override { throw std::bad_alloc(); }
};

TEST(BatchEndTest, AFailureOutsideEverySettingEndsTheBatchAsStopped) {
    SmallTree tree;
    BrokenHost host;
    AppState options;
    std::vector<FolderSetting> settings{Pair(tree.m, tree.b)};
    MirrorBatch batch;
    batch.settings = &settings;
    batch.options = &options;
    batch.host = &host;
    batch.startedAutomatically = true;
    batch.running = true;
    ASSERT_TRUE(StartBatch(batch));
    ASSERT_TRUE(test::WaitUntil([&] { return !batch.workerActive; }));
    JoinBatch(batch);
    EXPECT_EQ(batch.end, BatchEnd::Aborted);
    EXPECT_EQ(EndStatusText(batch), L"中止しました");
    EXPECT_EQ(LastStatus(host), L"中止しました|");
    EXPECT_EQ(options.exitCode, ExitAborted);
    EXPECT_FALSE(batch.progress.Read().secondsLeft);
    EXPECT_FALSE(FileExists(tree.b));
}

TEST(BatchEndTest, ExitCodeTellsTheWorstOutcome) {
    SmallTree tree;
    Batch run;
    run.batch.startedAutomatically = true;
    run.settings = {Pair(tree.m, tree.b, L"A")};
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.options.exitCode, ExitAllFine);

    // A skipped setting beside a fine one.
    run.settings.push_back(Pair(tree.temp / L"none", tree.temp / L"b2", L"B"));
    run.settings[1].SkipIfFolderNotExist = true;
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.settings[1].Errors, ErrorsSkipped);
    EXPECT_EQ(run.options.exitCode, ExitSkipped);

    // A file that cannot be written: an error, ignored and counted.
    const std::wstring master2 = tree.temp / L"m2";
    CreateDirectoryW(master2.c_str(), nullptr);
    WriteBytes(master2 + L"\\held.txt", "new");
    CreateDirectoryW((tree.temp / L"b3").c_str(), nullptr);
    WriteBytes(tree.temp / L"b3\\held.txt", "old");
    Age(tree.temp / L"b3\\held.txt", 3600);
    {
        test::HeldFile held(tree.temp / L"b3\\held.txt");
        run.settings.push_back(Pair(master2, tree.temp / L"b3", L"C"));
        run.settings[2].ErrorLeave = true;
        EXPECT_EQ(run.Run(false), 1);
    }
    EXPECT_GT(run.settings[2].Errors, 0);
    EXPECT_EQ(run.options.exitCode, ExitErrors);

    // Cancelled.
    run.host.onRow = [&run](const ReportRow& row) {
        if (row.action == RowAction::Start) run.batch.cancelRequested = true;
    };
    EXPECT_EQ(run.Run(false), 0);
    EXPECT_EQ(run.options.exitCode, ExitAborted);

    // A run from the window leaves the program's exit code alone.
    run.host.onRow = nullptr;
    run.options.exitCode = 0;
    run.batch.startedAutomatically = false;
    run.settings.resize(2);
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.options.exitCode, 0);
}

TEST(BatchEndTest, DeletionThatNobodyMayConfirmIsSkippedAsAnError) {
    SmallTree tree;
    CreateDirectoryW(tree.b.c_str(), nullptr);
    WriteBytes(tree.b + L"\\orphan.txt", "o");
    Batch run;
    run.settings = {Pair(tree.m, tree.b)};
    run.settings[0].DeleteConf = true;
    run.batch.startedAutomatically = true;
    run.options.AutoExitWhenError = true;
    run.options.runMode = RunModeShutdown;
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_TRUE(run.host.confirmations.empty());
    EXPECT_TRUE(run.host.boxes.empty());
    EXPECT_TRUE(FileExists(tree.b + L"\\orphan.txt"));
    EXPECT_EQ(run.settings[0].Errors, 1);
    EXPECT_TRUE(Contains(run.host.RowTexts(),
                         L"エラー ファイル削除確認: 削除の確認ができないため、ファイルを削除しませんでした。"));
    EXPECT_EQ(run.options.exitCode, ExitErrors);
    // Errors do not stop the batch: the scheduled shutdown follows.
    EXPECT_EQ(run.host.closes, 1);
    EXPECT_TRUE(run.options.powerActionAtExit);

    // Attended, after the user chose to see no more messages (Ctrl on the first box).
    const std::wstring master2 = tree.temp / L"m2";
    CreateDirectoryW(master2.c_str(), nullptr);
    WriteBytes(master2 + L"\\held.txt", "new");
    WriteBytes(tree.b + L"\\held.txt", "old");
    Age(tree.b + L"\\held.txt", 3600);
    run.settings[0].Master = master2;
    run.batch.startedAutomatically = false;
    run.host.ctrl = true;
    run.host.answers = {IDIGNORE, IDYES};
    test::HeldFile held(tree.b + L"\\held.txt");
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.host.boxes.size(), 2u);
    EXPECT_TRUE(run.host.confirmations.empty());
    EXPECT_TRUE(FileExists(tree.b + L"\\orphan.txt"));
    EXPECT_TRUE(FileExists(tree.b + L"\\f.txt"));
    // The copy that failed, and the two deletions nobody confirmed.
    EXPECT_EQ(run.settings[0].Errors, 3);
}

TEST(BatchEndTest, CancelDuringAnAfterCommandStartsNoFurtherSetting) {
    SmallTree tree;
    Batch run;
    CommandEntry after;
    after.path = test::HelperPath();
    after.enable = true;
    after.id = 0;
    run.commands.Append(after);
    run.settings = {Pair(tree.m, tree.b, L"A"), Pair(tree.m, tree.temp / L"c", L"B")};
    run.settings[0].commandIds[1] = 0;
    run.host.onRow = [&run](const ReportRow& row) {
        if (row.action == RowAction::Command) run.batch.cancelRequested = true;
    };
    EXPECT_EQ(run.Run(false), 0);
    EXPECT_TRUE(FileExists(tree.b + L"\\f.txt"));
    EXPECT_FALSE(FileExists(tree.temp / L"c"));
    for (const std::wstring& row : run.host.RowTexts()) EXPECT_EQ(row.find(L"--- B ---"), std::wstring::npos);
    EXPECT_EQ(run.settings[1].Errors, ErrorsNeverRun);
}

TEST(BatchEndTest, DateFolderSkipLooksAtTheBaseFolderAndCommandsSeeTheStoredPath) {
    SmallTree tree;
    Batch run;
    run.settings = {Pair(tree.m, tree.b)};
    FolderSetting& s = run.settings[0];
    s.MakeDateDir = true;
    s.BackupDateDir = L"D%Y";
    s.SkipIfFolderNotExist = true;

    // No base folder: skipped.
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(s.Errors, ErrorsSkipped);
    EXPECT_FALSE(FileExists(tree.b));

    // The base exists, today's folder not yet: the run makes it. The
    // after-command sees the base as %b, today's folder as %b%B, and %r
    // tells that the setting ended with errors.
    CreateDirectoryW(tree.b.c_str(), nullptr);
    const std::wstring marker = tree.temp / L"after.txt";
    CommandEntry after;
    after.path = test::HelperPath();
    after.param = L"marker=" + marker + L" b=%b d=%b%B r=%r";
    after.enable = true;
    after.onError = 1;
    after.id = 0;
    run.commands.Append(after);
    s.commandIds[1] = 0;
    WriteBytes(tree.m + L"\\bad.txt", "x");
    s.ErrorLeave = true;
    test::HeldFile held(tree.m + L"\\bad.txt");
    const std::wstring yearBefore = YearFolder(tree.b);
    EXPECT_EQ(run.Run(false), 1);
    const std::wstring today = test::FileExists(yearBefore) ? yearBefore : YearFolder(tree.b);
    EXPECT_EQ(ReadBytes(today + L"\\f.txt"), "f");
    EXPECT_EQ(s.Errors, 1);
    EXPECT_EQ(ReadBytes(marker), test::Utf8(L"marker=" + marker + L"\r\nb=" + tree.b + L"\r\nd=" + today + L"\r\nr=1\r\n"));
}

TEST(BatchEndTest, AnExceptionEndsTheBatchAndStoresItsResults) {
    SmallTree tree;
    Batch run;
    run.settings = {Pair(tree.m, tree.b, L"A"), Pair(tree.m, tree.temp / L"c", L"B")};
    run.batch.startedAutomatically = true;
    run.host.onRow = [](const ReportRow& row) {
        if (row.action == RowAction::Create) throw std::bad_alloc();
    };
    EXPECT_EQ(run.Run(false), 0);
    EXPECT_EQ(run.host.stores, 1);
    EXPECT_EQ(run.settings[0].Errors, 1);
    EXPECT_EQ(run.settings[0].status.failed, 1);
    EXPECT_EQ(run.settings[0].LastExec, 0);
    EXPECT_EQ(run.settings[1].Errors, ErrorsNeverRun);
    EXPECT_EQ(run.batch.worstLevel, LevelFatal);
    EXPECT_EQ(run.options.exitCode, ExitAborted);
    EXPECT_EQ(run.host.closeEnabled.back(), true);
}

}  // namespace
}  // namespace tandrel
