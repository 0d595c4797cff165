#pragma once
#include <functional>
#include <span>
#include <string>

#include "dialogs/FormPage.h"
#include "framework/DataExchange.h"
#include "model/CommandList.h"
#include "model/AppState.h"

namespace tandrel {

// What the options pages edit together: a copy of the options and the store
// the folder settings are to live in. A page never shown leaves its fields
// as they came in.
struct OptionsContext {
    GlobalOptions edited;
    bool toRegistry = false;
    // The options in use: the registry switch and the project list.
    const AppState* current = nullptr;
    // Called by each page whose values were taken; closing is false for Apply.
    std::function<void(const CBPropertyPage& page, bool closing)> pageApplied;
};

// The fields each options page binds to one control each, read by Load and
// Save alike; the command list's are those of the entry shown.
std::span<const FieldBinding<GlobalOptions>> EnvironmentPageFields();
std::span<const FieldBinding<GlobalOptions>> FontPageFields();
std::span<const FieldBinding<GlobalOptions>> ToolsPageFields();
std::span<const FieldBinding<CommandEntry>> CommandListEntryFields();

// A page of the options sheet, editing the context's copy of the options.
// Changes made by the user mark the page modified, those made while loading
// do not.
class COptPage : public CFormPage {
public:
    COptPage(int templateId, OptionsContext& context) : CFormPage(templateId), context_(context) {}

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void MarkChanged() const;
    GlobalOptions& Options() { return context_.edited; }

    OptionsContext& context_;
};

class CDlgOptEnvironment : public COptPage {
public:
    explicit CDlgOptEnvironment(OptionsContext& context);

protected:
    void Load() override;
    bool Save() override;
    bool OnCommand(int id, int code) override;

private:
    void UpdateEnabling();
    void DeleteLogsNow();
};

class CDlgOptFont : public COptPage {
public:
    explicit CDlgOptFont(OptionsContext& context);

protected:
    void Load() override;
    bool Save() override;
    bool OnCommand(int id, int code) override;

private:
    void ShowPlace();
    void TakeFace(bool fromList);
    void TakeSize(bool fromList);
    int place_ = 0;
};

class CDlgOptTools : public COptPage {
public:
    explicit CDlgOptTools(OptionsContext& context);

protected:
    void Load() override;
    bool Save() override;
    bool OnCommand(int id, int code) override;
};

class CDlgOptCommandList : public COptPage {
public:
    explicit CDlgOptCommandList(OptionsContext& context);

protected:
    void Load() override;
    bool Save() override { return true; }
    bool OnCommand(int id, int code) override;

private:
    void FillList(int select);
    void ShowEntry();
    void WriteBack();
    void UpdateEnabling();
};

// The parameters proposed for a compare tool or log viewer program; empty
// when the program has no file name.
std::wstring ProposeCompareParameters(const std::wstring& program);
std::wstring ProposeViewerParameters(const std::wstring& program);

// The global command list as the command-list page changes it.
namespace command_list_edit {
// More than this many entries refuse another one.
constexpr int kAddLimit = 100;
// The list line of entry i: "%d: %s" with its 1-based position.
std::wstring Line(const CommandList& commands, int i);
// Appends a new command named after the new count; false at the limit.
bool Add(CommandList& commands);
// Removes entry i; the position to select afterwards (-1 when empty).
int Remove(CommandList& commands, int i);
// Swaps entry i with its neighbour; the entry's new position.
int Move(CommandList& commands, int i, int step);
// The action combo's index of an after-completion code, and back.
int ActionIndex(int action);
int ActionCode(int index);
}  // namespace command_list_edit

}  // namespace tandrel
