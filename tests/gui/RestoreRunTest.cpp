// The restore from the backup as the window runs it: where to, the test run
// that shows what it will do, the question, then the restore.
#include "MainWindowFixture.h"

#include "framework/CommandUI.h"
#include "framework/ListView.h"
#include "resource.h"

namespace tandrel::test {
namespace {

struct RestoreTrees {
    std::wstring m, b;
    explicit RestoreTrees(const TempDir& dir) : m(dir / L"m"), b(dir / L"b") {
        MakeFolders(dir.Path(), {L"m", L"b\\sub"});
        WriteBytes(b + L"\\sub\\lost.txt", "lost");
        WriteBytes(b + L"\\kept.txt", "old kept");
        FILETIME old{};
        old.dwHighDateTime = 0x01d00000;
        HANDLE file = CreateFileW((b + L"\\kept.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
        SetFileTime(file, nullptr, nullptr, &old);
        CloseHandle(file);
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

}  // namespace
}  // namespace tandrel::test
