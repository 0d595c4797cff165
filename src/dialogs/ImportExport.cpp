#include "dialogs/ImportExport.h"

#include "platform/Messages.h"
#include "platform/Paths.h"
#include "platform/Pickers.h"
#include "platform/Strings.h"
#include "resource_dialogs.h"

namespace tandrel {

namespace {

bool Pick(HWND owner, const TransferHooks& hooks, std::wstring& path, bool save) {
    if (hooks.pickFile) return hooks.pickFile(owner, path, save);
    return PickFile(owner, path, ModuleFolder(), save ? IDS_PICK_EXPORT_TITLE : IDS_PICK_IMPORT_TITLE,
                    IDS_PICK_INI_FILTER, IDS_PICK_INI_EXT, save);
}

void Status(const TransferHooks& hooks, const wchar_t* text) {
    if (hooks.status) hooks.status(text);
}

// The file is read and written in one go; the pointer shows it is busy.
template <typename Work>
auto Busy(Work work) {
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    auto result = work();
    SetCursor(previous);
    return result;
}

}  // namespace

bool ImportFolderSettings(HWND owner, AppState& options, const TransferHooks& hooks) {
    const std::wstring caption = LoadText(IDS_IMPORT);
    const unsigned question = options.useRegistry ? IDS_IMPORT_ASK_REGISTRY : IDS_IMPORT_ASK;
    if (ShowMessage(owner, LoadText(question), caption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return false;
    std::wstring file;
    if (!Pick(owner, hooks, file, false)) return false;
    const auto mayImport = [&hooks] { return !hooks.mayImport || hooks.mayImport(); };
    if (!mayImport()) return false;

    const std::wstring importing = LoadText(IDS_IMPORTING);
    Status(hooks, importing.c_str());
    std::wstring fileVersion;
    ImportResult result = Busy([&] { return ImportSettings(options, file, false, &fileVersion); });
    if (result == ImportNeedsConfirmation) {
        const int answer = ShowMessageFormatCaption(owner, IDS_IMPORT_NEWER_ASK, caption,
                                                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2,
                                                    options.programVersion, &fileVersion);
        if (answer != IDYES || !mayImport()) {
            Status(hooks, nullptr);
            return false;
        }
        result = Busy([&] { return ImportSettings(options, file, true); });
    }
    if (hooks.imported) hooks.imported(result);
    Status(hooks, nullptr);
    if (result == ImportDone) {
        ShowMessage(owner, LoadText(IDS_IMPORTED), caption, MB_ICONINFORMATION);
        return true;
    }
    ShowMessageIds(owner, IDS_IMPORT_FAILED, IDS_IMPORT_ERROR, MB_ICONHAND);
    return false;
}

bool ExportFolderSettings(HWND owner, const AppState& options, const TransferHooks& hooks) {
    std::wstring file;
    if (!Pick(owner, hooks, file, true)) return false;
    const std::wstring exporting = LoadText(IDS_EXPORTING);
    Status(hooks, exporting.c_str());
    const bool ok = Busy([&] { return ExportSettings(options, file); });
    Status(hooks, nullptr);
    if (ok) {
        ShowMessageIds(owner, IDS_EXPORTED, IDS_EXPORT, MB_ICONINFORMATION);
    } else {
        ShowMessageIds(owner, IDS_EXPORT_FAILED, IDS_EXPORT_ERROR, MB_ICONHAND);
    }
    return ok;
}

}  // namespace tandrel
