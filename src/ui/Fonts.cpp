#include "ui/Fonts.h"

namespace tandrel {

FontChoice SystemCaptionFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return {metrics.lfCaptionFont.lfFaceName, MulDiv(metrics.lfCaptionFont.lfHeight, 72, dpi) * -10};
}

FontChoice EffectiveFont(const FontSlot& slot, const FontChoice& fallback) {
    return {slot.face.empty() ? fallback.face : slot.face, slot.size > 0 ? slot.size : fallback.size};
}

void OwnedFont::Apply(HWND window, const FontChoice& choice, UINT dpi, bool children) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(choice.size, static_cast<int>(dpi), 720);
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(font.lfFaceName, choice.face.c_str(), LF_FACESIZE);
    HFONT created = CreateFontIndirectW(&font);
    if (!created) return;
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(created), TRUE);
    if (children) {
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(created), TRUE);
    }
    Reset();
    font_ = created;
}

void OwnedFont::Reset() {
    if (font_) DeleteObject(font_);
    font_ = nullptr;
}

}  // namespace tandrel
