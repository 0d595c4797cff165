#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <functional>
#include <thread>

#include "dialogs/DefinePages.h"
#include "dialogs/DefineSheet.h"
#include "framework/DataExchange.h"
#include "resource.h"
#include "FieldStamp.h"
#include "SheetDriver.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

using namespace test::sheet;
using SheetRun = FolderSheetRun;

void Type(HWND page, int id, const wchar_t* text) { SetDlgItemTextW(page, id, text); }

RECT RectIn(HWND control, HWND page) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST(DefineSheetTest, OkStoresEditsCommandsAndClearsRunStatus) {
    SheetRun run;
    run.setting.Reset(L"新しい設定");
    run.setting.TargetType = 2;
    run.setting.TargetDirectory = L"temp;a\\b";
    run.setting.LastExec = 1234;
    run.setting.Errors = 3;
    run.setting.status.created = 7;
    run.setting.runSelection = 1;
    CommandEntry other;
    other.name = L"other";
    run.commands.Store(other);
    test::MessageRecorder boxes;
    ASSERT_TRUE(run.Run([](HWND sheet) {
        HWND main = ShowPage(sheet, PageMain);
        Type(main, IDC_DM_NAME, L"写真");
        HWND command = ShowPage(sheet, PageCommand);
        Click(command, IDC_CM_BEFORE + CM_ENABLE);
        Type(command, IDC_CM_BEFORE + CM_PATH, L"before.cmd");
        PressOk(sheet);
    }, true));
    EXPECT_EQ(run.setting.Name, L"写真");
    // Untouched pages hand back what they got.
    EXPECT_EQ(run.setting.TargetType, 2);
    EXPECT_EQ(run.setting.TargetDirectory, L"temp;a\\b");
    EXPECT_EQ(run.setting.LastExec, 1234);
    EXPECT_EQ(run.setting.Errors, 3);
    EXPECT_EQ(run.setting.status.created, 0);
    EXPECT_EQ(run.setting.runSelection, 0);
    // New commands get the next ids; the before-command is the edited one.
    EXPECT_EQ(run.setting.commandIds[0], 1);
    EXPECT_EQ(run.setting.commandIds[1], 2);
    ASSERT_EQ(run.commands.Count(), 3);
    const CommandEntry* before = run.commands.Find(1);
    ASSERT_NE(before, nullptr);
    EXPECT_TRUE(before->enable);
    EXPECT_EQ(before->path, L"before.cmd");
    EXPECT_EQ(run.commands.Find(2)->type, 1);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, L"フォルダ設定の作成");
    EXPECT_NE(boxes.Boxes()[0].text.find(L"新しいフォルダ設定(写真)を作成しました。"), std::wstring::npos);

    // A second edit replaces the same entries; the target page packs 2 again.
    ASSERT_TRUE(run.Run([](HWND sheet) {
        HWND command = ShowPage(sheet, PageCommand);
        Type(command, IDC_CM_BEFORE + CM_PARAM, L"%m");
        ShowPage(sheet, PageTarget);
        PressOk(sheet);
    }));
    EXPECT_EQ(run.commands.Count(), 3);
    EXPECT_EQ(run.setting.commandIds[0], 1);
    EXPECT_EQ(run.commands.Find(1)->param, L"%m");
    EXPECT_EQ(run.setting.TargetType, 2);
    EXPECT_EQ(run.setting.TargetDirectory, L"a\\b;temp");

    // Cancel changes nothing.
    const FolderSetting before2 = run.setting;
    EXPECT_FALSE(run.Run([](HWND sheet) {
        Type(ShowPage(sheet, PageMain), IDC_DM_NAME, L"破棄");
        PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    }));
    EXPECT_EQ(run.setting.Name, before2.Name);
    EXPECT_EQ(run.commands.Count(), 3);
}

TEST(DefineSheetTest, NumberFieldsAreValidatedAndDateFolderFilled) {
    SheetRun run;
    run.setting.Reset(L"設定");
    test::MessageRecorder boxes;
    std::atomic<bool> stayed{false};
    std::wstring dateFolder;
    ASSERT_TRUE(run.Run([&](HWND sheet) {
        HWND mode = ShowPage(sheet, PageMode);
        Click(mode, IDC_MO_DATE_DIR);
        dateFolder = GetText(mode, IDC_MO_DATE_DIR_EDIT);
        Type(mode, IDC_MO_LEAVE_TIME, L"1000");
        PressOk(sheet);
        Type(mode, IDC_MO_LEAVE_TIME, L"abc");
        ShowPage(sheet, PageLog);
        stayed = PropSheet_GetCurrentPageHwnd(sheet) == mode;
        Type(mode, IDC_MO_LEAVE_TIME, L"0");
        PressOk(sheet);
        Type(mode, IDC_MO_LEAVE_TIME, L"5");
        HWND schedule = ShowPage(sheet, PageSchedule);
        Click(schedule, IDC_SC_HOURS);
        Type(schedule, IDC_SC_HOURS_EDIT, L"241");
        PressOk(sheet);
        Type(schedule, IDC_SC_HOURS_EDIT, L"48");
        PressOk(sheet);
    }));
    EXPECT_EQ(dateFolder, L"%Y%m%d");
    EXPECT_TRUE(stayed);
    ASSERT_EQ(boxes.Boxes().size(), 4u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"1 から 999 までの整数を入力してください。");
    EXPECT_EQ(boxes.Boxes()[1].text, L"整数を入力してください。");
    EXPECT_EQ(boxes.Boxes()[2].text, L"1 から 999 までの整数を入力してください。");
    EXPECT_EQ(boxes.Boxes()[3].text, L"1 から 240 までの整数を入力してください。");
    EXPECT_EQ(run.setting.LeaveTime, 5);
    EXPECT_TRUE(run.setting.MakeDateDir);
    EXPECT_EQ(run.setting.BackupDateDir, L"%Y%m%d");
    EXPECT_EQ(run.setting.ScheduleType, ScheduleAfterHours);
    EXPECT_EQ(run.setting.ScheduleTime, 48);
}

TEST(DefineSheetTest, MassDeletionGuardIsEditedWithTheMirrorAndCheckedOnSave) {
    SheetRun run;
    run.setting.Reset(L"設定");
    test::MessageRecorder boxes;
    bool percentEnabled = true, guardEnabledWithoutMirror = true;
    ASSERT_TRUE(run.Run([&](HWND sheet) {
        HWND mode = ShowPage(sheet, PageMode);
        Type(mode, IDC_MO_GUARD_PERCENT, L"101");
        PressOk(sheet);
        Type(mode, IDC_MO_GUARD_PERCENT, L"30");
        Type(mode, IDC_MO_GUARD_FILES, L"20");
        Click(mode, IDC_MO_MIRRORING);
        guardEnabledWithoutMirror = IsWindowEnabled(GetDlgItem(mode, IDC_MO_GUARD)) != FALSE;
        Click(mode, IDC_MO_MIRRORING);
        Click(mode, IDC_MO_GUARD);
        percentEnabled = IsWindowEnabled(GetDlgItem(mode, IDC_MO_GUARD_PERCENT)) != FALSE;
        Click(mode, IDC_MO_GUARD);
        PressOk(sheet);
    }));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"0 から 100 までの整数を入力してください。");
    EXPECT_FALSE(guardEnabledWithoutMirror);
    EXPECT_FALSE(percentEnabled);
    EXPECT_TRUE(run.setting.DeleteGuard);
    EXPECT_EQ(run.setting.DeleteGuardPercent, 30);
    EXPECT_EQ(run.setting.DeleteGuardFiles, 20);

    // Off, the numbers are kept as they were and not checked.
    ASSERT_TRUE(run.Run([](HWND sheet) {
        HWND mode = ShowPage(sheet, PageMode);
        Type(mode, IDC_MO_GUARD_FILES, L"x");
        Click(mode, IDC_MO_GUARD);
        PressOk(sheet);
    }));
    EXPECT_FALSE(run.setting.DeleteGuard);
    EXPECT_EQ(run.setting.DeleteGuardFiles, 20);
}

TEST(DefineSheetTest, RemovedFilesGoOneWayAndTheHistoryFolderIsChecked) {
    SheetRun run;
    run.setting.Reset(L"設定");
    run.setting.Master = L"C:\\data";
    run.setting.Backup = L"E:\\backup";
    run.setting.DeleteRecycleBin = true;
    test::MessageRecorder boxes;
    bool recycleShown = false, folderEnabled = true;
    ASSERT_TRUE(run.Run([&](HWND sheet) {
        HWND mode = ShowPage(sheet, PageMode);
        recycleShown = IsDlgButtonChecked(mode, IDC_MO_RECYCLE) == BST_CHECKED;
        folderEnabled = IsWindowEnabled(GetDlgItem(mode, IDC_MO_HISTORY_DIR)) != FALSE;
        Click(mode, IDC_MO_HISTORY);
        Type(mode, IDC_MO_HISTORY_DIR, L"C:\\data\\old");
        PressOk(sheet);
        Type(mode, IDC_MO_HISTORY_DIR, L"E:\\backup");
        PressOk(sheet);
        Type(mode, IDC_MO_HISTORY_DAYS, L"4000");
        Type(mode, IDC_MO_HISTORY_DIR, L"E:\\versions");
        PressOk(sheet);
        Type(mode, IDC_MO_HISTORY_DAYS, L"0");
        Type(mode, IDC_MO_HISTORY_RUNS, L"3");
        PressOk(sheet);
    }));
    EXPECT_TRUE(recycleShown);
    EXPECT_FALSE(folderEnabled);
    ASSERT_EQ(boxes.Boxes().size(), 3u);
    const std::wstring refused = L"履歴フォルダには、マスター側フォルダやその中、バックアップ側フォルダそのものは指定できません。";
    EXPECT_EQ(boxes.Boxes()[0].text, refused);
    EXPECT_EQ(boxes.Boxes()[1].text, refused);
    EXPECT_EQ(boxes.Boxes()[2].text, L"0 から 3650 までの整数を入力してください。");
    EXPECT_TRUE(run.setting.DeleteHistory);
    EXPECT_EQ(run.setting.HistoryDir, L"E:\\versions");
    EXPECT_EQ(run.setting.HistoryDays, 0);
    EXPECT_EQ(run.setting.HistoryMinRuns, 3);
    // Left as stored for versions that know no history.
    EXPECT_TRUE(run.setting.DeleteRecycleBin);

    ASSERT_TRUE(run.Run([](HWND sheet) {
        HWND mode = ShowPage(sheet, PageMode);
        Click(mode, IDC_MO_REMOVE_PLAIN);
        PressOk(sheet);
    }));
    EXPECT_FALSE(run.setting.DeleteHistory);
    EXPECT_FALSE(run.setting.DeleteRecycleBin);
}

TEST(DefineSheetTest, FolderPatternsAddTheirParentsWhenAsked) {
    std::vector<TargetFolderChoice> answers;
    SheetRun run;
    run.prompts = ScriptedFolderPrompt(answers);
    run.setting.Reset(L"設定");
    run.setting.TargetType = 0;
    // No: only the folder itself. Then Yes adds its parents; the same text
    // in other case asks nothing and adds nothing; the subfolder box adds
    // the wildcard entry.
    answers = {{L"a\\b\\c"}, {L"a\\b\\c"}, {L"A\\B\\C"}, {L"data", false, true}};
    test::MessageRecorder boxes({IDNO, IDYES});
    ASSERT_TRUE(run.Run([](HWND sheet) {
        HWND target = ShowPage(sheet, PageTarget);
        for (int i = 0; i < 4; ++i) Click(target, IDC_TG_FOLDER_ADD);
        PressOk(sheet);
    }));
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].caption, L"対象フォルダ指定");
    EXPECT_NE(boxes.Boxes()[0].text.find(L"上位階層フォルダ:\r\na\r\na\\b"), std::wstring::npos);
    EXPECT_EQ(run.setting.TargetDirectory, L"a;a\\b;a\\b\\c;data;data\\*");
}

TEST(DefineSheetTest, SavedSizeReopensLargerAndLaysPagesOut) {
    SheetRun run;
    run.setting.Reset(L"設定");
    RECT first{};
    ASSERT_TRUE(run.Run([&](HWND sheet) {
        GetWindowRect(sheet, &first);
        PressOk(sheet);
    }));
    const Rect& saved = run.options.FolderSettingDialog;
    EXPECT_EQ(saved.right - saved.left, first.right - first.left);

    run.options.FolderSettingDialog.right += 100;
    RECT browse[2]{}, edit[2]{}, lists[2][2]{};
    LONG width = 0;
    EXPECT_FALSE(run.Run([&](HWND sheet) {
        RECT r{};
        GetWindowRect(sheet, &r);
        width = r.right - r.left;
        HWND main = ShowPage(sheet, PageMain);
        browse[1] = RectIn(GetDlgItem(main, IDC_DM_MASTER_BROWSE), main);
        edit[1] = RectIn(GetDlgItem(main, IDC_DM_MASTER), main);
        HWND target = ShowPage(sheet, PageTarget);
        lists[1][0] = RectIn(GetDlgItem(target, IDC_TG_FOLDER_LIST), target);
        lists[1][1] = RectIn(GetDlgItem(target, IDC_TG_FILE_LIST), target);
        // Back to the size it opened in last time.
        SetWindowPos(sheet, nullptr, 0, 0, first.right - first.left, first.bottom - first.top,
                     SWP_NOMOVE | SWP_NOZORDER);
        lists[0][0] = RectIn(GetDlgItem(target, IDC_TG_FOLDER_LIST), target);
        lists[0][1] = RectIn(GetDlgItem(target, IDC_TG_FILE_LIST), target);
        main = ShowPage(sheet, PageMain);
        browse[0] = RectIn(GetDlgItem(main, IDC_DM_MASTER_BROWSE), main);
        edit[0] = RectIn(GetDlgItem(main, IDC_DM_MASTER), main);
        // Smaller than the first size is refused.
        SetWindowPos(sheet, nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER);
        GetWindowRect(sheet, &r);
        EXPECT_EQ(r.right - r.left, first.right - first.left);
        PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    }));
    EXPECT_EQ(width, first.right - first.left + 100);
    EXPECT_EQ(browse[1].left - browse[0].left, 100);
    EXPECT_EQ(edit[1].right - edit[0].right, 100);
    EXPECT_EQ(edit[1].left, edit[0].left);
    for (int side = 0; side < 2; ++side) {
        const LONG grown = (lists[1][side].right - lists[1][side].left) - (lists[0][side].right - lists[0][side].left);
        EXPECT_EQ(grown, 50) << side;
    }
}

// Every field a page binds comes back from its control on OK: a field bound
// to a control the page lacks, or two fields sharing one, would not.
TEST(DefineSheetTest, EveryBoundFieldComesBackThroughItsControl) {
    const std::span<const FieldBinding<FolderSetting>> tables[] = {MainPageFields(), ModePageFields(),
                                                                  TargetPageFields(), LogPageFields()};
    for (int round = 0; round < test::kStampRounds; ++round) {
        SheetRun run;
        for (const auto& table : tables) test::Stamp(run.setting, table, round);
        // The two commands' blocks stamped unlike each other.
        for (int slot = 0; slot < 2; ++slot) {
            CommandEntry command;
            test::Stamp(command, CommandPageFields(), (round + slot) % test::kStampRounds);
            command.type = slot;
            run.setting.commandIds[slot] = run.commands.Store(command);
        }
        ASSERT_TRUE(run.Run([](HWND sheet) {
            for (int page : {PageMain, PageMode, PageTarget, PageLog, PageSchedule, PageCommand}) ShowPage(sheet, page);
            PressOk(sheet);
        }));
        for (const auto& table : tables) test::ExpectStamped(run.setting, table, round);
        for (int slot = 0; slot < 2; ++slot) {
            const CommandEntry* command = run.commands.Find(run.setting.commandIds[slot]);
            ASSERT_NE(command, nullptr);
            test::ExpectStamped(*command, CommandPageFields(), (round + slot) % test::kStampRounds);
        }
    }
}

}  // namespace
}  // namespace tandrel
