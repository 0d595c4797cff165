#pragma once
// Shared fixtures of the test programs: temporary folders, files with exact
// bytes, recorded message boxes, the helper program and the test drives.
#include <windows.h>

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/Messages.h"

namespace tandrel::test {

// Where a helper was called from: its default arguments take the caller's
// file and line, as Place would (which the clang of the
// analysers cannot build with this C++ library).
struct Place {
    static constexpr Place current(const char* file = __builtin_FILE(), unsigned line = __builtin_LINE()) noexcept {
        return {file, line};
    }
    const char* file;
    unsigned line;
};

// How long a test waits for something that must happen: far beyond any
// healthy delay on a loaded, shared machine, so that only a real hang fails
// the test, and fails it before CTest's own limit stops the whole suite (the
// build sets both and refuses a patience that does not fit).
constexpr DWORD kPatience = TANDREL_TEST_PATIENCE_MS;

// The file and product versions of the program's version block, as written.
constexpr const wchar_t* kFileVersion = L"" TANDREL_RC_FILE_VERSION;
constexpr const wchar_t* kProductVersion = L"" TANDREL_RC_PRODUCT_VERSION;

// Asks condition every stepMs until it holds. When the deadline passes first
// the running test fails, naming what it waited for (what, and the line that
// waited), and the answer is false.
bool WaitUntil(const std::function<bool()>& condition, DWORD deadlineMs = kPatience, DWORD stepMs = 20,
               Place where = Place::current());
bool WaitUntil(const char* what, const std::function<bool()>& condition, DWORD deadlineMs = kPatience,
               DWORD stepMs = 20, Place where = Place::current());
// The exit code of a process once it has ended; when it has not ended within
// the patience the test fails, naming what, the process is ended and the
// answer is STILL_ACTIVE.
DWORD WaitForExit(HANDLE process, const char* what, Place where = Place::current());
// This test program run as a child with a test filter; its process.
HANDLE StartChild(const std::wstring& filter);
// Ends the test program, naming what it waited for in vain, where a thread
// that never came back cannot be left behind (it holds the test's locals).
[[noreturn]] void GiveUp(const char* what, Place where = Place::current());

// A fresh folder under %TEMP%, removed with everything in it afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The folder, without trailing backslash.
    const std::wstring& Path() const { return path_; }
    // Path of a name inside the folder.
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Makes the folders and the files (each with its contents) given by their
// paths below base, and the files' folders as needed; the test fails on any
// that could not be made.
void MakeTree(const std::wstring& base, std::initializer_list<const wchar_t*> folders,
              std::initializer_list<std::pair<const wchar_t*, std::string>> files = {});
inline void MakeFolders(const std::wstring& base, std::initializer_list<const wchar_t*> folders) {
    MakeTree(base, folders);
}

// The sections of a settings text in their order, each with its entries.
using Entries = std::vector<std::pair<std::wstring, std::wstring>>;
using Sections = std::vector<std::pair<std::wstring, Entries>>;
Sections ParseSections(const std::wstring& text);
// The value of a key in a section of a settings text (the first of either);
// "<missing>" when there is none.
std::wstring IniValue(const std::wstring& text, const std::wstring& section, const std::wstring& key);

// The text the clipboard holds; empty when it holds none.
std::wstring ClipboardText();

// Removes a folder tree (not following links).
void RemoveTree(const std::wstring& path);
// Everything below a folder: relative path → a file's bytes, "\" for a
// folder (not following links).
std::map<std::wstring, std::string> TreeContents(const std::wstring& root);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
// folder\f<n>.txt, for trees of many files.
inline std::wstring NumberedFile(const std::wstring& folder, int n) {
    return folder + L"\\f" + std::to_wstring(n) + L".txt";
}
// UTF-16 text of a file that starts with FF FE (without the mark).
std::wstring ReadUtf16File(const std::wstring& path);
std::string Utf8(const std::wstring& text);

// Records every message box and answers it with the next scripted answer
// (IDOK when the script is used up), for as long as it lives.
class MessageRecorder {
public:
    struct Box {
        std::wstring text, caption;
        UINT flags;
    };
    explicit MessageRecorder(std::vector<int> answers = {});
    ~MessageRecorder();
    const std::vector<Box>& Boxes() const { return boxes_; }

private:
    std::vector<Box> boxes_;
    std::vector<int> answers_;
    size_t next_ = 0;
    MessageBoxHandler previous_;
};

// A local time as the C library's time value.
std::time_t LocalTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// The test helper program beside the test program.
std::wstring HelperPath();

// Holds a file open without sharing for as long as it lives; created when
// missing.
class HeldFile {
public:
    explicit HeldFile(const std::wstring& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Runs show, which opens a modal dialog captioned caption and returns when
// it closes, while a second thread waits for the dialog (for a property
// sheet: its first page), lets drive work it and cancels it if drive left it
// open. False when the dialog never came.
bool DriveDialog(const wchar_t* caption, bool sheet, const std::function<void(HWND)>& drive,
                 const std::function<void()>& show, Place where = Place::current());

// A visible dialog of the caption once it is there; null when it never came.
HWND WaitForDialog(const wchar_t* caption, Place where = Place::current());
// Until the window is gone; false when it stayed.
bool WaitGone(HWND window, Place where = Place::current());

// The folder beside the test program (the build root).
std::wstring BuildFolder();

// A test drive (E: to H:) of the prefix: its root and the label it shows.
class TestDrive {
public:
    explicit TestDrive(wchar_t letter);
    ~TestDrive();
    std::wstring Root() const { return std::wstring(1, letter_) + L":\\"; }
    // Sets the volume label; an empty text removes it.
    void SetLabel(const std::wstring& label);

private:
    wchar_t letter_;
};

}  // namespace tandrel::test
