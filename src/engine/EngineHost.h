#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "model/FolderSetting.h"

namespace tandrel {

// Flags of a report row.
enum ReportRowFlags : unsigned {
    RowToLog = 1,   // write the row to the run log
    RowToList = 2,  // show it in the report list
};

// What a report row says was done; the list and the log show it as the
// text RowActionText gives.
enum class RowAction : std::uint8_t {
    Start,
    TestStart,
    Create,
    FolderCreate,
    Update,
    Delete,
    FolderDelete,
    Rename,
    Skip,
    Abort,
    End,
    Drive,
    Summary,
    Error,
    Command,
    Confirm,    // the update will ask before it deletes
    ToHistory,  // a backup file moved or linked into the history
    Move,       // a backup file moved to a new master file's place
};
constexpr std::size_t kRowActionCount = static_cast<std::size_t>(RowAction::Move) + 1;

// The string-table id of an action's text, and the text.
unsigned RowActionTextId(RowAction action);
std::wstring RowActionText(RowAction action);

// One row of the report list.
struct ReportRow {
    RowAction action = RowAction::Create;
    std::wstring path;    // relative path or detail text
    // Last-write times of the master and backup entries, when known.
    std::optional<FILETIME> masterTime;
    std::optional<FILETIME> backupTime;
    std::optional<std::uint64_t> size;
};

// What the run is doing, for the window's progress pane.
enum class RunPhase : std::uint8_t {
    CommandsDone = 0,  // the setting's commands are done
    Working = 1,
    Asking = 4,   // a message box opens
    Stopped = 8,  // aborted, or a deletion waits for confirmation
};

// A setting's mark in the list while the batch runs: selected (as it starts
// and ends), or done in a clean run of every automatic setting.
enum class SettingMark : std::uint8_t { Selected = 1, DoneAutomatically = 2 };

// What the user chose in the delete confirmation dialog.
enum class DeleteChoice { Delete, DeleteAll, Skip, Abort };

struct DeleteConfirmation {
    std::wstring path;     // full path of the file to delete
    std::wstring timeText; // "%Y/%m/%d %H:%M:%S" or "----/--/-- --:--:--"
    std::uint64_t size = 0;
};

// Everything the run engine says to the user interface goes through here;
// the engine holds no window of its own. The window side answers on the UI
// thread (the real host sends its messages and waits for them), a test host
// records the calls and answers boxes from a script. All calls come from the
// worker thread.
class EngineHost {
public:
    virtual ~EngineHost() = default;
    // Status line; a null text keeps the previous one, both null show the
    // idle text.
    virtual void SetStatus(const wchar_t* text, const wchar_t* detail) = 0;
    // Appends a row to the report list.
    virtual void AddReportRow(const ReportRow& row) = 0;
    // Width of a text in the report list's font; 0 when it cannot be told.
    virtual int MeasureReportText(const std::wstring& text) = 0;
    // A setting starts or ends; the view stores the mark in runSelection
    // and redraws the row.
    virtual void SettingRunState(FolderSetting& setting, SettingMark mark) = 0;
    virtual void RunState(RunPhase phase) = 0;
    // False greys the Close item of the main window's system menu.
    virtual void EnableClose(bool enable) = 0;
    virtual void ClearReport() = 0;
    // A modal message box owned by the view; returns the button pressed.
    virtual int ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT style) = 0;
    // Whether the Ctrl key is held down right now.
    virtual bool IsCtrlDown() = 0;
    virtual DeleteChoice ConfirmDelete(const DeleteConfirmation& file) = 0;
    // The view stores LastExec and Errors of every setting of the project.
    virtual void StoreRunResults() = 0;
    // Posts WM_CLOSE to the main window (the end-of-batch closing actions).
    virtual void PostClose() = 0;
    // The automatic state of a command-line start is over: the window lets
    // the after-completion action be chosen again.
    virtual void EndAutomaticState() {}
};

}  // namespace tandrel
