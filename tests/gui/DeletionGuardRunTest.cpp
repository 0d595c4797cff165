// The guard on mass deletion in the real program: an unattended automatic
// run after most of the master was deleted keeps the backup and says so in
// its exit code.
#include <gtest/gtest.h>

#include "ProgramCopy.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

using test::ExitCodeWithin;
using test::FileExists;
using test::ProgramCopy;
using test::TempDir;

TEST(DeletionGuardRunTest, UnattendedRunAfterMostOfTheMasterWentDeletesNothingAndEndsWithTwo) {
    TempDir data;
    const std::wstring master = data / L"m", backup = data / L"b", log = data / L"run.log";
    CreateDirectoryW(master.c_str(), nullptr);
    for (int n = 0; n < 240; ++n) ASSERT_TRUE(test::WriteBytes(test::NumberedFile(master, n), "data"));
    // Nobody there, the program to end on errors too.
    ProgramCopy program(true, L"[Options]\r\nAutoExitWhenError=1\r\nListCount=1\r\n[Define 0]\r\nName=S0\r\nMaster=" +
                                  master + L"\r\nBackup=" + backup + L"\r\nOutputLog=1\r\nLogFileName=" + log + L"\r\n");
    HANDLE first = program.Start(L"/auto");
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(ExitCodeWithin(first), 0u);
    ASSERT_TRUE(FileExists(test::NumberedFile(backup, 239)));

    for (int n = 50; n < 240; ++n) ASSERT_TRUE(DeleteFileW(test::NumberedFile(master, n).c_str()));
    ASSERT_TRUE(test::WriteBytes(master + L"\\new.txt", "new"));
    HANDLE second = program.Start(L"/auto");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(ExitCodeWithin(second), 2u);
    int left = 0;
    for (int n = 0; n < 240; ++n) left += FileExists(test::NumberedFile(backup, n));
    EXPECT_EQ(left, 240);
    // The copy pass ran all the same.
    EXPECT_EQ(test::ReadBytes(backup + L"\\new.txt"), "new");
    EXPECT_NE(test::ReadBytes(log).find(test::Utf8(L"バックアップ側のファイル 240 個のうち 190 個 (79%) が削除の対象です")),
              std::string::npos)
        << test::ReadBytes(log);

    // A smaller deletion is no mass deletion: the next run mirrors it.
    for (int n = 50; n < 240; ++n) ASSERT_TRUE(test::WriteBytes(test::NumberedFile(master, n), "data"));
    for (int n = 0; n < 10; ++n) ASSERT_TRUE(DeleteFileW(test::NumberedFile(master, n).c_str()));
    HANDLE third = program.Start(L"/auto");
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(ExitCodeWithin(third), 0u);
    EXPECT_FALSE(FileExists(test::NumberedFile(backup, 0)));
    EXPECT_TRUE(FileExists(test::NumberedFile(backup, 239)));
}

}  // namespace
}  // namespace tandrel
