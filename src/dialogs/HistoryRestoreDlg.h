#pragma once
#include <memory>
#include <string>
#include <vector>

#include "engine/History.h"
#include "framework/Window.h"

namespace tandrel {

// 「履歴から復元」: the runs of a setting's history (date, count and size from
// their manifests, read on a thread of their own), the files of the chosen
// run narrowed by name, and where they go. Nothing is restored here: the
// choice goes back to the window, which shows the plan first.
class CDlgHistoryRestore : public Dialog {
public:
    explicit CDlgHistoryRestore(std::wstring history);
    // False when closed without a choice.
    bool Choose(HWND owner, HistoryRestore& choice);

    // The history has been read (lParam: the result, taken once).
    static constexpr UINT kRead = WM_APP + 0x41;

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code) override;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct Read {
        bool ok = false;
        std::vector<HistoryRunContents> runs;
    };
    void ShowRuns(std::unique_ptr<Read> read);
    void ShowFiles();
    const HistoryRunContents* SelectedRun() const;
    void EnableTarget();
    bool Finish(bool wholeRun);

    std::wstring history_;
    std::unique_ptr<Read> read_;
    int shownRun_ = -1;
    // The entries of the shown run behind the rows of the file list.
    std::vector<const HistoryEntry*> shown_;
    HistoryRestore chosen_;
};

// The dialog on a setting's history folder; true with a choice.
bool ChooseHistoryRestore(HWND owner, const std::wstring& history, HistoryRestore& choice);

}  // namespace tandrel
