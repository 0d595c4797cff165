// The toolbar clicked as the mouse clicks it: every button's command and
// the prompt each shows while the mouse is over it.
#include "MainWindowFixture.h"

#include <commctrl.h>

#include "framework/ListView.h"
#include "platform/Strings.h"
#include "resource.h"
#include "ui/UserMessages.h"

namespace tandrel::test {
namespace {

TEST_F(MainWindowTest, EveryToolbarButtonCarriesOutItsCommand) {
    Open(SettingsText());
    int sheets = 0;
    View().dialogs.editSetting = [&](HWND, FolderSetting& setting, CommandList&, Rect&) {
        setting.Name = L"シート" + std::to_wstring(++sheets);
        return true;
    };
    std::vector<std::wstring> opened;
    View().openInShell = [&](HWND, const std::wstring& path) {
        opened.push_back(path);
        return true;
    };
    options.OutputLog = true;
    options.LogViewToolPath.clear();
    options.LogFileName = dir / L"run.log";
    ASSERT_TRUE(WriteBytes(options.LogFileName, "log"));

    {
        MessageRecorder boxes({IDOK});
        ClickToolbar(ID_SETTING_ADD);
        EXPECT_EQ(sheets, 1);
        EXPECT_EQ(Column(SetupList(), 1), (std::vector<std::wstring>{L"A", L"B", L"C", L"シート1"}));
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(Stored(L"Define 3", L"Name"), L"シート1");
    }
    Select({1});
    ClickToolbar(ID_SETTING_EDIT);
    EXPECT_EQ(Column(SetupList(), 1), (std::vector<std::wstring>{L"A", L"シート2", L"C", L"シート1"}));
    ClickToolbar(ID_SETTING_DOWN);
    EXPECT_EQ(Column(SetupList(), 1), (std::vector<std::wstring>{L"A", L"C", L"シート2", L"シート1"}));
    ClickToolbar(ID_SETTING_UP);
    ClickToolbar(ID_SETTING_UP);
    EXPECT_EQ(Column(SetupList(), 1), (std::vector<std::wstring>{L"シート2", L"A", L"C", L"シート1"}));
    {
        MessageRecorder boxes({IDYES});
        ClickToolbar(ID_SETTING_DELETE);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, L"シート2 を削除してもよろしいですか？");
        EXPECT_EQ(Column(SetupList(), 1), (std::vector<std::wstring>{L"A", L"C", L"シート1"}));
    }
    Select({});
    ClickToolbar(ID_OPEN_LOG);
    EXPECT_EQ(opened, (std::vector<std::wstring>{options.LogFileName}));

    // The run buttons start the batch they name; 中止 asks the run to stop.
    struct RunButton {
        UINT id;
        bool test, all;
    };
    for (const RunButton& b : {RunButton{ID_RUN_TEST, true, false}, RunButton{ID_RUN_ALL_TEST, true, true},
                               RunButton{ID_RUN_UPDATE, false, false}, RunButton{ID_RUN_ALL_UPDATE, false, true}}) {
        Select({1});
        const size_t before = started.size();
        ClickToolbar(b.id);
        ASSERT_EQ(started.size(), before + 1) << b.id;
        MirrorBatch& batch = *started.back();
        EXPECT_EQ(batch.testMode, b.test) << b.id;
        EXPECT_EQ(batch.autoOnly, b.all) << b.id;
        EXPECT_TRUE(SendMessageW(frame->Toolbar(), TB_ISBUTTONENABLED, ID_RUN_CANCEL, 0));
        // A run refuses a second start from the toolbar.
        ClickToolbar(ID_RUN_ALL_UPDATE);
        EXPECT_EQ(started.size(), before + 1);
        ClickToolbar(ID_RUN_CANCEL);
        EXPECT_TRUE(batch.cancelRequested) << b.id;
        batch.running = false;
        Pump();
    }
}

TEST_F(MainWindowTest, ToolbarButtonsShowTheirPromptUnderTheMouse) {
    Open(SettingsText());
    HWND toolbar = frame->Toolbar();
    const auto hover = [&](UINT id) {
        RECT r{};
        SendMessageW(toolbar, TB_GETITEMRECT, SendMessageW(toolbar, TB_COMMANDTOINDEX, id, 0),
                     reinterpret_cast<LPARAM>(&r));
        SendMessageW(toolbar, WM_MOUSEMOVE, 0, MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
        Pump();
    };
    hover(ID_SETTING_ADD);
    EXPECT_EQ(frame->StatusText(), L"フォルダ設定を追加します");
    hover(ID_RUN_ALL_UPDATE);
    const std::wstring text = LoadText(ID_RUN_ALL_UPDATE);
    EXPECT_EQ(frame->StatusText(), text.substr(0, text.find(L'\n')));
    // A run's status waits behind the prompt and shows when the mouse leaves.
    SendMessageW(frame->Handle(), WM_TANDREL_STATUS, reinterpret_cast<WPARAM>(L"更新中"),
                 reinterpret_cast<LPARAM>(L"a.txt"));
    EXPECT_EQ(frame->StatusText(), text.substr(0, text.find(L'\n')));
    SendMessageW(toolbar, WM_MOUSELEAVE, 0, 0);
    Pump();
    EXPECT_EQ(frame->StatusText(), L"更新中 a.txt");
}

}  // namespace
}  // namespace tandrel::test
