// The deletion pass visits only the backup folders where the copy pass saw
// something to delete: every kind of difference must still be found there,
// deep in a tree that is otherwise equal, and what changes between the
// passes is judged by what the disk holds then.
#include <gtest/gtest.h>

#include "StagedFaults.h"
#include "platform/Strings.h"

namespace tandrel {
namespace {

using test::Batch;
using test::CountRows;
using test::FileExists;
using test::MakeFolders;
using test::Pair;
using test::ReadBytes;
using test::Rows;
using test::Sorted;
using test::StagedFaults;
using test::TempDir;
using test::WriteBytes;

// The same file, with the same time, in both trees (file: "\\" and the
// path below the roots).
void SameInBoth(const std::wstring& m, const std::wstring& b, const std::wstring& file) {
    WriteBytes(m + file, "same");
    ASSERT_TRUE(CopyFileW((m + file).c_str(), (b + file).c_str(), FALSE));
}

// c1 … c7 below d\e each hold one difference; quiet and the root's top.txt
// none.
void MakeTrees(const std::wstring& m, const std::wstring& b) {
    const std::wstring e = L"\\d\\e\\";
    for (const std::wstring& tree : {m, b}) {
        for (const wchar_t* folder : {L"c1", L"c2", L"c3", L"c4", L"c5", L"c6", L"c7", L"quiet\\deeper"}) {
            ASSERT_TRUE(CreateDirectoryTree(tree + e + folder));
        }
    }
    for (const wchar_t* folder : {L"c1", L"c2", L"c3", L"c4", L"c5", L"c6", L"c7", L"quiet", L"quiet\\deeper"}) {
        SameInBoth(m, b, e + folder + L"\\same.txt");
    }
    SameInBoth(m, b, L"\\top.txt");
    WriteBytes(b + L"\\stray.txt", "r");
    WriteBytes(b + e + L"c1\\stray.txt", "1");
    // Excluded files: one the master lacks, one it has.
    WriteBytes(b + e + L"c2\\stray.dat", "2");
    WriteBytes(m + e + L"c3\\both.dat", "m");
    WriteBytes(b + e + L"c3\\both.dat", "b");
    // Each kind in the other's place.
    ASSERT_TRUE(CreateDirectoryTree(m + e + L"c4\\x"));
    WriteBytes(m + e + L"c4\\x\\in.txt", "in");
    WriteBytes(b + e + L"c4\\x", "file");
    WriteBytes(m + e + L"c5\\y", "file");
    ASSERT_TRUE(CreateDirectoryTree(b + e + L"c5\\y"));
    WriteBytes(b + e + L"c5\\y\\old.txt", "old");
    ASSERT_TRUE(CreateDirectoryTree(b + e + L"c6\\gone"));
    WriteBytes(b + e + L"c6\\gone\\g.txt", "g");
    // A folder the filter excludes, on both sides.
    for (const std::wstring& tree : {m, b}) {
        ASSERT_TRUE(CreateDirectoryTree(tree + e + L"c7\\skip"));
        WriteBytes(tree + e + L"c7\\skip\\s.txt", "s");
    }
}

TEST(DeletionPassTest, FindsEveryKindOfDifferenceDeepInAnEqualTree) {
    const Rows kept = {L"作成 d\\e\\c4\\x\\in.txt", L"フォルダ作成 d\\e\\c4\\x (ファイルと置き換え)",
                       L"作成 d\\e\\c5\\y (フォルダと置き換え)", L"削除 d\\e\\c1\\stray.txt",
                       L"削除 d\\e\\c4\\x", L"削除 d\\e\\c5\\y\\old.txt", L"フォルダ削除 d\\e\\c5\\y",
                       L"削除 d\\e\\c6\\gone\\g.txt", L"フォルダ削除 d\\e\\c6\\gone", L"削除 stray.txt"};
    Rows all = kept;
    for (const wchar_t* row : {L"削除 d\\e\\c2\\stray.dat", L"削除 d\\e\\c3\\both.dat",
                               L"削除 d\\e\\c7\\skip\\s.txt", L"フォルダ削除 d\\e\\c7\\skip"}) {
        all.push_back(row);
    }
    for (const bool deleteExcluded : {false, true}) {
        SCOPED_TRACE(deleteExcluded);
        TempDir temp;
        const std::wstring m = temp / L"m", b = temp / L"b", e = b + L"\\d\\e\\";
        MakeTrees(m, b);
        Batch run;
        run.settings = {Pair(m, b)};
        FolderSetting& s = run.settings[0];
        s.TargetFile = L"*.dat";
        s.TargetDirectory = L"*\\skip";
        s.DeleteIgnoreTarget = deleteExcluded;
        ASSERT_EQ(run.Run(true), 1);
        const Rows dry = run.Changes();
        EXPECT_EQ(Sorted(dry), Sorted(deleteExcluded ? all : kept));
        ASSERT_EQ(run.Run(false), 1);
        EXPECT_EQ(run.Changes(), dry);
        EXPECT_EQ(s.Errors, 0);
        EXPECT_EQ(ReadBytes(e + L"c4\\x\\in.txt"), "in");
        EXPECT_EQ(ReadBytes(e + L"c5\\y"), "file");
        EXPECT_EQ(ReadBytes(e + L"quiet\\deeper\\same.txt"), "same");
        EXPECT_EQ(FileExists(e + L"c3\\both.dat"), !deleteExcluded);
        ASSERT_EQ(run.Run(false), 1);
        EXPECT_EQ(run.Changes(), Rows{});
    }
}

TEST(DeletionPassTest, AFileTheMasterGainsBetweenThePassesIsKept) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeFolders(temp.Path(), {L"m\\sub\\deep", L"b\\sub\\deep"});
    SameInBoth(m, b, L"\\sub\\deep\\keep.txt");
    WriteBytes(b + L"\\sub\\deep\\late.txt", "only in the backup, for now");
    StagedFaults faults;
    // The user copies it into the master after the copy pass, before the
    // deletion pass looks at the backup again (inside a seam, where no
    // other thread holds the master).
    bool gained = false;
    faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
        if (!gained && point == FaultPoint::Check && path.rfind(b + L"\\", 0) == 0) {
            gained = WriteBytes(m + L"\\sub\\deep\\late.txt", "now in the master");
        }
        return 0;
    };
    Batch run;
    run.settings = {Pair(m, b)};
    ASSERT_EQ(run.Run(false), 1);
    EXPECT_TRUE(gained);
    EXPECT_EQ(run.Changes(), Rows{});
    EXPECT_EQ(ReadBytes(b + L"\\sub\\deep\\late.txt"), "only in the backup, for now");
    EXPECT_EQ(CountRows(run, L"削除"), 0);
}

}  // namespace
}  // namespace tandrel
