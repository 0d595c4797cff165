#include "platform/Strings.h"

#include <windows.h>

#include <cstdarg>
#include <cwchar>
#include <climits>
#include <utility>
#include <vector>

namespace tandrel {

std::wstring LoadText(unsigned id) {
    // With a zero buffer size LoadStringW hands out a pointer into the
    // resource itself, so texts of any length come back whole.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return {};
    return std::wstring(text, static_cast<size_t>(length));
}

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to) {
    if (from.empty()) return;
    size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::wstring::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

std::wstring InsertArgs(std::wstring text, const std::wstring& first, const std::wstring* second) {
    // Both inserts are placed in one pass, so an insert that itself holds
    // "%2" is not expanded again.
    std::wstring out;
    out.reserve(text.size() + first.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 1 < text.size()) {
            if (text[i + 1] == L'1') {
                out += first;
                ++i;
                continue;
            }
            if (text[i + 1] == L'2' && second) {
                out += *second;
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::wstring Format(const wchar_t* format, ...) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list args;
        va_start(args, format);
        const int n = _vsnwprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (n >= 0 && static_cast<size_t>(n) < buffer.size()) return std::wstring(buffer.data(), static_cast<size_t>(n));
        if (buffer.size() > (1u << 24)) return {};
        buffer.resize(buffer.size() * 2);
    }
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

int ParseLeadingInt(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return static_cast<int>(value);
}

std::vector<wchar_t> CaseMapTable(bool lower) {
    std::vector<wchar_t> table(0x10000);
    std::wstring chars;
    for (unsigned c = 0; c < 0x10000; ++c) {
        // ASCII at least, should the system's mapping fail.
        const bool letter = lower ? (c >= L'A' && c <= L'Z') : (c >= L'a' && c <= L'z');
        table[c] = static_cast<wchar_t>(letter ? (lower ? c + 32 : c - 32) : c);
        if (c != 0 && (c < 0xD800 || c > 0xDFFF)) chars += static_cast<wchar_t>(c);
    }
    std::wstring mapped(chars.size(), L'\0');
    const int n = static_cast<int>(chars.size());
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, lower ? LCMAP_LOWERCASE : LCMAP_UPPERCASE, chars.data(), n, mapped.data(),
                      n, nullptr, nullptr, 0) == n) {
        for (size_t i = 0; i < chars.size(); ++i) table[chars[i]] = mapped[i];
    }
    return table;
}

int CompareVersions(const std::wstring& a, const std::wstring& b) {
    const auto parts = [](const std::wstring& text) -> std::pair<int, int> {
        const size_t dot = text.find(L'.');
        if (dot == std::wstring::npos || dot == 0) return {0, 0};
        return {ParseLeadingInt(text.substr(0, dot)), ParseLeadingInt(text.substr(dot + 1))};
    };
    const auto pa = parts(a), pb = parts(b);
    if (pa == pb) return 0;
    return pa < pb ? -1 : 1;
}

std::vector<std::wstring> SplitList(const std::wstring& list) {
    std::vector<std::wstring> entries;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(L';', start);
        if (end == std::wstring::npos) end = list.size();
        if (end > start) entries.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

std::wstring JoinList(const std::vector<std::wstring>& entries) {
    std::wstring text;
    for (const std::wstring& entry : entries) {
        if (!text.empty()) text += L';';
        text += entry;
    }
    return text;
}

}  // namespace tandrel
