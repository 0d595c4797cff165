#include "dialogs/DialogSupport.h"

#include <commctrl.h>

#include <algorithm>
#include <shellapi.h>

#include "framework/Control.h"
#include "framework/DataExchange.h"
#include "framework/DialogFont.h"
#include "platform/Environment.h"
#include "platform/Messages.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource_dialogs.h"

namespace tandrel {

void UseDialogFontOf(const GlobalOptions& options) {
    const FontSlot& font = options.fonts[FontDialog];
    // Sizes are kept in tenths of a point.
    SetUserDialogFont(font.face, font.face.empty() ? 0 : (font.size + 5) / 10);
}

bool ValidateIntField(HWND dialog, int id, int min, int max, int& value) {
    const IntCheck check = ParseIntField(GetText(dialog, id), min, max, value);
    if (check == IntCheck::Ok) return true;
    const std::wstring caption = LoadText(IDS_APP_TITLE);
    const UINT flags = MB_OK | MB_ICONEXCLAMATION;
    if (check == IntCheck::NotInteger) {
        ShowMessage(dialog, LoadText(IDS_ENTER_INTEGER), caption, flags);
    } else {
        const std::wstring high = std::to_wstring(max);
        ShowMessageFormatCaption(dialog, IDS_ENTER_RANGE, caption, flags, std::to_wstring(min), &high);
    }
    HWND field = GetDlgItem(dialog, id);
    SetFocus(field);
    SendMessageW(field, EM_SETSEL, 0, -1);
    return false;
}

std::wstring ConvertDroppedPath(const std::wstring& path, DropForm form, const std::wstring& master,
                                bool relativeToMaster) {
    if (form == DropForm::Plain) return path;
    const bool folder = IsDirectory(path);
    if (form == DropForm::FileNameOnly) return folder ? std::wstring() : FileNameOf(path);
    std::wstring result = path;
    if (!folder) {
        result = FolderOf(path);
        if (!result.empty() && result.back() == L'\\') result.pop_back();
    }
    if (!relativeToMaster) return result;
    // The master as the run sees it: a master typed with a variable still
    // holds the dropped folders.
    std::wstring base = ExpandEnvironment(master);
    while (!base.empty() && base.back() == L'\\') base.pop_back();
    if (!base.empty() && StartsWithNoCase(result, base) &&
        (result.size() == base.size() || result[base.size()] == L'\\')) {
        result.erase(0, base.size());
        if (!result.empty()) result.erase(0, 1);
        return result;
    }
    while (!result.empty() && result.back() == L'\\') result.pop_back();
    const size_t cut = result.find_last_of(L'\\');
    return cut == std::wstring::npos ? result : result.substr(cut + 1);
}

void SetSpin(HWND page, int spin, int low, int high) {
    SendDlgItemMessageW(page, spin, UDM_SETRANGE32, low, high);
}

namespace {

using DropHandler = std::function<void(const std::vector<std::wstring>&)>;

LRESULT CALLBACK DropProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* handler = reinterpret_cast<DropHandler*>(data);
    if (message == WM_DROPFILES) {
        (*handler)(TakeDroppedFiles(reinterpret_cast<HDROP>(wParam)));
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, DropProc, 1);
        delete handler;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

void AcceptDrops(HWND control, DropHandler handler) {
    if (!control) return;
    DragAcceptFiles(control, TRUE);
    SetWindowSubclass(control, DropProc, 1, reinterpret_cast<DWORD_PTR>(new DropHandler(std::move(handler))));
}

void MakeDropEdit(HWND edit, DropForm form, std::function<std::wstring()> master) {
    AcceptDrops(edit, [edit, form, master = std::move(master)](const std::vector<std::wstring>& paths) {
        if (paths.empty()) return;
        const std::wstring text = ConvertDroppedPath(paths[0], form, master ? master() : std::wstring(), bool(master));
        if (!text.empty()) SetWindowTextW(edit, text.c_str());
    });
}


void ConfirmAndDeleteLogs(HWND owner, const std::function<LogCleanup(bool countOnly)>& clear) {
    const LogCleanup counted = clear(true);
    if (counted.result != LogsFound || counted.count <= 0) {
        ShowMessageIds(owner, IDS_LOG_NOT_FOUND, IDS_LOG_DELETE, MB_OK | MB_ICONINFORMATION);
        return;
    }
    const int answer = counted.count == 1
                           ? ShowMessageIds(owner, IDS_LOG_DELETE_ASK, IDS_LOG_DELETE, MB_OKCANCEL | MB_ICONQUESTION)
                           : ShowMessageFormat(owner, IDS_LOG_DELETE_COUNT_ASK, IDS_LOG_DELETE,
                                               MB_OKCANCEL | MB_ICONQUESTION, std::to_wstring(counted.count));
    if (answer != IDOK) return;
    const LogCleanup done = clear(false);
    if (done.result == LogsFailed) {
        ShowMessageFormat(owner, IDS_LOG_DELETE_FAILED, IDS_LOG_DELETE, MB_OK | MB_ICONSTOP, done.failures);
    } else if (done.result != LogsFound) {
        ShowMessageIds(owner, IDS_LOG_NOT_FOUND, IDS_LOG_DELETE, MB_OK | MB_ICONINFORMATION);
    } else {
        ShowMessageIds(owner, IDS_LOG_DELETED, IDS_LOG_DELETE, MB_OK | MB_ICONINFORMATION);
    }
}

std::wstring ListEntryFor(std::wstring name) {
    std::replace(name.begin(), name.end(), L';', L'?');
    return name;
}

}  // namespace tandrel
