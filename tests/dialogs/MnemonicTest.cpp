// Every dialog template of the program gives each access key to one control
// only: a key that two controls share reaches only the first of them.
#include <gtest/gtest.h>

#include <windows.h>

#include <cwctype>
#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace tandrel {
namespace {

struct Template {
    int id;
    std::vector<std::wstring> texts;
};

// Reads a string or ordinal field of a template and moves past it.
std::wstring Field(const WORD*& at) {
    if (*at == 0xFFFF) {
        at += 2;
        return {};
    }
    std::wstring text(reinterpret_cast<const wchar_t*>(at));
    at += text.size() + 1;
    return text;
}

const WORD* AlignDword(const WORD* at) {
    return reinterpret_cast<const WORD*>((reinterpret_cast<ULONG_PTR>(at) + 3) & ~ULONG_PTR(3));
}

// The control texts of an extended template (every template of the program is one).
std::vector<std::wstring> ControlTexts(const void* resource) {
    const auto* words = static_cast<const WORD*>(resource);
    std::vector<std::wstring> texts;
    if (words[0] != 1 || words[1] != 0xFFFF) return texts;
    const auto* header = reinterpret_cast<const BYTE*>(resource);
    const WORD count = *reinterpret_cast<const WORD*>(header + 16);
    const DWORD style = *reinterpret_cast<const DWORD*>(header + 12);
    const WORD* at = reinterpret_cast<const WORD*>(header + 26);
    Field(at);  // menu
    Field(at);  // class
    Field(at);  // caption
    if (style & DS_SETFONT) {  // DS_SHELLFONT includes it
        at += 3;  // point size, weight, italic and character set
        Field(at);
    }
    for (WORD i = 0; i < count; ++i) {
        at = AlignDword(at);
        at = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(at) + 24);  // help id … id
        Field(at);                                                                     // class
        texts.push_back(Field(at));
        const WORD extra = *at++;
        at = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(at) + extra);
    }
    return texts;
}

BOOL CALLBACK CollectTemplate(HMODULE module, LPCWSTR, LPWSTR name, LONG_PTR found) {
    if (!IS_INTRESOURCE(name)) return TRUE;
    HRSRC info = FindResourceW(module, name, MAKEINTRESOURCEW(5));
    HGLOBAL data = info ? LoadResource(module, info) : nullptr;
    if (!data) return TRUE;
    reinterpret_cast<std::vector<Template>*>(found)->push_back(
        {static_cast<int>(reinterpret_cast<ULONG_PTR>(name)), ControlTexts(LockResource(data))});
    return TRUE;
}

// The access key of a text: the character after a single "&".
wchar_t AccessKey(const std::wstring& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != L'&') continue;
        if (text[i + 1] == L'&') {
            ++i;
            continue;
        }
        return static_cast<wchar_t>(std::towupper(text[i + 1]));
    }
    return 0;
}

TEST(MnemonicTest, EveryAccessKeyOfATemplateIsUnique) {
    std::vector<Template> templates;
    EnumResourceNamesW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(5), CollectTemplate,
                       reinterpret_cast<LONG_PTR>(&templates));
    ASSERT_GE(templates.size(), 10u);
    size_t keys = 0;
    for (const Template& t : templates) {
        std::map<wchar_t, std::wstring> seen;
        for (const std::wstring& text : t.texts) {
            const wchar_t key = AccessKey(text);
            if (!key) continue;
            ++keys;
            const auto [first, fresh] = seen.emplace(key, text);
            EXPECT_TRUE(fresh) << "template " << t.id << ": " << test::Utf8(first->second) << " / " << test::Utf8(text);
        }
    }
    // The parser read the controls, not nothing.
    EXPECT_GT(keys, 100u);
}

}  // namespace
}  // namespace tandrel
