#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <functional>
#include <thread>

#include "dialogs/OptPages.h"
#include "dialogs/OptionsSheet.h"
#include "framework/DataExchange.h"
#include "resource.h"
#include "settings/SettingsLocation.h"
#include "SheetDriver.h"
#include "FieldStamp.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

enum Page { PageEnvironment, PageFont, PageTools, PageCommands };

HWND FindSheet() {
    HWND sheet = FindWindowW(L"#32770", L"オプション");
    return sheet && PropSheet_GetCurrentPageHwnd(sheet) ? sheet : nullptr;
}

HWND ShowPage(HWND sheet, int page) {
    SendMessageW(sheet, PSM_SETCURSEL, page, 0);
    return PropSheet_GetCurrentPageHwnd(sheet);
}

void Click(HWND page, int id) { SendMessageW(GetDlgItem(page, id), BM_CLICK, 0, 0); }
void Type(HWND page, int id, const wchar_t* text) { SetDlgItemTextW(page, id, text); }
// A choice in a list as the user makes it: the page hears of it.
void Choose(HWND page, int id, int index) {
    SendDlgItemMessageW(page, id, CB_SETCURSEL, index, 0);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
}
bool Enabled(HWND page, int id) { return IsWindowEnabled(GetDlgItem(page, id)) != FALSE; }

// Options stored in an INI file of their own (and a registry key of their
// own when a test moves them).
struct OptionsRun {
    test::TempDir dir;
    AppState options;
    std::wstring registryRoot =
        L"Software\\TandrelTest\\Options-" + std::to_wstring(GetCurrentProcessId());
    int applied = 0;
    bool moved = false;
    HelpRequest help;
    std::function<bool()> mayTakeOver;

    OptionsRun() {
        options.Reset(L"1.000");
        options.iniPath = options.oldIniPath = dir / L"Tandrel.ini";
        options.exeDirectory = dir.Path() + L"\\";
        options.registryKey = registryRoot + L"\\Tandrel Unicode";
        OpenSettings(options);
    }
    ~OptionsRun() { RegDeleteTreeW(HKEY_CURRENT_USER, registryRoot.c_str()); }

    std::wstring Stored(const wchar_t* key) {
        wchar_t value[256] = {};
        GetPrivateProfileStringW(L"Options", key, L"<none>", value, 256, options.iniPath.c_str());
        return value;
    }

    // The driver sees every sheet that opens, in turn; it ends by pressing
    // OK or Cancel.
    bool Run(const std::function<void(HWND sheet, int opened)>& drive) {
        std::atomic<bool> done{false};
        std::atomic<int> opened{0};
        std::thread driver([&] {
            HWND last = nullptr;
            test::WaitUntil(
                [&] {
                    HWND sheet = FindSheet();
                    if (sheet && sheet != last) {
                        last = sheet;
                        drive(sheet, opened++);
                        if (IsWindow(sheet) && IsWindowVisible(sheet)) PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
                    }
                    return done.load();
                },
                test::kPatience, 50);
        });
        const bool ok = EditOptions(
            nullptr, options, help,
            [&](bool storageMoved) {
                ++applied;
                moved = moved || storageMoved;
            },
            mayTakeOver);
        done = true;
        driver.join();
        EXPECT_GT(opened.load(), 0);
        return ok;
    }
};

void PressOk(HWND sheet) { SendMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0); }
void PressApply(HWND sheet) { SendMessageW(sheet, PSM_PRESSBUTTON, PSBTN_APPLYNOW, 0); }

TEST(OptionsSheetTest, OkStoresEveryPageAndRefusesBadCounts) {
    OptionsRun run;
    run.options.commands.Clear();
    test::MessageRecorder boxes;
    bool storeBoxEnabled = true;
    std::wstring proposed, proposedViewer;
    ASSERT_TRUE(run.Run([&](HWND sheet, int) {
        HWND env = ShowPage(sheet, PageEnvironment);
        storeBoxEnabled = Enabled(env, IDC_OE_REGISTRY);
        Click(env, IDC_OE_TRAY_ONLY);
        Type(env, IDC_OE_RECYCLE_COUNT, L"abc");
        PressOk(sheet);
        Type(env, IDC_OE_RECYCLE_COUNT, L"0");
        PressOk(sheet);
        Type(env, IDC_OE_RECYCLE_COUNT, L"50");
        Click(env, IDC_OE_SYSTEM_DEFAULT);

        HWND tools = ShowPage(sheet, PageTools);
        Type(tools, IDC_OT_COMPARE_PATH, L"C:\\Tools\\WinMergeU.exe");
        Click(tools, IDC_OT_COMPARE_PROPOSE);
        proposed = GetText(tools, IDC_OT_COMPARE_PARAM);
        Type(tools, IDC_OT_VIEWER_PATH, L"");
        Type(tools, IDC_OT_VIEWER_PARAM, L"keep");
        Click(tools, IDC_OT_VIEWER_PROPOSE);
        proposedViewer = GetText(tools, IDC_OT_VIEWER_PARAM);

        HWND font = ShowPage(sheet, PageFont);
        Choose(font, IDC_OF_PLACE, FontToolBar);
        Choose(font, IDC_OF_SIZE, 4);  // "10"
        Choose(font, IDC_OF_PLACE, FontStatusBar);
        Choose(font, IDC_OF_SIZE, 0);  // "(標準)"

        HWND commands = ShowPage(sheet, PageCommands);
        Click(commands, IDC_OC_ADD);
        Click(commands, IDC_OC_ADD);
        Type(commands, IDC_OC_PATH, L"C:\\bin\\sleep.exe");
        Choose(commands, IDC_OC_ACTION, 2);
        PressOk(sheet);
    }));
    EXPECT_FALSE(storeBoxEnabled);
    EXPECT_EQ(proposed, L"/r /wl %m %b%B");
    EXPECT_EQ(proposedViewer, L"keep");
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"整数を入力してください。");
    EXPECT_EQ(boxes.Boxes()[1].text, L"1 から 2147483647 までの整数を入力してください。");

    const AppState& o = run.options;
    EXPECT_EQ(run.applied, 1);
    EXPECT_FALSE(run.moved);
    EXPECT_TRUE(o.MinimizeOnTrayOnly);
    EXPECT_EQ(o.RecycleBinFileCount, 50);
    EXPECT_EQ(o.IgnoreSystemFileNames, L"desktop.ini;hiberfil.sys;pagefile.sys;swapfile.sys;Thumbs.db");
    EXPECT_EQ(o.fonts[FontToolBar].size, 100);
    EXPECT_EQ(o.fonts[FontStatusBar].size, 0);
    ASSERT_EQ(o.commands.Count(), 2);
    EXPECT_EQ(o.commands.At(0).name, L"[新しいコマンド 1]");
    EXPECT_TRUE(o.commands.At(0).visible);
    EXPECT_EQ(o.commands.At(1).path, L"C:\\bin\\sleep.exe");
    EXPECT_EQ(o.commands.At(1).action, RunModeHibernate);

    EXPECT_EQ(run.Stored(L"MinimizeOnTrayOnly"), L"1");
    EXPECT_EQ(run.Stored(L"RecycleBinFileCount"), L"50");
    EXPECT_EQ(run.Stored(L"CompareToolParam"), L"/r /wl %m %b%B");
    EXPECT_EQ(run.Stored(L"FontSizeToolBar"), L"100");
    EXPECT_EQ(run.Stored(L"ExecToolCount"), L"2");
    EXPECT_EQ(run.Stored(L"ExecToolAction1"), L"3");
    EXPECT_EQ(run.Stored(L"ExecToolName1"), L"[新しいコマンド 2]");
}

// 自動 or a count: the list shows the stored choice and stores the one made.
TEST(OptionsSheetTest, ParallelCopiesAreAutomaticOrACount) {
    OptionsRun run;
    run.options.ParallelCopies = 12;
    std::wstring shown, first;
    int items = 0;
    ASSERT_TRUE(run.Run([&](HWND sheet, int) {
        HWND env = ShowPage(sheet, PageEnvironment);
        HWND list = GetDlgItem(env, IDC_OE_PARALLEL);
        items = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
        wchar_t text[16] = {};
        GetWindowTextW(list, text, 16);
        shown = text;
        SendMessageW(list, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
        first = text;
        Choose(env, IDC_OE_PARALLEL, 0);
        PressOk(sheet);
    }));
    EXPECT_EQ(items, 33);
    EXPECT_EQ(shown, L"12");
    EXPECT_EQ(first, L"自動");
    EXPECT_EQ(run.options.ParallelCopies, 0);
    EXPECT_EQ(run.Stored(L"ParallelCopies"), L"0");

    ASSERT_TRUE(run.Run([&](HWND sheet, int) {
        Choose(ShowPage(sheet, PageEnvironment), IDC_OE_PARALLEL, 32);
        PressOk(sheet);
    }));
    EXPECT_EQ(run.options.ParallelCopies, 32);
    EXPECT_EQ(run.Stored(L"ParallelCopies"), L"32");
}

TEST(OptionsSheetTest, MediaDetectionIsChosenHereAndOkAfterARunBeganKeepsTheOptions) {
    OptionsRun run;
    run.options.ExecIfDetectMedia = false;
    run.options.DetectMediaAction = 1;
    bool actionWhileOff = true, actionWhileOn = false;
    ASSERT_TRUE(run.Run([&](HWND sheet, int) {
        HWND env = ShowPage(sheet, PageEnvironment);
        actionWhileOff = Enabled(env, IDC_OE_MEDIA_ACTION);
        Click(env, IDC_OE_MEDIA);
        actionWhileOn = Enabled(env, IDC_OE_MEDIA_ACTION);
        Choose(env, IDC_OE_MEDIA_ACTION, 3);  // "更新"
        PressOk(sheet);
    }));
    EXPECT_FALSE(actionWhileOff);
    EXPECT_TRUE(actionWhileOn);
    EXPECT_TRUE(run.options.ExecIfDetectMedia);
    EXPECT_EQ(run.options.DetectMediaAction, 4);
    EXPECT_EQ(run.Stored(L"ExecIfDetectMedia"), L"1");
    EXPECT_EQ(run.Stored(L"DetectMediaAction"), std::to_wstring(AppState::EncodeDetectMediaAction(4)));

    // A run that began while the sheet was open: its OK takes nothing over.
    run.mayTakeOver = [] { return false; };
    EXPECT_FALSE(run.Run([&](HWND sheet, int) {
        Click(ShowPage(sheet, PageEnvironment), IDC_OE_MEDIA);
        PressOk(sheet);
    }));
    EXPECT_TRUE(run.options.ExecIfDetectMedia);
    EXPECT_EQ(run.Stored(L"ExecIfDetectMedia"), L"1");
}

TEST(OptionsSheetTest, CommandListEditsInPlaceAndCancelKeepsEverything) {
    OptionsRun run;
    run.options.commands.Clear();
    CommandEntry old;
    old.name = L"旧";
    old.action = 1;
    old.id = 0;
    run.options.commands.Append(old);
    int shownAction = -1;
    std::wstring line;
    bool editsAfterDelete = true, deleteAfterDelete = true;
    EXPECT_FALSE(run.Run([&](HWND sheet, int) {
        HWND page = ShowPage(sheet, PageCommands);
        shownAction = GetComboIndex(page, IDC_OC_ACTION);
        SendMessageW(GetDlgItem(page, IDC_OC_NAME), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"新"));
        wchar_t text[64] = {};
        SendDlgItemMessageW(page, IDC_OC_LIST, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text));
        line = text;
        Click(page, IDC_OC_DELETE);
        editsAfterDelete = Enabled(page, IDC_OC_NAME) || Enabled(page, IDC_OC_ACTION);
        deleteAfterDelete = Enabled(page, IDC_OC_DELETE) || Enabled(page, IDC_OC_UP);
        PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    }));
    EXPECT_EQ(shownAction, 0);
    EXPECT_EQ(line, L"1: 新");
    EXPECT_FALSE(editsAfterDelete);
    EXPECT_FALSE(deleteAfterDelete);
    ASSERT_EQ(run.options.commands.Count(), 1);
    EXPECT_EQ(run.options.commands.At(0).name, L"旧");
    EXPECT_EQ(run.applied, 0);
    EXPECT_EQ(run.Stored(L"ExecToolCount"), L"<none>");
}

// Every field a page binds comes back from its control on OK; the command
// list's entry is read back by an edit of its name.
TEST(OptionsSheetTest, EveryBoundFieldComesBackThroughItsControl) {
    const std::span<const FieldBinding<GlobalOptions>> tables[] = {EnvironmentPageFields(), FontPageFields(),
                                                                   ToolsPageFields()};
    for (int round = 0; round < test::kStampRounds; ++round) {
        OptionsRun run;
        GlobalOptions& stored = run.options;
        for (const auto& table : tables) test::Stamp(stored, table, round);
        run.options.commands.Clear();
        CommandEntry entry;
        entry.id = 0;
        test::Stamp(entry, CommandListEntryFields(), round);
        run.options.commands.Append(entry);
        ASSERT_TRUE(run.Run([&](HWND sheet, int) {
            for (int page : {PageEnvironment, PageFont, PageTools}) ShowPage(sheet, page);
            HWND commands = ShowPage(sheet, PageCommands);
            Type(commands, IDC_OC_NAME, test::StampText(0, round).c_str());
            PressOk(sheet);
        }));
        for (const auto& table : tables) test::ExpectStamped(stored, table, round);
        ASSERT_EQ(run.options.commands.Count(), 1);
        test::ExpectStamped(run.options.commands.At(0), CommandListEntryFields(), round);
    }
}

TEST(OptionsSheetTest, ApplyReopensOnlyForTheDialogFont) {
    OptionsRun run;
    std::atomic<int> reopenedOn{-1};
    std::atomic<bool> stayedOpen{false};
    EXPECT_TRUE(run.Run([&](HWND sheet, int opened) {
        if (opened == 0) {
            HWND font = ShowPage(sheet, PageFont);
            Choose(font, IDC_OF_SIZE, 4);
            PressApply(sheet);
            return;
        }
        reopenedOn = PropSheet_HwndToIndex(sheet, PropSheet_GetCurrentPageHwnd(sheet));
        HWND font = PropSheet_GetCurrentPageHwnd(sheet);
        Choose(font, IDC_OF_PLACE, FontToolBar);
        Choose(font, IDC_OF_SIZE, 3);
        PressApply(sheet);
        // A reopening sheet posts its own cancel during the apply; a page
        // change posted now comes after it, so once the page has changed the
        // sheet has either closed or stays.
        PostMessageW(sheet, PSM_SETCURSEL, PageEnvironment, 0);
        test::WaitUntil([&] {
            return !IsWindow(sheet) || PropSheet_HwndToIndex(sheet, PropSheet_GetCurrentPageHwnd(sheet)) == PageEnvironment;
        });
        stayedOpen = IsWindow(sheet) && IsWindowVisible(sheet);
        PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    }));
    EXPECT_EQ(reopenedOn.load(), PageFont);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(run.applied, 2);
    EXPECT_EQ(run.options.fonts[FontDialog].size, 100);
    EXPECT_EQ(run.options.fonts[FontToolBar].size, 90);
    EXPECT_EQ(run.Stored(L"FontSizeToolBar"), L"90");
}

TEST(OptionsSheetTest, StoreBoxMovesSettingsToTheRegistry) {
    OptionsRun run;
    run.options.registryAllowed = true;
    test::MessageRecorder boxes;
    ASSERT_TRUE(run.Run([](HWND sheet, int) {
        HWND env = ShowPage(sheet, PageEnvironment);
        Click(env, IDC_OE_REGISTRY);
        Click(env, IDC_OE_NO_ERROR_BOX);
        PressOk(sheet);
    }));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, L"フォルダ設定の保存先変更");
    EXPECT_EQ(boxes.Boxes()[0].text.rfind(L"フォルダ設定がレジストリに行う設定に変更されます。", 0), 0u);
    EXPECT_TRUE(run.options.useRegistry);
    EXPECT_TRUE(run.moved);
    EXPECT_TRUE(run.options.AutoExitWhenError);
    // Saved into the store being left, before the move.
    EXPECT_EQ(run.Stored(L"AutoExitWhenError"), L"1");
}

TEST(OptionsSheetTest, DeletingLogsNamesTheFailuresOfEveryProject) {
    OptionsRun run;
    run.options.projects.ClearAll();
    run.options.projects.Add(L"A");
    run.options.projects.Add(L"B");
    run.options.OutputLog = true;
    run.options.LogFileName = run.dir / L"log_%P_%Y.txt";
    for (const wchar_t* name : {L"log_A_2023.txt", L"log_A_2024.txt", L"log_B_2023.txt", L"log_B_2024.txt"}) {
        ASSERT_TRUE(test::WriteBytes(run.dir / name, "x"));
    }
    bool enabled = false, enabledAfter = false, enabledForNone = true;
    test::MessageRecorder boxes({IDOK});
    {
        test::sheet::LockedFile heldA(run.dir / L"log_A_2024.txt"), heldB(run.dir / L"log_B_2024.txt");
        EXPECT_FALSE(run.Run([&](HWND sheet, int) {
            HWND env = ShowPage(sheet, PageEnvironment);
            enabled = Enabled(env, IDC_OE_LOG_DELETE_NOW);
            Click(env, IDC_OE_LOG_DELETE_NOW);
            enabledAfter = Enabled(env, IDC_OE_LOG_DELETE_NOW);
            Type(env, IDC_OE_LOG_FILE, (run.dir / L"none_%P_%Y.txt").c_str());
            SendMessageW(env, WM_COMMAND, MAKEWPARAM(IDC_OE_LOG_FILE, EN_KILLFOCUS), 0);
            enabledForNone = Enabled(env, IDC_OE_LOG_DELETE_NOW);
            Click(env, IDC_OE_LOG_DELETE_NOW);
            PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
        }));
    }
    EXPECT_TRUE(enabled);
    EXPECT_TRUE(enabledAfter);
    EXPECT_FALSE(enabledForNone);
    ASSERT_EQ(boxes.Boxes().size(), 3u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"4 個のログファイルを削除します。よろしいですか？");
    EXPECT_EQ(boxes.Boxes()[1].caption, L"ログファイルの削除");
    EXPECT_EQ(boxes.Boxes()[1].flags & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));
    EXPECT_EQ(boxes.Boxes()[1].text,
              L"ログファイルの削除に失敗しました。\r\n以下のファイルを開いているアプリケーションを終了してください。\r\n\r\n" +
                  (run.dir / L"log_A_2024.txt") + L"\r\n" + (run.dir / L"log_B_2024.txt"));
    EXPECT_EQ(boxes.Boxes()[2].text, L"ログファイルが見つかりませんでした。");
    EXPECT_FALSE(test::FileExists(run.dir / L"log_A_2023.txt"));
    EXPECT_FALSE(test::FileExists(run.dir / L"log_B_2023.txt"));
}

TEST(OptionsSheetTest, F1AsksForThePageShown) {
    OptionsRun run;
    test::sheet::HelpLog help;
    run.help = help.Request();
    bool allAnswered = true;
    EXPECT_FALSE(run.Run([&](HWND sheet, int) {
        for (int page = PageEnvironment; page <= PageCommands; ++page) {
            HWND shown = ShowPage(sheet, page);
            const size_t seen = help.Count();
            HWND focus = GetNextDlgTabItem(shown, nullptr, FALSE);
            PostMessageW(focus ? focus : shown, WM_KEYDOWN, VK_F1, 0x003B0001);
            allAnswered = help.WaitPast(seen) && allAnswered;
        }
        PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    }));
    EXPECT_TRUE(allAnswered);
    EXPECT_EQ(help.calls, (std::vector<std::pair<int, int>>{{6, 3}, {6, 4}, {6, 5}, {6, 6}}));
}

TEST(OptionsHelpersTest, ParameterProposals) {
    EXPECT_EQ(ProposeCompareParameters(L"C:\\Tools\\WinMergeU.exe"), L"/r /wl %m %b%B");
    EXPECT_EQ(ProposeCompareParameters(L"windiff.EXE"), L"-O %m %b%B");
    EXPECT_EQ(ProposeCompareParameters(L"D:\\x\\other.exe"), L"%m %b%B");
    EXPECT_EQ(ProposeCompareParameters(L"C:\\Tools\\"), L"");
    EXPECT_EQ(ProposeViewerParameters(L"notepad.exe"), L"%f");
    EXPECT_EQ(ProposeViewerParameters(L""), L"");
}

TEST(OptionsHelpersTest, CommandListAddRemoveMove) {
    namespace edit = command_list_edit;
    CommandList list;
    for (int i = 0; i < 101; ++i) ASSERT_TRUE(edit::Add(list));
    EXPECT_FALSE(edit::Add(list));
    EXPECT_EQ(edit::Line(list, 100), L"101: [新しいコマンド 101]");
    EXPECT_EQ(edit::Remove(list, 100), 99);
    EXPECT_EQ(edit::Remove(list, 0), 0);
    EXPECT_EQ(list.At(0).name, L"[新しいコマンド 2]");
    EXPECT_EQ(edit::Move(list, 0, -1), 0);
    EXPECT_EQ(edit::Move(list, 0, 1), 1);
    EXPECT_EQ(list.At(1).name, L"[新しいコマンド 2]");
    EXPECT_EQ(edit::Move(list, 98, 1), 98);

    CommandList one;
    edit::Add(one);
    EXPECT_EQ(edit::Remove(one, 0), -1);
    EXPECT_EQ(edit::ActionIndex(1), 0);
    EXPECT_EQ(edit::ActionIndex(4), 3);
    EXPECT_EQ(edit::ActionCode(2), RunModeHibernate);
}

}  // namespace
}  // namespace tandrel
