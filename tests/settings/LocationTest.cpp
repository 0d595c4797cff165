#include <gtest/gtest.h>

#include <algorithm>

#include "SettingsFixture.h"
#include "platform/Paths.h"
#include "settings/ProfileStore.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsStore.h"

namespace tandrel {
namespace {

using test::MessageRecorder;
using LocationTest = test::SettingsTest;

std::wstring ConvertedText(const std::wstring& from, const std::wstring& to) {
    return L"INI ファイルを変換しました。\r\n\r\n元の INI ファイル:\r\n" + from + L"\r\n\r\n新しい INI ファイル:\r\n" + to;
}

// An older version's settings file in Shift-JIS: project 0 "仕事", project 1
// "表計算" (its second byte looks like a backslash), 40 projects of which the
// last has a setting, and in project 0 a setting "日本語の設定" of C:\データ
// with an after-run command.
const std::string kAnsiIni =
    "[Options]\r\nProjectCount=40\r\nActiveProject=1\r\nDivideY=300\r\n"
    "ProjectName=\x8E\x64\x8E\x96\r\nListCount=1\r\nProject\\039\\ListCount=1\r\n"
    "[Project\\001\\]\r\nProjectName=\x95\x5C\x8C\x76\x8E\x5A\r\n"
    "[Define 0]\r\nName=\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x90\xDD\x92\xE8\r\n"
    "Master=C:\\\x83\x66\x81\x5B\x83\x5E\r\nCommandType1=1\r\nCommandPath1=after.exe\r\n"
    "[Project\\039\\Define 0]\r\nName=far\r\n";

// The dated copies beside the settings file.
std::vector<std::wstring> Backups(const std::wstring& iniPath) {
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((iniPath + L".*.bak").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return found;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) found.push_back(FolderOf(iniPath) + data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

TEST(ResolveIniPathTest, NamesAndExtensions) {
    AppState o;
    const std::wstring folder = ModuleFolder();
    EXPECT_EQ(ResolveIniPath(o, L"", L""), folder + L"settings_tests.ini");
    EXPECT_EQ(o.exeDirectory, folder);
    EXPECT_EQ(ResolveIniPath(o, L"work.INI", L".ini"), folder + L"work.INI");
    EXPECT_EQ(ResolveIniPath(o, L"C:\\data\\work", L".ini"), L"C:\\data\\work.ini");
}

TEST_F(LocationTest, FirstRunAsksAndCancelWritesNothing) {
    AppState o = NewOptions();
    {
        MessageRecorder boxes({IDCANCEL});
        EXPECT_FALSE(ChooseStorage(o));
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        const std::wstring start = L"Tandrel Unicode をご利用いただき、ありがとうございます。\r\n各種設定は";
        const std::wstring end = L"OK ボタンクリックで設定を INI ファイルに保存する設定で続行します。\r\n"
                                 L"キャンセルボタンクリックでプログラムを終了します。";
        const std::wstring& text = boxes.Boxes()[0].text;
        EXPECT_EQ(text.substr(0, start.size()), start);
        EXPECT_EQ(text.substr(text.size() - std::min(text.size(), end.size())), end);
        EXPECT_EQ(boxes.Boxes()[0].caption, L"Tandrel Unicode");
        EXPECT_EQ(boxes.Boxes()[0].flags, static_cast<UINT>(MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_TOPMOST));
    }
    EXPECT_TRUE(o.noSave);
    EXPECT_TRUE(SaveAtExit(o));
    EXPECT_FALSE(test::FileExists(iniPath));

    // OK without an older program's file: defaults, written at exit.
    o = NewOptions();
    MessageRecorder boxes({IDOK});
    EXPECT_TRUE(ChooseStorage(o));
    EXPECT_EQ(o.oldIniPath, dir / L"mirror.ini");
    OpenSettings(o);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(o.projects.Count(), 32);
    EXPECT_FALSE(test::FileExists(iniPath));
    ASSERT_TRUE(SaveAtExit(o));
    EXPECT_EQ(test::ReadBytes(iniPath).substr(0, 2), "\xFF\xFE");
}

TEST_F(LocationTest, AStoredChoiceCountsOnlyWithTheSwitch) {
    WriteIni(L"[Save]\r\nSaveRegistory=1\r\n");
    MessageRecorder boxes;
    AppState o = NewOptions();
    EXPECT_TRUE(ChooseStorage(o));
    EXPECT_FALSE(o.useRegistry);
    o.registryAllowed = true;
    EXPECT_TRUE(ChooseStorage(o));
    EXPECT_TRUE(o.useRegistry);
    const DWORD zero = 0, one = 1;
    SetRegistryValue(L"Save", L"SaveRegistory", REG_DWORD, &zero, sizeof zero);
    EXPECT_TRUE(ChooseStorage(o));
    EXPECT_FALSE(o.useRegistry);

    // The older program's record counts when ours has none.
    RegDeleteTreeW(HKEY_CURRENT_USER, registryKey.c_str());
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, (registryRoot + L"\\Tandrel\\Save").c_str(), L"SaveRegistory",
                              REG_DWORD, &one, sizeof one),
              ERROR_SUCCESS);
    DeleteFileW(iniPath.c_str());
    EXPECT_TRUE(ChooseStorage(o));
    EXPECT_TRUE(o.useRegistry);
    o.iniForced = true;
    EXPECT_TRUE(ChooseStorage(o));
    EXPECT_FALSE(o.useRegistry);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(LocationTest, AnAnsiFileIsConvertedAndKeptAsABackup) {
    ASSERT_TRUE(test::WriteBytes(iniPath, kAnsiIni));
    AppState o = NewOptions();
    MessageRecorder boxes;
    OpenSettings(o);
    const std::vector<std::wstring> backups = Backups(iniPath);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].size(), iniPath.size() + std::wstring(L".20240412093005.bak").size());
    EXPECT_EQ(test::ReadBytes(backups[0]), kAnsiIni);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, ConvertedText(backups[0], iniPath));
    EXPECT_EQ(boxes.Boxes()[0].caption, L"INI ファイルのオープン");
    EXPECT_EQ(boxes.Boxes()[0].flags, static_cast<UINT>(MB_OK | MB_ICONINFORMATION | MB_TOPMOST));

    EXPECT_EQ(test::ReadBytes(iniPath).substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(Value(L"Options", L"ProjectName"), L"仕事");
    EXPECT_EQ(Value(L"Project\\001\\", L"ProjectName"), L"表計算");
    EXPECT_EQ(Value(L"Define 0", L"Name"), L"日本語の設定");
    EXPECT_EQ(Value(L"Define 0", L"Master"), L"C:\\データ");
    EXPECT_EQ(Value(L"Define 0", L"CommandPath1"), L"after.exe");
    EXPECT_EQ(Value(L"Options", L"DivideY"), L"300");
    EXPECT_EQ(Value(L"Options", L"ProjectCount"), L"32");
    EXPECT_EQ(Value(L"Options", L"Project\\039\\ListCount"), L"<missing>");
    EXPECT_EQ(o.projects.Count(), 32);
    EXPECT_EQ(o.projects.Name(1), L"表計算");
    EXPECT_EQ(o.ActiveProject, 1);

    // The next start finds a current file.
    AppState again = NewOptions();
    MessageRecorder none;
    OpenSettings(again);
    EXPECT_TRUE(none.Boxes().empty());
    EXPECT_EQ(Backups(iniPath).size(), 1u);
}

// Text in another encoding, as an editor saves it.
std::string Encoded(const std::wstring& text, const char* how) {
    const std::string mode = how;
    if (mode == "utf-8") {
        const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
        std::string bytes(static_cast<size_t>(n), '\0');
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n, nullptr,
                            nullptr);
        return "\xEF\xBB\xBF" + bytes;
    }
    const bool big = mode.find("be") != std::string::npos;
    std::string bytes = mode.find("marked") != std::string::npos ? (big ? "\xFE\xFF" : "\xFF\xFE") : "";
    for (wchar_t c : text) {
        const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
        bytes += big ? high : low;
        bytes += big ? low : high;
    }
    return bytes;
}

TEST_F(LocationTest, ACurrentFileInAnotherEncodingKeepsEveryProject) {
    const std::wstring text =
        L"[Options]\r\nIniVersion=1.000\r\nProjectCount=40\r\nProjectName=仕事\r\nListCount=1\r\n"
        L"Project\\039\\ListCount=1\r\n[Project\\039\\]\r\nProjectName=四十番目\r\n"
        L"[Define 0]\r\nName=最初\r\n[Project\\039\\Define 0]\r\nName=最後\r\n; kept as it is\r\n";
    for (const char* how : {"utf-8", "utf-16 be marked", "utf-16 le", "utf-16 be"}) {
        const std::string bytes = Encoded(text, how);
        ASSERT_TRUE(test::WriteBytes(iniPath, bytes));
        AppState o = NewOptions();
        MessageRecorder boxes;
        OpenSettings(o);
        EXPECT_TRUE(boxes.Boxes().empty()) << how;
        ASSERT_EQ(o.projects.Count(), 40) << how;
        EXPECT_EQ(o.projects.Name(39), L"四十番目") << how;
        // Written back as UTF-16 with every line, the old bytes kept aside.
        EXPECT_EQ(test::ReadBytes(iniPath), "\xFF\xFE" + Encoded(text, "utf-16 le")) << how;
        const std::vector<std::wstring> backups = Backups(iniPath);
        ASSERT_EQ(backups.size(), 1u) << how;
        EXPECT_EQ(test::ReadBytes(backups[0]), bytes) << how;
        DeleteFileW(backups[0].c_str());
    }
    // A file of the ANSI code page with a crash's zeros at its end is still
    // that, and converted as one.
    ASSERT_TRUE(test::WriteBytes(iniPath, kAnsiIni + std::string(64, '\0')));
    AppState o = NewOptions();
    MessageRecorder boxes;
    OpenSettings(o);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(Value(L"Options", L"ProjectName"), L"仕事");
    EXPECT_EQ(Value(L"Options", L"ProjectCount"), L"32");
}

TEST_F(LocationTest, AnOlderFileByNameReplacesTheSettings) {
    const std::wstring mirror = dir / L"mirror.ini";
    const std::string old = "[Options]\r\nProjectName=\x83\x7E\x83\x89\x81\x5B\r\nListCount=1\r\n[Define 0]\r\nName=x\r\n";
    ASSERT_TRUE(test::WriteBytes(mirror, old));
    {
        // The first run takes over the older program's file.
        AppState o = NewOptions();
        MessageRecorder boxes({IDOK});
        ASSERT_TRUE(ChooseStorage(o));
        OpenSettings(o);
        ASSERT_EQ(boxes.Boxes().size(), 2u);
        EXPECT_EQ(boxes.Boxes()[1].text, ConvertedText(mirror, iniPath));
        EXPECT_EQ(test::ReadBytes(mirror), old);
        EXPECT_TRUE(Backups(iniPath).empty());
        EXPECT_EQ(Value(L"Define 0", L"Name"), L"x");
        EXPECT_EQ(o.projects.Name(0), L"ミラー");
    }
    // /oldini= with a relative name means the current folder; the replaced
    // file is kept.
    WriteIni(L"[Options]\r\nProjectName=現在\r\n");
    const std::string current = test::ReadBytes(iniPath);
    wchar_t folder[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, folder);
    SetCurrentDirectoryW(dir.Path().c_str());
    AppState o = NewOptions();
    o.oldIniPath = L"mirror.ini";
    MessageRecorder boxes;
    OpenSettings(o);
    SetCurrentDirectoryW(folder);
    ASSERT_EQ(Backups(iniPath).size(), 1u);
    EXPECT_EQ(test::ReadBytes(Backups(iniPath)[0]), current);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, ConvertedText(mirror, iniPath));
    EXPECT_EQ(Value(L"Options", L"ProjectName"), L"ミラー");

    // A missing older file converts nothing.
    o = NewOptions();
    o.oldIniPath = dir / L"gone.ini";
    OpenSettings(o);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(Backups(iniPath).size(), 1u);
}

TEST_F(LocationTest, TheOldFileStaysWhenNoCopyOrNoWriteIsPossible) {
    ASSERT_TRUE(test::WriteBytes(iniPath, kAnsiIni));
    // Folders with the backup's name for the next seconds make the copy fail.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    for (int s = 0; s < 6; ++s) {
        ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
        t.QuadPart += 10000000ull * s;
        const FILETIME utc{t.LowPart, t.HighPart};
        FILETIME local;
        SYSTEMTIME st;
        FileTimeToLocalFileTime(&utc, &local);
        FileTimeToSystemTime(&local, &st);
        wchar_t stamp[32];
        swprintf(stamp, 32, L".%04d%02d%02d%02d%02d%02d.bak", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                 st.wSecond);
        CreateDirectoryW((iniPath + stamp).c_str(), nullptr);
    }
    AppState o = NewOptions();
    {
        MessageRecorder boxes;
        OpenSettings(o);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_NE(boxes.Boxes()[0].text.find(L"ファイル名: " + iniPath + L".20"), std::wstring::npos);
    }
    EXPECT_EQ(test::ReadBytes(iniPath), kAnsiIni);
    EXPECT_EQ(o.projects.Name(0), L"仕事");

    // A file held against writing: the backup is made, the rewrite fails.
    const std::wstring held = dir / L"held.ini";
    ASSERT_TRUE(test::WriteBytes(held, kAnsiIni));
    HANDLE handle = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    MessageRecorder boxes;
    o = NewOptions();
    o.iniPath = o.oldIniPath = held;
    OpenSettings(o);
    CloseHandle(handle);
    EXPECT_EQ(test::ReadBytes(held), kAnsiIni);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_NE(boxes.Boxes()[0].text.find(L"ファイル名: " + held + L"\r\n"), std::wstring::npos);
    EXPECT_EQ(o.projects.Name(1), L"表計算");

    // Nor is anything converted when nothing may be saved.
    o.noSave = o.iniForced = true;
    o.oldIniPath = iniPath;
    OpenSettings(o);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(test::ReadBytes(held), kAnsiIni);
    EXPECT_EQ(Backups(held).size(), 1u);
}

TEST_F(LocationTest, SwitchingStorageMovesEveryProject) {
    WriteIni(L"[Options]\r\nProjectCount=4\r\nProject\\003\\ListCount=1\r\n[Project\\003\\Define 0]\r\nName=三番\r\n"
             L"CommandType0=0\r\nCommandPath0=before.exe\r\n");
    // The first run's conversion source is still named; it must not be
    // converted again.
    ASSERT_TRUE(test::WriteBytes(dir / L"mirror.ini", "[Options]\r\nProjectCount=9\r\n"));
    AppState o = NewOptions();
    o.registryAllowed = true;
    OpenSettings(o);
    o.oldIniPath = dir / L"mirror.ini";
    MessageRecorder boxes;
    ASSERT_TRUE(SwitchStorage(o, true, [&] { o.RecycleBinFileCount = 55; }));
    EXPECT_TRUE(o.useRegistry);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(o.projects.Count(), 4);
    EXPECT_EQ(Value(L"Options", L"RecycleBinFileCount"), L"55");
    EXPECT_EQ(RegistryText(L"Project\\003\\Define 0", L"Name"), L"三番");
    std::vector<FolderSetting> settings;
    CommandList commands;
    ASSERT_EQ(LoadProjectSettings(o, settings, commands, 3), 1);
    ASSERT_NE(commands.Find(settings[0].commandIds[0]), nullptr);
    EXPECT_EQ(commands.Find(settings[0].commandIds[0])->path, L"before.exe");

    // And back into a file that lost them meanwhile.
    o.useRegistry = false;
    ASSERT_TRUE(DeleteProjectKeys(o, 1, 3));
    o.useRegistry = true;
    ASSERT_TRUE(SwitchStorage(o, false));
    EXPECT_FALSE(o.useRegistry);
    EXPECT_EQ(Value(L"Project\\003\\Define 0", L"Name"), L"三番");
    EXPECT_EQ(Value(L"Options", L"Project\\003\\ListCount"), L"1");
    EXPECT_TRUE(Backups(iniPath).empty());
}

}  // namespace
}  // namespace tandrel
