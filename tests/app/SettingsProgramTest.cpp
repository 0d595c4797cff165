// The real program on settings files that cannot be written or that are
// reached by more than one name.
#include <gtest/gtest.h>

#include "ProgramCopy.h"
#include "TestSupport.h"

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

}  // namespace
}  // namespace tandrel
