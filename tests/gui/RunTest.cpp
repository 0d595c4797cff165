// Runs as the window sees them: starting, the engine's messages through the
// real host, the report list, automatic runs and the after-completion list.
#include "MainWindowFixture.h"

#include <commctrl.h>

#include "framework/ListView.h"
#include "platform/DateFormat.h"
#include "resource.h"
#include "ui/ListTexts.h"
#include "ui/UserMessages.h"

namespace tandrel::test {
namespace {

TEST(ListTextTest, SizesAndBlankDates) {
    const std::pair<std::uint64_t, std::wstring> sizes[] = {
        {0, L"0 B"},           {1023, L"1,023 B"},          {1024, L"1.0 KB"},
        {1536, L"1.5 KB"},     {1048575, L"1,023.9 KB"},    {5ull << 30, L"5.0 GB"},
        {1ull << 40, L"1.0 TB"}, {5000ull << 40, L"5,000.0 TB"},
    };
    for (const auto& [bytes, text] : sizes) EXPECT_EQ(SizeText(bytes), text) << bytes;
    EXPECT_EQ(BlankDate(L""), L"----/--/-- --:--:--");
    EXPECT_EQ(BlankDate(L"%H:%M"), L"--:--");
    EXPECT_EQ(ResultText(-1, 0, L"%Y/%m/%d %H:%M:%S", BlankDate(L"")), L"----/--/-- --:--:-- 不明");
    EXPECT_EQ(ResultText(-2, 5, L"%Y", L"----"), L"現在実行中!!");
}

TEST_F(MainWindowTest, ReportRowsComeFromTheWorker) {
    Open(SettingsText());
    const std::time_t t = 1700000000;
    OnWorker([&] {
        EngineHost& host = View().Host();
        host.AddReportRow({RowAction::Start, L"--- A ---", {}, {}, {}});
        host.AddReportRow({RowAction::Create, L"a.txt", FileTimeOf(t), {}, 1536});
        host.AddReportRow({RowAction::Delete, L"b.txt", {}, FileTimeOf(t), {}});
        EXPECT_GT(host.MeasureReportText(L"--------"), 0);
    });
    // Rows reach the list with the next refresh tick.
    ASSERT_TRUE(PumpUntil([&] { return listview::RowCount(ReportList()) == 3; }));
    EXPECT_EQ(Column(ReportList(), 0), (std::vector<std::wstring>{L"開始", L"作成", L"削除"}));
    EXPECT_EQ(Cell(ReportList(), 0, 2), L"");
    EXPECT_EQ(Cell(ReportList(), 0, 4), L"");
    EXPECT_EQ(Cell(ReportList(), 1, 2), FormatLocalTime(L"%Y/%m/%d %H:%M:%S", t));
    EXPECT_EQ(Cell(ReportList(), 1, 3), L"----/--/-- --:--:--");
    EXPECT_EQ(Cell(ReportList(), 1, 4), L"1.5 KB");
    EXPECT_EQ(Cell(ReportList(), 2, 2), L"----/--/-- --:--:--");
    EXPECT_EQ(Cell(ReportList(), 2, 4), L" ");

    // Clicks do not select report rows.
    SendMessageW(ReportList(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 30));
    EXPECT_TRUE(listview::SelectedRows(ReportList()).empty());

    // The report's menu copies every row, columns separated by tabs.
    Command(ID_EDIT_COPY);
    const std::wstring copied = ClipboardText();
    EXPECT_EQ(copied.substr(0, 17), L"開始\t--- A ---\t\t\t\r\n");
    EXPECT_NE(copied.find(L"削除\tb.txt\t----/--/-- --:--:--\t"), std::wstring::npos);

    // The next run's format comes from the options.
    options.FormatReportFileTime = L"%H:%M";
    Select({0});
    Command(ID_RUN_TEST);
    OnWorker([&] {
        View().Host().ClearReport();
        View().Host().AddReportRow({RowAction::Update, L"c.txt", FileTimeOf(t), {}, 1});
    });
    ASSERT_TRUE(PumpUntil([&] { return Column(ReportList(), 0) == std::vector<std::wstring>{L"更新"}; }));
    EXPECT_EQ(Column(ReportList(), 3), (std::vector<std::wstring>{L"--:--"}));
}

TEST_F(MainWindowTest, RunRefusesChangesAndFollowsTheWorker) {
    Open(SettingsText());
    Select({1, 2});
    Command(ID_RUN_UPDATE);
    ASSERT_EQ(started.size(), 1u);
    MirrorBatch& batch = *started[0];
    EXPECT_TRUE(batch.running);
    EXPECT_FALSE(batch.testMode);
    EXPECT_FALSE(batch.autoOnly);
    auto& settings = const_cast<std::vector<FolderSetting>&>(View().Settings());
    EXPECT_EQ(batch.settings, &settings);
    EXPECT_EQ(settings[0].runSelection, 0);
    EXPECT_EQ(settings[1].runSelection, 1);
    for (UINT id : {ID_SETTING_DELETE, ID_SETTING_ADD, ID_RUN_ALL_TEST, ID_OPTIONS, ID_APP_EXIT})
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_TRUE(Enabled(ID_RUN_CANCEL));
    EXPECT_TRUE(Enabled(ID_OPEN_MASTER));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(frame->ControlBar(), IDC_PROJECT_COMBO)));

    {
        // A check box clicked during a run springs back.
        MessageRecorder boxes;
        LVITEMW item{};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(1);
        SendMessageW(SetupList(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
        SendMessageW(View().Handle(), WM_TANDREL_TOGGLE_AUTO, 0, 0);
        Pump();
        EXPECT_TRUE(Checked(0));
        EXPECT_TRUE(settings[0].AutoExec);
        ASSERT_FALSE(boxes.Boxes().empty());
        EXPECT_EQ(boxes.Boxes().back().text, L"バックアップ実行中は変更できません。");
        EXPECT_EQ(boxes.Boxes().back().caption, L"自動更新の変更");
    }

    OnWorker([&] {
        EngineHost& host = *batch.host;
        host.EnableClose(false);
        settings[1].Errors = ErrorsRunning;
        host.SettingRunState(settings[1], SettingMark::Selected);
        host.SetStatus(L"更新中", L"C:\\b\\x.txt");
    });
    EXPECT_EQ(Cell(SetupList(), 1, 4), L"現在実行中!!");
    EXPECT_EQ(frame->StatusText(), L"更新中 C:\\b\\x.txt");
    EXPECT_EQ(Stored(L"Define 1", L"Errors"), L"-2");
    MENUITEMINFOW close{};
    close.cbSize = sizeof close;
    close.fMask = MIIM_STATE;
    GetMenuItemInfoW(GetSystemMenu(frame->Handle(), FALSE), SC_CLOSE, FALSE, &close);
    EXPECT_TRUE(close.fState & MFS_GRAYED);
    // Closing waits for the run.
    SendMessageW(frame->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(frame->Handle()));

    Command(ID_RUN_CANCEL);
    EXPECT_TRUE(batch.cancelRequested);
    EXPECT_EQ(frame->StatusText(), L"中止しています… C:\\b\\x.txt");
    EXPECT_FALSE(Enabled(ID_RUN_CANCEL));

    OnWorker([&] {
        settings[1].Errors = 0;
        settings[1].LastExec = 1700000000;
        batch.host->SettingRunState(settings[1], SettingMark::DoneAutomatically);
        batch.running = false;
        batch.host->StoreRunResults();
        batch.host->EnableClose(true);
    });
    EXPECT_EQ(Cell(SetupList(), 1, 4), FormatLocalTime(L"%Y/%m/%d %H:%M:%S", 1700000000) + L" 正常終了");
    EXPECT_FALSE(listview::IsSelected(SetupList(), 1));
    EXPECT_EQ(Stored(L"Define 1", L"LastExec"), L"1700000000");
    EXPECT_TRUE(Enabled(ID_SETTING_DELETE));
    GetMenuItemInfoW(GetSystemMenu(frame->Handle(), FALSE), SC_CLOSE, FALSE, &close);
    EXPECT_FALSE(close.fState & MFS_GRAYED);
}

TEST_F(MainWindowTest, AutomaticRunStartsAfterTheFirstUpdate) {
    Open(SettingsText(), [](AppState& o) {
        o.autoStart = true;
        o.runMode = RunModeExit;
    });
    EXPECT_TRUE(started.empty());
    HWND after = GetDlgItem(frame->ControlBar(), IDC_AFTER_LIST);
    EXPECT_FALSE(IsWindowEnabled(after));
    EXPECT_EQ(SendMessageW(after, CB_GETCURSEL, 0, 0), RunModeExit);
    EXPECT_TRUE(frame->QueryCommand(ID_AFTER_EXIT).checked);
    ASSERT_TRUE(PumpUntil([&] { return !started.empty(); }));
    ASSERT_EQ(started.size(), 1u);
    EXPECT_TRUE(started[0]->autoOnly);
    EXPECT_FALSE(started[0]->testMode);
    EXPECT_TRUE(started[0]->startedAutomatically);
}

TEST_F(MainWindowTest, AfterCompletionListFollowsTheCommands) {
    Open(SettingsText(), [](AppState& o) {
        CommandEntry hidden;
        hidden.name = L"隠し";
        hidden.path = L"h.exe";
        CommandEntry shutdown;
        shutdown.path = L"C:\\tools\\backup-done.exe";
        shutdown.action = RunModeShutdown;
        shutdown.visible = true;
        o.commands.Clear();
        hidden.id = o.commands.NextId();
        o.commands.Append(hidden);
        shutdown.id = o.commands.NextId();
        o.commands.Append(shutdown);
        // "command=2"
        o.runMode = RunModeCommand;
        o.commandIndex = 1;
    });
    HWND after = GetDlgItem(frame->ControlBar(), IDC_AFTER_LIST);
    EXPECT_EQ(SendMessageW(after, CB_GETCOUNT, 0, 0), 6);
    wchar_t text[64] = {};
    SendMessageW(after, CB_GETLBTEXT, 5, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::wstring(text), L"backup-done");
    EXPECT_EQ(options.runMode, 5);
    EXPECT_EQ(options.afterAction, RunModeShutdown);
    EXPECT_TRUE(frame->QueryCommand(ID_AFTER_SHUTDOWN).checked);

    // The command is removed in the options: its line goes and so does the choice.
    options.commands.At(1).visible = false;
    frame->FillAfterCompletion();
    EXPECT_EQ(SendMessageW(after, CB_GETCOUNT, 0, 0), 5);
    EXPECT_EQ(options.runMode, RunModeNothing);
    EXPECT_EQ(options.afterAction, 0);

    Command(ID_AFTER_SHUTDOWN);
    EXPECT_EQ(SendMessageW(after, CB_GETCURSEL, 0, 0), RunModeShutdown);
    Command(ID_AFTER_SHUTDOWN);
    EXPECT_EQ(SendMessageW(after, CB_GETCURSEL, 0, 0), RunModeNothing);

    // A waited-for command that ended closes the window when it was to.
    options.afterAction = RunModeExit;
    PostMessageW(frame->Handle(), WM_TANDREL_TOOL_ENDED, 0, 0);
    Pump();
    EXPECT_FALSE(IsWindow(frame->Handle()));
}

}  // namespace
}  // namespace tandrel::test
