// What a run tells its user and what it leaves on disk when a copy is not
// what it should be: files that change while they are copied, a partial
// copy that does not read back as the master, 中止 during a large copy, the
// summary of each setting and the end of the batch.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "StagedFaults.h"
#include "platform/Figures.h"
#include "platform/Strings.h"
#include "resource.h"

namespace tandrel::test {
namespace {

// A megabyte: files of several have pieces for a copy to report.
constexpr size_t kPiece = 1 << 20;

std::string Pattern(size_t size, char seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + static_cast<char>(i % 251));
    return bytes;
}

FILETIME WriteTimeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

void SetWriteTime(const std::wstring& path, const FILETIME& time) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

// Writes bytes at an offset of a file that another handle may hold open,
// as a program rewriting its store would.
void WriteAt(const std::wstring& path, std::uint64_t offset, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// A master file and an older backup of it.
struct OldBackup {
    TempDir temp;
    std::wstring m = temp / L"m", b = temp / L"b";
    std::wstring master = m + L"\\store.dat", backup = b + L"\\store.dat";
    OldBackup(const std::string& now, const std::string& before) {
        MakeFolders(temp.Path(), {L"m", L"b"});
        WriteBytes(master, now);
        WriteBytes(backup, before);
        Age(backup, 3600);
    }
    // An update of the one file, errors left to the rows.
    void Update(Batch& run, bool verify) const {
        run.settings = {Pair(m, b)};
        run.settings[0].Verify = verify;
        run.settings[0].ErrorLeave = true;
        run.Run(false);
    }
};

std::vector<std::wstring> ErrorRows(const Batch& run) {
    std::vector<std::wstring> rows;
    for (const ReportRow& row : run.host.rows) {
        if (row.action == RowAction::Error) rows.push_back(row.path);
    }
    return rows;
}

TEST(CopyIntegrityTest, VerifyReadsThePartialCopyBackAndKeepsTheOldFileOnAMismatch) {
    const std::string data = Pattern(3 * kPiece + 17, 'a');
    OldBackup files(data, "the old backup");
    StagedFaults faults;
    // The disk returns other bytes than were written: one flipped byte in
    // the second piece of the partial copy.
    faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
        if (point == FaultPoint::Written) WriteAt(path, kPiece + 5, "#");
        return 0;
    };
    Batch run;
    files.Update(run, true);
    EXPECT_EQ(ErrorRows(run), (std::vector<std::wstring>{L"ベリファイエラー: " + files.master}));
    EXPECT_EQ(run.settings[0].Errors, 1);
    EXPECT_EQ(run.settings[0].status.updated, 0);
    EXPECT_EQ(ReadBytes(files.backup), "the old backup");
    EXPECT_TRUE(Partials(files.b).empty());

    // Without Verify nothing reads the copy back: the staged fault is real.
    run.settings[0].Verify = false;
    run.Run(false);
    EXPECT_TRUE(ErrorRows(run).empty());
    const std::string placed = ReadBytes(files.backup);
    ASSERT_EQ(placed.size(), data.size());
    EXPECT_EQ(placed[kPiece + 5], '#');

    // A copy that reads back as written is put in place.
    faults.fail = nullptr;
    Age(files.backup, 3600);
    run.settings[0].Verify = true;
    run.Run(false);
    EXPECT_TRUE(ErrorRows(run).empty());
    EXPECT_EQ(run.settings[0].status.updated, 1);
    EXPECT_EQ(ReadBytes(files.backup), data);
}

TEST(CopyIntegrityTest, AMasterThatKeepsChangingIsAnErrorAndTheOldBackupStays) {
    for (const bool firstCopy : {false, true}) {
        SCOPED_TRACE(firstCopy ? "first copy" : "update");
        OldBackup files(Pattern(kPiece + 1, 'x'), "old");
        if (firstCopy) DeleteFileW(files.backup.c_str());
        StagedFaults faults;
        // A writer appends at every piece the copy reads.
        faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
            if (point == FaultPoint::Progress && EqualsNoCase(path, files.master)) {
                WriteAt(files.master, ReadBytes(files.master).size(), "+");
            }
            return 0;
        };
        Batch run;
        files.Update(run, false);
        EXPECT_EQ(ErrorRows(run), (std::vector<std::wstring>{L"コピー中に変更されました: " + files.master}));
        EXPECT_EQ(run.settings[0].Errors, 1);
        // Two copies were made, and neither took the old file's place.
        int copies = 0;
        for (const auto& [key, count] : faults.calls) copies += key.first == FaultPoint::Written ? count : 0;
        EXPECT_EQ(copies, 2);
        if (firstCopy) {
            EXPECT_FALSE(FileExists(files.backup));
        } else {
            EXPECT_EQ(ReadBytes(files.backup), "old");
        }
        EXPECT_TRUE(Partials(files.b).empty());
    }
}

TEST(CopyIntegrityTest, ARewriteThatKeepsSizeAndTimeIsCaughtOnlyByVerify) {
    const std::string before = Pattern(3 * kPiece, 'a'), after = Pattern(3 * kPiece, 'q');
    for (const bool verify : {false, true}) {
        SCOPED_TRACE(verify ? "with Verify" : "without Verify");
        OldBackup files(before, "old");
        StagedFaults faults;
        // The whole store is rewritten during the copy, and its time is set
        // back: size and time say nothing.
        faults.fail = [&](FaultPoint point, const std::wstring& path, int seen) -> DWORD {
            if (point == FaultPoint::Progress && seen == 1 && EqualsNoCase(path, files.master)) {
                const FILETIME time = WriteTimeOf(files.master);
                WriteAt(files.master, 0, after);
                SetWriteTime(files.master, time);
            }
            return 0;
        };
        Batch run;
        files.Update(run, verify);
        if (verify) {
            EXPECT_EQ(ErrorRows(run), (std::vector<std::wstring>{L"ベリファイエラー: " + files.master}));
            EXPECT_EQ(ReadBytes(files.backup), "old");
        } else {
            // What size and time cannot see: the backup does not hold what
            // the master holds, and nothing said so. This is why Verify exists.
            EXPECT_TRUE(ErrorRows(run).empty());
            EXPECT_NE(ReadBytes(files.backup), after);
        }
        EXPECT_TRUE(Partials(files.b).empty());
    }
}

TEST(CopyIntegrityTest, CancelDuringALargeCopyStopsItAndLeavesTheOldFile) {
    constexpr size_t pieces = 24;
    OldBackup files(Pattern(pieces * kPiece, 'c'), "old");
    Batch run;
    StagedFaults faults;
    std::atomic<int> piecesSeen{0};
    // 中止 comes with the first piece the copy reports, as the window's
    // command sets it. (Where the system reports the pieces of a copy that
    // is inside the file; Wine's copy reports none, and the copy's end is
    // its only report.)
    faults.fail = [&](FaultPoint point, const std::wstring&, int) -> DWORD {
        if (point == FaultPoint::Progress && ++piecesSeen == 1) run.batch.cancelRequested = true;
        return 0;
    };
    run.settings = {Pair(files.m, files.b)};
    EXPECT_EQ(run.Run(false), 0);
    EXPECT_EQ(piecesSeen, 1);
    EXPECT_EQ(ReadBytes(files.backup), "old");
    EXPECT_TRUE(Partials(files.b).empty());
    EXPECT_TRUE(HasRow(run, L"中止"));
    EXPECT_TRUE(ErrorRows(run).empty());
    EXPECT_EQ(run.batch.end, BatchEnd::Aborted);
}

// The summary row's text for these counts.
std::wstring Summary(int examined, int created, int updated, int deleted, int errors, std::uint64_t bytes) {
    const auto n = [](int v) { return std::to_wstring(v); };
    return L"確認 " + n(examined) + L"　作成 " + n(created) + L"　更新 " + n(updated) + L"　移動 0　削除 " + n(deleted) +
           L"　エラー " + n(errors) + L"　コピー " + ByteSizeText(bytes) + L"　時間 ";
}

TEST(RunSummaryTest, EachSettingEndsWithARowAndALogLineOfItsActualCounts) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeTree(temp.Path(), {L"m", L"b"},
             {{L"m\\new1.txt", "12345"}, {L"m\\new2.txt", "123"}, {L"m\\changed.txt", "1234567"}, {L"m\\same.txt", "s"},
              {L"m\\fails.txt", "ff"}, {L"b\\changed.txt", "old"}});
    Age(b + L"\\changed.txt", 3600);
    WriteBytes(b + L"\\gone.txt", "g");
    StagedFaults faults;
    faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
        return point == FaultPoint::Copy && EqualsNoCase(path, b + L"\\fails.txt") ? ERROR_DISK_FULL : 0;
    };
    Batch run;
    run.options.OutputLog = true;
    run.options.LogFileName = temp / L"run.log";
    run.settings = {Pair(m, b)};
    run.settings[0].ErrorLeave = true;
    run.Run(false);
    std::vector<std::wstring> summaries;
    for (const ReportRow& row : run.host.rows) {
        if (row.action == RowAction::Summary) summaries.push_back(row.path);
    }
    ASSERT_EQ(summaries.size(), 1u);
    const FolderSetting& s = run.settings[0];
    EXPECT_EQ(s.status.created, 3);
    EXPECT_EQ(s.status.updated, 1);
    EXPECT_EQ(s.status.deleted, 1);
    EXPECT_EQ(s.Errors, 1);
    const std::wstring expected = Summary(5, 3, 1, 1, 1, 5 + 3 + 7 + 1);
    EXPECT_EQ(summaries[0].substr(0, expected.size()), expected);
    EXPECT_NE(summaries[0].find(L':', expected.size()), std::wstring::npos);
    // The row comes before the setting's end row.
    const Rows rows = run.host.RowTexts();
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[rows.size() - 2].rfind(L"集計 ", 0), 0u);
    EXPECT_EQ(rows.back().rfind(L"終了 ", 0), 0u);
    const std::string log = ReadBytes(temp / L"run.log");
    EXPECT_NE(log.find(Utf8(L"集計　　　　　：" + summaries[0] + L"\r\n")), std::string::npos) << log;
    // The entries before it are as they always were.
    EXPECT_NE(log.find(Utf8(L"更新 \"changed.txt\"\r\n")), std::string::npos);

    // A test run counts what it would copy; the next update run finds little.
    faults.fail = nullptr;
    run.Run(true);
    EXPECT_TRUE(HasRow(run, L"集計 " + Summary(5, 1, 0, 0, 0, 2)));
    run.Run(false);
    EXPECT_TRUE(HasRow(run, L"集計 " + Summary(5, 1, 0, 0, 0, 2)));
    EXPECT_EQ(run.settings[0].LastFiles, 5);
}

TEST(RunProgressTest, TheWindowReadsTheCountsWhileTheRunGoesOnAndTheTimeLeftFromTheLastRun) {
    TempDir temp;
    const std::wstring m1 = temp / L"m1", m2 = temp / L"m2";
    MakeFolders(temp.Path(), {L"m1", L"m2"});
    for (int i = 0; i < 4; ++i) WriteBytes(m1 + L"\\f" + std::to_wstring(i), std::string(100, 'x'));
    WriteBytes(m2 + L"\\g", "g");
    Batch run;
    run.settings = {Pair(m1, temp / L"b1", L"一"), Pair(m2, temp / L"b2", L"二")};
    std::vector<ProgressFigures> seen;
    run.host.onRow = [&](const ReportRow& row) {
        if (row.action == RowAction::Create) seen.push_back(run.batch.progress.Read());
    };
    run.Run(false);
    ASSERT_EQ(seen.size(), 5u);
    // Each row comes before its copy: the counts it sees are the files before.
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(seen[i].settingNumber, 1);
        EXPECT_EQ(seen[i].settingCount, 2);
        EXPECT_EQ(seen[i].setting.created, i);
        EXPECT_EQ(seen[i].batch.bytes, 100u * static_cast<unsigned>(i));
        EXPECT_FALSE(seen[i].secondsLeft) << "no run before this one";
    }
    EXPECT_EQ(seen[4].settingNumber, 2);
    EXPECT_EQ(seen[4].setting.created, 0);
    EXPECT_EQ(seen[4].batch.created, 4);
    const ProgressFigures end = run.batch.progress.Read();
    EXPECT_EQ(end.batch.created, 5);
    EXPECT_EQ(end.batch.bytes, 401u);
    EXPECT_EQ(run.settings[0].LastFiles, 4);
    EXPECT_EQ(run.settings[1].LastFiles, 1);

    // The next run knows both settings from this one.
    WriteBytes(m1 + L"\\f9", "new");
    seen.clear();
    run.Run(false);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].secondsLeft);

    // The estimate itself: the part of the files done so far, and the settings after.
    EXPECT_EQ(SecondsLeft(50, 100, 30, 10000, 7), 10 + 7);
    EXPECT_EQ(SecondsLeft(0, 100, 30, 0, 0), 30);
    EXPECT_EQ(SecondsLeft(10, 0, 0, 10000, 0), std::nullopt);
    EXPECT_EQ(SecondsLeft(10, 100, 30, 10000, -1), std::nullopt);
}

TEST(RunProgressTest, NothingIsLeftOnceTheRunHasEndedAndTestRunsGoByTheirOwnTimes) {
    TempDir temp;
    const std::wstring m = temp / L"m";
    MakeFolders(temp.Path(), {L"m"});
    for (int i = 0; i < 3; ++i) WriteBytes(m + L"\\f" + std::to_wstring(i), "x");
    Batch run;
    run.settings = {Pair(m, temp / L"b1")};
    run.settings[0].LastFiles = 1000000;
    run.settings[0].LastSeconds = 3600;
    std::vector<std::optional<std::int64_t>> left;
    run.host.onRow = [&](const ReportRow& row) {
        if (row.action == RowAction::Create) left.push_back(run.batch.progress.Read().secondsLeft);
    };
    run.Run(false);
    ASSERT_EQ(left.size(), 3u);
    EXPECT_TRUE(left[0]);
    // Over: no time is left, whatever the last run's totals foretold.
    EXPECT_FALSE(run.batch.progress.Read().secondsLeft);
    EXPECT_EQ(run.settings[0].LastFiles, 3);

    // A test run has no times of its own yet: none from the update run's.
    run.settings[0].LastFiles = 1000000;
    run.settings[0].Backup = temp / L"b2";
    left.clear();
    run.Run(true);
    ASSERT_EQ(left.size(), 3u);
    EXPECT_FALSE(left[0]);
    EXPECT_EQ(run.settings[0].LastTestFiles, 3);
    EXPECT_EQ(run.settings[0].LastFiles, 1000000);
    // The next test run goes by the last one.
    left.clear();
    run.Run(true);
    ASSERT_EQ(left.size(), 3u);
    EXPECT_TRUE(left[0]);
    EXPECT_FALSE(run.batch.progress.Read().secondsLeft);
}

TEST(BatchEndTest, TheLastStatusAndTheEndBoxSayHowTheBatchWent) {
    TempDir temp;
    const std::wstring m = temp / L"m";
    MakeFolders(temp.Path(), {L"m"});
    WriteBytes(m + L"\\a.txt", "a");
    WriteBytes(m + L"\\b.txt", "b");
    struct Case {
        const char* name;
        bool fail, abort;
        BatchEnd end;
        const wchar_t* status;
        const wchar_t* box;
        const wchar_t* caption;
        UINT icon;
        int exitCode;
    };
    const Case cases[] = {
        {"clean", false, false, BatchEnd::Clean, L"終了しました", L"バックアップが完了しました。", L"バックアップ完了",
         MB_ICONINFORMATION, 0},
        {"errors ignored", true, false, BatchEnd::Errors, L"終了しました (エラーあり)",
         L"バックアップは終わりましたが、エラーがありました。\r\n\r\nエラーのあった設定: 1\r\nエラー: 2 件",
         L"バックアップ完了", MB_ICONWARNING, 2},
        {"aborted", true, true, BatchEnd::Aborted, L"中止しました", L"バックアップは途中で中止されました。", L"中止",
         MB_ICONWARNING, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring b = temp / (L"b-" + std::wstring(c.name, c.name + std::strlen(c.name)));
        StagedFaults faults;
        faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
            return c.fail && point == FaultPoint::Copy && path.rfind(b + L"\\", 0) == 0 ? ERROR_ACCESS_DENIED : 0;
        };
        Batch run;
        run.options.runMode = RunModeMessage;
        run.batch.startedAutomatically = true;
        run.settings = {Pair(m, b), Pair(m, b + L"-2", L"二")};
        // Errors are ignored (one box per error) or the first is answered with Abort.
        if (c.abort) run.host.answers = {IDABORT};
        run.settings[0].ErrorLeave = !c.abort;
        run.Run(false);
        EXPECT_EQ(run.batch.end, c.end);
        ASSERT_FALSE(run.host.statuses.empty());
        EXPECT_EQ(run.host.statuses.back(), std::wstring(c.status) + L"|");
        ASSERT_FALSE(run.host.boxes.empty());
        const RecordingHost::Box& box = run.host.boxes.back();
        EXPECT_EQ(box.text, c.box);
        EXPECT_EQ(box.caption, c.caption);
        EXPECT_EQ(box.style & MB_ICONMASK, c.icon);
        EXPECT_EQ(run.options.exitCode, c.exitCode);
    }
}

}  // namespace
}  // namespace tandrel::test
