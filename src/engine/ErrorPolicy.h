#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/EngineHost.h"
#include "engine/MirrorBatch.h"
#include "engine/RunLog.h"

namespace tandrel {

// Error levels: the worst one of a batch is published at its end.
enum ErrorLevel { LevelNone = 0, LevelNotice = 1, LevelSkipped = 2, LevelError = 3, LevelFatal = 4 };

// Box styles of the error questions.
constexpr UINT kStyleChoices = MB_TOPMOST | MB_ICONHAND | MB_ABORTRETRYIGNORE;
constexpr UINT kStyleFatal = MB_TOPMOST | MB_ICONHAND;
constexpr UINT kStyleNotice = MB_TOPMOST | MB_ICONEXCLAMATION;

// What became of an error: stop the batch, try again, go on without it, or
// nothing to choose (an informing box, a failure a retry overcame).
enum class ErrorDecision : std::uint8_t { Abort, Retry, Ignore, Ok };

// One error or notice for the policy to decide on.
struct ErrorCall {
    int level = LevelError;
    std::wstring body;    // box text and log block
    std::wstring detail;  // usually the system's text; goes into the error row
    std::wstring title;   // caption of the box
    UINT style = kStyleChoices;
    ErrorDecision defaultAnswer = ErrorDecision::Ignore;
    // A failure that a later attempt overcame: logged, never asked.
    bool resolvedByRetry = false;
    // Forces silent ignoring on or off; unset, the setting's ErrorLeave decides.
    std::optional<bool> silentIgnore;
};

// The worker's voice towards the window and the log: status line, report
// rows, error questions with their suppression state, and the error count
// of the setting being processed. Lives for one batch.
class ErrorPolicy {
public:
    ErrorPolicy(MirrorBatch& batch, RunLog& log);

    // The setting whose errors are counted and whose ErrorLeave applies.
    void SetSetting(FolderSetting* setting) { setting_ = setting; }
    FolderSetting* Setting() const { return setting_; }

    // Boxes may be shown: not an unattended automatic run that closes the
    // program afterwards.
    bool Attended() const;
    bool Cancelled() const { return batch_.cancelRequested; }
    const std::atomic<bool>& CancelFlag() const { return batch_.cancelRequested; }

    // Decides on one error: asks, or answers by itself, logs the block and
    // returns the decision.
    ErrorDecision Raise(const ErrorCall& call);
    // Takes the error's level and text without asking or logging.
    void Note(const ErrorCall& call);
    // Raise for a failing operation: Retry comes back as true (try again);
    // anything else counts the error and adds its row.
    bool RaiseFailure(const ErrorCall& call);
    // One more error of the setting, and the row that shows it.
    void CountError();
    void AddErrorRow();

    // Called before every row, question and error block: the copies still
    // out are reported first, so rows and log lines keep the walk's order.
    void SetBeforeOutput(std::function<void()> hook) { beforeOutput_ = std::move(hook); }

    void SetStatus(const std::wstring& text, const std::wstring& detail);
    // A report row to the list and/or the log as its flags say.
    void Report(RowAction action, const std::wstring& path, unsigned flags,
                const std::optional<FILETIME>& masterTime = std::nullopt,
                const std::optional<FILETIME>& backupTime = std::nullopt,
                std::optional<std::uint64_t> size = std::nullopt);
    // A box outside the error policy (end of a setting or batch): shown only
    // when attended.
    int ShowPlainBox(const std::wstring& text, const std::wstring& caption, UINT style);

    int worstLevel() const { return worstLevel_; }
    void RaiseLevel(int level);
    const std::wstring& lastErrorText() const { return lastErrorText_; }
    bool suppressMessages() const { return suppressMessages_; }
    RunLog& log() { return log_; }
    EngineHost& host() { return *batch_.host; }

private:
    ErrorDecision ShowErrorBox(const std::wstring& body, const std::wstring& caption, UINT style);
    void AskSuppression();

    MirrorBatch& batch_;
    RunLog& log_;
    FolderSetting* setting_ = nullptr;
    int worstLevel_ = LevelNone;
    std::wstring lastErrorText_;
    std::wstring statusText_, statusDetail_;
    bool suppressMessages_ = false;
    int messagesShown_ = 0;
    std::function<void()> beforeOutput_;
};

// Counters stop short of overflowing.
inline void Bump(std::int32_t& counter) {
    if (counter < 0x3FFFFFFE) ++counter;
}

}  // namespace tandrel
