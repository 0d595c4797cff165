#include "framework/CommandUI.h"

#include <commctrl.h>

namespace tandrel {

void UpdateMenuCommands(HMENU menu, const CommandQuery& query) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        if (info.hSubMenu) {
            UpdateMenuCommands(info.hSubMenu, query);
            continue;
        }
        if (info.fType & MFT_SEPARATOR) continue;
        const CommandState state = query(info.wID);
        EnableMenuItem(menu, static_cast<UINT>(i), MF_BYPOSITION | (state.enabled ? MF_ENABLED : MF_GRAYED));
        if (state.radio && !(info.fType & MFT_RADIOCHECK)) {
            MENUITEMINFOW type{};
            type.cbSize = sizeof type;
            type.fMask = MIIM_FTYPE;
            type.fType = info.fType | MFT_RADIOCHECK;
            SetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &type);
        }
        CheckMenuItem(menu, static_cast<UINT>(i), MF_BYPOSITION | (state.checked ? MF_CHECKED : MF_UNCHECKED));
        if (!state.text.empty()) {
            MENUITEMINFOW text{};
            text.cbSize = sizeof text;
            text.fMask = MIIM_STRING;
            text.dwTypeData = const_cast<wchar_t*>(state.text.c_str());
            SetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &text);
        }
    }
}

void TrackCommandPopup(int menuId, POINT at, HWND target, const CommandQuery& query) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menuId));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    if (query) UpdateMenuCommands(popup, query);
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, target, nullptr);
    DestroyMenu(menu);
}

void UpdateToolbarCommands(HWND toolbar, const CommandQuery& query) {
    const int count = static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button{};
        if (!SendMessageW(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button))) continue;
        if (button.fsStyle & BTNS_SEP) continue;
        const bool enabled = query(static_cast<UINT>(button.idCommand)).enabled;
        const bool now = (button.fsState & TBSTATE_ENABLED) != 0;
        if (enabled != now) SendMessageW(toolbar, TB_ENABLEBUTTON, button.idCommand, MAKELPARAM(enabled, 0));
    }
}

}  // namespace tandrel

namespace tandrel {

bool IdleCommandUpdate::OnIdle() {
    if (!pending_) return false;
    pending_ = false;
    if (update_) update_();
    return true;
}

BOOL GetMessageAfterIdle(MSG& msg, const std::function<void()>& idle) {
    if (idle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) idle();
    return GetMessageW(&msg, nullptr, 0, 0);
}

}  // namespace tandrel
