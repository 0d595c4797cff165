#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "framework/Control.h"
#include "model/GlobalOptions.h"
#include "ui/Fonts.h"

namespace tandrel {

// A report-style list of the main window whose column widths live in the
// options (read back on every paint, so the widths the user drags are
// stored). Widths still at the program's defaults are fitted to what the
// columns show in the list's font and at its scale; stored or dragged
// widths are the user's and only follow a change of scale.
class CColumnList : public SubclassedControl {
public:
    CColumnList(ColumnWidths& widths, const ColumnWidths& defaults)
        : widths_(widths), defaults_(defaults), atDefaults_(widths == defaults) {}

    // The widths from the options (an import brings the user's).
    void ApplyWidths();
    void ApplyFont(const FontChoice& choice, UINT dpi) { font_.Apply(Handle(), choice, dpi); }
    bool HasCustomFont() const { return font_.Custom(); }
    // Default widths fitted again (the font or the scale changed).
    void FitDefaults(UINT dpi);
    // The screen's scale changed from one to the other: the user's widths follow it.
    void ScaleWidths(UINT from, UINT to);

protected:
    // Adds the columns with their titles at the options' widths.
    void AddColumns(const unsigned* titles, int rightAligned = -1);
    // The widest text a column shows besides its title ("" for none).
    virtual std::wstring SampleText(int column) const = 0;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    ColumnWidths& widths_;
    const ColumnWidths defaults_;
    bool atDefaults_;
    OwnedFont font_;
};

}  // namespace tandrel
