#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "SettingsFixture.h"
#include "platform/Paths.h"
#include "resource.h"
#include "settings/IniFile.h"
#include "settings/ProfileStore.h"
#include "settings/RegistryJournal.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsStore.h"

namespace tandrel {
namespace {

using test::MessageRecorder;
using StoreSafetyTest = test::SettingsTest;

// Fails every settings-file write for as long as it lives.
class FullDisk {
public:
    FullDisk() {
        ini::SetWriteFault([](const std::wstring&) { return static_cast<unsigned long>(ERROR_DISK_FULL); });
    }
    ~FullDisk() { ini::SetWriteFault({}); }
};

TEST_F(StoreSafetyTest, OnlyASettingsFileImportsAndAFailedImportChangesNothing) {
    WriteIni(test::FullSettingsText());
    const std::string stored = test::ReadBytes(iniPath);
    AppState o = NewOptions();
    LoadAtStart(o);

    const std::wstring foreign = dir / L"other.ini", text = dir / L"notes.txt", empty = dir / L"empty.ini",
                       held = dir / L"held.ini";
    WriteIni(L"[Global]\r\nWindowPos=1\r\n[Options]\r\nColour=red\r\n", foreign);
    ASSERT_TRUE(test::WriteBytes(text, "just some text\r\nwith lines\r\n"));
    ASSERT_TRUE(test::WriteBytes(empty, ""));
    WriteIni(test::FullSettingsText(), held);
    HANDLE handle = CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    for (const std::wstring& file : {foreign, text, empty, held}) {
        EXPECT_FALSE(IsSettingsFile(file)) << test::Utf8(file);
        EXPECT_EQ(ImportSettings(o, file, true), ImportFailed) << test::Utf8(file);
    }
    CloseHandle(handle);
    EXPECT_EQ(test::ReadBytes(iniPath), stored);
    EXPECT_EQ(o.projects.Name(0), L"仕事");

    // What marks one: the version, a project count or a folder setting.
    WriteIni(L"[Options]\r\nIniVersion=0.1\r\n", dir / L"version.ini");
    WriteIni(L"[Project\\007\\Define12]\r\nName=x\r\n", dir / L"define.ini");
    WriteIni(L"[define 3]\r\nName=x\r\n", dir / L"lower.ini");
    WriteIni(L"[Define]\r\nName=x\r\n[Defined 1]\r\n", dir / L"near.ini");
    EXPECT_TRUE(IsSettingsFile(dir / L"version.ini"));
    EXPECT_TRUE(IsSettingsFile(dir / L"define.ini"));
    EXPECT_TRUE(IsSettingsFile(dir / L"lower.ini"));
    EXPECT_FALSE(IsSettingsFile(dir / L"near.ini"));

    // A settings file whose import cannot be written: every project and
    // option stays, on disk and in memory.
    WriteIni(L"[Options]\r\nIniVersion=1.000\r\nProjectCount=1\r\nProjectName=他所\r\nListCount=0\r\n",
             dir / L"import.ini");
    {
        FullDisk disk;
        MessageRecorder boxes;
        EXPECT_EQ(ImportSettings(o, dir / L"import.ini", false), ImportFailed);
        EXPECT_EQ(boxes.Boxes().size(), 1u);
    }
    EXPECT_EQ(test::ReadBytes(iniPath), stored);
    EXPECT_EQ(o.projects.Count(), 3);
    EXPECT_EQ(o.projects.Name(1), L"趣味");
    EXPECT_EQ(o.DivideY, 321);
    std::vector<FolderSetting> settings;
    CommandList commands;
    EXPECT_EQ(LoadProjectSettings(o, settings, commands, 2), 1);
    EXPECT_EQ(settings[0].Name, L"日本語の設定");
}

TEST_F(StoreSafetyTest, ALogoffStartWritesNothingItMadeUp) {
    WriteIni(test::FullSettingsText());
    AppState o = NewOptions();
    o.noSave = o.iniForced = true;
    LoadAtStart(o);
    ASSERT_EQ(o.projects.Count(), 32);
    ASSERT_TRUE(SaveOptions(o, GroupProjects));
    ASSERT_TRUE(SetProjectCount(o, 32));
    ASSERT_TRUE(DeleteProjectKeys(o, 0, 1));
    EXPECT_EQ(Value(L"Options", L"ProjectCount"), L"3");
    EXPECT_EQ(Value(L"Options", L"ProjectName"), L"仕事");
    EXPECT_EQ(Value(L"Project\\001\\", L"ProjectName"), L"趣味");
    EXPECT_EQ(Value(L"Options", L"ActiveProject"), L"2");

    // The options sheet's OK: its values live in memory only.
    o.RecycleBinFileCount = 5;
    ASSERT_TRUE(SaveOptions(o, GroupVersion | GroupLayout | GroupSheet));
    EXPECT_EQ(Value(L"Options", L"IgnoreSystemFolderNames"), L"RECYCLER");
    EXPECT_EQ(Value(L"Options", L"RecycleBinFileCount"), L"77");
    EXPECT_EQ(Value(L"Options", L"ExecToolCount"), L"2");
    EXPECT_EQ(Value(L"Window", L"MainWindow"), L"10 20 810 620");

    // Export writes the stored options and project names, not the made-up ones.
    const std::wstring exported = dir / L"export.ini";
    ASSERT_TRUE(ExportSettings(o, exported));
    EXPECT_EQ(Value(L"Options", L"ProjectCount", exported), L"3");
    EXPECT_EQ(Value(L"Options", L"ProjectName", exported), L"仕事");
    EXPECT_EQ(Value(L"Project\\001\\", L"ProjectName", exported), L"趣味");
    EXPECT_EQ(Value(L"Options", L"IgnoreSystemFolderNames", exported), L"RECYCLER");
    EXPECT_EQ(Value(L"Project\\002\\Define 0", L"Name", exported), L"日本語の設定");

    // Import and the project editor would renumber stored projects.
    EXPECT_EQ(ProjectListLock(o), static_cast<unsigned>(IDS_LOCKED_BY_LOGOFF));
    const std::string stored = test::ReadBytes(iniPath);
    EXPECT_EQ(ImportSettings(o, exported, true), ImportFailed);
    EXPECT_EQ(test::ReadBytes(iniPath), stored);
}

TEST_F(StoreSafetyTest, ASettingsFileThatCouldNotBeReadAtStartIsNeverWritten) {
    WriteIni(test::FullSettingsText());
    const std::string stored = test::ReadBytes(iniPath);
    AppState o = NewOptions();
    o.registryAllowed = true;
    {
        // Held by another program while the program starts.
        test::HeldFile held(iniPath);
        MessageRecorder boxes;
        EXPECT_TRUE(ChooseStorage(o));
        OpenSettings(o);
        // Neither a first-run question nor a conversion.
        EXPECT_TRUE(boxes.Boxes().empty());
        EXPECT_FALSE(o.useRegistry);
    }
    // Readable again: the view's save, the options sheet, the project list,
    // a storage switch and the exit save all leave it as it is.
    MessageRecorder boxes;
    std::vector<FolderSetting> none;
    CommandList commands;
    EXPECT_TRUE(SaveProjectSettings(o, none, commands, 0, -1, PartAll));
    EXPECT_TRUE(SaveOptions(o, GroupVersion | GroupSheet | GroupProjects));
    EXPECT_FALSE(SwitchStorage(o, true));
    EXPECT_FALSE(o.useRegistry);
    EXPECT_TRUE(SaveAtExit(o));
    EXPECT_EQ(test::ReadBytes(iniPath), stored);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(RegistryText(L"Project\\002\\Define 0", L"Name"), L"<missing>");
    EXPECT_EQ(ProjectListLock(o), static_cast<unsigned>(IDS_LOCKED_UNREAD));
    EXPECT_EQ(ImportSettings(o, iniPath, true), ImportFailed);
    EXPECT_EQ(test::ReadBytes(iniPath), stored);

    // Told once: which file, why, and that changes will not be saved.
    ReportUnreadSettings(o);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, L"INI ファイルのオープン");
    EXPECT_NE(boxes.Boxes()[0].text.find(L"変更は保存されません"), std::wstring::npos);
    EXPECT_NE(boxes.Boxes()[0].text.find(L"ファイル名: " + iniPath + L"\r\nエラー: "), std::wstring::npos);
    EXPECT_GT(boxes.Boxes()[0].text.size(), boxes.Boxes()[0].text.find(L"エラー: ") + 6);

    // The next start reads it again.
    AppState next = NewOptions();
    EXPECT_TRUE(ChooseStorage(next));
    OpenSettings(next);
    EXPECT_EQ(next.settingsReadError, 0u);
    EXPECT_EQ(next.projects.Name(1), L"趣味");
    EXPECT_EQ(boxes.Boxes().size(), 1u);
}

TEST_F(StoreSafetyTest, ASettingsFileThatCannotBeReadLaterInTheRunIsNotWrittenEither) {
    WriteIni(test::FullSettingsText());
    AppState o = NewOptions();
    MessageRecorder boxes;
    ASSERT_TRUE(ChooseStorage(o));
    OpenSettings(o);
    ASSERT_EQ(o.settingsReadError, 0u);
    // Another program replaces the file and holds it while a project is read.
    WriteIni(test::FullSettingsText() + L"; changed elsewhere\r\n");
    const std::string stored = test::ReadBytes(iniPath);
    std::vector<FolderSetting> settings;
    CommandList commands;
    {
        test::HeldFile held(iniPath);
        EXPECT_EQ(LoadProjectSettings(o, settings, commands, 2), 0);
        EXPECT_NE(o.settingsReadError, 0u);
        EXPECT_FALSE(ExportSettings(o, dir / L"export.ini"));
    }
    // Released: the project that seemed empty is not written back, nor is
    // anything else.
    EXPECT_TRUE(SaveProjectSettings(o, settings, commands, 2, -1, PartAll));
    EXPECT_TRUE(SaveAtExit(o));
    EXPECT_EQ(test::ReadBytes(iniPath), stored);
    EXPECT_EQ(ProjectListLock(o), static_cast<unsigned>(IDS_LOCKED_UNREAD));
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(StoreSafetyTest, AFolderThatCannotBeReachedIsNoFirstRun) {
    // A share not yet connected: the folder is not there, so neither is "no file".
    AppState o = NewOptions();
    o.iniPath = dir / L"share\\Tandrel.ini";
    MessageRecorder boxes;
    EXPECT_TRUE(ChooseStorage(o));
    EXPECT_TRUE(boxes.Boxes().empty());
    OpenSettings(o);
    EXPECT_TRUE(SaveAtExit(o));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(o.settingsReadError, static_cast<unsigned long>(ERROR_PATH_NOT_FOUND));
    // In a folder that is there, a missing file is a first run.
    o = NewOptions();
    MessageRecorder first({IDCANCEL});
    EXPECT_FALSE(ChooseStorage(o));
    EXPECT_EQ(first.Boxes().size(), 1u);
}

TEST_F(StoreSafetyTest, TheStorageChoiceIsRecordedAsSoonAsTheSwitchCommits) {
    WriteIni(L"[Options]\r\nProjectCount=1\r\nListCount=1\r\n[Define 0]\r\nName=一番\r\n");
    AppState o = NewOptions();
    o.registryAllowed = true;
    MessageRecorder boxes;
    ASSERT_TRUE(ChooseStorage(o));
    OpenSettings(o);
    ASSERT_TRUE(SwitchStorage(o, true));
    // The program dies before its exit save; the next start finds the registry.
    AppState next = NewOptions();
    next.registryAllowed = true;
    ASSERT_TRUE(ChooseStorage(next));
    EXPECT_TRUE(next.useRegistry);

    // An import in registry mode goes back to the INI file at once.
    WriteIni(L"[Options]\r\nIniVersion=1.000\r\nProjectCount=1\r\nListCount=1\r\n[Define 0]\r\nName=取込\r\n",
             dir / L"import.ini");
    OpenSettings(next);
    ASSERT_EQ(ImportSettings(next, dir / L"import.ini", false), ImportDone);
    AppState after = NewOptions();
    after.registryAllowed = true;
    ASSERT_TRUE(ChooseStorage(after));
    EXPECT_FALSE(after.useRegistry);
    OpenSettings(after);
    std::vector<FolderSetting> settings;
    CommandList commands;
    ASSERT_EQ(LoadProjectSettings(after, settings, commands, 0), 1);
    EXPECT_EQ(settings[0].Name, L"取込");
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(StoreSafetyTest, TheOldFileNamedInAnotherSpellingIsTheSettingsFileItself) {
    WriteIni(test::FullSettingsText());
    const std::string stored = test::ReadBytes(iniPath);
    std::wstring upper = iniPath;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
    const std::wstring folder = FolderOf(iniPath, true), name = FileNameOf(iniPath);
    std::wstring slashed = iniPath;
    for (wchar_t& c : slashed) c = c == L'\\' ? L'/' : c;
    for (const std::wstring& same : {upper, folder + L"\\sub\\..\\" + name, slashed}) {
        CreateDirectoryW((folder + L"\\sub").c_str(), nullptr);
        AppState o = NewOptions();
        o.oldIniPath = same;
        MessageRecorder boxes;
        OpenSettings(o);
        EXPECT_TRUE(boxes.Boxes().empty()) << test::Utf8(same);
        EXPECT_EQ(test::ReadBytes(iniPath), stored) << test::Utf8(same);
        EXPECT_EQ(o.projects.Name(1), L"趣味");
    }
}

TEST_F(StoreSafetyTest, IniNamesAreNormalisedBeforeUse) {
    AppState o;
    const std::wstring folder = ModuleFolder();  // with its trailing backslash
    const std::wstring parent = FolderOf(folder.substr(0, folder.size() - 1));
    EXPECT_EQ(ResolveIniPath(o, L"..\\x", L".ini"), parent + L"x.ini");
    EXPECT_EQ(ResolveIniPath(o, L"conf/x", L".ini"), folder + L"conf\\x.ini");
    EXPECT_EQ(ResolveIniPath(o, L"C:/data/x", L".ini"), L"C:\\data\\x.ini");
    EXPECT_EQ(ResolveIniPath(o, L"\\data\\x", L".ini"), folder.substr(0, 2) + L"\\data\\x.ini");

    // Such a name is saved to and found again.
    AppState saved = NewOptions();
    std::wstring forward = dir.Path() + L"/sub/../work";
    for (wchar_t& c : forward) c = c == L'\\' ? L'/' : c;
    saved.iniPath = ResolveIniPath(saved, forward, L".ini");
    EXPECT_EQ(saved.iniPath, dir / L"work.ini");
    ASSERT_TRUE(ProfileStore(saved).WriteInt(L"Options", L"DivideY", 9));
    EXPECT_TRUE(FileExists(saved.iniPath));
    EXPECT_EQ(SettingsFileIdentity(dir / L"WORK.INI"), SettingsFileIdentity(saved.iniPath));
}

TEST_F(StoreSafetyTest, AFailedStorageSwitchKeepsChoiceAndData) {
    WriteIni(L"[Options]\r\nProjectCount=2\r\nProject\\001\\ListCount=1\r\n[Project\\001\\Define 0]\r\nName=一番\r\n");
    AppState o = NewOptions();
    o.registryAllowed = true;
    o.useRegistry = true;
    LoadAtStart(o);
    ASSERT_TRUE(SaveProjectSettings(o, std::vector<FolderSetting>(1), CommandList{}, 1, -1, PartAll));
    const std::string stored = test::ReadBytes(iniPath);
    {
        FullDisk disk;
        MessageRecorder boxes;
        EXPECT_FALSE(SwitchStorage(o, false));
        EXPECT_FALSE(boxes.Boxes().empty());
    }
    EXPECT_TRUE(o.useRegistry);
    EXPECT_EQ(test::ReadBytes(iniPath), stored);
}

// Every key and value below a registry key, as text: one entry per key
// ("path\") and per value ("path\name=type:bytes").
std::set<std::wstring> RegistryTree(const std::wstring& path) {
    std::set<std::wstring> tree;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return tree;
    tree.insert(path + L"\\");
    wchar_t name[1024];
    BYTE data[4096];
    for (DWORD i = 0;; ++i) {
        DWORD length = 1024, size = sizeof data, type = 0;
        if (RegEnumValueW(key, i, name, &length, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        std::wstring text = path + L"\\" + name + L"=" + std::to_wstring(type) + L":";
        for (DWORD b = 0; b < size; ++b) text += std::to_wstring(data[b]) + L" ";
        tree.insert(text);
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        DWORD length = 1024;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subkeys.emplace_back(name);
    }
    RegCloseKey(key);
    for (const std::wstring& sub : subkeys) tree.merge(RegistryTree(path + L"\\" + sub));
    return tree;
}

// Fails every registry change of one value (or key) name for as long as it lives.
class RegistryRefuses {
public:
    explicit RegistryRefuses(const std::wstring& name) {
        registry::SetWriteFault([name](const std::wstring& path, const std::wstring& value) {
            const std::wstring whole = path + L"\\" + value;
            return whole.size() >= name.size() && whole.compare(whole.size() - name.size(), name.size(), name) == 0
                       ? static_cast<LSTATUS>(ERROR_ACCESS_DENIED)
                       : static_cast<LSTATUS>(ERROR_SUCCESS);
        });
    }
    ~RegistryRefuses() { registry::SetWriteFault({}); }
};

TEST_F(StoreSafetyTest, AFailedRegistrySaveLeavesTheProfileAsItWas) {
    AppState o = NewOptions();
    o.useRegistry = o.registryAllowed = true;
    std::vector<FolderSetting> settings(5);
    for (int i = 0; i < 5; ++i) settings[static_cast<size_t>(i)].Reset(L"前" + std::to_wstring(i));
    CommandList commands;
    ASSERT_TRUE(SaveProjectSettings(o, settings, commands, 0, -1, PartAll));
    ASSERT_TRUE(SaveProjectSettings(o, settings, commands, 3, -1, PartAll));
    const std::set<std::wstring> before = RegistryTree(registryKey);
    ASSERT_GT(before.size(), 100u);

    // Seven settings where five were; the fourth's name cannot be written.
    std::vector<FolderSetting> more(7);
    for (int i = 0; i < 7; ++i) more[static_cast<size_t>(i)].Reset(L"後" + std::to_wstring(i));
    {
        MessageRecorder boxes;
        RegistryRefuses refuses(L"Define 3\\Name");
        EXPECT_FALSE(SaveProjectSettings(o, more, commands, 0, -1, PartAll));
        // Told once, with the profile's key; later saves are not tried.
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text.rfind(L"レジストリに書き込めませんでした。", 0), 0u);
        EXPECT_NE(boxes.Boxes()[0].text.find(L"キー: HKEY_CURRENT_USER\\" + registryKey), std::wstring::npos);
        EXPECT_FALSE(SaveProjectSettings(o, settings, commands, 0, -1, PartAll));
        EXPECT_EQ(boxes.Boxes().size(), 1u);
        // Removing project 3 fails at its last section: its name and count come back.
        o.settingsWriteError = 0;
        RegistryRefuses refusesDelete(L"Project\\003\\Define 4\\");
        EXPECT_FALSE(DeleteProjectKeys(o, 5, 3));
        EXPECT_EQ(boxes.Boxes().size(), 2u);
    }
    EXPECT_EQ(RegistryTree(registryKey), before);
    EXPECT_EQ(RegistryTree(registryKey + L".journal"), std::set<std::wstring>{});

    // A switch into the registry that fails leaves nothing of it there.
    WriteIni(test::FullSettingsText());
    AppState file = NewOptions();
    file.registryAllowed = true;
    LoadAtStart(file);
    RegDeleteTreeW(HKEY_CURRENT_USER, registryKey.c_str());
    {
        RegistryRefuses refuses(L"Project\\002\\Define 0\\Master");
        MessageRecorder boxes;
        EXPECT_FALSE(SwitchStorage(file, true));
    }
    EXPECT_FALSE(file.useRegistry);
    for (const std::wstring& entry : RegistryTree(registryKey))
        EXPECT_EQ(entry.find(L"Define"), std::wstring::npos) << test::Utf8(entry);
}

TEST_F(StoreSafetyTest, TimesBeyond2038RoundTripAndOldValuesRead) {
    const std::int64_t later = 4102444800;  // 2100-01-01
    WriteIni(L"[Options]\r\nListCount=2\r\n[Define 0]\r\nLastExec=1600000000\r\nTargetDate=-1\r\n"
             L"[Define 1]\r\nLastExec=99999999999999999999\r\n");
    for (const bool registry : {false, true}) {
        AppState o = NewOptions();
        o.useRegistry = registry;
        std::vector<FolderSetting> settings(2);
        CommandList commands;
        if (!registry) {
            ASSERT_EQ(LoadProjectSettings(o, settings, commands, 0), 2);
            EXPECT_EQ(settings[0].LastExec, 1600000000);
            EXPECT_EQ(settings[0].TargetDate, -1);
            EXPECT_EQ(settings[1].LastExec, INT64_MAX);
        }
        settings[0].LastExec = later;
        settings[0].TargetDate = later + 1;
        settings[1].LastExec = 2147483647;
        settings[1].TargetDate = -1;
        ASSERT_TRUE(SaveProjectSettings(o, settings, commands, 0, -1, PartAll));
        std::vector<FolderSetting> back;
        ASSERT_EQ(LoadProjectSettings(o, back, commands, 0), 2);
        EXPECT_EQ(back[0].LastExec, later);
        EXPECT_EQ(back[0].TargetDate, later + 1);
        EXPECT_EQ(back[1].LastExec, 2147483647);
        EXPECT_EQ(back[1].TargetDate, -1);
    }
    // Values below 2^31 are written as before.
    EXPECT_EQ(Value(L"Define 1", L"LastExec"), L"2147483647");
    EXPECT_EQ(Value(L"Define 1", L"TargetDate"), L"-1");
    EXPECT_EQ(Value(L"Define 0", L"LastExec"), L"4102444800");
    EXPECT_EQ(RegistryText(L"Define 1", L"LastExec"), L"dword:2147483647");
    EXPECT_EQ(RegistryText(L"Define 0", L"LastExec"), L"4102444800");
}

}  // namespace
}  // namespace tandrel
