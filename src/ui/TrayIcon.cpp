#include "ui/TrayIcon.h"

#include <shellapi.h>

#include "platform/Strings.h"
#include "resource_ui.h"
#include "ui/UserMessages.h"

namespace tandrel {

namespace {
constexpr UINT kTrayId = 1000;
constexpr int kRunIcons[] = {IDI_RUN1, IDI_RUN2, IDI_RUN3, IDI_RUN4};

NOTIFYICONDATAW IconData(HWND owner, int resource, const std::wstring& tip) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner;
    data.uID = kTrayId;
    // The newer protocol shows the tip only when asked to.
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    data.uCallbackMessage = WM_TANDREL_TRAY;
    data.hIcon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    lstrcpynW(data.szTip, tip.empty() ? LoadText(IDS_APP_TITLE).c_str() : tip.c_str(), ARRAYSIZE(data.szTip));
    return data;
}
}  // namespace

bool TrayIcon::Add(HWND owner) {
    owner_ = owner;
    icon_ = IDR_MAINFRAME;
    frame_ = 0;
    NOTIFYICONDATAW data = IconData(owner, icon_, tip_);
    added_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    // Also the keyboard reaches the icon's menu and the window.
    data.uVersion = NOTIFYICON_VERSION_4;
    version4_ = added_ && Shell_NotifyIconW(NIM_SETVERSION, &data) != FALSE;
    return added_;
}

void TrayIcon::Remove() {
    if (!owner_) return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner_;
    data.uID = kTrayId;
    Shell_NotifyIconW(NIM_DELETE, &data);
    added_ = false;
    owner_ = nullptr;
}

void TrayIcon::SetIcon(int resource) {
    icon_ = resource;
    Modify();
}

void TrayIcon::Modify() {
    if (!owner_) return;
    NOTIFYICONDATAW data = IconData(owner_, icon_, tip_);
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TrayIcon::SetTip(const std::wstring& tip) {
    if (tip == tip_) return;
    tip_ = tip;
    Modify();
}

void TrayIcon::ShowBalloon(const std::wstring& title, const std::wstring& text, bool warning) {
    balloon_ = title + L"\n" + text;
    if (!owner_) return;
    NOTIFYICONDATAW data = IconData(owner_, icon_, tip_);
    data.uFlags |= NIF_INFO;
    data.dwInfoFlags = warning ? NIIF_WARNING : NIIF_INFO;
    lstrcpynW(data.szInfoTitle, title.c_str(), ARRAYSIZE(data.szInfoTitle));
    lstrcpynW(data.szInfo, text.c_str(), ARRAYSIZE(data.szInfo));
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TrayIcon::Tick(bool running) {
    if (running) {
        SetIcon(kRunIcons[frame_]);
        frame_ = (frame_ + 1) % 4;
    } else if (icon_ != IDR_MAINFRAME) {
        SetIcon(IDR_MAINFRAME);
        frame_ = 0;
    }
}

}  // namespace tandrel
