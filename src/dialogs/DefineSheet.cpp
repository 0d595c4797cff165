#include "dialogs/DefineSheet.h"

#include "dialogs/DefinePages.h"
#include "dialogs/DialogSupport.h"
#include "platform/Messages.h"
#include "platform/Strings.h"
#include "resource_dialogs.h"

namespace tandrel {

namespace {

constexpr int kHelpTopic = 5;
constexpr int kPageAnchors[] = {1, 5, 6, 7, 8, 9};

// The sheet with its six pages, in tab order.
class CDlgDefineSheet : public CBPropertySheet {
public:
    CDlgDefineSheet(DefineContext& context, const HelpRequest& help)
        : CBPropertySheet(LoadText(IDS_FOLDER_SETTING)),
          main_(context),
          mode_(context),
          target_(context, main_),
          log_(context),
          schedule_(context),
          command_(context),
          help_(help) {
        AddFlags(PSH_NOAPPLYNOW);
        SetHelp(true);
        SetResizable(true);
        SetAccelerators(IDR_SHEET_ACCEL);
        for (CBPropertyPage* page : std::initializer_list<CBPropertyPage*>{&main_, &mode_, &target_, &log_,
                                                                            &schedule_, &command_}) {
            AddPage(*page);
        }
    }

protected:
    void OnHelp(int page) override {
        if (help_) help_(kHelpTopic, page >= 0 && page < 6 ? kPageAnchors[page] : 0);
    }

private:
    CDlgDefMain main_;
    CDlgDefMode mode_;
    CDlgDefTarget target_;
    CDlgDefLog log_;
    CDlgDefSchedule schedule_;
    CDlgDefCommand command_;
    const HelpRequest& help_;
};

}  // namespace

bool EditFolderSetting(HWND owner, AppState& options, FolderSetting& setting, CommandList& commands,
                       bool isNew, const TargetPrompts& prompts, const HelpRequest& help) {
    UseDialogFontOf(options);

    DefineContext context;
    context.setting = setting;
    context.options = &options;
    context.prompts = prompts;
    for (int slot = 0; slot < 2; ++slot) commands.CopyInto(context.commands[slot], setting.commandIds[slot], slot);

    CDlgDefineSheet sheet(context, help);
    const Rect& saved = options.FolderSettingDialog;
    sheet.SetSavedRect(RECT{saved.left, saved.top, saved.right, saved.bottom});
    if (sheet.RunModal(owner) != IDOK) return false;

    context.setting.ClearRunState();
    for (int slot = 0; slot < 2; ++slot) {
        context.commands[slot].type = slot;
        context.setting.commandIds[slot] = commands.Store(context.commands[slot]);
    }
    setting = context.setting;
    const RECT& r = sheet.SavedRect();
    options.FolderSettingDialog = Rect{r.left, r.top, r.right, r.bottom};
    if (isNew) {
        ShowMessageFormat(owner, IDS_SETTING_CREATED, IDS_SETTING_CREATE, MB_OK | MB_ICONINFORMATION, setting.Name);
    }
    return true;
}

}  // namespace tandrel
