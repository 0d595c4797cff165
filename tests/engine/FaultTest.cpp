// Runs that are not clean: faults staged through the engine's seam, real
// links from the CTest fixture, held files and awkward names. Each case
// checks what is on disk afterwards.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "StagedFaults.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/Strings.h"

namespace tandrel {
namespace {

using test::Age;
using test::CountRows;
using test::HasRow;
using test::MakeFolders;
using test::MakeTree;
using test::Partials;
using test::StagedFaults;
using test::Batch;
using test::BuildFolder;
using test::FileExists;
using test::HeldFile;
using test::Pair;
using test::ReadBytes;
using test::RemoveTree;
using test::Rows;
using test::Sorted;
using test::TempDir;
using test::Utf8;
using test::WriteBytes;

TEST(FaultTest, MasterFolderThatCannotBeListedKeepsItsBackup) {
    for (const bool root : {true, false}) {
        SCOPED_TRACE(root ? "root" : "sub-folder");
        TempDir temp;
        const std::wstring m = temp / L"m", b = temp / L"b";
        MakeTree(temp.Path(), {L"m\\sub", L"b\\sub", L"b\\gone"},
                 {{L"m\\a.txt", "x"}, {L"m\\sub\\y.txt", "x"}, {L"b\\a.txt", "x"}, {L"b\\old.txt", "x"},
                  {L"b\\sub\\x.txt", "x"}, {L"b\\sub\\y.txt", "x"}, {L"b\\gone\\z.txt", "x"}});
        const std::wstring unreadable = root ? m + L"\\" : m + L"\\sub\\";
        StagedFaults faults;
        // The copy pass reads the folder first; the deletion pass fails.
        faults.fail = [&](FaultPoint point, const std::wstring& path, int seen) -> DWORD {
            return point == FaultPoint::List && EqualsNoCase(path, unreadable) && seen > 1 ? ERROR_ACCESS_DENIED : 0;
        };
        Batch run;
        run.settings = {Pair(m, b)};
        EXPECT_EQ(run.Run(false), 1);
        EXPECT_TRUE(FileExists(b + L"\\sub\\x.txt"));
        EXPECT_TRUE(FileExists(b + L"\\sub\\y.txt"));
        EXPECT_EQ(FileExists(b + L"\\old.txt"), root);
        EXPECT_EQ(FileExists(b + L"\\gone\\z.txt"), root);
        EXPECT_EQ(run.settings[0].Errors, 1);
        EXPECT_TRUE(HasRow(run, L"エラー フォルダの読み込みに失敗: " + unreadable + L" (" +
                                    WithoutFinalBreak(SystemErrorText(ERROR_ACCESS_DENIED))))
            << Utf8(run.host.RowTexts().back());
    }
}

TEST(FaultTest, MasterThatVanishesBetweenThePassesDeletesNothing) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeTree(temp.Path(), {L"m\\sub", L"b\\sub"},
             {{L"m\\a.txt", "x"}, {L"m\\sub\\s.txt", "x"}, {L"b\\a.txt", "x"}, {L"b\\sub\\s.txt", "x"},
              {L"b\\sub\\t.txt", "x"}});
    StagedFaults faults;
    // The stick is pulled just before the deletion pass looks at the
    // backup again (the copy pass, with both folders listed, asks the disk
    // nothing per entry), inside a seam, where no other thread holds the
    // master.
    bool pulled = false;
    faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
        if (!pulled && point == FaultPoint::Check && path.rfind(b + L"\\", 0) == 0) {
            pulled = MoveFileW(m.c_str(), (temp / L"away").c_str());
            EXPECT_TRUE(pulled);
        }
        return 0;
    };
    Batch run;
    run.settings = {Pair(m, b)};
    run.Run(false);
    EXPECT_TRUE(pulled);
    for (const wchar_t* file : {L"a.txt", L"sub\\s.txt", L"sub\\t.txt"}) EXPECT_TRUE(FileExists(b + L"\\" + file)) << file;
    EXPECT_EQ(CountRows(run, L"削除") + CountRows(run, L"フォルダ削除"), 0);
    EXPECT_EQ(run.settings[0].Errors, 1);
}

TEST(FaultTest, ACopyThatFailsLeavesTheOldBackupAndNoPartialFile) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeTree(temp.Path(), {L"m", L"b"}, {{L"m\\big.txt", "new content"}, {L"b\\big.txt", "old"}});
    Age(b + L"\\big.txt", 3600);
    for (const FaultPoint point : {FaultPoint::Copy, FaultPoint::Replace}) {
        StagedFaults faults;
        faults.fail = [&](FaultPoint at, const std::wstring& path, int) -> DWORD {
            return at == point && EqualsNoCase(path, b + L"\\big.txt") ? ERROR_DISK_FULL : 0;
        };
        Batch run;
        run.settings = {Pair(m, b)};
        run.Run(false);
        EXPECT_EQ(ReadBytes(b + L"\\big.txt"), "old");
        EXPECT_TRUE(Partials(b).empty());
        EXPECT_EQ(run.settings[0].Errors, 1);
        EXPECT_EQ(run.settings[0].status.updated, 0);
        EXPECT_TRUE(HasRow(run, L"エラー ファイルのコピーに失敗: "));
    }
    Batch run;
    run.settings = {Pair(m, b)};
    run.Run(false);
    EXPECT_EQ(ReadBytes(b + L"\\big.txt"), "new content");
    EXPECT_EQ(run.settings[0].status.updated, 1);
    EXPECT_TRUE(Partials(b).empty());
}

TEST(FaultTest, AFileThatGrowsWhileItIsCopiedIsCopiedAgainWholeWithOrWithoutVerify) {
    // Two pieces of the copy's size: the writer comes between them.
    const std::string first(2 << 20, 'f');
    for (const bool verify : {false, true}) {
        SCOPED_TRACE(verify ? "with Verify" : "without Verify");
        TempDir temp;
        const std::wstring m = temp / L"m", b = temp / L"b";
        MakeFolders(temp.Path(), {L"m", L"b"});
        WriteBytes(m + L"\\log.txt", first);
        WriteBytes(b + L"\\log.txt", "old");
        Age(b + L"\\log.txt", 3600);
        StagedFaults faults;
        // The writer appends while the first copy has read its first piece.
        faults.fail = [&](FaultPoint point, const std::wstring& path, int seen) -> DWORD {
            if (point == FaultPoint::Progress && seen == 1 && EqualsNoCase(path, m + L"\\log.txt")) {
                HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
                DWORD written = 0;
                WriteFile(file, " second", 7, &written, nullptr);
                CloseHandle(file);
            }
            return 0;
        };
        Batch run;
        run.settings = {Pair(m, b)};
        run.settings[0].Verify = verify;
        run.Run(false);
        EXPECT_EQ(run.Changes(), (Rows{L"更新 log.txt"}));
        EXPECT_EQ(run.settings[0].Errors, 0);
        EXPECT_EQ(run.settings[0].status.updated, 1);
        EXPECT_EQ(ReadBytes(b + L"\\log.txt"), first + " second");
        EXPECT_TRUE(Partials(b).empty());
    }
}

TEST(FaultTest, PartialCopiesOfAnInterruptedRunAreRemovedAndNeverShown) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeTree(temp.Path(), {L"m\\sub", L"b\\sub", L"b\\only"},
             {{L"m\\f.txt", "f"}, {L"m\\~tandrel-12345678.partial", "from another backup"},
              {L"b\\~tandrel-0000abcd.partial", "half"}, {L"b\\sub\\~TANDREL-DEADBEEF.partial", "half"},
              {L"b\\only\\~tandrel-00000001.partial", "half"}});
    // Not of the pattern: a user's file.
    WriteBytes(m + L"\\~tandrel-1234.partial", "user");

    Batch run;
    run.settings = {Pair(m, b)};
    run.settings[0].Mirroring = false;
    run.Run(true);
    const Rows dry = run.Changes();
    EXPECT_EQ(Sorted(dry), Sorted({L"作成 f.txt", L"作成 ~tandrel-1234.partial"}));
    EXPECT_EQ(Partials(b).size(), 3u);
    run.Run(false);
    EXPECT_EQ(run.Changes(), dry);
    // The copy pass clears the folders it writes to.
    EXPECT_EQ(Partials(b), (std::vector<std::wstring>{L"only\\~tandrel-00000001.partial"}));
    EXPECT_FALSE(FileExists(b + L"\\~tandrel-12345678.partial"));
    EXPECT_TRUE(FileExists(m + L"\\~tandrel-12345678.partial"));
    EXPECT_EQ(ReadBytes(b + L"\\~tandrel-1234.partial"), "user");

    // The deletion pass removes a folder that held only a partial copy.
    run.settings[0].Mirroring = true;
    run.Run(true);
    EXPECT_EQ(run.Changes(), Rows{L"フォルダ削除 only"});
    run.Run(false);
    EXPECT_EQ(run.Changes(), Rows{L"フォルダ削除 only"});
    EXPECT_FALSE(FileExists(b + L"\\only"));
    EXPECT_EQ(run.settings[0].Errors, 0);
}

TEST(FaultTest, HeldFilesLeaveTheBackupWhole) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeTree(temp.Path(), {L"m", L"b"},
             {{L"m\\source.txt", "new"}, {L"b\\source.txt", "old"}, {L"m\\target.txt", "new"},
              {L"b\\target.txt", "old"}});
    Age(b + L"\\source.txt", 3600);
    Age(b + L"\\target.txt", 3600);
    Batch run;
    run.settings = {Pair(m, b)};
    {
        HeldFile source(m + L"\\source.txt");
        HeldFile target(b + L"\\target.txt");
        run.Run(false);
    }
    // A master file that cannot be read: the old copy stays.
    EXPECT_EQ(ReadBytes(b + L"\\source.txt"), "old");
    // A backup file in use refuses to be replaced: it stays as it was.
    EXPECT_EQ(ReadBytes(b + L"\\target.txt"), "old");
    EXPECT_EQ(run.settings[0].Errors, 2);
    EXPECT_EQ(run.settings[0].status.updated, 0);
    EXPECT_TRUE(Partials(b).empty());

    run.Run(false);
    EXPECT_EQ(ReadBytes(b + L"\\source.txt"), "new");
    EXPECT_EQ(ReadBytes(b + L"\\target.txt"), "new");
    EXPECT_EQ(run.settings[0].Errors, 0);
}

TEST(FaultTest, AttributesOnBothSides) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeFolders(temp.Path(), {L"m", L"b"});
    const DWORD guarded = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    WriteBytes(m + L"\\guarded.txt", "new");
    WriteBytes(b + L"\\guarded.txt", "old");
    WriteBytes(m + L"\\fresh.txt", "fresh");
    WriteBytes(b + L"\\orphan.txt", "o");
    Age(b + L"\\guarded.txt", 3600);
    ASSERT_TRUE(SetFileAttributesW((m + L"\\guarded.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesW((m + L"\\fresh.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW((b + L"\\guarded.txt").c_str(), guarded));
    ASSERT_TRUE(SetFileAttributesW((b + L"\\orphan.txt").c_str(), guarded));

    Batch run;
    run.settings = {Pair(m, b)};
    run.settings[0].CopyFileTimeAll = true;
    run.Run(false);
    EXPECT_EQ(run.settings[0].Errors, 0);
    EXPECT_EQ(ReadBytes(b + L"\\guarded.txt"), "new");
    EXPECT_EQ(ReadBytes(b + L"\\fresh.txt"), "fresh");
    EXPECT_FALSE(FileExists(b + L"\\orphan.txt"));
    for (const wchar_t* name : {L"\\guarded.txt", L"\\fresh.txt"}) {
        const DWORD kept = guarded | FILE_ATTRIBUTE_ARCHIVE;
        EXPECT_EQ(GetFileAttributesW((b + name).c_str()) & kept, GetFileAttributesW((m + name).c_str()) & kept);
        WIN32_FILE_ATTRIBUTE_DATA master{}, backup{};
        GetFileAttributesExW((m + name).c_str(), GetFileExInfoStandard, &master);
        GetFileAttributesExW((b + name).c_str(), GetFileExInfoStandard, &backup);
        EXPECT_EQ(CompareFileTime(&master.ftLastWriteTime, &backup.ftLastWriteTime), 0);
    }
    // Nothing left to do, and the files stay deletable for the clean-up.
    run.Run(false);
    EXPECT_EQ(run.Changes(), Rows{});
    for (const wchar_t* path : {L"m\\guarded.txt", L"m\\fresh.txt", L"b\\guarded.txt", L"b\\fresh.txt"}) {
        SetFileAttributesW((temp / path).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST(FaultTest, TrailingDotsSpacesAndLongPaths) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeFolders(temp.Path(), {L"m", L"b"});
    const std::wstring deep = L"\\" + std::wstring(100, L'a') + L"\\" + std::wstring(100, L'b') + L"\\" +
                              std::wstring(100, L'c');
    ASSERT_TRUE(CreateDirectoryTree(m + deep));
    ASSERT_TRUE(CreateDirectoryW(LongPath(m + L"\\dir.").c_str(), nullptr));
    for (const std::wstring& file : {std::wstring(L"\\dot."), std::wstring(L"\\space "), std::wstring(L"\\dir.\\x "),
                                     deep + L"\\f.txt"}) {
        ASSERT_TRUE(WriteBytes(m + file, "content"));
    }
    ASSERT_GT((b + deep + L"\\f.txt").size(), 300u);
    Batch run;
    run.settings = {Pair(m, b)};
    run.Run(false);
    EXPECT_EQ(run.settings[0].Errors, 0);
    for (const std::wstring& file : {std::wstring(L"\\dot."), std::wstring(L"\\space "), std::wstring(L"\\dir.\\x "),
                                     deep + L"\\f.txt"}) {
        EXPECT_EQ(ReadBytes(b + file), "content") << Utf8(file);
    }
    EXPECT_TRUE(Partials(b).empty());
    run.Run(false);
    EXPECT_EQ(run.Changes(), Rows{});

    // And they go again when the master loses them.
    ASSERT_TRUE(DeleteFileW(LongPath(m + L"\\dot.").c_str()));
    ASSERT_TRUE(DeleteFileW(LongPath(m + deep + L"\\f.txt").c_str()));
    run.Run(false);
    EXPECT_FALSE(FileExists(b + L"\\dot."));
    EXPECT_FALSE(FileExists(b + deep + L"\\f.txt"));
    EXPECT_TRUE(FileExists(b + L"\\space "));
    EXPECT_EQ(run.settings[0].Errors, 0);
}

TEST(FaultTest, TwoSecondTimeStampsOfAFatBackupAreTheSameTime) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeTree(temp.Path(), {L"m", L"b"}, {{L"m\\t.txt", "t"}, {L"b\\t.txt", "t"}});
    // Master at an odd second and a half; the backup rounded up to the next
    // even second, as a FAT volume stores it.
    const auto setTime = [](const std::wstring& path, ULONGLONG ticks) {
        HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        SetFileTime(file, nullptr, nullptr, &time);
        CloseHandle(file);
    };
    const ULONGLONG odd = (13000000000ULL + 1) * 10000000ULL + 5000000;
    setTime(m + L"\\t.txt", odd);
    setTime(b + L"\\t.txt", odd + 15000000);
    Batch run;
    run.settings = {Pair(m, b)};
    run.Run(false);
    EXPECT_EQ(run.Changes(), Rows{});
    // Without the tolerance the second counts.
    run.settings[0].NtfsToFat = false;
    run.settings[0].Overwrite = false;
    run.Run(true);
    EXPECT_EQ(run.Changes(), Rows{L"スキップ t.txt"});
}

TEST(FaultTest, NamesTheSystemRefusesAreReportedNotCopied) {
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeTree(temp.Path(), {L"m", L"b"}, {{L"m\\good.txt", "g"}, {L"m\\odd.txt", "o"}});
    // A share may list a name that this system cannot open.
    StagedFaults faults;
    faults.listed = [](const std::wstring&, std::vector<FindEntry>& entries) {
        for (FindEntry& entry : entries) {
            if (entry.name == L"odd.txt") entry.name = L"odd?.txt";
        }
    };
    Batch run;
    run.settings = {Pair(m, b)};
    run.settings[0].CheckFileName = true;
    run.Run(false);
    EXPECT_EQ(Sorted(run.Changes()), Sorted({L"作成 good.txt", L"エラー ファイル名／フォルダ名に不正な文字が含まれています。: "
                                                                L"ファイル名／フォルダ名に不正な文字が含まれています。"}));
    EXPECT_EQ(ReadBytes(b + L"\\good.txt"), "g");
    EXPECT_FALSE(FileExists(b + L"\\odd.txt"));
    EXPECT_EQ(run.settings[0].Errors, 1);
}

TEST(FaultTest, ReparseKindsDecideWhatIsALink) {
    FindEntry entry;
    entry.attributes = FILE_ATTRIBUTE_DIRECTORY;
    EXPECT_FALSE(entry.IsLink());
    entry.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    for (const DWORD tag : {DWORD{IO_REPARSE_TAG_SYMLINK}, DWORD{IO_REPARSE_TAG_MOUNT_POINT}, DWORD{0}, DWORD{0x00001234}}) {
        entry.reparseTag = tag;
        EXPECT_TRUE(entry.IsLink()) << std::hex << tag;
    }
    for (const DWORD tag : {DWORD{IO_REPARSE_TAG_CLOUD}, DWORD{0x9000301A}, DWORD{IO_REPARSE_TAG_DEDUP}, DWORD{IO_REPARSE_TAG_WOF}}) {
        entry.reparseTag = tag;
        EXPECT_FALSE(entry.IsLink()) << std::hex << tag;
    }

    // In the deletion pass a cloud placeholder is an ordinary folder, a
    // mount point is not entered.
    TempDir temp;
    const std::wstring m = temp / L"m", b = temp / L"b";
    MakeTree(temp.Path(), {L"m", L"b\\cloud", L"b\\mount"}, {{L"b\\cloud\\c.txt", "c"}, {L"b\\mount\\m.txt", "m"}});
    StagedFaults faults;
    faults.listed = [](const std::wstring&, std::vector<FindEntry>& entries) {
        for (FindEntry& listed : entries) {
            if (listed.name != L"cloud" && listed.name != L"mount") continue;
            listed.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
            listed.reparseTag = listed.name == L"cloud" ? IO_REPARSE_TAG_CLOUD_1 : IO_REPARSE_TAG_MOUNT_POINT;
        }
    };
    Batch run;
    run.settings = {Pair(m, b)};
    run.Run(false);
    EXPECT_EQ(Sorted(run.Changes()), Sorted({L"削除 cloud\\c.txt", L"フォルダ削除 cloud",
                                             L"スキップ mount (リンクのため中には入りません)"}));
    EXPECT_FALSE(FileExists(b + L"\\cloud"));
    EXPECT_EQ(ReadBytes(b + L"\\mount\\m.txt"), "m");
}

// The fixture script made G:\links (see scripts/test-links.sh).
const std::wstring kLinks = L"G:\\links";

TEST(FaultTest, LinksInTheMasterAreNotEnteredAndSaidSo) {
    ASSERT_TRUE(FileExists(kLinks + L"\\outside\\precious.txt")) << "fixture links missing";
    TempDir temp;
    const std::wstring b = temp / L"b";
    Batch run;
    run.settings = {Pair(kLinks + L"\\master", b)};
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(Sorted(run.Changes()),
              Sorted({L"フォルダ作成 ..\\b", L"作成 m.txt", L"フォルダ作成 sub", L"作成 sub\\s.txt",
                      L"スキップ loop (リンクのため中には入りません)", L"スキップ out (リンクのため中には入りません)"}));
    EXPECT_FALSE(FileExists(b + L"\\loop"));
    EXPECT_FALSE(FileExists(b + L"\\out"));
    EXPECT_EQ(run.settings[0].Errors, 0);

    // Without its attribute a loop is still known by its identity.
    StagedFaults faults;
    faults.listed = [](const std::wstring&, std::vector<FindEntry>& entries) {
        for (FindEntry& entry : entries) {
            if (entry.name == L"loop") entry.attributes &= ~FILE_ATTRIBUTE_REPARSE_POINT;
        }
    };
    run.Run(false);
    EXPECT_EQ(Sorted(run.Changes()), Sorted({L"スキップ loop (上位のフォルダと同じフォルダのため中には入りません)",
                                             L"スキップ out (リンクのため中には入りません)"}));
    EXPECT_FALSE(FileExists(b + L"\\loop"));
    EXPECT_TRUE(FileExists(kLinks + L"\\outside\\precious.txt"));
}

TEST(FaultTest, LinksInTheBackupAreNeitherWrittenThroughNorDeletedThrough) {
    ASSERT_TRUE(FileExists(kLinks + L"\\outside-b\\precious.txt")) << "fixture links missing";
    TempDir temp;
    const std::wstring m = temp / L"m", b = kLinks + L"\\backup";
    MakeFolders(temp.Path(), {L"m\\inlink"});
    WriteBytes(m + L"\\inlink\\new.txt", "n");
    WriteBytes(m + L"\\top.txt", "t");
    Batch run;
    run.settings = {Pair(m, b)};
    run.Run(true);
    const Rows dry = run.Changes();
    run.Run(false);
    EXPECT_EQ(run.Changes(), dry);
    EXPECT_EQ(Sorted(dry), Sorted({L"作成 top.txt", L"スキップ inlink (リンクのため中には入りません)",
                                   L"スキップ stray (リンクのため中には入りません)"}));
    EXPECT_EQ(ReadBytes(b + L"\\top.txt"), "t");
    EXPECT_FALSE(FileExists(kLinks + L"\\outside-b\\new.txt"));
    EXPECT_TRUE(FileExists(kLinks + L"\\outside-b\\precious.txt"));
    EXPECT_TRUE(FileExists(b + L"\\stray"));
    EXPECT_EQ(run.settings[0].Errors, 0);
    DeleteFileW((b + L"\\top.txt").c_str());
}

TEST(FaultTest, RootsAreComparedByIdentityNotBySpelling) {
    // E:\ovl and the same folder through drive Z:.
    const std::wstring e = L"E:\\ovl", z = BuildFolder() + L"testdrives\\e\\ovl";
    RemoveTree(e);
    ASSERT_TRUE(CreateDirectoryTree(e + L"\\b\\m"));
    ASSERT_TRUE(FileExists(z + L"\\b\\m"));
    WriteBytes(e + L"\\b\\m\\precious.txt", "p");
    WriteBytes(e + L"\\b\\orphan.txt", "o");

    // The master inside the backup: the deletion pass leaves it alone.
    Batch run;
    run.settings = {Pair(z + L"\\b\\m", e + L"\\b")};
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_EQ(ReadBytes(e + L"\\b\\m\\precious.txt"), "p");
    EXPECT_EQ(ReadBytes(e + L"\\b\\precious.txt"), "p");
    EXPECT_FALSE(FileExists(e + L"\\b\\orphan.txt"));

    // The backup inside the master is not copied into itself.
    run.settings = {Pair(e + L"\\b", z + L"\\b\\m")};
    EXPECT_EQ(run.Run(false), 1);
    EXPECT_FALSE(FileExists(e + L"\\b\\m\\m"));
    EXPECT_EQ(run.settings[0].Errors, 0);

    // One folder under two names is the same folder.
    run.settings = {Pair(z + L"\\b", e + L"\\b")};
    EXPECT_EQ(run.Run(false), 0);
    ASSERT_FALSE(run.host.boxes.empty());
    EXPECT_EQ(run.host.boxes[0].text, L"マスターとバックアップのフォルダが同じです。");
    EXPECT_EQ(ReadBytes(e + L"\\b\\m\\precious.txt"), "p");
    RemoveTree(e);
}

TEST(FaultTest, ATestRunTreatsABackupFolderStillToBeCreatedAsEmpty) {
    TempDir temp;
    const std::wstring m = temp / L"m";
    MakeFolders(temp.Path(), {L"m"});
    WriteBytes(m + L"\\f.txt", "f");
    for (const int type : {0, 1}) {
        Batch run;
        run.settings = {Pair(m, temp / L"new\\deeper")};
        run.settings[0].BackupType = type;
        EXPECT_EQ(run.Run(true), 1);
        EXPECT_TRUE(run.host.boxes.empty());
        EXPECT_EQ(run.settings[0].Errors, 0);
        EXPECT_EQ(CountRows(run, L"エラー"), 0);
        EXPECT_EQ(Sorted(run.Changes()), Sorted({L"フォルダ作成 ..\\deeper", L"作成 f.txt"}));
        EXPECT_FALSE(FileExists(temp / L"new"));
    }
}

}  // namespace
}  // namespace tandrel
