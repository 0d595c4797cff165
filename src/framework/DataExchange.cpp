#include "framework/DataExchange.h"

#include <cwctype>

namespace tandrel {

bool GetCheck(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SetCheck(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }

std::wstring GetText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), length + 1)));
    return text;
}

void SetText(HWND dialog, int id, const std::wstring& text) { SetDlgItemTextW(dialog, id, text.c_str()); }

int GetRadio(HWND dialog, int first, int last) {
    for (int id = first; id <= last; ++id) {
        if (GetCheck(dialog, id)) return id - first;
    }
    return -1;
}

void SetRadio(HWND dialog, int first, int last, int index) { CheckRadioButton(dialog, first, last, first + index); }

int GetComboIndex(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

void SetComboIndex(HWND dialog, int id, int index) { SendDlgItemMessageW(dialog, id, CB_SETCURSEL, index, 0); }

void AddComboItem(HWND dialog, int id, const std::wstring& text) {
    SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

IntCheck ParseIntField(const std::wstring& text, int min, int max, int& value) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
    const size_t digits = i;
    long long number = 0;
    bool tooLarge = false;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        number = number * 10 + (text[i] - L'0');
        if (number > 0xFFFFFFFFll) tooLarge = true, number = 0xFFFFFFFFll;
    }
    while (i < text.size() && std::iswspace(text[i])) ++i;
    if (i == digits || i != text.size()) return IntCheck::NotInteger;
    if (negative) number = -number;
    if (tooLarge || number < min || number > max) return IntCheck::OutOfRange;
    value = static_cast<int>(number);
    return IntCheck::Ok;
}

}  // namespace tandrel
