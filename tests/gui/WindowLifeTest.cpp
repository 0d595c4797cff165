// The window's life around the lists: the tray icon, a folder dropped on
// the window, the manual, the after-completion toggle, the end of the
// Windows session, opening folders during a run, blank dates.
#include "MainWindowFixture.h"

#include <shlobj.h>

#include <atomic>
#include <set>
#include <thread>

#include "framework/CommandUI.h"
#include "framework/ListView.h"
#include "platform/DateFormat.h"
#include "platform/Paths.h"
#include "resource.h"
#include "ui/ListTexts.h"
#include "ui/UserMessages.h"

namespace tandrel::test {
namespace {

TEST_F(MainWindowTest, TrayIconHidesRestoresAndAnimatesDuringARun) {
    Open(SettingsText(), [](AppState& o) { o.MinimizeOnTrayOnly = true; });
    HWND window = frame->Handle();
    SetWindowPos(window, nullptr, 30, 40, 640, 480, SWP_NOZORDER);
    Pump();
    SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    Pump();
    EXPECT_FALSE(IsWindowVisible(window));
    // A double click on the icon brings the window back at its size.
    SendMessageW(View().Handle(), WM_TANDREL_TRAY, 1000, WM_LBUTTONDBLCLK);
    Pump();
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));
    RECT r{};
    GetWindowRect(window, &r);
    EXPECT_EQ(r.right - r.left, 640);

    // The icon's menu: its first item shows the window again.
    ShowWindow(window, SW_HIDE);
    std::atomic<bool> done{false};
    std::thread chooser([&] {
        HWND menu = nullptr;
        if (!WaitUntil([&] { return done || (menu = FindWindowW(L"#32768", nullptr)) != nullptr; }) || !menu) {
            PostMessageW(window, WM_CANCELMODE, 0, 0);
            return;
        }
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    });
    // What the shell sends for a right click in its newer or older protocol.
    if (View().Tray().Version4()) {
        SendMessageW(View().Handle(), WM_TANDREL_TRAY, MAKEWPARAM(200, 200), MAKELPARAM(WM_CONTEXTMENU, 1000));
    } else {
        SendMessageW(View().Handle(), WM_TANDREL_TRAY, 1000, WM_RBUTTONDOWN);
    }
    done = true;
    chooser.join();
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(window) != FALSE; }));

    // While a run is in progress the icon cycles; afterwards it is the program's again.
    Select({0});
    Command(ID_RUN_UPDATE);
    ASSERT_EQ(started.size(), 1u);
    std::set<int> seen;
    EXPECT_TRUE(PumpUntil([&] {
        const int icon = View().Tray().CurrentIcon();
        // Until the first tick of the run the icon is still the program's.
        if (icon != IDR_MAINFRAME) seen.insert(icon);
        return seen.size() >= 2;
    }));
    for (int icon : seen) EXPECT_TRUE(icon >= 147 && icon <= 150) << icon;
    started[0]->running = false;
    EXPECT_TRUE(PumpUntil([&] { return View().Tray().CurrentIcon() == IDR_MAINFRAME; }));
}

HDROP DropOf(const std::vector<std::wstring>& paths) {
    size_t chars = 1;
    for (const std::wstring& p : paths) chars += p.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(drop + 1);
    for (const std::wstring& p : paths) {
        std::copy(p.begin(), p.end(), text);
        text += p.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST_F(MainWindowTest, DroppedFoldersOpenTheSheetAsMasterAndBackup) {
    Open(SettingsText());
    std::wstring master, backup;
    View().dialogs.editSetting = [&](HWND, FolderSetting& s, CommandList&, Rect&) {
        master = s.Master;
        backup = s.Backup;
        s.Name = L"落とした";
        return true;
    };
    MessageRecorder boxes({IDOK});
    SendMessageW(frame->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({dir / L"写真", dir / L"控え"})), 0);
    Pump();
    EXPECT_EQ(master, dir / L"写真");
    EXPECT_EQ(backup, dir / L"控え");
    EXPECT_EQ(Column(SetupList(), 1).back(), L"落とした");
    EXPECT_EQ(Stored(L"Define 3", L"Master"), dir / L"写真");
}

TEST_F(MainWindowTest, F1AndTheHelpMenuOpenTheManualBesideTheProgram) {
    Open(SettingsText());
    const PathParts program = SplitPath(ModulePath());
    const std::wstring manual = program.drive + program.directory + program.baseName + L".html";
    ASSERT_TRUE(WriteBytes(manual, "<html></html>"));
    std::vector<std::wstring> opened;
    View().openInShell = [&](HWND, const std::wstring& path) {
        opened.push_back(path);
        return true;
    };
    PostMessageW(SetupList(), WM_KEYDOWN, VK_F1, 0);
    Pump();
    Command(ID_HELP_MANUAL);
    DeleteFileW(manual.c_str());
    EXPECT_EQ(opened, (std::vector<std::wstring>{manual, manual}));
    // Without a manual the user is told so.
    MessageRecorder boxes;
    Command(ID_HELP_MANUAL);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(opened.size(), 2u);
}

TEST_F(MainWindowTest, ExitAfterUpdateTogglesWithTheList) {
    Open(SettingsText());
    HWND after = GetDlgItem(frame->ControlBar(), IDC_AFTER_LIST);
    HMENU menu = GetMenu(frame->Handle());
    const auto checked = [&] {
        UpdateMenuCommands(menu, [&](UINT id) { return frame->QueryCommand(id); });
        return (GetMenuState(menu, ID_AFTER_EXIT, MF_BYCOMMAND) & MF_CHECKED) != 0;
    };
    EXPECT_FALSE(checked());
    Command(ID_AFTER_EXIT);
    EXPECT_EQ(SendMessageW(after, CB_GETCURSEL, 0, 0), RunModeExit);
    EXPECT_TRUE(checked());
    // Choosing shutdown moves the mark; choosing exit again clears it.
    Command(ID_AFTER_SHUTDOWN);
    EXPECT_FALSE(checked());
    Command(ID_AFTER_EXIT);
    Command(ID_AFTER_EXIT);
    EXPECT_EQ(SendMessageW(after, CB_GETCURSEL, 0, 0), RunModeNothing);
    EXPECT_FALSE(checked());
}

TEST_F(MainWindowTest, EndOfSessionStopsTheRunAndStoresOrderAndLayout) {
    Open(SettingsText());
    Select({2});
    Command(ID_SETTING_UP);
    ASSERT_TRUE(options.dirtyOrder);
    SetWindowPos(frame->Handle(), nullptr, 33, 44, 700, 520, SWP_NOZORDER);
    Pump();
    Select({0});
    Command(ID_RUN_UPDATE);
    ASSERT_EQ(started.size(), 1u);
    MirrorBatch& batch = *started[0];
    MessageRecorder boxes;
    int answer = 0;
    DeleteChoice choice = DeleteChoice::Delete;
    std::thread worker([&] {
        WaitUntil("the end of the session to cancel the run", [&] { return batch.cancelRequested.load(); }, kPatience, 5);
        // Nobody is there to answer: the boxes answer themselves.
        answer = batch.host->ShowMessageBox(L"中止しました", L"中止", MB_ABORTRETRYIGNORE);
        choice = batch.host->ConfirmDelete({L"C:\\a\\x.txt", L"", 1});
        batch.host->StoreRunResults();
        batch.running = false;
    });
    EXPECT_TRUE(SendMessageW(frame->Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    SendMessageW(frame->Handle(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    worker.join();
    EXPECT_FALSE(batch.running);
    EXPECT_EQ(answer, IDABORT);
    EXPECT_EQ(choice, DeleteChoice::Abort);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(Stored(L"Define 1", L"Name"), L"C");
    EXPECT_EQ(Stored(L"Window", L"MainWindow"), L"33 44 733 564");
}

TEST_F(MainWindowTest, OpeningFoldersDuringARunKeepsTheRunsStatus) {
    Open(SettingsText());
    View().openInShell = [](HWND, const std::wstring&) { return true; };
    Select({0});
    Command(ID_RUN_UPDATE);
    SendMessageW(frame->Handle(), WM_TANDREL_STATUS, reinterpret_cast<WPARAM>(L"更新中"),
                 reinterpret_cast<LPARAM>(L"C:\\a\\x.txt"));
    Command(ID_OPEN_MASTER);
    EXPECT_EQ(frame->StatusText(), L"更新中 C:\\a\\x.txt");
    started[0]->running = false;
    Pump();
    Command(ID_OPEN_MASTER);
    EXPECT_EQ(frame->StatusText(), L"Tandrel Unicode");
}

TEST(ListTextTest, UnsetTimesShowTheBlankDate) {
    EXPECT_EQ(ListTime(0, L"%Y", L"----"), L"----");
}

TEST(ListTextTest, BlankDatesAreTimeFormatsOnly) {
    EXPECT_EQ(BlankDate(L"%Y/%m/%d %H:%M:%S"), L"----/--/-- --:--:--");
    // "%p" is the morning mark here, not the project; "?" and "%%" stay themselves.
    EXPECT_EQ(BlankDate(L"%p %I:%M ?"), L"-- --:-- ?");
    EXPECT_EQ(BlankDate(L"%#d日 %j %%"), L"--日 --- %");
    EXPECT_EQ(ResultText(-1, 0, L"%p", BlankDate(L"%p")), L"-- 不明");
}

}  // namespace
}  // namespace tandrel::test
