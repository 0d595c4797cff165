#include <gtest/gtest.h>

#include "framework/DialogFont.h"
#include "resource.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

// The face and pixel height a dialog's font came out with.
struct FontSeen {
    std::wstring face;
    LONG height = 0;
};

FontSeen FontOf(HWND dialog) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
    return {font.lfFaceName, font.lfHeight};
}

std::wstring ItemText(HWND dialog, int id) {
    wchar_t text[256] = {};
    GetDlgItemTextW(dialog, id, text, 256);
    return text;
}

LONG PixelHeight(int points) {
    HDC screen = GetDC(nullptr);
    const LONG height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    return height;
}

// Looks at itself once it is up and ends at once.
class ProbeDialog : public Dialog {
public:
    explicit ProbeDialog(int id) : Dialog(id) {}
    FontSeen font;
    std::wstring text;

protected:
    bool OnInit() override {
        font = FontOf(Handle());
        text = ItemText(Handle(), IDC_ABOUT_TEXT);
        End(77);
        return true;
    }
};

TEST(DialogFontTest, RunsATemplateInTheGivenFont) {
    ProbeDialog dialog(IDD_ABOUTBOX);
    EXPECT_EQ(RunDialogWithFont(dialog, nullptr, L"Tandrel Test Face", 14), 77);
    EXPECT_EQ(dialog.font.face, L"Tandrel Test Face");
    EXPECT_EQ(dialog.font.height, PixelHeight(14));
    EXPECT_EQ(dialog.text, L"Tandrel Unicode");

    // No face or no size: the template's own font.
    for (const auto& [face, size] : {std::pair{L"", 14}, std::pair{L"Tandrel Test Face", 0}}) {
        ProbeDialog plain(IDD_ABOUTBOX);
        EXPECT_EQ(RunDialogWithFont(plain, nullptr, face, size), 77);
        EXPECT_NE(plain.font.face, L"Tandrel Test Face");
        EXPECT_EQ(plain.text, L"Tandrel Unicode");
    }

    ProbeDialog missing(9999);
    EXPECT_EQ(RunDialogWithFont(missing, nullptr, L"Tandrel Test Face", 14), -1);
}

// A classic (non-extended) template with one static item, with or without
// a font of its own.
std::vector<BYTE> ClassicTemplate(bool withFont) {
    std::vector<BYTE> t;
    const auto put = [&](const void* p, size_t n) {
        const auto* b = static_cast<const BYTE*>(p);
        t.insert(t.end(), b, b + n);
    };
    const auto word = [&](WORD w) { put(&w, 2); };
    const auto text = [&](const wchar_t* s) { put(s, (wcslen(s) + 1) * 2); };
    const auto align = [&] {
        while (t.size() % 4) t.push_back(0);
    };
    DLGTEMPLATE header{};
    header.style = WS_POPUP | WS_CAPTION | (withFont ? DS_SETFONT : 0);
    header.cdit = 1;
    header.cx = 100;
    header.cy = 40;
    put(&header, 18);
    word(0);  // no menu
    word(0);  // default class
    text(L"Probe");
    if (withFont) {
        word(8);
        text(L"A Rather Long Original Face Name");
    }
    align();
    DLGITEMTEMPLATE item{};
    item.style = WS_CHILD | WS_VISIBLE | SS_LEFT;
    item.x = 4;
    item.y = 4;
    item.cx = 90;
    item.cy = 10;
    item.id = 1234;
    put(&item, 18);
    word(0xFFFF);
    word(0x0082);  // static
    text(L"hello item");
    word(0);  // no creation data
    return t;
}

INT_PTR CALLBACK PassiveProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

TEST(DialogFontTest, RewritesClassicTemplates) {
    for (bool withFont : {true, false}) {
        const std::vector<BYTE> original = ClassicTemplate(withFont);
        const std::vector<BYTE> changed = TemplateWithFont(original.data(), original.size(), L"Tandrel Face", 11);
        ASSERT_FALSE(changed.empty());
        HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                                 reinterpret_cast<const DLGTEMPLATE*>(changed.data()), nullptr,
                                                 PassiveProc, 0);
        ASSERT_NE(dialog, nullptr) << withFont;
        EXPECT_EQ(FontOf(dialog).face, L"Tandrel Face");
        EXPECT_EQ(FontOf(dialog).height, PixelHeight(11));
        EXPECT_EQ(ItemText(dialog, 1234), L"hello item") << withFont;
        DestroyWindow(dialog);
    }
}

TEST(DialogFontTest, MalformedTemplatesGiveNothing) {
    const std::vector<BYTE> about = LoadDialogTemplate(IDD_ABOUTBOX);
    ASSERT_GT(about.size(), 60u);
    EXPECT_FALSE(TemplateWithFont(about.data(), about.size(), L"F", 9).empty());
    for (size_t cut : {size_t(0), size_t(3), size_t(25), size_t(40)}) {
        EXPECT_TRUE(TemplateWithFont(about.data(), cut, L"F", 9).empty()) << cut;
    }
    EXPECT_TRUE(TemplateWithFont(nullptr, 100, L"F", 9).empty());
    EXPECT_TRUE(LoadDialogTemplate(9999).empty());
}

}  // namespace
}  // namespace tandrel
