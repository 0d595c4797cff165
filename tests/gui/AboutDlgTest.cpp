#include <gtest/gtest.h>

#include "TestSupport.h"
#include "dialogs/AboutDlg.h"
#include "resource.h"

namespace tandrel {
namespace {

TEST(AboutDlgTest, ShowsNameVersionAndBuild) {
    std::wstring text;
    int separatorHeight = -1;
    INT_PTR result = 0;
    // The dialog is modal: a second thread reads it and closes it.
    const bool seen = test::DriveDialog(
        L"バージョン情報", false,
        [&](HWND dialog) {
            wchar_t buffer[256] = {};
            GetDlgItemTextW(dialog, IDC_ABOUT_TEXT, buffer, 256);
            text = buffer;
            RECT r{};
            GetWindowRect(GetDlgItem(dialog, IDC_ABOUT_SEPARATOR), &r);
            separatorHeight = r.bottom - r.top;
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        },
        [&] { result = CAboutDlg(test::kFileVersion).RunModal(nullptr); });
    ASSERT_TRUE(seen);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(text, L"Tandrel Unicode Ver." + std::wstring(test::kFileVersion) + L" (w2k)");
    EXPECT_EQ(separatorHeight, 2);
}

}  // namespace
}  // namespace tandrel
