#pragma once
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "engine/EngineHost.h"
#include "framework/CommandUI.h"
#include "model/GlobalOptions.h"
#include "ui/ColumnList.h"

namespace tandrel {

// The report list (bottom pane): what the current or last run did. The rows
// live here, not in the control: the list view only asks for the texts of
// the rows it paints. The worker appends under a lock without waiting for
// the window; the window takes the new rows in with Refresh.
class CReportListCtrl : public CColumnList {
public:
    CReportListCtrl(ColumnWidths& widths, const ColumnWidths& defaults);

    bool Create(HWND parent);
    // The options' format and its blank form; the defaults for an empty one.
    void SetDateFormat(const std::wstring& format);
    // Any thread: the row is kept; it shows with the next Refresh.
    void AddRow(const ReportRow& row);
    // Window thread: the list takes the rows added since the last call and
    // scrolls to the last one. False when there was nothing new.
    bool Refresh();
    // Any thread: rows that are kept but not shown yet.
    bool HasPending() const;
    // Width of a text in the list's font (any thread).
    int MeasureText(const std::wstring& text);
    // Window thread: no rows any more.
    void Clear();
    size_t RowCount() const;
    std::wstring CellText(size_t row, int column) const;
    // Every row as text: the columns separated by tabs, rows by CR LF.
    std::wstring RowsAsText() const;
    // The texts the control asks for (LVN_GETDISPINFO, sent to the parent).
    void OnGetDispInfo(NMLVDISPINFOW& info) const;

    // Where the context menu's commands go, and how they are enabled.
    HWND commandTarget = nullptr;
    CommandQuery commandQuery;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    std::wstring SampleText(int column) const override;

private:
    // A run of 100,000 copies is 100,000 rows: a row keeps its path,
    // figures and action; the action's text is held once per action.
    struct Row {
        std::wstring path;
        std::time_t master = 0;
        std::time_t backup = 0;
        std::uint64_t size = 0;
        RowAction action = RowAction::Create;
        bool timed = false;
        bool sized = false;
    };
    const std::wstring& Text(RowAction action) const { return actionTexts_[static_cast<std::size_t>(action)]; }
    // The text of a cell; the caller holds the lock.
    std::wstring Cell(const Row& row, int column) const;

    std::wstring dateFormat_, blankDate_;
    mutable std::mutex mutex_;
    // Grown in blocks: no copy of every row when it grows.
    std::deque<Row> rows_;
    const std::array<std::wstring, kRowActionCount> actionTexts_;
    // How many rows the control was told about (window thread only).
    size_t shown_ = 0;
};

}  // namespace tandrel
