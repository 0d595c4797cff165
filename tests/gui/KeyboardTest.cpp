// The window without a mouse: Tab and F6 through the panes, the lists'
// menus from the keyboard at the focused row, the setting's name for screen
// readers, and the tray icon's keyboard events.
#include "MainWindowFixture.h"

#include <commctrl.h>

#include <atomic>
#include <thread>

#include "framework/ListView.h"
#include "resource.h"
#include "ui/UserMessages.h"

namespace tandrel::test {
namespace {

class KeyboardTest : public MainWindowTest {
protected:
    void OpenInFront() {
        Open(SettingsText());
        SetForegroundWindow(frame->Handle());
        SetFocus(SetupList());
        Pump();
    }
    // The key pressed and released on the window with the keyboard focus,
    // with Shift held when asked: the key messages as the system posts them
    // and the keyboard state they are read with. (Wine 8 hands keys sent
    // with SendInput only to the first program started on its display.)
    void Press(WORD key, bool shift = false) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        const BYTE shiftBefore = keys[VK_SHIFT];
        if (shift) keys[VK_SHIFT] |= 0x80;
        SetKeyboardState(keys);
        // F10 is a system key, as Alt combinations are.
        const bool system = key == VK_F10;
        HWND focus = GetFocus();
        PostMessageW(focus, system ? WM_SYSKEYDOWN : WM_KEYDOWN, key, 1);
        PostMessageW(focus, system ? WM_SYSKEYUP : WM_KEYUP, key, 0xC0000001);
        Pump();
        GetKeyboardState(keys);
        keys[VK_SHIFT] = shiftBefore;
        SetKeyboardState(keys);
    }
    // Runs open (which opens a popup menu and returns when it closes) while a
    // second thread notes the menu's place and size and closes it.
    struct Popup {
        bool shown = false;
        RECT place{};
        int items = 0;
    };
    Popup WatchPopup(const std::function<void()>& open) {
        Popup popup;
        std::atomic<bool> done{false};
        std::thread watcher([&] {
            HWND menu = nullptr;
            WaitUntil([&] { return done || ((menu = FindWindowW(L"#32768", nullptr)) && IsWindowVisible(menu)); });
            if (done || !menu) return;
            popup.shown = true;
            GetWindowRect(menu, &popup.place);
            popup.items = GetMenuItemCount(reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0)));
            PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        });
        open();
        done = true;
        watcher.join();
        return popup;
    }
    // Screen point below the start of a list's row.
    POINT RowCorner(HWND list, int row) {
        RECT r{};
        r.left = LVIR_LABEL;
        SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
        POINT at{r.left, r.bottom};
        ClientToScreen(list, &at);
        return at;
    }
};

TEST_F(KeyboardTest, TabAndF6GoThroughTheBarAndBothLists) {
    OpenInFront();
    HWND bar = frame->ControlBar();
    HWND projects = GetDlgItem(bar, IDC_PROJECT_COMBO), edit = GetDlgItem(bar, IDC_PROJECT_EDIT),
         after = GetDlgItem(bar, IDC_AFTER_LIST);
    ASSERT_EQ(GetFocus(), SetupList());
    std::vector<HWND> visited;
    for (int i = 0; i < 5; ++i) {
        Press(VK_TAB);
        visited.push_back(GetFocus());
    }
    EXPECT_EQ(visited, (std::vector<HWND>{ReportList(), projects, edit, after, SetupList()}));
    Press(VK_TAB, true);
    EXPECT_EQ(GetFocus(), after);

    // F6 goes pane by pane; a disabled control is passed over.
    SetFocus(SetupList());
    visited.clear();
    for (int i = 0; i < 3; ++i) {
        Press(VK_F6);
        visited.push_back(GetFocus());
    }
    EXPECT_EQ(visited, (std::vector<HWND>{ReportList(), projects, SetupList()}));
    Press(VK_F6, true);
    EXPECT_EQ(GetFocus(), projects);
    Select({0});
    Command(ID_RUN_UPDATE);
    SetFocus(ReportList());
    Press(VK_F6);
    EXPECT_EQ(GetFocus(), after);
}

TEST_F(KeyboardTest, ShiftF10AndTheMenuKeyOpenTheListsMenusAtTheFocusedRow) {
    OpenInFront();
    Select({2});
    listview::SetFocused(SetupList(), 2);
    const Popup setup = WatchPopup([&] { Press(VK_F10, true); });
    ASSERT_TRUE(setup.shown);
    EXPECT_EQ(setup.items, 18);
    const POINT corner = RowCorner(SetupList(), 2);
    EXPECT_EQ(setup.place.left, corner.x);
    EXPECT_EQ(setup.place.top, corner.y);

    // The report list is reached by keyboard and has its menu there too.
    OnWorker([&] {
        View().Host().AddReportRow({RowAction::Create, L"a.txt", {}, {}, {}});
        View().Host().AddReportRow({RowAction::Create, L"b.txt", {}, {}, {}});
    });
    ASSERT_TRUE(PumpUntil([&] { return listview::RowCount(ReportList()) == 2; }));
    Press(VK_TAB);
    ASSERT_EQ(GetFocus(), ReportList());
    Press(VK_DOWN);
    Press(VK_DOWN);
    // The menu key: the system posts the keyboard's WM_CONTEXTMENU to the
    // window with the focus (Wine makes it from the key's hardware message).
    const Popup report = WatchPopup([&] {
        PostMessageW(GetFocus(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(GetFocus()), -1);
        Pump();
    });
    ASSERT_TRUE(report.shown);
    EXPECT_EQ(report.items, 2);
    const int focused = static_cast<int>(SendMessageW(ReportList(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    ASSERT_GE(focused, 0);
    const POINT reportCorner = RowCorner(ReportList(), focused);
    EXPECT_EQ(report.place.left, reportCorner.x);
    EXPECT_EQ(report.place.top, reportCorner.y);
}

TEST_F(KeyboardTest, TheFirstColumnNamesTheSettingForScreenReadersAndShowsOnlyTheCheckBox) {
    Open(SettingsText());
    EXPECT_EQ(Column(SetupList(), 0), (std::vector<std::wstring>{L"A", L"B", L"C"}));
    // Painted into a bitmap: right of the check box the first column is
    // the list's background, while the name column beside it has text.
    HWND list = SetupList();
    Select({});
    const std::wstring longName = L"ああああああああああ";
    auto& settings = const_cast<std::vector<FolderSetting>&>(View().Settings());
    settings[0].Name = longName;
    View().SetupList().UpdateRow(0, settings[0]);
    EXPECT_EQ(Cell(list, 0, 0), longName);
    RECT client{};
    GetClientRect(list, &client);
    HDC screen = GetDC(list);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const COLORREF background = static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0));
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    SendMessageW(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    RECT row{};
    row.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    const int firstWidth = listview::ColumnWidth(list, 0);
    const auto inkBetween = [&](int left, int right) {
        int ink = 0;
        for (int x = left; x < right; ++x) {
            for (int y = row.top + 2; y < row.bottom - 2; ++y) ink += GetPixel(dc, x, y) != background;
        }
        return ink;
    };
    const int checkWidth = GetSystemMetrics(SM_CXSMICON) + 4;
    EXPECT_EQ(inkBetween(checkWidth, firstWidth - 1), 0);
    EXPECT_GT(inkBetween(firstWidth + 4, firstWidth + 60), 0);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(list, screen);
}

TEST_F(MainWindowTest, TheTrayIconAnswersTheKeyboard) {
    Open(SettingsText());
    ASSERT_TRUE(View().Tray().Added());
    HWND window = frame->Handle();
    ShowWindow(window, SW_HIDE);
    const bool newer = View().Tray().Version4();
    // Enter on the icon (the newer protocol; the older knows only the mouse).
    SendMessageW(View().Handle(), WM_TANDREL_TRAY, MAKEWPARAM(100, 100),
                 newer ? MAKELPARAM(NIN_KEYSELECT, 1000) : WM_LBUTTONDBLCLK);
    Pump();
    EXPECT_TRUE(IsWindowVisible(window));
    if (!newer) GTEST_SKIP() << "the shell refused the newer protocol";
    // Shift+F10 or the menu key on the icon: its menu at the icon's point.
    std::atomic<bool> done{false};
    RECT place{};
    std::thread watcher([&] {
        HWND menu = nullptr;
        WaitUntil([&] { return done || ((menu = FindWindowW(L"#32768", nullptr)) && IsWindowVisible(menu)); });
        if (done || !menu) return;
        GetWindowRect(menu, &place);
        PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    SendMessageW(View().Handle(), WM_TANDREL_TRAY, MAKEWPARAM(120, 130), MAKELPARAM(WM_CONTEXTMENU, 1000));
    done = true;
    watcher.join();
    EXPECT_EQ(place.left, 120);
    EXPECT_EQ(place.top, 130);
}

TEST_F(KeyboardTest, EscInAnOpenDropDownClosesItAndStopsNoRun) {
    OpenInFront();
    Command(ID_RUN_ALL_TEST);
    ASSERT_TRUE(View().Running());
    HWND list = GetDlgItem(frame->ControlBar(), IDC_AFTER_LIST);
    SetFocus(list);
    SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
    Pump();
    ASSERT_TRUE(SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0));
    Press(VK_ESCAPE);
    EXPECT_FALSE(SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_FALSE(View().Batch().cancelRequested);
    // With the list closed, Esc is 中止 again.
    Press(VK_ESCAPE);
    EXPECT_TRUE(View().Batch().cancelRequested);
}

}  // namespace
}  // namespace tandrel::test
