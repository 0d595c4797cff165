#pragma once
#include <windows.h>

#include <string>

namespace tandrel {

// The program's icon in the notification area, with its run animation.
class TrayIcon {
public:
    ~TrayIcon() { Remove(); }
    // Adds the icon (again, after the shell restarted); callbacks go to owner.
    bool Add(HWND owner);
    void Remove();
    // One tick of the animation timer: cycles the run icons while running,
    // returns to the program's icon on the first tick after.
    void Tick(bool running);
    bool Added() const { return added_; }
    // The shell speaks the newer protocol: lParam's low word is the event
    // (the keyboard's NIN_KEYSELECT and WM_CONTEXTMENU too), wParam the
    // icon's point on the screen.
    bool Version4() const { return version4_; }
    int CurrentIcon() const { return icon_; }
    // The tip under the mouse: the progress line during a run, empty for
    // the program's name.
    void SetTip(const std::wstring& tip);
    const std::wstring& Tip() const { return tip_; }
    // A balloon beside the icon (the end of a run while the window is hidden).
    void ShowBalloon(const std::wstring& title, const std::wstring& text, bool warning);
    const std::wstring& LastBalloon() const { return balloon_; }

private:
    void SetIcon(int resource);
    void Modify();
    HWND owner_ = nullptr;
    std::wstring tip_, balloon_;
    bool added_ = false;
    bool version4_ = false;
    int icon_ = 0;
    int frame_ = 0;
};

}  // namespace tandrel
