#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "dialogs/AboutDlg.h"
#include "resource.h"

namespace tandrel {
namespace {

TEST(AboutDlgTest, ShowsNameVersionAndBuild) {
    std::wstring text;
    int separatorHeight = -1;
    std::atomic<bool> seen{false};
    // The dialog is modal: a second thread reads it and closes it.
    std::thread reader([&] {
        for (int i = 0; i < 200 && !seen; ++i) {
            HWND dialog = FindWindowW(L"#32770", L"バージョン情報");
            if (dialog && GetDlgItem(dialog, IDC_ABOUT_TEXT)) {
                wchar_t buffer[256] = {};
                GetDlgItemTextW(dialog, IDC_ABOUT_TEXT, buffer, 256);
                text = buffer;
                RECT r{};
                GetWindowRect(GetDlgItem(dialog, IDC_ABOUT_SEPARATOR), &r);
                separatorHeight = r.bottom - r.top;
                seen = true;
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            }
            Sleep(50);
        }
    });
    const INT_PTR result = CAboutDlg(L"0.400").RunModal(nullptr);
    reader.join();
    ASSERT_TRUE(seen);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(text, L"Tandrel Unicode Ver.0.400 (w2k)");
    EXPECT_EQ(separatorHeight, 2);
}

}  // namespace
}  // namespace tandrel
