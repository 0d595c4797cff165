#include "ui/MainFrame.h"

#include <commctrl.h>

#include "platform/Strings.h"
#include "resource.h"
#include "ui/UserMessages.h"

namespace tandrel {

bool CMainFrame::Create(const std::wstring& title) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    return Window::Create(kClassName, title, WS_OVERLAPPEDWINDOW, 0, CW_USEDEFAULT, CW_USEDEFAULT, 800, 600,
                          nullptr, menu, icon);
}

std::wstring CMainFrame::StatusText() const {
    wchar_t buffer[1024] = {};
    SendMessageW(statusBar_, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

void CMainFrame::ShowStatus(const wchar_t* status, const wchar_t* detail) {
    std::wstring text;
    if (!status && !detail) {
        text = LoadText(IDS_IDLE_TEXT);
    } else {
        if (status) status_ = status;
        if (detail) detail_ = detail;
        text = status_ + L" " + detail_;
    }
    SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
    UpdateWindow(statusBar_);
}

void CMainFrame::Layout() {
    SendMessageW(statusBar_, WM_SIZE, 0, 0);
}

LRESULT CMainFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            statusBar_ = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0,
                                         0, Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
            ShowStatus(nullptr, nullptr);
            return 0;
        case WM_SIZE:
            Layout();
            return 0;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case ID_APP_ABOUT:
                    if (showAbout) showAbout(Handle());
                    return 0;
                case ID_APP_EXIT:
                    PostMessageW(Handle(), WM_CLOSE, 0, 0);
                    return 0;
            }
            break;
        case WM_TANDREL_STATUS:
            ShowStatus(reinterpret_cast<const wchar_t*>(wParam), reinterpret_cast<const wchar_t*>(lParam));
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace tandrel
