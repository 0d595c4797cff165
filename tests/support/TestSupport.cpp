#include "TestSupport.h"

#include <winioctl.h>
#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <cwctype>
#include <thread>
#include <utility>

#include "platform/DateFormat.h"
#include "platform/Paths.h"

namespace tandrel::test {

TempDir::TempDir() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        path_ = std::wstring(temp) + L"tandrel-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter);
        if (CreateDirectoryW(path_.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create a temporary folder";
            break;
        }
    }
}

TempDir::~TempDir() {
    RemoveTree(path_);
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(LongPath(path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            SetFileAttributesW(LongPath(child).c_str(), FILE_ATTRIBUTE_NORMAL);
            const bool isLink = data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !isLink) {
                RemoveTree(child);
            } else if (!isLink) {
                DeleteFileW(LongPath(child).c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(LongPath(path).c_str());
}

void MakeTree(const std::wstring& base, std::initializer_list<const wchar_t*> folders,
              std::initializer_list<std::pair<const wchar_t*, std::string>> files) {
    for (const wchar_t* folder : folders) {
        EXPECT_TRUE(CreateDirectoryTree(base + L"\\" + folder)) << Utf8(folder);
    }
    for (const auto& [name, bytes] : files) {
        const std::wstring path = base + L"\\" + name;
        EXPECT_TRUE(CreateDirectoryTree(path.substr(0, path.rfind(L'\\'))) && WriteBytes(path, bytes)) << Utf8(name);
    }
}

Sections ParseSections(const std::wstring& text) {
    Sections sections;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        const size_t eq = line.find(L'=');
        if (line.size() > 1 && line.front() == L'[' && line.back() == L']') {
            sections.emplace_back(line.substr(1, line.size() - 2), Entries{});
        } else if (eq != std::wstring::npos && !sections.empty()) {
            sections.back().second.emplace_back(line.substr(0, eq), line.substr(eq + 1));
        }
    }
    return sections;
}

std::wstring IniValue(const std::wstring& text, const std::wstring& section, const std::wstring& key) {
    for (const auto& [name, entries] : ParseSections(text)) {
        if (name != section) continue;
        for (const auto& [k, value] : entries) {
            if (k == key) return value;
        }
        break;
    }
    return L"<missing>";
}

std::wstring ClipboardText() {
    std::wstring text;
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
                text = chars;
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
    }
    return text;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE f = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
    return ok && written == bytes.size();
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE f = CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(f, buffer, sizeof buffer, &n, nullptr) && n) bytes.append(buffer, n);
    CloseHandle(f);
    return bytes;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ReadUtf16File(const std::wstring& path) {
    const std::string bytes = ReadBytes(path);
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF || static_cast<unsigned char>(bytes[1]) != 0xFE)
        return {};
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    memcpy(text.data(), bytes.data() + 2, text.size() * 2);
    return text;
}

std::string Utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

MessageRecorder::MessageRecorder(std::vector<int> answers) : answers_(std::move(answers)) {
    previous_ = SetMessageBoxHandler([this](HWND, const std::wstring& text, const std::wstring& caption, UINT flags) {
        boxes_.push_back({text, caption, flags});
        return next_ < answers_.size() ? answers_[next_++] : IDOK;
    });
}

MessageRecorder::~MessageRecorder() {
    SetMessageBoxHandler(std::move(previous_));
}

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    return LocalTimeOf(year, month, day, hour, minute, second);
}

namespace {
std::string Where(const Place& where) {
    std::string file = where.file;
    const size_t slash = file.find_last_of("/\\");
    if (slash != std::string::npos) file.erase(0, slash + 1);
    return file + ":" + std::to_string(where.line);
}
}  // namespace

bool WaitUntil(const char* what, const std::function<bool()>& condition, DWORD deadlineMs, DWORD stepMs,
               Place where) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() - start >= deadlineMs) break;
        Sleep(stepMs);
    }
    ADD_FAILURE() << "gave up after " << deadlineMs / 1000.0 << " s waiting for " << what << " (" << Where(where)
                  << ")";
    return false;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD deadlineMs, DWORD stepMs, Place where) {
    return WaitUntil("the condition", condition, deadlineMs, stepMs, where);
}

DWORD WaitForExit(HANDLE process, const char* what, Place where) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process, kPatience) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code)) return code;
    ADD_FAILURE() << "gave up after " << kPatience / 1000 << " s waiting for " << what << " to end ("
                  << Where(where) << ")";
    TerminateProcess(process, 1);
    WaitForSingleObject(process, kPatience);
    return STILL_ACTIVE;
}

void GiveUp(const char* what, Place where) {
    std::fprintf(stderr, "[  HUNG    ] gave up after %lu s waiting for %s (%s); ending the test program\n",
                 static_cast<unsigned long>(kPatience / 1000), what, Where(where).c_str());
    std::fflush(stderr);
    std::fflush(stdout);
    ExitProcess(1);
}

std::wstring BuildFolder() {
    return FolderOf(ModulePath());
}

std::wstring HelperPath() {
    return BuildFolder() + L"tandrel_test_helper.exe";
}

// Sharing is checked per open handle, so a handle of our own holds the file
// against the code under test as well as against other programs. (A helper
// process did the same, but starting one under Wine now and then failed or
// stalled on a loaded machine.)
HeldFile::HeldFile(const std::wstring& path)
    : handle_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr)) {
    if (handle_ == INVALID_HANDLE_VALUE) ADD_FAILURE() << "could not hold the file (error " << GetLastError() << ")";
}

HeldFile::~HeldFile() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

TestDrive::TestDrive(wchar_t letter) : letter_(letter) {
    SetLabel(L"");
}

TestDrive::~TestDrive() {
    SetLabel(L"");
}

namespace {

// Wine's mount manager reads .windows-label once per drive definition and
// keeps the label while the wineserver lives. Defining the drive again on
// the same folder (as winecfg does) makes it read the label anew.
#define TANDREL_MOUNTMGR_DEFINE_UNIX_DRIVE \
    CTL_CODE((ULONG)'m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS)
#define TANDREL_MOUNTMGR_QUERY_UNIX_DRIVE CTL_CODE((ULONG)'m', 33, METHOD_BUFFERED, FILE_READ_ACCESS)
struct UnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDev;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};

void RereadDrive(wchar_t letter) {
    HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return;
    std::vector<char> answer(4096);
    auto* query = reinterpret_cast<UnixDrive*>(answer.data());
    query->size = sizeof(UnixDrive);
    query->letter = letter;
    DWORD got = 0;
    if (DeviceIoControl(manager, TANDREL_MOUNTMGR_QUERY_UNIX_DRIVE, query, sizeof(UnixDrive), answer.data(),
                        static_cast<DWORD>(answer.size()), &got, nullptr) &&
        query->mountPointOffset && query->mountPointOffset < answer.size()) {
        answer.back() = 0;
        const std::string mount = answer.data() + query->mountPointOffset;
        std::vector<char> define(sizeof(UnixDrive) + mount.size() + 1);
        auto* drive = reinterpret_cast<UnixDrive*>(define.data());
        drive->size = static_cast<ULONG>(define.size());
        drive->type = query->type;
        drive->letter = letter;
        drive->mountPointOffset = sizeof(UnixDrive);
        memcpy(define.data() + sizeof(UnixDrive), mount.c_str(), mount.size() + 1);
        DeviceIoControl(manager, TANDREL_MOUNTMGR_DEFINE_UNIX_DRIVE, define.data(), static_cast<DWORD>(define.size()),
                        nullptr, 0, &got, nullptr);
    }
    CloseHandle(manager);
}

}  // namespace

void TestDrive::SetLabel(const std::wstring& label) {
    const std::wstring file = Root() + L".windows-label";
    if (label.empty()) {
        DeleteFileW(file.c_str());
    } else {
        WriteBytes(file, Utf8(label) + "\n");
    }
    RereadDrive(static_cast<wchar_t>(towlower(letter_)));
}

bool DriveDialog(const wchar_t* caption, bool sheet, const std::function<void(HWND)>& drive,
                 const std::function<void()>& show, Place where) {
    std::atomic<bool> found{false}, returned{false};
    std::thread driver([&] {
        HWND dialog = nullptr;
        // A show that returned without its dialog has nothing to wait for.
        WaitUntil(
            "the dialog to open",
            [&] {
                dialog = FindWindowW(L"#32770", caption);
                found = dialog &&
                        (sheet ? PropSheet_GetCurrentPageHwnd(dialog) != nullptr : IsWindowVisible(dialog) != FALSE);
                return found || returned;
            },
            kPatience, 20, where);
        if (!found) return;
        drive(dialog);
        if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    show();
    returned = true;
    driver.join();
    return found;
}

HWND WaitForDialog(const wchar_t* caption, Place where) {
    HWND window = nullptr;
    WaitUntil(
        "the dialog to open",
        [&] {
            window = FindWindowW(L"#32770", caption);
            return window && IsWindowVisible(window);
        },
        kPatience, 20, where);
    return window && IsWindowVisible(window) ? window : nullptr;
}

bool WaitGone(HWND window, Place where) {
    return WaitUntil("the window to close", [&] { return !IsWindow(window); }, kPatience, 20, where);
}

HANDLE StartChild(const std::wstring& filter) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command =
        L"\"" + std::wstring(self) + L"\" --gtest_filter=" + filter + L" --gtest_also_run_disabled_tests";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

}  // namespace tandrel::test
