#pragma once
// Files dropped on a window as the shell hands them over.
#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tandrel::test {

inline void Drop(HWND target, const std::vector<std::wstring>& paths) {
    size_t chars = 1;
    for (const auto& p : paths) chars += p.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* out = reinterpret_cast<wchar_t*>(drop + 1);
    for (const auto& p : paths) out = std::copy(p.begin(), p.end(), out) + 1;
    GlobalUnlock(memory);
    SendMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

}  // namespace tandrel::test
