// Add and Edit through the real folder-setting sheet, driven from a second
// thread as a user fills it in, and the row each leaves in the list.
#include "MainWindowFixture.h"

#include <commctrl.h>

#include <functional>

#include "dialogs/DefineSheet.h"
#include "resource.h"

namespace tandrel::test {
namespace {

// Waits for the sheet the command opens, lets drive fill it in, and closes
// it if drive left it open.
void WithSheet(const std::function<void(HWND)>& drive, const std::function<void()>& open) {
    EXPECT_TRUE(DriveDialog(
        L"フォルダ設定", true,
        [&](HWND sheet) {
            SendMessageW(sheet, PSM_SETCURSEL, 0, 0);
            drive(sheet);
        },
        open));
}

void Type(HWND sheet, int id, const std::wstring& text) {
    SetDlgItemTextW(PropSheet_GetCurrentPageHwnd(sheet), id, text.c_str());
}

TEST_F(MainWindowTest, AddAndEditThroughTheSheetLeaveTheirRows) {
    Open(SettingsText());
    View().dialogs.editSetting = [this](HWND owner, FolderSetting& setting, CommandList& commands, Rect& placement) {
        const bool ok = EditFolderSetting(owner, options, setting, commands, false, TargetPrompts::Dialogs());
        placement = options.FolderSettingDialog;
        return ok;
    };
    const std::wstring master = dir / L"写真", backup = dir / L"写真の控え";
    CreateDirectoryW(master.c_str(), nullptr);
    CreateDirectoryW(backup.c_str(), nullptr);
    MessageRecorder boxes({IDOK});

    WithSheet(
        [&](HWND sheet) {
            Type(sheet, IDC_DM_NAME, L"写真");
            Type(sheet, IDC_DM_MASTER, master);
            Type(sheet, IDC_DM_BACKUP, backup);
            SendMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
        },
        [&] { Command(ID_SETTING_ADD); });
    ASSERT_EQ(View().Settings().size(), 4u);
    EXPECT_EQ(Cell(SetupList(), 3, 1), L"写真");
    EXPECT_EQ(Cell(SetupList(), 3, 2), master);
    EXPECT_EQ(Cell(SetupList(), 3, 3), backup);
    EXPECT_EQ(Cell(SetupList(), 3, 4), L"----/--/-- --:--:-- 不明");
    EXPECT_TRUE(Checked(3));
    EXPECT_EQ(Stored(L"Define 3", L"Master"), master);
    ASSERT_FALSE(boxes.Boxes().empty());
    EXPECT_EQ(boxes.Boxes().back().caption, L"フォルダ設定の作成");

    // A cancelled edit leaves the row; a confirmed one renames it.
    Select({3});
    WithSheet([&](HWND sheet) { Type(sheet, IDC_DM_NAME, L"捨てる名前"); }, [&] { Command(ID_SETTING_EDIT); });
    EXPECT_EQ(Cell(SetupList(), 3, 1), L"写真");
    WithSheet(
        [&](HWND sheet) {
            Type(sheet, IDC_DM_NAME, L"家族の写真");
            SendMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
        },
        [&] { Command(ID_SETTING_EDIT); });
    EXPECT_EQ(Cell(SetupList(), 3, 1), L"家族の写真");
    EXPECT_EQ(Stored(L"Define 3", L"Name"), L"家族の写真");
    EXPECT_EQ(View().Settings().size(), 4u);
}

}  // namespace
}  // namespace tandrel::test
