// The restores as the window runs them: from the backup (where to) or from
// the history (its dialog), the test run that shows what it will do, the
// questions, then the restore.
#include "MainWindowFixture.h"

#include <commctrl.h>

#include "dialogs/HistoryRestoreDlg.h"
#include "framework/CommandUI.h"
#include "framework/ListView.h"
#include "resource.h"

namespace tandrel::test {
namespace {

// A last write long before any file a test writes now.
void MakeOld(const std::wstring& path) {
    FILETIME old{};
    old.dwHighDateTime = 0x01d00000;
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, nullptr, &old);
    CloseHandle(file);
}

struct RestoreTrees {
    std::wstring m, b;
    explicit RestoreTrees(const TempDir& dir) : m(dir / L"m"), b(dir / L"b") {
        MakeFolders(dir.Path(), {L"m", L"b\\sub"});
        WriteBytes(b + L"\\sub\\lost.txt", "lost");
        WriteBytes(b + L"\\kept.txt", "old kept");
        MakeOld(b + L"\\kept.txt");
        WriteBytes(m + L"\\kept.txt", "newer kept");
    }
    std::wstring Ini() const {
        return L"[Save]\r\nSaveRegistory=0\r\n[Options]\r\nListCount=1\r\n[Define 0]\r\nName=A\r\nMaster=" + m +
               L"\r\nBackup=" + b + L"\r\n";
    }
};

TEST_F(MainWindowTest, RestoreFromTheBackupShowsItsPlanThenCopiesBackWhenAskedTo) {
    RestoreTrees trees(dir);
    Open(trees.Ini());
    View().startBatch = StartBatch;
    // The menu offers it for one setting at a time, as the menu bar shows it.
    HMENU menu = GetMenu(frame->Handle());
    const auto offered = [&] {
        UpdateMenuCommands(menu, [&](UINT id) { return frame->QueryCommand(id); });
        return (GetMenuState(menu, ID_RESTORE_BACKUP, MF_BYCOMMAND) & MF_GRAYED) == 0;
    };
    EXPECT_FALSE(offered());
    Select({0});
    EXPECT_TRUE(offered());
    {
        // Into the master; then, seeing the plan, no.
        MessageRecorder boxes({IDYES, IDNO});
        Command(ID_RESTORE_BACKUP);
        ASSERT_TRUE(PumpUntil([&] { return boxes.Boxes().size() == 2; }));
        EXPECT_EQ(boxes.Boxes()[0].caption, L"バックアップから復元");
        EXPECT_NE(boxes.Boxes()[1].text.find(trees.m), std::wstring::npos);
        const std::vector<std::wstring> actions = Column(ReportList(), 0);
        EXPECT_NE(std::find(actions.begin(), actions.end(), L"テスト開始"), actions.end());
        const std::vector<std::wstring> paths = Column(ReportList(), 1);
        EXPECT_NE(std::find(paths.begin(), paths.end(), L"sub\\lost.txt"), paths.end());
        // The newer master file is left, and the row says so.
        const auto kept = std::find(paths.begin(), paths.end(), L"kept.txt");
        if (kept != paths.end()) {
            EXPECT_NE(actions[static_cast<size_t>(kept - paths.begin())], L"更新");
        }
        // A restore the "no" had let through would have run by the time the
        // window is free again.
        ASSERT_TRUE(PumpUntil([&] { return !View().Busy(); }));
        EXPECT_FALSE(FileExists(trees.m + L"\\sub\\lost.txt"));
    }
    {
        MessageRecorder boxes({IDYES, IDYES});
        Command(ID_RESTORE_BACKUP);
        ASSERT_TRUE(PumpUntil([&] { return FileExists(trees.m + L"\\sub\\lost.txt") && !View().Busy(); }));
        EXPECT_EQ(boxes.Boxes().size(), 2u);
    }
    EXPECT_EQ(ReadBytes(trees.m + L"\\sub\\lost.txt"), "lost");
    EXPECT_EQ(ReadBytes(trees.m + L"\\kept.txt"), "newer kept");
    const std::vector<std::wstring> actions = Column(ReportList(), 0);
    EXPECT_NE(std::find(actions.begin(), actions.end(), L"作成"), actions.end());
    EXPECT_NE(std::find(actions.begin(), actions.end(), L"集計"), actions.end());
    // The setting's last backup run stays as it was.
    EXPECT_EQ(View().Settings()[0].LastExec, 0);
}

TEST_F(MainWindowTest, RestoreGoesIntoAChosenFolderAndNotForDateFolders) {
    RestoreTrees trees(dir);
    Open(trees.Ini());
    View().startBatch = StartBatch;
    const std::wstring chosen = dir / L"chosen";
    View().pickFolder = [&](HWND, std::wstring& path, unsigned) {
        path = chosen;
        return true;
    };
    Select({0});
    {
        MessageRecorder boxes({IDNO, IDYES});
        Command(ID_RESTORE_BACKUP);
        ASSERT_TRUE(PumpUntil([&] { return FileExists(chosen + L"\\kept.txt") && !View().Busy(); }));
        EXPECT_NE(boxes.Boxes()[1].text.find(chosen), std::wstring::npos);
    }
    EXPECT_EQ(ReadBytes(chosen + L"\\sub\\lost.txt"), "lost");
    EXPECT_EQ(ReadBytes(chosen + L"\\kept.txt"), "old kept");
    EXPECT_FALSE(FileExists(trees.m + L"\\sub"));

    auto& settings = const_cast<std::vector<FolderSetting>&>(View().Settings());
    settings[0].MakeDateDir = true;
    MessageRecorder boxes({IDOK});
    Command(ID_RESTORE_BACKUP);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_NE(boxes.Boxes()[0].text.find(L"日付フォルダ"), std::wstring::npos);
    EXPECT_FALSE(View().Busy());
}

// A history with one run: doc\report.txt deleted from the backup, note.txt
// overwritten there (older than the master's note.txt now).
struct HistoryTrees {
    std::wstring m, b, history, run;
    explicit HistoryTrees(const TempDir& dir)
        : m(dir / L"m"), b(dir / L"b"), history(dir / L"b.履歴"), run(history + L"\\2026-01-02 030405") {
        MakeFolders(dir.Path(), {L"m", L"b", L"b.履歴\\2026-01-02 030405\\doc"});
        WriteBytes(run + L"\\doc\\report.txt", "v1");
        WriteBytes(run + L"\\note.txt", "old note");
        MakeOld(run + L"\\note.txt");
        WriteBytes(m + L"\\note.txt", "new note");
        WriteBytes(run + L".manifest", Utf8(L"Tandrel\tA\r\ndeleted\t2\t2026-01-02 03:00:00\tdoc\\report.txt\r\n"
                                           L"overwritten\t8\t2015-01-01 00:00:00\tnote.txt\r\n"));
    }
    std::wstring Ini() const {
        return L"[Save]\r\nSaveRegistory=0\r\n[Options]\r\nListCount=2\r\n[Define 0]\r\nName=A\r\nMaster=" + m +
               L"\r\nBackup=" + b + L"\r\nDeleteHistory=1\r\n[Define 1]\r\nName=B\r\nMaster=" + m + L"\r\nBackup=" + b +
               L"\r\n";
    }
};

TEST_F(MainWindowTest, RestoreFromTheHistoryThroughItsDialogAsksBeforeNewerFiles) {
    HistoryTrees trees(dir);
    Open(trees.Ini());
    View().startBatch = StartBatch;
    View().dialogs.restoreHistory = ChooseHistoryRestore;
    HMENU menu = GetMenu(frame->Handle());
    const auto offered = [&] {
        UpdateMenuCommands(menu, [&](UINT id) { return frame->QueryCommand(id); });
        return (GetMenuState(menu, ID_RESTORE_HISTORY, MF_BYCOMMAND) & MF_GRAYED) == 0;
    };
    // Only for a setting that keeps a history.
    Select({1});
    EXPECT_FALSE(offered());
    Select({0});
    EXPECT_TRUE(offered());
    const auto rows = [](HWND d, int id) { return static_cast<int>(SendDlgItemMessageW(d, id, LVM_GETITEMCOUNT, 0, 0)); };

    {
        // The run is listed from its manifest; "report" leaves one file,
        // which is chosen and restored into the master.
        MessageRecorder boxes({IDYES});
        std::wstring runText, countText;
        EXPECT_TRUE(DriveDialog(
            L"履歴から復元", false,
            [&](HWND d) {
                ASSERT_TRUE(WaitUntil([&] { return rows(d, IDC_HR_RUNS) == 1; }));
                runText = listview::Text(GetDlgItem(d, IDC_HR_RUNS), 0, 0);
                countText = listview::Text(GetDlgItem(d, IDC_HR_RUNS), 0, 1);
                ASSERT_TRUE(WaitUntil([&] { return rows(d, IDC_HR_FILES) == 2; }));
                SetDlgItemTextW(d, IDC_HR_FILTER, L"report");
                ASSERT_TRUE(WaitUntil([&] { return rows(d, IDC_HR_FILES) == 1; }));
                LVITEMW item{};
                item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
                SendDlgItemMessageW(d, IDC_HR_FILES, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
                SendDlgItemMessageW(d, IDC_HR_RESTORE_FILES, BM_CLICK, 0, 0);
            },
            [&] { Command(ID_RESTORE_HISTORY); }));
        EXPECT_EQ(runText, L"2026-01-02 03:04:05");
        EXPECT_EQ(countText, L"2");
        ASSERT_TRUE(PumpUntil([&] { return FileExists(trees.m + L"\\doc\\report.txt") && !View().Busy(); }));
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].caption, L"履歴から復元");
        EXPECT_NE(boxes.Boxes()[0].flags & MB_DEFBUTTON2, 0u);
        const std::vector<std::wstring> paths = Column(ReportList(), 1);
        EXPECT_NE(std::find(paths.begin(), paths.end(), L"doc\\report.txt"), paths.end());
        EXPECT_EQ(std::find(paths.begin(), paths.end(), L"note.txt"), paths.end());
    }
    EXPECT_EQ(ReadBytes(trees.m + L"\\doc\\report.txt"), "v1");
    EXPECT_EQ(ReadBytes(trees.m + L"\\note.txt"), "new note");

    // The whole run, through its button once the runs are read.
    const auto restoreRun = [&] {
        EXPECT_TRUE(DriveDialog(
            L"履歴から復元", false,
            [&](HWND d) {
                ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(d, IDC_HR_RESTORE_RUN)) != FALSE; }));
                SendDlgItemMessageW(d, IDC_HR_RESTORE_RUN, BM_CLICK, 0, 0);
            },
            [&] { Command(ID_RESTORE_HISTORY); }));
    };
    {
        // The newer note.txt is asked about; "no" keeps it.
        MessageRecorder boxes({IDNO, IDYES});
        restoreRun();
        ASSERT_TRUE(PumpUntil([&] { return boxes.Boxes().size() == 2 && !View().Busy(); }));
        EXPECT_NE(boxes.Boxes()[0].text.find(L"1 個のファイル"), std::wstring::npos);
        EXPECT_NE(boxes.Boxes()[0].flags & MB_DEFBUTTON2, 0u);
    }
    EXPECT_EQ(ReadBytes(trees.m + L"\\note.txt"), "new note");
    {
        // Asked again, "yes": the history's content comes back over it.
        MessageRecorder boxes({IDYES, IDYES});
        restoreRun();
        ASSERT_TRUE(PumpUntil([&] { return ReadBytes(trees.m + L"\\note.txt") == "old note" && !View().Busy(); }));
    }
    // The history is as it was.
    EXPECT_EQ(ReadBytes(trees.run + L"\\note.txt"), "old note");
    EXPECT_EQ(ReadBytes(trees.run + L"\\doc\\report.txt"), "v1");
    EXPECT_EQ(View().Settings()[0].LastExec, 0);
}

}  // namespace
}  // namespace tandrel::test
