// Files and folders moved or renamed on the master are moved in the backup,
// not copied again: which pairs match, what the runs say and count, and
// that every case the move cannot stand for is copied as before.
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
        MoveIndex index(doomed);
        EXPECT_EQ(MatchMoves(c.created, index, c.setting), c.expected) << c.what;
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
        // Too little alike for the folders to be one moved.
        WriteBytes(m + L"\\new\\extra.txt", "e");
        WriteBytes(b + L"\\old\\deep\\gone.txt", "g");
    }
    void Put(const std::wstring& masterRel, const std::wstring& backupRel, const std::string& content) {
        WriteBytes(m + L"\\" + masterRel, content);
        WriteBytes(b + L"\\" + backupRel, std::string(content.size(), 'b'));
        test::Age(m + L"\\" + masterRel, 500);
        test::Age(b + L"\\" + backupRel, 500);
    }
};

// A folder renamed on the master: ten photos, the last of them edited since,
// and in the backup a stray file and folder the master never had. Each
// backup photo holds content of its own, so a move tells itself from a copy.
struct RenamedFolder {
    TempDir temp;
    std::wstring m = temp / L"m", b = temp / L"b";
    explicit RenamedFolder(const std::wstring& from = L"album", const std::wstring& to = L"album2024") {
        test::MakeFolders(temp.Path(), {L"m\\keep", L"b\\keep"});
        test::MakeFolders(m, {to.c_str()});
        test::MakeFolders(b, {(from + L"\\sub").c_str()});
        for (int n = 0; n < 10; ++n) {
            const std::wstring name = L"\\p" + std::to_wstring(n) + L".jpg";
            WriteBytes(m + L"\\" + to + name, "MASTER-" + std::to_string(n));
            WriteBytes(b + L"\\" + from + name, "bbbbbbbb");
            test::Age(m + L"\\" + to + name, 500);
            test::Age(b + L"\\" + from + name, n == 9 ? 900 : 500);
        }
        WriteBytes(b + L"\\" + from + L"\\stray.txt", "s");
        WriteBytes(b + L"\\" + from + L"\\sub\\deep.txt", "d");
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
                           L"作成 new\\extra.txt", L"削除 old\\deep\\gone.txt", L"フォルダ削除 old\\deep",
                           L"フォルダ削除 old", L"フォルダ作成 new"};
    EXPECT_EQ(Sorted(dry), Sorted(expected));
    EXPECT_TRUE(FileExists(tree.b + L"\\old\\deep\\photo.jpg"));

    ASSERT_EQ(run.Run(false), 1);
    EXPECT_EQ(run.Changes(), dry);
    EXPECT_EQ(ReadBytes(tree.b + L"\\new\\photo.jpg"), "bbbbbbbb");
    EXPECT_EQ(ReadBytes(tree.b + L"\\dst\\song.mp3"), "bbbbbbbb");
    EXPECT_FALSE(FileExists(tree.b + L"\\old"));
    EXPECT_FALSE(FileExists(tree.b + L"\\src\\song.mp3"));
    EXPECT_EQ(s.status.moved, 2);
    EXPECT_EQ(s.status.created, 1);
    EXPECT_EQ(s.status.deleted, 1);
    EXPECT_EQ(s.Errors, 0);
    const Rows rows = run.host.RowTexts();
    const auto summary = std::find_if(rows.begin(), rows.end(), [](const std::wstring& row) { return row.rfind(L"集計", 0) == 0; });
    ASSERT_NE(summary, rows.end());
    EXPECT_NE(summary->find(L"作成 1　更新 0　移動 2　削除 1"), std::wstring::npos) << test::Utf8(*summary);
    EXPECT_NE(summary->find(L"コピー 1 バイト"), std::wstring::npos) << test::Utf8(*summary);
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
        EXPECT_EQ(Sorted(run.Changes()), Sorted({L"フォルダ作成 new", L"作成 dst\\song.mp3", L"作成 new\\photo.jpg",
                                                 L"作成 new\\extra.txt"}));
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
                                                 L"削除 old\\deep\\photo.jpg", L"フォルダ削除 old\\deep", L"フォルダ削除 old", L"フォルダ作成 new",
                                                 L"作成 new\\extra.txt", L"削除 old\\deep\\gone.txt"}));
        EXPECT_EQ(ReadBytes(tree.b + L"\\new\\photo.jpg"), "MASTER-1");
        EXPECT_EQ(run.settings[0].Errors, 0);
        EXPECT_EQ(run.settings[0].status.moved, 1);
        EXPECT_EQ(run.settings[0].status.created, 2);
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
                          L"削除 src\\photo.jpg", L"フォルダ削除 old\\deep", L"フォルダ削除 old", L"フォルダ作成 new",
                          L"作成 new\\extra.txt", L"削除 old\\deep\\gone.txt"}));
        EXPECT_EQ(ReadBytes(tree.b + L"\\new\\photo.jpg"), "MASTER-1");
    }
}

// Files below a folder, those of one name only where it is given.
int FilesBelow(const std::wstring& folder, const std::wstring& name = {}) {
    int count = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        const std::wstring found = data.cFileName;
        if (found == L"." || found == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            count += FilesBelow(folder + L"\\" + found, name);
        } else {
            count += name.empty() || EqualsNoCase(found, name);
        }
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
                                             L"移動 new\\photo.jpg ← old\\deep\\photo.jpg", L"フォルダ削除 old\\deep", L"フォルダ削除 old", L"フォルダ作成 new",
                                             L"作成 new\\extra.txt", L"履歴へ移動 old\\deep\\gone.txt"}));
    EXPECT_EQ(ReadBytes(tree.b + L"\\new\\photo.jpg"), "bbbbbbbb");
    // Only the file the master lost went into the history.
    EXPECT_EQ(FilesBelow(history, L"gone.txt"), 1);
    EXPECT_EQ(FilesBelow(history, L"photo.jpg") + FilesBelow(history, L"song.mp3"), 0);
    EXPECT_EQ(s.Errors, 0);
}

TEST(MoveDetectionTest, WithHistoryAMovedFolderIsNoRemovedOne) {
    RenamedFolder tree;
    const std::wstring history = tree.temp / L"b.履歴";
    Batch run;
    run.settings = {Pair(tree.m, tree.b)};
    run.settings[0].DeleteHistory = true;
    ASSERT_EQ(run.Run(false), 1);
    EXPECT_TRUE(test::HasRow(run, L"移動 album2024 ← album"));
    EXPECT_EQ(ReadBytes(tree.b + L"\\album2024\\p0.jpg"), "bbbbbbbb");
    // What the master lacks in it, and the edited file's old content, are
    // kept; the files that only moved are not.
    EXPECT_EQ(FilesBelow(history, L"stray.txt") + FilesBelow(history, L"deep.txt") + FilesBelow(history, L"p9.jpg"), 3);
    EXPECT_EQ(FilesBelow(history, L"p0.jpg"), 0);
    EXPECT_EQ(run.settings[0].Errors, 0);
}

std::vector<FindEntry> Files(std::initializer_list<const wchar_t*> names) {
    std::vector<FindEntry> files;
    for (const wchar_t* name : names) files.push_back(Side(name, kBase).entry);
    return files;
}

TEST(MoveDetectionTest, AFolderIsTheOneWhoseFilesItSharesMostEachUsedOnce) {
    FolderSetting setting;
    FolderMatcher matcher;
    const std::vector<FindEntry> old = Files({L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h", L"i", L"j"}),
                                 nine = Files({L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h", L"i", L"x"}),
                                 half = Files({L"a", L"b", L"c", L"d", L"e", L"k", L"l", L"m", L"n", L"o"}),
                                 one = Files({L"z"}), below = Files({L"p"});
    matcher.Add(L"nine\\", nine);
    matcher.Add(L"old\\", old);
    matcher.Add(L"half\\", half);
    matcher.Add(L"one\\", one);
    matcher.Add(L"old\\sub\\", below);
    const std::vector<FindEntry> all = old, lone = Files({L"z", L"y1", L"y2", L"y3"}), none = Files({L"q"}),
                                 fewer = Files({L"a", L"b", L"c", L"d", L"e", L"f"}), inside = below;
    // The whole match goes first, then the 9 in 10; one file of one is all
    // of the smaller side; half is too little; what was below a folder that
    // moved went with it.
    const std::vector<std::optional<size_t>> matched =
        matcher.MatchAll({&all, &all, &lone, &none, &inside, nullptr}, setting);
    EXPECT_EQ(matched, (std::vector<std::optional<size_t>>{1, 0, 3, std::nullopt, std::nullopt, std::nullopt}));
    // Each is used once: what is left is too little alike.
    EXPECT_EQ(matcher.Match(fewer, setting), std::nullopt);
    // A folder whose file moved away holds no more what it held.
    FolderMatcher touched;
    touched.Add(L"old\\", old);
    touched.Touched(L"old\\a");
    EXPECT_EQ(touched.Match(all, setting), std::nullopt);
    FolderMatcher other;
    other.Add(L"old\\", old);
    EXPECT_EQ(other.Match(all, setting), 0u);
    // A backup file newer than the master's: updated in the moved folder,
    // unless the setting keeps newer backup files, which a copy into a new
    // folder would not have kept.
    std::vector<FindEntry> newer = old;
    newer.back() = Side(L"j", kBase + 100).entry;
    FolderSetting keep = setting;
    keep.Overwrite = false;
    for (const FolderSetting* s : {&setting, &keep}) {
        FolderMatcher matcher2;
        matcher2.Add(L"newer\\", newer);
        EXPECT_EQ(matcher2.Match(all, *s), s == &setting ? std::optional<size_t>(0) : std::nullopt);
    }
}

TEST(MoveDetectionTest, ARenamedFolderIsMovedInTheBackupAndBroughtUpToDate) {
    RenamedFolder tree;
    Batch run;
    run.settings = {Pair(tree.m, tree.b)};
    FolderSetting& s = run.settings[0];
    ASSERT_EQ(run.Run(true), 1);
    const Rows dry = run.Changes();
    EXPECT_EQ(Sorted(dry), Sorted({L"移動 album2024 ← album", L"更新 album2024\\p9.jpg", L"削除 album2024\\stray.txt",
                                   L"削除 album2024\\sub\\deep.txt", L"フォルダ削除 album2024\\sub"}));
    EXPECT_TRUE(FileExists(tree.b + L"\\album\\p0.jpg"));

    {
        // Each backup folder is read once: where it was, never where it went.
        StagedFaults trace;
        ASSERT_EQ(run.Run(false), 1);
        const auto listed = [&](const std::wstring& folder) {
            return trace.calls[{FaultPoint::List, FoldCase(tree.b + L"\\" + folder + L"\\")}];
        };
        EXPECT_EQ(listed(L"album"), 1);
        EXPECT_EQ(listed(L"album\\sub"), 1);
        EXPECT_EQ(listed(L"album2024"), 0);
        EXPECT_EQ(listed(L"album2024\\sub"), 0);
    }
    EXPECT_EQ(run.Changes(), dry);
    EXPECT_FALSE(FileExists(tree.b + L"\\album"));
    EXPECT_EQ(ReadBytes(tree.b + L"\\album2024\\p0.jpg"), "bbbbbbbb");
    EXPECT_EQ(ReadBytes(tree.b + L"\\album2024\\p9.jpg"), "MASTER-9");
    EXPECT_FALSE(FileExists(tree.b + L"\\album2024\\stray.txt"));
    EXPECT_FALSE(FileExists(tree.b + L"\\album2024\\sub"));
    EXPECT_EQ(s.status.moved, 1);
    EXPECT_EQ(s.status.created, 0);
    EXPECT_EQ(s.Errors, 0);
    EXPECT_TRUE(test::HasRow(run, L"集計 確認 10　作成 0　更新 1　移動 1　削除 2　エラー 0　コピー 8 バイト"));
    ASSERT_EQ(run.Run(true), 1);
    EXPECT_TRUE(run.Changes().empty());
}

TEST(MoveDetectionTest, AFolderInsideANewOneAndTheGuardOnMassDeletion) {
    // The new folder holds no file of its own; the one inside it is the
    // old folder's.
    {
        RenamedFolder tree(L"photos\\2019", L"pictures\\2019");
        Batch run;
        run.settings = {Pair(tree.m, tree.b)};
        ASSERT_EQ(run.Run(true), 1);
        const Rows dry = run.Changes();
        EXPECT_EQ(Sorted(dry), Sorted({L"フォルダ作成 pictures", L"移動 pictures\\2019 ← photos\\2019",
                                       L"更新 pictures\\2019\\p9.jpg", L"削除 pictures\\2019\\stray.txt",
                                       L"削除 pictures\\2019\\sub\\deep.txt", L"フォルダ削除 pictures\\2019\\sub",
                                       L"フォルダ削除 photos"}));
        ASSERT_EQ(run.Run(false), 1);
        EXPECT_EQ(run.Changes(), dry);
        EXPECT_EQ(ReadBytes(tree.b + L"\\pictures\\2019\\p0.jpg"), "bbbbbbbb");
        EXPECT_FALSE(FileExists(tree.b + L"\\photos"));
    }
    // 190 of 240 backup files under another name: nothing for the guard
    // to stop, also when nobody may be asked.
    {
        TempDir temp;
        const std::wstring m = temp / L"m", b = temp / L"b";
        test::MakeFolders(temp.Path(), {L"m\\kept", L"b\\gone"});
        for (int n = 0; n < 50; ++n) {
            WriteBytes(test::NumberedFile(m, n), "same");
            CopyFileW(test::NumberedFile(m, n).c_str(), test::NumberedFile(b, n).c_str(), FALSE);
        }
        for (int n = 0; n < 190; ++n) {
            WriteBytes(test::NumberedFile(m + L"\\kept", n), "old");
            CopyFileW(test::NumberedFile(m + L"\\kept", n).c_str(), test::NumberedFile(b + L"\\gone", n).c_str(), FALSE);
        }
        Batch run;
        run.settings = {Pair(m, b)};
        run.options.runMode = RunModeExit;
        run.batch.startedAutomatically = true;
        ASSERT_EQ(run.Run(false), 1);
        EXPECT_EQ(run.Changes(), Rows{L"移動 kept ← gone"});
        EXPECT_EQ(FilesBelow(b + L"\\kept"), 190);
        EXPECT_EQ(run.settings[0].Errors, 0);
    }
}

TEST(MoveDetectionTest, WhereAFolderMoveCannotStandForTheCopyItIsCopiedAsBefore) {
    // A rename of the folder that fails: its files are moved one by one
    // (the edited one copied), the old folder deleted, no error.
    {
        RenamedFolder tree;
        Batch run;
        run.settings = {Pair(tree.m, tree.b)};
        StagedFaults faults;
        faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
            return point == FaultPoint::Rename && EqualsNoCase(path, tree.b + L"\\album") ? ERROR_ACCESS_DENIED : 0;
        };
        ASSERT_EQ(run.Run(false), 1);
        EXPECT_FALSE(test::HasRow(run, L"移動 album2024 ← album"));
        EXPECT_EQ(test::CountRows(run, L"移動"), 9);
        EXPECT_EQ(test::CountRows(run, L"作成"), 1);
        EXPECT_EQ(ReadBytes(tree.b + L"\\album2024\\p0.jpg"), "bbbbbbbb");
        EXPECT_EQ(ReadBytes(tree.b + L"\\album2024\\p9.jpg"), "MASTER-9");
        EXPECT_FALSE(FileExists(tree.b + L"\\album"));
        EXPECT_EQ(run.settings[0].Errors, 0);
    }
    // A folder that keeps a file the filters leave alone stays where it
    // is; its photos still move one by one.
    {
        RenamedFolder tree;
        Batch run;
        run.settings = {Pair(tree.m, tree.b)};
        // The list names the files left out.
        run.settings[0].TargetFile = L"*.txt";
        ASSERT_EQ(run.Run(false), 1);
        EXPECT_FALSE(test::HasRow(run, L"移動 album2024 ← album"));
        EXPECT_EQ(test::CountRows(run, L"移動"), 9);
        EXPECT_EQ(ReadBytes(tree.b + L"\\album\\stray.txt"), "s");
        EXPECT_EQ(ReadBytes(tree.b + L"\\album2024\\p0.jpg"), "bbbbbbbb");
        EXPECT_EQ(ReadBytes(tree.b + L"\\album2024\\p9.jpg"), "MASTER-9");
    }
    // A file below it that the walk would leave as it is (newer than the
    // master's, 上書き off), where a copy would have brought the master's.
    {
        RenamedFolder tree;
        test::MakeFolders(tree.m, {L"album2024\\sub"});
        WriteBytes(tree.m + L"\\album2024\\sub\\deep.txt", "D");
        test::Age(tree.m + L"\\album2024\\sub\\deep.txt", 900);
        test::Age(tree.b + L"\\album\\sub\\deep.txt", 500);
        Batch run;
        run.settings = {Pair(tree.m, tree.b)};
        run.settings[0].Overwrite = false;
        ASSERT_EQ(run.Run(false), 1);
        EXPECT_FALSE(test::HasRow(run, L"移動 album2024 ← album"));
        EXPECT_EQ(ReadBytes(tree.b + L"\\album2024\\sub\\deep.txt"), "D");
        EXPECT_EQ(ReadBytes(tree.b + L"\\album2024\\p0.jpg"), "bbbbbbbb");
        EXPECT_FALSE(FileExists(tree.b + L"\\album"));
    }
    // Without mirroring the old folder stays.
    {
        RenamedFolder tree;
        Batch run;
        run.settings = {Pair(tree.m, tree.b)};
        run.settings[0].Mirroring = false;
        ASSERT_EQ(run.Run(false), 1);
        EXPECT_EQ(test::CountRows(run, L"移動"), 0);
        EXPECT_EQ(ReadBytes(tree.b + L"\\album2024\\p0.jpg"), "MASTER-0");
        EXPECT_TRUE(FileExists(tree.b + L"\\album\\p0.jpg"));
    }
    // Too little alike (8 of 10): the folder is new, its files that are
    // the old folder's are moved one by one.
    {
        RenamedFolder tree;
        WriteBytes(tree.b + L"\\album\\p8.jpg", "other size");
        Batch run;
        run.settings = {Pair(tree.m, tree.b)};
        ASSERT_EQ(run.Run(false), 1);
        EXPECT_EQ(test::CountRows(run, L"移動"), 8);
        EXPECT_TRUE(test::HasRow(run, L"フォルダ作成 album2024"));
        EXPECT_EQ(ReadBytes(tree.b + L"\\album2024\\p0.jpg"), "bbbbbbbb");
        EXPECT_EQ(ReadBytes(tree.b + L"\\album2024\\p8.jpg"), "MASTER-8");
        EXPECT_FALSE(FileExists(tree.b + L"\\album"));
    }
}

// What the copy pass holds back for moves is bounded. A first copy into an
// empty backup holds nothing: the rows come in the walk's order, each
// folder's files after it. Where the backup holds something but nothing to
// delete, a thousand new files wait for the end of the pass, the others
// are copied at once; a removed folder is read once.
TEST(MoveDetectionTest, NewEntriesAreHeldBackOnlyWhereAMoveCanBeAndBoundedly) {
    {
        TempDir temp;
        const std::wstring m = temp / L"m", b = temp / L"b";
        test::MakeTree(temp.Path(), {L"m\\a", L"m\\b", L"b"},
                       {{L"m\\a\\1.txt", "1"}, {L"m\\b\\2.txt", "2"}, {L"m\\3.txt", "3"}});
        Batch run;
        run.settings = {Pair(m, b)};
        ASSERT_EQ(run.Run(false), 1);
        EXPECT_EQ(run.Changes(),
                  (Rows{L"作成 3.txt", L"フォルダ作成 a", L"作成 a\\1.txt", L"フォルダ作成 b", L"作成 b\\2.txt"}));
    }
    {
        TempDir temp;
        const std::wstring m = temp / L"m", b = temp / L"b";
        test::MakeTree(temp.Path(), {L"m\\many", L"b\\many", L"b\\gone\\sub"}, {{L"b\\gone\\sub\\x", "x"}});
        for (int n = 0; n < 1010; ++n) WriteBytes(test::NumberedFile(m + L"\\many", n), "n");
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((m + L"\\many\\*").c_str(), &data);
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
        } while (FindNextFileW(find, &data));
        FindClose(find);
        ASSERT_EQ(names.size(), 1010u);
        // The folder the master lost comes last in the walk.
        Rows expected;
        for (size_t n = 1000; n < names.size(); ++n) expected.push_back(L"作成 many\\" + names[n]);
        for (size_t n = 0; n < 1000; ++n) expected.push_back(L"作成 many\\" + names[n]);
        expected.insert(expected.end(), {L"削除 gone\\sub\\x", L"フォルダ削除 gone\\sub", L"フォルダ削除 gone"});
        Batch run;
        run.settings = {Pair(m, b)};
        StagedFaults trace;
        ASSERT_EQ(run.Run(false), 1);
        EXPECT_EQ(run.Changes(), expected);
        EXPECT_EQ((trace.calls[{FaultPoint::List, FoldCase(b + L"\\gone\\")}]), 1);
        EXPECT_EQ((trace.calls[{FaultPoint::List, FoldCase(b + L"\\gone\\sub\\")}]), 1);
    }
}

}  // namespace
}  // namespace tandrel
