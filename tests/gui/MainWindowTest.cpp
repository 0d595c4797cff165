// The main window driven with messages: the setting list, its commands and
// what they store, the control bar and the status line.
#include "MainWindowFixture.h"

#include <commctrl.h>

#include "framework/CommandUI.h"
#include "framework/ListView.h"
#include "platform/DateFormat.h"
#include "platform/Strings.h"
#include "resource.h"
#include "ui/UserMessages.h"

namespace tandrel::test {
namespace {

std::wstring ComboText(HWND combo) {
    const int selected = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    if (selected < 0) return L"<none>";
    wchar_t text[256] = {};
    SendMessageW(combo, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(text));
    return text;
}

TEST_F(MainWindowTest, ShowsTheActiveProjectAndTheBar) {
    Open(SettingsText(3, L"Errors=0\r\nLastExec=1700000000\r\n"));
    EXPECT_EQ(Column(SetupList(), 1), (std::vector<std::wstring>{L"A", L"B", L"C"}));
    EXPECT_EQ(Cell(SetupList(), 1, 2), L"C:\\b");
    EXPECT_EQ(Cell(SetupList(), 1, 3), L"E:\\b");
    EXPECT_EQ(Cell(SetupList(), 0, 4), FormatLocalTime(L"%Y/%m/%d %H:%M:%S", 1700000000) + L" 正常終了");
    EXPECT_EQ(Cell(SetupList(), 1, 4), L"----/--/-- --:--:-- 3件のエラー");
    EXPECT_EQ(Cell(SetupList(), 2, 4), L"----/--/-- --:--:-- 不明");
    EXPECT_TRUE(Checked(0));
    EXPECT_FALSE(Checked(1));

    HWND bar = frame->ControlBar();
    EXPECT_EQ(ComboText(GetDlgItem(bar, IDC_PROJECT_COMBO)), L"1: デフォルト");
    EXPECT_EQ(ComboText(GetDlgItem(bar, IDC_AFTER_LIST)), L"何もしない");
    EXPECT_EQ(frame->StatusText(), L"Tandrel Unicode");

    // A null text keeps the previous one; both null show the idle text.
    SendMessageW(frame->Handle(), WM_TANDREL_STATUS, reinterpret_cast<WPARAM>(L"更新中"), reinterpret_cast<LPARAM>(L"x"));
    SendMessageW(frame->Handle(), WM_TANDREL_STATUS, reinterpret_cast<WPARAM>(L"テスト中"), 0);
    EXPECT_EQ(frame->StatusText(), L"テスト中 x");
    SendMessageW(frame->Handle(), WM_TANDREL_STATUS, 0, 0);
    EXPECT_EQ(frame->StatusText(), L"Tandrel Unicode");

    // Commands on selected rows wait for a selection; the toolbar follows.
    EXPECT_FALSE(Enabled(ID_SETTING_DELETE));
    EXPECT_TRUE(Enabled(ID_RUN_ALL_UPDATE));
    EXPECT_FALSE(SendMessageW(frame->Toolbar(), TB_ISBUTTONENABLED, ID_RUN_UPDATE, 0));
    Select({2});
    EXPECT_TRUE(Enabled(ID_SETTING_DELETE));
    EXPECT_TRUE(Enabled(ID_SETTING_UP));
    EXPECT_FALSE(Enabled(ID_SETTING_DOWN));
    EXPECT_TRUE(SendMessageW(frame->Toolbar(), TB_ISBUTTONENABLED, ID_RUN_UPDATE, 0));
}

TEST_F(MainWindowTest, ReorderingIsStoredWithTheNextSave) {
    Open(SettingsText());
    Select({1, 2});
    Command(ID_SETTING_UP);
    EXPECT_EQ(Column(SetupList(), 1), (std::vector<std::wstring>{L"B", L"C", L"A"}));
    EXPECT_EQ(listview::SelectedRows(SetupList()), (std::vector<int>{0, 1}));
    EXPECT_TRUE(options.dirtyOrder);
    EXPECT_EQ(Stored(L"Define 0", L"Name"), L"A");
    EXPECT_FALSE(Enabled(ID_SETTING_UP));
    // Disabled commands do nothing, also when they arrive as messages.
    Command(ID_SETTING_UP);
    EXPECT_EQ(Column(SetupList(), 1), (std::vector<std::wstring>{L"B", L"C", L"A"}));

    // A toggle after a reordering writes every setting.
    listview::SetSelected(SetupList(), -1, false);
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(1);
    SendMessageW(SetupList(), LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&item));
    Pump();
    EXPECT_FALSE(View().Settings()[1].AutoExec);
    EXPECT_EQ(Stored(L"Define 0", L"Name"), L"B");
    EXPECT_EQ(Stored(L"Define 1", L"AutoExec"), L"0");
    EXPECT_EQ(Stored(L"Define 2", L"CommandPath0"), L"before.exe");
    EXPECT_FALSE(options.dirtyOrder);

    Select({0});
    Command(ID_SETTING_DOWN);
    EXPECT_EQ(Column(SetupList(), 1), (std::vector<std::wstring>{L"C", L"B", L"A"}));
    // Switching projects stores the pending order first.
    SendMessageW(GetDlgItem(frame->ControlBar(), IDC_PROJECT_COMBO), CB_SETCURSEL, 1, 0);
    SendMessageW(frame->Handle(), WM_COMMAND, MAKEWPARAM(IDC_PROJECT_COMBO, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(frame->ControlBar(), IDC_PROJECT_COMBO)));
    Pump();
    EXPECT_EQ(Stored(L"Define 0", L"Name"), L"C");
    EXPECT_EQ(options.ActiveProject, 1);
    EXPECT_EQ(Column(SetupList(), 1), (std::vector<std::wstring>{L"P1"}));
}

TEST_F(MainWindowTest, DeleteAndDuplicateStoreTheProject) {
    Open(SettingsText(5));
    ASSERT_EQ(View().Settings().size(), 5u);
    {
        MessageRecorder boxes({IDNO, IDYES});
        Select({1, 3});
        Command(ID_SETTING_DELETE);
        EXPECT_EQ(View().Settings().size(), 5u);
        Command(ID_SETTING_DELETE);
        ASSERT_EQ(boxes.Boxes().size(), 2u);
        EXPECT_EQ(boxes.Boxes()[1].text, L"選択された 2 件のフォルダ設定を削除してもよろしいですか？");
        EXPECT_EQ(boxes.Boxes()[1].caption, L"フォルダ設定の削除");
    }
    EXPECT_EQ(Column(SetupList(), 1), (std::vector<std::wstring>{L"A", L"C", L"E"}));
    EXPECT_EQ(Stored(L"Options", L"ListCount"), L"3");
    EXPECT_EQ(Stored(L"Define 2", L"Name"), L"E");
    EXPECT_EQ(Stored(L"Define 0", L"CommandPath0"), L"before.exe");

    Select({0});
    Command(ID_SETTING_DUPLICATE);
    Select({3});
    Command(ID_SETTING_DUPLICATE);
    EXPECT_EQ(Column(SetupList(), 1),
              (std::vector<std::wstring>{L"A", L"C", L"E", L"Aのコピー", L"Aのコピーのコピー"}));
    EXPECT_EQ(Stored(L"Options", L"ListCount"), L"5");
    EXPECT_EQ(Stored(L"Define 4", L"CommandPath0"), L"before.exe");
    // Every copy has commands of its own.
    const auto& s = View().Settings();
    EXPECT_NE(s[3].commandIds[0], s[0].commandIds[0]);
    EXPECT_NE(s[4].commandIds[0], s[3].commandIds[0]);
    EXPECT_NE(s[4].commandIds[1], s[3].commandIds[1]);
    EXPECT_EQ(View().Commands().Find(s[4].commandIds[0])->path, L"before.exe");

    // One setting is asked for by name.
    MessageRecorder boxes({IDYES});
    Select({4});
    Command(ID_SETTING_DELETE);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"Aのコピーのコピー を削除してもよろしいですか？");
    EXPECT_EQ(View().Commands().Find(s[3].commandIds[0])->path, L"before.exe");
}

TEST_F(MainWindowTest, DividerKeepsBothPanesUsable) {
    Open(SettingsText());
    RECT client{};
    GetClientRect(View().Handle(), &client);
    View().SetDivider(5);
    EXPECT_EQ(View().Divider(), 0);
    View().SetDivider(client.bottom - 10);
    EXPECT_EQ(View().Divider(), client.bottom - 5);
    View().SetDivider(150);
    View().Layout();
    EXPECT_EQ(options.DivideY, 150);
    RECT list{};
    GetWindowRect(SetupList(), &list);
    EXPECT_EQ(list.bottom - list.top, 148);
}

TEST_F(MainWindowTest, CompareToolTextAndOpeningFolders) {
    Open(SettingsText());
    options.CompareToolPath = L"C:\\tools\\WinMergeU.exe";
    options.CompareToolName = L"WinMerge";
    EXPECT_EQ(frame->QueryCommand(ID_COMPARE_TOOL).text, L"WinMerge を起動(&W)\tCtrl+W");
    EXPECT_EQ(frame->QueryCommand(ID_COMPARE_TOOL, false).text, L"WinMerge を起動(&W)");
    options.CompareToolName = L"比較ツール";
    EXPECT_EQ(frame->QueryCommand(ID_COMPARE_TOOL, false).text, L"比較ツールを起動(&W)");
    options.CompareToolPath.clear();
    EXPECT_EQ(frame->QueryCommand(ID_COMPARE_TOOL, false).text, L"フォルダ比較ツールが設定されていません");

    std::vector<std::wstring> opened;
    View().openInShell = [&](HWND, const std::wstring& path) {
        opened.push_back(path);
        return true;
    };
    {
        MessageRecorder boxes({IDNO});
        Select({0, 2});
        Command(ID_OPEN_BACKUP);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].caption, L"フォルダ設定のバックアップフォルダを開く");
        EXPECT_TRUE(opened.empty());
    }
    MessageRecorder boxes({IDYES});
    Command(ID_OPEN_MASTER);
    EXPECT_EQ(opened, (std::vector<std::wstring>{L"C:\\a", L"C:\\c"}));

    // No compare tool: the user is told where to set one.
    Command(ID_COMPARE_TOOL);
    EXPECT_EQ(boxes.Boxes().back().caption, L"フォルダ比較ツールの起動");
    EXPECT_EQ(boxes.Boxes().back().text,
              L"フォルダ比較ツールが設定されていません。\r\n外部ツール設定でツールを設定してください。");
}

TEST_F(MainWindowTest, MissingLogsAndHelpAreReported) {
    Open(SettingsText());
    options.OutputLog = true;
    options.LogFileName = dir / L"none%Y.log";
    MessageRecorder boxes;
    Select({});
    Command(ID_OPEN_LOG);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"ログファイルが見つかりませんでした。");
    EXPECT_EQ(boxes.Boxes()[0].caption, L"ログファイルを開く");
}

TEST_F(MainWindowTest, OtherFoldersOrACopyForgetTheLastRunsTotals) {
    const std::wstring totals = L"LastFiles=1000000\r\nLastSeconds=3600\r\nLastTestFiles=900\r\nLastTestSeconds=9\r\n";
    Open(SettingsText(3, totals));
    std::wstring master = L"C:\\a";
    View().dialogs.editSetting = [&master](HWND, FolderSetting& setting, CommandList&, Rect&) {
        setting.Master = master;
        return true;
    };
    // The same folders: the totals still tell the time of the next run.
    Select({0});
    Command(ID_SETTING_EDIT);
    EXPECT_EQ(Stored(L"Define 0", L"LastFiles"), L"1000000");
    // A copy has never run.
    Command(ID_SETTING_DUPLICATE);
    ASSERT_EQ(View().Settings().size(), 4u);
    EXPECT_EQ(Stored(L"Define 3", L"LastFiles"), L"0");
    EXPECT_EQ(Stored(L"Define 3", L"LastTestFiles"), L"0");
    EXPECT_EQ(Stored(L"Define 0", L"LastSeconds"), L"3600");
    // Another master folder is another tree.
    master = L"C:\\other";
    Select({0});
    Command(ID_SETTING_EDIT);
    EXPECT_EQ(Stored(L"Define 0", L"Master"), L"C:\\other");
    EXPECT_EQ(Stored(L"Define 0", L"LastFiles"), L"0");
    EXPECT_EQ(Stored(L"Define 0", L"LastSeconds"), L"0");
    EXPECT_EQ(Stored(L"Define 0", L"LastTestFiles"), L"0");
}

}  // namespace
}  // namespace tandrel::test

namespace tandrel::test {

TEST_F(MainWindowTest, MediaDetectionMenuChoosesTheActionAndMarksIt) {
    Open(SettingsText(1), [](AppState& o) {
        o.ExecIfDetectMedia = true;
        o.DetectMediaAction = 3;
    });
    HMENU menu = GetMenu(frame->Handle());
    const auto marked = [&] {
        UpdateMenuCommands(menu, [&](UINT id) { return frame->QueryCommand(id); });
        std::vector<UINT> ids;
        for (UINT id = ID_MEDIA_NONE; id <= ID_MEDIA_UPDATE; ++id) {
            const UINT state = GetMenuState(menu, id, MF_BYCOMMAND);
            EXPECT_FALSE(state & MF_GRAYED) << id;
            if (state & MF_CHECKED) ids.push_back(id);
        }
        return ids;
    };
    EXPECT_EQ(marked(), std::vector<UINT>{ID_MEDIA_TEST});
    Command(ID_MEDIA_UPDATE_ASK);
    EXPECT_EQ(marked(), std::vector<UINT>{ID_MEDIA_UPDATE_ASK});
    EXPECT_EQ(options.DetectMediaAction, 2);
    EXPECT_EQ(Stored(L"Options", L"DetectMediaAction"), std::to_wstring(AppState::EncodeDetectMediaAction(2)));
    // "なし" switches detection off and keeps the action for later.
    Command(ID_MEDIA_NONE);
    EXPECT_EQ(marked(), std::vector<UINT>{ID_MEDIA_NONE});
    EXPECT_FALSE(options.ExecIfDetectMedia);
    EXPECT_EQ(Stored(L"Options", L"ExecIfDetectMedia"), L"0");
    Command(ID_MEDIA_ENABLE);
    EXPECT_EQ(marked(), std::vector<UINT>{ID_MEDIA_UPDATE_ASK});
}

TEST_F(MainWindowTest, AProjectThatCannotBeReadIsToldOnceAndNeverWrittenBack) {
    Open(SettingsText());
    // Another program replaces the file and holds it while the user picks
    // the other project.
    const std::wstring text = SettingsText() + L"; changed elsewhere\r\n";
    ASSERT_TRUE(WriteBytes(iniPath, "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2)));
    const std::string stored = ReadBytes(iniPath);
    MessageRecorder boxes;
    {
        HeldFile held(iniPath);
        HWND combo = GetDlgItem(frame->ControlBar(), IDC_PROJECT_COMBO);
        SendMessageW(combo, CB_SETCURSEL, 1, 0);
        SendMessageW(frame->Handle(), WM_COMMAND, MAKEWPARAM(IDC_PROJECT_COMBO, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
        Pump();
    }
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_NE(boxes.Boxes()[0].text.find(L"変更は保存されません"), std::wstring::npos);
    EXPECT_TRUE(View().Settings().empty());
    EXPECT_FALSE(Enabled(ID_PROJECT_EDIT));
    // Readable again: closing stores the view, and the project that seemed
    // empty stays as it is on disk.
    frame.reset();
    EXPECT_EQ(ReadBytes(iniPath), stored);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
}

TEST_F(MainWindowTest, ALockedProjectListOffersNeitherEditorNorImportAndSaysWhy) {
    const struct {
        std::function<void(AppState&)> lock;
        unsigned why;
    } cases[] = {
        {[](AppState& o) { o.noSave = true; }, IDS_LOCKED_BY_LOGOFF},
        {[](AppState& o) { o.settingsReadError = ERROR_SHARING_VIOLATION; }, IDS_LOCKED_UNREAD},
    };
    for (const auto& c : cases) {
        frame.reset();
        Open(SettingsText(), c.lock);
        EXPECT_FALSE(Enabled(ID_PROJECT_EDIT));
        EXPECT_FALSE(Enabled(ID_IMPORT));
        EXPECT_TRUE(Enabled(ID_EXPORT));
        EXPECT_TRUE(Enabled(ID_OPTIONS));
        Pump();
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(frame->ControlBar(), IDC_PROJECT_EDIT)));
        // Pointing at the greyed item in the menu shows why.
        SendMessageW(frame->Handle(), WM_MENUSELECT, MAKEWPARAM(ID_IMPORT, MF_GRAYED),
                     reinterpret_cast<LPARAM>(GetMenu(frame->Handle())));
        EXPECT_EQ(frame->StatusText(), LoadText(c.why));
        SendMessageW(frame->Handle(), WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    }
}

TEST_F(MainWindowTest, OptionsAndMediaChoicesSayWhenTheyAreNotKept) {
    const struct {
        std::function<void(AppState&)> state;
        unsigned why;
    } cases[] = {
        {[](AppState& o) { o.noSave = true; }, IDS_NOT_KEPT_BY_LOGOFF},
        {[](AppState& o) { o.settingsWriteError = ERROR_ACCESS_DENIED; }, IDS_NOT_KEPT_UNSAVED},
        {[](AppState&) {}, 0},
    };
    for (const auto& c : cases) {
        frame.reset();
        Open(SettingsText(), c.state);
        for (const UINT id : {ID_OPTIONS, ID_MEDIA_TEST}) {
            EXPECT_TRUE(Enabled(id));
            SendMessageW(frame->Handle(), WM_MENUSELECT, MAKEWPARAM(id, 0),
                         reinterpret_cast<LPARAM>(GetMenu(frame->Handle())));
            if (c.why) {
                EXPECT_EQ(frame->StatusText(), LoadText(c.why)) << id;
            } else {
                EXPECT_NE(frame->StatusText(), LoadText(IDS_NOT_KEPT_BY_LOGOFF)) << id;
                EXPECT_NE(frame->StatusText(), LoadText(IDS_NOT_KEPT_UNSAVED)) << id;
            }
            SendMessageW(frame->Handle(), WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
        }
    }
}

}  // namespace tandrel::test
