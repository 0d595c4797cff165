// The divider between the setting list and the report: its place, its
// dragging and the painting of the strip and the panes' frames.
#include "ui/TandrelView.h"

#include <windowsx.h>

#include <algorithm>

namespace tandrel {

namespace {

// Sizes at 96 dots per inch: the divider strip, the nearest the divider
// comes to the top and to the bottom, and the frame round each pane.
constexpr int kDividerHeight = 5;
constexpr int kDividerTop = 8;
constexpr int kDividerBottom = 13;
constexpr int kPaneFrame = 1;

}  // namespace

int CTandrelView::Scaled(int size) const {
    return frame_.Scaled(size);
}

void CTandrelView::Layout() {
    RECT client{};
    GetClientRect(Handle(), &client);
    const int width = client.right, height = client.bottom;
    const int inset = Scaled(kPaneFrame);
    const auto place = [inset](HWND window, int left, int top, int right, int bottom) {
        if (right - left > 0) left += inset, right -= inset;
        if (bottom - top > 0) top += inset, bottom -= inset;
        if (right < left || bottom < top) return;
        MoveWindow(window, left, top, right - left, bottom - top, TRUE);
    };
    place(setupList_.Handle(), 0, 0, width, divider_);
    place(reportList_.Handle(), 0, divider_ + Scaled(kDividerHeight), width, height);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void CTandrelView::SetDivider(int y) {
    RECT client{};
    GetClientRect(Handle(), &client);
    if (y < Scaled(kDividerTop)) y = 0;
    if (y + Scaled(kDividerBottom) > client.bottom) y = client.bottom - Scaled(kDividerHeight);
    divider_ = std::max(y, 0);
    options_.DivideY = divider_;
}

void CTandrelView::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Handle(), &ps);
    RECT client{};
    GetClientRect(Handle(), &client);
    // The system's colours, so a high-contrast scheme reaches the divider and the frames.
    HBRUSH frameBrush = GetSysColorBrush(COLOR_WINDOWFRAME);
    const int stripHeight = Scaled(kDividerHeight);
    RECT top{0, 0, client.right, divider_};
    RECT bottom{0, divider_ + stripHeight, client.right, client.bottom};
    for (int line = 0; line < Scaled(kPaneFrame); ++line) {
        FrameRect(dc, &top, frameBrush);
        FrameRect(dc, &bottom, frameBrush);
        InflateRect(&top, -1, -1);
        InflateRect(&bottom, -1, -1);
    }
    RECT strip{0, divider_, client.right, divider_ + stripHeight};
    FillRect(dc, &strip, GetSysColorBrush(COLOR_BTNFACE));
    HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    HPEN dark = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ old = SelectObject(dc, light);
    MoveToEx(dc, 0, strip.bottom - 1, nullptr);
    LineTo(dc, 0, strip.top);
    LineTo(dc, strip.right - 1, strip.top);
    SelectObject(dc, dark);
    LineTo(dc, strip.right - 1, strip.bottom - 1);
    LineTo(dc, 0, strip.bottom - 1);
    SelectObject(dc, old);
    DeleteObject(light);
    DeleteObject(dark);
    EndPaint(Handle(), &ps);
}

void CTandrelView::DrawDragFeedback() {
    RECT client{};
    GetClientRect(Handle(), &client);
    // The view does not clip its children, so the lines cross both lists.
    HDC dc = GetDC(Handle());
    const int oldMode = SetROP2(dc, R2_XORPEN);
    HGDIOBJ old = SelectObject(dc, GetStockObject(WHITE_PEN));
    for (int i = 0; i < Scaled(kDividerHeight); ++i) {
        MoveToEx(dc, 0, divider_ + i, nullptr);
        LineTo(dc, client.right, divider_ + i);
    }
    SelectObject(dc, old);
    SetROP2(dc, oldMode);
    ReleaseDC(Handle(), dc);
}

bool CTandrelView::OnSetCursor(HWND window, UINT hitTest, UINT) {
    if (hitTest != HTCLIENT || window != Handle()) return Default() != 0;
    POINT at{};
    GetCursorPos(&at);
    ScreenToClient(Handle(), &at);
    const bool onDivider = at.y >= divider_ && at.y <= divider_ + Scaled(kDividerHeight);
    SetCursor(LoadCursorW(nullptr, onDivider ? IDC_SIZENS : IDC_ARROW));
    return true;
}

void CTandrelView::OnLButtonDown(UINT, POINT) {
    SetCapture(Handle());
    DrawDragFeedback();
    dragging_ = true;
}

void CTandrelView::OnMouseMove(UINT, POINT at) {
    if (!dragging_) return;
    DrawDragFeedback();
    SetDivider(at.y);
    DrawDragFeedback();
}

void CTandrelView::OnLButtonUp(UINT, POINT) {
    if (!dragging_) return;
    DrawDragFeedback();
    ReleaseCapture();
    dragging_ = false;
    Layout();
}

void CTandrelView::OnCaptureChanged(HWND gaining) {
    if (!dragging_ || gaining == Handle()) return;
    DrawDragFeedback();
    dragging_ = false;
    Layout();
}

}  // namespace tandrel
