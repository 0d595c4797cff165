// The real program on settings files that cannot be written or that are
// reached by more than one name.
#include <gtest/gtest.h>

#include "ProgramCopy.h"
#include "TestSupport.h"
#include "app/TandrelApp.h"

namespace tandrel {
namespace {

using test::ExitCodeWithin;
using test::ProgramCopy;
using test::TempDir;

TEST(SettingsProgramTest, AnAutomaticRunOnAReadOnlySettingsFileCopiesLogsAndEnds) {
    TempDir data;
    const std::wstring master = data / L"m", backup = data / L"b", log = data / L"run.log";
    CreateDirectoryW(master.c_str(), nullptr);
    ASSERT_TRUE(test::WriteBytes(master + L"\\a.txt", "a"));
    ASSERT_TRUE(test::WriteBytes(master + L"\\b.txt", "bb"));
    ProgramCopy program(true, L"[Options]\r\nListCount=1\r\n[Define 0]\r\nName=S\r\nMaster=" + master +
                                  L"\r\nBackup=" + backup + L"\r\nOutputLog=1\r\nLogFileName=" + log + L"\r\n");
    const std::wstring ini = program.Dir() / L"Tandrel.ini";
    ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string stored = test::ReadBytes(ini);

    HANDLE process = program.Start(L"/auto");
    ASSERT_NE(process, nullptr);
    // Ends by itself, owning up to the results it could not keep.
    EXPECT_EQ(ExitCodeWithin(process), 2u);
    EXPECT_EQ(test::ReadBytes(backup + L"\\a.txt"), "a");
    EXPECT_EQ(test::ReadBytes(backup + L"\\b.txt"), "bb");
    EXPECT_EQ(test::ReadBytes(ini), stored);
    const std::string logged = test::ReadBytes(log);
    EXPECT_NE(logged.find(test::Utf8(L"INI ファイルに書き込めませんでした。")), std::string::npos) << logged;
    EXPECT_NE(logged.find(test::Utf8(ini)), std::string::npos);
    SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The fixture's hard link, made on the Unix side: other.ini is work.ini.
const std::wstring kWork = L"G:\\links\\app\\work.ini", kOther = L"G:\\links\\app\\other.ini";

TEST(SettingsProgramTest, TwoNamesOfOneFileShareTheSettingsMutex) {
    ASSERT_TRUE(test::WriteBytes(kWork, "\xFF\xFE"));
    AppState work, other, elsewhere;
    work.iniPath = kWork;
    other.iniPath = kOther;
    TempDir dir;
    elsewhere.iniPath = dir / L"work.ini";
    ASSERT_TRUE(test::WriteBytes(elsewhere.iniPath, "\xFF\xFE"));
    const std::vector<std::wstring> a = CTandrelApp::SettingsMutexNames(work),
                                    b = CTandrelApp::SettingsMutexNames(other),
                                    c = CTandrelApp::SettingsMutexNames(elsewhere);
    ASSERT_EQ(a.size(), 2u);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_NE(a[0], b[0]);
    EXPECT_EQ(a[1], b[1]);
    EXPECT_NE(a[1], c[1]);
}

TEST(SettingsProgramTest, ASecondStartOnAHardLinkOfTheSettingsEnds) {
    ASSERT_TRUE(test::WriteBytes(kWork, test::Utf8(L"\xFEFF[Save]\r\nSaveRegistory=0\r\n")));
    ProgramCopy program;
    HANDLE first = program.Start(L"/ini=" + kWork);
    ASSERT_NE(first, nullptr);
    HWND window = test::WaitForWindowOf(first);
    ASSERT_NE(window, nullptr);
    HANDLE second = program.Start(L"/ini=" + kOther);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(ExitCodeWithin(second), 0u);
    EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCodeWithin(first), 0u);
    // Its exit save kept the two names one file.
    EXPECT_EQ(test::ReadBytes(kOther), test::ReadBytes(kWork));
    EXPECT_NE(test::ReadUtf16File(kOther).find(L"ProjectCount="), std::wstring::npos);
}

}  // namespace
}  // namespace tandrel
