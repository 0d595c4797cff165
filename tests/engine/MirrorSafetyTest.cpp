// Rarer paths on which a mirror could delete or overwrite what it must keep,
// or silently stop backing a file up. Each case checks what is on disk
// afterwards.
#include <gtest/gtest.h>

#include <algorithm>

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
using test::HeldFile;
using test::MakeFolders;
using test::MakeTree;
using test::Pair;
using test::ReadBytes;
using test::Rows;
using test::Sorted;
using test::StagedFaults;
using test::TempDir;
using test::Utf8;
using test::WriteBytes;

TEST(MirrorSafetyTest, ADateFolderThatIsNoFolderBelowTheBackupStopsTheSettingBeforeAnything) {
    for (const wchar_t* pattern : {L" ", L".", L"..", L"%Y\\..", L"%Y\\..\\.."}) {
        SCOPED_TRACE(Utf8(pattern));
        TempDir temp;
        const std::wstring m = temp / L"m", base = temp / L"base\\b";
        MakeFolders(temp.Path(), {L"m", L"base\\b\\20261201", L"base\\sibling"});
        WriteBytes(m + L"\\f.txt", "f");
        WriteBytes(base + L"\\20261201\\old.txt", "old");
        WriteBytes(temp / L"base\\sibling\\s.txt", "s");
        const std::wstring marker = temp / L"before.txt";
        Batch run;
        run.settings = {Pair(m, base)};
        FolderSetting& s = run.settings[0];
        s.MakeDateDir = true;
        s.BackupDateDir = pattern;
        CommandEntry before;
        before.path = test::HelperPath();
        before.param = L"marker=" + marker;
        before.enable = true;
        before.id = 0;
        run.commands.Append(before);
        s.commandIds[0] = 0;

        EXPECT_EQ(run.Run(false), 0);
        EXPECT_EQ(ReadBytes(base + L"\\20261201\\old.txt"), "old");
        EXPECT_EQ(ReadBytes(temp / L"base\\sibling\\s.txt"), "s");
        EXPECT_FALSE(FileExists(base + L"\\f.txt"));
        EXPECT_FALSE(FileExists(temp / L"base\\f.txt"));
        EXPECT_FALSE(FileExists(marker));
        EXPECT_TRUE(HasRow(run, L"エラー フォルダ設定エラー: 日付フォルダの名前が作れません。"));
        EXPECT_EQ(CountRows(run, L"削除") + CountRows(run, L"フォルダ削除") + CountRows(run, L"作成"), 0);
    }
}

// The recycle bin as the shell treats a plain path: trailing dots and
// spaces of each name are dropped, and a folder goes with everything in it.
class ShellRecycleBin {
public:
    std::vector<std::wstring> sent;
    RecycleSender Sender() {
        return [this](const std::wstring& list) {
            for (size_t at = 0; at < list.size() && list[at];) {
                const std::wstring path = list.c_str() + at;
                at += path.size() + 1;
                sent.push_back(path);
                Remove(path);
            }
            return 0;
        };
    }

private:
    static void Remove(const std::wstring& path) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            DeleteFileW(path.c_str());
            return;
        }
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = data.cFileName;
                if (name != L"." && name != L"..") Remove(path + L"\\" + name);
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        RemoveDirectoryW(path.c_str());
    }
};

TEST(MirrorSafetyTest, TheRecycleBinGetsOnlyWhatGoesAndOnlyPathsItCanAddress) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeFolders(temp.Path(), {L"m\\dir", L"b\\dir", L"b\\dir.", L"b\\old", L"b\\mixed"});
    const std::wstring longName = std::wstring(250, L'n') + L".txt";
    WriteBytes(m + L"\\dir\\keep.txt", "k");
    WriteBytes(b + L"\\dir\\keep.txt", "k");
    WriteBytes(b + L"\\gone.txt", "g");
    WriteBytes(b + L"\\odd ", "o");
    ASSERT_TRUE(WriteBytes(b + L"\\" + longName, "l"));
    ASSERT_GT((b + L"\\" + longName).size(), size_t{MAX_PATH});
    WriteBytes(b + L"\\old\\x.txt", "x");
    WriteBytes(b + L"\\mixed\\y.txt", "y");
    WriteBytes(b + L"\\mixed\\keep.dat", "d");
    Age(m + L"\\dir\\keep.txt", 100);
    Age(b + L"\\dir\\keep.txt", 100);

    ShellRecycleBin bin;
    Batch run;
    run.recycleBin = bin.Sender();
    run.settings = {Pair(m, b)};
    FolderSetting& s = run.settings[0];
    s.DeleteRecycleBin = true;
    s.TargetFile = L"*.dat";
    const auto refusals = [&] {
        Rows found;
        for (const ReportRow& row : run.host.rows) {
            for (const std::wstring& refused : {b + L"\\dir.", b + L"\\odd ", b + L"\\" + longName}) {
                if (row.action == RowAction::Error && row.path.find(L": " + refused + L" (") != std::wstring::npos) {
                    found.push_back(row.path);
                }
            }
        }
        return found;
    };
    // A test run says so too.
    run.Run(true);
    EXPECT_TRUE(bin.sent.empty());
    const Rows foretold = refusals();
    EXPECT_EQ(foretold.size(), 3u);

    run.Run(false);
    EXPECT_EQ(Sorted(bin.sent), Sorted({b + L"\\gone.txt", b + L"\\old\\x.txt", b + L"\\old", b + L"\\mixed\\y.txt"}));
    EXPECT_EQ(ReadBytes(b + L"\\dir\\keep.txt"), "k");
    EXPECT_TRUE(FileExists(b + L"\\dir."));
    EXPECT_EQ(ReadBytes(b + L"\\odd "), "o");
    EXPECT_EQ(ReadBytes(b + L"\\" + longName), "l");
    EXPECT_EQ(ReadBytes(b + L"\\mixed\\keep.dat"), "d");
    EXPECT_FALSE(FileExists(b + L"\\gone.txt"));
    EXPECT_FALSE(FileExists(b + L"\\old"));
    EXPECT_EQ(refusals(), foretold);
    // The three refused and the folder that keeps a file.
    EXPECT_EQ(s.Errors, 4);
    EXPECT_EQ(s.status.deleted, 3);
}

TEST(MirrorSafetyTest, SinceTheLastBackupMeansSinceTheLastRunWithoutErrors) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeTree(temp.Path(), {L"m", L"b"}, {{L"m\\held.txt", "h"}, {L"m\\free.txt", "f"}});
    Batch run;
    run.settings = {Pair(m, b)};
    FolderSetting& s = run.settings[0];
    s.TargetDateType = 2;
    {
        HeldFile held(m + L"\\held.txt");
        run.Run(false);
    }
    EXPECT_EQ(s.Errors, 1);
    EXPECT_EQ(ReadBytes(b + L"\\free.txt"), "f");
    // The file the run could not copy is copied as soon as it can be.
    run.Run(false);
    EXPECT_EQ(run.Changes(), Rows{L"作成 held.txt"});
    EXPECT_EQ(ReadBytes(b + L"\\held.txt"), "h");
    EXPECT_EQ(s.Errors, 0);
    const std::int64_t clean = s.LastExec;

    // A change made before a run that skipped the setting (the backup drive
    // was away) still counts as new.
    ASSERT_TRUE(test::WaitUntil([&] { return std::time(nullptr) > clean; }));
    WriteBytes(m + L"\\later.txt", "l");
    ASSERT_TRUE(MoveFileW(b.c_str(), (temp / L"away").c_str()));
    s.SkipIfFolderNotExist = true;
    run.Run(false);
    EXPECT_EQ(s.Errors, ErrorsSkipped);
    ASSERT_TRUE(MoveFileW((temp / L"away").c_str(), b.c_str()));
    run.Run(false);
    EXPECT_EQ(run.Changes(), Rows{L"作成 later.txt"});
    EXPECT_EQ(ReadBytes(b + L"\\later.txt"), "l");
    run.Run(false);
    EXPECT_EQ(run.Changes(), Rows{});
}

// The fixture script made G:\links (see scripts/test-links.sh).
const std::wstring kLinks = L"G:\\links";

TEST(MirrorSafetyTest, ALinkInTheBackupIsNotEnteredWhenTheBackupCouldNotBeListed) {
    ASSERT_TRUE(FileExists(kLinks + L"\\outside-b\\precious.txt")) << "fixture links missing";
    TempDir temp;
    const std::wstring m = temp / L"m", b = kLinks + L"\\backup";
    MakeFolders(temp.Path(), {L"m\\inlink"});
    WriteBytes(m + L"\\inlink\\new.txt", "n");
    StagedFaults faults;
    faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
        return point == FaultPoint::List && EqualsNoCase(path, b + L"\\") ? ERROR_ACCESS_DENIED : 0;
    };
    Batch run;
    run.settings = {Pair(m, b)};
    run.settings[0].Mirroring = false;
    run.Run(false);
    const bool wroteThrough = FileExists(kLinks + L"\\outside-b\\new.txt");
    DeleteFileW((kLinks + L"\\outside-b\\new.txt").c_str());
    EXPECT_FALSE(wroteThrough);
    EXPECT_EQ(run.Changes(), Rows{L"スキップ inlink (リンクのため中には入りません)"});
    EXPECT_TRUE(FileExists(kLinks + L"\\outside-b\\precious.txt"));
}

TEST(MirrorSafetyTest, ABackupFolderWhoseListingSaysNotFoundIsNotTakenAsEmpty) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeTree(temp.Path(), {L"m\\sub", L"b\\sub"},
             {{L"m\\sub\\newer.txt", "master"}, {L"b\\sub\\newer.txt", "backup, edited later"},
              {L"m\\sub\\older.txt", "master"}, {L"b\\sub\\older.txt", "backup"}});
    Age(m + L"\\sub\\newer.txt", 3600);
    Age(b + L"\\sub\\older.txt", 3600);
    StagedFaults faults;
    faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
        return point == FaultPoint::List && EqualsNoCase(path, b + L"\\sub\\") ? ERROR_PATH_NOT_FOUND : 0;
    };
    for (const bool test : {true, false}) {
        Batch run;
        run.settings = {Pair(m, b)};
        run.settings[0].Mirroring = false;
        run.settings[0].Overwrite = false;
        run.Run(test);
        EXPECT_EQ(Sorted(run.Changes()), Sorted({L"スキップ sub\\newer.txt", L"更新 sub\\older.txt"}));
        EXPECT_EQ(run.settings[0].Errors, 0);
    }
    EXPECT_EQ(ReadBytes(b + L"\\sub\\newer.txt"), "backup, edited later");
    EXPECT_EQ(ReadBytes(b + L"\\sub\\older.txt"), "master");
}

TEST(MirrorSafetyTest, NamesThatDifferOnlyInCaseAreAnErrorNotAFlip) {
    const std::wstring m = kLinks + L"\\cases";
    ASSERT_TRUE(FileExists(m + L"\\data\\y.txt")) << "fixture missing";
    TempDir temp;
    const std::wstring b = temp / L"b";
    Batch run;
    run.settings = {Pair(m, b)};
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        run.Run(false);
        EXPECT_EQ(DiskName(b + L"\\report.txt"), L"Report.txt");
        EXPECT_EQ(ReadBytes(b + L"\\Report.txt"), "upper");
        EXPECT_EQ(DiskName(b + L"\\data"), L"Data");
        EXPECT_TRUE(FileExists(b + L"\\Data\\x.txt"));
        EXPECT_FALSE(FileExists(b + L"\\Data\\y.txt"));
        EXPECT_EQ(run.settings[0].Errors, 2);
        EXPECT_TRUE(HasRow(run, L"エラー 大文字小文字だけが異なる名前: 「Report.txt」と「report.txt」"));
        EXPECT_TRUE(HasRow(run, L"エラー 大文字小文字だけが異なる名前: 「Data」と「data」"));
        EXPECT_EQ(CountRows(run, L"更新") + CountRows(run, L"リネーム") + CountRows(run, L"削除"), 0);
    }
}

TEST(MirrorSafetyTest, NetworkRetriesCoverListings) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeFolders(temp.Path(), {L"m\\sub", L"b"});
    WriteBytes(m + L"\\sub\\s.txt", "s");
    for (const int failures : {2, 99}) {
        SCOPED_TRACE(failures);
        StagedFaults faults;
        faults.fail = [&](FaultPoint point, const std::wstring& path, int seen) -> DWORD {
            return point == FaultPoint::List && EqualsNoCase(path, m + L"\\sub\\") && seen <= failures ? ERROR_BAD_NETPATH
                                                                                                      : 0;
        };
        Batch run;
        run.settings = {Pair(m, b)};
        run.settings[0].ErrorNetPathRetry = true;
        run.settings[0].NetPathRetryCount = 3;
        run.settings[0].Mirroring = false;
        run.Run(false);
        EXPECT_EQ((faults.calls[{FaultPoint::List, FoldCase(m + L"\\sub\\")}]), 3);
        EXPECT_NE(std::find(run.host.statuses.begin(), run.host.statuses.end(), L"リトライ中(2)…|" + m + L"\\sub\\"),
                  run.host.statuses.end());
        if (failures == 2) {
            EXPECT_EQ(ReadBytes(b + L"\\sub\\s.txt"), "s");
            EXPECT_EQ(run.settings[0].Errors, 0);
            EXPECT_EQ(run.batch.worstLevel, LevelNotice);
        } else {
            EXPECT_FALSE(FileExists(b + L"\\sub\\s.txt"));
            EXPECT_EQ(run.settings[0].Errors, 1);
            EXPECT_TRUE(HasRow(run, L"エラー フォルダの読み込みに失敗: " + m + L"\\sub\\"));
            EXPECT_TRUE(std::any_of(run.host.rows.begin(), run.host.rows.end(), [](const ReportRow& row) {
                return row.path.find(L"(リトライ 3 回)") != std::wstring::npos;
            }));
        }
        test::RemoveTree(b + L"\\sub");
    }
    // Without the option one failure is the error.
    StagedFaults faults;
    faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
        return point == FaultPoint::List && EqualsNoCase(path, m + L"\\sub\\") ? ERROR_BAD_NETPATH : 0;
    };
    Batch run;
    run.settings = {Pair(m, b)};
    run.settings[0].Mirroring = false;
    run.Run(false);
    EXPECT_EQ((faults.calls[{FaultPoint::List, FoldCase(m + L"\\sub\\")}]), 1);
    EXPECT_EQ(run.settings[0].Errors, 1);
}

TEST(MirrorSafetyTest, NetworkRetriesCoverChecksAndTheNoticeNamesWhatFailed) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeFolders(temp.Path(), {L"m", L"b"});
    WriteBytes(m + L"\\s.txt", "s");
    const std::wstring netText = WithoutFinalBreak(SystemErrorText(ERROR_BAD_NETPATH));
    for (const int failures : {2, 99}) {
        SCOPED_TRACE(failures);
        StagedFaults faults;
        faults.fail = [&](FaultPoint point, const std::wstring& path, int seen) -> DWORD {
            return point == FaultPoint::Check && EqualsNoCase(path, m) && seen <= failures ? ERROR_BAD_NETPATH : 0;
        };
        Batch run;
        run.options.OutputLog = true;
        run.options.LogFileName = temp / L"run.log";
        run.settings = {Pair(m, b)};
        run.settings[0].ErrorNetPathRetry = true;
        run.settings[0].NetPathRetryCount = 3;
        run.Run(false);
        EXPECT_EQ((faults.calls[{FaultPoint::Check, FoldCase(m)}]), 3);
        EXPECT_NE(std::find(run.host.statuses.begin(), run.host.statuses.end(), L"リトライ中(2)…|" + m),
                  run.host.statuses.end());
        const std::string log = ReadBytes(temp / L"run.log");
        if (failures == 2) {
            EXPECT_EQ(ReadBytes(b + L"\\s.txt"), "s");
            EXPECT_EQ(run.settings[0].Errors, 0);
            EXPECT_EQ(run.batch.worstLevel, LevelNotice);
            // The notice says what the retries overcame.
            EXPECT_NE(log.find(Utf8(L"(リトライ 2 回)：" + m + L"\r\n\r\n" + netText)), std::string::npos) << log;
        } else {
            EXPECT_FALSE(FileExists(b + L"\\s.txt"));
            EXPECT_NE(log.find(Utf8(L"(リトライ 3 回)：" + m + L"\r\n\r\n" + netText)), std::string::npos) << log;
        }
        test::RemoveTree(b);
        MakeFolders(temp.Path(), {L"b"});
        DeleteFileW((temp / L"run.log").c_str());
    }
}

TEST(MirrorSafetyTest, AnEntryThatTakesThePlaceOfTheOtherKindIsInTheBackupAfterOneRun) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeTree(temp.Path(), {L"m\\dir", L"b\\lzma\\deep"},
             {{L"m\\lzma", "now a file"}, {L"m\\dir\\inner.txt", "i"}, {L"b\\lzma\\deep\\x.h", "x"},
              {L"b\\dir", "was a file"}});
    Batch run;
    run.settings = {Pair(m, b)};
    EXPECT_EQ(run.Run(true), 1);
    const Rows dry = run.Changes();
    EXPECT_EQ(Sorted(dry), Sorted({L"削除 lzma\\deep\\x.h", L"フォルダ削除 lzma\\deep", L"フォルダ削除 lzma",
                                   L"作成 lzma (フォルダと置き換え)", L"削除 dir", L"フォルダ作成 dir (ファイルと置き換え)",
                                   L"作成 dir\\inner.txt"}));
    EXPECT_EQ(run.settings[0].Errors, 0);
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.Changes(), dry);
    EXPECT_EQ(run.settings[0].Errors, 0);
    EXPECT_EQ(ReadBytes(b + L"\\lzma"), "now a file");
    EXPECT_EQ(ReadBytes(b + L"\\dir\\inner.txt"), "i");
    run.Run(false);
    EXPECT_EQ(run.Changes(), Rows{});

    // A folder the deletion pass must keep (it holds a file the filter
    // leaves alone) stays, and the conflict is the error it always was.
    test::RemoveTree(b + L"\\lzma");
    DeleteFileW((b + L"\\lzma").c_str());
    MakeFolders(temp.Path(), {L"b\\lzma"});
    WriteBytes(b + L"\\lzma\\keep.dat", "k");
    run.settings[0].TargetFile = L"*.dat";
    run.Run(false);
    EXPECT_EQ(ReadBytes(b + L"\\lzma\\keep.dat"), "k");
    EXPECT_TRUE(HasRow(run, L"エラー ファイル存在チェックに失敗: ファイルと同名のフォルダが存在します。"));
    EXPECT_GE(run.settings[0].Errors, 1);
}

// A master folder that takes a backup file's place is entered only after the
// deletion pass, so it is listed then and only then: a listing that fails
// there is the run's error, and nothing below it is copied.
TEST(MirrorSafetyTest, AFolderThatReplacesAFileIsListedOnceWhenItIsWalked) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeTree(temp.Path(), {L"m\\dir", L"b"}, {{L"m\\dir\\inner.txt", "i"}, {L"b\\dir", "was a file"}});
    Batch run;
    run.settings = {Pair(m, b)};
    StagedFaults faults;
    const std::wstring folder = m + L"\\dir\\";
    faults.fail = [&](FaultPoint point, const std::wstring& path, int seen) -> DWORD {
        return point == FaultPoint::List && EqualsNoCase(path, folder) && seen == 1 ? ERROR_ACCESS_DENIED : 0;
    };
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ((faults.calls[{FaultPoint::List, FoldCase(folder)}]), 1);
    EXPECT_EQ(run.settings[0].Errors, 1);
    EXPECT_EQ(CountRows(run, L"エラー"), 1);
    EXPECT_FALSE(FileExists(b + L"\\dir\\inner.txt"));
}

TEST(MirrorSafetyTest, FailingDeletionsAndChecksInsideTheWalk) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeTree(temp.Path(), {L"m", L"b\\gone"}, {{L"m\\f.txt", "new"}, {L"b\\f.txt", "old"}});
    Age(b + L"\\f.txt", 3600);
    WriteBytes(b + L"\\gone\\a.txt", "a");
    WriteBytes(b + L"\\gone\\b.txt", "b");
    StagedFaults faults;
    // The copy pass cannot list the backup, so it asks per file, and that
    // question fails; inside the folder being removed one deletion fails.
    faults.fail = [&](FaultPoint point, const std::wstring& path, int seen) -> DWORD {
        if (point == FaultPoint::List && EqualsNoCase(path, b + L"\\") && seen == 1) return ERROR_ACCESS_DENIED;
        if (point == FaultPoint::Check && EqualsNoCase(path, b + L"\\f.txt")) return ERROR_ACCESS_DENIED;
        if (point == FaultPoint::Delete && EqualsNoCase(path, b + L"\\gone\\a.txt")) return ERROR_ACCESS_DENIED;
        return 0;
    };
    Batch run;
    run.settings = {Pair(m, b)};
    run.Run(false);
    EXPECT_EQ(ReadBytes(b + L"\\f.txt"), "old");
    EXPECT_EQ(ReadBytes(b + L"\\gone\\a.txt"), "a");
    EXPECT_FALSE(FileExists(b + L"\\gone\\b.txt"));
    EXPECT_TRUE(HasRow(run, L"エラー ファイル存在チェックに失敗: "));
    EXPECT_TRUE(HasRow(run, L"エラー ファイルの削除に失敗: "));
    EXPECT_TRUE(HasRow(run, L"エラー フォルダの削除に失敗: "));
    EXPECT_EQ(run.settings[0].Errors, 3);
    EXPECT_EQ(run.settings[0].status.deleted, 1);
}

}  // namespace
}  // namespace tandrel
