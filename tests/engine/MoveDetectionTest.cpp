// Files moved or renamed on the master are moved in the backup, not copied
// again: which pairs match, what the runs say and count, and that every
// case the move cannot stand for is copied as before.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/MovePlan.h"
#include "StagedFaults.h"
#include "platform/Strings.h"

namespace tandrel {
namespace {

using test::Batch;
using test::FileExists;
using test::Pair;
using test::ReadBytes;
using test::Rows;
using test::Sorted;
using test::StagedFaults;
using test::TempDir;
using test::WriteBytes;

constexpr std::int64_t kBase = 1700000000;  // seconds since 1970

MoveSide Side(const std::wstring& relative, std::int64_t seconds, std::uint64_t size = 10) {
    MoveSide side;
    side.relative = relative;
    side.entry.name = relative.substr(relative.find_last_of(L'\\') + 1);
    const auto ticks = static_cast<std::uint64_t>(seconds + 11644473600LL) * 10000000ULL;
    side.entry.write = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    side.entry.size = size;
    return side;
}

using Pairs = std::vector<std::pair<size_t, size_t>>;

TEST(MoveDetectionTest, OnlyAUniqueFileOfTheSameNameSizeAndTimeIsAMove) {
    FolderSetting fat;
    fat.NtfsToFat = true;
    fat.LeaveTime = 2;
    FolderSetting exact = fat;
    exact.NtfsToFat = false;
    FolderSetting always = fat;
    always.OverwriteAlways = true;
    const std::vector<MoveSide> doomed = {Side(L"old\\a.jpg", kBase), Side(L"old\\b.jpg", kBase, 20),
                                          Side(L"x\\twin.txt", kBase), Side(L"y\\twin.txt", kBase),
                                          Side(L"Big.DAT", kBase + 1, 30)};
    const struct Case {
        const char* what;
        std::vector<MoveSide> created;
        const FolderSetting& setting;
        Pairs expected;
    } cases[] = {
        {"renamed folder", {Side(L"new\\a.jpg", kBase), Side(L"new\\b.jpg", kBase, 20)}, exact, {{0, 0}, {1, 1}}},
        {"another size", {Side(L"new\\a.jpg", kBase, 11)}, exact, {}},
        {"another time", {Side(L"new\\a.jpg", kBase - 1)}, exact, {}},
        {"within the FAT tolerance", {Side(L"new\\a.jpg", kBase - 2)}, fat, {{0, 0}}},
        {"beyond it", {Side(L"new\\a.jpg", kBase + 3)}, fat, {}},
        {"letter case of the name", {Side(L"sub\\big.dat", kBase, 30)}, fat, {{0, 4}}},
        {"two candidates in the backup", {Side(L"z\\twin.txt", kBase)}, fat, {}},
        {"two new files for one candidate", {Side(L"p\\a.jpg", kBase), Side(L"q\\a.jpg", kBase)}, fat, {}},
        {"another name", {Side(L"new\\c.jpg", kBase)}, fat, {}},
        {"always copied anew", {Side(L"new\\a.jpg", kBase)}, always, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchMoves(c.created, doomed, c.setting), c.expected) << c.what;
    }
}

// A master with a renamed folder and a file moved between folders, and a
// backup made from it before: each backup file holds content of its own
// with the master's size, so what the backup holds afterwards tells a move
// from a copy.
struct MovedTree {
    TempDir temp;
    std::wstring m = temp / L"m", b = temp / L"b";
    MovedTree() {
        test::MakeFolders(temp.Path(), {L"m\\new", L"m\\dst", L"m\\src", L"b\\old\\deep", L"b\\dst", L"b\\src"});
        Put(L"new\\photo.jpg", L"old\\deep\\photo.jpg", "MASTER-1");
        Put(L"dst\\song.mp3", L"src\\song.mp3", "MASTER-2");
    }
    void Put(const std::wstring& masterRel, const std::wstring& backupRel, const std::string& content) {
        WriteBytes(m + L"\\" + masterRel, content);
        WriteBytes(b + L"\\" + backupRel, std::string(content.size(), 'b'));
        test::Age(m + L"\\" + masterRel, 500);
        test::Age(b + L"\\" + backupRel, 500);
    }
};

TEST(MoveDetectionTest, MovedFilesAreMovedInTheBackupSaidOnceAndCountedApart) {
    MovedTree tree;
    Batch run;
    run.options.OutputLog = true;
    run.options.LogFileName = tree.temp / L"run.log";
    run.settings = {Pair(tree.m, tree.b)};
    FolderSetting& s = run.settings[0];
    s.Mirroring = true;
    ASSERT_EQ(run.Run(true), 1);
    const Rows dry = run.Changes();
    const Rows expected = {L"移動 dst\\song.mp3 ← src\\song.mp3", L"移動 new\\photo.jpg ← old\\deep\\photo.jpg",
                           L"フォルダ削除 old\\deep", L"フォルダ削除 old", L"フォルダ作成 new"};
    EXPECT_EQ(Sorted(dry), Sorted(expected));
    EXPECT_TRUE(FileExists(tree.b + L"\\old\\deep\\photo.jpg"));

    ASSERT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.Changes(), dry);
    EXPECT_EQ(ReadBytes(tree.b + L"\\new\\photo.jpg"), "bbbbbbbb");
    EXPECT_EQ(ReadBytes(tree.b + L"\\dst\\song.mp3"), "bbbbbbbb");
    EXPECT_FALSE(FileExists(tree.b + L"\\old"));
    EXPECT_FALSE(FileExists(tree.b + L"\\src\\song.mp3"));
    EXPECT_EQ(s.status.moved, 2);
    EXPECT_EQ(s.status.created, 0);
    EXPECT_EQ(s.status.deleted, 0);
    EXPECT_EQ(s.Errors, 0);
    const Rows rows = run.host.RowTexts();
    const auto summary = std::find_if(rows.begin(), rows.end(), [](const std::wstring& row) { return row.rfind(L"集計", 0) == 0; });
    ASSERT_NE(summary, rows.end());
    EXPECT_NE(summary->find(L"作成 0　更新 0　移動 2　削除 0"), std::wstring::npos) << test::Utf8(*summary);
    EXPECT_NE(summary->find(L"コピー 0 バイト"), std::wstring::npos) << test::Utf8(*summary);
    const std::string log = ReadBytes(tree.temp / L"run.log");
    EXPECT_NE(log.find(test::Utf8(L"移動 \"new\\photo.jpg ← old\\deep\\photo.jpg\"")), std::string::npos) << log;

    // Nothing is left to do.
    ASSERT_EQ(run.Run(true), 1);
    EXPECT_TRUE(run.Changes().empty());
}

TEST(MoveDetectionTest, WhereAMoveCannotStandForTheCopyTheFileIsCopiedAsBefore) {
    // Without mirroring the old file stays, so the new one is a copy.
    {
        MovedTree tree;
        Batch run;
        run.settings = {Pair(tree.m, tree.b)};
        run.settings[0].Mirroring = false;
        ASSERT_EQ(run.Run(false), 1);
        EXPECT_EQ(Sorted(run.Changes()), Sorted({L"フォルダ作成 new", L"作成 dst\\song.mp3", L"作成 new\\photo.jpg"}));
        EXPECT_EQ(ReadBytes(tree.b + L"\\new\\photo.jpg"), "MASTER-1");
        EXPECT_TRUE(FileExists(tree.b + L"\\old\\deep\\photo.jpg"));
        EXPECT_EQ(run.settings[0].status.moved, 0);
    }
    // A rename that fails: copied and deleted, and no error for the attempt.
    {
        MovedTree tree;
        Batch run;
        run.settings = {Pair(tree.m, tree.b)};
        run.settings[0].Mirroring = true;
        StagedFaults faults;
        faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
            return point == FaultPoint::Rename && EqualsNoCase(path, tree.b + L"\\old\\deep\\photo.jpg") ? ERROR_ACCESS_DENIED
                                                                                                    : 0;
        };
        ASSERT_EQ(run.Run(false), 1);
        EXPECT_EQ(Sorted(run.Changes()), Sorted({L"移動 dst\\song.mp3 ← src\\song.mp3", L"作成 new\\photo.jpg",
                                                 L"削除 old\\deep\\photo.jpg", L"フォルダ削除 old\\deep", L"フォルダ削除 old", L"フォルダ作成 new"}));
        EXPECT_EQ(ReadBytes(tree.b + L"\\new\\photo.jpg"), "MASTER-1");
        EXPECT_EQ(run.settings[0].Errors, 0);
        EXPECT_EQ(run.settings[0].status.moved, 1);
        EXPECT_EQ(run.settings[0].status.created, 1);
    }
    // Two backup files it could be: copied, both deleted.
    {
        MovedTree tree;
        WriteBytes(tree.b + L"\\src\\photo.jpg", "bbbbbbbb");
        test::Age(tree.b + L"\\src\\photo.jpg", 500);
        Batch run;
        run.settings = {Pair(tree.m, tree.b)};
        run.settings[0].Mirroring = true;
        ASSERT_EQ(run.Run(false), 1);
        EXPECT_EQ(Sorted(run.Changes()),
                  Sorted({L"移動 dst\\song.mp3 ← src\\song.mp3", L"作成 new\\photo.jpg", L"削除 old\\deep\\photo.jpg",
                          L"削除 src\\photo.jpg", L"フォルダ削除 old\\deep", L"フォルダ削除 old", L"フォルダ作成 new"}));
        EXPECT_EQ(ReadBytes(tree.b + L"\\new\\photo.jpg"), "MASTER-1");
    }
}

int FilesBelow(const std::wstring& folder) {
    int count = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        count += (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FilesBelow(folder + L"\\" + name) : 1;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return count;
}

TEST(MoveDetectionTest, WithHistoryAMovedFileIsNoRemovedOne) {
    MovedTree tree;
    const std::wstring history = tree.temp / L"b.履歴";
    Batch run;
    run.settings = {Pair(tree.m, tree.b)};
    FolderSetting& s = run.settings[0];
    s.Mirroring = true;
    s.DeleteHistory = true;
    ASSERT_EQ(run.Run(false), 1);
    EXPECT_EQ(Sorted(run.Changes()), Sorted({L"移動 dst\\song.mp3 ← src\\song.mp3",
                                             L"移動 new\\photo.jpg ← old\\deep\\photo.jpg", L"フォルダ削除 old\\deep", L"フォルダ削除 old", L"フォルダ作成 new"}));
    EXPECT_EQ(ReadBytes(tree.b + L"\\new\\photo.jpg"), "bbbbbbbb");
    // Nothing went into the history.
    EXPECT_EQ(FilesBelow(history), 0);
    EXPECT_EQ(s.Errors, 0);
}

}  // namespace
}  // namespace tandrel
