#include "ui/TrayIcon.h"

#include <shellapi.h>

#include "platform/Strings.h"
#include "resource.h"
#include "ui/UserMessages.h"

namespace tandrel {

namespace {
constexpr UINT kTrayId = 1000;
constexpr int kRunIcons[] = {IDI_RUN1, IDI_RUN2, IDI_RUN3, IDI_RUN4};

NOTIFYICONDATAW IconData(HWND owner, int resource) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner;
    data.uID = kTrayId;
    // The newer protocol shows the tip only when asked to.
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    data.uCallbackMessage = WM_TANDREL_TRAY;
    data.hIcon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    lstrcpynW(data.szTip, LoadText(IDS_APP_TITLE).c_str(), ARRAYSIZE(data.szTip));
    return data;
}
}  // namespace

bool TrayIcon::Add(HWND owner) {
    owner_ = owner;
    icon_ = IDR_MAINFRAME;
    frame_ = 0;
    NOTIFYICONDATAW data = IconData(owner, icon_);
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
    if (!owner_) return;
    NOTIFYICONDATAW data = IconData(owner_, resource);
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
