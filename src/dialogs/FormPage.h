#pragma once
#include "framework/PropertySheet.h"

namespace tandrel {

// A sheet page that edits part of a record: Load fills the controls, Save
// reads them back (false when a field is refused, which keeps the page
// open). Leaving the page and confirming the sheet both save.
class CFormPage : public CBPropertyPage {
public:
    using CBPropertyPage::CBPropertyPage;

protected:
    virtual void Load() = 0;
    virtual bool Save() = 0;
    bool OnInit() override {
        loading_ = true;
        Load();
        loading_ = false;
        return true;
    }
    bool OnKillActive() override { return Save(); }
    bool OnApply() override { return Save(); }

    // Set while Load fills the controls: their notifications are not the user's.
    bool loading_ = false;
};

}  // namespace tandrel
