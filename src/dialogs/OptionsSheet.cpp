#include "dialogs/OptionsSheet.h"

#include "dialogs/DialogSupport.h"
#include "dialogs/OptPages.h"
#include "platform/Messages.h"
#include "platform/Strings.h"
#include "resource_dialogs.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsStore.h"

namespace tandrel {

namespace {

constexpr int kHelpTopic = 6;
constexpr int kPageAnchors[] = {3, 4, 5, 6};

class COptionsSheet : public CBPropertySheet {
public:
    COptionsSheet(AppState& options, const HelpRequest& help, const OptionsApplied& applied)
        : CBPropertySheet(LoadText(IDS_OPTIONS)),
          options_(options),
          help_(help),
          applied_(applied),
          environment_(context_),
          font_(context_),
          tools_(context_),
          commands_(context_) {
        context_.edited.CopyFrom(options, GroupVersion | GroupSheet);
        context_.toRegistry = options.useRegistry;
        context_.current = &options;
        context_.pageApplied = [this](const CBPropertyPage& page, bool closing) { PageApplied(page, closing); };
        SetHelp(true);
        SetAccelerators(IDR_SHEET_ACCEL);
        for (CBPropertyPage* page : std::initializer_list<CBPropertyPage*>{&environment_, &font_, &tools_, &commands_}) {
            AddPage(*page);
            pages_.push_back(page);
        }
    }

    // OK was pressed and every page gave its values.
    bool ClosedByOk() const { return closedByOk_; }
    bool TookOver() const { return tookOver_; }
    // The page to open again on, or -1.
    int ReopenPage() const { return reopenPage_; }

    void TakeOver() {
        bool moved = false;
        const bool wanted = options_.registryAllowed && context_.toRegistry != options_.useRegistry;
        if (!TakeOverOptions(options_, context_.edited, context_.toRegistry, moved) && wanted && !moved)
            ShowMessageIds(Handle(), IDS_STORAGE_SWITCH_FAILED, IDS_STORAGE_SWITCH, MB_ICONHAND);
        tookOver_ = true;
        // What was stored is the new starting point.
        context_.toRegistry = options_.useRegistry;
        if (applied_) applied_(moved);
    }

protected:
    void OnHelp(int page) override {
        if (help_) help_(kHelpTopic, page >= 0 && page < 4 ? kPageAnchors[page] : 0);
    }

private:
    void PageApplied(const CBPropertyPage& page, bool closing) {
        // Pages hear of OK and Apply in tab order; only the last one created acts.
        const CBPropertyPage* last = nullptr;
        for (const CBPropertyPage* p : pages_) {
            if (p->Handle()) last = p;
        }
        if (&page != last) return;
        if (closing) {
            closedByOk_ = true;
            return;
        }
        const FontSlot dialogFont = options_.fonts[FontDialog];
        TakeOver();
        if (!(options_.fonts[FontDialog] == dialogFont)) {
            reopenPage_ = ActiveIndex();
            PostMessageW(Handle(), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        }
    }

    AppState& options_;
    const HelpRequest& help_;
    const OptionsApplied& applied_;
    OptionsContext context_;
    CDlgOptEnvironment environment_;
    CDlgOptFont font_;
    CDlgOptTools tools_;
    CDlgOptCommandList commands_;
    std::vector<const CBPropertyPage*> pages_;
    bool closedByOk_ = false;
    bool tookOver_ = false;
    int reopenPage_ = -1;
};

}  // namespace

bool TakeOverOptions(AppState& options, const GlobalOptions& edited, bool toRegistry, bool& storageMoved) {
    const bool wasRegistry = options.useRegistry;
    auto take = [&] {
        options.CopyFrom(edited, GroupSheet);
        options.MinimizeOnTrayOnly = edited.MinimizeOnTrayOnly;
        options.AutoExitWhenError = edited.AutoExitWhenError;
    };
    bool ok = true;
    if (options.registryAllowed && toRegistry != options.useRegistry) {
        ok = SwitchStorage(options, toRegistry, take);
    } else {
        take();
        ok = SaveOptions(options, GroupVersion | GroupSheet);
    }
    storageMoved = options.useRegistry != wasRegistry;
    return ok;
}

bool EditOptions(HWND owner, AppState& options, const HelpRequest& help, const OptionsApplied& applied,
                 const std::function<bool()>& mayTakeOver) {
    bool changed = false;
    int page = 0;
    for (;;) {
        UseDialogFontOf(options);
        COptionsSheet sheet(options, help, applied);
        const INT_PTR result = sheet.RunModal(owner, page);
        changed = changed || sheet.TookOver();
        if (sheet.ReopenPage() >= 0) {
            page = sheet.ReopenPage();
            continue;
        }
        if (result == IDOK && sheet.ClosedByOk() && (!mayTakeOver || mayTakeOver())) {
            sheet.TakeOver();
            changed = true;
        }
        // Dialogs opened from now on show the font as it was taken over.
        UseDialogFontOf(options);
        return changed;
    }
}

}  // namespace tandrel
