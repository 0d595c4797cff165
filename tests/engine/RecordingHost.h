#pragma once
// An engine host that records what the worker says and answers its boxes
// and delete confirmations from a script.
#include <atomic>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/EngineHost.h"

namespace tandrel::test {

class RecordingHost : public EngineHost {
public:
    struct Box {
        std::wstring text, caption;
        UINT style;
        bool running = false;  // the batch's running flag while it was open
    };

    void SetStatus(const wchar_t* text, const wchar_t* detail) override {
        statuses.push_back(std::wstring(text ? text : L"") + L"|" + (detail ? detail : L""));
    }
    void AddReportRow(const ReportRow& row) override {
        rows.push_back(row);
        if (onRow) onRow(row);
    }
    int MeasureReportText(const std::wstring& text) override { return static_cast<int>(text.size()) * 7; }
    void SettingRunState(FolderSetting& setting, SettingMark mark) override {
        const int state = static_cast<int>(mark);
        setting.runSelection = static_cast<std::uint8_t>(state);
        settingStates.push_back(state);
    }
    void RunState(RunPhase phase) override { runStates.push_back(static_cast<int>(phase)); }
    void EnableClose(bool enable) override { closeEnabled.push_back(enable); }
    void ClearReport() override { ++clears; }
    int ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT style) override {
        boxes.push_back({text, caption, style, running && *running});
        if (answers.empty()) return (style & MB_ABORTRETRYIGNORE) ? IDIGNORE : IDOK;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool IsCtrlDown() override { return std::exchange(ctrl, false); }
    DeleteChoice ConfirmDelete(const DeleteConfirmation& file) override {
        confirmations.push_back(file);
        if (deleteAnswers.empty()) return DeleteChoice::Delete;
        const DeleteChoice answer = deleteAnswers.front();
        deleteAnswers.pop_front();
        return answer;
    }
    void StoreRunResults() override { ++stores; }
    void PostClose() override {
        ++closes;
        runningAtClose = running && *running;
    }
    void EndAutomaticState() override {
        ++automaticEnds;
        closeOnAtAutomaticEnd = !closeEnabled.empty() && closeEnabled.back();
    }

    // "action path" of every row as the list shows it, for compact
    // comparisons.
    std::vector<std::wstring> RowTexts() const {
        std::vector<std::wstring> out;
        for (const ReportRow& row : rows) out.push_back(RowActionText(row.action) + L" " + row.path);
        return out;
    }

    std::vector<std::wstring> statuses;
    std::vector<ReportRow> rows;
    std::vector<int> settingStates, runStates;
    std::vector<bool> closeEnabled;
    // Whether the window's close was on when the automatic state ended.
    bool closeOnAtAutomaticEnd = false;
    std::vector<Box> boxes;
    std::vector<DeleteConfirmation> confirmations;
    std::deque<int> answers;
    std::deque<DeleteChoice> deleteAnswers;
    // The batch's running flag, watched at boxes and closes when given.
    const std::atomic<bool>* running = nullptr;
    bool runningAtClose = false;
    // Called after each row is recorded (a test may throw or cancel there).
    std::function<void(const ReportRow&)> onRow;
    // Held down until asked once.
    bool ctrl = false;
    int clears = 0, stores = 0, closes = 0, automaticEnds = 0;
};

}  // namespace tandrel::test
