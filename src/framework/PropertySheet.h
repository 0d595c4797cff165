#pragma once
#include <windows.h>

#include <commctrl.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace tandrel {

class CBPropertySheet;

// How an anchored page control follows the page's size.
enum AnchorFlags : unsigned {
    AnchorMoveX = 1,
    AnchorMoveY = 2,
    AnchorStretchX = 4,
    AnchorStretchY = 8,
    // The page's own rule (OwnLayout) runs after the other flags.
    AnchorOwnRule = 16,
};

struct ResizeAnchor {
    int id = 0;
    unsigned flags = 0;
    bool taken = false;
    // In page client coordinates, as laid out by the template.
    RECT initial{};
    // Free for the page's own rule.
    int rule[4] = {};
};

// One page of a CBPropertySheet, run from its dialog template in the user's
// dialog font. OnInit, OnCommand, OnKillActive and OnApply are the places a
// page fills, answers and reads back its controls.
class CBPropertyPage {
public:
    explicit CBPropertyPage(int templateId) : templateId_(templateId) {}
    virtual ~CBPropertyPage() = default;
    CBPropertyPage(const CBPropertyPage&) = delete;
    CBPropertyPage& operator=(const CBPropertyPage&) = delete;

    HWND Handle() const { return hwnd_; }
    int TemplateId() const { return templateId_; }

protected:
    virtual bool OnInit() { return true; }
    virtual bool OnCommand(int, int) { return false; }
    // Leaving the page, also before OK: false keeps the user on it.
    virtual bool OnKillActive() { return true; }
    // OK on a page that was created: false keeps the sheet open.
    virtual bool OnApply() { return true; }
    virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The rule of AnchorOwnRule: r starts as the result of the other flags.
    virtual void OwnLayout(int width, int height, int dx, int dy, RECT& r, ResizeAnchor& anchor);

    void AddAnchors(unsigned flags, std::initializer_list<int> ids);
    // Client size of the page as its template laid it out.
    int InitialWidth() const { return initialClient_.right - initialClient_.left; }
    int InitialHeight() const { return initialClient_.bottom - initialClient_.top; }

    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    void EnableItem(int id, bool on) const { EnableWindow(Item(id), on ? TRUE : FALSE); }
    void EnableItems(std::initializer_list<int> ids, bool on) const;

private:
    friend class CBPropertySheet;
    static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void LayOut(int width, int height);

    int templateId_;
    HWND hwnd_ = nullptr;
    CBPropertySheet* sheet_ = nullptr;
    std::vector<BYTE> template_;
    RECT initialClient_{};
    std::vector<ResizeAnchor> anchors_;
};

// A modal property sheet over the system's, in the process's dialog font and,
// when resizable, with a frame the user can drag: buttons follow the bottom
// right corner, the tab control and pages grow, and each page lays out its
// anchored controls again.
class CBPropertySheet {
public:
    explicit CBPropertySheet(std::wstring caption) : caption_(std::move(caption)) {}
    virtual ~CBPropertySheet() = default;
    CBPropertySheet(const CBPropertySheet&) = delete;
    CBPropertySheet& operator=(const CBPropertySheet&) = delete;

    void SetHelp(bool on) { help_ = on; }
    // An accelerator table translated before the sheet sees a key (F1 sends
    // the Help command).
    void SetAccelerators(int tableId) { accelId_ = tableId; }
    void SetResizable(bool on) { resizable_ = on; }
    // PSH_ flags added to the header (PSH_NOAPPLYNOW, ...).
    void AddFlags(DWORD flags) { flags_ |= flags; }
    void AddPage(CBPropertyPage& page);
    // A window rectangle to open in; after OK the one the sheet had. An empty
    // or flat rectangle means the template size.
    void SetSavedRect(const RECT& r) { savedRect_ = r; }
    const RECT& SavedRect() const { return savedRect_; }

    // IDOK or IDCANCEL; -1 when the sheet cannot be created.
    INT_PTR RunModal(HWND owner, int startPage = 0);
    HWND Handle() const { return hwnd_; }
    int ActiveIndex() const;
    int PageCount() const { return static_cast<int>(pages_.size()); }

protected:
    // The Help button or F1.
    virtual void OnHelp(int) {}

private:
    static int CALLBACK Callback(HWND hwnd, UINT message, LPARAM lParam);
    static LRESULT CALLBACK KeyHook(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    void Initialize(HWND hwnd);
    void FitPagesToFont();
    void Resize(int width, int height);
    RECT GripRect() const;
    void ApplySavedRect();
    friend class CBPropertyPage;
    void NoteApplied();

    std::wstring caption_;
    std::vector<CBPropertyPage*> pages_;
    DWORD flags_ = 0;
    bool help_ = false;
    int accelId_ = 0;
    HACCEL accel_ = nullptr;
    bool initializing_ = true;
    bool okPressed_ = false;
    bool resizable_ = false;
    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    SIZE minimum_{};
    RECT previousClient_{};
    RECT savedRect_{};
    // Where the sheet stood when OK was pressed, while it runs.
    RECT* okRect_ = nullptr;
};

}  // namespace tandrel
