// A real run in the real window: the progress pane while it goes on, the
// tray and the taskbar button, 中止 in the middle of a large file, and what
// the status line and the end box say at its end.
#include <algorithm>
#include <atomic>
#include <regex>

#include "MainWindowFixture.h"
#include "engine/FaultSeam.h"
#include "framework/ListView.h"
#include "platform/Strings.h"
#include "resource.h"

namespace tandrel::test {
namespace {

constexpr size_t kPiece = 1 << 20;

// Moves a file's last-write time by the given seconds.
void ShiftTime(const std::wstring& path, int seconds) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME time{};
    GetFileTime(file, nullptr, nullptr, &time);
    ULARGE_INTEGER t{{time.dwLowDateTime, time.dwHighDateTime}};
    t.QuadPart += static_cast<ULONGLONG>(static_cast<LONGLONG>(seconds) * 10000000LL);
    time = FILETIME{t.LowPart, t.HighPart};
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

// Holds the copy of one file at its first progress report until the test lets it
// go, and fails the copies of another; installed for as long as it lives.
class CopyGate : public FaultSeam {
public:
    explicit CopyGate(std::wstring held, std::wstring failing = L"")
        : held_(std::move(held)), failing_(std::move(failing)) {
        SetFaultSeam(this);
    }
    ~CopyGate() override {
        release = true;
        SetFaultSeam(nullptr);
    }
    DWORD Fail(FaultPoint point, const std::wstring& path) override {
        if (point == FaultPoint::Progress && !holding && EqualsNoCase(path, held_) && !release) {
            holding = true;
            WaitUntil([&] { return release.load(); });
        }
        if (point == FaultPoint::Copy && !failing_.empty() && EqualsNoCase(path, failing_)) return ERROR_ACCESS_DENIED;
        return 0;
    }
    std::atomic<bool> holding{false}, release{false};

private:
    std::wstring held_, failing_;
};

class RunProgressTest : public MainWindowTest {
protected:
    // Settings A (four files, one of them three pieces long) and B (one file).
    void OpenOnTrees(const std::wstring& extraA = L"", int runMode = RunModeNothing) {
        ASSERT_TRUE(CreateDirectoryW(m1.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(m2.c_str(), nullptr));
        for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"}) WriteBytes(m1 + L"\\" + name, "small");
        WriteBytes(big, std::string(3 * kPiece, 'B'));
        WriteBytes(m2 + L"\\d.txt", "d");
        const std::wstring ini = L"[Save]\r\nSaveRegistory=0\r\n[Options]\r\nListCount=2\r\n"
                                 L"[Define 0]\r\nName=A\r\nMaster=" + m1 + L"\r\nBackup=" + b1 + L"\r\n" + extraA +
                                 L"[Define 1]\r\nName=B\r\nMaster=" + m2 + L"\r\nBackup=" + b2 + L"\r\n";
        Open(ini, [runMode](AppState& o) { o.runMode = runMode; });
        View().startBatch = StartBatch;
    }
    // A click on the toolbar, and the mouse away from it again, so that the
    // button's prompt gives the status line back.
    void Click(UINT id) {
        ClickToolbar(id);
        RECT r{};
        GetClientRect(frame->Toolbar(), &r);
        SendMessageW(frame->Toolbar(), WM_MOUSEMOVE, 0, MAKELPARAM(r.right - 2, r.bottom - 2));
        Pump();
    }
    void WaitForTheEnd() {
        ASSERT_TRUE(PumpUntil([&] { return !View().Batch().workerActive; }));
        // The refresh tick after the run shows its final figures.
        ASSERT_TRUE(PumpUntil([&] { return !View().ProgressFollowsRun(); }));
    }
    // The number after a label in the progress pane; the setting's when
    // batch is false, the batch's (in parentheses) when true.
    static int Count(const std::wstring& line, const std::wstring& label, bool batch = false) {
        std::wsmatch match;
        const std::wregex pattern(label + L" ([0-9,]+)(?: \\(([0-9,]+)\\))?");
        if (!std::regex_search(line, match, pattern)) return -1;
        return std::stoi(match[batch ? 2 : 1].str());
    }

    std::wstring m1 = dir / L"m1", m2 = dir / L"m2", b1 = dir / L"b1", b2 = dir / L"b2";
    std::wstring big = m1 + L"\\big.bin";
};

TEST_F(RunProgressTest, ThePaneFollowsTheRunAndKeepsItsFinalFigures) {
    OpenOnTrees();
    CopyGate gate(big);
    Click(ID_RUN_ALL_UPDATE);
    ASSERT_TRUE(PumpUntil([&] { return gate.holding.load(); }));
    // While the large file is on its way: the first setting of two, the
    // files before it counted, the bytes it reported, and a time.
    std::wstring during;
    ASSERT_TRUE(PumpUntil([&] {
        during = frame->ProgressText();
        return during.find(L" MB") != std::wstring::npos;
    })) << during;
    EXPECT_EQ(during.find(L"設定 1/2　作成 "), 0u) << during;
    const int createdDuring = Count(during, L"作成");
    EXPECT_GE(createdDuring, 0);
    EXPECT_LT(createdDuring, 4);
    EXPECT_EQ(Count(during, L"エラー"), 0);
    EXPECT_TRUE(std::regex_search(during, std::wregex(L"　[0-9]+:[0-9]{2}(　|$)"))) << during;
    // The same line under the tray icon; the taskbar button cannot tell the
    // time left of a first run.
    EXPECT_EQ(View().Tray().Tip(), during);
    EXPECT_EQ(frame->Taskbar().state(), TaskbarState::Indeterminate);
    // The status text beside it is the path being copied.
    EXPECT_NE(frame->StatusText().find(L"big.bin"), std::wstring::npos);

    gate.release = true;
    WaitForTheEnd();
    const std::wstring after = frame->ProgressText();
    EXPECT_EQ(after.find(L"設定 2/2"), 0u) << after;
    EXPECT_EQ(Count(after, L"作成"), 1);
    EXPECT_EQ(Count(after, L"作成", true), 5);
    EXPECT_GT(Count(after, L"作成", true), createdDuring);
    EXPECT_EQ(frame->StatusText(), L"終了しました ");
    EXPECT_EQ(View().Tray().Tip(), L"");
    EXPECT_EQ(frame->Taskbar().state(), TaskbarState::None);
    EXPECT_EQ(ReadBytes(b1 + L"\\big.bin").size(), 3 * kPiece);

    // The setting's summary row in the report list.
    std::vector<std::wstring> summaries;
    for (int row = 0; row < listview::RowCount(ReportList()); ++row) {
        if (Cell(ReportList(), row, 0) == L"集計") summaries.push_back(Cell(ReportList(), row, 1));
    }
    ASSERT_EQ(summaries.size(), 2u);
    EXPECT_EQ(summaries[0].find(L"確認 4　作成 4　更新 0　移動 0　削除 0　エラー 0　コピー 3.00 MB"), 0u) << summaries[0];
    EXPECT_EQ(summaries[1].find(L"確認 1　作成 1　"), 0u) << summaries[1];

    // The second run knows the first one: the taskbar shows a share done.
    ShiftTime(big, 10);
    CopyGate again(big);
    Click(ID_RUN_ALL_UPDATE);
    ASSERT_TRUE(PumpUntil([&] { return again.holding.load(); }));
    ASSERT_TRUE(PumpUntil([&] { return frame->ProgressText().find(L"残り ") != std::wstring::npos; }))
        << frame->ProgressText();
    EXPECT_EQ(frame->Taskbar().state(), TaskbarState::Normal);
    again.release = true;
    WaitForTheEnd();
}

TEST_F(RunProgressTest, CancelInTheMiddleOfALargeFileKeepsTheOldBackupAndTheEndSaysStopped) {
    ASSERT_TRUE(CreateDirectoryW(b1.c_str(), nullptr));
    WriteBytes(b1 + L"\\big.bin", "old backup");
    ShiftTime(b1 + L"\\big.bin", -3600);
    MessageRecorder boxes;
    OpenOnTrees(L"", RunModeMessage);
    CopyGate gate(big);
    Click(ID_RUN_ALL_UPDATE);
    ASSERT_TRUE(PumpUntil([&] { return gate.holding.load(); }));
    Click(ID_RUN_CANCEL);
    EXPECT_TRUE(View().Batch().cancelRequested);
    gate.release = true;
    WaitForTheEnd();
    EXPECT_EQ(ReadBytes(b1 + L"\\big.bin"), "old backup");
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((b1 + L"\\*.partial").c_str(), &data);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    // B never started.
    EXPECT_FALSE(FileExists(b2 + L"\\d.txt"));
    EXPECT_EQ(frame->StatusText(), L"中止しました ");
    ASSERT_FALSE(boxes.Boxes().empty());
    EXPECT_EQ(boxes.Boxes().back().text, L"バックアップは途中で中止されました。");
    EXPECT_EQ(boxes.Boxes().back().flags & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_NE(Column(ReportList(), 0), std::vector<std::wstring>{});
    const std::vector<std::wstring> actions = Column(ReportList(), 0);
    EXPECT_NE(std::find(actions.begin(), actions.end(), L"中止"), actions.end());
}

TEST_F(RunProgressTest, ErrorsIgnoredEndWithTheirCountsAndACleanRunWithTheUsualBox) {
    {
        MessageRecorder boxes;
        OpenOnTrees(L"ErrorLeave=1\r\n", RunModeMessage);
        CopyGate gate(L"", b1 + L"\\b.txt");
        Click(ID_RUN_ALL_UPDATE);
        WaitForTheEnd();
        EXPECT_EQ(frame->StatusText(), L"終了しました (エラーあり) ");
        EXPECT_EQ(Count(frame->ProgressText(), L"エラー", true), 1);
        ASSERT_FALSE(boxes.Boxes().empty());
        const auto& box = boxes.Boxes().back();
        EXPECT_EQ(box.text, L"バックアップは終わりましたが、エラーがありました。\r\n\r\nエラーのあった設定: 1\r\nエラー: 1 件");
        EXPECT_EQ(box.caption, L"バックアップ完了");
        EXPECT_EQ(box.flags & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING));
    }
    {
        // The next run copies what failed and ends clean.
        MessageRecorder boxes;
        Click(ID_RUN_ALL_UPDATE);
        WaitForTheEnd();
        EXPECT_EQ(frame->StatusText(), L"終了しました ");
        ASSERT_FALSE(boxes.Boxes().empty());
        EXPECT_EQ(boxes.Boxes().back().text, L"バックアップが完了しました。");
        EXPECT_EQ(boxes.Boxes().back().flags & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));
    }
}

TEST_F(RunProgressTest, HiddenInTheTrayTheEndComesAsABalloonAndABoxFlashesTheButton) {
    OpenOnTrees();
    ShowWindow(frame->Handle(), SW_HIDE);
    MessageRecorder boxes;
    // Without ErrorLeave the failed copy asks the user.
    CopyGate gate(L"", b1 + L"\\a.txt");
    Command(ID_RUN_ALL_UPDATE);
    WaitForTheEnd();
    ASSERT_FALSE(boxes.Boxes().empty());
    EXPECT_EQ(boxes.Boxes().front().caption, L"ファイルのコピーに失敗");
    EXPECT_GE(frame->Flashes(), 1);
    const std::wstring balloon = View().Tray().LastBalloon();
    EXPECT_EQ(balloon.find(L"Tandrel Unicode\n終了しました (エラーあり)\n設定 2/2"), 0u) << balloon;
}

}  // namespace
}  // namespace tandrel::test
