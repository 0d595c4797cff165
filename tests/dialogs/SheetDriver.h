#pragma once
// The folder-setting sheet driven from a second thread, as a user drives it.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "dialogs/DefineSheet.h"

namespace tandrel::test::sheet {

enum Page { PageMain, PageMode, PageTarget, PageLog, PageSchedule, PageCommand };

// Help requests as the sheet makes them, from its own thread.
struct HelpLog {
    std::mutex lock;
    std::vector<std::pair<int, int>> calls;

    HelpRequest Request() {
        return [this](int topic, int anchor) {
            std::lock_guard<std::mutex> hold(lock);
            calls.emplace_back(topic, anchor);
        };
    }
    size_t Count() {
        std::lock_guard<std::mutex> hold(lock);
        return calls.size();
    }
    // Waits until more than `seen` requests came in.
    bool WaitPast(size_t seen) {
        return WaitUntil([&] { return Count() > seen; });
    }
};

// The folder-setting sheet driven from a second thread, as in a session.
struct FolderSheetRun {
    AppState options;
    FolderSetting setting;
    CommandList commands;
    HelpLog help;
    // The target page's dialogs; none unless a test scripts them.
    TargetPrompts prompts;

    FolderSheetRun() { setting.Reset(L"設定"); }

    bool Run(const std::function<void(HWND sheet)>& drive, bool isNew = false) {
        bool ok = false;
        EXPECT_TRUE(test::DriveDialog(L"フォルダ設定", true, drive, [&] {
            ok = EditFolderSetting(nullptr, options, setting, commands, isNew, prompts, help.Request());
        }));
        return ok;
    }
};

inline HWND ShowPage(HWND sheet, int page) {
    SendMessageW(sheet, PSM_SETCURSEL, page, 0);
    return PropSheet_GetCurrentPageHwnd(sheet);
}
inline void PressOk(HWND sheet) { SendMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0); }
inline void Click(HWND page, int id) { SendMessageW(GetDlgItem(page, id), BM_CLICK, 0, 0); }

// A target folder dialog that answers with the next choice, Cancel when
// none is left.
inline TargetPrompts ScriptedFolderPrompt(std::vector<TargetFolderChoice>& answers) {
    TargetPrompts prompts;
    prompts.folder = [&answers](HWND, const std::wstring&, bool, TargetFolderChoice& choice) {
        if (answers.empty()) return false;
        choice = answers.front();
        answers.erase(answers.begin());
        return true;
    };
    return prompts;
}

// Keeps a file open without sharing, so deleting it fails, for as long as
// it lives; the file is created when missing.
class LockedFile {
public:
    explicit LockedFile(const std::wstring& path)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr)) {
        EXPECT_NE(handle_, INVALID_HANDLE_VALUE);
    }
    ~LockedFile() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

private:
    HANDLE handle_;
};

}  // namespace tandrel::test::sheet
