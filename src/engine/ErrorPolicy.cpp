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

int ErrorPolicy::Raise(const ErrorCall& call) {
    Note(call);
    const bool attended = Attended();

    int answer = call.defaultAnswer;
    std::wstring heading;
    if (call.resolvedByRetry) {
        heading = LoadText(IDS_ERROR_RESOLVED);
    } else {
        const bool leave = call.silentIgnore ? *call.silentIgnore : (setting_ && setting_->ErrorLeave);
        if (call.level < LevelFatal && (suppressMessages_ || leave)) {
            answer = IDIGNORE;
        } else if (attended) {
            if (call.style & MB_ABORTRETRYIGNORE) {
                answer = suppressMessages_ ? IDIGNORE : ShowErrorBox(call.body, call.title, call.style);
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
        return IDOK;
    }
    switch (answer) {
        case IDABORT:
            batch_.cancelRequested = true;
            heading = LoadText(IDS_ERROR_STOPPED);
            break;
        case IDRETRY:
            return IDRETRY;
        case IDIGNORE:
            heading = LoadText(IDS_ERROR_IGNORED);
            break;
        default:
            break;
    }
    log_.WriteErrorBlock(call.level, heading, call.body);
    return answer;
}

bool ErrorPolicy::RaiseFailure(const ErrorCall& call) {
    if (Raise(call) == IDRETRY) return true;
    CountError();
    AddErrorRow();
    return false;
}

void ErrorPolicy::CountError() {
    if (setting_) Bump(setting_->Errors);
}

void ErrorPolicy::AddErrorRow() {
    Report(LoadText(IDS_ERROR), lastErrorText_, RowToList);
}

int ErrorPolicy::ShowErrorBox(const std::wstring& body, const std::wstring& caption, UINT style) {
    batch_.host->RunState(RunPhase::Asking);
    batch_.host->SetStatus((LoadText(IDS_STATUS_WAITING) + statusText_).c_str(), statusDetail_.c_str());
    std::wstring text = WithoutFinalBreak(body);
    if (messagesShown_ > 0) text += LoadText(IDS_SUPPRESS_HINT);
    ++messagesShown_;
    return batch_.host->ShowMessageBox(text, caption, style);
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

void ErrorPolicy::Report(const std::wstring& action, const std::wstring& path, unsigned flags,
                         const std::optional<FILETIME>& masterTime, const std::optional<FILETIME>& backupTime,
                         std::optional<std::uint64_t> size) {
    if (flags & RowToList) batch_.host->AddReportRow({action, path, masterTime, backupTime, size});
    if (flags & RowToLog) log_.WriteEntry(action, path);
}

int ErrorPolicy::ShowPlainBox(const std::wstring& text, const std::wstring& caption, UINT style) {
    if (!Attended()) return IDCANCEL;
    return batch_.host->ShowMessageBox(text, caption, style);
}

}  // namespace tandrel
