#include "app/TandrelApp.h"

#include <commctrl.h>
#include <sddl.h>
#include <shellapi.h>

#include <algorithm>

#include "app/CommandLine.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/DefineSheet.h"
#include "dialogs/DialogSupport.h"
#include "dialogs/HistoryRestoreDlg.h"
#include "dialogs/TargetDialogs.h"
#include "dialogs/OptionsSheet.h"
#include "dialogs/ImportExport.h"
#include "dialogs/ProjectListDlg.h"
#include "engine/MirrorBatch.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource_app.h"
#include "settings/IniDocument.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsStore.h"
#include "ui/UserMessages.h"

namespace tandrel {

namespace {

// The longest name the system gives a mutex.
constexpr size_t kMutexNameLimit = MAX_PATH;

// prefix + text, within the limit: a text too long keeps its end behind a
// hash of the whole, so different texts still give different names.
std::wstring BoundedName(const std::wstring& prefix, const std::wstring& text) {
    if (prefix.size() + text.size() <= kMutexNameLimit) return prefix + text;
    unsigned long long hash = 14695981039346656037ull;
    for (wchar_t c : text) hash = (hash ^ static_cast<unsigned>(c)) * 1099511628211ull;
    const std::wstring mark = Format(L"%016llx~", hash);
    return prefix + mark + text.substr(text.size() - (kMutexNameLimit - prefix.size() - mark.size()));
}

std::wstring WithSlashes(std::wstring name) {
    for (wchar_t& c : name) {
        if (c == L'\\') c = L'/';
    }
    return name;
}

// The string form of the user's SID: the registry profile is the user's own.
std::wstring UserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return L"?";
    std::wstring sid = L"?";
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    wchar_t* text = nullptr;
    if (size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        sid = text;
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}

}  // namespace

CTandrelApp::CTandrelApp(AppState& options)
    : options_(options), power_(std::make_unique<SystemPowerActions>()) {}

CTandrelApp::~CTandrelApp() {
    ReleaseSingleInstance();
}

std::wstring CTandrelApp::VersionString(const std::wstring& name) {
    const std::wstring unknown = L"?.??";
    const std::wstring module = ModulePath();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(module.c_str(), &handle);
    if (size == 0) return unknown;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(module.c_str(), 0, size, block.data())) return unknown;
    const std::wstring query = L"\\StringFileInfo\\041104b0\\" + (name.empty() ? std::wstring(L"FileVersion") : name);
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return unknown;
    return std::wstring(value, wcsnlen(value, length));
}

std::wstring CTandrelApp::WindowTitle(const AppState& o, bool defaultIniName) {
    const std::wstring base = LoadText(IDS_APP_TITLE);
    std::wstring suffix;
    if (o.useRegistry) {
        suffix = LoadText(IDS_USING_REGISTRY);
    } else if (!defaultIniName) {
        const auto [folder, name] = FolderAndName(o.iniPath);
        suffix = EqualsNoCase(folder, o.exeDirectory) ? name : o.iniPath;
    }
    return suffix.empty() ? base : base + L" - " + suffix;
}

std::wstring CTandrelApp::MutexName(const std::wstring& iniPath, bool iniNamed) {
    const std::wstring title = LoadText(IDS_APP_TITLE);
    if (!iniNamed) return title;
    // Every spelling of one file gives one name.
    std::wstring path = SettingsFileIdentity(iniPath);
    const std::wstring name = Format(LoadText(IDS_MUTEX_FORMAT).c_str(), title.c_str(), path.c_str());
    // As earlier versions do, a long path keeps its end, now within the limit.
    if (name.size() > kMutexNameLimit) path = path.substr(name.size() - kMutexNameLimit);
    return WithSlashes(Format(LoadText(IDS_MUTEX_FORMAT).c_str(), title.c_str(), path.c_str()));
}

std::vector<std::wstring> CTandrelApp::SettingsMutexNames(const AppState& o) {
    const std::wstring prefix = L"Global\\" + LoadText(IDS_APP_TITLE) + L" ";
    std::vector<std::wstring> names{BoundedName(prefix, WithSlashes(SettingsFileIdentity(o.iniPath)))};
    // The file itself, however it is reached (a share and its mapped drive,
    // a junction, a hard link): the path alone meets only its own spelling.
    if (const std::optional<FileIdentity> file = IdentityOf(o.iniPath))
        names.push_back(prefix + Format(L"file %08x-%016llx", static_cast<unsigned>(file->volume),
                                        static_cast<unsigned long long>(file->file)));
    if (o.registryAllowed)
        names.push_back(BoundedName(prefix, WithSlashes(L"registry " + UserSid() + L"/" + FoldName(o.registryKey))));
    return names;
}

bool CTandrelApp::TakeSingleInstance(const std::vector<std::wstring>& names,
                                     const std::vector<std::wstring>& windowTitles) {
    // A null DACL lets every user open the mutexes, so instances of other
    // users on the same settings file see them too.
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, TRUE};
    bool alone = true;
    for (size_t i = 0; alone && i < names.size(); ++i) {
        HANDLE mutex = CreateMutexW(&attributes, FALSE, names[i].c_str());
        const DWORD error = GetLastError();
        if (mutex && error != ERROR_ALREADY_EXISTS) {
            mutexes_.push_back(mutex);
            continue;
        }
        if (mutex) CloseHandle(mutex);
        // The first name is the one earlier versions take: failing to make
        // it counts as another instance, as it always did. The others are
        // only missed when another instance holds them.
        alone = i > 0 && mutex == nullptr && error != ERROR_ACCESS_DENIED;
    }
    if (alone) return true;
    // The other instance's main window is the one titled as a window on
    // these settings is (only a main window counts: a message box may carry
    // the same title).
    for (const std::wstring& title : windowTitles) {
        if (HWND other = FindWindowW(CMainFrame::kClassName, title.c_str())) {
            ShowWindow(other, SW_SHOWNORMAL);
            SetForegroundWindow(other);
            break;
        }
    }
    ReleaseSingleInstance();
    return false;
}

void CTandrelApp::ReleaseSingleInstance() {
    for (HANDLE mutex : mutexes_) CloseHandle(mutex);
    mutexes_.clear();
}

bool CTandrelApp::InitInstance(const std::vector<std::wstring>& args, int showCommand) {
    defaultIniName_ = true;
    fileVersion_ = VersionString(L"FileVersion");
    productVersion_ = VersionString(L"ProductVersion");
    options_.Reset(productVersion_);
    options_.iniPath = ResolveIniPath(options_, L"", L"");

    const CommandLineResult parsed = ParseCommandLine(args, options_);
    defaultIniName_ = parsed.defaultIniName;
    if (options_.registryAllowed) options_.registryKey = kDefaultRegistryKey;

    const bool iniNamed = !parsed.iniName.empty();
    if (iniNamed) options_.iniPath = ResolveIniPath(options_, parsed.iniName, L".ini");
    std::vector<std::wstring> mutexNames{MutexName(options_.iniPath, iniNamed)};
    for (std::wstring& name : SettingsMutexNames(options_)) mutexNames.push_back(std::move(name));
    // The titles a window on these settings may carry: the settings file's,
    // or, without /ini=, the registry's when that instance moved there.
    std::vector<std::wstring> titles{WindowTitle(options_, defaultIniName_)};
    if (options_.registryAllowed && !iniNamed) {
        AppState registry = options_;
        registry.useRegistry = true;
        titles.push_back(WindowTitle(registry, defaultIniName_));
    }
    if (!TakeSingleInstance(mutexNames, titles)) {
        // An automatic run that another instance keeps from running has not
        // run: its exit code says so.
        if (options_.autoStart) options_.exitCode = ExitAborted;
        return false;
    }

    if (options_.oldIniPath.empty()) options_.oldIniPath = options_.iniPath;
    if (!ChooseStorage(options_)) {
        options_.noSave = true;
        return false;
    }
    OpenSettings(options_);
    if (UnattendedOnUnreadSettings()) return false;
    ReportUnreadSettings(options_);
    // Also for the boxes a run shows from its own thread.
    UseDialogFontOf(options_);

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_DATE_CLASSES};
    InitCommonControlsEx(&controls);
    frame_ = std::make_unique<CMainFrame>(options_);
    frame_->showAbout = [this](HWND owner) { CAboutDlg(fileVersion_).Show(owner, options_); };
    if (!frame_->Create(WindowTitle(options_, defaultIniName_))) return false;
    windowMade_ = true;
    CTandrelView& view = frame_->View();
    // A save may fail while a worker waits for it: the box comes after.
    // With the window gone (the exit save) it can only come at once; an
    // automatic run waits for nobody.
    SetSettingsNotice([viewWindow = view.Handle()](const AppState& o, unsigned text) {
        if (IsWindow(viewWindow)) {
            PostMessageW(viewWindow, WM_TANDREL_SETTINGS_NOTICE, text, 0);
        } else if (!o.autoStart) {
            ShowSettingsNotice(o, text);
        }
    });
    view.dialogs.editSetting = [this, &view](HWND owner, FolderSetting& setting, CommandList& commands,
                                             Rect& placement) {
        // The sheet keeps its size in the options itself; the view's creation
        // message follows a new setting.
        const bool ok = EditFolderSetting(owner, options_, setting, commands, false, TargetPrompts::Dialogs(),
                                          [&view](int page, int anchor) { view.ShowHelp(page, anchor); });
        placement = options_.FolderSettingDialog;
        return ok;
    };
    view.dialogs.editOptions = [this, &view](HWND owner) {
        // A moved store is read back, so a pending reordering must reach it first.
        if (options_.dirtyOrder) view.StoreAll();
        return EditOptions(owner, options_, [&view](int page, int anchor) { view.ShowHelp(page, anchor); },
                           [this, &view](bool storageMoved) {
                               if (storageMoved) view.LoadActiveProject();
                               frame_->FillAfterCompletion();
                               view.RefreshDateFormat();
                           },
                           [&view] { return view.MayApplyDialog(IDS_OPTIONS); });
    };
    view.dialogs.editProjects = [this](HWND owner) { return EditProjectList(owner, options_); };
    TransferHooks transfer;
    transfer.status = [this](const wchar_t* text) {
        SendMessageW(frame_->Handle(), WM_TANDREL_STATUS, reinterpret_cast<WPARAM>(text),
                     reinterpret_cast<LPARAM>(text ? L"" : nullptr));
    };
    transfer.mayImport = [&view] { return view.MayApplyDialog(IDS_IMPORT); };
    transfer.imported = [this, &view](ImportResult result) {
        frame_->SetTitle(WindowTitle(options_, defaultIniName_));
        // A failed import left the store as it was; either way the view shows it.
        view.ShowImported(result == ImportDone);
    };
    view.dialogs.importSettings = [this, transfer](HWND owner) {
        return ImportFolderSettings(owner, options_, transfer);
    };
    view.dialogs.exportSettings = [this, transfer](HWND owner) { ExportFolderSettings(owner, options_, transfer); };
    view.dialogs.restoreHistory = ChooseHistoryRestore;
    // A shortcut set to "minimised" starts in the tray.
    if (CMainFrame::StartsMinimised(showCommand)) options_.startIconic = true;
    frame_->InitialUpdate();
    // The active project's settings may not have been readable just now.
    if (UnattendedOnUnreadSettings()) return false;
    ShowWindow(frame_->Handle(), options_.startIconic ? SW_HIDE : showCommand);
    UpdateWindow(frame_->Handle());
    DragAcceptFiles(frame_->Handle(), TRUE);
    return true;
}

bool CTandrelApp::UnattendedOnUnreadSettings() {
    // A run nobody watches never runs on settings it could not read, and no
    // box waits for anyone.
    if (!options_.settingsReadError || !options_.autoStart) return false;
    options_.exitCode = ExitAborted;
    return true;
}

int CTandrelApp::Run() {
    MSG msg;
    const auto idle = [this] {
        if (frame_ && frame_->Handle()) frame_->OnIdle();
    };
    while (GetMessageAfterIdle(msg, idle) > 0) {
        if (frame_ && frame_->Handle() && frame_->PreTranslateMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void CTandrelApp::PerformPowerAction(AppState& o, PowerActions& actions) {
    if (!o.powerActionAtExit) return;
    const bool hibernate = o.runMode == RunModeHibernate || o.afterAction == RunModeHibernate;
    const bool shutDown = o.runMode == RunModeShutdown || o.afterAction == RunModeShutdown;
    if (!hibernate && !shutDown) return;
    unsigned long error = actions.EnableShutdownPrivilege();
    if (!error) error = hibernate ? actions.Hibernate() : actions.ShutDown();
    if (!error) return;
    // The run's outcome stays, and the action that did not happen is one more failure.
    o.exitCode = std::max(o.exitCode, static_cast<int>(ExitErrors));
    // Nobody is there to read it when the run was to end unattended.
    if (o.AutoExitWhenError && o.autoStart) return;
    actions.Tell(Format(LoadText(hibernate ? IDS_HIBERNATE_FAILED : IDS_SHUTDOWN_FAILED).c_str(),
                        WithoutFinalBreak(SystemErrorText(error)).c_str()),
                 LoadText(IDS_APP_TITLE));
}

int CTandrelApp::ExitInstance() {
    if (windowMade_) {
        // A worker that posted the close may still be returning; it must be
        // gone before the settings are saved and its batch is freed.
        JoinBatch(frame_->View().Batch());
    }
    SaveAtExit(options_);
    // Run results and changes that were not saved are a failure an
    // automatic run owns up to.
    if (options_.autoStart && (options_.settingsWriteError || options_.settingsReadError))
        options_.exitCode = std::max(options_.exitCode, static_cast<int>(ExitErrors));
    ReleaseSingleInstance();
    PerformPowerAction(options_, *power_);
    return options_.exitCode;
}

}  // namespace tandrel
