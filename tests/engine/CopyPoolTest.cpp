// Copies on several threads at once: what a fault, a full disk, 中止 or a
// folder's time leave behind is what one copy at a time leaves.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <string>

#include "StagedFaults.h"
#include "platform/Strings.h"

namespace tandrel {
namespace {

using test::Batch;
using test::CountRows;
using test::Pair;
using test::Partials;
using test::ReadBytes;
using test::Rows;
using test::StagedFaults;
using test::TempDir;
using test::TreeContents;
using test::Utf8;
using test::WriteBytes;

using Tree = std::map<std::wstring, std::string>;

// A master of small files: 40 in one folder, 12 in a folder below it, 5 at
// the root, each with its own content.
std::wstring MakeMaster(const TempDir& temp) {
    const std::wstring m = temp / L"m";
    test::MakeFolders(temp.Path(), {L"m", L"m\\many", L"m\\many\\below"});
    for (int i = 0; i < 40; ++i) WriteBytes(m + L"\\many\\f" + std::to_wstring(100 + i) + L".txt", "many " + std::to_string(i));
    for (int i = 0; i < 12; ++i) WriteBytes(m + L"\\many\\below\\g" + std::to_wstring(i) + L".txt", std::string(3000 + i, 'g'));
    for (int i = 0; i < 5; ++i) WriteBytes(m + L"\\r" + std::to_wstring(i) + L".txt", "root " + std::to_string(i));
    return m;
}

// What one run left: its rows, boxes, counts, exit code and the backup.
struct Left {
    Rows rows, boxes;
    int result = -1, errors = 0, created = 0, exitCode = 0;
    Tree backup;
    size_t copyThreads = 0;
};

Left RunWith(int workers, const std::wstring& m, const std::wstring& b,
             const std::function<DWORD(FaultPoint, const std::wstring&)>& fault, std::deque<int> answers = {}) {
    StagedFaults faults;
    faults.fail = [&](FaultPoint point, const std::wstring& path, int) { return fault(point, path); };
    Batch run;
    run.options.ParallelCopies = workers;
    run.batch.startedAutomatically = true;
    run.settings = {Pair(m, b)};
    run.settings[0].Verify = true;
    run.host.answers = std::move(answers);
    Left left;
    left.result = run.Run(false);
    left.rows = run.Changes();
    for (const auto& box : run.host.boxes) left.boxes.push_back(box.caption + L": " + box.text);
    left.errors = run.settings[0].Errors;
    left.created = run.settings[0].status.created;
    left.exitCode = run.options.exitCode;
    left.backup = TreeContents(b);
    left.copyThreads = faults.copyThreads.size();
    EXPECT_TRUE(Partials(b).empty());
    return left;
}

TEST(CopyPoolTest, AFailingCopyAFullDiskAndARetryLeaveWhatOneCopyAtATimeLeaves) {
    TempDir temp;
    const std::wstring m = MakeMaster(temp);
    const auto named = [](const std::wstring& path, const wchar_t* name) {
        return EqualsNoCase(path.substr(path.find_last_of(L'\\') + 1), name);
    };
    struct Case {
        const char* name;
        std::function<DWORD(FaultPoint, const std::wstring&)> fault;
        std::deque<int> answers;
    };
    const std::vector<Case> cases = {
        {"one copy fails whenever it is tried",
         [&](FaultPoint point, const std::wstring& path) -> DWORD {
             return point == FaultPoint::Copy && named(path, L"f117.txt") ? ERROR_ACCESS_DENIED : 0;
         },
         {}},
        // The disk is full for every file from f120 on, also below.
        {"the disk fills half-way",
         [&](FaultPoint point, const std::wstring& path) -> DWORD {
             const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
             const bool late = (name.rfind(L"f", 0) == 0 && name >= L"f120") || name.rfind(L"g", 0) == 0;
             return point == FaultPoint::Copy && late ? ERROR_DISK_FULL : 0;
         },
         {}},
        // The first question is answered with Retry, which fails again.
        {"a retry fails again",
         [&](FaultPoint point, const std::wstring& path) -> DWORD {
             return point == FaultPoint::Replace && (named(path, L"f105.txt") || named(path, L"g3.txt"))
                        ? ERROR_SHARING_VIOLATION
                        : 0;
         },
         {IDRETRY}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Into the same backup folder, made anew: the rows and boxes name it.
        const std::wstring b = temp / L"b";
        const Left one = RunWith(1, m, b, c.fault, c.answers);
        test::RemoveTree(b);
        const Left many = RunWith(4, m, b, c.fault, c.answers);
        test::RemoveTree(b);
        EXPECT_EQ(one.copyThreads, 1u);
        EXPECT_GE(many.copyThreads, 2u);
        EXPECT_GT(one.errors, 0);
        EXPECT_EQ(many.rows, one.rows);
        EXPECT_EQ(many.boxes, one.boxes);
        EXPECT_EQ(many.errors, one.errors);
        EXPECT_EQ(many.created, one.created);
        EXPECT_EQ(many.result, one.result);
        EXPECT_EQ(many.exitCode, one.exitCode);
        EXPECT_EQ(many.exitCode, ExitErrors);
        EXPECT_EQ(many.backup, one.backup);
    }
}

TEST(CopyPoolTest, CancelDuringAParallelBatchLeavesWholeCountedFilesOnly) {
    TempDir temp;
    const std::wstring m = MakeMaster(temp), b = temp / L"b";
    Batch run;
    run.options.ParallelCopies = 4;
    run.settings = {Pair(m, b)};
    StagedFaults faults;
    // 中止 while the sixth file of the wide folder is being copied.
    int copies = 0;
    faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
        if (point == FaultPoint::Copy && path.find(L"\\many\\f") != std::wstring::npos && ++copies == 6) {
            run.batch.cancelRequested = true;
        }
        return 0;
    };
    EXPECT_EQ(run.Run(false), 0);
    EXPECT_EQ(run.batch.end, BatchEnd::Aborted);
    EXPECT_TRUE(Partials(b).empty());
    const Tree master = TreeContents(m), backup = TreeContents(b);
    int files = 0;
    for (const auto& [rel, content] : backup) {
        ASSERT_TRUE(master.count(rel)) << Utf8(rel);
        EXPECT_EQ(content, master.at(rel)) << Utf8(rel);
        files += content != "\\";
    }
    // Every file in the backup is counted and has its row; the walk went
    // no further into the folders.
    EXPECT_EQ(run.settings[0].status.created, files);
    EXPECT_EQ(CountRows(run, L"作成"), files);
    EXPECT_LT(files, 57);
    EXPECT_FALSE(backup.count(L"many\\below\\g0.txt"));
    EXPECT_EQ(run.settings[0].Errors, 0);
}

FILETIME WrittenAt(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

TEST(CopyPoolTest, AFolderGetsTheMastersTimesAfterEveryCopyIntoItIsDone) {
    TempDir temp;
    const std::wstring m = MakeMaster(temp), b = temp / L"b";
    // Folder times well in the past: a copy into the backup folder after
    // its times were set would make them now.
    for (const wchar_t* folder : {L"\\many\\below", L"\\many"}) test::Age(m + folder, 7 * 86400);
    Batch run;
    run.options.ParallelCopies = 8;
    run.settings = {Pair(m, b)};
    run.settings[0].CopyFolderTime = true;
    StagedFaults faults;
    ASSERT_EQ(run.Run(false), 1);
    EXPECT_GE(faults.copyThreads.size(), 2u);
    EXPECT_EQ(run.settings[0].status.created, 57);
    for (const wchar_t* folder : {L"\\many\\below", L"\\many"}) {
        const FILETIME master = WrittenAt(m + folder), backup = WrittenAt(b + folder);
        EXPECT_EQ(CompareFileTime(&master, &backup), 0) << Utf8(folder);
    }
    EXPECT_EQ(TreeContents(b), TreeContents(m));
}

}  // namespace
}  // namespace tandrel
