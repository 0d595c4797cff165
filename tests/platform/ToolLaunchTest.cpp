#include <gtest/gtest.h>

#include <ctime>

#include "platform/ToolLaunch.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

using test::TempDir;

std::time_t March5th2024() {
    return test::LocalTime(2024, 3, 5, 12);
}

class ToolLaunchTest : public ::testing::Test {
protected:
    ToolLaunchTest() {
        for (int i = 0; i < 32; ++i) projects.Add(i == 2 ? L"Work" : L"P");
        setting.Master = L"C:\\My Data";
        setting.Backup = L"D:\\Bak";
    }
    std::wstring Params(const std::wstring& templ, const std::wstring& file = {}) {
        return ExpandToolCommandLine(L"tool.exe", templ, work, file, &setting, March5th2024()).parameters;
    }

    ProjectCollection projects;
    ProjectSlot work{&projects, 2};
    FolderSetting setting;
};

TEST_F(ToolLaunchTest, FolderPlaceholders) {
    EXPECT_EQ(Params(L"%m %b"), L"\"C:\\My Data\" D:\\Bak");
    EXPECT_EQ(Params(L"%b%B"), L"D:\\Bak");

    setting.MakeDateDir = true;
    EXPECT_EQ(Params(L"%b%B"), L"D:\\Bak\\20240305");
    EXPECT_EQ(Params(L"[%B]"), L"[]");
    EXPECT_EQ(Params(L"-O %m %b%B"), L"-O \"C:\\My Data\" D:\\Bak\\20240305");

    setting.BackupDateDir = L"%Y-%m";
    EXPECT_EQ(Params(L"%B"), L"%Y-%m");
    EXPECT_EQ(Params(L"%b%B"), L"D:\\Bak\\2024-03");

    setting.Backup = L"D:\\Old Bak\\";
    EXPECT_EQ(Params(L"%b%B"), L"\"D:\\Old Bak\\\\2024-03\"");

    // Text put in by a folder is searched by the later placeholders too.
    setting.Backup = L"D:\\%p";
    EXPECT_EQ(Params(L"%b"), L"D:\\3");
}

TEST_F(ToolLaunchTest, RunResultsAndProject) {
    setting.testFlag = 1;
    setting.status.failed = 1;
    setting.status.created = 2;
    setting.status.updated = 3;
    setting.status.deleted = 4;
    setting.status.renamed = 5;
    EXPECT_EQ(Params(L"%t %r %c"), L"1 1 9");
    EXPECT_EQ(Params(L"%0p_%p_%P"), L"03_3_Work");
    EXPECT_EQ(Params(L"%x %% end%"), L"%x %% end%");
    EXPECT_EQ(Params(L"%0"), L"%0");
}

TEST_F(ToolLaunchTest, WithoutSettingOrFile) {
    const ToolCommandLine bare = ExpandToolCommandLine(L"t", L"%m %b %B %t %r %c %f %p", work);
    EXPECT_EQ(bare.parameters, L"%m %b %B %t %r %c %f 3");

    EXPECT_EQ(ExpandToolCommandLine(L"t", L"%f", work, L"C:\\Logs\\a b.log").parameters, L"\"C:\\Logs\\a b.log\"");
    EXPECT_EQ(ExpandToolCommandLine(L"t", L"", work, L"C:\\a.log").parameters, L"");

    wchar_t root[MAX_PATH] = {};
    GetEnvironmentVariableW(L"SystemRoot", root, MAX_PATH);
    EXPECT_EQ(ExpandToolCommandLine(L"%SystemRoot%\\notepad.exe", L"%f", work).program,
              std::wstring(root) + L"\\notepad.exe");
}

TEST_F(ToolLaunchTest, DateFolderThatCannotBeNamedIsEmpty) {
    setting.MakeDateDir = true;
    setting.BackupDateDir = L"%Q";
    EXPECT_EQ(DatedBackupFolder(setting, March5th2024()), L"");
    setting.BackupDateDir = std::wstring(128, L'x');
    EXPECT_EQ(DatedBackupFolder(setting, March5th2024()), L"");
    setting.BackupDateDir = std::wstring(127, L'x');
    EXPECT_EQ(DatedBackupFolder(setting, March5th2024()), L"D:\\Bak\\" + std::wstring(127, L'x'));
}

TEST(ToolLaunchRunTest, WaitsForTheProgramAndReadsItsExitCode) {
    TempDir temp;
    const std::wstring marker = temp / L"marker 1.txt";
    const ToolExit exit = RunToolAndWait(test::HelperPath(), L"exit=7 sleep=200 \"marker=" + marker + L"\"", 1);
    EXPECT_EQ(exit.outcome, ToolExit::Exited);
    EXPECT_EQ(exit.exitCode, 7u);
    EXPECT_EQ(test::ReadBytes(marker), "exit=7\r\nsleep=200\r\nmarker=" + test::Utf8(marker) + "\r\n");
}

TEST(ToolLaunchRunTest, WaitedLaunchTellsTheMainWindow) {
    TempDir temp;
    const std::wstring marker = temp / L"marker.txt";
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(LaunchTool(test::HelperPath(), L"sleep=200 \"marker=" + marker + L"\"", 3, true, window));
    EXPECT_TRUE(test::FileExists(marker));
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, window, kToolEndedMessage, kToolEndedMessage, PM_REMOVE));
    DestroyWindow(window);
}

TEST(ToolLaunchRunTest, MissingProgramIsNotStarted) {
    const std::wstring missing = test::BuildFolder() + L"no-such-tool.exe";
    SetLastError(0);
    EXPECT_FALSE(LaunchTool(missing, L"", 0, false));
    EXPECT_NE(GetLastError(), 0u);
    const ToolExit exit = RunToolAndWait(missing, L"", 0);
    EXPECT_EQ(exit.outcome, ToolExit::NotStarted);
    EXPECT_NE(exit.error, 0u);
}

}  // namespace
}  // namespace tandrel
