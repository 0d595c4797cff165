#include "framework/Window.h"

#include <windowsx.h>

namespace tandrel {

RECT KeepOnWorkArea(const RECT& r) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &info)) return r;
    const RECT& work = info.rcWork;
    int dx = 0, dy = 0;
    if (r.right > work.right) dx = work.right - r.right;
    if (r.left + dx < work.left) dx = work.left - r.left;
    if (r.bottom > work.bottom) dy = work.bottom - r.bottom;
    if (r.top + dy < work.top) dy = work.top - r.top;
    RECT out = r;
    OffsetRect(&out, dx, dy);
    return out;
}

UINT WindowDpi(HWND window) {
    const UINT dpi = window ? GetDpiForWindow(window) : 0;
    return dpi ? dpi : GetDpiForSystem();
}

RECT FindOnScreen(const RECT& r) {
    return MonitorFromRect(&r, MONITOR_DEFAULTTONULL) ? r : KeepOnWorkArea(r);
}


Window::~Window() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

bool Window::Create(const wchar_t* className, const std::wstring& title, DWORD style, DWORD exStyle, int x, int y,
                    int width, int height, HWND parent, HMENU menu, HICON icon) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(instance, className, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = StaticProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = className;
        wc.hIcon = icon;
        wc.hIconSm = icon;
        if (!RegisterClassExW(&wc)) return false;
    }
    return CreateWindowExW(exStyle, className, title.c_str(), style, x, y, width, height, parent, menu, instance,
                           this) != nullptr;
}

LRESULT Window::Default() {
    if (!current_) return 0;
    current_->result = DefWindowProcW(hwnd_, current_->message, current_->wParam, current_->lParam);
    return current_->result;
}

LRESULT Window::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    // A handler may send to its own window: the outer message comes back after.
    Current current{message, wParam, lParam, 0};
    Current* const outer = current_;
    current_ = &current;
    const LRESULT result = Split(current);
    current_ = outer;
    return result;
}

LRESULT Window::Split(const Current& current) {
    const WPARAM wParam = current.wParam;
    const LPARAM lParam = current.lParam;
    const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    // A handler without an answer of its own answers the system's, when it asked for it, else 0.
    switch (current.message) {
        case WM_CREATE:
            return OnCreate(*reinterpret_cast<const CREATESTRUCTW*>(lParam)) ? 0 : -1;
        case WM_DESTROY: OnDestroy(); break;
        case WM_CLOSE: OnClose(lParam); break;
        case WM_SIZE: OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); break;
        case WM_MOVE: OnMove(at.x, at.y); break;
        case WM_SETFOCUS: OnSetFocus(reinterpret_cast<HWND>(wParam)); break;
        case WM_PAINT: OnPaint(); break;
        case WM_ERASEBKGND: return OnEraseBackground(reinterpret_cast<HDC>(wParam)) ? 1 : 0;
        case WM_TIMER: OnTimer(wParam); break;
        case WM_COMMAND:
            if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return 0;
            return Default();
        case WM_NOTIFY: return OnNotify(*reinterpret_cast<NMHDR*>(lParam));
        case WM_SYSCOMMAND:
            if (OnSysCommand(static_cast<UINT>(wParam), lParam)) return 0;
            return Default();
        case WM_INITMENUPOPUP:
            OnInitMenuPopup(reinterpret_cast<HMENU>(wParam), LOWORD(lParam), HIWORD(lParam) != 0);
            break;
        case WM_MENUSELECT: OnMenuSelect(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HMENU>(lParam)); break;
        case WM_ENTERMENULOOP: OnEnterMenuLoop(wParam != 0); break;
        case WM_EXITMENULOOP: OnExitMenuLoop(wParam != 0); break;
        case WM_DROPFILES: OnDropFiles(reinterpret_cast<HDROP>(wParam)); break;
        case WM_SETCURSOR:
            return OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam), HIWORD(lParam)) ? TRUE : FALSE;
        case WM_LBUTTONDOWN: OnLButtonDown(static_cast<UINT>(wParam), at); break;
        case WM_LBUTTONUP: OnLButtonUp(static_cast<UINT>(wParam), at); break;
        case WM_MOUSEMOVE: OnMouseMove(static_cast<UINT>(wParam), at); break;
        case WM_CAPTURECHANGED: OnCaptureChanged(reinterpret_cast<HWND>(lParam)); break;
        case WM_DEVICECHANGE: return OnDeviceChange(static_cast<UINT>(wParam), lParam);
        case WM_QUERYENDSESSION: return OnQueryEndSession() ? TRUE : FALSE;
        case WM_ENDSESSION: OnEndSession(wParam != 0); break;
        case WM_DPICHANGED: OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam)); break;
        case WM_SETTINGCHANGE:
            OnSettingChange(static_cast<UINT>(wParam), reinterpret_cast<const wchar_t*>(lParam));
            break;
        case WM_SYSCOLORCHANGE: OnSysColorChange(); break;
        default: return OnMessage(current.message, wParam, lParam);
    }
    return current.result;
}

LRESULT CALLBACK Window::StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    const LRESULT result = self->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

INT_PTR Dialog::RunModal(HWND owner) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), owner, StaticProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR Dialog::RunModalIndirect(HWND owner, const DLGTEMPLATE* dialogTemplate) {
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialogTemplate, owner, StaticProc,
                                   reinterpret_cast<LPARAM>(this));
}

bool Dialog::OnCommand(int id, int) {
    if (id == IDOK || id == IDCANCEL) {
        End(id);
        return true;
    }
    return false;
}

INT_PTR Dialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInit() ? TRUE : FALSE;
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK Dialog::StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;
    const INT_PTR result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) self->hwnd_ = nullptr;
    return result;
}

}  // namespace tandrel
