#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/PowerActions.h"
#include "model/AppState.h"
#include "ui/MainFrame.h"

namespace tandrel {

// The program's life: start-up (versions, command line, single instance,
// settings), the main window, and exit (save, release, power action).
class CTandrelApp {
public:
    explicit CTandrelApp(AppState& options);
    ~CTandrelApp();

    // Start-up; false when the program is to end at once (another instance
    // works on the same settings, the first-run question was cancelled, the
    // window could not be made).
    bool InitInstance(const std::vector<std::wstring>& args, int showCommand = SW_SHOWNORMAL);
    // Message loop until the main window has gone.
    int Run();
    // Exit: saves, releases the instance mutex, performs a requested power
    // action. Returns the program's exit code.
    int ExitInstance();

    // "FileVersion" / "ProductVersion" of the program's version block, "?.??"
    // when it cannot be read.
    static std::wstring VersionString(const std::wstring& name = L"FileVersion");
    // Title of the main window for the current settings location.
    static std::wstring WindowTitle(const AppState& options, bool defaultIniName);
    // Name of the single-instance mutex that earlier versions also take: the
    // title, joined by the settings path when "ini=" named a file; never
    // longer than the system allows.
    static std::wstring MutexName(const std::wstring& iniPath, bool iniNamed);
    // Names of the mutexes of the settings themselves, seen from every
    // session: one from the settings file's full path, one from the file's
    // volume and file id where it exists, and with the registry allowed one
    // from the user's registry profile. Two instances on the same
    // settings meet here however they named them.
    static std::vector<std::wstring> SettingsMutexNames(const AppState& options);
    // Decides and performs the power action at exit through actions. One
    // the system refuses raises the exit code to at least 2 and is told to
    // the user, unless the run was to end unattended.
    static void PerformPowerAction(AppState& options, PowerActions& actions);

    const std::wstring& FileVersion() const { return fileVersion_; }
    CMainFrame* MainFrame() { return frame_.get(); }

private:
    // False when another instance holds one of the mutexes; that instance's
    // main window, known by the titles it may carry, is brought to the front.
    bool TakeSingleInstance(const std::vector<std::wstring>& names, const std::vector<std::wstring>& windowTitles);
    void ReleaseSingleInstance();
    // True, with exit code 3, when an automatic start meets a settings file
    // that could not be read.
    bool UnattendedOnUnreadSettings();

    AppState& options_;
    std::vector<HANDLE> mutexes_;
    bool defaultIniName_ = true;
    // The main window (with its view and run batch) was made.
    bool windowMade_ = false;
    std::wstring fileVersion_;
    std::wstring productVersion_;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<PowerActions> power_;
};

}  // namespace tandrel
