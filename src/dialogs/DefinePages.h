#pragma once
#include <span>
#include <string>
#include <vector>

#include "dialogs/FormPage.h"
#include "dialogs/TargetDialogs.h"
#include "framework/DataExchange.h"
#include "model/CommandList.h"
#include "model/FolderSetting.h"
#include "model/GlobalOptions.h"

namespace tandrel {

// What the pages of the folder-setting sheet edit together: a copy of the
// setting and of its two commands. A page never shown leaves its fields as
// they came in.
struct DefineContext {
    FolderSetting setting;
    CommandEntry commands[2];
    const GlobalOptions* options = nullptr;
    TargetPrompts prompts;
};

// The fields each page binds to one control each, read by Load and Save
// alike (the command page's ids are offsets in a command's block).
std::span<const FieldBinding<FolderSetting>> MainPageFields();
std::span<const FieldBinding<FolderSetting>> ModePageFields();
std::span<const FieldBinding<FolderSetting>> TargetPageFields();
std::span<const FieldBinding<FolderSetting>> LogPageFields();
std::span<const FieldBinding<CommandEntry>> CommandPageFields();

// A page of the folder-setting sheet, editing the context's setting.
class CDefPage : public CFormPage {
public:
    CDefPage(int templateId, DefineContext& context) : CFormPage(templateId), context_(context) {}

protected:
    FolderSetting& Setting() { return context_.setting; }
    DefineContext& context_;
};

// A volume label read off the window thread reaches the general page
// (wParam: side and generation, lParam: the label, owned by the page).
constexpr UINT WM_TANDREL_LABEL_READ = WM_APP + 0x31;

class CDlgDefMain : public CDefPage {
public:
    explicit CDlgDefMain(DefineContext& context);
    // The master folder as typed now (the setting's when the page is not open).
    std::wstring MasterFolder() const;

protected:
    void Load() override;
    bool Save() override;
    bool OnApply() override;
    bool OnCommand(int id, int code) override;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // typed: the folder edit changed, so the label waits for a pause.
    void UpdateVolumeSide(int side, bool typed = false);
    void ReadLabel(int side);
    // Reads the side's label on a thread of its own; the answer fills the
    // label edit if it is still empty and still asked for.
    void StartLabelRead(int side);
    void TakeLabel(int side, unsigned generation, const std::wstring& label);
    bool Wanted(int side) const;

    // Per side: a read asked for and not yet answered, and the number of the
    // latest read (older answers are dropped).
    bool pending_[2] = {};
    unsigned generation_[2] = {};
};

class CDlgDefMode : public CDefPage {
public:
    explicit CDlgDefMode(DefineContext& context);

protected:
    void Load() override;
    bool Save() override;
    bool OnCommand(int id, int code) override;

private:
    void UpdateEnabling();
};

class CDlgDefTarget : public CDefPage {
public:
    CDlgDefTarget(DefineContext& context, const CDlgDefMain& main);

    // Adds a folder pattern to the folder list under the parent rule; the
    // answer given (IDYES, IDNO, IDCANCEL) or 0 when nobody was asked.
    int AddFolder(const std::wstring& folder, int presetAnswer);

protected:
    void Load() override;
    bool Save() override;
    bool OnCommand(int id, int code) override;
    void OwnLayout(int width, int height, int dx, int dy, RECT& r, ResizeAnchor& anchor) override;

private:
    void UpdateEnabling();
    bool FolderProcessMode() const;
    void AddFolderFromDialog(const std::wstring& old);
    void AddFileFromDialog(const std::wstring& old);
    void EditSelected(int listId);
    void DropFolders(const std::vector<std::wstring>& paths);
    void DropFiles(const std::vector<std::wstring>& paths);

    const CDlgDefMain& main_;
};

class CDlgDefLog : public CDefPage {
public:
    explicit CDlgDefLog(DefineContext& context);

protected:
    void Load() override;
    bool Save() override;
    bool OnCommand(int id, int code) override;

private:
    void UpdateEnabling();
    void DeleteNow();
};

class CDlgDefSchedule : public CDefPage {
public:
    explicit CDlgDefSchedule(DefineContext& context);

protected:
    void Load() override;
    bool Save() override;
    bool OnCommand(int id, int code) override;

private:
    void UpdateEnabling();
};

class CDlgDefCommand : public CDefPage {
public:
    explicit CDlgDefCommand(DefineContext& context);

protected:
    void Load() override;
    bool Save() override;
    bool OnCommand(int id, int code) override;

private:
    void UpdateEnabling(int slot);
};

// The missing parent prefixes of a folder pattern (each part before a "\"),
// compared with the items without regard to case.
std::vector<std::wstring> MissingParents(const std::wstring& folder, const std::vector<std::wstring>& items);
// "c:\a\b" with master "d:\x\src" gives backup + "\src" unless the backup
// already ends in that name; roots and empty folders change nothing.
std::wstring BackupWithMasterName(const std::wstring& master, const std::wstring& backup);

}  // namespace tandrel
