#include <gtest/gtest.h>

#include "SettingsFixture.h"
#include "settings/ProfileStore.h"
#include "settings/SettingsStore.h"

namespace tandrel {
namespace {

using test::MessageRecorder;
using SettingsStoreTest = test::SettingsTest;

std::vector<FolderSetting> Settings(int count) {
    std::vector<FolderSetting> settings(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) settings[i].Name = L"設定" + std::to_wstring(i);
    return settings;
}

// Everything a start-up load reads, and the folder settings, back out into
// an empty file.
void SaveEverything(AppState& o) {
    ASSERT_TRUE(SaveAtExit(o));
    ASSERT_TRUE(SaveOptions(o, GroupSettings));
}

TEST_F(SettingsStoreTest, MissingAndOddValuesGiveDefaultsAndClamps) {
    WriteIni(L"[Options]\r\nDetectMediaAction=0\r\nParallelCopies=33\r\nCompareToolPath=C:\\Tools\\diff.exe\r\nActiveProject=40\r\n"
             L"ListCount=2\r\n[Define 0]\r\nNetPathRetryCount=0\r\nErrors=-5\r\nTargetFileSize=10mb\r\n"
             L"DeleteGuardPercent=250\r\nDeleteGuardFiles=-3\r\nHistoryDays=4000\r\nHistoryMinRuns=0\r\n"
             L"[Define 1]\r\nTargetFileSize=\r\nAutoExec=7\r\n");
    AppState o = NewOptions();
    LoadAtStart(o);
    EXPECT_TRUE(o.loaded);
    ASSERT_EQ(o.projects.Count(), 32);
    EXPECT_EQ(o.projects.Name(0), L"デフォルト");
    EXPECT_EQ(o.projects.Name(31), L"");
    EXPECT_EQ(o.ActiveProject, 0);
    EXPECT_EQ(o.DetectMediaAction, 3);
    EXPECT_EQ(o.ParallelCopies, 0);
    EXPECT_EQ(o.CompareToolName, L"diff");
    EXPECT_EQ(o.CompareToolParam, L"%m %b%B");
    EXPECT_EQ(o.LogViewToolPath, L"notepad.exe");
    EXPECT_EQ(o.LogViewToolName, L"notepad");
    ASSERT_EQ(o.commands.Count(), 1);
    EXPECT_TRUE(o.commands.At(0).enable);
    EXPECT_EQ(o.IgnoreSystemFileNames, L"desktop.ini;hiberfil.sys;pagefile.sys;swapfile.sys;Thumbs.db");
    EXPECT_EQ(o.FormatReportFileTime, L"%Y/%m/%d %H:%M:%S");
    EXPECT_TRUE(o.CheckRecycleBin);

    std::vector<FolderSetting> settings;
    CommandList commands;
    ASSERT_EQ(LoadProjectSettings(o, settings, commands, 0), 2);
    EXPECT_EQ(settings[0].Name, L"新しい設定");
    EXPECT_EQ(settings[0].NetPathRetryCount, 1);
    EXPECT_EQ(settings[0].Errors, -1);
    EXPECT_TRUE(settings[1].AutoExec);
    EXPECT_EQ(settings[0].DeleteGuardPercent, 100);
    EXPECT_EQ(settings[0].DeleteGuardFiles, 0);
    EXPECT_EQ(settings[0].HistoryDays, 3650);
    EXPECT_EQ(settings[0].HistoryMinRuns, 1);
    // Older files have no guard keys: it is on, at half and a hundred files.
    EXPECT_TRUE(settings[1].DeleteGuard);
    EXPECT_EQ(settings[1].DeleteGuardPercent, 50);
    EXPECT_EQ(settings[1].DeleteGuardFiles, 100);
    EXPECT_FALSE(settings[1].DeleteHistory);
    EXPECT_EQ(settings[1].HistoryDays, 30);
    EXPECT_EQ(settings[1].HistoryMinRuns, 10);
    ASSERT_TRUE(SaveProjectSettings(o, settings, commands, 0, -1, PartAll));
    EXPECT_EQ(Value(L"Define 0", L"TargetFileSize"), L"10MB");
    EXPECT_EQ(Value(L"Define 1", L"TargetFileSize"), L"0");
    EXPECT_EQ(Value(L"Define 1", L"AutoExec"), L"1");
    o.DetectMediaAction = 1;
    o.ParallelCopies = 32;
    ASSERT_TRUE(SaveOptions(o, GroupSheet));
    EXPECT_EQ(Value(L"Options", L"DetectMediaAction"), L"5");
    EXPECT_EQ(Value(L"Options", L"ParallelCopies"), L"32");
    LoadOptions(o, GroupSheet);
    EXPECT_EQ(o.ParallelCopies, 32);
}

TEST_F(SettingsStoreTest, FilesThatAreNotSettingsLoadWithoutHarm) {
    std::string random(4096, '\0');
    unsigned seed = 12345;
    for (char& c : random) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
    const auto utf16 = [](const std::wstring& text) {
        return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    };
    struct Case { const char* what; std::string bytes; int projects, settings; };
    const Case cases[] = {
        {"random bytes", random, 32, 0},
        {"UTF-16 cut in a character", utf16(L"[Options]\r\nProjectCount=3\r\nListCount=1\r\n[Defi").substr(0, 93), 3, 1},
        {"only the mark", "\xFF\xFE", 32, 0},
        {"huge counts", utf16(L"[Options]\r\nProjectCount=100000\r\nListCount=99999999999999\r\nExecToolCount=5000\r\n"), 1000, 1000},
        {"negative counts", utf16(L"[Options]\r\nProjectCount=-3\r\nListCount=-7\r\nExecToolCount=-1\r\nActiveProject=-9\r\n"), 1, 0},
        {"no projects", utf16(L"[Options]\r\nProjectCount=0\r\n"), 1, 0},
        {"a key beyond the limit", utf16(L"[Options]\r\nListCount=1\r\n[Define 0]\r\nName=" + std::wstring(70000, L'x')), 32, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(test::WriteBytes(iniPath, c.bytes));
        AppState o = NewOptions();
        LoadAtStart(o);
        EXPECT_EQ(o.projects.Count(), c.projects);
        EXPECT_EQ(o.projects.Name(0), L"デフォルト");
        EXPECT_TRUE(o.projects.Valid(o.ActiveProject));
        EXPECT_LE(o.commands.Count(), 1000);
        std::vector<FolderSetting> settings;
        CommandList commands;
        EXPECT_EQ(LoadProjectSettings(o, settings, commands, 0), c.settings);
        EXPECT_EQ(static_cast<int>(settings.size()), c.settings);
    }
}

TEST_F(SettingsStoreTest, EveryKeyRoundTripsInItsOrderThroughBothStores) {
    WriteIni(test::FullSettingsText());
    const test::Sections full = ReadSections();
    AppState o = NewOptions();
    LoadAtStart(o);
    LoadOptions(o, GroupSettings);
    EXPECT_EQ(o.DetectMediaAction, 4);
    EXPECT_EQ(o.fonts[FontStatusBar], (FontSlot{L"ＭＳ ゴシック5", 95}));
    ASSERT_EQ(o.projects.At(2).settings.size(), 1u);
    const Project& project = o.projects.At(2);
    EXPECT_EQ(project.settings[0].Master, L"C:\\マスター");
    ASSERT_NE(project.commands.Find(project.settings[0].commandIds[1]), nullptr);

    o.iniPath = dir / L"again.ini";
    SaveEverything(o);
    EXPECT_EQ(ReadSections(o.iniPath), full);

    o.useRegistry = o.registryAllowed = true;
    SaveEverything(o);
    EXPECT_EQ(RegistryText(L"Project\\002\\Define 0", L"CommandName1"), L"後");
    EXPECT_EQ(RegistryText(L"Options", L"Project\\002\\ListCount"), L"dword:1");
    EXPECT_EQ(RegistryText(L"Window", L"MainWindow"), L"10 20 810 620");
    EXPECT_EQ(RegistryText(L"Save", L"SaveRegistory"), L"dword:1");
    AppState back = NewOptions();
    back.useRegistry = true;
    LoadAtStart(back);
    LoadOptions(back, GroupSettings);
    back.useRegistry = false;
    back.iniPath = dir / L"from registry.ini";
    SaveEverything(back);
    EXPECT_EQ(ReadSections(back.iniPath), full);
}

TEST_F(SettingsStoreTest, TheLastCleanRunIsStoredAndReadAsTheLastRunWhenAbsent) {
    WriteIni(L"[Options]\r\nListCount=2\r\n[Define 0]\r\nLastExec=1700000000\r\n"
             L"[Define 1]\r\nLastExec=1700000000\r\nLastCleanExec=1600000000\r\n");
    AppState o = NewOptions();
    std::vector<FolderSetting> settings;
    CommandList commands;
    ASSERT_EQ(LoadProjectSettings(o, settings, commands, 0), 2);
    EXPECT_EQ(settings[0].LastCleanExec, 1700000000);
    EXPECT_EQ(settings[1].LastCleanExec, 1600000000);
    settings[0].LastCleanExec = 1650000000;
    ASSERT_TRUE(SaveProjectSettings(o, settings, commands, 0, -1, PartResult));
    EXPECT_EQ(Value(L"Define 0", L"LastCleanExec"), L"1650000000");
    EXPECT_EQ(Value(L"Define 0", L"LastExec"), L"1700000000");
}

TEST_F(SettingsStoreTest, CountsPartsAndReordering) {
    WriteIni(L"[Project\\002\\]\r\nProjectName=古い\r\n");
    AppState o = NewOptions();
    for (const wchar_t* name : {L"デフォルト", L"一", L""}) o.projects.Add(name);
    o.ActiveProject = 5;
    ASSERT_TRUE(SaveOptions(o, GroupProjects));
    EXPECT_EQ(Value(L"Options", L"ActiveProject"), L"-1");
    EXPECT_EQ(Value(L"Options", L"ProjectCount"), L"3");
    EXPECT_TRUE(Section(L"Project\\002\\").empty());

    // A deleted last setting leaves its section, never read again.
    std::vector<FolderSetting> settings = Settings(5);
    CommandList commands;
    ASSERT_TRUE(SaveProjectSettings(o, settings, commands, 0, -1, PartAll));
    settings.pop_back();
    ASSERT_TRUE(SaveProjectSettings(o, settings, commands, 0, -1, PartAll));
    EXPECT_EQ(Value(L"Options", L"ListCount"), L"4");
    EXPECT_EQ(Value(L"Define 4", L"Name"), L"設定4");
    std::vector<FolderSetting> loaded;
    EXPECT_EQ(LoadProjectSettings(o, loaded, commands, 0), 4);

    // The end of a run writes results and the count only; a row's flag only
    // that row, unless the order changed since the last save.
    for (FolderSetting& s : settings) {
        s.Name += L"変更";
        s.AutoExec = false;
        s.Errors = 0;
    }
    ASSERT_TRUE(SaveProjectSettings(o, settings, commands, 0, -1, PartResult));
    EXPECT_EQ(Value(L"Define 3", L"Errors"), L"0");
    EXPECT_EQ(Value(L"Define 3", L"AutoExec"), L"1");
    ASSERT_TRUE(SaveProjectSettings(o, settings, commands, 0, 1, PartAutoExec));
    EXPECT_EQ(Value(L"Define 1", L"AutoExec"), L"0");
    EXPECT_EQ(Value(L"Define 0", L"AutoExec"), L"1");
    o.dirtyOrder = true;
    ASSERT_TRUE(SaveProjectSettings(o, settings, commands, 0, 1, PartAutoExec));
    EXPECT_EQ(Value(L"Define 0", L"AutoExec"), L"0");
    EXPECT_EQ(Value(L"Define 0", L"Name"), L"設定0");
    EXPECT_FALSE(o.dirtyOrder);

    // An empty project other than the first loses its count key; removing a
    // project's keys takes the sections of its settings.
    ASSERT_TRUE(SaveProjectSettings(o, settings, commands, 7, -1, PartAll));
    ASSERT_TRUE(DeleteProjectKeys(o, 2, 7));
    EXPECT_EQ(Value(L"Options", L"Project\\007\\ListCount"), L"<missing>");
    EXPECT_TRUE(Section(L"Project\\007\\Define 1").empty());
    EXPECT_FALSE(Section(L"Project\\007\\Define 2").empty());
    ASSERT_TRUE(SaveProjectSettings(o, settings, commands, 6, -1, PartAll));
    ASSERT_TRUE(SaveProjectSettings(o, {}, commands, 6, -1, PartAll));
    EXPECT_EQ(Value(L"Options", L"Project\\006\\ListCount"), L"<missing>");
}

TEST_F(SettingsStoreTest, ACommandSlotHoldsOnlyACommandOfItsOwnType) {
    WriteIni(L"[Options]\r\nListCount=1\r\n[Define 0]\r\nCommandType0=1\r\nCommandEnable0=1\r\nCommandName0=前\r\n"
             L"CommandType1=1\r\nCommandName1=後\r\n");
    AppState o = NewOptions();
    std::vector<FolderSetting> settings;
    CommandList commands;
    ASSERT_EQ(LoadProjectSettings(o, settings, commands, 0), 1);
    EXPECT_EQ(settings[0].commandIds[0], -1);
    EXPECT_EQ(commands.Count(), 1);
    ASSERT_TRUE(SaveProjectSettings(o, settings, commands, 0, -1, PartAll));
    EXPECT_EQ(Value(L"Define 0", L"CommandType0"), L"0");
    EXPECT_EQ(Value(L"Define 0", L"CommandEnable0"), L"0");
    EXPECT_EQ(Value(L"Define 0", L"CommandName0"), L"");
    EXPECT_EQ(Value(L"Define 0", L"CommandName1"), L"後");
}

TEST_F(SettingsStoreTest, ExitSaveAndTheStorageChoice) {
    WriteIni(L"[Options]\r\nProjectCount=3\r\nDivideY=50\r\n[Window]\r\nMainWindow=1 2 3 4\r\n");
    const std::string before = test::ReadBytes(iniPath);
    AppState o = NewOptions();
    EXPECT_TRUE(SaveAtExit(o));  // nothing loaded yet
    o.noSave = o.iniForced = true;
    LoadAtStart(o);
    EXPECT_EQ(o.projects.Count(), 32);
    EXPECT_EQ(o.projects.Name(31), L"デフォルト");
    EXPECT_EQ(o.MainWindow, (Rect{0, 0, 640, 480}));
    EXPECT_TRUE(SaveAtExit(o));
    EXPECT_EQ(test::ReadBytes(iniPath), before);
    ASSERT_TRUE(SaveProjectSettings(o, Settings(1), CommandList{}, 0, -1, PartAll));  // the view still saves
    EXPECT_EQ(Value(L"Options", L"ListCount"), L"1");
    EXPECT_EQ(Value(L"Window", L"MainWindow"), L"1 2 3 4");

    // In registry mode the file is told only when it already holds a choice.
    o.noSave = o.iniForced = false;
    o.registryAllowed = o.useRegistry = true;
    ASSERT_TRUE(SaveAtExit(o));
    EXPECT_EQ(RegistryText(L"Save", L"SaveRegistory"), L"dword:1");
    EXPECT_EQ(Value(L"Save", L"SaveRegistory"), L"<missing>");
    EXPECT_EQ(RegistryText(L"Options", L"ProjectCount"), L"dword:32");
    o.useRegistry = false;
    ASSERT_TRUE(SaveAtExit(o));
    EXPECT_EQ(RegistryText(L"Save", L"SaveRegistory"), L"dword:0");
    EXPECT_EQ(Value(L"Save", L"SaveRegistory"), L"0");
    o.useRegistry = true;
    ASSERT_TRUE(SaveAtExit(o));
    EXPECT_EQ(Value(L"Save", L"SaveRegistory"), L"1");
}

TEST_F(SettingsStoreTest, AFailedWriteStopsTheSaveAndIsReportedOnce) {
    WriteIni(L"[Options]\r\nDivideY=5\r\n");
    const std::string before = test::ReadBytes(iniPath);
    AppState o = NewOptions();
    LoadAtStart(o);
    // Held by someone who lets others read but not write.
    HANDLE held = CreateFileW(iniPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    MessageRecorder boxes;
    EXPECT_FALSE(SaveAtExit(o));
    EXPECT_FALSE(SaveProjectSettings(o, Settings(2), CommandList{}, 0, -1, PartAll));
    CloseHandle(held);
    // Once: the second save is not tried.
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_NE(boxes.Boxes()[0].text.find(L"ファイル名: " + iniPath + L"\r\nエラー: "), std::wstring::npos);
    EXPECT_EQ(test::ReadBytes(iniPath), before);
    EXPECT_EQ(o.DivideY, 5);
}

TEST_F(SettingsStoreTest, ExportAndImportWholeSettings) {
    WriteIni(test::FullSettingsText(), dir / L"full.ini");
    WriteIni(L"[Options]\r\nProjectCount=5\r\nListCount=1\r\nProject\\004\\ListCount=2\r\n"
             L"[Project\\004\\]\r\nProjectName=旧\r\n");
    AppState o = NewOptions();
    LoadAtStart(o);
    LoadOptions(o, GroupSettings);

    EXPECT_EQ(ImportSettings(o, dir / L"no such file.ini", false), ImportFailed);
    ASSERT_EQ(ImportSettings(o, dir / L"full.ini", false), ImportDone);
    EXPECT_EQ(o.projects.Count(), 3);
    EXPECT_EQ(o.DivideY, 321);
    EXPECT_EQ(Value(L"Options", L"Project\\004\\ListCount"), L"<missing>");
    EXPECT_TRUE(Section(L"Project\\004\\").empty());

    // The export of what was imported is the file imported (the running
    // program keeps its own active project).
    o.ActiveProject = 2;
    ASSERT_TRUE(ExportSettings(o, dir / L"export.ini"));
    EXPECT_EQ(ReadSections(dir / L"export.ini"), ReadSections(dir / L"full.ini"));

    // A newer file needs the user's word first; until then nothing changes.
    WriteIni(L"[Options]\r\nIniVersion=1.5\r\nProjectCount=2\r\n", dir / L"newer.ini");
    const std::string before = test::ReadBytes(iniPath);
    std::wstring version;
    EXPECT_EQ(ImportSettings(o, dir / L"newer.ini", false, &version), ImportNeedsConfirmation);
    EXPECT_EQ(version, L"1.5");
    EXPECT_EQ(test::ReadBytes(iniPath), before);
    o.useRegistry = o.registryAllowed = true;
    EXPECT_EQ(ImportSettings(o, dir / L"newer.ini", true), ImportDone);
    EXPECT_FALSE(o.useRegistry);
    EXPECT_EQ(o.projects.Count(), 2);
    EXPECT_EQ(Value(L"Options", L"IniVersion"), L"1.000");
}

}  // namespace
}  // namespace tandrel
