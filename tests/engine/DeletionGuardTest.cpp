// A deletion pass that would remove most of the backup is stopped before its
// first deletion: asked about when someone is there, refused when nobody is.
#include <gtest/gtest.h>

#include "StagedFaults.h"
#include "engine/DeletionGuard.h"
#include "platform/Strings.h"

namespace tandrel {
namespace {

using test::Batch;
using test::CountRows;
using test::FileExists;
using test::HasRow;
using test::MakeFolders;
using test::Pair;
using test::ReadBytes;
using test::TempDir;
using test::Utf8;
using test::WriteBytes;

// Both trees held 50 files at the root and 190 in gone\, which the master
// has lost since; the master has one new file.
struct MassDeletion {
    TempDir temp;
    std::wstring m = temp / L"m", b = temp / L"b";
    MassDeletion() {
        MakeFolders(temp.Path(), {L"m", L"b\\gone"});
        for (int n = 0; n < 50; ++n) {
            WriteBytes(test::NumberedFile(m, n), "same");
            CopyFileW(test::NumberedFile(m, n).c_str(), test::NumberedFile(b, n).c_str(), FALSE);
        }
        for (int n = 0; n < 190; ++n) WriteBytes(test::NumberedFile(b + L"\\gone", n), "old");
        WriteBytes(m + L"\\new.txt", "new");
    }
    int Left() const {
        int left = 0;
        for (int n = 0; n < 190; ++n) left += FileExists(test::NumberedFile(b + L"\\gone", n));
        return left;
    }
};

const std::wstring kFigures = L"バックアップ側のファイル 240 個のうち 190 個 (79%) が削除の対象です";

TEST(DeletionGuardTest, NobodyThereDeletesNothingSaysWhyAndStillCopies) {
    for (const int order : {0, 1}) {
        SCOPED_TRACE(order);
        MassDeletion trees;
        Batch run;
        run.settings = {Pair(trees.m, trees.b)};
        FolderSetting& s = run.settings[0];
        s.BackupType = order;
        s.OutputLog = true;
        s.LogFileName = trees.temp / L"run.log";
        // An automatic run that closes the program: nobody may be asked.
        run.options.AutoExitWhenError = true;
        run.options.runMode = RunModeExit;
        run.batch.startedAutomatically = true;

        EXPECT_EQ(run.Run(false), 1);
        EXPECT_TRUE(run.host.boxes.empty());
        EXPECT_EQ(trees.Left(), 190);
        EXPECT_EQ(ReadBytes(trees.b + L"\\new.txt"), "new");
        EXPECT_EQ(CountRows(run, L"削除") + CountRows(run, L"フォルダ削除"), 0);
        EXPECT_TRUE(HasRow(run, L"エラー 大量の削除を止めました: " + kFigures));
        EXPECT_EQ(run.settings[0].Errors, 1);
        EXPECT_EQ(run.options.exitCode, ExitErrors);
        EXPECT_NE(ReadBytes(trees.temp / L"run.log").find(Utf8(kFigures)), std::string::npos);
    }
}

TEST(DeletionGuardTest, SomeoneThereIsAskedWithTheFiguresAndNoIsTheDefault) {
    MassDeletion trees;
    Batch run;
    run.settings = {Pair(trees.m, trees.b)};

    // A test run says that the update run will ask, and lists what it would delete.
    EXPECT_EQ(run.Run(true), 1);
    EXPECT_TRUE(run.host.boxes.empty());
    EXPECT_TRUE(HasRow(run, L"確認 更新では削除の前に確認します: " + kFigures));
    EXPECT_EQ(CountRows(run, L"削除"), 190);
    EXPECT_EQ(trees.Left(), 190);

    run.host.answers = {IDNO};
    EXPECT_EQ(run.Run(false), 1);
    ASSERT_EQ(run.host.boxes.size(), 1u);
    const auto& box = run.host.boxes[0];
    EXPECT_EQ(box.caption, L"大量削除の確認");
    EXPECT_NE(box.text.find(L"バックアップ側のファイル 240 個のうち 190 個 (79%) を削除しようとしています。"),
              std::wstring::npos)
        << Utf8(box.text);
    EXPECT_EQ(box.style & (MB_YESNO | MB_DEFBUTTON2), static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2));
    EXPECT_EQ(trees.Left(), 190);
    EXPECT_TRUE(HasRow(run, L"スキップ 削除を取りやめました: " + kFigures));
    EXPECT_EQ(run.settings[0].Errors, 0);
    EXPECT_EQ(ReadBytes(trees.b + L"\\new.txt"), "new");

    run.host.answers = {IDYES};
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.host.boxes.size(), 1u);
    EXPECT_EQ(trees.Left(), 0);
    EXPECT_FALSE(FileExists(trees.b + L"\\gone"));
    EXPECT_EQ(CountRows(run, L"削除"), 190);
    EXPECT_EQ(run.settings[0].status.deleted, 190);
}

TEST(DeletionGuardTest, OnlyMoreThanBothTheShareAndTheNumberAsks) {
    const struct {
        int kept, deleted;
        bool guard, asks;
    } cases[] = {
        {50, 100, true, false},   // not more than 100 files
        {101, 101, true, false},  // exactly half
        {100, 101, true, true},
        {50, 190, false, false},  // the guard off
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kept << "/" << c.deleted);
        TempDir temp;
        const std::wstring m = temp / L"m", b = temp / L"b";
        // The kept files lie in a folder of their own: the share counts
        // the backup's files wherever the passes saw them.
        MakeFolders(temp.Path(), {L"m\\keep", L"b\\keep", L"b\\d"});
        for (int n = 0; n < c.kept; ++n) {
            WriteBytes(test::NumberedFile(m + L"\\keep", n), "same");
            CopyFileW(test::NumberedFile(m + L"\\keep", n).c_str(), test::NumberedFile(b + L"\\keep", n).c_str(), FALSE);
        }
        for (int n = 0; n < c.deleted; ++n) WriteBytes(test::NumberedFile(b + L"\\d", n), "old");
        Batch run;
        run.settings = {Pair(m, b)};
        run.settings[0].DeleteGuard = c.guard;
        run.host.answers = {IDNO};
        EXPECT_EQ(run.Run(false), 1);
        EXPECT_EQ(run.host.boxes.size(), c.asks ? 1u : 0u);
        EXPECT_EQ(FileExists(b + L"\\d"), c.asks);
        EXPECT_EQ(CountRows(run, L"削除"), c.asks ? 0 : c.deleted);
    }
}

}  // namespace
}  // namespace tandrel
