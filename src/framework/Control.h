#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace tandrel {

// A system control (list view, combo box …) whose messages pass through the
// virtual HandleMessage first; the default is the control's own procedure.
class SubclassedControl {
public:
    SubclassedControl() = default;
    virtual ~SubclassedControl();
    SubclassedControl(const SubclassedControl&) = delete;
    SubclassedControl& operator=(const SubclassedControl&) = delete;

    // Creates the control as a child with the given id and attaches to it.
    bool CreateControl(const wchar_t* className, DWORD style, DWORD exStyle, HWND parent, int id);
    HWND Handle() const { return hwnd_; }

protected:
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
    HWND hwnd_ = nullptr;
};

// The paths of a drop from the shell, in the order given; releases the drop.
std::vector<std::wstring> TakeDroppedFiles(HDROP drop);

}  // namespace tandrel
