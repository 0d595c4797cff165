#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/Executor.h"
#include "engine/FileOps.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "RecordingHost.h"
#include "StagedFaults.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

using test::FileExists;
using test::RecordingHost;
using test::StagedFaults;
using test::TempDir;

// A batch, its host and log, and the policy and operations of one setting.
struct Rig {
    explicit Rig(bool testRun = false) : log(options, testRun), policy(batch, log), ops(policy), exec(ops, testRun) {
        batch.host = &host;
        batch.options = &options;
        batch.testMode = testRun;
        setting.Errors = 0;
        policy.SetSetting(&setting);
        ops.SetSetting(setting);
    }
    RecordingHost host;
    AppState options;
    MirrorBatch batch;
    FolderSetting setting;
    RunLog log;
    ErrorPolicy policy;
    FileOps ops;
    Executor exec;
};

TEST(FileOpsTest, FailuresAskCountLogAndCanBeSuppressed) {
    TempDir temp;
    Rig rig;
    rig.options.OutputLog = true;
    rig.options.LogFileName = temp / L"run.log";
    rig.log.NameGlobalLog(std::time(nullptr));
    ASSERT_FALSE(rig.log.Open(rig.setting, std::time(nullptr)));
    const std::wstring missing = temp / L"missing.txt";

    // Retry asks again; the first box has no Ctrl hint, the second has.
    rig.host.answers = {IDRETRY, IDIGNORE};
    EXPECT_FALSE(rig.ops.Copy(missing, temp / L"copy.txt"));
    ASSERT_EQ(rig.host.boxes.size(), 2u);
    EXPECT_EQ(rig.host.boxes[0].caption, L"ファイルのコピーに失敗");
    EXPECT_EQ(rig.host.boxes[0].style, 0x40012u);
    EXPECT_EQ(rig.host.boxes[0].text.find(L"※"), std::wstring::npos);
    EXPECT_EQ(rig.host.boxes[0].text.rfind(L"コピー元：" + missing + L"\r\nコピー先：", 0), 0u);
    EXPECT_NE(rig.host.boxes[1].text.find(L"[Ctrl] キーを押しながら"), std::wstring::npos);
    EXPECT_EQ(rig.setting.Errors, 1);
    ASSERT_EQ(rig.host.RowTexts().size(), 1u);
    EXPECT_EQ(RowActionText(rig.host.rows[0].action), L"エラー");
    EXPECT_EQ(rig.host.rows[0].path.rfind(L"ファイルのコピーに失敗: ", 0), 0u);
    EXPECT_EQ(rig.policy.worstLevel(), 3);

    // Ctrl held while answering: the user turns further boxes off.
    rig.host.ctrl = true;
    rig.host.answers = {IDIGNORE, IDYES};
    EXPECT_FALSE(rig.ops.Delete(missing));
    EXPECT_EQ(rig.host.boxes.back().caption, L"メッセージの抑制");
    EXPECT_TRUE(rig.policy.suppressMessages());
    const size_t shown = rig.host.boxes.size();
    EXPECT_FALSE(rig.ops.Copy(missing, temp / L"copy.txt"));
    EXPECT_EQ(rig.host.boxes.size(), shown);
    EXPECT_EQ(rig.setting.Errors, 3);
    EXPECT_FALSE(rig.batch.cancelRequested);

    rig.log.Close();
    const std::string log = test::ReadBytes(temp / L"run.log");
    EXPECT_NE(log.find(test::Utf8(L"以下のエラーを無視しました。\r\n--------------------------------\r\nコピー元：")),
              std::string::npos);
    // Retry is not logged: one block per ignored failure.
    size_t blocks = 0;
    for (size_t at = 0; (at = log.find(test::Utf8(L"以下のエラーを無視しました。"), at)) != std::string::npos; ++at) ++blocks;
    EXPECT_EQ(blocks, 3u);
}

// Every change on disk asks the same way when it fails: Retry tries it
// again, Ignore leaves the disk as it was and counts one error.
TEST(FileOpsTest, EveryChangeIsTriedAgainOnRetryAndLeftOnIgnore) {
    TempDir temp;
    ASSERT_TRUE(test::WriteBytes(temp / L"Name.txt", "n"));
    ASSERT_TRUE(test::WriteBytes(temp / L"gone.txt", "g"));
    ASSERT_TRUE(test::WriteBytes(temp / L"binned.txt", "b"));
    const struct {
        FaultPoint point;
        std::wstring path;
        std::function<bool(Rig&)> change;
        std::function<bool()> done;
    } changes[] = {
        {FaultPoint::Create, temp / L"new", [&](Rig& rig) { return rig.ops.CreateFolder(temp / L"new"); },
         [&] { return FileExists(temp / L"new"); }},
        {FaultPoint::Rename, temp / L"Name.txt",
         [&](Rig& rig) { return rig.ops.Rename(temp.Path() + L"\\", L"Name.txt", L"name.txt"); },
         [&] {
             WIN32_FIND_DATAW data;
             HANDLE find = FindFirstFileW((temp / L"name.txt").c_str(), &data);
             if (find == INVALID_HANDLE_VALUE) return false;
             FindClose(find);
             return std::wstring(data.cFileName) == L"name.txt";
         }},
        {FaultPoint::Delete, temp / L"gone.txt", [&](Rig& rig) { return rig.ops.Delete(temp / L"gone.txt"); },
         [&] { return !FileExists(temp / L"gone.txt"); }},
        {FaultPoint::Recycle, temp / L"binned.txt",
         [&](Rig& rig) {
             rig.ops.SetRecycleSender([&](const std::wstring&) {
                 return DeleteFileW((temp / L"binned.txt").c_str()) ? 0 : 1;
             });
             rig.ops.BeginRecycling(1, false);
             return rig.ops.Delete(temp / L"binned.txt") && rig.ops.EndRecycling();
         },
         [&] { return !FileExists(temp / L"binned.txt"); }},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(test::Utf8(change.path));
        StagedFaults faults;
        faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
            return point == change.point && EqualsNoCase(path, change.path) ? ERROR_SHARING_VIOLATION : 0;
        };
        {
            Rig rig;
            rig.host.answers = {IDIGNORE};
            change.change(rig);
            EXPECT_FALSE(change.done());
            EXPECT_EQ(rig.setting.Errors, 1);
            EXPECT_EQ(rig.host.boxes.size(), 1u);
        }
        Rig rig;
        rig.host.answers = {IDRETRY};
        const auto once = faults.fail;
        faults.fail = [&](FaultPoint point, const std::wstring& path, int seen) -> DWORD {
            return seen <= 2 ? once(point, path, seen) : 0;
        };
        EXPECT_TRUE(change.change(rig));
        EXPECT_TRUE(change.done());
        EXPECT_EQ(rig.setting.Errors, 0);
        EXPECT_EQ(rig.host.boxes.size(), 1u);
    }
}

TEST(FileOpsTest, ErrorLeaveIgnoresSilentlyAbortCancelsAndUnattendedRunsAsk) {
    TempDir temp;
    {
        Rig rig;
        rig.setting.ErrorLeave = true;
        EXPECT_FALSE(rig.ops.Delete(temp / L"none"));
        EXPECT_TRUE(rig.host.boxes.empty());
        EXPECT_EQ(rig.setting.Errors, 1);
        // The level-4 questions still ask.
        ErrorCall fatal{LevelFatal, L"x\r\n", L"x", L"t", kStyleFatal, ErrorDecision::Abort, false, {}};
        EXPECT_EQ(rig.policy.Raise(fatal), ErrorDecision::Abort);
        EXPECT_EQ(rig.host.boxes.size(), 1u);
        EXPECT_EQ(rig.host.boxes[0].text, L"x");
        EXPECT_TRUE(rig.batch.cancelRequested);
    }
    {
        Rig rig;
        rig.host.answers = {IDABORT};
        EXPECT_FALSE(rig.ops.RemoveFolder(temp / L"none"));
        EXPECT_EQ(rig.host.boxes[0].caption, L"フォルダの削除に失敗");
        EXPECT_TRUE(rig.batch.cancelRequested);
    }
    {
        // An automatic run that shuts down afterwards shows nothing.
        Rig rig;
        rig.options.AutoExitWhenError = true;
        rig.batch.afterChoice = AfterChoice{RunModeShutdown, 0, -1}.Pack();
        rig.batch.startedAutomatically = true;
        rig.host.ctrl = true;
        EXPECT_FALSE(rig.ops.Delete(temp / L"none"));
        EXPECT_TRUE(rig.host.boxes.empty());
        EXPECT_EQ(rig.setting.Errors, 1);
    }
}

TEST(FileOpsTest, ChangesOnDiskAndTestRunTouchesNothing) {
    TempDir temp;
    ASSERT_TRUE(test::WriteBytes(temp / L"a.txt", "new"));
    ASSERT_TRUE(test::WriteBytes(temp / L"old.txt", "old"));
    SetFileAttributesW((temp / L"old.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(test::WriteBytes(temp / L"Name.TXT", "n"));
    {
        Rig dry(true);
        EXPECT_TRUE(dry.exec.Carry(Operation::Copy(temp / L"a.txt", temp / L"old.txt", false, nullptr)));
        EXPECT_TRUE(dry.exec.Carry(Operation::On(OperationKind::CreateFolder, temp / L"x\\y")));
        EXPECT_TRUE(dry.exec.Carry(Operation::On(OperationKind::Delete, temp / L"a.txt")));
        EXPECT_TRUE(dry.exec.Carry(Operation::Rename(temp.Path() + L"\\", L"Name.TXT", L"name.txt")));
        EXPECT_EQ(test::ReadBytes(temp / L"old.txt"), "old");
        EXPECT_FALSE(FileExists(temp / L"x"));
        EXPECT_TRUE(FileExists(temp / L"a.txt"));
    }
    Rig rig;
    rig.setting.CopyFileTimeAll = true;
    EXPECT_TRUE(rig.ops.Copy(temp / L"a.txt", temp / L"old.txt"));
    EXPECT_EQ(test::ReadBytes(temp / L"old.txt"), "new");
    EXPECT_TRUE(rig.ops.CreateFolder(temp / L"x\\y\\z\\"));
    EXPECT_EQ(rig.ops.CheckFolder(temp / L"x\\y\\z"), FolderExists);

    // A case-only rename really changes the spelling on disk.
    EXPECT_TRUE(rig.ops.Rename(temp.Path() + L"\\", L"Name.TXT", L"name.txt"));
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((temp / L"name.txt").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    FindClose(find);
    EXPECT_STREQ(data.cFileName, L"name.txt");

    SetFileAttributesW((temp / L"old.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(rig.ops.Delete(temp / L"old.txt"));
    EXPECT_FALSE(FileExists(temp / L"old.txt"));
    EXPECT_TRUE(rig.ops.RemoveFolder(temp / L"x\\y\\z"));
    EXPECT_EQ(rig.ops.CheckFolder(temp / L"x\\y\\z"), FolderMissing);
    EXPECT_TRUE(rig.host.boxes.empty());
    EXPECT_EQ(rig.setting.Errors, 0);
}

// A first copy renames without asking about an old file; one that came
// after the check is still replaced whole and keeps its spelling.
TEST(FileOpsTest, CopyToAMissingDestinationAndOneThatCameSince) {
    TempDir temp;
    ASSERT_TRUE(test::WriteBytes(temp / L"src.txt", "new"));
    Rig rig;
    EXPECT_TRUE(rig.ops.Copy(temp / L"src.txt", temp / L"first.txt", true));
    EXPECT_EQ(test::ReadBytes(temp / L"first.txt"), "new");

    ASSERT_TRUE(test::WriteBytes(temp / L"Came.TXT", "old"));
    SetFileAttributesW((temp / L"Came.TXT").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(rig.ops.Copy(temp / L"src.txt", temp / L"came.txt", true));
    EXPECT_EQ(test::ReadBytes(temp / L"came.txt"), "new");
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((temp / L"*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::vector<std::wstring> names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Came.TXT", L"first.txt", L"src.txt"}));
    EXPECT_TRUE(rig.host.boxes.empty());
    EXPECT_EQ(rig.setting.Errors, 0);
}

TEST(FileOpsTest, ChecksAgreeWithListingsAndReportConflicts) {
    TempDir temp;
    ASSERT_TRUE(test::WriteBytes(temp / L"file", "f"));
    ASSERT_TRUE(CreateDirectoryW((temp / L"dir").c_str(), nullptr));
    FolderListing listing;
    ASSERT_TRUE(listing.Read(temp.Path() + L"\\"));
    EXPECT_EQ(listing.Find(L"FILE")->name, L"file");

    Rig rig;
    rig.ops.SetDeletePass(true);
    for (const wchar_t* name : {L"file", L"dir", L"none"}) {
        const KnownEntry known = listing.Find(name);
        EXPECT_EQ(rig.ops.CheckFile(temp / name), rig.ops.CheckFile(temp / name, known)) << name;
        EXPECT_EQ(rig.ops.CheckFolder(temp / name), rig.ops.CheckFolder(temp / name, known)) << name;
    }
    EXPECT_EQ(rig.ops.CheckFile(temp / L"dir"), FileIsFolder);
    EXPECT_TRUE(rig.host.boxes.empty());
    // Here "missing" deletes: only a listing of the parent may say so.
    EXPECT_EQ(rig.ops.CheckFolder(temp / L"none\\deeper"), FolderCheckError);
    ASSERT_EQ(rig.host.boxes.size(), 1u);
    rig.host.boxes.clear();
    rig.setting.Errors = 0;

    // In the copy pass a name held by the other kind is an error.
    rig.ops.SetDeletePass(false);
    EXPECT_EQ(rig.ops.CheckFile(temp / L"dir", listing.Find(L"dir")), FileCheckError);
    ASSERT_EQ(rig.host.boxes.size(), 1u);
    EXPECT_EQ(rig.host.boxes[0].caption, L"ファイル存在チェックに失敗");
    EXPECT_EQ(rig.host.boxes[0].style, 0x40010u);
    EXPECT_NE(rig.host.boxes[0].text.find(L"ファイルと同名のフォルダが存在します。"), std::wstring::npos);
    EXPECT_EQ(rig.ops.CheckFolder(temp / L"file"), FolderCheckError);
    EXPECT_EQ(rig.setting.Errors, 2);
    // Also after a deletion pass that went first: what is still there was
    // kept. A test run foretells the room that pass would have made.
    rig.setting.BackupType = 1;
    EXPECT_EQ(rig.ops.CheckFolder(temp / L"file"), FolderCheckError);
    EXPECT_EQ(rig.setting.Errors, 3);
    Rig preview(true);
    preview.setting.BackupType = 1;
    // The worker says so for a test run whose deletion pass went first.
    preview.ops.SetRoomReported(true);
    EXPECT_EQ(preview.ops.CheckFolder(temp / L"file"), FolderMissing);
}

TEST(FileOpsTest, ListingsCarryEachEntrysIdAndFailAsBefore) {
    TempDir temp;
    ASSERT_TRUE(test::WriteBytes(temp / L"file", "12345"));
    ASSERT_TRUE(CreateDirectoryW((temp / L"dir").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((temp / L"empty").c_str(), nullptr));
    ASSERT_TRUE(test::WriteBytes(temp / PartialCopyName(7), "p"));
    // Enough long names for several pieces of a listing.
    const std::wstring padding(100, L'x');
    for (int i = 0; i < 400; ++i) ASSERT_TRUE(test::WriteBytes(temp / (L"dir\\" + padding + std::to_wstring(i)), ""));
    FolderListing listing;
    ASSERT_TRUE(listing.Read(temp.Path() + L"\\"));
    EXPECT_EQ(listing.entries().size(), 3u);
    EXPECT_EQ(listing.partials(), std::vector<std::wstring>{PartialCopyName(7)});
    for (const wchar_t* name : {L"file", L"dir", L"empty"}) {
        const FindEntry* entry = listing.Find(name);
        ASSERT_NE(entry, nullptr) << name;
        EXPECT_NE(entry->fileId, 0u) << name;
        EXPECT_EQ(entry->fileId, FileIdOf(temp / name)) << name;
        // As a search for the name alone describes it.
        WIN32_FIND_DATAW data;
        const HANDLE find = FindFirstFileW((temp / name).c_str(), &data);
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        FindClose(find);
        const FindEntry alone = EntryOf(data);
        EXPECT_EQ(entry->attributes, alone.attributes) << name;
        EXPECT_EQ(entry->size, alone.size) << name;
        EXPECT_EQ(CompareFileTime(&entry->write, &alone.write), 0) << name;
        EXPECT_EQ(CompareFileTime(&entry->creation, &alone.creation), 0) << name;
    }
    EXPECT_EQ(listing.Find(L"file")->size, 5u);
    ASSERT_TRUE(listing.Read(temp / L"dir\\"));
    EXPECT_EQ(listing.entries().size(), 400u);
    EXPECT_NE(listing.Find(padding + L"399"), nullptr);
    ASSERT_TRUE(listing.Read(temp / L"empty\\"));
    EXPECT_TRUE(listing.entries().empty());

    // A folder that is not there, or a file, is no empty folder.
    EXPECT_FALSE(listing.Read(temp / L"none\\"));
    EXPECT_TRUE(listing.error() == ERROR_FILE_NOT_FOUND || listing.error() == ERROR_PATH_NOT_FOUND) << listing.error();
    EXPECT_FALSE(listing.Read(temp / L"file\\"));
    EXPECT_NE(listing.error(), 0u);
    EXPECT_TRUE(listing.entries().empty());
}

TEST(FileOpsTest, ListingsReadAheadAreTheListingsReadInPlace) {
    TempDir temp;
    std::vector<std::wstring> folders;
    for (int i = 0; i < 12; ++i) {
        const std::wstring folder = temp / (L"d" + std::to_wstring(i) + L"\\");
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        for (int j = 0; j < i; ++j) ASSERT_TRUE(test::WriteBytes(folder + std::to_wstring(j), ""));
        folders.push_back(folder);
    }
    folders.insert(folders.begin() + 5, temp / L"missing\\");
    ListingPool pool(2, 4);
    pool.Ahead(folders);
    // Taken in the order asked, out of it, and one never asked for: each is
    // what a listing read here says, a failure included.
    std::vector<std::wstring> order = folders;
    std::swap(order[0], order[7]);
    order.push_back(temp.Path() + L"\\");
    for (const std::wstring& folder : order) {
        FolderListing ahead, here;
        pool.Take(folder, ahead);
        const bool read = here.Read(folder);
        EXPECT_EQ(ahead.ok(), read) << folder;
        EXPECT_EQ(ahead.error(), here.error()) << folder;
        ASSERT_EQ(ahead.entries().size(), here.entries().size()) << folder;
        for (const FindEntry& entry : here.entries()) EXPECT_NE(ahead.Find(entry.name), nullptr) << entry.name;
    }

    // What the walk has left is read again when it is asked for once more.
    const std::wstring sub = temp / L"d3\\";
    pool.Ahead({sub});
    FolderListing first;
    pool.Take(sub, first);
    pool.Ahead({sub});
    ASSERT_TRUE(test::WriteBytes(sub + L"new", ""));
    pool.Drop(temp.Path() + L"\\", temp.Path() + L"\\");
    FolderListing again;
    pool.Take(sub, again);
    EXPECT_EQ(first.Find(L"new"), nullptr);
    EXPECT_NE(again.Find(L"new"), nullptr);

    // Once settled, no folder is held open by the pool: each can be moved.
    pool.Ahead(folders);
    pool.Settle();
    for (int i = 0; i < 12; ++i) {
        const std::wstring from = temp / (L"d" + std::to_wstring(i)), to = temp / (L"m" + std::to_wstring(i));
        EXPECT_TRUE(MoveFileW(from.c_str(), to.c_str())) << i << L" " << GetLastError();
    }
    FolderListing gone;
    pool.Take(folders[0], gone);
    EXPECT_FALSE(gone.ok());
}

TEST(FileOpsTest, RecycleBinTakesDeletionsInBatches) {
    TempDir temp;
    Rig rig;
    std::vector<size_t> sent;
    rig.ops.SetRecycleSender([&](const std::wstring& list) {
        size_t n = 0;
        for (size_t at = 0; list[at]; at += wcslen(list.c_str() + at) + 1) ++n;
        sent.push_back(n);
        return 0;
    });
    rig.ops.BeginRecycling(200, false);
    for (int i = 0; i < 450; ++i) EXPECT_TRUE(rig.ops.Delete(temp / std::to_wstring(i)));
    EXPECT_EQ(sent, (std::vector<size_t>{200, 200}));
    EXPECT_TRUE(rig.ops.EndRecycling());
    EXPECT_EQ(sent, (std::vector<size_t>{200, 200, 50}));

    // A refused batch asks; Retry sends it again.
    int calls = 0;
    rig.ops.SetRecycleSender([&](const std::wstring&) { return ++calls == 1 ? ERROR_ACCESS_DENIED : 0; });
    rig.host.answers = {IDRETRY};
    rig.ops.BeginRecycling(2, false);
    EXPECT_TRUE(rig.ops.RemoveFolder(temp / L"a"));
    EXPECT_TRUE(rig.ops.RemoveFolder(temp / L"b"));
    EXPECT_EQ(calls, 2);
    ASSERT_EQ(rig.host.boxes.size(), 1u);
    EXPECT_EQ(rig.host.boxes[0].caption, L"ファイル／フォルダの削除に失敗");
    EXPECT_EQ(rig.host.boxes[0].text.rfind(temp / L"b" + L"\r\n\r\n", 0), 0u);
    EXPECT_EQ(rig.setting.Errors, 0);
}

TEST(FileOpsTest, ListedNamesAreJudgedAsTheSystemJudgesThem) {
    TempDir temp;
    for (const wchar_t* name : {L"ok.txt", L"名前", L"dot.", L"space ", L"CON", L"a?b", L"a*b", L"a<b", L"a>b", L"a|b",
                                L"a\"b", L"tab\tname"}) {
        SetLastError(0);
        const bool refused = GetFileAttributesW(LongPath(temp / name).c_str()) == INVALID_FILE_ATTRIBUTES &&
                             GetLastError() == ERROR_INVALID_NAME;
        EXPECT_EQ(NameAccepted(name), !refused) << test::Utf8(name);
    }
    // Never part of a name a listing returns.
    EXPECT_FALSE(NameAccepted(L"a:b"));
    EXPECT_FALSE(NameAccepted(L"a/b"));

    Rig rig;
    EXPECT_TRUE(rig.ops.CheckListedName(temp.Path() + L"\\", L"ok.txt"));
    EXPECT_FALSE(rig.ops.CheckListedName(temp.Path() + L"\\", L"a?b"));
    EXPECT_EQ(rig.setting.Errors, 1);
    ASSERT_EQ(rig.host.boxes.size(), 1u);
    EXPECT_EQ(rig.host.boxes[0].text, temp / L"a?b" + L"\r\n\r\nファイル名／フォルダ名に不正な文字が含まれています。");
}

TEST(FileOpsTest, ARefusedRecycleBatchThatIsIgnoredDeletesAndCountsNothing) {
    TempDir temp;
    Rig rig;
    rig.setting.ErrorLeave = true;
    bool refuse = true;
    rig.ops.SetRecycleSender([&](const std::wstring&) { return refuse ? ERROR_ACCESS_DENIED : 0; });
    int reported = 0, gone = 0;
    const Removal removal{[&] { ++reported; }, [&] { ++gone; }};
    rig.ops.BeginRecycling(2, false);
    for (const wchar_t* name : {L"1", L"2", L"3"}) EXPECT_TRUE(rig.ops.Delete(temp / name, removal));
    EXPECT_TRUE(rig.host.boxes.empty());
    EXPECT_EQ(rig.setting.Errors, 1);
    EXPECT_EQ(reported, 0);
    EXPECT_EQ(gone, 0);
    // The next batch goes: its entry alone is reported and counted.
    refuse = false;
    EXPECT_TRUE(rig.ops.EndRecycling());
    EXPECT_EQ(reported, 1);
    EXPECT_EQ(gone, 1);
    EXPECT_EQ(rig.host.RowTexts(), (std::vector<std::wstring>{L"エラー ファイル／フォルダの削除に失敗: " +
                                                                 WithoutFinalBreak(SystemErrorText(ERROR_ACCESS_DENIED))}));
}

}  // namespace
}  // namespace tandrel
