#pragma once
// The real Tandrel.exe started from a test, in a folder of its own.
#include <windows.h>

#include <string>
#include <vector>

#include "TestSupport.h"

namespace tandrel::test {

// A copy of Tandrel.exe in its own folder, so its settings stay there.
class ProgramCopy {
public:
    // A stored storage choice means no first-run question; more settings
    // text may follow it.
    explicit ProgramCopy(bool withSettings = true, const std::wstring& moreSettings = L"");
    ~ProgramCopy();
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;
    const TempDir& Dir() const { return dir_; }
    // Starts the program with the arguments (and the window state a
    // shortcut would ask for); returns its process handle.
    HANDLE Start(const std::wstring& args, int show = -1);
    // The settings file's text.
    std::wstring Settings() const;

private:
    TempDir dir_;
    std::wstring exe_;
    std::vector<HANDLE> started_;
};

// Each wait fails the test, naming the line that waited, when what it waits
// for does not come within the patience.
HWND WaitForWindow(const std::wstring& title, Place where = Place::current());
// The main window of that process once its start-up is over (it shows).
HWND WaitForWindowOf(HANDLE process, Place where = Place::current());
bool WaitVisible(HWND window, Place where = Place::current());
// The exit code once the process ended; STILL_ACTIVE (the process ended)
// when it hangs.
DWORD ExitCodeWithin(HANDLE process, Place where = Place::current());
// The texts of a message box's static controls, joined.
std::wstring BoxText(HWND box);
HWND WaitForBox(const std::wstring& caption, Place where = Place::current());
// A control of the window (at any depth) by its id.
HWND FindControl(HWND window, int id);
// The text of a window of another process.
std::wstring WindowText(HWND window);

}  // namespace tandrel::test
