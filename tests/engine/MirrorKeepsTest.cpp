// Paths on which the mirror could overwrite, delete or strip what the backup
// holds: names reached through another entry's short name, master names
// that differ only in letter case, backup folders that cannot be made,
// deletions that do not happen, flushes that fail. Each case checks what is
// on disk afterwards.
#include <gtest/gtest.h>

#include "StagedFaults.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/Strings.h"

namespace tandrel {
namespace {

using test::Age;
using test::Batch;
using test::CountRows;
using test::DiskName;
using test::FileExists;
using test::HasRow;
using test::MakeFolders;
using test::Pair;
using test::Partials;
using test::ReadBytes;
using test::StagedFaults;
using test::TempDir;
using test::Utf8;
using test::WriteBytes;

const std::wstring kCases = L"G:\\links\\cases";

TEST(ShortNameTest, ANameMatchesOnlyAnEntrysOwnLongName) {
    EXPECT_TRUE(OwnName(L"Report 2019.pdf", L"REPORT 2019.PDF"));
    EXPECT_FALSE(OwnName(L"REPORT~1.PDF", L"Report 2019.pdf"));
    EXPECT_FALSE(OwnName(L"DATA~1", L"Data Files"));
    EXPECT_FALSE(OwnName(L"a.txt", L"a.txt "));

    TempDir temp;
    const std::wstring& folder = temp.Path();
    WriteBytes(folder + L"\\Report 2019.pdf", "report");
    StagedFaults faults;
    faults.shortNames[FoldCase(folder + L"\\REPORT~1.PDF")] = L"Report 2019.pdf";
    DWORD error = 0;
    std::wstring heldBy;
    EXPECT_FALSE(ReadNamedEntry(folder + L"\\REPORT~1.PDF", error, &heldBy));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(heldBy, L"Report 2019.pdf");
    heldBy.clear();
    const auto own = ReadNamedEntry(folder + L"\\report 2019.PDF", error, &heldBy);
    ASSERT_TRUE(own);
    EXPECT_EQ(own->name, L"Report 2019.pdf");
    EXPECT_TRUE(heldBy.empty());
}

TEST(ShortNameTest, AFileWhoseNameIsAnotherFilesShortNameNeverReplacesIt) {
    for (const bool listed : {true, false}) {
        SCOPED_TRACE(listed ? "backup listed" : "backup listing failed");
        TempDir temp;
        const std::wstring m = temp / L"m", b = temp / L"b";
        MakeFolders(temp.Path(), {L"m", L"b"});
        WriteBytes(m + L"\\Report 2019.pdf", "report");
        WriteBytes(m + L"\\REPORT~1.PDF", "another file");
        ASSERT_TRUE(CopyFileW((m + L"\\Report 2019.pdf").c_str(), (b + L"\\Report 2019.pdf").c_str(), TRUE));
        StagedFaults faults;
        // The backup volume gave the first copy the short name that the
        // second file has as its long name.
        faults.shortNames[FoldCase(b + L"\\REPORT~1.PDF")] = L"Report 2019.pdf";
        faults.fail = [&](FaultPoint point, const std::wstring& path, int seen) -> DWORD {
            return !listed && point == FaultPoint::List && EqualsNoCase(path, b + L"\\") && seen == 1 ? ERROR_ACCESS_DENIED
                                                                                                   : 0;
        };
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round);
            Batch run;
            run.settings = {Pair(m, b)};
            run.Run(false);
            EXPECT_EQ(ReadBytes(b + L"\\Report 2019.pdf"), "report");
            EXPECT_FALSE(FileExists(b + L"\\REPORT~1.PDF"));
            EXPECT_TRUE(Partials(b).empty());
            EXPECT_EQ(run.settings[0].Errors, 1);
            EXPECT_TRUE(HasRow(run, L"エラー ファイルのコピーに失敗: この名前はバックアップ側の「Report 2019.pdf」の短い名前"))
                << Utf8(run.host.RowTexts().back());
        }
    }
}

TEST(ShortNameTest, AFolderWhoseNameIsAnotherFoldersShortNameIsNotEntered) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeFolders(temp.Path(), {L"m\\DATA~1", L"b\\Data Files"});
    WriteBytes(m + L"\\DATA~1\\x.txt", "x");
    WriteBytes(b + L"\\Data Files\\keep.txt", "keep");
    StagedFaults faults;
    faults.shortNames[FoldCase(b + L"\\DATA~1")] = L"Data Files";
    Batch run;
    run.settings = {Pair(m, b)};
    run.settings[0].Mirroring = false;
    run.Run(false);
    EXPECT_EQ(ReadBytes(b + L"\\Data Files\\keep.txt"), "keep");
    EXPECT_FALSE(FileExists(b + L"\\Data Files\\x.txt"));
    EXPECT_FALSE(FileExists(b + L"\\DATA~1\\x.txt"));
    EXPECT_EQ(run.settings[0].Errors, 1);
    EXPECT_TRUE(HasRow(run, L"エラー フォルダの作成に失敗: この名前はバックアップ側の「Data Files」の短い名前"));
}

TEST(CaseTwinTest, TheBackupFolderOfATwinGroupIsComparedWithTheKeptName) {
    ASSERT_TRUE(FileExists(kCases + L"\\data\\y.txt")) << "fixture missing";
    TempDir temp;
    const std::wstring b = temp / L"b";
    MakeFolders(temp.Path(), {L"b\\data"});
    Batch run;
    run.settings = {Pair(kCases, b)};
    run.settings[0].RenameCapital = false;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        run.Run(false);
        EXPECT_EQ(DiskName(b + L"\\data"), L"data");
        EXPECT_EQ(ReadBytes(b + L"\\data\\x.txt"), "x");
        EXPECT_FALSE(FileExists(b + L"\\data\\y.txt"));
        EXPECT_EQ(CountRows(run, L"削除"), 0);
        EXPECT_EQ(CountRows(run, L"作成"), round == 0 ? 2 : 0);
        EXPECT_EQ(run.settings[0].Errors, 2);
        EXPECT_TRUE(HasRow(run, L"エラー 大文字小文字だけが異なる名前: 「Data」と「data」"));
    }
}

TEST(CaseTwinTest, ABackupThatTellsCaseApartKeepsTheTwinsFolderWhole) {
    ASSERT_TRUE(FileExists(kCases + L"\\data\\y.txt")) << "fixture missing";
    // The fixture's backup holds the folder in both spellings, as a backup
    // on a case-sensitive share can.
    const std::wstring b = L"G:\\links\\twin-backup";
    ASSERT_EQ(ReadBytes(b + L"\\data\\old.txt"), "old") << "fixture missing";
    Batch run;
    run.settings = {Pair(kCases, b)};
    run.settings[0].RenameCapital = false;
    run.Run(false);
    EXPECT_EQ(ReadBytes(b + L"\\data\\old.txt"), "old");
    EXPECT_EQ(ReadBytes(b + L"\\Data\\x.txt"), "x");
    EXPECT_EQ(CountRows(run, L"削除"), 0);
}

TEST(UncreatableFolderTest, AFolderThatCannotBeMadeIsOneErrorAndNotWalked) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeFolders(temp.Path(), {L"m\\sub", L"b"});
    for (int i = 0; i < 6; ++i) WriteBytes(m + L"\\sub\\f" + std::to_wstring(i) + L".txt", "new");
    WriteBytes(b + L"\\sub", "kept file");
    StagedFaults faults;
    faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
        return point == FaultPoint::Delete && EqualsNoCase(path, b + L"\\sub") ? ERROR_ACCESS_DENIED : 0;
    };
    Batch run;
    run.settings = {Pair(m, b)};
    run.settings[0].BackupType = 1;  // deletion pass first
    run.Run(false);
    EXPECT_EQ(ReadBytes(b + L"\\sub"), "kept file");
    EXPECT_TRUE(Partials(b).empty());
    // The refused deletion and the conflict, nothing per file inside.
    EXPECT_EQ(run.settings[0].Errors, 2);
    EXPECT_EQ(CountRows(run, L"作成"), 0);
    EXPECT_TRUE(HasRow(run, L"エラー フォルダ存在チェックに失敗: フォルダと同名のファイルが存在します。"))
        << Utf8(JoinList(run.host.RowTexts()));

    // A test run still foretells the folder the deletion would make room for.
    Batch preview;
    preview.settings = {Pair(m, b)};
    preview.settings[0].BackupType = 1;
    faults.fail = nullptr;
    preview.Run(true);
    EXPECT_EQ(CountRows(preview, L"作成"), 6);
    EXPECT_EQ(ReadBytes(b + L"\\sub"), "kept file");
}

DWORD Attributes(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
}

TEST(KeptAttributesTest, AnEntryThatStaysKeepsItsFlags) {
    for (const bool recycle : {false, true}) {
        SCOPED_TRACE(recycle ? "recycle bin" : "deleted");
        TempDir temp;
        const std::wstring m = temp / L"m", b = temp / L"b";
        MakeFolders(temp.Path(), {L"m", L"b\\gone"});
        WriteBytes(b + L"\\old.txt", "old");
        WriteBytes(b + L"\\gone\\inner.txt", "inner");
        constexpr DWORD flags = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
        ASSERT_TRUE(SetFileAttributesW((b + L"\\old.txt").c_str(), flags));
        ASSERT_TRUE(SetFileAttributesW((b + L"\\gone").c_str(), FILE_ATTRIBUTE_HIDDEN));
        StagedFaults faults;
        faults.fail = [&](FaultPoint point, const std::wstring&, int) -> DWORD {
            return point == FaultPoint::Delete ? ERROR_ACCESS_DENIED : 0;
        };
        Batch run;
        run.settings = {Pair(m, b)};
        int sent = 0;
        if (recycle) {
            run.settings[0].DeleteRecycleBin = true;
            run.recycleBin = [&](const std::wstring&) {
                ++sent;
                return static_cast<int>(ERROR_ACCESS_DENIED);
            };
        }
        run.Run(false);
        EXPECT_EQ(ReadBytes(b + L"\\old.txt"), "old");
        EXPECT_EQ(ReadBytes(b + L"\\gone\\inner.txt"), "inner");
        EXPECT_EQ(Attributes(b + L"\\old.txt"), flags);
        EXPECT_EQ(Attributes(b + L"\\gone"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
        EXPECT_GE(run.settings[0].Errors, 1);
        EXPECT_EQ(run.settings[0].status.deleted, 0);
        EXPECT_EQ(sent >= 1, recycle);
        SetFileAttributesW((b + L"\\old.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST(FlushTest, ACopyThatCannotReachTheDiskLeavesTheOldCopy) {
    for (const bool verify : {false, true}) {
        for (const bool retry : {false, true}) {
            SCOPED_TRACE(std::string(verify ? "verify" : "plain") + (retry ? ", retried" : ", ignored"));
            TempDir temp;
            const std::wstring m = temp / L"m", b = temp / L"b";
            MakeFolders(temp.Path(), {L"m", L"b"});
            WriteBytes(m + L"\\f.txt", "new data");
            WriteBytes(b + L"\\f.txt", "old");
            Age(b + L"\\f.txt", 3600);
            StagedFaults faults;
            int flushes = 0;
            faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
                if (point != FaultPoint::Flush) return 0;
                EXPECT_TRUE(IsPartialCopyName(FileNameOf(path))) << Utf8(path);
                return ++flushes == 1 ? ERROR_WRITE_FAULT : 0;
            };
            Batch run;
            run.settings = {Pair(m, b)};
            run.settings[0].Verify = verify;
            if (retry) run.host.answers = {IDRETRY};
            run.Run(false);
            EXPECT_EQ(ReadBytes(b + L"\\f.txt"), retry ? "new data" : "old");
            EXPECT_TRUE(Partials(b).empty());
            EXPECT_EQ(run.settings[0].Errors, retry ? 0 : 1);
            EXPECT_EQ(run.settings[0].status.updated, retry ? 1 : 0);
            EXPECT_EQ(HasRow(run, L"エラー ファイルのコピーに失敗: " + WithoutFinalBreak(SystemErrorText(ERROR_WRITE_FAULT))),
                      !retry);
        }
    }
}

TEST(EmptyRootTest, AFolderWithoutEvenDotEntriesIsEmptyNotUnread) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeFolders(temp.Path(), {L"m", L"b"});
    WriteBytes(m + L"\\a.txt", "a");
    StagedFaults faults;
    // As the file system answers the first question about an empty drive
    // root; the same question refused is a failed listing.
    DWORD answer = ERROR_FILE_NOT_FOUND;
    faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
        return point == FaultPoint::Query && EqualsNoCase(path, b + L"\\") ? answer : 0;
    };
    FolderListing listing;
    EXPECT_TRUE(listing.Read(b + L"\\"));
    EXPECT_TRUE(listing.entries().empty());
    Batch run;
    run.settings = {Pair(m, b)};
    run.Run(false);
    EXPECT_EQ(ReadBytes(b + L"\\a.txt"), "a");
    EXPECT_EQ(run.settings[0].Errors, 0);

    answer = ERROR_ACCESS_DENIED;
    EXPECT_FALSE(listing.Read(b + L"\\"));
    EXPECT_EQ(listing.error(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(CaseRenameTest, PlannedDeletionsBelowARenamedFolderUseItsNewSpelling) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeFolders(temp.Path(), {L"m\\Data\\sub", L"b\\data\\sub"});
    WriteBytes(m + L"\\Data\\sub\\keep.txt", "keep");
    ASSERT_TRUE(CopyFileW((m + L"\\Data\\sub\\keep.txt").c_str(), (b + L"\\data\\sub\\keep.txt").c_str(), TRUE));
    WriteBytes(b + L"\\data\\sub\\old.txt", "old");
    StagedFaults faults;
    // As a backup that tells case apart answers for the old spelling.
    faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
        return point == FaultPoint::Check && path == b + L"\\data" ? ERROR_FILE_NOT_FOUND : 0;
    };
    Batch run;
    run.settings = {Pair(m, b)};
    run.Run(false);
    EXPECT_EQ(DiskName(b + L"\\data"), L"Data");
    EXPECT_FALSE(FileExists(b + L"\\Data\\sub\\old.txt"));
    EXPECT_EQ(ReadBytes(b + L"\\Data\\sub\\keep.txt"), "keep");
    EXPECT_TRUE(HasRow(run, L"削除 Data\\sub\\old.txt"));
    EXPECT_EQ(run.settings[0].Errors, 0);
}

}  // namespace
}  // namespace tandrel
