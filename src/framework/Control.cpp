#include "framework/Control.h"

#include <commctrl.h>

namespace tandrel {

SubclassedControl::~SubclassedControl() {
    if (hwnd_) {
        RemoveWindowSubclass(hwnd_, Proc, 1);
        DestroyWindow(hwnd_);
    }
}

bool SubclassedControl::CreateControl(const wchar_t* className, DWORD style, DWORD exStyle, HWND parent, int id) {
    hwnd_ = CreateWindowExW(exStyle, className, nullptr, style | WS_CHILD, 0, 0, 0, 0, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (!hwnd_) return false;
    SetWindowSubclass(hwnd_, Proc, 1, reinterpret_cast<DWORD_PTR>(this));
    return true;
}

LRESULT SubclassedControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

LRESULT SubclassedControl::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK SubclassedControl::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR data) {
    auto* self = reinterpret_cast<SubclassedControl*>(data);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, Proc, 1);
        self->hwnd_ = nullptr;
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

std::vector<std::wstring> TakeDroppedFiles(HDROP drop) {
    std::vector<std::wstring> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
        paths.push_back(path);
    }
    DragFinish(drop);
    return paths;
}

}  // namespace tandrel
