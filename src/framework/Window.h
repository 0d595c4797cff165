#pragma once
#include <windows.h>
#include <shellapi.h>

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
// procedure keeps `this` with the window and splits each message into the
// handler of its kind. A handler left alone gives the system's handling
// (DefWindowProcW); an override that wants it too calls Default().
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
    // The system's handling of the message being handled now.
    LRESULT Default();

    // False fails the creation.
    virtual bool OnCreate(const CREATESTRUCTW&) { return true; }
    virtual void OnDestroy() { Default(); }
    // tag: what a poster of the program put in lParam (the system's close has 0).
    virtual void OnClose(LPARAM /*tag*/) { Default(); }
    virtual void OnSize(UINT /*type*/, int /*width*/, int /*height*/) { Default(); }
    virtual void OnMove(int /*x*/, int /*y*/) { Default(); }
    virtual void OnSetFocus(HWND /*previous*/) { Default(); }
    virtual void OnPaint() { Default(); }
    // True when the background is erased.
    virtual bool OnEraseBackground(HDC /*dc*/) { return Default() != 0; }
    virtual void OnTimer(UINT_PTR /*id*/) { Default(); }
    // True when the command was handled; otherwise the system's handling.
    virtual bool OnCommand(UINT /*id*/, UINT /*code*/, HWND /*control*/) { return false; }
    virtual LRESULT OnNotify(NMHDR& /*header*/) { return Default(); }
    // True when the system's command was handled here.
    virtual bool OnSysCommand(UINT /*command*/, LPARAM /*where*/) { return false; }
    virtual void OnInitMenuPopup(HMENU /*popup*/, UINT /*index*/, bool /*windowMenu*/) { Default(); }
    // flags 0xFFFF with no menu: the menu closed.
    virtual void OnMenuSelect(UINT /*item*/, UINT /*flags*/, HMENU /*menu*/) { Default(); }
    virtual void OnEnterMenuLoop(bool /*popup*/) { Default(); }
    virtual void OnExitMenuLoop(bool /*popup*/) { Default(); }
    virtual void OnDropFiles(HDROP /*drop*/) { Default(); }
    // True when the cursor was set here.
    virtual bool OnSetCursor(HWND /*window*/, UINT /*hitTest*/, UINT /*mouseMessage*/) { return Default() != 0; }
    virtual void OnLButtonDown(UINT /*keys*/, POINT /*at*/) { Default(); }
    virtual void OnLButtonUp(UINT /*keys*/, POINT /*at*/) { Default(); }
    virtual void OnMouseMove(UINT /*keys*/, POINT /*at*/) { Default(); }
    virtual void OnCaptureChanged(HWND /*gaining*/) { Default(); }
    virtual LRESULT OnDeviceChange(UINT /*event*/, LPARAM /*data*/) { return Default(); }
    // True when the session may end.
    virtual bool OnQueryEndSession() { return Default() != 0; }
    virtual void OnEndSession(bool /*ending*/) { Default(); }
    virtual void OnDpiChanged(UINT /*dpi*/, const RECT& /*suggested*/) { Default(); }
    virtual void OnSettingChange(UINT /*action*/, const wchar_t* /*area*/) { Default(); }
    virtual void OnSysColorChange() { Default(); }
    // Every other message: the program's own, registered ones.
    virtual LRESULT OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) { return Default(); }

private:
    // The message being handled and the system's answer, once asked for.
    struct Current {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT result;
    };
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Split(const Current& current);
    static LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
    Current* current_ = nullptr;
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
