#pragma once
#include <windows.h>

#include <string>

#include "model/GlobalOptions.h"

namespace tandrel {

// A face and a size in tenths of a point.
struct FontChoice {
    std::wstring face;
    int size = 0;
    bool operator==(const FontChoice&) const = default;
};

// The system's caption font, which stands in for every part of a slot left unset.
FontChoice SystemCaptionFont();
FontChoice EffectiveFont(const FontSlot& slot, const FontChoice& fallback);

// A font the window part owns: replacing it deletes the previous one.
class OwnedFont {
public:
    OwnedFont() = default;
    ~OwnedFont() { Reset(); }
    OwnedFont(const OwnedFont&) = delete;
    OwnedFont& operator=(const OwnedFont&) = delete;
    // Creates the font for the window's dots per inch and hands it to window
    // (and, with children, to every child of it), redrawing.
    void Apply(HWND window, const FontChoice& choice, UINT dpi, bool children = false);
    HFONT Get() const { return font_; }
    bool Custom() const { return font_ != nullptr; }
    void Reset();

private:
    HFONT font_ = nullptr;
};

}  // namespace tandrel
