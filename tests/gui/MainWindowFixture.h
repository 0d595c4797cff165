#pragma once
// The real main window in this process on a settings file of its own.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/MirrorBatch.h"
#include "model/AppState.h"
#include "ui/MainFrame.h"

namespace tandrel::test {

class MainWindowTest : public ::testing::Test {
protected:
    ~MainWindowTest() override;

    // Writes the settings (the text after the byte-order mark), loads them as
    // at start-up and opens the window with its initial update.
    // prepare changes the loaded options before the window opens.
    void Open(const std::wstring& ini, const std::function<void(AppState&)>& prepare = {});
    // Runs work on a thread of its own, as the engine's worker does, while
    // this thread handles the messages it sends.
    void OnWorker(const std::function<void()>& work);
    // Handles the window messages that are waiting, for at least ms.
    void Pump(DWORD ms = 0);
    // Handles messages until condition holds; when the deadline passes first
    // the test fails, naming the line that waited, and the answer is false.
    bool PumpUntil(const std::function<bool()>& condition, DWORD deadlineMs = kPatience,
                   Place where = Place::current());
    void Command(UINT id);
    // A mouse click on the toolbar button of the command (moved over, pressed, released).
    void ClickToolbar(UINT id);
    bool Enabled(UINT id) { return frame->QueryCommand(id).enabled; }
    CTandrelView& View() { return frame->View(); }
    HWND SetupList() { return View().SetupList().Handle(); }
    HWND ReportList() { return View().ReportList().Handle(); }
    std::wstring Cell(HWND list, int row, int column);
    std::vector<std::wstring> Column(HWND list, int column);
    void Select(const std::vector<int>& rows);
    bool Checked(int row);
    // The value of a key in the settings file, "<missing>" when absent.
    std::wstring Stored(const std::wstring& section, const std::wstring& key);

    TempDir dir;
    std::wstring iniPath = dir / L"Tandrel.ini";
    AppState options;
    std::unique_ptr<CMainFrame> frame;
    // Batches handed to the engine; the run stays "in progress" until a test ends it.
    std::vector<MirrorBatch*> started;
};

// Settings A, B, C … of project 0 (A with a before-command and the extra
// keys given, B not automatic with 3 errors) and one setting of project 1.
// A C library time as a file time.
FILETIME FileTimeOf(std::time_t t);

std::wstring SettingsText(int count = 3, const std::wstring& firstExtra = L"");

}  // namespace tandrel::test
