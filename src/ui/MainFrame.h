#pragma once
#include <functional>
#include <string>

#include "framework/Window.h"

namespace tandrel {

// The main window: menu, status line and, in time, the view with its lists.
class CMainFrame : public Window {
public:
    static constexpr const wchar_t* kClassName = L"TandrelMainFrame";
    // Opens the About box; set by the application, which knows the versions.
    std::function<void(HWND)> showAbout;

    bool Create(const std::wstring& title);
    void SetTitle(const std::wstring& title) { SetWindowTextW(Handle(), title.c_str()); }
    std::wstring StatusText() const;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ShowStatus(const wchar_t* status, const wchar_t* detail);
    void Layout();
    HWND statusBar_ = nullptr;
    std::wstring status_, detail_;
};

}  // namespace tandrel
