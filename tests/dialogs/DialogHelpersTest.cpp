#include <gtest/gtest.h>

#include "dialogs/DefinePages.h"
#include "dialogs/DialogSupport.h"
#include "framework/DataExchange.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

TEST(DialogHelpersTest, IntegerFields) {
    struct Case {
        const wchar_t* text;
        IntCheck expected;
        int value;
    } cases[] = {
        {L"2", IntCheck::Ok, 2},          {L" 999 ", IntCheck::Ok, 999},      {L"+5", IntCheck::Ok, 5},
        {L"0", IntCheck::OutOfRange, 0},  {L"1000", IntCheck::OutOfRange, 0}, {L"-3", IntCheck::OutOfRange, 0},
        {L"99999999999", IntCheck::OutOfRange, 0}, {L"", IntCheck::NotInteger, 0}, {L"12a", IntCheck::NotInteger, 0},
        {L"-", IntCheck::NotInteger, 0},  {L"1 2", IntCheck::NotInteger, 0},
    };
    for (const auto& c : cases) {
        int value = 0;
        EXPECT_EQ(ParseIntField(c.text, 1, 999, value), c.expected) << c.text;
        if (c.expected == IntCheck::Ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST(DialogHelpersTest, DroppedPathsAndLists) {
    test::TempDir dir;
    CreateDirectoryW((dir / L"sub").c_str(), nullptr);
    ASSERT_TRUE(test::WriteBytes(dir / L"sub\\file.txt", "x"));
    const std::wstring file = dir / L"sub\\file.txt";
    EXPECT_EQ(ConvertDroppedPath(file, DropForm::Plain), file);
    EXPECT_EQ(ConvertDroppedPath(file, DropForm::FolderOnly), dir / L"sub");
    EXPECT_EQ(ConvertDroppedPath(dir / L"sub", DropForm::FolderOnly), dir / L"sub");
    EXPECT_EQ(ConvertDroppedPath(file, DropForm::FileNameOnly), L"file.txt");
    EXPECT_EQ(ConvertDroppedPath(dir / L"sub", DropForm::FileNameOnly), L"");
    // Relative to the master folder, or only the last part outside it.
    EXPECT_EQ(ConvertDroppedPath(file, DropForm::FolderOnly, dir.Path() + L"\\", true), L"sub");
    EXPECT_EQ(ConvertDroppedPath(file, DropForm::FolderOnly, L"C:\\elsewhere", true), L"sub");
    EXPECT_EQ(ConvertDroppedPath(dir.Path(), DropForm::FolderOnly, dir.Path(), true), L"");

    EXPECT_EQ(MissingParents(L"a\\b\\c", {}), (std::vector<std::wstring>{L"a", L"a\\b"}));
    EXPECT_EQ(MissingParents(L"a\\b\\c", {L"A"}), (std::vector<std::wstring>{L"a\\b"}));
    EXPECT_TRUE(MissingParents(L"\\x", {}).empty());
}

TEST(DialogHelpersTest, MasterNameCopiedToBackup) {
    EXPECT_EQ(BackupWithMasterName(L"C:\\data\\Photos", L"E:\\backup"), L"E:\\backup\\Photos");
    EXPECT_EQ(BackupWithMasterName(L"C:\\data\\Photos\\", L"E:\\backup\\"), L"E:\\backup\\Photos");
    EXPECT_EQ(BackupWithMasterName(L"C:\\data\\Photos", L"E:\\backup\\photos"), L"E:\\backup\\photos");
    EXPECT_EQ(BackupWithMasterName(L"C:\\", L"E:\\backup"), L"E:\\backup");
    EXPECT_EQ(BackupWithMasterName(L"\\\\server\\share", L"E:\\backup"), L"E:\\backup");
    EXPECT_EQ(BackupWithMasterName(L"\\\\server\\share\\docs", L"E:\\b"), L"E:\\b\\docs");
    EXPECT_EQ(BackupWithMasterName(L"", L"E:\\backup"), L"E:\\backup");
    EXPECT_EQ(BackupWithMasterName(L"C:\\data", L""), L"");
}

}  // namespace
}  // namespace tandrel
