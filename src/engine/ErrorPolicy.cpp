#include "engine/ErrorPolicy.h"

#include <algorithm>

#include "platform/Environment.h"
#include "platform/Strings.h"
#include "resource_engine.h"

namespace tandrel {

ErrorPolicy::ErrorPolicy(MirrorBatch& batch, RunLog& log) : batch_(batch), log_(log) {}

bool ErrorPolicy::Attended() const {
    const AppState* o = batch_.options;
    if (!o || !o->AutoExitWhenError || !batch_.startedAutomatically) return true;
    return !AfterChoice::Unpack(batch_.afterChoice).Closing();
}

void ErrorPolicy::RaiseLevel(int level) {
    worstLevel_ = std::max(worstLevel_, level);
}

void ErrorPolicy::Note(const ErrorCall& call) {
    RaiseLevel(call.level);
    lastErrorText_ = Format(LoadText(IDS_ERROR_ROW_TEXT).c_str(), call.title.c_str(), call.detail.c_str());
}

ErrorDecision ErrorPolicy::Raise(const ErrorCall& call) {
    if (beforeOutput_) beforeOutput_();
    Note(call);
    const bool attended = Attended();

    ErrorDecision answer = call.defaultAnswer;
    std::wstring heading;
    if (call.resolvedByRetry) {
        heading = LoadText(IDS_ERROR_RESOLVED);
    } else {
        const bool leave = call.silentIgnore ? *call.silentIgnore : (setting_ && setting_->ErrorLeave);
        if (call.level < LevelFatal && (suppressMessages_ || leave)) {
            answer = ErrorDecision::Ignore;
        } else if (attended) {
            if (call.style & MB_ABORTRETRYIGNORE) {
                answer = suppressMessages_ ? ErrorDecision::Ignore : ShowErrorBox(call.body, call.title, call.style);
            } else if (!suppressMessages_) {
                // An OK-only box informs; the answer stays the call's own.
                ShowErrorBox(call.body, call.title, call.style);
            }
        }
        if (attended && batch_.host->IsCtrlDown()) AskSuppression();
    }

    batch_.host->RunState(RunPhase::Working);
    batch_.host->SetStatus(statusText_.c_str(), statusDetail_.c_str());

    if (call.resolvedByRetry) {
        log_.WriteErrorBlock(call.level, heading, call.body);
        return ErrorDecision::Ok;
    }
    switch (answer) {
        case ErrorDecision::Abort:
            batch_.cancelRequested = true;
            heading = LoadText(IDS_ERROR_STOPPED);
            break;
        case ErrorDecision::Retry:
            return answer;
        case ErrorDecision::Ignore:
            heading = LoadText(IDS_ERROR_IGNORED);
            break;
        case ErrorDecision::Ok:
            break;
    }
    log_.WriteErrorBlock(call.level, heading, call.body);
    return answer;
}

bool ErrorPolicy::RaiseFailure(const ErrorCall& call) {
    if (Raise(call) == ErrorDecision::Retry) return true;
    CountError();
    AddErrorRow();
    return false;
}

void ErrorPolicy::CountError() {
    if (setting_) Bump(setting_->Errors);
}

void ErrorPolicy::AddErrorRow() {
    Report(RowAction::Error, lastErrorText_, RowToList);
}

ErrorDecision ErrorPolicy::ShowErrorBox(const std::wstring& body, const std::wstring& caption, UINT style) {
    batch_.host->RunState(RunPhase::Asking);
    batch_.host->SetStatus((LoadText(IDS_STATUS_WAITING) + statusText_).c_str(), statusDetail_.c_str());
    std::wstring text = WithoutFinalBreak(body);
    if (messagesShown_ > 0) text += LoadText(IDS_SUPPRESS_HINT);
    ++messagesShown_;
    // The box's buttons, as the run's decisions.
    switch (batch_.host->ShowMessageBox(text, caption, style)) {
        case IDABORT: return ErrorDecision::Abort;
        case IDRETRY: return ErrorDecision::Retry;
        case IDIGNORE: return ErrorDecision::Ignore;
        default: return ErrorDecision::Ok;
    }
}

void ErrorPolicy::AskSuppression() {
    const int answer = batch_.host->ShowMessageBox(LoadText(IDS_SUPPRESS_ASK), LoadText(IDS_SUPPRESS_CAPTION),
                                                   MB_TOPMOST | MB_ICONQUESTION | MB_YESNO);
    if (answer == IDYES) {
        suppressMessages_ = true;
    } else {
        suppressMessages_ = false;
        messagesShown_ = 0;
    }
}

void ErrorPolicy::SetStatus(const std::wstring& text, const std::wstring& detail) {
    statusText_ = text;
    statusDetail_ = detail;
    batch_.host->SetStatus(text.c_str(), detail.c_str());
}

void ErrorPolicy::Report(RowAction action, const std::wstring& path, unsigned flags,
                         const std::optional<FILETIME>& masterTime, const std::optional<FILETIME>& backupTime,
                         std::optional<std::uint64_t> size) {
    if (beforeOutput_) beforeOutput_();
    if (flags & RowToList) batch_.host->AddReportRow({action, path, masterTime, backupTime, size});
    if (flags & RowToLog) log_.WriteEntry(action, path);
}

int ErrorPolicy::ShowPlainBox(const std::wstring& text, const std::wstring& caption, UINT style) {
    if (!Attended()) return IDCANCEL;
    return batch_.host->ShowMessageBox(text, caption, style);
}

}  // namespace tandrel
