#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "dialogs/AboutDlg.h"
#include "framework/DialogFont.h"
#include "resource.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

// The face of the font a dialog shows, read while it is open; the driver
// then closes it with OK.
std::wstring FaceWhileOpen(const wchar_t* caption, const std::function<INT_PTR()>& run, INT_PTR& result) {
    std::wstring face;
    const bool found = test::DriveDialog(
        caption, false,
        [&](HWND dialog) {
            LOGFONTW font{};
            auto handle = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
            if (handle && GetObjectW(handle, sizeof font, &font)) face = font.lfFaceName;
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        },
        [&] { result = run(); });
    EXPECT_TRUE(found) << caption;
    return face;
}

class PlainDialog : public Dialog {
public:
    PlainDialog() : Dialog(IDD_ABOUTBOX) {}
};

TEST(DialogFontTest, TemplatesTakeTheFontOrKeepTheirOwn) {
    const std::vector<BYTE> original = LoadDialogTemplate(IDD_ABOUTBOX);
    ASSERT_GT(original.size(), 40u);
    INT_PTR result = 0;
    PlainDialog dialog;
    EXPECT_EQ(FaceWhileOpen(L"バージョン情報",
                            [&] { return RunTemplateWithFont(dialog, nullptr, original, L"Tahoma", 11); }, result),
              L"Tahoma");
    EXPECT_EQ(result, IDOK);

    // A template that cannot be given the font: the dialog still shows, in
    // the font of its own template.
    const std::vector<BYTE> cut(original.begin(), original.begin() + 30);
    EXPECT_TRUE(TemplateWithFont(cut.data(), cut.size(), L"Tahoma", 11).empty());
    result = 0;
    const std::wstring own =
        FaceWhileOpen(L"バージョン情報", [&] { return RunTemplateWithFont(dialog, nullptr, cut, L"Tahoma", 11); }, result);
    EXPECT_EQ(result, IDOK);
    EXPECT_NE(own, L"Tahoma");
    EXPECT_FALSE(own.empty());

    // A template the program does not have is no dialog at all.
    class Missing : public Dialog {
    public:
        Missing() : Dialog(4999) {}
    } missing;
    EXPECT_EQ(RunDialogWithFont(missing, nullptr, L"Tahoma", 11), -1);
}

TEST(DialogFontTest, AboutBoxShowsTheUsersDialogFont) {
    GlobalOptions options;
    options.fonts[FontDialog] = FontSlot{L"Tahoma", 110};
    INT_PTR result = 0;
    CAboutDlg about(L"1.000");
    EXPECT_EQ(FaceWhileOpen(L"バージョン情報", [&] {
        about.Show(nullptr, options);
        return static_cast<INT_PTR>(IDOK);
    }, result), L"Tahoma");
    // The font stays the process's for boxes opened from other threads.
    EXPECT_EQ(UserDialogFace(), L"Tahoma");
    EXPECT_EQ(UserDialogPointSize(), 11);
    SetUserDialogFont(L"", 0);
}

}  // namespace
}  // namespace tandrel
