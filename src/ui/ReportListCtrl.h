#pragma once
#include <windows.h>

#include "engine/EngineHost.h"
#include "framework/CommandUI.h"
#include "framework/Control.h"
#include "model/GlobalOptions.h"
#include "ui/Fonts.h"

namespace tandrel {

// The report list (bottom pane): what the current or last run did. Rows
// are added from the worker thread; every call reaches the control only
// through sent messages, so it runs on the window's own thread.
class CReportListCtrl : public SubclassedControl {
public:
    explicit CReportListCtrl(GlobalOptions& options) : options_(options) {}

    bool Create(HWND parent);
    // The options' format and its blank form; the defaults for an empty one.
    void SetDateFormat(const std::wstring& format);
    void AddRow(const ReportRow& row);
    // Width of a text in the list's font.
    int MeasureText(const std::wstring& text);
    void Clear();
    void ApplyWidths();
    void ApplyFont(const FontChoice& choice) { font_.Apply(Handle(), choice); }
    bool HasCustomFont() const { return font_.Custom(); }
    // Every row as text: the columns separated by tabs, rows by CR LF.
    std::wstring RowsAsText() const;

    // Where the context menu's commands go, and how they are enabled.
    HWND commandTarget = nullptr;
    CommandQuery commandQuery;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    GlobalOptions& options_;
    std::wstring dateFormat_, blankDate_;
    OwnedFont font_;
};

}  // namespace tandrel
