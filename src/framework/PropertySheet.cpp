#include "framework/PropertySheet.h"

#include <algorithm>
#include <cstring>

#include "framework/DialogFont.h"
#include "framework/Window.h"

namespace tandrel {

namespace {

// The system calls the pre-create callback without telling which sheet.
thread_local CBPropertySheet* gCreating = nullptr;
// The sheet whose keys go through its accelerators first: the system's
// sheet runs its own message loop, so the keys are taken as it fetches them.
thread_local CBPropertySheet* gKeysFor = nullptr;
thread_local HHOOK gKeyHook = nullptr;

bool FontSet() { return !UserDialogFace().empty() && UserDialogPointSize() > 0; }

bool IsExtended(const std::vector<BYTE>& t) {
    return t.size() >= 4 && t[0] == 1 && t[1] == 0 && t[2] == 0xFF && t[3] == 0xFF;
}

// Width and height of a template in dialog units.
SIZE TemplateSize(const std::vector<BYTE>& t) {
    const size_t at = IsExtended(t) ? 22 : 14;
    if (t.size() < at + 4) return {};
    short cx = 0, cy = 0;
    std::memcpy(&cx, t.data() + at, sizeof cx);
    std::memcpy(&cy, t.data() + at + 2, sizeof cy);
    return {cx, cy};
}

RECT ChildRect(HWND child, HWND parent) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

bool IsButton(HWND hwnd) {
    wchar_t name[16] = {};
    GetClassNameW(hwnd, name, 16);
    return lstrcmpiW(name, L"Button") == 0;
}

}  // namespace

void CBPropertyPage::AddAnchors(unsigned flags, std::initializer_list<int> ids) {
    for (int id : ids) {
        ResizeAnchor a;
        a.id = id;
        a.flags = flags;
        anchors_.push_back(a);
    }
}

void CBPropertyPage::EnableItems(std::initializer_list<int> ids, bool on) const {
    for (int id : ids) EnableItem(id, on);
}

void CBPropertyPage::OwnLayout(int, int, int, int, RECT&, ResizeAnchor&) {}

void CBPropertyPage::LayOut(int width, int height) {
    if (anchors_.empty()) return;
    const int dx = width - InitialWidth();
    const int dy = height - InitialHeight();
    HDWP batch = BeginDeferWindowPos(static_cast<int>(anchors_.size()));
    for (ResizeAnchor& a : anchors_) {
        HWND control = Item(a.id);
        if (!control) continue;
        if (!a.taken) {
            a.initial = ChildRect(control, hwnd_);
            a.taken = true;
        }
        RECT r = a.initial;
        if (a.flags & AnchorMoveX) OffsetRect(&r, dx, 0);
        if (a.flags & AnchorMoveY) OffsetRect(&r, 0, dy);
        if (a.flags & AnchorStretchX) r.right += dx;
        if (a.flags & AnchorStretchY) r.bottom += dy;
        if (a.flags & AnchorOwnRule) OwnLayout(width, height, dx, dy, r, a);
        if (batch) {
            batch = DeferWindowPos(batch, control, nullptr, r.left, r.top, Width(r), Height(r),
                                   SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (batch) EndDeferWindowPos(batch);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

INT_PTR CBPropertyPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            GetClientRect(hwnd_, &initialClient_);
            anchors_.clear();
            return OnInit() ? TRUE : FALSE;
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        case WM_SIZE:
            LayOut(LOWORD(lParam), HIWORD(lParam));
            return FALSE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->code == PSN_KILLACTIVE) {
                SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, OnKillActive() ? FALSE : TRUE);
                return TRUE;
            }
            if (header->code == PSN_APPLY) {
                const bool applied = OnApply();
                // OK reaches the sheet only as this notification, also when
                // pressed by a message.
                if (applied && sheet_) sheet_->NoteApplied();
                SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, applied ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE);
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK CBPropertyPage::StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CBPropertyPage* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CBPropertyPage*>(reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<CBPropertyPage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;
    const INT_PTR result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) self->hwnd_ = nullptr;
    return result;
}

void CBPropertySheet::NoteApplied() {
    okPressed_ = true;
    if (okRect_ && hwnd_) GetWindowRect(hwnd_, okRect_);
}

void CBPropertySheet::AddPage(CBPropertyPage& page) {
    page.sheet_ = this;
    pages_.push_back(&page);
}

int CBPropertySheet::ActiveIndex() const {
    if (!hwnd_) return -1;
    HWND page = PropSheet_GetCurrentPageHwnd(hwnd_);
    for (size_t i = 0; i < pages_.size(); ++i) {
        if (pages_[i]->hwnd_ == page) return static_cast<int>(i);
    }
    return -1;
}

INT_PTR CBPropertySheet::RunModal(HWND owner, int startPage) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_DATE_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    std::vector<PROPSHEETPAGEW> sheetPages;
    for (CBPropertyPage* page : pages_) {
        page->template_ = LoadDialogTemplate(page->templateId_);
        if (page->template_.empty()) return -1;
        if (FontSet()) {
            std::vector<BYTE> changed =
                TemplateWithFont(page->template_.data(), page->template_.size(), UserDialogFace(), UserDialogPointSize());
            // A page that cannot take the font keeps its own.
            if (!changed.empty()) page->template_ = std::move(changed);
        }
        page->anchors_.clear();
        PROPSHEETPAGEW p{};
        p.dwSize = sizeof p;
        p.dwFlags = PSP_DLGINDIRECT | (help_ ? PSP_HASHELP : 0);
        p.hInstance = GetModuleHandleW(nullptr);
        p.pResource = reinterpret_cast<const DLGTEMPLATE*>(page->template_.data());
        p.pfnDlgProc = CBPropertyPage::StaticProc;
        p.lParam = reinterpret_cast<LPARAM>(page);
        sheetPages.push_back(p);
    }
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK | flags_ | (help_ ? PSH_HASHELP : 0);
    header.hwndParent = owner;
    header.hInstance = GetModuleHandleW(nullptr);
    header.pszCaption = caption_.c_str();
    header.nPages = static_cast<UINT>(sheetPages.size());
    header.nStartPage = static_cast<UINT>(std::clamp(startPage, 0, std::max(0, PageCount() - 1)));
    header.ppsp = sheetPages.data();
    header.pfnCallback = Callback;

    initializing_ = true;
    okPressed_ = false;
    RECT okRect{};
    CBPropertySheet* outer = gCreating;
    CBPropertySheet* outerKeys = gKeysFor;
    gCreating = this;
    okRect_ = &okRect;
    accel_ = accelId_ ? LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(accelId_)) : nullptr;
    const bool hooked = accel_ && !gKeyHook;
    if (hooked) gKeyHook = SetWindowsHookExW(WH_GETMESSAGE, KeyHook, nullptr, GetCurrentThreadId());
    if (accel_) gKeysFor = this;
    const INT_PTR result = PropertySheetW(&header);
    gKeysFor = outerKeys;
    if (hooked && gKeyHook) {
        UnhookWindowsHookEx(gKeyHook);
        gKeyHook = nullptr;
    }
    // Loaded tables are freed with the program.
    accel_ = nullptr;
    gCreating = outer;
    okRect_ = nullptr;
    hwnd_ = nullptr;
    if (font_) {
        DeleteObject(font_);
        font_ = nullptr;
    }
    if (result < 0) return -1;
    if (result == 0 || !okPressed_) return IDCANCEL;
    if (resizable_) savedRect_ = okRect;
    return IDOK;
}

int CALLBACK CBPropertySheet::Callback(HWND hwnd, UINT message, LPARAM lParam) {
    CBPropertySheet* self = gCreating;
    if (!self) return 0;
    if (message == PSCB_PRECREATE && self->resizable_ && lParam) {
        // The template's style, in either template form.
        auto* bytes = reinterpret_cast<BYTE*>(lParam);
        const bool extended = reinterpret_cast<const WORD*>(bytes)[1] == 0xFFFF;
        DWORD style = 0;
        std::memcpy(&style, bytes + (extended ? 12 : 0), sizeof style);
        style |= WS_POPUP | WS_THICKFRAME;
        std::memcpy(bytes + (extended ? 12 : 0), &style, sizeof style);
    } else if (message == PSCB_INITIALIZED) {
        self->Initialize(hwnd);
    }
    return 0;
}

LRESULT CALLBACK CBPropertySheet::KeyHook(int code, WPARAM wParam, LPARAM lParam) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    CBPropertySheet* sheet = gKeysFor;
    if (code == HC_ACTION && wParam == PM_REMOVE && sheet && sheet->hwnd_ && sheet->accel_ &&
        msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST &&
        (msg->hwnd == sheet->hwnd_ || IsChild(sheet->hwnd_, msg->hwnd)) &&
        TranslateAcceleratorW(sheet->hwnd_, sheet->accel_, msg)) {
        // Taken: the loop that fetched it gets nothing to dispatch.
        msg->message = WM_NULL;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CBPropertySheet::Initialize(HWND hwnd) {
    hwnd_ = hwnd;
    SetWindowSubclass(hwnd, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
    if (help_) EnableWindow(GetDlgItem(hwnd, IDHELP), TRUE);
    GetClientRect(hwnd, &previousClient_);
    FitPagesToFont();
    RECT w{};
    GetWindowRect(hwnd, &w);
    minimum_ = {Width(w), Height(w)};
    initializing_ = false;
    if (!(GetKeyState(VK_MENU) & 0x8000)) ApplySavedRect();
}

void CBPropertySheet::FitPagesToFont() {
    HWND tab = PropSheet_GetTabControl(hwnd_);
    if (FontSet()) {
        HDC dc = GetDC(hwnd_);
        const int height = -MulDiv(UserDialogPointSize(), GetDeviceCaps(dc, LOGPIXELSY), 72);
        ReleaseDC(hwnd_, dc);
        font_ = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, UserDialogFace().c_str());
        for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (child == tab || IsButton(child)) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
        }
    }
    // The pages as large as their templates in their font: the first created
    // page tells how large a dialog unit is.
    const CBPropertyPage* measured = nullptr;
    for (const CBPropertyPage* page : pages_) {
        if (page->hwnd_) measured = page;
    }
    if (!measured || !tab) return;
    const SIZE units = TemplateSize(measured->template_);
    if (units.cx <= 0 || units.cy <= 0) return;
    LONG needX = 0, needY = 0;
    for (const CBPropertyPage* page : pages_) {
        const SIZE s = TemplateSize(page->template_);
        needX = std::max<LONG>(needX, MulDiv(s.cx, measured->InitialWidth(), units.cx));
        needY = std::max<LONG>(needY, MulDiv(s.cy, measured->InitialHeight(), units.cy));
    }
    // The tab row may have grown with the font: the display area is asked anew.
    RECT area = ChildRect(tab, hwnd_);
    TabCtrl_AdjustRect(tab, FALSE, &area);
    for (const CBPropertyPage* page : pages_) {
        if (page->hwnd_) {
            SetWindowPos(page->hwnd_, nullptr, area.left, area.top, Width(area), Height(area),
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    const int dx = std::max<LONG>(0, needX - Width(area));
    const int dy = std::max<LONG>(0, needY - Height(area));
    if (dx == 0 && dy == 0) return;
    RECT w{};
    GetWindowRect(hwnd_, &w);
    SetWindowPos(hwnd_, nullptr, 0, 0, Width(w) + dx, Height(w) + dy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(hwnd_, &client);
    Resize(client.right, client.bottom);
}

void CBPropertySheet::ApplySavedRect() {
    if (Width(savedRect_) <= 0 || Height(savedRect_) <= 0) return;
    RECT w{};
    GetWindowRect(hwnd_, &w);
    const int width = std::max<int>(Width(savedRect_), minimum_.cx);
    const int height = std::max<int>(Height(savedRect_), minimum_.cy);
    RECT r{};
    r.left = w.left + (Width(w) - width) / 2;
    r.top = w.top + (Height(w) - height) / 2;
    r.right = r.left + width;
    r.bottom = r.top + height;
    r = KeepOnWorkArea(r);
    SetWindowPos(hwnd_, nullptr, r.left, r.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CBPropertySheet::Resize(int width, int height) {
    const int dx = width - Width(previousClient_);
    const int dy = height - Height(previousClient_);
    previousClient_ = {0, 0, width, height};
    InvalidateRect(hwnd_, nullptr, TRUE);
    if (dx == 0 && dy == 0) return;
    int count = 0;
    for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) ++count;
    HDWP batch = BeginDeferWindowPos(count);
    for (HWND child = GetWindow(hwnd_, GW_CHILD); child && batch; child = GetWindow(child, GW_HWNDNEXT)) {
        const RECT r = ChildRect(child, hwnd_);
        if (IsButton(child)) {
            batch = DeferWindowPos(batch, child, nullptr, r.left + dx, r.top + dy, 0, 0,
                                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        } else {
            batch = DeferWindowPos(batch, child, nullptr, 0, 0, Width(r) + dx, Height(r) + dy,
                                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (batch) EndDeferWindowPos(batch);
}

RECT CBPropertySheet::GripRect() const {
    RECT client{};
    GetClientRect(hwnd_, &client);
    return {client.right - GetSystemMetrics(SM_CXVSCROLL), client.bottom - GetSystemMetrics(SM_CYHSCROLL),
            client.right, client.bottom};
}

LRESULT CALLBACK CBPropertySheet::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                               DWORD_PTR data) {
    auto* self = reinterpret_cast<CBPropertySheet*>(data);
    switch (message) {
        case WM_SIZE:
            if (!self->initializing_ && wParam != SIZE_MINIMIZED) self->Resize(LOWORD(lParam), HIWORD(lParam));
            break;
        case WM_GETMINMAXINFO:
            if (self->minimum_.cx > 0) {
                auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
                info->ptMinTrackSize = {self->minimum_.cx, self->minimum_.cy};
                return 0;
            }
            break;
        case WM_PAINT:
            if (self->resizable_) {
                const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
                HDC dc = GetDC(hwnd);
                RECT grip = self->GripRect();
                DrawFrameControl(dc, &grip, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
                ReleaseDC(hwnd, dc);
                return result;
            }
            break;
        case WM_NCHITTEST:
            if (self->resizable_) {
                POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
                ScreenToClient(hwnd, &p);
                const RECT grip = self->GripRect();
                if (PtInRect(&grip, p)) return HTBOTTOMRIGHT;
            }
            break;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDHELP) {
                self->OnHelp(self->ActiveIndex());
                return 0;
            }
            break;
        case WM_HELP:
            self->OnHelp(self->ActiveIndex());
            return TRUE;
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, SubclassProc, 1);
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace tandrel
