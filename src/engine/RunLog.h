#pragma once
#include <windows.h>

#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>

#include "engine/EngineHost.h"
#include "model/FolderSetting.h"
#include "model/GlobalOptions.h"
#include "platform/DateFormat.h"
#include "platform/Handle.h"
#include "platform/LogFiles.h"

namespace tandrel {

// The UTF-8 bytes of a text, as the logs and manifests hold them.
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& bytes);

// Levels of log lines; error blocks carry their error level (1 to 4).
constexpr int kLogEntryLevel = 0;
constexpr int kLogHeaderLevel = 99;

// The log a setting writes into and the options that govern it: the
// setting's own when it has one, else the global one, else none.
struct LogChoice {
    enum Source { None, Own, Global };
    Source source = None;
    std::wstring pattern;
    bool flushEachLine = false;
    bool errorOnly = false;
    bool clear = false;
    // Whether skipped entries get a line.
    bool skipLines = false;
};
LogChoice ChooseLog(const FolderSetting& setting, const GlobalOptions& options);

// A message box for the worker to show when it may; the engine shows none.
struct LogMessage {
    std::wstring text;
    std::wstring caption;
    UINT flags = 0;
};

struct LogClearing {
    int result = LogsNone;
    int count = 0;
    // Set when some logs could not be deleted.
    std::optional<LogMessage> failure;
};
// Deletes (or with countOnly just counts) every log the pattern can produce.
LogClearing ClearLog(const std::wstring& pattern, const ProjectSlot& project, bool countOnly = false);

// The log of one batch: open for one setting at a time. Lines are converted
// to UTF-8 and appended; nothing is written before the file's end.
class RunLog {
public:
    // Borrows the options for as long as it lives. In a test run no log is
    // ever cleared, created or written.
    RunLog(const GlobalOptions& options, bool testRun);
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // Once at the start of a batch. A failure means that no setting runs.
    LogClearing ClearGlobalLog();
    // The global log's name for the whole batch.
    void NameGlobalLog(std::time_t batchStart);

    // At the start of a setting, before Open. A failure is only shown; the
    // setting still runs.
    LogClearing ClearOwnLog(const FolderSetting& setting);
    // Opens the log the setting writes into; no log at all is success. A
    // failure (the box to show) ends the batch.
    std::optional<LogMessage> Open(const FolderSetting& setting, std::time_t settingStart);
    void Close();

    bool IsOpen() const { return static_cast<bool>(file_); }
    const std::wstring& Path() const { return path_; }
    std::int32_t errorOnly() const { return errorOnly_; }
    bool flushEachLine() const { return flushEachLine_; }
    bool skipLines() const { return skipLines_; }

    // Written only while open and when level >= errorOnly.
    void Write(int level, const std::wstring& text);
    // Separator, name, time of writing, master and backup paths.
    void WriteHeader(const std::wstring& name, const std::wstring& master, const std::wstring& backup);
    void WriteEntry(RowAction action, const std::wstring& path);
    void WriteDriveDetection(const std::wstring& side, const std::wstring& label, const std::wstring& root);
    // The body's final line break is dropped; the block adds its own.
    void WriteErrorBlock(int level, const std::wstring& heading, const std::wstring& body);

private:
    ProjectSlot Project() const { return ActiveProjectOf(options_); }
    // Hands the waiting lines to the system; the caller holds the lock.
    void WritePending();
    static void CALLBACK OnWriteTimer(void* self, BOOLEAN);
    void StopWriteTimer();

    const GlobalOptions& options_;
    const bool testRun_;
    std::wstring globalPath_;
    UniqueHandle file_;
    std::wstring path_;
    std::int32_t errorOnly_ = 0;
    bool flushEachLine_ = false;
    bool skipLines_ = false;
    std::string pending_;
    // Lines wait in memory at most about a second (a viewer sees them while
    // one long copy runs): a timer of the system's pool writes them.
    std::mutex pendingLock_;
    HANDLE writeTimer_ = nullptr;
};

}  // namespace tandrel
