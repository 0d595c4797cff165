#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <functional>

#include "dialogs/TargetDialogs.h"
#include "framework/DataExchange.h"
#include "platform/Strings.h"
#include "resource.h"
#include "DropSupport.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

using test::Drop;

// Runs a prompt while a second thread finds its dialog by caption and
// drives it; the driver ends by pressing OK or Cancel.
bool RunPrompt(const wchar_t* caption, const std::function<bool()>& prompt,
               const std::function<void(HWND dialog)>& drive) {
    bool ok = false;
    EXPECT_TRUE(test::DriveDialog(caption, false, drive, [&] { ok = prompt(); }));
    return ok;
}

// A visible window the dialog owns: a picker it opened.
HWND OwnedWindow(HWND owner) {
    struct Search {
        HWND owner, found;
    } search{owner, nullptr};
    EnumThreadWindows(GetWindowThreadProcessId(owner, nullptr), [](HWND w, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (GetWindow(w, GW_OWNER) != s->owner || !IsWindowVisible(w)) return TRUE;
        s->found = w;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)); }
bool Visible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)); }

TEST(TargetDialogsTest, PatternsFromChosenFoldersAndBrowseStart) {
    test::TempDir master, outside;
    CreateDirectoryW((master / L"a").c_str(), nullptr);
    CreateDirectoryW((master / L"a\\b").c_str(), nullptr);
    CreateDirectoryW((master / L"x;y").c_str(), nullptr);
    ASSERT_TRUE(test::WriteBytes(master / L"a\\b\\f.txt", "x"));

    EXPECT_EQ(TargetFolderPattern(master / L"a\\b", master.Path()), L"a\\b");
    EXPECT_EQ(TargetFolderPattern(master / L"a\\b\\f.txt", master.Path() + L"\\"), L"a\\b");
    EXPECT_EQ(TargetFolderPattern(master.Path(), master.Path()), L"");
    const std::wstring last = outside.Path().substr(outside.Path().find_last_of(L'\\') + 1);
    EXPECT_EQ(TargetFolderPattern(outside.Path(), master.Path()), last);
    // A ";" would split the entry in two when the list is stored.
    EXPECT_EQ(TargetFolderPattern(master / L"x;y", master.Path()), L"x?y");

    EXPECT_EQ(TargetBrowseStart(master.Path(), L"a\\b"), master / L"a\\b");
    EXPECT_EQ(TargetBrowseStart(master.Path() + L"\\", L"a"), master / L"a");
    EXPECT_EQ(TargetBrowseStart(master.Path(), L"a\\*"), master.Path());
    EXPECT_EQ(TargetBrowseStart(master.Path(), L"a\\b\\f.txt"), master.Path());
    EXPECT_EQ(TargetBrowseStart(master.Path(), L""), master.Path());
    EXPECT_EQ(TargetBrowseStart(L"", L"a"), L"");
}

TEST(TargetDialogsTest, FolderDialogTakesDropsAndBoxesByMode) {
    test::TempDir master;
    CreateDirectoryW((master / L"a").c_str(), nullptr);
    CreateDirectoryW((master / L"a\\b").c_str(), nullptr);
    ASSERT_TRUE(test::WriteBytes(master / L"a\\b\\f.txt", "x"));
    SetEnvironmentVariableW(L"TANDREL_TARGET_TEST", master.Path().c_str());

    // Adding in "処理対象" mode: both boxes, the note with the reminder.
    TargetFolderChoice choice;
    std::wstring note;
    bool boxes = false, parentsOn = false, okAtOpen = true, okAfterDrop = false, okWhenEmpty = true;
    std::wstring dropped;
    ASSERT_TRUE(RunPrompt(L"対象フォルダ指定",
        [&] { return PromptTargetFolder(nullptr, L"%TANDREL_TARGET_TEST%\\", true, choice); },
        [&](HWND d) {
            boxes = Visible(d, IDC_TARGET_ADD_PARENTS) && Visible(d, IDC_TARGET_ADD_SUBFOLDERS);
            parentsOn = GetCheck(d, IDC_TARGET_ADD_PARENTS);
            note = GetText(d, IDC_TARGET_NOTE);
            okAtOpen = Enabled(d, IDOK);
            Drop(GetDlgItem(d, IDC_TARGET_PATTERN), {master / L"a\\b\\f.txt"});
            dropped = GetText(d, IDC_TARGET_PATTERN);
            okAfterDrop = Enabled(d, IDOK);
            SetDlgItemTextW(d, IDC_TARGET_PATTERN, L"");
            okWhenEmpty = Enabled(d, IDOK);
            // Enter with nothing typed does not end the dialog.
            SendMessageW(d, WM_COMMAND, IDOK, 0);
            SetDlgItemTextW(d, IDC_TARGET_PATTERN, L"data");
            SendDlgItemMessageW(d, IDC_TARGET_ADD_PARENTS, BM_CLICK, 0, 0);
            SendDlgItemMessageW(d, IDC_TARGET_ADD_SUBFOLDERS, BM_CLICK, 0, 0);
            SendDlgItemMessageW(d, IDOK, BM_CLICK, 0, 0);
        }));
    EXPECT_TRUE(boxes);
    EXPECT_TRUE(parentsOn);
    EXPECT_FALSE(okAtOpen);
    EXPECT_EQ(note.substr(0, 4), L"マスター");
    EXPECT_NE(note.find(LoadText(IDS_TARGET_PROCESS_NOTE)), std::wstring::npos);
    // The master folder is found through its variable.
    EXPECT_EQ(dropped, L"a\\b");
    EXPECT_TRUE(okAfterDrop);
    EXPECT_FALSE(okWhenEmpty);
    EXPECT_EQ(choice.pattern, L"data");
    EXPECT_FALSE(choice.addParents);
    EXPECT_TRUE(choice.addSubfolders);

    // Editing: no boxes; OK waits for a change; the master folder chosen in
    // the browser gives no pattern.
    choice = {L"a", true, true};
    bool okAfterPick = true, openAfterEnter = false;
    std::wstring shown, picked;
    EXPECT_FALSE(RunPrompt(L"対象フォルダ指定",
        [&] { return PromptTargetFolder(nullptr, master.Path(), false, choice); },
        [&](HWND d) {
            boxes = Visible(d, IDC_TARGET_ADD_PARENTS) || Visible(d, IDC_TARGET_ADD_SUBFOLDERS);
            shown = GetText(d, IDC_TARGET_PATTERN);
            okAtOpen = Enabled(d, IDOK);
            // Enter on the unchanged pattern confirms nothing.
            // Sent: the dialog has decided when the call returns.
            SendMessageW(d, WM_COMMAND, IDOK, 0);
            openAfterEnter = IsWindowVisible(d) != FALSE;
            PostMessageW(GetDlgItem(d, IDC_TARGET_BROWSE), BM_CLICK, 0, 0);
            HWND browser = nullptr, tree = nullptr;
            // The browser takes a selection once its folder tree is filled,
            // which it does while it initialises.
            const bool ready = test::WaitUntil([&] {
                if (!browser) browser = OwnedWindow(d);
                tree = browser ? FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr) : nullptr;
                return tree && SendMessageW(tree, TVM_GETCOUNT, 0, 0) > 0;
            });
            if (!ready) return;
            SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(master.Path().c_str()));
            PostMessageW(browser, WM_COMMAND, IDOK, 0);
            test::WaitGone(browser);
            picked = GetText(d, IDC_TARGET_PATTERN);
            okAfterPick = Enabled(d, IDOK);
        }));
    EXPECT_FALSE(boxes);
    EXPECT_EQ(shown, L"a");
    EXPECT_FALSE(okAtOpen);
    EXPECT_TRUE(openAfterEnter);
    EXPECT_EQ(picked, L"");
    EXPECT_FALSE(okAfterPick);
    EXPECT_EQ(choice.pattern, L"a");
}

TEST(TargetDialogsTest, FileDialogTakesFileNamesOnly) {
    test::TempDir master;
    CreateDirectoryW((master / L"sub").c_str(), nullptr);
    ASSERT_TRUE(test::WriteBytes(master / L"sub\\report;1.txt", "x"));
    std::wstring pattern = L"*.txt";
    std::wstring afterFolder, afterFile;
    bool okAtOpen = true;
    ASSERT_TRUE(RunPrompt(L"対象ファイル指定", [&] { return PromptTargetFile(nullptr, master.Path(), pattern); },
        [&](HWND d) {
            okAtOpen = Enabled(d, IDOK);
            HWND edit = GetDlgItem(d, IDC_TARGET_PATTERN);
            Drop(edit, {master / L"sub"});
            afterFolder = GetText(d, IDC_TARGET_PATTERN);
            Drop(edit, {master / L"sub\\report;1.txt", master / L"sub"});
            afterFile = GetText(d, IDC_TARGET_PATTERN);
            SendDlgItemMessageW(d, IDOK, BM_CLICK, 0, 0);
        }));
    EXPECT_FALSE(okAtOpen);
    EXPECT_EQ(afterFolder, L"*.txt");
    EXPECT_EQ(afterFile, L"report?1.txt");
    EXPECT_EQ(pattern, L"report?1.txt");
}

}  // namespace
}  // namespace tandrel
