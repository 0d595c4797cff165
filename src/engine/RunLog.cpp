#include "engine/RunLog.h"

#include <algorithm>

#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource_engine.h"

namespace tandrel {

namespace {

// Without "write immediately" lines wait in memory up to this size, or this
// long, so a large run does not pay a system call per line.
constexpr size_t kPendingLimit = 64 * 1024;
constexpr DWORD kPendingMs = 1000;

LogMessage OpenFailure(unsigned textId, const std::wstring& path, DWORD error) {
    const std::wstring detail = WithoutFinalBreak(SystemErrorText(error));
    return {InsertArgs(LoadText(textId), path, &detail), LoadText(IDS_LOG_OPEN), MB_TOPMOST | MB_ICONHAND};
}

}  // namespace

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), n, nullptr, nullptr);
    return bytes;
}

std::wstring FromUtf8(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int length = static_cast<int>(bytes.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, nullptr, 0);
    if (n <= 0) return {};
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, text.data(), n);
    return text;
}

LogChoice ChooseLog(const FolderSetting& setting, const GlobalOptions& options) {
    LogChoice choice;
    if (setting.OutputLog) {
        choice = {LogChoice::Own, setting.LogFileName, setting.WriteLogImmediately, setting.OutputErrorOnly,
                  setting.ClearLog, setting.OutputSkipLog && !setting.OutputErrorOnly};
    } else if (options.OutputLog) {
        choice = {LogChoice::Global, options.LogFileName, options.WriteLogImmediately, options.OutputErrorOnly,
                  options.ClearLog, options.OutputSkipLog && !options.OutputErrorOnly};
    }
    return choice;
}

LogClearing ClearLog(const std::wstring& pattern, const ProjectSlot& project, bool countOnly) {
    const LogCleanup cleanup = DeleteLogsForPattern(pattern, project, countOnly);
    LogClearing clearing{cleanup.result, cleanup.count, std::nullopt};
    if (cleanup.result == LogsFailed) {
        clearing.failure = LogMessage{InsertArgs(LoadText(IDS_LOG_DELETE_FAILED), cleanup.failures),
                                      LoadText(IDS_LOG_DELETE), MB_TOPMOST | MB_ICONEXCLAMATION};
    }
    return clearing;
}

RunLog::RunLog(const GlobalOptions& options, bool testRun) : options_(options), testRun_(testRun) {}

RunLog::~RunLog() {
    Close();
}

LogClearing RunLog::ClearGlobalLog() {
    if (testRun_ || !options_.OutputLog || !options_.ClearLog) return {};
    return ClearLog(options_.LogFileName, Project());
}

void RunLog::NameGlobalLog(std::time_t batchStart) {
    globalPath_ = DateFormat(options_.LogFileName, Project(), batchStart);
}

LogClearing RunLog::ClearOwnLog(const FolderSetting& setting) {
    if (testRun_ || !setting.OutputLog || !setting.ClearLog) return {};
    return ClearLog(setting.LogFileName, Project());
}

std::optional<LogMessage> RunLog::Open(const FolderSetting& setting, std::time_t settingStart) {
    Close();
    if (testRun_) return std::nullopt;
    const LogChoice choice = ChooseLog(setting, options_);
    if (choice.source == LogChoice::None) return std::nullopt;

    const std::wstring path =
        choice.source == LogChoice::Own ? DateFormat(choice.pattern, Project(), settingStart) : globalPath_;
    // A name that cannot be formed (too long, unknown code) would otherwise
    // be tried as the bare long-path prefix, and the box would name nothing.
    if (path.empty()) return OpenFailure(IDS_LOG_OPEN_FAILED, choice.pattern, ERROR_INVALID_NAME);

    // A log in a drive root has a folder that exists but cannot be created.
    const std::wstring folder = FolderOf(path, true);
    if (!folder.empty() && !IsDirectory(folder) && !CreateDirectoryTree(folder)) {
        return OpenFailure(IDS_LOG_FOLDER_FAILED, folder, GetLastError());
    }
    // Readers such as a log viewer may look in while it runs; writers may not.
    UniqueHandle file(CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return OpenFailure(IDS_LOG_OPEN_FAILED, path, GetLastError());
    if (!SetFilePointerEx(file.Get(), LARGE_INTEGER{}, nullptr, FILE_END)) {
        return OpenFailure(IDS_LOG_OPEN_FAILED, path, GetLastError());
    }

    file_ = std::move(file);
    path_ = path;
    errorOnly_ = choice.errorOnly ? 1 : 0;
    flushEachLine_ = choice.flushEachLine;
    skipLines_ = choice.skipLines;
    if (!flushEachLine_ &&
        !CreateTimerQueueTimer(&writeTimer_, nullptr, OnWriteTimer, this, kPendingMs, kPendingMs, WT_EXECUTEDEFAULT)) {
        // Without the timer every line goes through at once.
        writeTimer_ = nullptr;
        flushEachLine_ = true;
    }
    return std::nullopt;
}

void CALLBACK RunLog::OnWriteTimer(void* self, BOOLEAN) {
    RunLog& log = *static_cast<RunLog*>(self);
    const std::lock_guard<std::mutex> lock(log.pendingLock_);
    if (log.file_ && !log.pending_.empty()) log.WritePending();
}

void RunLog::StopWriteTimer() {
    // Waits for a running callback, so none touches the file after this.
    if (writeTimer_) DeleteTimerQueueTimer(nullptr, writeTimer_, INVALID_HANDLE_VALUE);
    writeTimer_ = nullptr;
}

void RunLog::Close() {
    StopWriteTimer();
    if (file_) WritePending();
    file_.Reset();
    pending_.clear();
    path_.clear();
    errorOnly_ = 0;
    flushEachLine_ = false;
    skipLines_ = false;
}

void RunLog::Write(int level, const std::wstring& text) {
    if (!file_ || level < errorOnly_) return;
    const std::lock_guard<std::mutex> lock(pendingLock_);
    pending_ += ToUtf8(text);
    if (flushEachLine_ || pending_.size() >= kPendingLimit) WritePending();
}

void RunLog::WritePending() {
    size_t done = 0;
    while (done < pending_.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(pending_.size() - done, 1u << 30));
        if (!WriteFile(file_.Get(), pending_.data() + done, chunk, &written, nullptr) || written == 0) break;
        done += written;
    }
    // What could not be written (a full disk) is dropped rather than piled up.
    // "Write immediately" hands each line to the system, where a viewer sees
    // it; a disk sync per line would only slow the run down.
    pending_.clear();
}

void RunLog::WriteHeader(const std::wstring& name, const std::wstring& master, const std::wstring& backup) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    Write(kLogHeaderLevel, LoadText(IDS_LOG_SEPARATOR) + Format(LoadText(IDS_LOG_SETTING_NAME).c_str(), name.c_str()) +
                               Format(LoadText(IDS_LOG_UPDATE_TIME).c_str(), now.wYear, now.wMonth, now.wDay,
                                      now.wHour, now.wMinute, now.wSecond) +
                               Format(LoadText(IDS_LOG_MASTER).c_str(), master.c_str()) +
                               Format(LoadText(IDS_LOG_BACKUP).c_str(), backup.c_str()));
}

void RunLog::WriteEntry(RowAction action, const std::wstring& path) {
    Write(kLogEntryLevel, Format(LoadText(IDS_LOG_ENTRY).c_str(), RowActionText(action).c_str(), path.c_str()));
}

void RunLog::WriteDriveDetection(const std::wstring& side, const std::wstring& label, const std::wstring& root) {
    Write(kLogEntryLevel, Format(LoadText(IDS_LOG_DRIVE).c_str(), side.c_str(), label.c_str(), root.c_str()));
}

void RunLog::WriteErrorBlock(int level, const std::wstring& heading, const std::wstring& body) {
    Write(level, Format(LoadText(IDS_LOG_ERROR_BLOCK).c_str(), heading.c_str(), WithoutFinalBreak(body).c_str()));
}

}  // namespace tandrel
