#pragma once
#include <windows.h>

#include <string>

namespace tandrel {

// The dots per inch of the screen a window is on (the system's before it has one).
UINT WindowDpi(HWND window);
// A size given for 96 dots per inch at dpi.
inline int ScaleToDpi(int size, UINT dpi) {
    return MulDiv(size, static_cast<int>(dpi), 96);
}

// The rectangle moved (not resized) as far as needed to lie on the work area
// of the monitor nearest to it.
RECT KeepOnWorkArea(const RECT& r);
// A remembered window rectangle that no monitor shows any more (an undocked
// laptop, a screen taken away) moved onto the nearest work area; one that a
// monitor shows, even in part, stays where the user put it.
RECT FindOnScreen(const RECT& r);

// Base of the program's top-level and child windows: one static window
// procedure that keeps `this` with the window and hands every message to
// the virtual HandleMessage.
class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() const { return hwnd_; }
    // Registers the class on first use and creates the window.
    bool Create(const wchar_t* className, const std::wstring& title, DWORD style, DWORD exStyle, int x, int y,
                int width, int height, HWND parent, HMENU menu, HICON icon = nullptr);

protected:
    // Default handling is DefWindowProcW.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

// Base of modal dialogs run from a template: OnInit and OnCommand are the
// places a dialog fills and answers its controls.
class Dialog {
public:
    explicit Dialog(int templateId) : templateId_(templateId) {}
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog from the program's resources; returns its result.
    INT_PTR RunModal(HWND owner);
    // Runs it from a template in memory (a copy with another font).
    INT_PTR RunModalIndirect(HWND owner, const DLGTEMPLATE* dialogTemplate);
    HWND Handle() const { return hwnd_; }
    int TemplateId() const { return templateId_; }

protected:
    virtual bool OnInit() { return true; }
    // Returns true when the command was handled; OK and Cancel end the
    // dialog by default.
    virtual bool OnCommand(int id, int code);
    virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void End(INT_PTR result) { EndDialog(hwnd_, result); }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    void SetItemText(int id, const std::wstring& text) { SetDlgItemTextW(hwnd_, id, text.c_str()); }

private:
    static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    int templateId_;
    HWND hwnd_ = nullptr;
};

}  // namespace tandrel
