// The report list and the status line at the scale of a large run: the
// worker does not wait for the window, the window keeps up in ticks, and
// everything that reads the rows still sees all of them.
#include "MainWindowFixture.h"

#include <commctrl.h>

#include "framework/ListView.h"
#include "resource.h"
#include "ProgramCopy.h"
#include "ui/UserMessages.h"

namespace tandrel::test {
namespace {

// Counts the status messages the frame handles on this thread.
int statusMessages = 0;
LRESULT CALLBACK CountStatus(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && reinterpret_cast<CWPSTRUCT*>(lParam)->message == WM_TANDREL_STATUS) ++statusMessages;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MainWindowTest, AHundredThousandRowsReachTheListInTicks) {
    Open(SettingsText());
    constexpr int kRows = 100000;
    const std::time_t t = 1700000000;
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, CountStatus, nullptr, GetCurrentThreadId());
    statusMessages = 0;
    OnWorker([&] {
        EngineHost& host = View().Host();
        host.ClearReport();
        for (int i = 0; i < kRows; ++i) {
            const std::wstring path = L"folder\\file" + std::to_wstring(i) + L".txt";
            host.SetStatus(L"更新中", path.c_str());
            host.AddReportRow({RowAction::Create, path, FileTimeOf(t), {}, static_cast<std::uint64_t>(i)});
        }
        host.SetStatus(nullptr, L"最後");
    });
    EXPECT_TRUE(PumpUntil([&] {
        return listview::RowCount(ReportList()) == kRows && frame->StatusText() == L"更新中 最後";
    }));
    UnhookWindowsHookEx(hook);

    EXPECT_EQ(Cell(ReportList(), kRows - 1, 1), L"folder\\file99999.txt");
    EXPECT_EQ(Cell(ReportList(), 1024, 4), L"1.0 KB");
    // The list follows the last row.
    const int top = static_cast<int>(SendMessageW(ReportList(), LVM_GETTOPINDEX, 0, 0));
    const int page = static_cast<int>(SendMessageW(ReportList(), LVM_GETCOUNTPERPAGE, 0, 0));
    EXPECT_GE(top + page, kRows - 1);
    // The window was not asked to show each status: the statuses since a
    // tick are folded into one (how often it repaints is bench/window's).
    EXPECT_LT(statusMessages, kRows / 10);

    Command(ID_EDIT_COPY);
    const std::wstring copied = ClipboardText();
    size_t lines = 0;
    for (wchar_t c : copied) lines += c == L'\n';
    EXPECT_EQ(lines, static_cast<size_t>(kRows));
    EXPECT_NE(copied.find(L"作成\tfolder\\file99999.txt\t"), std::wstring::npos);

    // Clearing the report empties the list and what a copy would take.
    Command(ID_REPORT_CLEAR);
    EXPECT_EQ(listview::RowCount(ReportList()), 0);
    EXPECT_FALSE(Enabled(ID_EDIT_COPY));
}

TEST_F(MainWindowTest, LongCellsAreCopiedWhole) {
    Open(SettingsText());
    const std::wstring longPath = L"深い\\" + std::wstring(6000, L'x') + L"\\end.txt";
    OnWorker([&] { View().Host().AddReportRow({RowAction::Error, longPath, {}, {}, {}}); });
    ASSERT_TRUE(PumpUntil([&] { return listview::RowCount(ReportList()) == 1; }));
    Command(ID_EDIT_COPY);
    EXPECT_EQ(ClipboardText(), L"エラー\t" + longPath + L"\t\t\t\r\n");
}

TEST_F(MainWindowTest, StatusBeforeABoxIsOnScreenWhenTheBoxOpens) {
    Open(SettingsText());
    std::wstring statusAtBox;
    int rowsAtBox = -1;
    MessageRecorder boxes({IDOK});
    OnWorker([&] {
        EngineHost& host = View().Host();
        host.AddReportRow({RowAction::Error, L"a.txt", {}, {}, {}});
        host.SetStatus(L"コピー中", L"a.txt");
        host.ShowMessageBox(L"失敗しました", L"エラー", MB_OK);
    });
    // The recorder answered on the worker; what the window showed at that
    // moment is what it shows now, without waiting for a tick.
    statusAtBox = frame->StatusText();
    rowsAtBox = listview::RowCount(ReportList());
    EXPECT_EQ(statusAtBox, L"コピー中 a.txt");
    EXPECT_EQ(rowsAtBox, 1);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
}

TEST_F(MainWindowTest, SelectingAThousandSettingsEnablesTheirCommands) {
    Open(SettingsText(1000));
    ASSERT_EQ(View().Settings().size(), 1000u);
    Command(ID_SELECT_ALL);
    EXPECT_EQ(listview::SelectedRows(SetupList()).size(), 1000u);
    EXPECT_TRUE(SendMessageW(frame->Toolbar(), TB_ISBUTTONENABLED, ID_SETTING_DELETE, 0));
    EXPECT_FALSE(SendMessageW(frame->Toolbar(), TB_ISBUTTONENABLED, ID_SETTING_UP, 0));
}

}  // namespace
}  // namespace tandrel::test
