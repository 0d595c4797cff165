#include "platform/Pickers.h"

#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/Strings.h"

namespace tandrel {

namespace {

constexpr size_t kPathBuffer = 32000;

BOOL CALLBACK FindTreeView(HWND child, LPARAM found) {
    wchar_t name[64] = {};
    GetClassNameW(child, name, 64);
    if (lstrcmpiW(name, WC_TREEVIEWW) != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) {
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
    } else if (message == BFFM_SELCHANGED) {
        // The new-style browser selects the item but leaves it out of
        // view when it lies deep in the tree.
        HWND tree = nullptr;
        EnumChildWindows(browser, FindTreeView, reinterpret_cast<LPARAM>(&tree));
        if (tree) {
            HTREEITEM selected = TreeView_GetSelection(tree);
            if (selected) TreeView_EnsureVisible(tree, selected);
        }
    }
    return 0;
}

}  // namespace

size_t FilterForDialog(std::wstring& text) {
    for (wchar_t& c : text) {
        if (c == L'|') c = L'\0';
    }
    return text.size();
}

bool PickFile(HWND owner, std::wstring& path, const std::wstring& initialFolder, unsigned titleId,
              unsigned filterId, unsigned defaultExtensionId, bool save) {
    const std::wstring expanded = ExpandEnvironment(path);
    const std::wstring folderText =
        initialFolder == path || initialFolder == expanded ? FolderOf(expanded) : initialFolder;
    const std::wstring folder = folderText.empty() ? std::wstring() : LongPath(folderText);

    std::wstring filter = LoadText(filterId);
    FilterForDialog(filter);
    // The list ends with two NULs even when the text lacks its final "|".
    filter += L'\0';
    const std::wstring title = LoadText(titleId);
    const std::wstring extension = defaultExtensionId ? LoadText(defaultExtensionId) : std::wstring();

    std::vector<wchar_t> file(kPathBuffer, L'\0');
    expanded.copy(file.data(), std::min(expanded.size(), kPathBuffer - 1));

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    const BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (!ok) return false;
    path = file.data();
    return true;
}

bool PickFolder(HWND owner, std::wstring& path, unsigned titleId) {
    path = ExpandEnvironment(path);
    if (path.size() > 3 && path.back() == L'\\') path.pop_back();
    const std::wstring title = LoadText(titleId);

    // The new-style browser needs COM on this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(path.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    bool ok = false;
    if (chosen) {
        std::vector<wchar_t> buffer(kPathBuffer, L'\0');
        // A virtual folder (Control Panel and the like) has no path.
        if (SHGetPathFromIDListEx(chosen, buffer.data(), static_cast<DWORD>(buffer.size()), GPFIDL_DEFAULT)) {
            path = buffer.data();
            ok = true;
        }
        CoTaskMemFree(chosen);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return ok;
}

}  // namespace tandrel
