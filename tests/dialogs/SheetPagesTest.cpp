#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "dialogs/DefinePages.h"
#include "dialogs/DefineSheet.h"
#include "dialogs/DialogSupport.h"
#include "framework/DataExchange.h"
#include "platform/Strings.h"
#include "resource.h"
#include "DropSupport.h"
#include "SheetDriver.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

using namespace test::sheet;

bool Enabled(HWND page, int id) { return IsWindowEnabled(GetDlgItem(page, id)) != FALSE; }

// Types the text one character at a time, as the keyboard does: the edit
// tells the page of every change.
void TypeKeys(HWND page, int id, const std::wstring& text) {
    std::wstring now;
    for (wchar_t c : text) {
        now += c;
        SetDlgItemTextW(page, id, now.c_str());
    }
}

std::wstring WaitForText(HWND page, int id, const std::wstring& wanted) {
    std::wstring text;
    test::WaitUntil([&] { return (text = GetText(page, id)) == wanted; });
    return text;
}

// Counts the label answers that the window thread takes from its queue.
std::atomic<int> labelAnswers{0};
LRESULT CALLBACK CountLabelAnswers(int code, WPARAM wParam, LPARAM lParam) {
    const MSG& msg = *reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg.message == WM_TANDREL_LABEL_READ) ++labelAnswers;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(SheetPagesTest, VolumeLabelsFollowTheBoxesAndAreReadWhenTypingPauses) {
    test::TestDrive e(L'E');
    e.SetLabel(L"TANDRELVOL");
    FolderSheetRun run;
    run.setting.Backup = e.Root() + L"backup";
    run.setting.CheckVolume = true;
    struct State {
        bool label, get, skip;
    } atOpen{}, masterOn{}, backupOff{};
    std::wstring backupLabel, labelWhileTyping, labelAfterPause, uncLabel;
    bool answered = false;
    labelAnswers = 0;
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, CountLabelAnswers, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(run.Run([&](HWND sheet) {
        HWND main = ShowPage(sheet, PageMain);
        // The backup side is checked: its empty label is filled at opening.
        backupLabel = WaitForText(main, IDC_DM_LABEL_BACKUP, L"TANDRELVOL");
        atOpen = {Enabled(main, IDC_DM_LABEL_MASTER), Enabled(main, IDC_DM_GET_MASTER), Enabled(main, IDC_DM_VOL_SKIP)};
        Click(main, IDC_DM_CHECK_BACKUP);
        backupOff = {Enabled(main, IDC_DM_LABEL_BACKUP), Enabled(main, IDC_DM_GET_BACKUP), Enabled(main, IDC_DM_VOL_SKIP)};
        Click(main, IDC_DM_DETECT_MASTER);
        masterOn = {Enabled(main, IDC_DM_LABEL_MASTER), Enabled(main, IDC_DM_GET_MASTER), Enabled(main, IDC_DM_VOL_SKIP)};

        // A share that cannot answer: its label is read off the window
        // thread once typing pauses, and the answer comes back as a message.
        // The reads begun so far (the backup's at opening, the master's at
        // the click) have answered first.
        test::WaitUntil([&] { return labelAnswers >= 2; });
        const int answersBefore = labelAnswers;
        TypeKeys(main, IDC_DM_MASTER, L"\\\\192.0.2.1\\share\\data");
        answered = test::WaitUntil([&] { return labelAnswers > answersBefore; });
        uncLabel = GetText(main, IDC_DM_LABEL_MASTER);

        TypeKeys(main, IDC_DM_MASTER, e.Root() + L"data");
        labelWhileTyping = GetText(main, IDC_DM_LABEL_MASTER);
        labelAfterPause = WaitForText(main, IDC_DM_LABEL_MASTER, L"TANDRELVOL");

        // OK right after typing still stores the label the page would show.
        SetDlgItemTextW(main, IDC_DM_LABEL_MASTER, L"");
        TypeKeys(main, IDC_DM_MASTER, e.Root() + L"other");
        PressOk(sheet);
    }));
    EXPECT_EQ(backupLabel, L"TANDRELVOL");
    EXPECT_FALSE(atOpen.label);
    EXPECT_FALSE(atOpen.get);
    EXPECT_TRUE(atOpen.skip);
    // No box of either side: the label block and the skip box are off.
    EXPECT_FALSE(backupOff.label);
    EXPECT_FALSE(backupOff.get);
    EXPECT_FALSE(backupOff.skip);
    EXPECT_TRUE(masterOn.label);
    EXPECT_TRUE(masterOn.get);
    EXPECT_TRUE(masterOn.skip);
    UnhookWindowsHookEx(hook);
    EXPECT_TRUE(answered);
    EXPECT_EQ(uncLabel, L"");
    EXPECT_EQ(labelWhileTyping, L"");
    EXPECT_EQ(labelAfterPause, L"TANDRELVOL");
    EXPECT_EQ(run.setting.Master, e.Root() + L"other");
    EXPECT_EQ(run.setting.VolumeMaster, L"TANDRELVOL");
    EXPECT_TRUE(run.setting.DetectDriveByVolumeMaster);
    EXPECT_FALSE(run.setting.CheckVolume);
    e.SetLabel(L"");
}

TEST(SheetPagesTest, LogPageEnablesItsBlockAndDeletesLogsNamingFailures) {
    test::TempDir dir;
    FolderSheetRun run;
    run.options.projects.ClearAll();
    run.options.projects.Add(L"写真");
    run.options.ActiveProject = 0;
    run.setting.OutputLog = false;
    run.setting.LogFileName = dir / L"log_%P_%Y%m%d.txt";
    for (const wchar_t* name : {L"log_写真_20240101.txt", L"log_写真_20240102.txt", L"log_写真_20240103.txt",
                                L"log_写真_2024.txt", L"log_他_20240101.txt"}) {
        ASSERT_TRUE(test::WriteBytes(dir / name, "x"));
    }
    LockedFile held(dir / L"log_写真_20240102.txt");
    test::MessageRecorder boxes({IDOK});
    bool offBlock = true, onBlock = false, skipWithErrorsOnly = true, deleteOn = false, deleteAfter = false;
    bool deleteForMissing = true, deleteWithVariable = false;
    // A log folder named by an environment variable (as %USERPROFILE% or %TEMP%).
    SetEnvironmentVariableW(L"USERTANDRELLOGS", dir.Path().c_str());
    ASSERT_TRUE(run.Run([&](HWND sheet) {
        HWND log = ShowPage(sheet, PageLog);
        offBlock = Enabled(log, IDC_LG_FILE) || Enabled(log, IDC_LG_BROWSE) || Enabled(log, IDC_LG_DELETE_NOW) ||
                   Enabled(log, IDC_LG_SKIP_LOG);
        Click(log, IDC_LG_OUTPUT);
        onBlock = Enabled(log, IDC_LG_FILE) && Enabled(log, IDC_LG_IMMEDIATE) && Enabled(log, IDC_LG_SKIP_LOG);
        deleteOn = Enabled(log, IDC_LG_DELETE_NOW);
        Click(log, IDC_LG_ERROR_ONLY);
        skipWithErrorsOnly = Enabled(log, IDC_LG_SKIP_LOG);
        Click(log, IDC_LG_DELETE_NOW);
        // The held log is still there.
        deleteAfter = Enabled(log, IDC_LG_DELETE_NOW);
        SetDlgItemTextW(log, IDC_LG_FILE, (dir / L"none_%Y.txt").c_str());
        SendMessageW(log, WM_COMMAND, MAKEWPARAM(IDC_LG_FILE, EN_KILLFOCUS), 0);
        deleteForMissing = Enabled(log, IDC_LG_DELETE_NOW);
        SetDlgItemTextW(log, IDC_LG_FILE, L"%USERTANDRELLOGS%\\log_%P_%Y%m%d.txt");
        SendMessageW(log, WM_COMMAND, MAKEWPARAM(IDC_LG_FILE, EN_KILLFOCUS), 0);
        deleteWithVariable = Enabled(log, IDC_LG_DELETE_NOW);
        PressOk(sheet);
    }));
    EXPECT_FALSE(offBlock);
    EXPECT_TRUE(onBlock);
    EXPECT_TRUE(deleteOn);
    EXPECT_FALSE(skipWithErrorsOnly);
    EXPECT_TRUE(deleteAfter);
    EXPECT_FALSE(deleteForMissing);
    EXPECT_TRUE(deleteWithVariable);
    SetEnvironmentVariableW(L"USERTANDRELLOGS", nullptr);
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].caption, L"ログファイルの削除");
    EXPECT_EQ(boxes.Boxes()[0].text, L"3 個のログファイルを削除します。よろしいですか？");
    EXPECT_EQ(boxes.Boxes()[1].flags & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));
    EXPECT_EQ(boxes.Boxes()[1].text, L"ログファイルの削除に失敗しました。\r\n以下のファイルを開いているアプリケーションを終了してください。\r\n\r\n" +
                                         (dir / L"log_写真_20240102.txt"));
    EXPECT_FALSE(test::FileExists(dir / L"log_写真_20240101.txt"));
    EXPECT_TRUE(test::FileExists(dir / L"log_写真_2024.txt"));
    EXPECT_TRUE(test::FileExists(dir / L"log_他_20240101.txt"));
    EXPECT_TRUE(run.setting.OutputLog);
    EXPECT_TRUE(run.setting.OutputErrorOnly);
}

TEST(SheetPagesTest, CommandBlocksEnableAndTakeAnEntryFromTheList) {
    FolderSheetRun run;
    run.options.commands.Clear();
    CommandEntry first, second;
    first.name = L"同期";
    first.path = L"C:\\bin\\sync.exe";
    first.param = L"%m";
    first.window = 1;
    second.path = L"C:\\bin\\notify.cmd";
    second.param = L"%r";
    second.window = 3;
    run.options.commands.Store(first);
    run.options.commands.Store(second);
    bool offBefore = true, onBefore = false, afterStillOff = true, comboOff = false;
    std::vector<std::wstring> lines;
    std::wstring shownPath[2], shownParam;
    int shownWindow = -1;
    ASSERT_TRUE(run.Run([&](HWND sheet) {
        HWND page = ShowPage(sheet, PageCommand);
        const int b = IDC_CM_BEFORE;
        offBefore = Enabled(page, b + CM_NAME) || Enabled(page, b + CM_SELECT) || Enabled(page, b + CM_WINDOW);
        Click(page, b + CM_ENABLE);
        onBefore = Enabled(page, b + CM_NAME) && Enabled(page, b + CM_SELECT) && Enabled(page, b + CM_BROWSE) &&
                   Enabled(page, b + CM_ON_ERROR);
        afterStillOff = Enabled(page, IDC_CM_AFTER + CM_NAME);
        Click(page, b + CM_ON_MODE);

        // Cancel in the list changes nothing.
        PostMessageW(GetDlgItem(page, b + CM_SELECT), BM_CLICK, 0, 0);
        HWND select = test::WaitForDialog(L"コマンド選択");
        if (!select) return;
        HWND list = GetDlgItem(select, IDC_SELECT_LIST);
        for (int i = 0; i < static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)); ++i) {
            wchar_t text[128] = {};
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            lines.push_back(text);
        }
        shownPath[0] = GetText(select, IDC_SELECT_PATH);
        comboOff = !Enabled(select, IDC_SELECT_WINDOW) &&
                   (GetWindowLongW(GetDlgItem(select, IDC_SELECT_NAME), GWL_STYLE) & ES_READONLY);
        PostMessageW(select, WM_COMMAND, IDCANCEL, 0);
        test::WaitGone(select);

        PostMessageW(GetDlgItem(page, b + CM_SELECT), BM_CLICK, 0, 0);
        select = test::WaitForDialog(L"コマンド選択");
        if (!select) return;
        list = GetDlgItem(select, IDC_SELECT_LIST);
        SendMessageW(list, LB_SETCURSEL, 1, 0);
        SendMessageW(select, WM_COMMAND, MAKEWPARAM(IDC_SELECT_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        shownPath[1] = GetText(select, IDC_SELECT_PATH);
        shownParam = GetText(select, IDC_SELECT_PARAM);
        shownWindow = GetComboIndex(select, IDC_SELECT_WINDOW);
        PostMessageW(select, WM_COMMAND, IDOK, 0);
        test::WaitGone(select);

        // Without a selection OK chooses nothing.
        Click(page, IDC_CM_AFTER + CM_ENABLE);
        PostMessageW(GetDlgItem(page, IDC_CM_AFTER + CM_SELECT), BM_CLICK, 0, 0);
        select = test::WaitForDialog(L"コマンド選択");
        if (!select) return;
        SendDlgItemMessageW(select, IDC_SELECT_LIST, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        PostMessageW(select, WM_COMMAND, IDOK, 0);
        test::WaitGone(select);
        PressOk(sheet);
    }));
    EXPECT_FALSE(offBefore);
    EXPECT_TRUE(onBefore);
    EXPECT_FALSE(afterStillOff);
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"1: 同期", L"2: notify.cmd"}));
    EXPECT_EQ(shownPath[0], L"C:\\bin\\sync.exe");
    EXPECT_TRUE(comboOff);
    EXPECT_EQ(shownPath[1], L"C:\\bin\\notify.cmd");
    EXPECT_EQ(shownParam, L"%r");
    EXPECT_EQ(shownWindow, 3);
    const CommandEntry* before = run.commands.Find(run.setting.commandIds[0]);
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(before->name, L"notify.cmd");
    EXPECT_EQ(before->path, L"C:\\bin\\notify.cmd");
    EXPECT_EQ(before->param, L"%r");
    EXPECT_EQ(before->window, 3);
    // The boxes of the block stay as the user set them.
    EXPECT_EQ(before->onMode, 1);
    EXPECT_EQ(before->onError, 0);
    const CommandEntry* after = run.commands.Find(run.setting.commandIds[1]);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->path, L"");
}

TEST(SheetPagesTest, DropsOnTheTargetListsAndCancelledEdits) {
    test::TempDir home, outside;
    SetEnvironmentVariableW(L"TANDREL_DROP_HOME", home.Path().c_str());
    for (const wchar_t* folder : {L"Documents", L"Documents\\Work", L"Documents\\Work\\Old", L"Documents\\Work\\New",
                                  L"Documents\\Misc", L"Documents\\Misc\\Deep", L"Documents\\Other",
                                  L"Documents\\Other\\Sub"}) {
        ASSERT_TRUE(CreateDirectoryW((home / folder).c_str(), nullptr));
    }
    ASSERT_TRUE(test::WriteBytes(home / L"Documents\\Misc\\Deep\\a;b.txt", "x"));
    std::vector<TargetFolderChoice> answers;
    FolderSheetRun run;
    run.prompts = ScriptedFolderPrompt(answers);
    run.setting.Master = L"%TANDREL_DROP_HOME%\\Documents";
    run.setting.TargetType = 0;
    run.setting.TargetDirectory = L"keep\\me";
    // Yes for the first drop; a drop of several asks once; Cancel on the edit.
    test::MessageRecorder boxes({IDYES, IDNO, IDCANCEL});
    answers = {{L"new\\place"}};
    std::vector<std::wstring> drops = {home / L"Documents\\Work\\Old"};
    ASSERT_TRUE(run.Run([&](HWND sheet) {
        HWND target = ShowPage(sheet, PageTarget);
        HWND folders = GetDlgItem(target, IDC_TG_FOLDER_LIST);
        test::Drop(folders, {home / L"Documents\\Work\\Old"});
        // Two folders with missing parents, one answer: the second is not asked.
        test::Drop(folders, {home / L"Documents\\Misc\\Deep\\a;b.txt", home / L"Documents\\Work\\New",
                       home / L"Documents\\Other\\Sub", outside.Path()});
        test::Drop(GetDlgItem(target, IDC_TG_FILE_LIST), {home / L"Documents\\Misc\\Deep\\a;b.txt", home / L"Documents"});
        // Editing "keep\me" into a pattern whose parent the user will not
        // decide on: the old pattern comes back.
        const LRESULT at = SendMessageW(folders, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(L"keep\\me"));
        SendMessageW(folders, LB_SETCARETINDEX, at, FALSE);
        Click(target, IDC_TG_FOLDER_EDIT);
        PressOk(sheet);
    }));
    const std::wstring outsideName = outside.Path().substr(outside.Path().find_last_of(L'\\') + 1);
    const std::vector<std::wstring> items = SplitList(run.setting.TargetDirectory);
    EXPECT_EQ(std::set<std::wstring>(items.begin(), items.end()),
              (std::set<std::wstring>{L"keep\\me", L"Misc\\Deep", L"Other\\Sub", L"Work", L"Work\\New", L"Work\\Old",
                                      outsideName}));
    EXPECT_EQ(items.size(), 7u);
    EXPECT_EQ(run.setting.TargetFile, L"a?b.txt");
    ASSERT_EQ(boxes.Boxes().size(), 3u);
    EXPECT_NE(boxes.Boxes()[0].text.find(L"追加するフォルダ:\r\nWork\\Old\r\n"), std::wstring::npos);
    EXPECT_NE(boxes.Boxes()[1].text.find(L"追加するフォルダ:\r\nMisc\\Deep\r\n"), std::wstring::npos);
    EXPECT_NE(boxes.Boxes()[2].text.find(L"追加するフォルダ:\r\nnew\\place\r\n"), std::wstring::npos);
    SetEnvironmentVariableW(L"TANDREL_DROP_HOME", nullptr);
}

TEST(SheetPagesTest, TargetDateAndSizeGoBothWays) {
    FolderSheetRun run;
    run.setting.TargetDateType = 1;
    run.setting.TargetDate = static_cast<std::int32_t>(test::LocalTime(2024, 3, 15, 13, 30));
    run.setting.SkipTargetFileSize = true;
    run.setting.TargetFileSize = {12, 2};
    test::MessageRecorder boxes;
    SYSTEMTIME shown{};
    std::wstring number;
    int unit = -1;
    bool pickerOn = false, pickerAfterAll = true, sizeOn = false, sizeOff = true;
    ASSERT_TRUE(run.Run([&](HWND sheet) {
        HWND target = ShowPage(sheet, PageTarget);
        SendDlgItemMessageW(target, IDC_TG_DATE_PICKER, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown));
        pickerOn = Enabled(target, IDC_TG_DATE_PICKER);
        number = GetText(target, IDC_TG_SIZE_NUMBER);
        unit = GetComboIndex(target, IDC_TG_SIZE_UNIT);
        sizeOn = Enabled(target, IDC_TG_SIZE_NUMBER) && Enabled(target, IDC_TG_SIZE_UNIT);
        Click(target, IDC_TG_DATE_SINCE_LAST);
        Click(target, IDC_TG_DATE_ALL);
        pickerAfterAll = Enabled(target, IDC_TG_DATE_PICKER);
        Click(target, IDC_TG_DATE_GIVEN);
        SYSTEMTIME day{};
        day.wYear = 2024;
        day.wMonth = 4;
        day.wDay = 1;
        SendDlgItemMessageW(target, IDC_TG_DATE_PICKER, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&day));
        SetDlgItemTextW(target, IDC_TG_SIZE_NUMBER, L"300");
        SendDlgItemMessageW(target, IDC_TG_SIZE_UNIT, CB_SETCURSEL, 3, 0);
        Click(target, IDC_TG_SIZE_SKIP);
        sizeOff = Enabled(target, IDC_TG_SIZE_NUMBER) || Enabled(target, IDC_TG_SIZE_SPIN);
        PressOk(sheet);
    }));
    EXPECT_EQ(shown.wYear, 2024);
    EXPECT_EQ(shown.wMonth, 3);
    EXPECT_EQ(shown.wDay, 15);
    EXPECT_TRUE(pickerOn);
    EXPECT_EQ(number, L"12");
    EXPECT_EQ(unit, 2);
    EXPECT_TRUE(sizeOn);
    EXPECT_FALSE(pickerAfterAll);
    EXPECT_FALSE(sizeOff);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, L"ターゲット指定");
    EXPECT_EQ(boxes.Boxes()[0].flags & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
    EXPECT_EQ(run.setting.TargetDateType, 1);
    EXPECT_EQ(run.setting.TargetDate, static_cast<std::int32_t>(test::LocalTime(2024, 4, 1)));
    EXPECT_FALSE(run.setting.SkipTargetFileSize);
    EXPECT_EQ(run.setting.TargetFileSize.number, 300);
    EXPECT_EQ(run.setting.TargetFileSize.unit, 3);
}

TEST(SheetPagesTest, RememberedSizeIsSkippedWithAltOrWhenFlat) {
    FolderSheetRun run;
    RECT first{};
    LONG style = 0;
    ASSERT_TRUE(run.Run([&](HWND sheet) {
        GetWindowRect(sheet, &first);
        style = GetWindowLongW(sheet, GWL_STYLE);
        PressOk(sheet);
    }));
    // The standard font still gives a frame the user can drag.
    EXPECT_TRUE(style & WS_THICKFRAME);
    const LONG width = first.right - first.left, height = first.bottom - first.top;

    auto openedSize = [&](const Rect& saved, bool alt) {
        run.options.FolderSettingDialog = saved;
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        if (alt) {
            keys[VK_MENU] = 0x80;
            SetKeyboardState(keys);
        }
        SIZE size{};
        run.Run([&](HWND sheet) {
            RECT r{};
            GetWindowRect(sheet, &r);
            size = {r.right - r.left, r.bottom - r.top};
            PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
        });
        if (alt) {
            keys[VK_MENU] = 0;
            SetKeyboardState(keys);
        }
        return size;
    };
    const SIZE larger = openedSize(Rect{10, 10, 10 + width + 80, 10 + height + 60}, false);
    EXPECT_EQ(larger.cx, width + 80);
    EXPECT_EQ(larger.cy, height + 60);
    const SIZE withAlt = openedSize(Rect{10, 10, 10 + width + 80, 10 + height + 60}, true);
    EXPECT_EQ(withAlt.cx, width);
    EXPECT_EQ(withAlt.cy, height);
    const SIZE flat = openedSize(Rect{10, 10, 10, 10 + height + 60}, false);
    EXPECT_EQ(flat.cx, width);
    EXPECT_EQ(flat.cy, height);
}

TEST(SheetPagesTest, F1AndHelpAskForThePageShown) {
    FolderSheetRun run;
    std::vector<std::pair<int, int>> expected;
    bool allAnswered = true;
    EXPECT_FALSE(run.Run([&](HWND sheet) {
        for (int page = PageMain; page <= PageCommand; ++page) {
            HWND shown = ShowPage(sheet, page);
            const size_t seen = run.help.Count();
            // Keys reach the control that has the focus.
            HWND focus = GetNextDlgTabItem(shown, nullptr, FALSE);
            PostMessageW(focus ? focus : shown, WM_KEYDOWN, VK_F1, 0x003B0001);
            PostMessageW(focus ? focus : shown, WM_KEYUP, VK_F1, 0xC03B0001);
            allAnswered = run.help.WaitPast(seen) && allAnswered;
        }
        // Posted behind the keys: once the page shows, every key has been handled.
        PostMessageW(sheet, PSM_SETCURSEL, PageLog, 0);
        test::WaitUntil([&] { return PropSheet_HwndToIndex(sheet, PropSheet_GetCurrentPageHwnd(sheet)) == PageLog; });
        SendMessageW(GetDlgItem(sheet, IDHELP), BM_CLICK, 0, 0);
        PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    }));
    EXPECT_TRUE(allAnswered);
    // One request per key, anchored on the page shown.
    EXPECT_EQ(run.help.calls,
              (std::vector<std::pair<int, int>>{{5, 1}, {5, 5}, {5, 6}, {5, 7}, {5, 8}, {5, 9}, {5, 7}}));
}

}  // namespace
}  // namespace tandrel
