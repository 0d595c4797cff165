// The window at 100 %, 150 % and 200 %: the columns hold their texts, the
// toolbar's images and every fixed size follow the scale, and a move to a
// screen of another scale (WM_DPICHANGED) rebuilds fonts and sizes.
#include "MainWindowFixture.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

#include "framework/ListView.h"
#include "resource.h"
#include "ui/Fonts.h"

namespace tandrel::test {
namespace {

// The settings of a test at one scale: a setting with a result, a file row.
std::wstring ScaleSettings() {
    return L"[Save]\r\nSaveRegistory=0\r\n[Options]\r\nListCount=1\r\n[Define 0]\r\nName=写真のバックアップ\r\n"
           L"Master=C:\\データ\\写真\r\nBackup=E:\\控え\\写真\r\nLastExec=1704164645\r\nErrors=0\r\n";
}

// Whether every column is at least as wide as its title and its cells in
// the list's own font, with the room the list keeps around a text.
void ExpectColumnsFit(HWND list, int columns, const char* which) {
    const UINT dpi = GetDpiForWindow(list);
    const int margin = MulDiv(12, static_cast<int>(dpi), 96);
    for (int c = 0; c < columns; ++c) {
        const std::wstring title = listview::ColumnTitle(list, c);
        std::vector<std::wstring> texts{title};
        for (int row = 0; row < listview::RowCount(list); ++row) texts.push_back(listview::Text(list, row, c));
        const int width = listview::ColumnWidth(list, c);
        for (const std::wstring& text : texts) {
            // The first column of the setting list shows a check box, not its text.
            if (c == 0 && text != title && GetDlgCtrlID(list) == IDC_SETUP_LIST) continue;
            const int needed =
                static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str()))) +
                margin;
            EXPECT_GE(width, needed) << which << " column " << c << " at " << dpi << ": " << Utf8(text);
        }
    }
}

// Run at the scale the prefix had when this program started; the suite
// runs it at 100 % and starts it again at 150 % and 200 % (below).
TEST_F(MainWindowTest, AtThisScaleTheColumnsFitAndSizesFollow) {
    const UINT dpi = GetDpiForSystem();
    if (const char* expected = std::getenv("TANDREL_EXPECTED_DPI")) {
        ASSERT_EQ(dpi, static_cast<UINT>(std::atoi(expected)));
    }
    Open(ScaleSettings());
    const auto scaled = [dpi](int size) { return MulDiv(size, static_cast<int>(dpi), 96); };
    EXPECT_EQ(GetDpiForWindow(frame->Handle()), dpi);
    const std::time_t t = 1704164645;
    OnWorker([&] {
        View().Host().AddReportRow({RowAction::Error, L"写真\\2024\\旅行\\IMG_0001.JPG", FileTimeOf(t), FileTimeOf(t), 1073741823});
        View().Host().AddReportRow({RowAction::Skip, L"a.txt", FileTimeOf(t), FileTimeOf(t), 1023});
    });
    ASSERT_TRUE(PumpUntil([&] { return listview::RowCount(ReportList()) == 2; }));
    ExpectColumnsFit(SetupList(), 5, "setting list");
    ExpectColumnsFit(ReportList(), 5, "report list");
    // The defaults grew with the scale, or more where their texts need it.
    EXPECT_GE(listview::ColumnWidth(SetupList(), 4), scaled(160));
    EXPECT_EQ(listview::ColumnWidth(SetupList(), 1), scaled(240));

    // The toolbar's images for the scale, its buttons wide enough for them.
    int image = 0, height = 0;
    ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageW(frame->Toolbar(), TB_GETIMAGELIST, 0, 0)), &image,
                          &height);
    EXPECT_EQ(image, dpi >= 168 ? 40 : dpi >= 144 ? 30 : 20);
    const DWORD button = static_cast<DWORD>(SendMessageW(frame->Toolbar(), TB_GETBUTTONSIZE, 0, 0));
    EXPECT_GE(static_cast<int>(LOWORD(button)), scaled(48));
    // The divider strip and the control bar's smallest height.
    View().SetDivider(scaled(100));
    EXPECT_EQ(View().Divider(), scaled(100));
    View().SetDivider(scaled(7));
    EXPECT_EQ(View().Divider(), 0);
    RECT bar{};
    GetWindowRect(frame->ControlBar(), &bar);
    EXPECT_GE(bar.bottom - bar.top, scaled(24));
}

// Sets the prefix's screen scale for the programs started from now on, and
// puts the old one back.
class LogPixels {
public:
    explicit LogPixels(DWORD dpi) {
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                        &key_, nullptr);
        DWORD size = sizeof old_;
        had_ = RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&old_), &size) ==
               ERROR_SUCCESS;
        RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    }
    ~LogPixels() {
        if (had_) {
            RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_), sizeof old_);
        } else {
            RegDeleteValueW(key_, L"LogPixels");
        }
        RegCloseKey(key_);
    }

private:
    HKEY key_ = nullptr;
    DWORD old_ = 96;
    bool had_ = false;
};

// This test program started again with only the test above, its output
// passed on; its exit code. The output goes through a file, not a pipe: a
// Wine service the copy starts would inherit a pipe and keep it open.
DWORD RunScaleTestAt(DWORD dpi) {
    LogPixels scale(dpi);
    TempDir dir;
    const std::wstring output = dir / L"output.txt";
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) +
                           L"\" --gtest_brief=1 --gtest_filter=MainWindowTest.AtThisScaleTheColumnsFitAndSizesFollow";
    SetEnvironmentVariableW(L"TANDREL_EXPECTED_DPI", std::to_wstring(dpi).c_str());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = file;
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessW(self, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(L"TANDREL_EXPECTED_DPI", nullptr);
    CloseHandle(file);
    if (!started) return static_cast<DWORD>(-1);
    // The copy's own waits end it; only a hang reaches this deadline (its
    // output, printed below, tells where it was).
    const DWORD code = WaitForExit(pi.hProcess, "the test's copy at that scale");
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    const std::string text = ReadBytes(output);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return code;
}

TEST(DpiTest, At150And200PercentTheColumnsFitAndSizesFollow) {
    // The scale is read once per program (Wine 8 reads LogPixels at a
    // program's start, not only the wineserver's).
    if (std::getenv("TANDREL_EXPECTED_DPI")) GTEST_SKIP() << "already the started copy";
    EXPECT_EQ(RunScaleTestAt(144), 0u);
    EXPECT_EQ(RunScaleTestAt(192), 0u);
}

TEST_F(MainWindowTest, AMoveToAScreenOfAnotherScaleRebuildsFontsAndSizes) {
    // The report list's widths are the user's, the setting list's the defaults.
    Open(ScaleSettings(), [](AppState& o) { o.ReportList = ColumnWidths{100, 300, 150, 150, 90}; });
    ASSERT_EQ(listview::ColumnWidth(ReportList(), 1), 300);
    const UINT from = GetDpiForWindow(frame->Handle());
    const UINT to = from * 2;
    const auto twice = [](int size) { return size * 2; };
    const int column = listview::ColumnWidth(SetupList(), 1);
    const int divider = View().Divider();
    const auto fontHeight = [](HWND window) {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font);
        return std::abs(static_cast<int>(font.lfHeight));
    };
    HWND projects = GetDlgItem(frame->ControlBar(), IDC_PROJECT_COMBO);
    const int barFont = fontHeight(projects);
    RECT suggested{40, 30, 40 + 1000, 30 + 700};
    // As the system sends it when the window reaches the other screen.
    SendMessageW(frame->Handle(), WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
    Pump();
    RECT r{};
    GetWindowRect(frame->Handle(), &r);
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.right - r.left, 1000);
    EXPECT_EQ(r.bottom - r.top, 700);
    EXPECT_EQ(listview::ColumnWidth(SetupList(), 1), twice(column));
    EXPECT_EQ(View().Divider(), twice(divider));
    EXPECT_NEAR(fontHeight(projects), twice(barFont), 2);
    EXPECT_EQ(listview::ColumnWidth(ReportList(), 1), 600);
    // The lists take the window's font at the new scale.
    EXPECT_EQ(fontHeight(SetupList()), MulDiv(SystemCaptionFont().size, static_cast<int>(to), 720));
    EXPECT_EQ(fontHeight(ReportList()), MulDiv(SystemCaptionFont().size, static_cast<int>(to), 720));
    int image = 0, height = 0;
    ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageW(frame->Toolbar(), TB_GETIMAGELIST, 0, 0)), &image,
                          &height);
    EXPECT_EQ(image, 40);
}

}  // namespace
}  // namespace tandrel::test
